// kalhost: drives the reference host from Python, for tests and tools.
#include <Python.h>

#include "host/answers.h"
#include "host/host.h"
#include "host/journal.h"
#include "host/scenefile.h"
#include "host/scene.h"
#include "host/shelves.h"
#include "host/kscript.h"
#include "model/errors.h"

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

// A scripted answer in the journal's value form; false with a Python error set for a value of
// another type.
bool fromPython(PyObject *value, JournalValue *out)
{
    if (value == Py_None)
        *out = JournalValue::none();
    else if (PyBool_Check(value))
        *out = JournalValue::ofBool(value == Py_True);
    else if (PyLong_Check(value))
    {
        long long const number = PyLong_AsLongLong(value);
        if (number == -1 && PyErr_Occurred())
            return false;
        *out = JournalValue::ofInt(number);
    }
    else if (PyFloat_Check(value))
        *out = JournalValue::ofFloat(PyFloat_AS_DOUBLE(value));
    else if (PyUnicode_Check(value))
    {
        PyObject *bytes = PyUnicode_AsEncodedString(value, "utf-8", "surrogateescape");
        if (!bytes)
            return false;
        *out = JournalValue::ofText(std::string(PyBytes_AS_STRING(bytes), PyBytes_GET_SIZE(bytes)));
        Py_DECREF(bytes);
    }
    else if (PyTuple_Check(value) || PyList_Check(value))
    {
        // A list's items may change while they convert: work on a tuple of them.
        PyObject *items = PySequence_Tuple(value);
        if (!items || Py_EnterRecursiveCall(" in an answer"))
        {
            Py_XDECREF(items);
            return false;
        }
        std::vector<JournalValue> converted(PyTuple_GET_SIZE(items));
        bool ok = true;
        for (Py_ssize_t i = 0; ok && i < PyTuple_GET_SIZE(items); ++i)
            ok = fromPython(PyTuple_GET_ITEM(items, i), &converted[i]);
        Py_LeaveRecursiveCall();
        Py_DECREF(items);
        if (!ok)
            return false;
        *out = JournalValue::ofTuple(std::move(converted));
    }
    else
    {
        PyErr_Format(PyExc_TypeError,
                     "an answer is None, a bool, int, float, str or a tuple of them, not %.200s",
                     Py_TYPE(value)->tp_name);
        return false;
    }
    return true;
}

// Laying the baseline anew writes the shelf files, which a writable folder set before may refuse.
PyObject *reset(PyObject *, PyObject *)
{
    try
    {
        kalhost::resetHost();
    }
    catch (KOM_Error const &error)
    {
        PyErr_SetString(PyExc_RuntimeError, error.instanceMessage().c_str());
        return nullptr;
    }
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

PyObject *answer(PyObject *, PyObject *args)
{
    char const *operation = nullptr;
    PyObject *value = nullptr;
    if (!PyArg_ParseTuple(args, "sO:answer", &operation, &value))
        return nullptr;
    JournalValue converted;
    if (!fromPython(value, &converted))
        return nullptr;
    kalhost::queueAnswer(operation, std::move(converted));
    Py_RETURN_NONE;
}

PyObject *liveHandles(PyObject *, PyObject *)
{
    return PyLong_FromLong(kalhost::LiveCounted::count());
}

// A tool's Python script runs in a fresh namespace; a kscript one through the host's commands,
// whose error lines become a RuntimeError.
void runToolScript(std::string const &script, bool python)
{
    if (!python)
    {
        std::vector<std::string> const output = kalhost::runKscript(script); // output, errors
        if (output.size() > 1 && !output[1].empty())
            PyErr_SetString(PyExc_RuntimeError, output[1].c_str());
        return;
    }
    PyObject *globals = PyDict_New();
    if (!globals || PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins()) < 0)
    {
        Py_XDECREF(globals);
        return;
    }
    PyObject *result = PyRun_String(script.c_str(), Py_file_input, globals, globals);
    Py_XDECREF(result);
    Py_DECREF(globals);
}

PyObject *runTool(PyObject *, PyObject *name)
{
    char const *text = PyUnicode_AsUTF8(name);
    if (!text)
        return nullptr;
    try
    {
        kalhost::runTool(text, runToolScript);
    }
    catch (KOM_Error const &error)
    {
        PyErr_SetString(PyExc_ValueError, error.instanceMessage().c_str());
    }
    if (PyErr_Occurred())
        return nullptr;
    Py_RETURN_NONE;
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
    {"answer", answer, METH_VARARGS,
     "answer(operation, value): the next call of the interactive operation answers value."},
    {"liveHandles", liveHandles, METH_NOARGS, "Host handle and value objects alive now."},
    {"runTool", runTool, METH_O, "runTool(name): runs the tool's script as the shelf would."},
    {"writableFolder", writableFolder, METH_O,
     "Files the host writes must lie inside this folder (None: anywhere); reset keeps it."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef theModule = {PyModuleDef_HEAD_INIT, "kalhost",
                         "Drives kal's reference host for tests and tools.", -1, theMethods};

} // namespace

PyMODINIT_FUNC PyInit_kalhost(void) { return PyModule_Create(&theModule); }
