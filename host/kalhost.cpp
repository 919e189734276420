// kalhost: drives the reference host from Python, for tests and tools.
#include <Python.h>

#include "host/host.h"
#include "host/journal.h"
#include "host/scenefile.h"
#include "host/scene.h"


namespace
{

using kalhost::JournalValue;

PyObject *toPython(JournalValue const &value)
{
    switch (value.kind)
    {
    case JournalValue::Kind::None: Py_RETURN_NONE;
    case JournalValue::Kind::Bool: return PyBool_FromLong(value.boolean);
    case JournalValue::Kind::Int: return PyLong_FromLongLong(value.integer);
    case JournalValue::Kind::Float: return PyFloat_FromDouble(value.real);
    case JournalValue::Kind::Text:
        return PyUnicode_DecodeUTF8(value.text.data(), value.text.size(), "surrogateescape");
    case JournalValue::Kind::Tuple:
    {
        PyObject *tuple = PyTuple_New(value.items.size());
        for (std::size_t i = 0; tuple && i < value.items.size(); ++i)
        {
            PyObject *item = toPython(value.items[i]);
            if (!item)
            {
                Py_CLEAR(tuple);
                break;
            }
            PyTuple_SET_ITEM(tuple, i, item);
        }
        return tuple;
    }
    case JournalValue::Kind::Dict:
    {
        PyObject *dict = PyDict_New();
        for (auto const &pair : value.items)
        {
            PyObject *key = dict ? toPython(pair.items[0]) : nullptr;
            PyObject *item = key ? toPython(pair.items[1]) : nullptr;
            if (!item || PyDict_SetItem(dict, key, item) < 0)
                Py_CLEAR(dict);
            Py_XDECREF(key);
            Py_XDECREF(item);
        }
        return dict;
    }
    }
    Py_RETURN_NONE;
}

PyObject *reset(PyObject *, PyObject *)
{
    kalhost::resetHost();
    Py_RETURN_NONE;
}

PyObject *journal(PyObject *, PyObject *on)
{
    int const flag = PyObject_IsTrue(on);
    if (flag < 0)
        return nullptr;
    kalhost::setJournalling(flag);
    Py_RETURN_NONE;
}

PyObject *calls(PyObject *, PyObject *)
{
    auto const &entries = kalhost::journalEntries();
    PyObject *list = PyList_New(0);
    for (auto const &entry : entries)
    {
        if (!list)
            break;
        PyObject *record = toPython(JournalValue::ofTuple(
            {JournalValue::ofText(entry.operation), JournalValue::ofTuple(entry.args)}));
        if (!record || PyList_Append(list, record) < 0)
            Py_CLEAR(list);
        Py_XDECREF(record);
    }
    return list;
}

PyObject *clearCalls(PyObject *, PyObject *)
{
    kalhost::clearJournal();
    Py_RETURN_NONE;
}

PyObject *fail(PyObject *, PyObject *args, PyObject *kwargs)
{
    static char const *keywords[] = {"operation", "error", "message", "times", nullptr};
    char const *operation = nullptr;
    char const *error = nullptr;
    char const *message = "";
    int times = 1;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "ss|si:fail", const_cast<char **>(keywords),
                                     &operation, &error, &message, &times))
        return nullptr;
    if (!kalhost::addFault(operation, error, message, times))
        return PyErr_Format(PyExc_ValueError, "unknown error class or exit code: %s %s", error,
                            message);
    Py_RETURN_NONE;
}

PyObject *clearFaults(PyObject *, PyObject *)
{
    kalhost::clearFaults();
    Py_RETURN_NONE;
}

PyObject *liveHandles(PyObject *, PyObject *)
{
    return PyLong_FromLong(kalhost::LiveCounted::count());
}

PyObject *writableFolder(PyObject *, PyObject *folder)
{
    if (folder != Py_None && !PyUnicode_Check(folder))
        return PyErr_Format(PyExc_TypeError, "writableFolder expects a str or None");
    char const *path = folder == Py_None ? "" : PyUnicode_AsUTF8(folder);
    if (!path)
        return nullptr;
    if (!kalhost::restrictFileWrites(path))
        return PyErr_Format(PyExc_ValueError, "no such folder: %s", path);
    Py_RETURN_NONE;
}

PyMethodDef theMethods[] = {
    {"reset", reset, METH_NOARGS, "Restores the baseline scene; clears journal, faults and answers."},
    {"journal", journal, METH_O, "Starts (True) or stops recording host calls."},
    {"calls", calls, METH_NOARGS, "The (operation, args) recorded since the last clear."},
    {"clearCalls", clearCalls, METH_NOARGS, "Empties the journal."},
    {"fail", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fail)),
     METH_VARARGS | METH_KEYWORDS,
     "fail(operation, error, message='', times=1): the next calls of operation throw error."},
    {"clearFaults", clearFaults, METH_NOARGS, "Removes pending faults."},
    {"liveHandles", liveHandles, METH_NOARGS, "Host handle and value objects alive now."},
    {"writableFolder", writableFolder, METH_O,
     "Files the host writes must lie inside this folder (None: anywhere); reset keeps it."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef theModule = {PyModuleDef_HEAD_INIT, "kalhost",
                         "Drives kal's reference host for tests and tools.", -1, theMethods};

} // namespace

PyMODINIT_FUNC PyInit_kalhost(void) { return PyModule_Create(&theModule); }
