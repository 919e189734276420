// The module's exported entry points besides PyInit__kal.
#include <Python.h>

extern "C" PyObject *PyInit__kal(void);
extern char const kalBuildTag[];

// For an application that embeds the interpreter: makes _kal a built-in module.
// Call it before Py_Initialize.
extern "C" __attribute__((visibility("default"))) void init_kal(void)
{
    PyImport_AppendInittab("_kal", PyInit__kal);
}

// Lets the host's tools read the build tag without initialising the module.
extern "C" __attribute__((visibility("default"))) char const **KalvaneGetTagInfo(char const **out)
{
    *out = kalBuildTag;
    return out;
}
