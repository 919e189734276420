// The proxy classes' methods. The generator's proxies hold each method as an instance method
// around the module's function, which the interpreter calls by binding it first: one bound
// method object made and freed per call. `kal::ProxyMethod` behaves as that instance method does
// (read from the class it is the function itself, read from a proxy a bound method), and is also
// a method descriptor, so that `proxy.method(...)` calls the function with the proxy as its first
// argument directly. A call goes straight to the function's C entry, with the arguments the entry
// takes by its flags (the object alone, or a tuple and the keywords), as the function itself
// would pass them. Included in the generated wrapper's header section.
#pragma once

#include <structmember.h>

namespace kal
{

// How a method reaches its function's C entry.
enum class EntryForm
{
    None,      // not a built-in function: called as any callable
    Object,    // METH_O: the one argument
    Tuple,     // METH_VARARGS: a tuple, no keywords
    Keywords,  // METH_VARARGS | METH_KEYWORDS: a tuple and a dict
};

struct ProxyMethod
{
    PyObject_HEAD
    PyObject *function;
    vectorcallfunc vectorcall;
    // The built-in function's C entry and what it gets as its first argument (the module, kept
    // alive by the function).
    EntryForm form;
    PyCFunction entry;
    PyObject *entrySelf;
};

// The entry's arguments when it takes a tuple (and a dict of keywords): what the function itself
// would build from the same call.
inline PyObject *callWithTuple(ProxyMethod const &method, PyObject *const *args, Py_ssize_t count,
                               PyObject *kwnames)
{
    PyObject *const tuple = PyTuple_New(count);
    if (!tuple)
        return nullptr;
    for (Py_ssize_t i = 0; i < count; ++i)
    {
        Py_INCREF(args[i]);
        PyTuple_SET_ITEM(tuple, i, args[i]);
    }
    PyObject *keywords = nullptr;
    if (kwnames)
    {
        keywords = PyDict_New();
        for (Py_ssize_t i = 0; keywords && i < PyTuple_GET_SIZE(kwnames); ++i)
            if (PyDict_SetItem(keywords, PyTuple_GET_ITEM(kwnames, i), args[count + i]) < 0)
                Py_CLEAR(keywords);
        if (!keywords)
        {
            Py_DECREF(tuple);
            return nullptr;
        }
    }
    PyObject *const result =
        method.form == EntryForm::Keywords
            ? reinterpret_cast<PyCFunctionWithKeywords>(reinterpret_cast<void (*)()>(method.entry))(
                  method.entrySelf, tuple, keywords)
            : method.entry(method.entrySelf, tuple);
    Py_DECREF(tuple);
    Py_XDECREF(keywords);
    return result;
}

inline PyObject *callProxyMethod(PyObject *object, PyObject *const *args, size_t nargsf,
                                 PyObject *kwnames)
{
    ProxyMethod const &method = *reinterpret_cast<ProxyMethod *>(object);
    Py_ssize_t const count = PyVectorcall_NARGS(nargsf);
    // Anything the entry would refuse (a count or keywords it does not take) goes through the
    // function, which says so.
    if (method.form == EntryForm::Object ? count != 1 || kwnames
                                         : method.form == EntryForm::None ||
                                               (kwnames && method.form != EntryForm::Keywords))
        return PyObject_Vectorcall(method.function, args, nargsf, kwnames);
    if (Py_EnterRecursiveCall(" while calling a Python object"))
        return nullptr;
    PyObject *const result = method.form == EntryForm::Object
                                 ? method.entry(method.entrySelf, args[0])
                                 : callWithTuple(method, args, count, kwnames);
    Py_LeaveRecursiveCall();
    return result;
}

inline PyObject *bindProxyMethod(PyObject *method, PyObject *instance, PyObject *)
{
    PyObject *const function = reinterpret_cast<ProxyMethod *>(method)->function;
    if (!instance)
    {
        Py_INCREF(function);
        return function;
    }
    return PyMethod_New(function, instance);
}

// Attributes the method does not have itself (its name, its documentation) are the function's.
inline PyObject *proxyMethodAttribute(PyObject *method, PyObject *name)
{
    PyObject *const own = PyObject_GenericGetAttr(method, name);
    if (own || !PyErr_ExceptionMatches(PyExc_AttributeError))
        return own;
    PyErr_Clear();
    return PyObject_GetAttr(reinterpret_cast<ProxyMethod *>(method)->function, name);
}

inline PyObject *proxyMethodRepr(PyObject *method)
{
    return PyUnicode_FromFormat("<kal method %R>", reinterpret_cast<ProxyMethod *>(method)->function);
}

inline int visitProxyMethod(PyObject *method, visitproc visit, void *arg)
{
    Py_VISIT(reinterpret_cast<ProxyMethod *>(method)->function);
    return 0;
}

inline int clearProxyMethod(PyObject *method)
{
    Py_CLEAR(reinterpret_cast<ProxyMethod *>(method)->function);
    return 0;
}

inline void freeProxyMethod(PyObject *method)
{
    PyObject_GC_UnTrack(method);
    clearProxyMethod(method);
    PyObject_GC_Del(method);
}

inline PyTypeObject *proxyMethodType()
{
    static PyMemberDef const members[] = {
        {const_cast<char *>("__func__"), T_OBJECT, offsetof(ProxyMethod, function), READONLY, nullptr},
        {nullptr, 0, 0, 0, nullptr}};
    static PyTypeObject type = [] {
        PyTypeObject made{PyVarObject_HEAD_INIT(nullptr, 0)};
        made.tp_name = "kal.ProxyMethod";
        made.tp_basicsize = sizeof(ProxyMethod);
        made.tp_dealloc = freeProxyMethod;
        made.tp_vectorcall_offset = offsetof(ProxyMethod, vectorcall);
        made.tp_repr = proxyMethodRepr;
        made.tp_call = PyVectorcall_Call;
        made.tp_getattro = proxyMethodAttribute;
        made.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_HAVE_VECTORCALL |
                        Py_TPFLAGS_METHOD_DESCRIPTOR;
        made.tp_traverse = visitProxyMethod;
        made.tp_clear = clearProxyMethod;
        made.tp_members = const_cast<PyMemberDef *>(members);
        made.tp_descr_get = bindProxyMethod;
        return made;
    }();
    if (!(type.tp_flags & Py_TPFLAGS_READY) && PyType_Ready(&type) < 0)
        return nullptr;
    return &type;
}

// `function` as a method of a proxy class (SWIG_PyInstanceMethod_New).
inline PyObject *newProxyMethod(PyObject *function)
{
    PyTypeObject *const type = proxyMethodType();
    if (!type)
        return nullptr;
    ProxyMethod *const method = PyObject_GC_New(ProxyMethod, type);
    if (!method)
        return nullptr;
    Py_INCREF(function);
    method->function = function;
    method->vectorcall = callProxyMethod;
    method->form = EntryForm::None;
    method->entry = nullptr;
    method->entrySelf = nullptr;
    if (PyCFunction_Check(function))
    {
        switch (PyCFunction_GET_FLAGS(function) & ~METH_COEXIST)
        {
        case METH_O: method->form = EntryForm::Object; break;
        case METH_VARARGS: method->form = EntryForm::Tuple; break;
        case METH_VARARGS | METH_KEYWORDS: method->form = EntryForm::Keywords; break;
        }
        method->entry = PyCFunction_GET_FUNCTION(function);
        method->entrySelf = PyCFunction_GET_SELF(function);
    }
    PyObject_GC_Track(method);
    return reinterpret_cast<PyObject *>(method);
}

} // namespace kal
