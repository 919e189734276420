// Sequences and maps: Python sequences and dicts to standard vectors and maps, and back to
// tuples and dicts. Included in the generated wrapper after scalars.h and objects.h.
#pragma once

#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kal
{

// Element rules. Each takes a null destination to test only, like the scalar conversions.
inline int asElement(PyObject *obj, int *value) { return asInt(obj, value); }
inline int asElement(PyObject *obj, bool *value) { return asBool(obj, value); }
inline int asElement(PyObject *obj, float *value) { return asFloat(obj, value); }
inline int asElement(PyObject *obj, double *value) { return asDouble(obj, value); }
inline int asElement(PyObject *obj, std::string *value) { return asString(obj, value); }

// Objects: a proxy of the element class (or a subclass), or None for a null element. The
// pointer object behind an element stays in `kept` for the call.
template <class T>
int asElement(PyObject *obj, T **value, swig_type_info *type, KeptObjects *kept, std::size_t at)
{
    void *pointer = nullptr;
    if (!value)
        return SWIG_ConvertPtr(obj, &pointer, type, 0);
    PyObject *held = nullptr;
    int const status = convertPointer(obj, &pointer, type, 0, &held);
    if (!SWIG_IsOK(status))
        return status;
    *value = static_cast<T *>(pointer);
    if (held && kept)
        kept->keep(held, at);
    else
        Py_XDECREF(held);
    return status;
}

template <class E>
int asVector(PyObject *obj, std::vector<E> *built, std::vector<E> **used, swig_type_info *type,
             swig_type_info *elementType, KeptObjects *kept = nullptr);

// A nested vector converts by the vector rule itself; `type` is the nested vector's. A nested
// container used in place is copied at once, so nothing of it is kept.
template <class E>
int asElement(PyObject *obj, std::vector<E> *value, swig_type_info *type)
{
    std::vector<E> *used = nullptr;
    KeptObjects inPlace;
    int const status = asVector(obj, value, value ? &used : nullptr, type, nullptr, &inPlace);
    if (SWIG_IsOK(status) && value && used != value)
    {
        if (!used)
            return SWIG_ERROR; // a null vector is no element
        *value = *used;
    }
    inPlace.release();
    return status;
}

template <class E>
int convertItem(PyObject *item, E *value, swig_type_info *, KeptObjects *, std::size_t)
{
    return asElement(item, value);
}

template <class T>
int convertItem(PyObject *item, T **value, swig_type_info *elementType, KeptObjects *kept,
                std::size_t at)
{
    return asElement(item, value, elementType, kept, at);
}

template <class E>
int convertItem(PyObject *item, std::vector<E> *value, swig_type_info *elementType,
                KeptObjects *, std::size_t)
{
    return asElement(item, value, elementType);
}

// Converts one item and, unless only testing, appends it.
template <class E>
int appendItem(PyObject *item, std::vector<E> *built, swig_type_info *elementType,
               KeptObjects *kept)
{
    E element{};
    int const status = convertItem(item, built ? &element : nullptr, elementType, kept,
                                   built ? built->size() : 0);
    if (SWIG_IsOK(status) && built)
        built->push_back(std::move(element));
    return status;
}

// Appends a float item of a float vector in line, the commonest item of all (positions, colours,
// vectors); false, appending nothing, for any other, which appendItem converts. Such an item
// runs no Python code, so a list's need not be held.
template <class E>
__attribute__((always_inline)) inline bool appendedInLine(PyObject *item, std::vector<E> *built)
{
    if constexpr (std::is_floating_point_v<E>)
    {
        E value;
        if (built && PyFloat_CheckExact(item) && SWIG_IsOK(asElement(item, &value)))
        {
            built->push_back(value);
            return true;
        }
    }
    return false;
}

// The items of a sequence, converted in order. Converting an item may run Python code (a
// nested sequence, a "this" property) that changes a list under the walk, so each list item is
// read afresh and held while it converts. Any other sequence's length is only its claim: the
// vector grows with the items read, never ahead of them.
template <class E>
int convertItems(PyObject *obj, std::vector<E> *built, swig_type_info *elementType,
                 KeptObjects *kept)
{
    if (PyTuple_Check(obj))
    {
        Py_ssize_t const size = PyTuple_GET_SIZE(obj);
        if (built)
            built->reserve(static_cast<std::size_t>(size));
        for (Py_ssize_t i = 0; i < size; ++i)
        {
            PyObject *const item = PyTuple_GET_ITEM(obj, i);
            if (!appendedInLine(item, built) && !SWIG_IsOK(appendItem(item, built, elementType, kept)))
                return SWIG_ERROR;
        }
        return SWIG_OK;
    }
    if (PyList_Check(obj))
    {
        if (built)
            built->reserve(static_cast<std::size_t>(PyList_GET_SIZE(obj)));
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(obj); ++i)
        {
            PyObject *const item = PyList_GET_ITEM(obj, i);
            if (appendedInLine(item, built))
                continue;
            Py_INCREF(item);
            int const status = appendItem(item, built, elementType, kept);
            Py_DECREF(item);
            if (!SWIG_IsOK(status))
                return SWIG_ERROR;
        }
        return SWIG_OK;
    }
    Py_ssize_t const claimed = PySequence_Size(obj);
    if (claimed < 0)
    {
        PyErr_Clear();
        return SWIG_ERROR;
    }
    for (Py_ssize_t i = 0; i < claimed; ++i)
    {
        PyObject *const item = PySequence_GetItem(obj, i);
        int const status = item ? appendItem(item, built, elementType, kept) : SWIG_ERROR;
        Py_XDECREF(item);
        if (!SWIG_IsOK(status))
        {
            PyErr_Clear();
            return SWIG_ERROR;
        }
    }
    return SWIG_OK;
}

