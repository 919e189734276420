// The proxy classes' methods. The generator's proxies hold each method as an instance method
// around the module's function, which the interpreter calls by binding it first: one bound
// method object made and freed per call. `kal::ProxyMethod` behaves as that instance method does
// (read from the class it is the function itself, read from a proxy a bound method), and is also
// a method descriptor, so that `proxy.method(...)` calls the function with the proxy as its first
// argument directly. A call goes straight to the function's C entry, with the arguments the entry
// takes by its flags (the object alone, or a tuple and the keywords), as the function itself
// would pass them. Registering a class turns its proxy methods into method descriptors of the C
// API, which the interpreter calls more directly still (see "the methods of registered classes").
// Included in the generated wrapper's header section.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

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
    Arguments, // METH_VARARGS with a form that takes the arguments as an array
};

// The form of a METH_VARARGS entry that takes its arguments as an array (the wrapper's entries
// that only unpack their tuple have one), or null (defined with the table of those entries).
using ArgumentsEntry = PyObject *(*)(PyObject *, PyObject *const *, Py_ssize_t);
ArgumentsEntry argumentsFormOf(PyCFunction entry);

// What SWIG_Python_UnpackTuple does with a tuple, for an array: the same messages.
inline bool unpackArguments(PyObject *const *arguments, Py_ssize_t count, char const *name, Py_ssize_t min,
                            Py_ssize_t max, PyObject **objects)
{
    if (count < min || count > max)
    {
        PyErr_Format(PyExc_TypeError, "%s expected %s%d arguments, got %d", name,
                     min == max ? "" : count < min ? "at least " : "at most ", static_cast<int>(count < min ? min : max),
                     static_cast<int>(count));
        return false;
    }
    std::copy(arguments, arguments + count, objects);
    std::fill(objects + count, objects + max, nullptr);
    return true;
}

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
    ArgumentsEntry arguments;
};

