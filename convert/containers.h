// Tuple containers: the element conversions, index and slice rules and iterators that the
// stock vector wrappers call. Included through the container fragments (containers.swg),
// after the runtime and the stock traits templates.
#pragma once

#include <algorithm>
#include <cstdio>
#include <climits>
#include <iterator>
#include <memory>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/scalars.h"

// Elements convert by the same rules as every scalar argument and result.
#define KAL_ELEMENT_TRAITS(TYPE, AS_VALUE, FROM_VALUE)                                             \
    template <> struct traits<TYPE>                                                                \
    {                                                                                              \
        typedef value_category category;                                                          \
        static char const *type_name() { return #TYPE; }                                           \
    };                                                                                             \
    template <> struct traits_asval<TYPE>                                                          \
    {                                                                                              \
        typedef TYPE value_type;                                                                   \
        static int asval(PyObject *obj, value_type *value)                                         \
        {                                                                                          \
            /* null: an item the sequence promised but could not give */                         \
            return obj ? AS_VALUE(obj, value) : SWIG_ERROR;                                        \
        }                                                                                          \
    };                                                                                             \
    template <> struct traits_from<TYPE>                                                           \
    {                                                                                              \
        typedef TYPE value_type;                                                                   \
        static PyObject *from(value_type const &value) { return FROM_VALUE(value); }               \
    };

namespace kal
{

inline PyObject *fromInt(int value) { return PyLong_FromLong(value); }
inline PyObject *fromBool(bool value) { return PyBool_FromLong(value); }
inline PyObject *fromDouble(double value) { return PyFloat_FromDouble(value); }

} // namespace kal

namespace swig
{

KAL_ELEMENT_TRAITS(int, kal::asInt, kal::fromInt)
KAL_ELEMENT_TRAITS(bool, kal::asBool, kal::fromBool)
KAL_ELEMENT_TRAITS(float, kal::asFloat, kal::fromDouble)
KAL_ELEMENT_TRAITS(double, kal::asDouble, kal::fromDouble)
KAL_ELEMENT_TRAITS(std::string, kal::asString, kal::fromString)

} // namespace swig

#undef KAL_ELEMENT_TRAITS

namespace kal
{

// The bounds of a slice object as written, so that `t[i:j]` follows the rules of
// `t.__getslice__(i, j)`: a missing start is 0 and a missing end is past any end (for a
// negative step, the other way round). The slice argument was checked when it was converted.
inline int sliceBounds(PyObject *slice, Py_ssize_t *start, Py_ssize_t *stop, Py_ssize_t *step)
{
    if (PySlice_Unpack(slice, start, stop, step) < 0)
    {
        PyErr_Clear();
        throw std::invalid_argument("slice indices must be integers or None");
    }
    return 0;
}

} // namespace kal

// The stock slice entries read slice objects through PySlice_GetIndices, which adds the
// length to negative bounds before any rule can see them and leaves unreadable bounds unset.
// Routing it to sliceBounds gives the rules below the bounds as written.
#define PySlice_GetIndices(slice, length, start, stop, step) kal::sliceBounds(slice, start, stop, step)

namespace swig
{

// An element index; with `insert`, the position just past the end is valid as well.
template <class Difference>
inline size_t check_index(Difference i, size_t size, bool insert = false)
{
    if (i < 0)
    {
        size_t const fromEnd = size_t(0) - static_cast<size_t>(i);
        if (fromEnd <= size)
            return size - fromEnd;
    }
    else if (static_cast<size_t>(i) < size || (insert && static_cast<size_t>(i) == size))
        return static_cast<size_t>(i);
    throw std::out_of_range("index out of range");
}

// Normalises slice bounds to positions. With a step of 1 the container's own rules apply: the
// start is an index that may also be the size, a negative end must lie inside, a larger end is
// clamped, and an end before the start makes the slice empty. Any other step follows Python's
// extended slices (clamped bounds, every step-th element, ii the first and jj the bound that is
// never reached).
template <class Difference>
void slice_adjust(Difference i, Difference j, Py_ssize_t step, size_t size, Difference &ii,
                  Difference &jj, bool /*insert*/ = false)
{
    Difference const n = static_cast<Difference>(size);
    if (step == 0)
        throw std::invalid_argument("slice step cannot be zero");
    if (step == 1)
    {
        ii = static_cast<Difference>(check_index(i, size, true));
        jj = j < 0 ? static_cast<Difference>(check_index(j, size, true)) : std::min(j, n);
        jj = std::max(ii, jj);
        return;
    }
    Difference const below = step < 0 ? -1 : 0;
    Difference const above = step < 0 ? n - 1 : n;
    auto clamp = [&](Difference bound) {
        if (bound < 0)
            bound = bound + n < 0 ? below : bound + n;
        return std::min(bound, above);
    };
    ii = clamp(i);
    jj = clamp(j);
}

// How many elements an adjusted extended slice holds.
template <class Difference>
inline size_t slice_count(Difference ii, Difference jj, Py_ssize_t step)
{
    if (step > 0)
        return ii < jj ? static_cast<size_t>((jj - ii - 1) / step + 1) : 0;
    return jj < ii ? static_cast<size_t>((ii - jj - 1) / -step + 1) : 0;
}

template <class Sequence, class Difference>
inline typename Sequence::iterator getpos(Sequence *self, Difference i)
{
    typename Sequence::iterator pos = self->begin();
    std::advance(pos, check_index(i, self->size()));
    return pos;
}

template <class Sequence, class Difference>
inline typename Sequence::const_iterator cgetpos(Sequence const *self, Difference i)
{
    typename Sequence::const_iterator pos = self->begin();
    std::advance(pos, check_index(i, self->size()));
    return pos;
}

template <class Sequence>
inline void erase(Sequence *seq, typename Sequence::iterator const &position)
{
    seq->erase(position);
}

template <class Sequence>
struct traits_reserve
{
    static void reserve(Sequence &, typename Sequence::size_type)
    {
    }
};

template <class Sequence, class Difference>
inline Sequence *getslice(Sequence const *self, Difference i, Difference j, Py_ssize_t step)
{
    Difference ii = 0;
    Difference jj = 0;
    slice_adjust(i, j, step, self->size(), ii, jj);
    if (step == 1)
        return new Sequence(self->begin() + ii, self->begin() + jj);
    std::unique_ptr<Sequence> slice(new Sequence());
    size_t const count = slice_count(ii, jj, step);
    traits_reserve<Sequence>::reserve(*slice, count);
    for (size_t k = 0; k < count; ++k)
        slice->push_back((*self)[static_cast<size_t>(ii + static_cast<Difference>(k) * step)]);
    return slice.release();
}

template <class Sequence, class Difference, class InputSeq>
inline void setslice(Sequence *self, Difference i, Difference j, Py_ssize_t step,
                     InputSeq const &is = InputSeq())
{
    // The new elements may be the container itself, passed in place.
    if (static_cast<void const *>(&is) == static_cast<void const *>(self))
    {
        InputSeq const copy(is);
        setslice(self, i, j, step, copy);
        return;
    }
    Difference ii = 0;
    Difference jj = 0;
    slice_adjust(i, j, step, self->size(), ii, jj, true);
    if (step == 1)
    {
        size_t const length = static_cast<size_t>(jj - ii);
        if (is.size() < length)
        {
            self->erase(self->begin() + ii, self->begin() + jj);
            self->insert(self->begin() + ii, is.begin(), is.end());
        }
        else
        {
            typename InputSeq::const_iterator rest = is.begin();
            std::advance(rest, length);
            std::copy(is.begin(), rest, self->begin() + ii);
            self->insert(self->begin() + jj, rest, is.end());
        }
        return;
    }
    size_t const count = slice_count(ii, jj, step);
    if (is.size() != count)
    {
        char message[128];
        std::snprintf(message, sizeof message,
                      "attempt to assign sequence of size %lu to extended slice of size %lu",
                      static_cast<unsigned long>(is.size()), static_cast<unsigned long>(count));
        throw std::invalid_argument(message);
    }
    typename InputSeq::const_iterator value = is.begin();
    for (size_t k = 0; k < count; ++k, ++value)
        (*self)[static_cast<size_t>(ii + static_cast<Difference>(k) * step)] = *value;
}

template <class Sequence, class Difference>
inline void delslice(Sequence *self, Difference i, Difference j, Py_ssize_t step)
{
    Difference ii = 0;
    Difference jj = 0;
    slice_adjust(i, j, step, self->size(), ii, jj, true);
    if (step == 1)
    {
        self->erase(self->begin() + ii, self->begin() + jj);
        return;
    }
    size_t const count = slice_count(ii, jj, step);
    if (!count)
        return;
    Difference const last = ii + static_cast<Difference>(count - 1) * step;
    Difference const low = std::min(ii, last);
    Difference const stride = step < 0 ? -step : step;
    Sequence kept;
    kept.reserve(self->size() - count);
    for (size_t k = 0; k < self->size(); ++k)
    {
        Difference const at = static_cast<Difference>(k);
        bool const removed = at >= low && at <= std::max(ii, last) && (at - low) % stride == 0;
        if (!removed)
            kept.push_back((*self)[k]);
    }
    self->swap(kept);
}

} // namespace swig

namespace kal
{

// Where iterators of a kind count their positions from: reverse iterators from the back.
template <class Iterator>
struct IteratorOrigin
{
    template <class Sequence>
    static Iterator of(Sequence &sequence) { return sequence.begin(); }
};

template <class Iterator>
struct IteratorOrigin<std::reverse_iterator<Iterator> >
{
    template <class Sequence>
    static std::reverse_iterator<Iterator> of(Sequence &sequence) { return sequence.rbegin(); }
};

} // namespace kal

namespace swig
{

// An iterator over a tuple container. It keeps the container's Python object (so the vector
// lives as long as the iterator) and a position counted from the container's first element
// (the last, for reverse iterators). Every step reaches the vector through that object as it
// is now and checks the position against its current size, so an iterator never reads or
// steps outside it, also after it shrank, was cleared or was deleted.
template <typename OutIterator>
class SwigPyIterator_T : public SwigPyIterator
{
public:
    typedef OutIterator out_iterator;
    typedef typename std::iterator_traits<out_iterator>::value_type value_type;
    typedef std::vector<value_type> sequence;
    typedef SwigPyIterator_T<out_iterator> self_type;

    SwigPyIterator_T(ptrdiff_t position, PyObject *seq)
        : SwigPyIterator(seq), mySequence(seq), myPosition(position)
    {
    }

    // The vector now, or null once it was deleted.
    sequence *container() const { return containerOf(mySequence); }

    static sequence *containerOf(PyObject *seq)
    {
        void *live = nullptr;
        swig_type_info *const type = swig::type_info<sequence>();
        if (!seq || !type || !SWIG_IsOK(SWIG_ConvertPtr(seq, &live, type, 0)))
            return nullptr;
        return static_cast<sequence *>(live);
    }

    ptrdiff_t position() const { return myPosition; }

    // Where a position of this kind lies in `sequence`, when it lies inside it or at its end.
    static bool locate(sequence &vector, ptrdiff_t position, out_iterator *at)
    {
        if (position < 0 || static_cast<size_t>(position) > vector.size())
            return false;
        *at = kal::IteratorOrigin<out_iterator>::of(vector) + position;
        return true;
    }

    static ptrdiff_t positionOf(out_iterator const &at, PyObject *seq)
    {
        sequence *const vector = containerOf(seq);
        return vector ? std::distance(kal::IteratorOrigin<out_iterator>::of(*vector), at) : 0;
    }

    SwigPyIterator *incr(size_t n = 1) { return moveTo(myPosition + static_cast<ptrdiff_t>(n)); }
    SwigPyIterator *decr(size_t n = 1) { return moveTo(myPosition - static_cast<ptrdiff_t>(n)); }

    bool equal(SwigPyIterator const &iter) const
    {
        self_type const &other = sameKind(iter);
        return container() == other.container() && myPosition == other.myPosition;
    }

    ptrdiff_t distance(SwigPyIterator const &iter) const
    {
        self_type const &other = sameKind(iter);
        if (container() != other.container())
            throw std::invalid_argument("bad iterator type");
        return other.myPosition - myPosition;
    }

protected:
    // The positions the iterator may take in `vector` (null once deleted): low to high, where
    // high is past the last element it reads.
    virtual void limits(sequence const *vector, ptrdiff_t *low, ptrdiff_t *high) const = 0;

    template <class FromOper>
    PyObject *read(FromOper const &from) const
    {
        sequence *const vector = container();
        ptrdiff_t low = 0;
        ptrdiff_t high = 0;
        limits(vector, &low, &high);
        if (!vector || myPosition < low || myPosition >= high)
            throw stop_iteration();
        out_iterator at;
        locate(*vector, myPosition, &at);
        return from(static_cast<value_type const &>(*at));
    }

private:
    SwigPyIterator *moveTo(ptrdiff_t target)
    {
        sequence *const vector = container();
        ptrdiff_t low = 0;
        ptrdiff_t high = 0;
        limits(vector, &low, &high);
        if (target < low || target > high)
            throw stop_iteration();
        myPosition = target;
        return this;
    }

    self_type const &sameKind(SwigPyIterator const &iter) const
    {
        self_type const *other = dynamic_cast<self_type const *>(&iter);
        if (!other)
            throw std::invalid_argument("bad iterator type");
        return *other;
    }

    PyObject *mySequence; // held by the base for the iterator's lifetime
    ptrdiff_t myPosition;
};

template <class ValueType>
struct from_oper
{
    typedef ValueType const &argument_type;
    typedef PyObject *result_type;
    result_type operator()(argument_type v) const { return swig::from(v); }
};

// Walks the whole container as it is now: from begin, begin, end and rbegin, rend, insert, erase.
template <typename OutIterator,
          typename ValueType = typename std::iterator_traits<OutIterator>::value_type,
          typename FromOper = from_oper<ValueType> >
class SwigPyIteratorOpen_T : public SwigPyIterator_T<OutIterator>
{
public:
    typedef SwigPyIterator_T<OutIterator> base;
    typedef SwigPyIteratorOpen_T<OutIterator, ValueType, FromOper> self_type;

    SwigPyIteratorOpen_T(ptrdiff_t position, PyObject *seq) : base(position, seq) {}

    PyObject *value() const { return base::read(from); }
    SwigPyIterator *copy() const { return new self_type(*this); }

    FromOper from;

protected:
    void limits(typename base::sequence const *vector, ptrdiff_t *low, ptrdiff_t *high) const
    {
        *low = 0;
        *high = vector ? static_cast<ptrdiff_t>(vector->size()) : 0;
    }
};

// Walks the range it was made for, from iterator(), as far as the container still reaches.
template <typename OutIterator,
          typename ValueType = typename std::iterator_traits<OutIterator>::value_type,
          typename FromOper = from_oper<ValueType> >
class SwigPyIteratorClosed_T : public SwigPyIterator_T<OutIterator>
{
public:
    typedef SwigPyIterator_T<OutIterator> base;
    typedef SwigPyIteratorClosed_T<OutIterator, ValueType, FromOper> self_type;

    SwigPyIteratorClosed_T(ptrdiff_t position, ptrdiff_t first, ptrdiff_t last, PyObject *seq)
        : base(position, seq), myFirst(first), myLast(last)
    {
    }

    PyObject *value() const { return base::read(from); }
    SwigPyIterator *copy() const { return new self_type(*this); }

    FromOper from;

protected:
    void limits(typename base::sequence const *vector, ptrdiff_t *low, ptrdiff_t *high) const
    {
        ptrdiff_t const size = vector ? static_cast<ptrdiff_t>(vector->size()) : 0;
        *low = myFirst;
        *high = std::max(myFirst, std::min(myLast, size));
    }

private:
    ptrdiff_t myFirst;
    ptrdiff_t myLast;
};

template <typename OutIter>
inline SwigPyIterator *make_output_iterator(OutIter const &current, PyObject *seq = 0)
{
    return new SwigPyIteratorOpen_T<OutIter>(SwigPyIterator_T<OutIter>::positionOf(current, seq), seq);
}

template <typename OutIter>
inline SwigPyIterator *make_output_iterator(OutIter const &current, OutIter const &begin,
                                            OutIter const &end, PyObject *seq = 0)
{
    ptrdiff_t const first = SwigPyIterator_T<OutIter>::positionOf(begin, seq);
    return new SwigPyIteratorClosed_T<OutIter>(first + std::distance(begin, current), first,
                                               first + std::distance(begin, end), seq);
}

} // namespace swig

namespace kal
{

template <class Allocator>
Allocator *sharedAllocator()
{
    static Allocator theAllocator;
    return &theAllocator;
}

// An iterator argument of an operation on the vector that `self` wraps: an iterator of exactly
// this kind over that same vector, at a position inside it or at its end. Another iterator is
// a type error; a position the vector no longer has is an index error. `*position` receives
// the position, which locateAgain turns into an iterator once every argument has converted:
// converting a later argument may run Python code that resizes the vector.
template <class Sequence, class Iterator>
int asPosition(PyObject *obj, PyObject *self, Iterator *at, ptrdiff_t *position)
{
    typedef swig::SwigPyIterator_T<Iterator> Kind;
    swig::SwigPyIterator *iterator = nullptr;
    void *vector = nullptr;
    if (!SWIG_IsOK(SWIG_ConvertPtr(obj, reinterpret_cast<void **>(&iterator),
                                   swig::SwigPyIterator::descriptor(), 0)) ||
        !SWIG_IsOK(SWIG_ConvertPtr(self, &vector, swig::type_info<Sequence>(), 0)))
        return SWIG_TypeError;
    Kind const *kind = dynamic_cast<Kind const *>(iterator);
    if (!kind || !vector || kind->container() != vector)
        return SWIG_TypeError;
    *position = kind->position();
    if (!Kind::locate(*static_cast<Sequence *>(vector), *position, at))
        return SWIG_IndexError;
    return SWIG_OK;
}

template <class Sequence, class Iterator>
bool locateAgain(Sequence *vector, ptrdiff_t position, Iterator *at)
{
    return swig::SwigPyIterator_T<Iterator>::locate(*vector, position, at);
}

} // namespace kal