// A sequence builds a new vector in `*built`; a pointer object of exactly this vector type is
// used in place (and kept in `kept` for the call). `*used` names the result, null for None.
// With null destinations it only tests, setting no error and building nothing. `elementType` is
// the descriptor of object elements, or of nested vectors. Running out of memory fails the
// conversion with MemoryError; nothing escapes it.
template <class E>
int asVector(PyObject *obj, std::vector<E> *built, std::vector<E> **used, swig_type_info *type,
             swig_type_info *elementType, KeptObjects *kept)
{
    if (PyTuple_Check(obj) || PySequence_Check(obj))
    {
        int status = SWIG_ERROR;
        try
        {
            status = convertItems(obj, built, elementType, kept);
        }
        catch (std::bad_alloc const &)
        {
            status = SWIG_MemoryError;
        }
        catch (std::length_error const &)
        {
            status = SWIG_MemoryError;
        }
        if (SWIG_IsOK(status) && used)
            *used = built;
        else if (!SWIG_IsOK(status) && built)
            std::vector<E>().swap(*built);
        return status;
    }
    void *pointer = nullptr;
    if (!type)
        return SWIG_ERROR;
    if (!used)
        return SWIG_ConvertPtr(obj, &pointer, type, 0);
    PyObject *held = nullptr;
    int const status = convertPointer(obj, &pointer, type, 0, &held);
    if (!SWIG_IsOK(status))
        return SWIG_ERROR;
    *used = static_cast<std::vector<E> *>(pointer);
    if (kept && held)
    {
        Py_XDECREF(kept->container);
        kept->container = held;
    }
    else
        Py_XDECREF(held);
    return SWIG_OK;
}

// A dict's items, each a pair of strings. None gives no map (`*used` null).
inline int asStringMap(PyObject *obj, std::map<std::string, std::string> *built,
                       std::map<std::string, std::string> **used)
{
    if (obj == Py_None)
    {
        if (used)
            *used = nullptr;
        return SWIG_OK;
    }
    if (!PyDict_Check(obj))
        return SWIG_ERROR;
    PyObject *items = PyMapping_Items(obj);
    if (!items)
    {
        PyErr_Clear();
        return SWIG_ERROR;
    }
    int status = SWIG_OK;
    try
    {
        for (Py_ssize_t i = 0; SWIG_IsOK(status) && i < PyList_GET_SIZE(items); ++i)
        {
            std::vector<std::string> pair;
            status = asVector<std::string>(PyList_GET_ITEM(items, i), built ? &pair : nullptr,
                                           nullptr, nullptr, nullptr);
            if (SWIG_IsOK(status) && built)
            {
                if (pair.size() != 2)
                    status = SWIG_ERROR;
                else
                    (*built)[pair[0]] = pair[1];
            }
        }
    }
    catch (std::bad_alloc const &)
    {
        status = SWIG_MemoryError;
    }
    Py_DECREF(items);
    if (SWIG_IsOK(status) && used)
        *used = built;
    return status;
}

