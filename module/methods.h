// The proxy classes' methods. The generator's proxies hold each method as an instance method
// around the module's function, which the interpreter calls by binding it first: one bound
// method object made and freed per call. `kal::ProxyMethod` behaves as that instance method does
// (read from the class it is the function itself, read from a proxy a bound method), and is also
// a method descriptor, so that `proxy.method(...)` calls the function with the proxy as its first
// argument directly. Included in the generated wrapper's header section.
#pragma once

#include <structmember.h>

namespace kal
{

struct ProxyMethod
{
    PyObject_HEAD
    PyObject *function;
    vectorcallfunc vectorcall;
};

inline PyObject *callProxyMethod(PyObject *method, PyObject *const *args, size_t nargsf,
                                 PyObject *kwnames)
{
    return PyObject_Vectorcall(reinterpret_cast<ProxyMethod *>(method)->function, args, nargsf,
                               kwnames);
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
    PyObject_GC_Track(method);
    return reinterpret_cast<PyObject *>(method);
}

} // namespace kal
