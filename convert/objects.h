// Object results: the Python object for a returned host object, of its most specific class.
// Included in the generated wrapper after the runtime and the type table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cxxabi.h>
#include <structmember.h>
#include <new>
#include <stdexcept>
#include <typeinfo>
#include <utility>
#include <vector>

#include "model/enums.h"
#include "model/errors.h"
#include "model/geometry.h"
#include "model/keyframes.h"
#include "model/parms.h"
#include "model/ui.h"
#include "model/nodes.h"
#include "model/nodetypes.h"
#include "model/simulation.h"

namespace kal
{

// The same value: the same enumeration (compared by its identity's name) and the same id.
inline bool sameValue(KOM_EnumValue const &first, KOM_EnumValue const &second)
{
    return first.enumType->name() == second.enumType->name() && first.valueId == second.valueId;
}

// The type of the runtime's pointer objects, read once.
inline PyTypeObject *thePointerObjectType = nullptr;

inline PyTypeObject *pointerObjectType()
{
    if (!thePointerObjectType)
        thePointerObjectType = SwigPyObject_type();
    return thePointerObjectType;
}

// --- pointer objects: made, kept and freed ---------------------------------------------------
// Freed pointer objects are kept for the next ones (as the interpreter keeps freed floats): a
// result's pointer object then costs neither the allocator nor its bookkeeping, and a large
// result made again and again reuses the same memory instead of having the allocator return
// emptied arenas to the system and fault fresh pages in on the next call. At most
// `pointerObjectsKept` are kept (48 bytes each, 6 MiB in all), more than a result of 10^5 items
// holds; the memory is the interpreter's own and stays allocated while the module is loaded.
constexpr std::size_t pointerObjectsKept = 1 << 17;
inline SwigPyObject *theKeptPointerObjects[pointerObjectsKept];
inline std::size_t theKeptPointerObjectCount = 0;

// A kept object made new, with its type already set: what PyObject_Init does, in line.
// Tracemalloc, when it traces, goes on showing where the memory was first allocated (which is
// kal's own code); builds that count or chain references take the interpreter's own way.
inline void renewKeptObject(PyObject *object)
{
#if defined(Py_REF_DEBUG) || defined(Py_TRACE_REFS)
    _Py_NewReference(object);
#else
    Py_SET_REFCNT(object, 1);
#endif
}

// An owning pointer object keeps the runtime's module record until it has deleted its object. One
// kept with its proxy keeps it too (see keptWithProxy), with `own` still set and no object: the
// next result made of the two, when it owns, takes the reference over as it is. Makes
// `pointerObject`, whose `own` says whether it holds the record, hold it exactly when `own` does.
inline void matchModuleRecord(SwigPyObject *pointerObject, int own)
{
    if (own == pointerObject->own)
        return;
    if (own == SWIG_POINTER_OWN)
        Py_XINCREF(Swig_Capsule_global);
    else
        Py_XDECREF(Swig_Capsule_global);
}

// `made` holding `pointer` of `type`, owning it when `own` says so. `made->own` says whether it
// holds the module record already.
inline PyObject *holdPointer(SwigPyObject *made, void *pointer, swig_type_info *type, int own)
{
    matchModuleRecord(made, own);
    made->ptr = pointer;
    made->ty = type;
    made->own = own;
    made->next = nullptr;
    return reinterpret_cast<PyObject *>(made);
}

// A kept pointer object made new (there must be one). It still has its type, which is static.
inline SwigPyObject *reuseKeptPointerObject()
{
    SwigPyObject *const made = theKeptPointerObjects[--theKeptPointerObjectCount];
    renewKeptObject(reinterpret_cast<PyObject *>(made));
    return made;
}

// A freshly allocated pointer object, owning nothing yet, or null with the error set.
inline SwigPyObject *allocatePointerObject()
{
    SwigPyObject *const made = PyObject_New(SwigPyObject, pointerObjectType());
    if (made)
        made->own = 0;
    return made;
}

// A new pointer object holding `pointer` of `type`, owning it when `own` says so (SwigPyObject_New).
inline PyObject *newPointerObjectHolding(void *pointer, swig_type_info *type, int own)
{
    SwigPyObject *const made = theKeptPointerObjectCount ? reuseKeptPointerObject() : allocatePointerObject();
    return made ? holdPointer(made, pointer, type, own) : nullptr;
}

// Frees a pointer object that owns nothing and holds no module record any more, whatever its
// `own` says (the runtime's deallocation leaves it set): kept ones are made new owning nothing.
inline void freePointerObject(PyObject *pointerObject)
{
    if (theKeptPointerObjectCount < pointerObjectsKept)
    {
        auto *const kept = reinterpret_cast<SwigPyObject *>(pointerObject);
        kept->own = 0;
        theKeptPointerObjects[theKeptPointerObjectCount++] = kept;
    }
    else
        PyObject_Free(pointerObject);
}

// Empties a collected pointer object that heads no chain and owns nothing, or owns an object its
// class's record lets it delete directly (kal::directDeletion, module/registry.h), deleting that
// object; false, doing nothing, for any other, which goes the runtime's way: its class's destroy
// hook, then its chain. One that stays with its proxy (`withProxy`) keeps the module record its
// ownership held (see matchModuleRecord).
template <bool withProxy = false>
__attribute__((always_inline)) inline bool emptiedDirectly(SwigPyObject *pointerObject)
{
    if (pointerObject->next)
        return false;
    if (pointerObject->own == SWIG_POINTER_OWN)
    {
        swig_type_info *const type = pointerObject->ty;
        auto const *const data = type ? static_cast<SwigPyClientData const *>(type->clientdata) : nullptr;
        void (*const deleteObject)(void *) = data ? directDeletion(type, data) : nullptr;
        if (!deleteObject)
            return false;
        void *const object = pointerObject->ptr;
        pointerObject->ptr = nullptr;
        if constexpr (!withProxy)
            pointerObject->own = 0;
        deleteObject(object);
        if constexpr (!withProxy)
            Py_XDECREF(Swig_Capsule_global);
    }
    return true;
}

// Releases a collected pointer object that can be emptied directly (see emptiedDirectly).
__attribute__((always_inline)) inline bool releasedDirectly(PyObject *collected)
{
    if (!emptiedDirectly(reinterpret_cast<SwigPyObject *>(collected)))
        return false;
    freePointerObject(collected);
    return true;
}

// Where instances of a class keep their pointer object: the offset of the "this" slot that every
// proxy class without a base declares and its subclasses inherit, or 0 when the class's "this" is
// something else (a property or a class attribute a script defined, or no slot at all). Worked out
// once per class and remembered with the class's version tag, which the interpreter renews
// whenever the class or one of its bases changes: a changed class is looked at again. Remembered
// with it: whether the class makes its instances as kal's proxy classes do (object's __new__, not
// abstract, the direct deallocation, its pointer object in its "this" slot), so that a result of
// the class can be made of kept objects (newProxyFromKept).
struct ThisSlot
{
    PyTypeObject *cls;
    unsigned int version;
    bool plainProxyClass;
    Py_ssize_t offset;
};
inline ThisSlot theThisSlots[64];

inline ThisSlot &thisSlotOf(PyTypeObject *cls)
{
    return theThisSlots[(reinterpret_cast<std::uintptr_t>(cls) >> 4) % (sizeof theThisSlots / sizeof *theThisSlots)];
}

// What is remembered of `cls`, or null when nothing is (the class is new or has changed). Only
// valid tags are remembered, and a class that changes loses its tag (it becomes 0).
inline ThisSlot const *knownThisSlot(PyTypeObject *cls)
{
    ThisSlot const &known = thisSlotOf(cls);
    return known.cls == cls && known.version == cls->tp_version_tag ? &known : nullptr;
}

// The remembered offset for `cls`, or -1 when there is none.
inline Py_ssize_t knownThisSlotOffset(PyTypeObject *cls)
{
    ThisSlot const *const known = knownThisSlot(cls);
    return known ? known->offset : -1;
}

inline void deallocateProxy(PyObject *proxy);

// Whether instances of `cls` are made by object's __new__ (then nothing but the class's own
// allocation sets them up).
inline bool madeByObjectNew(PyTypeObject *cls)
{
    return cls->tp_new == PyBaseObject_Type.tp_new && !(cls->tp_flags & Py_TPFLAGS_IS_ABSTRACT);
}

__attribute__((noinline)) inline Py_ssize_t lookUpThisSlotOffset(PyTypeObject *cls)
{
    Py_ssize_t offset = 0;
    PyObject *const slot = _PyType_Lookup(cls, SWIG_This());
    if (slot && Py_TYPE(slot) == &PyMemberDescr_Type &&
        reinterpret_cast<PyMemberDescrObject *>(slot)->d_member->type == T_OBJECT_EX &&
        PyType_IsSubtype(cls, PyDescr_TYPE(slot)))
        offset = reinterpret_cast<PyMemberDescrObject *>(slot)->d_member->offset;
    bool const plainProxyClass = offset > 0 && cls->tp_dealloc == deallocateProxy && madeByObjectNew(cls);
    // The look-up gave the class a version tag unless the interpreter ran out of them.
    if (cls->tp_flags & Py_TPFLAGS_VALID_VERSION_TAG)
        thisSlotOf(cls) = ThisSlot{cls, cls->tp_version_tag, plainProxyClass, offset};
    return offset;
}

inline Py_ssize_t thisSlotOffset(PyTypeObject *cls)
{
    Py_ssize_t const known = knownThisSlotOffset(cls);
    return known >= 0 ? known : lookUpThisSlotOffset(cls);
}

// The pointer object behind `obj` (a proxy, or a pointer object itself), as a new reference,
// or null. A proxy keeps it in the "this" slot, read directly when the class's "this" is that
// slot. Otherwise "this" is read as an attribute: through a property or __getattr__ it may be a
// temporary, so the read owns what it gets. A "this" that is not a pointer object is no pointer.
inline SwigPyObject *pointerObjectOf(PyObject *obj)
{
    PyObject *read = nullptr;
    if (Py_TYPE(obj) == pointerObjectType())
        read = obj;
    else if (Py_ssize_t const offset = thisSlotOffset(Py_TYPE(obj)))
    {
        read = *reinterpret_cast<PyObject **>(reinterpret_cast<char *>(obj) + offset);
        if (!read)
            return nullptr;
    }
    else if (PyWeakref_CheckProxy(obj))
    {
        PyObject *const referent = PyWeakref_GET_OBJECT(obj);
        return referent == Py_None ? nullptr : pointerObjectOf(referent);
    }
    else
    {
        read = PyObject_GetAttr(obj, SWIG_This());
        if (!read)
        {
            PyErr_Clear();
            return nullptr;
        }
        if (Py_TYPE(read) == pointerObjectType())
            return reinterpret_cast<SwigPyObject *>(read);
        Py_DECREF(read);
        return nullptr;
    }
    if (Py_TYPE(read) != pointerObjectType())
        return nullptr;
    Py_INCREF(read);
    return reinterpret_cast<SwigPyObject *>(read);
}

// Attaches `pointerObject` to a new proxy, or to one whose __init__ attaches it: into the "this"
// slot directly where the class keeps it there, else as any attribute is set.
inline int attachPointerObject(PyObject *proxy, PyObject *pointerObject)
{
    Py_ssize_t const offset = thisSlotOffset(Py_TYPE(proxy));
    if (!offset)
        return PyObject_GenericSetAttr(proxy, SWIG_This(), pointerObject);
    PyObject **const slot = reinterpret_cast<PyObject **>(reinterpret_cast<char *>(proxy) + offset);
    PyObject *const before = *slot;
    Py_INCREF(pointerObject);
    *slot = pointerObject;
    Py_XDECREF(before);
    return 0;
}

// A new instance of a registered proxy class holding `pointerObject`. Made as the class's own
// allocation makes it: an instance of a class whose __new__ is object's has nothing else to
// set up (its attributes' storage is made when the first one is set).
inline PyObject *newProxy(PyTypeObject *cls, PyObject *pointerObject)
{
    static PyObject *const noArguments = PyTuple_New(0);
    PyObject *proxy = nullptr;
    if (madeByObjectNew(cls))
        proxy = cls->tp_alloc(cls, 0);
    else if (noArguments)
        proxy = cls->tp_new(cls, noArguments, nullptr);
    if (proxy && attachPointerObject(proxy, pointerObject) < 0)
        Py_CLEAR(proxy);
    return proxy;
}

// --- proxies: freed without the interpreter's general deallocation ---------------------------
// A class written in Python is freed by the interpreter's general deallocation, which looks for
// finalisers, weak references, slots and an attribute dictionary in each class up to `object`.
// A kal proxy class has one known layout (its "this" slot, a weak reference list and the
// attribute dictionary the interpreter keeps before the object), and most proxies have no
// finaliser, no weak reference and no attributes: those are freed directly. Any other, and every
// instance of a script's subclass, goes the general way, which calls this deallocation for the
// proxy class's own part (as a class's deallocation is called for its base's part).
//
// The layout is that of Python 3.11, where a class with "__dict__" keeps its attribute storage
// before the object (Py_TPFLAGS_MANAGED_DICT); other versions keep the general deallocation.
#if PY_VERSION_HEX >= 0x030B0000 && PY_VERSION_HEX < 0x030C0000
#define KAL_DIRECT_PROXY_DEALLOCATION 1
#endif

inline destructor theGeneralDeallocation = nullptr;
// The proxy whose general deallocation this thread runs, which calls back for its kal part. Per
// thread: a finaliser run meanwhile may let another thread free its own proxies.
inline thread_local PyObject *theGenerallyDeallocated = nullptr;

inline PyObject **proxySlot(PyObject *proxy, Py_ssize_t offset)
{
    return reinterpret_cast<PyObject **>(reinterpret_cast<char *>(proxy) + offset);
}

// Where a class with the direct deallocation keeps its instances' pointer object and weak
// reference list: adoptProxyDeallocation gives it only to classes laid out so. Reading them at
// fixed places, rather than at offsets read from the class first, lets the reads start at once.
constexpr Py_ssize_t proxyThisOffset = sizeof(PyObject);
constexpr Py_ssize_t proxyWeakListOffset = sizeof(PyObject) + sizeof(PyObject *);

#ifdef KAL_DIRECT_PROXY_DEALLOCATION
// Whether a proxy has no attributes: neither the values nor the dictionary the interpreter keeps
// in the two words before the collector's header (what _PyObject_GetDictPtr reads).
inline bool hasNoAttributes(PyObject *proxy)
{
    void *const *const before = reinterpret_cast<void *const *>(proxy);
    return !before[-4] && !before[-3];
}

// The collector's header, just before the object: the next and the previous object of its
// generation's list (next is 0 when untracked). The previous one's low bits are flags: finalised
// (1) and being collected (2).
struct CollectorLinks
{
    std::uintptr_t next;
    std::uintptr_t previous;
};
constexpr std::uintptr_t finalisedFlag = 1;
constexpr std::uintptr_t collectorFlags = 3;

inline CollectorLinks &collectorLinksOf(PyObject *object)
{
    return reinterpret_cast<CollectorLinks *>(object)[-1];
}

// Whether the collector has run a proxy's finaliser.
inline bool wasFinalised(PyObject *proxy)
{
    return collectorLinksOf(proxy).previous & finalisedFlag;
}

// The head of the youngest generation's list, where tracking appends: fixed for the interpreter's
// life, and kal runs in the main interpreter only (registerClass). Read once from a fresh list,
// which the interpreter tracks as it makes it, so that it is the last of that list.
inline CollectorLinks *theYoungestGeneration = nullptr;

inline bool knowYoungestGeneration()
{
    if (theYoungestGeneration)
        return true;
    PyObject *const probe = PyList_New(0);
    if (!probe)
    {
        PyErr_Clear();
        return false;
    }
    if (PyObject_GC_IsTracked(probe))
        theYoungestGeneration = reinterpret_cast<CollectorLinks *>(collectorLinksOf(probe).next);
    Py_DECREF(probe);
    return theYoungestGeneration != nullptr;
}

// What PyObject_GC_Track and PyObject_GC_UnTrack do to a proxy, in line: results are tracked and
// freed proxies untracked once per call.
inline void trackProxy(PyObject *proxy)
{
    CollectorLinks &links = collectorLinksOf(proxy);
    CollectorLinks *const head = theYoungestGeneration;
    auto *const last = reinterpret_cast<CollectorLinks *>(head->previous);
    last->next = reinterpret_cast<std::uintptr_t>(&links);
    links.previous = (links.previous & collectorFlags) | reinterpret_cast<std::uintptr_t>(last);
    links.next = reinterpret_cast<std::uintptr_t>(head);
    head->previous = reinterpret_cast<std::uintptr_t>(&links);
}

inline void untrackProxy(PyObject *proxy)
{
    CollectorLinks &links = collectorLinksOf(proxy);
    if (!links.next)
        return;
    std::uintptr_t const previousAt = links.previous & ~collectorFlags;
    auto *const previous = reinterpret_cast<CollectorLinks *>(previousAt);
    auto *const next = reinterpret_cast<CollectorLinks *>(links.next);
    previous->next = links.next;
    next->previous = (next->previous & collectorFlags) | previousAt;
    links.next = 0;
    links.previous &= finalisedFlag;
}
#else
inline void trackProxy(PyObject *proxy)
{
    PyObject_GC_Track(proxy);
}
#endif

// Freed proxies of the direct deallocation are kept for the next results, as freed pointer
// objects are: untracked, not finalised, with no attributes nor weak references, which is the
// state of a fresh allocation (the interpreter keeps its own freed tuples and lists the same way).
// A kept proxy still holds its pointer object when it held the only reference and could empty it
// directly: the next result made of kept objects takes the two together. It also keeps its
// reference to its class, which results of the same class then take over as it is. Their classes
// share one size. At most `proxiesKept` (64 bytes each with the interpreter's headers, 8 MiB in
// all).
constexpr std::size_t proxiesKept = 1 << 17;
inline PyObject *theKeptProxies[proxiesKept];
inline std::size_t theKeptProxyCount = 0;

// Whether a proxy holds the only reference to its pointer object, which the proxy may then empty
// or release itself. Builds that count references say no: they take the interpreter's way.
inline bool soleHolderOf(PyObject *pointerObject)
{
#if !defined(Py_REF_DEBUG) && !defined(Py_TRACE_REFS)
    return Py_REFCNT(pointerObject) == 1 && Py_TYPE(pointerObject) == thePointerObjectType;
#else
    (void)pointerObject;
    return false;
#endif
}

// Whether a freed proxy's pointer object can stay in it while the proxy is kept: the proxy holds
// the only reference, and the pointer object was emptied directly.
inline bool keptWithProxy(PyObject *pointerObject)
{
    return soleHolderOf(pointerObject) &&
           emptiedDirectly<true>(reinterpret_cast<SwigPyObject *>(pointerObject));
}

// Drops a proxy's reference to its pointer object. The last reference to one that can be released
// directly releases it here rather than through the interpreter's and the runtime's deallocation
// calls.
inline void dropPointerObject(PyObject *pointerObject)
{
    if (soleHolderOf(pointerObject) && releasedDirectly(pointerObject))
        return;
    Py_DECREF(pointerObject);
}

// The part of a proxy's deallocation that its class adds to `object`'s, once everything above it
// is done: what the general deallocation leaves to a base class that has its own.
inline void deallocateProxyPart(PyObject *proxy)
{
    PyTypeObject *const type = Py_TYPE(proxy);
    PyObject_GC_UnTrack(proxy);
    if (*proxySlot(proxy, type->tp_weaklistoffset))
        PyObject_ClearWeakRefs(proxy);
    Py_CLEAR(*proxySlot(proxy, proxyThisOffset));
    type->tp_free(proxy);
    Py_DECREF(type);
}

// A proxy freed the general way: its class's part when the general deallocation (or a subclass's)
// is already under way, else that deallocation itself. Out of line, so that the direct
// deallocation saves no register for it.
__attribute__((noinline)) inline void deallocateProxyGenerally(PyObject *proxy)
{
    if (Py_TYPE(proxy)->tp_dealloc != deallocateProxy || proxy == theGenerallyDeallocated)
    {
        deallocateProxyPart(proxy);
        return;
    }
    PyObject *const outer = theGenerallyDeallocated;
    theGenerallyDeallocated = proxy;
    theGeneralDeallocation(proxy);
    theGenerallyDeallocated = outer;
}

// The deallocation of kal's proxy classes: a proxy of such a class with nothing but its pointer
// object is freed (or kept) here; one with more goes the general way, which calls back here for
// the kal part, as it does for every instance of a script's subclass.
inline void deallocateProxy(PyObject *proxy)
{
    PyTypeObject *const type = Py_TYPE(proxy);
#ifdef KAL_DIRECT_PROXY_DEALLOCATION
    if (type->tp_dealloc == deallocateProxy && !type->tp_finalize && !type->tp_del &&
        !*proxySlot(proxy, proxyWeakListOffset) && hasNoAttributes(proxy))
    {
        bool const kept = theKeptProxyCount < proxiesKept && !wasFinalised(proxy);
        untrackProxy(proxy);
        PyObject *&slot = *proxySlot(proxy, proxyThisOffset);
        if (PyObject *const pointerObject = slot;
            pointerObject && !(kept && keptWithProxy(pointerObject)))
        {
            slot = nullptr;
            dropPointerObject(pointerObject);
        }
        if (kept)
        {
            theKeptProxies[theKeptProxyCount++] = proxy;
            return;
        }
        type->tp_free(proxy);
        Py_DECREF(type);
        return;
    }
#endif
    deallocateProxyGenerally(proxy);
}

// A proxy taken from the kept ones made new as an instance of `cls` (which must have the direct
// deallocation), tracked by the collector as a fresh allocation is. The class it had gives up its
// reference last, once the proxy is whole: that may free a class a script replaced.
inline void renewKeptProxy(PyObject *proxy, PyTypeObject *cls)
{
    PyTypeObject *const before = Py_TYPE(proxy);
    renewKeptObject(proxy);
    trackProxy(proxy);
    if (before != cls)
    {
        Py_INCREF(cls);
        Py_SET_TYPE(proxy, cls);
        Py_DECREF(before);
    }
}

// A kept proxy made an instance of `cls` (there must be one), with no pointer object.
inline PyObject *reuseKeptProxy(PyTypeObject *cls)
{
    PyObject *const proxy = theKeptProxies[--theKeptProxyCount];
    if (PyObject *&slot = *proxySlot(proxy, proxyThisOffset))
    {
        matchModuleRecord(reinterpret_cast<SwigPyObject *>(slot), 0);
        freePointerObject(slot);
        slot = nullptr;
    }
    renewKeptProxy(proxy, cls);
    return proxy;
}

// A new instance of `cls`, whose __new__ is object's, with its slots empty.
inline PyObject *newProxyObject(PyTypeObject *cls)
{
    return cls->tp_dealloc == deallocateProxy && theKeptProxyCount ? reuseKeptProxy(cls) : cls->tp_alloc(cls, 0);
}

// Gives `cls` the direct deallocation when its instances have exactly a proxy's layout and it is
// freed by the general deallocation (a class made by `type`); any other class keeps its own.
inline void adoptProxyDeallocation(PyTypeObject *cls)
{
#ifdef KAL_DIRECT_PROXY_DEALLOCATION
    if (!theGeneralDeallocation)
    {
        // What a class made by `type` is freed by: read from one made for the purpose.
        PyObject *const probe = PyObject_CallFunction(reinterpret_cast<PyObject *>(&PyType_Type), "s(O){}",
                                                      "probe", reinterpret_cast<PyObject *>(&PyBaseObject_Type));
        if (!probe)
        {
            PyErr_Clear();
            return;
        }
        theGeneralDeallocation = reinterpret_cast<PyTypeObject *>(probe)->tp_dealloc;
        Py_DECREF(probe);
    }
    if (!knowYoungestGeneration())
        return;
    if (cls->tp_dealloc == theGeneralDeallocation && (cls->tp_flags & Py_TPFLAGS_HEAPTYPE) &&
        (cls->tp_flags & Py_TPFLAGS_MANAGED_DICT) && (cls->tp_flags & Py_TPFLAGS_HAVE_GC) &&
        cls->tp_basicsize == proxyWeakListOffset + Py_ssize_t(sizeof(PyObject *)) && cls->tp_itemsize == 0 &&
        cls->tp_weaklistoffset == proxyWeakListOffset && thisSlotOffset(cls) == proxyThisOffset &&
        cls->tp_free == PyObject_GC_Del)
    {
        cls->tp_dealloc = deallocateProxy;
        lookUpThisSlotOffset(cls); // remembered anew, as a plain proxy class
    }
#else
    (void)cls;
#endif
}

// A new result: a proxy of the class `data` records holding a new pointer object for `pointer`
// (see newPointerObjectHolding). A class whose __new__ is object's and whose pointer object goes
// in its "this" slot (known for the class as it is now) gets the slot filled in its fresh
// instance; any other is made the runtime's way, which ends in newProxy. Null with the error set
// when either fails, the owned object deleted when the pointer object was made.
inline PyObject *newProxyHolding(SwigPyClientData *data, void *pointer, swig_type_info *type, int own)
{
    PyObject *const pointerObject = newPointerObjectHolding(pointer, type, own);
    if (!pointerObject)
        return nullptr;
    PyTypeObject *const cls = reinterpret_cast<PyTypeObject *>(data->newargs);
    Py_ssize_t const offset = data->newraw ? -1 : knownThisSlotOffset(cls);
    if (offset > 0 && madeByObjectNew(cls))
    {
        PyObject *const proxy = newProxyObject(cls);
        if (proxy)
            *proxySlot(proxy, offset) = pointerObject;
        else
            Py_DECREF(pointerObject);
        return proxy;
    }
    PyObject *const proxy = SWIG_Python_NewShadowInstance(data, pointerObject);
    Py_DECREF(pointerObject);
    return proxy;
}

// A new result made of kept objects alone, for the commonest case: a plain proxy class (known as
// the class is now, see ThisSlot) and a kept proxy, with the pointer object it kept or else a kept
// one. This costs no call but the collector's, nor any register the general way saves for its
// rarer cases. Null, with no error set, for any other case.
inline PyObject *newProxyFromKept(SwigPyClientData *data, void *pointer, swig_type_info *type, int own)
{
    if (!theKeptProxyCount || data->newraw)
        return nullptr;
    auto *const cls = reinterpret_cast<PyTypeObject *>(data->newargs);
    ThisSlot const *const known = knownThisSlot(cls);
    if (!known || !known->plainProxyClass)
        return nullptr;
    // A plain proxy class's slot is the one the direct deallocation empties, or keeps filled.
    PyObject *const proxy = theKeptProxies[theKeptProxyCount - 1];
    PyObject *&slot = *proxySlot(proxy, proxyThisOffset);
    if (!slot)
    {
        if (!theKeptPointerObjectCount)
            return nullptr;
        slot = reinterpret_cast<PyObject *>(reuseKeptPointerObject());
    }
    --theKeptProxyCount;
    holdPointer(reinterpret_cast<SwigPyObject *>(slot), pointer, type, own);
    renewKeptProxy(proxy, cls);
    return proxy;
}

// The runtime's record of the cast from class `from` to class `to` (one of its bases), or null
// when `to` is not `from` nor one of its bases. Filled once per pair of classes: a proxy of a
// subclass then converts as directly as a proxy of the class itself, whichever mix of classes
// the calls bring. The records never change once the module is loaded, and the interpreter lock
// guards the cache.
struct Cast
{
    swig_type_info *from, *to;
    swig_cast_info *cast;
};
inline Cast theCasts[256];

inline swig_cast_info *castBetween(swig_type_info *from, swig_type_info *to)
{
    auto const key = reinterpret_cast<std::uintptr_t>(from) * 31 + reinterpret_cast<std::uintptr_t>(to);
    Cast &known = theCasts[(key >> 4) % (sizeof theCasts / sizeof *theCasts)];
    if (known.from != from || known.to != to)
        known = Cast{from, to, SWIG_TypeCheckStruct(from, to)};
    return known.cast;
}

// The pointer object of `pointerObject`'s chain that holds a `type` or a subclass's, or null.
inline SwigPyObject *linkOf(SwigPyObject *pointerObject, swig_type_info *type)
{
    for (SwigPyObject *link = pointerObject; link; link = reinterpret_cast<SwigPyObject *>(link->next))
        if (link->ty == type || castBetween(link->ty, type))
            return link;
    return nullptr;
}

// convertPointer's whole way, for any object.
__attribute__((noinline, cold)) inline int convertAnyPointer(PyObject *obj, void **pointer,
                                                       swig_type_info *type, int flags,
                                                       PyObject **held)
{
    if (obj == Py_None)
    {
        *pointer = nullptr;
        return SWIG_OK;
    }
    SwigPyObject *const pointerObject = pointerObjectOf(obj);
    if (!pointerObject)
        return SWIG_ERROR;
    // A chain of pointer objects: keep the one that matches, which a delete entry clears.
    SwigPyObject *const link = linkOf(pointerObject, type);
    if (!link)
    {
        Py_DECREF(pointerObject);
        return SWIG_ERROR;
    }
    *pointer = link->ptr;
    if (link->ty != type)
    {
        int newMemory = 0;
        *pointer = SWIG_TypeCast(castBetween(link->ty, type), link->ptr, &newMemory);
    }
    if (flags & SWIG_POINTER_DISOWN)
        link->own = 0;
    Py_INCREF(link);
    Py_DECREF(pointerObject);
    *held = reinterpret_cast<PyObject *>(link);
    return SWIG_OK;
}

// Converts an object argument or `self` (None is a null pointer): one path for proxies of the
// class and of its subclasses. `flags` may ask to take ownership (SWIG_POINTER_DISOWN). On success
// `*held` receives the pointer object the pointer came from, which the wrapper keeps until the
// call returns: Python code that runs while later arguments convert may drop its last other
// reference, which would delete the object under the call.
__attribute__((always_inline)) inline int convertPointer(PyObject *obj, void **pointer,
                                                         swig_type_info *type, int flags,
                                                         PyObject **held)
{
    // What nearly every call converts, in a few instructions: a proxy of a known class whose
    // pointer object sits in its slot and holds the class itself or a subclass. Anything else
    // (None, another "this", a chain) goes the whole way, with the same outcome.
    Py_ssize_t const offset = knownThisSlotOffset(Py_TYPE(obj));
    if (offset > 0)
    {
        auto const link = *reinterpret_cast<SwigPyObject **>(reinterpret_cast<char *>(obj) + offset);
        if (link && Py_TYPE(link) == thePointerObjectType)
        {
            swig_cast_info *const cast = link->ty == type ? nullptr : castBetween(link->ty, type);
            if (link->ty == type || cast)
            {
                int newMemory = 0;
                *pointer = cast ? SWIG_TypeCast(cast, link->ptr, &newMemory) : link->ptr;
                if (flags & SWIG_POINTER_DISOWN)
                    link->own = 0;
                Py_INCREF(link);
                *held = reinterpret_cast<PyObject *>(link);
                return SWIG_OK;
            }
        }
    }
    return convertAnyPointer(obj, pointer, type, flags, held);
}

// Whether `obj` would convert to a `type` pointer (None does), for choosing among overloads:
// the same rules as convertPointer, keeping nothing. A str, the usual other candidate's
// argument, is no object: it fails without looking for a "this" attribute.
inline bool convertsTo(PyObject *obj, swig_type_info *type)
{
    if (obj == Py_None)
        return true;
    if (PyUnicode_Check(obj))
        return false;
    SwigPyObject *const pointerObject = pointerObjectOf(obj);
    if (!pointerObject)
        return false;
    bool const converts = linkOf(pointerObject, type) != nullptr;
    Py_DECREF(pointerObject);
    return converts;
}

// Whether the object behind a kept pointer object was deleted since it was converted (its
// delete entry clears the pointer object), so the call must not use the pointer it gave.
inline bool wasDeleted(PyObject *held, void const *converted)
{
    return held && converted && !reinterpret_cast<SwigPyObject *>(held)->ptr;
}

// What one vector argument keeps for the call, as convertPointer keeps an object argument's
// pointer object: the container it used in place, or the pointer objects behind its object
// elements, each with the position of the element it gave. The wrapper releases them.
class KeptObjects
{
public:
    PyObject *container = nullptr;

