// Starts the host, makes _kal built in, and runs the script named on the command line.
#include <Python.h>

#include <cstdio>

#include "model/services.h"

extern "C" void init_kal(void);

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    KOMF_Module::ensureKalvaneInternalsExist();
    init_kal();
    Py_Initialize();
    PyObject *const path = PySys_GetObject("path");
    PyObject *const folder = PyUnicode_FromString(KAL_PYTHON_DIR);
    PyList_Insert(path, 0, folder);
    Py_DECREF(folder);
    FILE *const script = std::fopen(argv[1], "r");
    if (!script)
        return 2;
    int const failed = PyRun_SimpleFileEx(script, argv[1], 1);
    return Py_FinalizeEx() < 0 || failed ? 1 : 0;
}
