// The class registry: which Python class each type's results come back as. The type records
// are process-wide, so only what every later conversion can use is admitted, and only from
// the interpreter that loaded the module first. Included in the generated wrapper's header
// section, after the runtime and the type table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kal
{

// The records hold classes of one interpreter; a class of another one would outlive it, and
// results would come back as classes its own scripts never defined. The main interpreter
// loads the module; a sub-interpreter's import fails before anything changes.
inline bool loadingInMainInterpreter()
{
    if (PyInterpreterState_Get() == PyInterpreterState_Main())
        return true;
    PyErr_SetString(PyExc_ImportError,
                    "_kal can be imported only in the main interpreter: its classes are "
                    "registered once for the whole process");
    return false;
}

// What a type's own delete entry (`delete_<Class>`) does, as a C++ function: deletes the object
// as that type. Null members for a type without one.
struct OwnDeletion
{
    PyCFunction entry;
    void (*deleteObject)(void *object);
};

// Defined with the table of registration entries.
OwnDeletion ownDeletionOf(swig_type_info *type);

// Reports the exception being handled as a delete entry's failure is reported when a pointer
// object is collected (convert/objects.h).
inline void reportDeletionError();

template <class T>
void deleteAs(void *object)
{
    try
    {
        delete static_cast<T *>(object);
    }
    catch (...)
    {
        reportDeletionError();
    }
}

// The deletion that frees what a registered class's pointer objects own without calling its
// delete entry. Recorded only when the class's destroy hook is its type's own delete entry,
// which runs no Python code: the entry would convert the pointer object, delete the object and
// return None, so nothing can tell the two apart. A class registered with another hook has its
// hook called as before. Kept beside the runtime's record (`data`, the type's client data) rather
// than in it, because a type may carry the record of another module sharing the runtime: a
// deletion is used only with the record it was made with.
struct Deletion
{
    swig_type_info *type;
    SwigPyClientData const *data;
    void (*deleteObject)(void *object);
};
// Open addressing by the type's address: more slots than the module has classes, so a look-up
// ends at its type or at an empty slot.
inline Deletion theDeletions[256];

__attribute__((noinline)) inline Deletion &deletionSlotOf(swig_type_info *type)
{
    constexpr std::size_t slots = sizeof theDeletions / sizeof *theDeletions;
    std::size_t at = (reinterpret_cast<std::uintptr_t>(type) >> 4) % slots;
    while (theDeletions[at].type && theDeletions[at].type != type)
        at = (at + 1) % slots;
    return theDeletions[at];
}

// Results come in runs of one class: the slot last looked up is tried first.
inline Deletion const *theLastDeletion = theDeletions;

// How an owning pointer object of `type` whose type has client data `data` deletes its object
// directly, or null when it calls the destroy hook.
__attribute__((always_inline)) inline auto directDeletion(swig_type_info *type, SwigPyClientData const *data)
    -> void (*)(void *)
{
    Deletion const *deletion = theLastDeletion;
    if (deletion->type != type)
        theLastDeletion = deletion = &deletionSlotOf(type);
    return deletion->data == data ? deletion->deleteObject : nullptr;
}

// Gives a class of proxies the direct deallocation when its layout allows (convert/objects.h).
inline void adoptProxyDeallocation(PyTypeObject *cls);

// `<Class>_swigregister`: makes `cls` the class of `type`'s results. Results are made by the
// class's own allocation (so it must have one), an owning pointer object calls the class's
// destroy hook directly as a built-in function (so the hook is a built-in or absent), and errors
// are raised with the class as their type (so an error class is an exception class). A refused
// class raises TypeError and the earlier registration stays. An admitted class becomes one of
// kal's (adoptClass, module/methods.h): its methods are called as method descriptors.
inline bool registerClass(swig_type_info *type, PyObject *cls)
{
    if (!loadingInMainInterpreter())
        return false;
    char const *refusal = nullptr;
    if (!PyType_Check(cls))
        refusal = "swigregister expects a class";
    else if (!reinterpret_cast<PyTypeObject *>(cls)->tp_new)
        refusal = "swigregister expects a class that can make instances";
    else if (SWIG_TypeCheckStruct(type, SWIGTYPE_p_KOM_Error) &&
             !PyType_IsSubtype(reinterpret_cast<PyTypeObject *>(cls),
                               reinterpret_cast<PyTypeObject *>(PyExc_BaseException)))
        refusal = "swigregister expects an exception class for an error type";
    if (refusal)
    {
        PyErr_SetString(PyExc_TypeError, refusal);
        return false;
    }
    // Read once: the hook checked is the hook kept.
    PyObject *destroy = PyObject_GetAttrString(cls, "__swig_destroy__");
    if (!destroy)
    {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError))
            return false;
        PyErr_Clear();
    }
    else if (!PyCFunction_Check(destroy))
    {
        Py_DECREF(destroy);
        PyErr_SetString(PyExc_TypeError,
                        "swigregister expects __swig_destroy__ to be a built-in delete entry");
        return false;
    }
    SwigPyClientData *const data = adoptClass(reinterpret_cast<PyTypeObject *>(cls))
                                       ? static_cast<SwigPyClientData *>(malloc(sizeof(SwigPyClientData)))
                                       : nullptr;
    if (!data)
    {
        Py_XDECREF(destroy);
        if (!PyErr_Occurred())
            PyErr_NoMemory();
        return false;
    }
    // What the runtime's own set-up records for a class: instances from its allocation.
    Py_INCREF(cls);
    Py_INCREF(cls);
    data->klass = cls;
    data->newraw = nullptr;
    data->newargs = cls;
    data->destroy = destroy;
    data->delargs = destroy && !(PyCFunction_GET_FLAGS(destroy) & METH_O);
    data->implicitconv = 0;
    data->pytype = nullptr;
    SWIG_TypeNewClientData(type, data);
    adoptProxyDeallocation(reinterpret_cast<PyTypeObject *>(cls));
    OwnDeletion const own = ownDeletionOf(type);
    deletionSlotOf(type) = Deletion{
        type, data, destroy && own.entry && PyCFunction_GET_FUNCTION(destroy) == own.entry ? own.deleteObject : nullptr};
    return true;
}