    // Takes over `held`, also when it cannot be recorded.
    void keep(PyObject *held, std::size_t element)
    {
        try
        {
            myElements.emplace_back(held, element);
        }
        catch (...)
        {
            Py_DECREF(held);
            throw;
        }
    }

    // After every argument converted: false when the container used in place was deleted
    // meanwhile; elements whose objects were deleted become null, as they would convert now.
    template <class E>
    bool stillUsable(std::vector<E> *elements) const
    {
        if (container && !reinterpret_cast<SwigPyObject *>(container)->ptr)
            return false;
        for (auto const &[held, element] : myElements)
            if (!reinterpret_cast<SwigPyObject *>(held)->ptr)
                nullify(elements, element);
        return true;
    }

    void release()
    {
        Py_CLEAR(container);
        for (auto const &kept : myElements)
            Py_DECREF(kept.first);
        myElements.clear();
    }

private:
    template <class T>
    static void nullify(std::vector<T *> *elements, std::size_t element) { (*elements)[element] = nullptr; }
    template <class E>
    static void nullify(std::vector<E> *, std::size_t) {}

    std::vector<std::pair<PyObject *, std::size_t>> myElements;
};

// Converts `self`, keeping its pointer object in `*held` as convertPointer does. For a delete
// entry (`deleting`), yields the object only when the proxy owned it, and then releases it: the
// proxy no longer owns nor points at it. Other operations that take ownership (`disown`) convert
// as usual and clear the own flag.
__attribute__((noinline)) inline int releaseSelf(PyObject *obj, void **pointer, swig_type_info *type)
{
    // A delete entry takes nothing else, and a pointer object being collected calls it with
    // itself: it is converted without being kept. The collected pointer object of the class
    // itself releases its object here; anything else goes the runtime's way.
    SwigPyObject *const pointerObject = Py_TYPE(obj) == pointerObjectType()
                                            ? reinterpret_cast<SwigPyObject *>(obj)
                                            : SWIG_Python_GetSwigThis(obj);
    if (pointerObject && pointerObject->own && pointerObject->ty == type)
    {
        *pointer = pointerObject->ptr;
        pointerObject->own = 0;
        pointerObject->ptr = nullptr;
        return SWIG_OK;
    }
    if (pointerObject && pointerObject->own)
        return SWIG_ConvertPtr(obj, pointer, type, SWIG_POINTER_RELEASE);
    int const status = SWIG_ConvertPtr(obj, pointer, type, 0);
    *pointer = nullptr;
    return status;
}

__attribute__((always_inline)) inline int convertSelf(PyObject *obj, void **pointer,
                                                      swig_type_info *type, int disown,
                                                      bool deleting, PyObject **held)
{
    if (deleting)
        return releaseSelf(obj, pointer, type);
    return convertPointer(obj, pointer, type, disown ? SWIG_POINTER_DISOWN : 0, held);
}

// Raises the caught error as its registered Python class, holding an owned copy; an
// unregistered class raises RuntimeError with the bare pointer object. Registration admits only
// exception classes for errors; should the class still fail to make its instance (a __new__
// that raises), that failure is the exception raised, and the copy went with its pointer object.
template <class E>
void raiseError(E const &error, swig_type_info *type)
{
    PyObject *const value = SWIG_NewPointerObj(new E(error), type, SWIG_POINTER_OWN);
    if (!value)
        return;
    PyErr_SetObject(SWIG_Python_ExceptionType(type), value);
    Py_DECREF(value);
}

// Translates the exception being handled when it is none that the operation lists.
//
// The host contract allows KOM_SystemExit only from `exit`. Should a host throw it from another
// operation (or from a question that picks a result's class), the binding survives it: ending
// the interpreter is the host's request to make, so it becomes Python's SystemExit with the code,
// exactly as from `exit`, and never ends the process from inside a call. An error class the
// operation does not list reaches Python as plain kal.Error; standard exceptions as MemoryError
// or RuntimeError; anything else as RuntimeError. A thread that the interpreter ends while it
// waits for the interpreter lock unwinds through here and must go on unwinding.
// The unwinder's forced-unwind exception has no object: catching it by reference is how C++
// recognises it, and the sanitizer's null-reference check must not stop that thread's exit.
__attribute__((no_sanitize_undefined)) inline void raiseUnlisted()
{
    try
    {
        throw;
    }
    catch (abi::__forced_unwind const &)
    {
        throw;
    }
    catch (KOM_SystemExit const &exitRequest)
    {
        PyObject *const code = PyLong_FromLong(exitRequest.code());
        if (code)
        {
            PyErr_SetObject(PyExc_SystemExit, code);
            Py_DECREF(code);
        }
    }
    catch (KOM_Error const &error)
    {
        raiseError(error, SWIGTYPE_p_KOM_Error);
    }
    catch (std::bad_alloc const &)
    {
        PyErr_NoMemory();
    }
    catch (std::exception const &error)
    {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    catch (...)
    {
        PyErr_SetString(PyExc_RuntimeError, "unknown exception from the application");
    }
}

// A destructor that throws: its error is reported as unraisable, the pending exception kept,
// as when the delete entry fails while a pointer object is collected.
inline void reportDeletionError()
{
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    raiseUnlisted();
    PyErr_WriteUnraisable(nullptr);
    PyErr_Restore(type, value, traceback);
}

// `object` as an `Interface`, or null when it does not implement it. The answer depends only on
// the object's complete class and where `object` sits in it, so it is worked out once per such
// place and then read back: a `dynamic_cast` across the host library's boundary compares class
// names, and the interfaces derive virtually, so no static cast can stand in for it.
template <class Interface, class Base>
Interface *downcast(Base *object)
{
    struct Place
    {
        std::type_info const *completeClass = nullptr;
        std::ptrdiff_t offsetInComplete = 0, offsetToInterface = 0;
        bool implements = false;
    };
    static Place places[8];
    static unsigned next = 0;
    std::type_info const *const completeClass = &typeid(*object);
    char const *const at = reinterpret_cast<char const *>(object);
    std::ptrdiff_t const offsetInComplete = at - static_cast<char const *>(dynamic_cast<void const *>(object));
    for (Place const &place : places)
        if (place.completeClass == completeClass && place.offsetInComplete == offsetInComplete)
            return place.implements
                       ? reinterpret_cast<Interface *>(const_cast<char *>(at) + place.offsetToInterface)
                       : nullptr;
    Interface *const specific = dynamic_cast<Interface *>(object);
    places[next++ % (sizeof places / sizeof *places)] = Place{
        completeClass, offsetInComplete,
        specific ? reinterpret_cast<char const *>(specific) - at : 0, specific != nullptr};
    return specific;
}

// `object` as a proxy of `Interface`, or None when it does not implement it.
template <class Interface, class Base>
PyObject *wrapAs(Base *object, swig_type_info *type, int own)
{
    Interface *specific = downcast<Interface>(object);
    if (!specific)
    {
        if (own & SWIG_POINTER_OWN)
            delete object;
        Py_RETURN_NONE;
    }
    return SWIG_NewPointerObj(specific, type, own);
}

// Runs a question put to a returned object. A question that throws leaves a translated
// error set (and the owned object deleted) instead of escaping the module.
template <class Base, class Question, class Answer>
bool ask(Base *object, int own, Question question, Answer *answer)
{
    try
    {
        *answer = question();
        return true;
    }
    catch (KOM_ObjectWasDeleted const &error)
    {
        raiseError(error, SWIGTYPE_p_KOM_ObjectWasDeleted);
    }
    catch (...)
    {
        raiseUnlisted();
    }
    if (own & SWIG_POINTER_OWN)
        delete object;
    return false;
}

} // namespace kal

inline PyObject *KOMconvertValueForInterpreter(KOM_Node *const &node, int own)
{
    if (!node)
        Py_RETURN_NONE;
    int category = 0;
    if (!kal::ask(node, own, [&] { return node->categoryCode(); }, &category))
        return nullptr;
    switch (category)
    {
    case KOM_ObjectCategory:
    {
        int flags = 0;
        if (!kal::ask(node, own, [&] { return node->flagBits(); }, &flags))
            return nullptr;
        if (flags & KOM_SimulationNetworkFlag)
            return kal::wrapAs<KOM_DopNetNode>(node, SWIGTYPE_p_KOM_DopNetNode, own);
        return kal::wrapAs<KOM_ObjNode>(node, SWIGTYPE_p_KOM_ObjNode, own);
    }
    case KOM_SopCategory: return kal::wrapAs<KOM_SopNode>(node, SWIGTYPE_p_KOM_SopNode, own);
    case KOM_PopNetCategory: return kal::wrapAs<KOM_PopNetNode>(node, SWIGTYPE_p_KOM_PopNetNode, own);
    case KOM_PopCategory: return kal::wrapAs<KOM_PopNode>(node, SWIGTYPE_p_KOM_PopNode, own);
    case KOM_ChopCategory: return kal::wrapAs<KOM_ChopNode>(node, SWIGTYPE_p_KOM_ChopNode, own);
    case KOM_ShopCategory: return kal::wrapAs<KOM_ShopNode>(node, SWIGTYPE_p_KOM_ShopNode, own);
    case KOM_VopNetCategory: return kal::wrapAs<KOM_VopNetNode>(node, SWIGTYPE_p_KOM_VopNetNode, own);
    case KOM_DopCategory: return kal::wrapAs<KOM_DopNode>(node, SWIGTYPE_p_KOM_DopNode, own);
    default: return SWIG_NewPointerObj(node, SWIGTYPE_p_KOM_Node, own);
    }
}

inline PyObject *KOMconvertValueForInterpreter(KOM_NodeType *const &type, int own)
{
    if (!type)
        Py_RETURN_NONE;
    int manager = 0;
    if (!kal::ask(type, own, [&] { return type->isManager() ? 1 : 0; }, &manager))
        return nullptr;
    if (manager)
        return SWIG_NewPointerObj(type, SWIGTYPE_p_KOM_NodeType, own);
    int category = 0;
    if (!kal::ask(type, own, [&] { return type->categoryCode(); }, &category))
        return nullptr;
    switch (category)
    {
    case KOM_SopCategory: return kal::wrapAs<KOM_SopNodeType>(type, SWIGTYPE_p_KOM_SopNodeType, own);
    case KOM_ShopCategory: return kal::wrapAs<KOM_ShopNodeType>(type, SWIGTYPE_p_KOM_ShopNodeType, own);
    default: return SWIG_NewPointerObj(type, SWIGTYPE_p_KOM_NodeType, own);
    }
}

// The selections by a type value's id (numbered from 1 in each enumeration).
inline PyObject *KOMconvertValueForInterpreter(KOM_Prim *const &prim, int own)
{
    if (!prim)
        Py_RETURN_NONE;
    KOM_EnumValue *type = nullptr;
    if (!kal::ask(prim, own, [&] { return prim->type(); }, &type))
        return nullptr;
    if (type && type->valueId == KOM_PolygonPrimId) // a face of another kind stays a Prim
        return kal::wrapAs<KOM_Polygon>(prim, SWIGTYPE_p_KOM_Polygon, own);
    return SWIG_NewPointerObj(prim, SWIGTYPE_p_KOM_Prim, own);
}

inline PyObject *KOMconvertValueForInterpreter(KOM_PaneTab *const &paneTab, int own)
{
    if (!paneTab)
        Py_RETURN_NONE;
    KOM_EnumValue *type = nullptr;
    if (!kal::ask(paneTab, own, [&] { return paneTab->type(); }, &type))
        return nullptr;
    switch (type ? type->valueId : 0)
    {
    case KOM_SceneViewerPaneTabId:
    case KOM_ContextViewerPaneTabId:
        return kal::wrapAs<KOM_SceneViewer>(paneTab, SWIGTYPE_p_KOM_SceneViewer, own);
    case KOM_ChannelViewerPaneTabId: // viewers and views that follow a path
    case KOM_CompositorViewerPaneTabId:
    case KOM_OutputViewerPaneTabId:
    case KOM_ParmPaneTabId:
    case KOM_DetailsViewPaneTabId:
    case KOM_TreeViewPaneTabId:
        return kal::wrapAs<KOM_PathBasedPaneTab>(paneTab, SWIGTYPE_p_KOM_PathBasedPaneTab, own);
    case KOM_ParticleViewerPaneTabId: return kal::wrapAs<KOM_ParticleViewer>(paneTab, SWIGTYPE_p_KOM_ParticleViewer, own);
    case KOM_NetworkEditorPaneTabId: return kal::wrapAs<KOM_NetworkEditor>(paneTab, SWIGTYPE_p_KOM_NetworkEditor, own);
    case KOM_HelpBrowserPaneTabId: return kal::wrapAs<KOM_HelpBrowser>(paneTab, SWIGTYPE_p_KOM_HelpBrowser, own);
    default: return SWIG_NewPointerObj(paneTab, SWIGTYPE_p_KOM_PaneTab, own);
    }
}
