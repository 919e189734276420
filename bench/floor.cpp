// The floor of every benchmark row: the cheapest call Python can make into an extension module.
// Also the instruction count's marker: callgrind dumps its counters each time `mark` is entered
// (bench.py --instructions), so a run counts its timed loops apart from start-up and set-up.
#include <Python.h>

namespace
{

PyObject *identity(PyObject *, PyObject *argument)
{
    Py_INCREF(argument);
    return argument;
}

} // namespace

// Found by name (--dump-before=kalbench_mark): C linkage, not inlined, not folded into another.
extern "C" __attribute__((noinline, used)) PyObject *kalbench_mark(PyObject *, PyObject *)
{
    Py_RETURN_NONE;
}

namespace
{

PyMethodDef theMethods[] = {
    {"identity", identity, METH_O, "Returns its argument."},
    {"mark", kalbench_mark, METH_NOARGS, "Marks a boundary between counted parts of a run."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef theModule = {PyModuleDef_HEAD_INIT, "kalfloor", "A bare METH_O function.", -1, theMethods};

} // namespace

PyMODINIT_FUNC PyInit_kalfloor(void) { return PyModule_Create(&theModule); }