// The module's functions, one per entry of `functions`, in its dictionary. What the interpreter
// does for a module's method table, less what costs most of it for two thousand entries at every
// import: the generic attribute assignment (a look-up of each name among the module type's own
// attributes first) and interning each name (a table the interpreter also sweeps at exit). Names
// are found in the dictionary by their text all the same, and the interpreter interns the names
// it looks up.
// The functions are not tracked by the cycle collector, which would otherwise go through all of
// them in every full collection, at exit several times: they refer only to the module, which
// never goes while the interpreter lives (the interpreter holds every module of this kind in a
// table of its own until it ends, and at exit clears their dictionaries before freeing them).
inline bool addFunctions(PyObject *module, PyMethodDef *functions)
{
    PyObject *const dict = PyModule_GetDict(module);
    PyObject *const moduleName = PyModule_GetNameObject(module);
    if (!moduleName)
        return false;
    bool added = true;
    for (PyMethodDef *entry = functions; added && entry->ml_name; ++entry)
    {
        PyObject *const function = PyCFunction_NewEx(entry, module, moduleName);
        if (function)
            PyObject_GC_UnTrack(function);
        PyObject *const name = function ? PyUnicode_FromString(entry->ml_name) : nullptr;
        added = name && PyDict_SetItem(dict, name, function) == 0;
        Py_XDECREF(name);
        Py_XDECREF(function);
    }
    Py_DECREF(moduleName);
    return added;
}

// --- classes made on first use ---------------------------------------------------------------
// The proxy module makes its classes when they are first needed: a script naming one, or a result
// of its type. For a type whose class is not made yet, a result asks the proxy module for it by
// name (`_proxyClass`), which makes it, bases first, and registers it through the type's
// `<Class>_swigregister`. Until the proxy module is loaded, or for a type no class wraps, there is
// no class, and results are bare pointer objects.

// The name of the proxy class of `type`, or null (defined with the table of registration entries).
char const *proxyClassName(swig_type_info *type);

// The proxy module's name: `_kal`'s own, without its underscore (`kal`, or `package.kal`).
inline PyObject *&proxyModuleName()
{
    static PyObject *name = nullptr;
    return name;
}

inline bool findsProxyModuleBeside(PyObject *extension)
{
    PyObject *const name = PyModule_GetNameObject(extension);
    if (!name)
        return false;
    Py_ssize_t const dot = PyUnicode_FindChar(name, '.', 0, PyUnicode_GET_LENGTH(name), -1);
    PyObject *const package = PyUnicode_Substring(name, 0, dot + 1);
    PyObject *const own = PyUnicode_Substring(name, dot + 2, PyUnicode_GET_LENGTH(name));
    Py_DECREF(name);
    PyObject *const proxy = package && own ? PyUnicode_Concat(package, own) : nullptr;
    Py_XDECREF(package);
    Py_XDECREF(own);
    if (!proxy)
        return false;
    Py_XSETREF(proxyModuleName(), proxy);
    return true;
}

// The client data of the class registered for `type` into `*data`, null when there is none,
// asking the proxy module to make the class first when it has not. False, with the exception
// set, when making it failed.
inline bool classDataOf(swig_type_info *type, SwigPyClientData **data)
{
    *data = type ? static_cast<SwigPyClientData *>(type->clientdata) : nullptr;
    if (*data || !type)
        return true;
    char const *const name = proxyClassName(type);
    // No Python code runs while an exception is set.
    if (!name || PyErr_Occurred() || !proxyModuleName())
        return true;
    PyObject *const module = PyImport_GetModule(proxyModuleName());
    PyObject *const make = module ? PyObject_GetAttrString(module, "_proxyClass") : nullptr;
    Py_XDECREF(module);
    if (!make)
    {
        // Not loaded yet, or not far enough to make classes.
        PyErr_Clear();
        return true;
    }
    PyObject *const className = PyUnicode_FromString(name);
    PyObject *const cls = className ? PyObject_CallOneArg(make, className) : nullptr;
    Py_XDECREF(className);
    Py_DECREF(make);
    if (!cls)
        return false;
    Py_DECREF(cls);
    *data = static_cast<SwigPyClientData *>(type->clientdata);
    return true;
}

} // namespace kal
