// The floor of every benchmark row: the cheapest call Python can make into an extension module.
#include <Python.h>

namespace
{

PyObject *identity(PyObject *, PyObject *argument)
{
    Py_INCREF(argument);
    return argument;
}

PyMethodDef theMethods[] = {
    {"identity", identity, METH_O, "Returns its argument."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef theModule = {PyModuleDef_HEAD_INIT, "kalfloor", "A bare METH_O function.", -1, theMethods};

} // namespace

PyMODINIT_FUNC PyInit_kalfloor(void) { return PyModule_Create(&theModule); }