// The entry's arguments when it takes a tuple (and a dict of keywords): what the function itself
// would build from the same call, `self` first.
inline PyObject *callWithTuple(ProxyMethod const &method, PyObject *self, PyObject *const *args,
                               Py_ssize_t count, PyObject *kwnames)
{
    PyObject *const tuple = PyTuple_New(1 + count);
    if (!tuple)
        return nullptr;
    Py_INCREF(self);
    PyTuple_SET_ITEM(tuple, 0, self);
    for (Py_ssize_t i = 0; i < count; ++i)
    {
        Py_INCREF(args[i]);
        PyTuple_SET_ITEM(tuple, 1 + i, args[i]);
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

// The function called as any callable, `self` first: for what the entry would refuse, so that
// the function's own message stands.
__attribute__((noinline, cold)) inline PyObject *callFunction(ProxyMethod const &method, PyObject *self,
                                                              PyObject *const *args, Py_ssize_t count,
                                                              PyObject *kwnames)
{
    Py_ssize_t const total = 1 + count + (kwnames ? PyTuple_GET_SIZE(kwnames) : 0);
    PyObject **const all = PyMem_New(PyObject *, total);
    if (!all)
        return PyErr_NoMemory();
    all[0] = self;
    std::copy(args, args + total - 1, all + 1);
    PyObject *const result = PyObject_Vectorcall(method.function, all, 1 + count, kwnames);
    PyMem_Free(all);
    return result;
}

// `self.method(*args)`: straight to the entry with what it takes by its flags. Anything the entry
// would refuse (a count or keywords it does not take) goes through the function, which says so.
// No recursion check of its own: an entry recurses only through Python code, whose frames the
// interpreter checks.
inline PyObject *callEntry(ProxyMethod const &method, PyObject *self, PyObject *const *args,
                           Py_ssize_t count, PyObject *kwnames)
{
    if (method.form == EntryForm::Object && !count && !kwnames)
        return method.entry(method.entrySelf, self);
    PyObject *all[8];
    if (method.form == EntryForm::Arguments && !kwnames && count < Py_ssize_t(std::size(all)))
    {
        all[0] = self;
        std::copy(args, args + count, all + 1);
        return method.arguments(method.entrySelf, all, 1 + count);
    }
    if (method.form == EntryForm::Object || method.form == EntryForm::None ||
        (kwnames && method.form != EntryForm::Keywords))
        return callFunction(method, self, args, count, kwnames);
    return callWithTuple(method, self, args, count, kwnames);
}

inline PyObject *callProxyMethod(PyObject *object, PyObject *const *args, size_t nargsf,
                                 PyObject *kwnames)
{
    ProxyMethod const &method = *reinterpret_cast<ProxyMethod *>(object);
    Py_ssize_t const count = PyVectorcall_NARGS(nargsf);
    if (!count)
        return PyObject_Vectorcall(method.function, args, nargsf, kwnames);
    return callEntry(method, args[0], args + 1, count - 1, kwnames);
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
    method->arguments = nullptr;
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
        if (method->form == EntryForm::Tuple && (method->arguments = argumentsFormOf(method->entry)))
            method->form = EntryForm::Arguments;
    }
    PyObject_GC_Track(method);
    return reinterpret_cast<PyObject *>(method);
}


// --- the methods of registered classes -------------------------------------------------------
// The interpreter calls a method descriptor of the C API without binding it and, when `self` is
// exactly the descriptor's class, calls its C function straight from its loop. Registering a
// class makes its proxy methods such descriptors: each one a record with a C function of its own
// that calls the entry as the proxy method does (for a method of `self` alone, a method without
// arguments, which the interpreter calls with the least work of all). The class also gets a
// descriptor of its own for each method it inherits from a registered class, so that a proxy of a
// subclass (an `ObjNode` calling a `Node` method) is called as directly. The class's class,
// `kal.ProxyClassType`, keeps the rest as it was: a method read from the class is the module's
// function (whose messages for a `self` of another class are the entry's), and a method a script
// sets or deletes on a class is what its subclasses then find.

struct ClassMethod
{
    PyMethodDef definition;
    PyObject *name;      // holds the definition's name
    PyObject *method;    // the proxy method it stands for
    PyTypeObject *owner; // the class that defined it
};
// (a descriptor's definition is its record)
static_assert(offsetof(ClassMethod, definition) == 0);

inline constexpr std::size_t classMethodCapacity = 2048;
inline ClassMethod theClassMethods[classMethodCapacity];
inline std::size_t theClassMethodCount = 0;

__attribute__((noinline)) inline PyObject *callClassMethod(std::size_t index, PyObject *self,
                                                           PyObject *const *args, Py_ssize_t count,
                                                           PyObject *kwnames)
{
    return callEntry(*reinterpret_cast<ProxyMethod *>(theClassMethods[index].method), self, args, count,
                     kwnames);
}

using FastMethod = PyObject *(*)(PyObject *, PyObject *const *, Py_ssize_t, PyObject *);

// The C function of record `Index` when its entry takes arguments: a few, to an entry that takes
// them as an array, go straight to it; anything else through callEntry.
template <std::size_t Index>
PyObject *classMethodFunction(PyObject *self, PyObject *const *args, Py_ssize_t count, PyObject *kwnames)
{
    auto const &method = *reinterpret_cast<ProxyMethod const *>(theClassMethods[Index].method);
    if (method.form == EntryForm::Arguments && count < 4 && !kwnames)
    {
        PyObject *all[4] = {self};
        std::copy(args, args + count, all + 1);
        return method.arguments(method.entrySelf, all, 1 + count);
    }
    return callClassMethod(Index, self, args, count, kwnames);
}

// The C function of record `Index` when its entry takes `self` alone: a method without arguments,
// which the interpreter calls straight from its loop with the least work of all.
template <std::size_t Index>
PyObject *classMethodWithoutArguments(PyObject *self, PyObject *)
{
    auto const &method = *reinterpret_cast<ProxyMethod const *>(theClassMethods[Index].method);
    return method.entry(method.entrySelf, self);
}

// A method without arguments called other than from the interpreter's loop: given arguments or
// keywords, it fails as its entry does, as every other method does. (Bound to a proxy and called
// later, it says what any method without arguments says.) The interpreter's own call stands for
// what it refuses before any entry is reached: no `self`, or a `self` of another class.
inline vectorcallfunc theStockCallWithoutArguments = nullptr;

inline PyObject *callClassMethodWithoutArguments(PyObject *descriptor, PyObject *const *args, size_t nargsf,
                                                 PyObject *kwnames)
{
    auto *const described = reinterpret_cast<PyMethodDescrObject *>(descriptor);
    Py_ssize_t const count = PyVectorcall_NARGS(nargsf);
    if (count < 1 || !PyObject_TypeCheck(args[0], PyDescr_TYPE(described)))
        return theStockCallWithoutArguments(descriptor, args, nargsf, kwnames);
    auto const &record = *reinterpret_cast<ClassMethod const *>(described->d_method);
    return callEntry(*reinterpret_cast<ProxyMethod const *>(record.method), args[0], args + 1, count - 1, kwnames);
}

template <std::size_t... Index>
constexpr std::array<FastMethod, sizeof...(Index)> classMethodFunctions(std::index_sequence<Index...>)
{
    return {{&classMethodFunction<Index>...}};
}

template <std::size_t... Index>
constexpr std::array<PyCFunction, sizeof...(Index)> classMethodsWithoutArguments(std::index_sequence<Index...>)
{
    return {{&classMethodWithoutArguments<Index>...}};
}

inline constexpr std::array<FastMethod, classMethodCapacity> theClassMethodFunctions =
    classMethodFunctions(std::make_index_sequence<classMethodCapacity>());
inline constexpr std::array<PyCFunction, classMethodCapacity> theClassMethodsWithoutArguments =
    classMethodsWithoutArguments(std::make_index_sequence<classMethodCapacity>());

// The record behind a method descriptor, or null when it is none of them.
inline ClassMethod const *classMethodOf(PyObject *value)
{
    if (Py_TYPE(value) != &PyMethodDescr_Type)
        return nullptr;
    auto const at = reinterpret_cast<std::uintptr_t>(reinterpret_cast<PyMethodDescrObject *>(value)->d_method);
    auto const first = reinterpret_cast<std::uintptr_t>(theClassMethods);
    if (at < first || at >= first + theClassMethodCount * sizeof(ClassMethod))
        return nullptr;
    return reinterpret_cast<ClassMethod const *>(at);
}

// An attribute of a registered class: a method read from the class is the module's function.
inline PyObject *classAttribute(PyObject *cls, PyObject *name)
{
    PyObject *const value = PyType_Type.tp_getattro(cls, name);
    ClassMethod const *const method = value ? classMethodOf(value) : nullptr;
    if (!method)
        return value;
    PyObject *const function = reinterpret_cast<ProxyMethod *>(method->method)->function;
    Py_INCREF(function);
    Py_DECREF(value);
    return function;
}

// A new reference to the list of `cls`'s direct subclasses, or null with the error set.
inline PyObject *subclassesOf(PyObject *cls)
{
    static PyObject *const name = PyUnicode_InternFromString("__subclasses__");
    return name ? PyObject_CallMethodNoArgs(cls, name) : nullptr;
}

// Setting or deleting an attribute of a registered class: its subclasses drop the descriptors they
// got for the method it replaces, and find what the class now has, as they would without them.
inline int setClassAttribute(PyObject *cls, PyObject *name, PyObject *value)
{
    if (PyType_Type.tp_setattro(cls, name, value) < 0)
        return -1;
    int status = 0;
    Py_INCREF(cls);
    std::vector<PyObject *> pending{cls};
    while (status == 0 && !pending.empty())
    {
        PyObject *const parent = pending.back();
        pending.pop_back();
        PyObject *const subclasses = subclassesOf(parent);
        Py_DECREF(parent);
        status = subclasses ? 0 : -1;
        for (Py_ssize_t i = 0; status == 0 && i < PyList_GET_SIZE(subclasses); ++i)
        {
            auto *const subclass = reinterpret_cast<PyTypeObject *>(PyList_GET_ITEM(subclasses, i));
            PyObject *const own = PyDict_GetItemWithError(subclass->tp_dict, name);
            ClassMethod const *const method = own ? classMethodOf(own) : nullptr;
            // A subclass with a method of its own keeps it, and so do its subclasses.
            if (own && !(method && method->owner != subclass))
                continue;
            if (own ? PyDict_DelItem(subclass->tp_dict, name) < 0 : PyErr_Occurred() != nullptr)
                status = -1;
            PyType_Modified(subclass);
            Py_INCREF(subclass);
            pending.push_back(reinterpret_cast<PyObject *>(subclass));
        }
        Py_XDECREF(subclasses);
    }
    for (PyObject *left : pending)
        Py_DECREF(left);
    return status;
}

inline PyTypeObject *proxyClassType()
{
    static PyTypeObject *made = nullptr;
    if (!made)
    {
        static PyType_Slot slots[] = {{Py_tp_getattro, reinterpret_cast<void *>(classAttribute)},
                                      {Py_tp_setattro, reinterpret_cast<void *>(setClassAttribute)},
                                      {0, nullptr}};
        static PyType_Spec definition = {"kal.ProxyClassType", 0, 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
                                   slots};
        made = reinterpret_cast<PyTypeObject *>(
            PyType_FromSpecWithBases(&definition, reinterpret_cast<PyObject *>(&PyType_Type)));
    }
    return made;
}

// Whether `cls` is one of kal's classes, or a script's class derived from one.
inline bool isProxyClass(PyTypeObject *cls)
{
    PyTypeObject *const classType = proxyClassType();
    return classType && PyObject_TypeCheck(reinterpret_cast<PyObject *>(cls), classType);
}

// `cls`'s descriptor for `method` under `name`, in its dictionary.
inline bool addClassMethod(PyTypeObject *cls, PyObject *name, ClassMethod const &method)
{
    PyObject *const descriptor = PyDescr_NewMethod(cls, const_cast<PyMethodDef *>(&method.definition));
    if (descriptor && method.definition.ml_flags == METH_NOARGS)
    {
        auto &call = reinterpret_cast<PyMethodDescrObject *>(descriptor)->vectorcall;
        theStockCallWithoutArguments = call;
        call = callClassMethodWithoutArguments;
    }
    bool const added = descriptor && PyDict_SetItem(cls->tp_dict, name, descriptor) == 0;
    Py_XDECREF(descriptor);
    return added;
}

// A record for `cls`'s proxy method `method` named `name`, or null when the records are full.
inline ClassMethod const *recordClassMethod(PyTypeObject *cls, PyObject *name, PyObject *method)
{
    if (theClassMethodCount == classMethodCapacity)
        return nullptr;
    char const *const text = PyUnicode_AsUTF8(name);
    if (!text)
        return nullptr;
    ClassMethod &record = theClassMethods[theClassMethodCount];
    // (a method of `self` alone is one without arguments: see callClassMethodWithoutArguments)
    record.definition =
        reinterpret_cast<ProxyMethod *>(method)->form == EntryForm::Object
            ? PyMethodDef{text, theClassMethodsWithoutArguments[theClassMethodCount], METH_NOARGS, nullptr}
            : PyMethodDef{text,
                          reinterpret_cast<PyCFunction>(
                              reinterpret_cast<void (*)()>(theClassMethodFunctions[theClassMethodCount])),
                          METH_FASTCALL | METH_KEYWORDS, nullptr};
    Py_INCREF(name);
    Py_INCREF(method);
    record.name = name;
    record.method = method;
    record.owner = cls;
    ++theClassMethodCount;
    return &record;
}

// Makes `cls` a class of kal's: its class `kal.ProxyClassType` (unless a script gave it a class
// of its own), its proxy methods descriptors of the class, and a descriptor of its own for each
// method it inherits from a registered class. Methods past the records' capacity stay proxy
// methods, which behave the same.
inline bool adoptClass(PyTypeObject *cls)
{
    PyTypeObject *const classType = proxyClassType();
    if (!classType)
        return false;
    if (Py_TYPE(cls) == &PyType_Type)
    {
        Py_INCREF(classType);
        Py_SET_TYPE(cls, classType);
    }
    if (Py_TYPE(cls) != classType || !cls->tp_dict || !cls->tp_mro)
        return true;
    std::vector<std::pair<PyObject *, PyObject *>> own;
    PyObject *key, *value;
    Py_ssize_t at = 0;
    while (PyDict_Next(cls->tp_dict, &at, &key, &value))
        if (Py_TYPE(value) == proxyMethodType() && PyUnicode_Check(key) &&
            reinterpret_cast<ProxyMethod *>(value)->form != EntryForm::None)
            own.emplace_back(key, value);
    bool adopted = true;
    for (auto const &[name, method] : own)
    {
        ClassMethod const *const record = recordClassMethod(cls, name, method);
        if (!record)
        {
            adopted = !PyErr_Occurred();
            break;
        }
        if (!(adopted = addClassMethod(cls, name, *record)))
            break;
    }
    PyType_Modified(cls); // the look-ups below must see the class's own methods
    std::vector<std::pair<PyObject *, ClassMethod const *>> inherited;
    for (Py_ssize_t base = 1; adopted && base < PyTuple_GET_SIZE(cls->tp_mro); ++base)
    {
        PyObject *const dict = reinterpret_cast<PyTypeObject *>(PyTuple_GET_ITEM(cls->tp_mro, base))->tp_dict;
        at = 0;
        while (dict && PyDict_Next(dict, &at, &key, &value))
            if (ClassMethod const *const method = classMethodOf(value);
                method && _PyType_Lookup(cls, key) == value)
                inherited.emplace_back(key, method);
    }
    for (auto const &[name, method] : inherited)
        if (!(adopted = adopted && addClassMethod(cls, name, *method)))
            break;
    PyType_Modified(cls);
    return adopted;
}

} // namespace kal