// Results. Owned element pointers become proxies that own them; should a conversion fail,
// the elements not yet handed to a proxy are deleted, so nothing leaks.
template <class T>
PyObject *toPython(KOM_ElemPtr<T> const &element)
{
    return KOMconvertValueForInterpreter(element.get(), SWIG_POINTER_OWN);
}

// Objects the host keeps are wrapped without ownership.
template <class T>
PyObject *toPython(T *object)
{
    return KOMconvertValueForInterpreter(object, 0);
}

template <class T>
void release(KOM_ElemPtr<T> const &element)
{
    delete element.get();
}

template <class T>
void release(T const &)
{
}

template <class A, class B>
void release(std::pair<A, B> const &pair)
{
    release(pair.first);
    release(pair.second);
}

template <class Iterator>
void releaseFrom(Iterator from, Iterator end)
{
    for (; from != end; ++from)
        release(*from);
}

inline PyObject *toPython(int value) { return PyLong_FromLong(value); }
inline PyObject *toPython(bool value) { return PyBool_FromLong(value); }
inline PyObject *toPython(float value) { return PyFloat_FromDouble(value); }
inline PyObject *toPython(double value) { return PyFloat_FromDouble(value); }
inline PyObject *toPython(std::string const &value) { return fromString(value); }

// A math value held by value: a new owned copy.
inline PyObject *toPython(KOM_Vector3 const &value)
{
    return KOMconvertValueForInterpreter(new KOM_Vector3(value), SWIG_POINTER_OWN);
}

template <class A, class B>
PyObject *toPython(std::pair<A, B> const &pair)
{
    PyObject *first = toPython(pair.first);
    if (!first)
    {
        release(pair.second);
        return nullptr;
    }
    PyObject *second = toPython(pair.second);
    if (!second)
    {
        Py_DECREF(first);
        return nullptr;
    }
    PyObject *tuple = PyTuple_Pack(2, first, second);
    Py_DECREF(first);
    Py_DECREF(second);
    return tuple;
}

template <class E>
PyObject *toPython(std::vector<E> const &values)
{
    PyObject *tuple = PyTuple_New(static_cast<Py_ssize_t>(values.size()));
    if (!tuple)
    {
        releaseFrom(values.begin(), values.end());
        return nullptr;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
    {
        PyObject *item = toPython(values[i]);
        if (!item)
        {
            releaseFrom(values.begin() + i + 1, values.end());
            Py_DECREF(tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), item);
    }
    return tuple;
}

// A dict of the converted entries.
template <class K, class V>
PyObject *toPython(std::map<K, V> const &entries)
{
    PyObject *dict = PyDict_New();
    bool failed = !dict;
    auto entry = entries.begin();
    for (; !failed && entry != entries.end(); ++entry)
    {
        PyObject *key = toPython(entry->first);
        if (!key)
        {
            release(entry->second);
            failed = true;
        }
        else if (PyObject *value = toPython(entry->second))
        {
            failed = PyDict_SetItem(dict, key, value) < 0;
            Py_DECREF(key);
            Py_DECREF(value);
        }
        else
        {
            Py_DECREF(key); // an owned key's proxy deletes its object
            failed = true;
        }
    }
    if (!failed)
        return dict;
    // Whatever the failed entry held went with it; the rest was never handed to a proxy.
    releaseFrom(entry, entries.end());
    Py_XDECREF(dict);
    return nullptr;
}


// Items of the lazy sequences, each owned by Python exactly as if returned singly. A vector
// of connections stays the list's; only its elements pass to their proxies.
template <class T>
PyObject *lazyItem(T *item)
{
    return KOMconvertValueForInterpreter(item, SWIG_POINTER_OWN);
}

inline PyObject *lazyItem(std::string const &item) { return fromString(item); }

template <class T>
PyObject *lazyItem(std::vector<KOM_ElemPtr<T>> *items)
{
    return toPython(*items);
}

} // namespace kal
