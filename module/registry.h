// The class registry: which Python class each type's results come back as. The type records
// are process-wide, so only what every later conversion can use is admitted, and only from
// the interpreter that loaded the module first. Included in the generated wrapper's header
// section, after the runtime and the type table.
#pragma once

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

// `<Class>_swigregister`: makes `cls` the class of `type`'s results. Results are made by the
// class's own allocation (so it must have one), an owning pointer object calls the class's
// destroy hook directly as a built-in function (so the hook is a built-in or absent), and errors
// are raised with the class as their type (so an error class is an exception class). A refused
// class raises TypeError and the earlier registration stays.
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
    SwigPyClientData *const data = static_cast<SwigPyClientData *>(malloc(sizeof(SwigPyClientData)));
    if (!data)
    {
        Py_XDECREF(destroy);
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
    return true;
}

} // namespace kal
