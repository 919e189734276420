// The benchmarked operations written by hand against the CPython C API, on the same reference
// host: a type holding the host pointer and METH_NOARGS / METH_O / METH_FASTCALL methods. No
// binding of this host can do less per call, so it is the limit kal is measured against.
#include <Python.h>

#include <cfloat>
#include <memory>
#include <string>
#include <vector>

#include "model/errors.h"
#include "model/mathvalues.h"
#include "model/module.h"
#include "model/nodes.h"
#include "model/nodetypes.h"
#include "model/parms.h"
#include "model/simulation.h"

namespace
{

// The host errors as Python exceptions that hold a copy of the caught error, as kal's do.
struct ErrorObject
{
    PyBaseExceptionObject base;
    KOM_Error *error;
};

void deallocateError(PyObject *self)
{
    delete reinterpret_cast<ErrorObject *>(self)->error;
    reinterpret_cast<PyTypeObject *>(PyExc_Exception)->tp_dealloc(self);
}

PyObject *errorText(PyObject *self)
{
    KOM_Error const *const error = reinterpret_cast<ErrorObject *>(self)->error;
    std::string const text = error ? error->__str__() : std::string();
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
}

PyTypeObject makeErrorType(char const *name, PyTypeObject *base)
{
    PyTypeObject type = {PyVarObject_HEAD_INIT(nullptr, 0)};
    type.tp_name = name;
    type.tp_basicsize = sizeof(ErrorObject);
    type.tp_dealloc = deallocateError;
    type.tp_str = errorText;
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_BASE_EXC_SUBCLASS;
    type.tp_base = base;
    return type;
}

PyTypeObject theError = makeErrorType("kalcapi.Error", nullptr); // Exception, set at start-up
PyTypeObject theObjectWasDeleted = makeErrorType("kalcapi.ObjectWasDeleted", &theError);
PyObject *theNoArguments;

template <class E>
void raise(E const &error, PyTypeObject *type)
{
    PyObject *const value = type->tp_new(type, theNoArguments, nullptr);
    if (!value)
        return;
    try
    {
        reinterpret_cast<ErrorObject *>(value)->error = new E(error);
        PyErr_SetObject(reinterpret_cast<PyObject *>(type), value);
    }
    catch (std::bad_alloc const &)
    {
        PyErr_NoMemory();
    }
    Py_DECREF(value);
}

// The host error caught in a method, as a Python exception.
PyObject *raiseHostError()
{
    try
    {
        throw;
    }
    catch (KOM_ObjectWasDeleted const &error)
    {
        raise(error, &theObjectWasDeleted);
    }
    catch (KOM_Error const &error)
    {
        raise(error, &theError);
    }
    catch (std::bad_alloc const &)
    {
        PyErr_NoMemory();
    }
    return nullptr;
}

template <class T>
struct Proxy
{
    PyObject_HEAD
    T *object;
};

// A node's handle, and the same handle as the class its proxy is of (the cast made once, when the
// result is wrapped, as kal makes it).
struct NodeProxy
{
    PyObject_HEAD
    KOM_Node *object;
    void *specific;
};

using ParmProxy = Proxy<KOM_Parm>;
using RecordProxy = Proxy<KOM_DopRecord>;
using Matrix4Proxy = Proxy<KOM_Matrix4>;

template <class T, class P = Proxy<T>>
void deallocate(PyObject *self)
{
    delete reinterpret_cast<P *>(self)->object;
    Py_TYPE(self)->tp_free(self);
}

extern PyTypeObject theNodeType;
extern PyTypeObject theObjNodeType;
extern PyTypeObject theDopNetNodeType;
extern PyTypeObject theSopNodeType;
extern PyTypeObject theParmType;
extern PyTypeObject theRecordType;
extern PyTypeObject theMatrix4Type;

// Takes ownership of `object`; None for null.
template <class T>
PyObject *wrap(T *object, PyTypeObject *type)
{
    if (!object)
        Py_RETURN_NONE;
    auto proxy = PyObject_New(Proxy<T>, type);
    if (!proxy)
    {
        delete object;
        return nullptr;
    }
    proxy->object = object;
    return reinterpret_cast<PyObject *>(proxy);
}

// The node's class chosen by the questions kal's selection asks (the categories the benchmark
// meets: object, simulation network and surface nodes; the rest stay Node). Takes ownership.
PyObject *wrapNode(KOM_Node *node)
{
    if (!node)
        Py_RETURN_NONE;
    try
    {
        PyTypeObject *type = &theNodeType;
        void *specific = node;
        switch (node->categoryCode())
        {
        case KOM_ObjectCategory:
            if (node->flagBits() & KOM_SimulationNetworkFlag)
            {
                type = &theDopNetNodeType;
                specific = dynamic_cast<KOM_DopNetNode *>(node);
            }
            else
            {
                type = &theObjNodeType;
                specific = dynamic_cast<KOM_ObjNode *>(node);
            }
            break;
        case KOM_SopCategory:
            type = &theSopNodeType;
            specific = dynamic_cast<KOM_SopNode *>(node);
            break;
        }
        if (!specific)
        {
            delete node;
            Py_RETURN_NONE;
        }
        auto proxy = PyObject_New(NodeProxy, type);
        if (!proxy)
        {
            delete node;
            return nullptr;
        }
        proxy->object = node;
        proxy->specific = specific;
        return reinterpret_cast<PyObject *>(proxy);
    }
    catch (...)
    {
        delete node;
        return raiseHostError();
    }
}

KOM_Node &self(PyObject *object) { return *reinterpret_cast<NodeProxy *>(object)->object; }

PyObject *nodeName(PyObject *object, PyObject *)
{
    try
    {
        std::string const name = self(object).name();
        return PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()),
                                    "surrogateescape");
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyObject *nodeParent(PyObject *object, PyObject *)
{
    try
    {
        return wrapNode(self(object).parent());
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyObject *nodeSetPosition(PyObject *object, PyObject *argument)
{
    PyObject *sequence = PySequence_Fast(argument, "setPosition expects a sequence of floats");
    if (!sequence)
        return nullptr;
    std::vector<float> position;
    Py_ssize_t const size = PySequence_Fast_GET_SIZE(sequence);
    position.reserve(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i)
    {
        double const value = PyFloat_AsDouble(PySequence_Fast_GET_ITEM(sequence, i));
        if ((value == -1.0 && PyErr_Occurred()) || value < -FLT_MAX || value > FLT_MAX)
        {
            if (!PyErr_Occurred())
                PyErr_SetString(PyExc_OverflowError, "setPosition expects floats in range");
            Py_DECREF(sequence);
            return nullptr;
        }
        position.push_back(static_cast<float>(value));
    }
    Py_DECREF(sequence);
    try
    {
        self(object).setPosition(position);
        Py_RETURN_NONE;
    }
    catch (...)
    {
        return raiseHostError();
    }
}

// createNode(node_type_name, node_name=None, run_init_scripts=True, load_contents=True)
PyObject *nodeCreateNode(PyObject *object, PyObject *const *arguments, Py_ssize_t count,
                         PyObject *keywords)
{
    static char const *const names[] = {"node_type_name", "node_name", "run_init_scripts",
                                        "load_contents", nullptr};
    PyObject *given[4] = {nullptr, nullptr, nullptr, nullptr};
    Py_ssize_t const positional = PyVectorcall_NARGS(count);
    if (positional > 4)
    {
        PyErr_SetString(PyExc_TypeError, "createNode takes at most 4 arguments");
        return nullptr;
    }
    for (Py_ssize_t i = 0; i < positional; ++i)
        given[i] = arguments[i];
    Py_ssize_t const named = keywords ? PyTuple_GET_SIZE(keywords) : 0;
    for (Py_ssize_t k = 0; k < named; ++k)
    {
        PyObject *const keyword = PyTuple_GET_ITEM(keywords, k);
        int slot = 0;
        while (names[slot] && PyUnicode_CompareWithASCIIString(keyword, names[slot]) != 0)
            ++slot;
        if (!names[slot] || given[slot])
        {
            PyErr_Format(PyExc_TypeError, "createNode got an unexpected or repeated keyword %R",
                         keyword);
            return nullptr;
        }
        given[slot] = arguments[positional + k];
    }
    if (!given[0] || !PyUnicode_Check(given[0]))
    {
        PyErr_SetString(PyExc_TypeError, "createNode needs node_type_name as a str");
        return nullptr;
    }
    char const *typeName = PyUnicode_AsUTF8(given[0]);
    char const *nodeName = nullptr;
    if (given[1] && given[1] != Py_None && !(nodeName = PyUnicode_AsUTF8(given[1])))
        return nullptr;
    int flags[2] = {1, 1};
    for (int i = 0; i < 2; ++i)
        if (given[2 + i] && (flags[i] = PyObject_IsTrue(given[2 + i])) < 0)
            return nullptr;
    if (!typeName)
        return nullptr;
    try
    {
        return wrapNode(self(object).createNode(typeName, nodeName, flags[0], flags[1]));
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyObject *nodeDestroy(PyObject *object, PyObject *)
{
    try
    {
        self(object).destroy();
        Py_RETURN_NONE;
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyObject *nodeParm(PyObject *object, PyObject *argument)
{
    char const *name = PyUnicode_AsUTF8(argument);
    if (!name)
        return nullptr;
    try
    {
        return wrap(self(object).parm(name), &theParmType);
    }
    catch (...)
    {
        return raiseHostError();
    }
}

// The same rule as Parm.eval: the data type code picks the Python type.
PyObject *parmEval(PyObject *object, PyObject *)
{
    KOM_Parm &parm = *reinterpret_cast<ParmProxy *>(object)->object;
    try
    {
        switch (parm.dataTypeCode())
        {
        case 2: return PyFloat_FromDouble(parm.evalAsFloat());
        case 1: return PyLong_FromLong(parm.evalAsInt());
        case 3:
        {
            std::string const text = parm.evalAsString();
            return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                        "surrogateescape");
        }
        default: Py_RETURN_NONE;
        }
    }
    catch (...)
    {
        return raiseHostError();
    }
}

// The same rule as DopRecord.field: the stored type code picks the Python type. This peer has
// no math value types, so those fields give None here; the row reads a float field.
PyObject *recordField(PyObject *object, PyObject *argument)
{
    char const *name = PyUnicode_AsUTF8(argument);
    if (!name)
        return nullptr;
    KOM_DopRecord &record = *reinterpret_cast<RecordProxy *>(object)->object;
    try
    {
        std::unique_ptr<KOM_DopField const> const field(record.rawField(name));
        if (!field)
            Py_RETURN_NONE;
        switch (field->typeCode())
        {
        case KOM_IntegerFieldCode: return PyLong_FromLong(static_cast<KOM_DopIntegerField const &>(*field).value);
        case KOM_BooleanFieldCode: return PyBool_FromLong(static_cast<KOM_DopBooleanField const &>(*field).value);
        case KOM_FloatFieldCode: return PyFloat_FromDouble(static_cast<KOM_DopFloatField const &>(*field).value);
        case KOM_StringFieldCode:
        {
            std::string const &text = static_cast<KOM_DopStringField const &>(*field).value;
            return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                        "surrogateescape");
        }
        default: Py_RETURN_NONE;
        }
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyObject *objNodeWorldTransform(PyObject *object, PyObject *)
{
    try
    {
        auto const node = static_cast<KOM_ObjNode *>(reinterpret_cast<NodeProxy *>(object)->specific);
        return wrap(node->worldTransform(), &theMatrix4Type);
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyMethodDef theNodeMethods[] = {
    {"name", nodeName, METH_NOARGS, nullptr},
    {"parent", nodeParent, METH_NOARGS, nullptr},
    {"setPosition", nodeSetPosition, METH_O, nullptr},
    {"createNode", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(nodeCreateNode)),
     METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"destroy", nodeDestroy, METH_NOARGS, nullptr},
    {"parm", nodeParm, METH_O, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef theObjNodeMethods[] = {
    {"worldTransform", objNodeWorldTransform, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef theParmMethods[] = {
    {"eval", parmEval, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef theRecordMethods[] = {
    {"field", recordField, METH_O, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject makeType(char const *name, Py_ssize_t size, destructor deallocator,
                      PyMethodDef *methods, PyTypeObject *base)
{
    PyTypeObject type = {PyVarObject_HEAD_INIT(nullptr, 0)};
    type.tp_name = name;
    type.tp_basicsize = size;
    type.tp_dealloc = deallocator;
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE;
    type.tp_methods = methods;
    type.tp_base = base;
    return type;
}

PyTypeObject theNodeType = makeType("kalcapi.Node", sizeof(NodeProxy),
                                    deallocate<KOM_Node, NodeProxy>, theNodeMethods, nullptr);
PyTypeObject theObjNodeType = makeType("kalcapi.ObjNode", sizeof(NodeProxy),
                                       deallocate<KOM_Node, NodeProxy>, theObjNodeMethods, &theNodeType);
PyTypeObject theDopNetNodeType = makeType("kalcapi.DopNetNode", sizeof(NodeProxy),
                                          deallocate<KOM_Node, NodeProxy>, nullptr, &theObjNodeType);
PyTypeObject theSopNodeType = makeType("kalcapi.SopNode", sizeof(NodeProxy),
                                       deallocate<KOM_Node, NodeProxy>, nullptr, &theNodeType);
PyTypeObject theParmType =
    makeType("kalcapi.Parm", sizeof(ParmProxy), deallocate<KOM_Parm>, theParmMethods, nullptr);
PyTypeObject theRecordType = makeType("kalcapi.DopRecord", sizeof(RecordProxy), deallocate<KOM_DopRecord>,
                                      theRecordMethods, nullptr);
PyTypeObject theMatrix4Type =
    makeType("kalcapi.Matrix4", sizeof(Matrix4Proxy), deallocate<KOM_Matrix4>, nullptr, nullptr);

PyObject *moduleNode(PyObject *, PyObject *argument)
{
    char const *path = PyUnicode_AsUTF8(argument);
    if (!path)
        return nullptr;
    try
    {
        return wrapNode(KOM().node(path));
    }
    catch (...)
    {
        return raiseHostError();
    }
}

// Setup only, not timed: a record of a simulated object, from the network's path, the object's
// name and the record's type.
PyObject *moduleDopRecord(PyObject *, PyObject *arguments)
{
    char const *path, *object, *type;
    if (!PyArg_ParseTuple(arguments, "sss", &path, &object, &type))
        return nullptr;
    try
    {
        std::unique_ptr<KOM_Node> const node(KOM().node(path));
        auto const network = dynamic_cast<KOM_DopNetNode *>(node.get());
        if (!network)
            Py_RETURN_NONE;
        std::unique_ptr<KOM_DopSimulation> const simulation(network->simulation());
        std::unique_ptr<KOM_DopData> const data(simulation->findObject(object));
        return wrap(data ? data->record(type) : nullptr, &theRecordType);
    }
    catch (...)
    {
        return raiseHostError();
    }
}

PyMethodDef theFunctions[] = {
    {"node", moduleNode, METH_O, nullptr},
    {"dopRecord", moduleDopRecord, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef theModule = {PyModuleDef_HEAD_INIT, "kalcapi",
                         "The benchmarked operations written against the C API.", -1,
                         theFunctions};

} // namespace

PyMODINIT_FUNC PyInit_kalcapi(void)
{
    theError.tp_base = reinterpret_cast<PyTypeObject *>(PyExc_Exception);
    for (PyTypeObject *type : {&theNodeType, &theObjNodeType, &theDopNetNodeType, &theSopNodeType,
                               &theParmType, &theMatrix4Type, &theRecordType, &theError,
                               &theObjectWasDeleted})
        if (PyType_Ready(type) < 0)
            return nullptr;
    theNoArguments = PyTuple_New(0);
    PyObject *module = theNoArguments ? PyModule_Create(&theModule) : nullptr;
    if (!module)
        return nullptr;
    if (PyModule_AddObjectRef(module, "Error", reinterpret_cast<PyObject *>(&theError)) < 0 ||
        PyModule_AddObjectRef(module, "ObjectWasDeleted", reinterpret_cast<PyObject *>(&theObjectWasDeleted)) < 0 ||
        PyModule_AddObjectRef(module, "Node", reinterpret_cast<PyObject *>(&theNodeType)) < 0 ||
        PyModule_AddObjectRef(module, "ObjNode", reinterpret_cast<PyObject *>(&theObjNodeType)) < 0)
    {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}
