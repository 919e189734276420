// Equality and hashing of handles. Two handles are equal when they stand for the same thing, and
// each handle class says what that thing is with one identity key, `identityKey()`: a value or a
// std::tuple of values that compare with == and hash with std::hash. A key that needs its
// object alive throws KOM_ObjectWasDeleted once it is gone, so comparing a gone handle raises as
// its other operations do. KALHOST_COMPARED_BY_IDENTITY(Thing), in the body of a handle class
// implementing KOM_Thing, then defines __eq__, __ne__ and __hash__ from that key;
// KALHOST_EQUAL_BY_IDENTITY(Thing) only the first two, for interfaces that are not hashable.
#pragma once

#include "host/journal.h"

#include <cstddef>
#include <functional>
#include <tuple>
#include <type_traits>

namespace kalhost
{

namespace identity_detail
{

template <class Method>
struct ParameterOf;

template <class Class, class Parameter>
struct ParameterOf<bool (Class::*)(Parameter)>
{
    using type = Parameter;
};

template <class Part>
std::size_t hashOf(Part const &part)
{
    return std::hash<Part>()(part);
}

template <class... Parts>
std::size_t hashOf(std::tuple<Parts...> const &parts)
{
    // Each part mixed into the seed in turn, as boost::hash_combine does.
    std::size_t seed = 0;
    auto const combine = [&seed](std::size_t hash) { seed ^= hash + 0x9E3779B9u + (seed << 6) + (seed >> 2); };
    std::apply([&combine](auto const &...part) { (combine(hashOf(part)), ...); }, parts);
    return seed;
}

} // namespace identity_detail

// The type of the argument of an interface's __eq__ or __ne__: a pointer or a reference.
template <class Method>
using EqualityParameter = typename identity_detail::ParameterOf<Method>::type;

// Whether `other` (a pointer, null for None, or a reference) is a handle of the same class on
// the same thing as `self`.
template <class Handle, class Other>
bool sameIdentity(Handle const &self, Other &other)
{
    auto const key = self.identityKey();
    Handle const *that = nullptr;
    if constexpr (std::is_pointer_v<Other>)
        that = dynamic_cast<Handle const *>(other);
    else
        that = dynamic_cast<Handle const *>(&other);
    return that && that->identityKey() == key;
}

template <class Handle>
int identityHash(Handle const &self)
{
    std::size_t const hash = identity_detail::hashOf(self.identityKey());
    return static_cast<int>(hash ^ (hash >> 32));
}

} // namespace kalhost

// `Thing` names the interface without KOM_, as the journal does.
#define KALHOST_EQUAL_BY_IDENTITY(Thing)                                                               \
    bool __eq__(kalhost::EqualityParameter<decltype(&KOM_##Thing::__eq__)> other) override            \
    {                                                                                                  \
        kalhost::hostQuery(#Thing ".__eq__", other);                                                   \
        return kalhost::sameIdentity(*this, other);                                                    \
    }                                                                                                  \
    bool __ne__(kalhost::EqualityParameter<decltype(&KOM_##Thing::__ne__)> other) override            \
    {                                                                                                  \
        kalhost::hostQuery(#Thing ".__ne__", other);                                                   \
        return !kalhost::sameIdentity(*this, other);                                                   \
    }

#define KALHOST_COMPARED_BY_IDENTITY(Thing)                                                            \
    KALHOST_EQUAL_BY_IDENTITY(Thing)                                                                   \
    int __hash__() override                                                                            \
    {                                                                                                  \
        kalhost::hostQuery(#Thing ".__hash__");                                                        \
        return kalhost::identityHash(*this);                                                           \
    }
