// kalvane: the application. Starts the host, embeds the interpreter with _kal built in,
// and runs a script (`kalvane script.py [args]`) or an interactive prompt.
#include <Python.h>

#include <climits>
#include <string>
#include <unistd.h>

#include "model/services.h"

extern "C" void init_kal(void);

namespace
{

// kal.py lives in the python folder beside the executable.
std::string proxyModuleDir()
{
    char path[PATH_MAX];
    ssize_t const length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return KAL_PYTHON_DIR;
    std::string executable(path, length);
    return executable.substr(0, executable.rfind('/') + 1) + KAL_PYTHON_DIR;
}

} // namespace

int main(int argc, char **argv)
{
    KOMF_Module::ensureKalvaneInternalsExist();
    init_kal();

    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    // Behaves like `python3 script.py args`, or like `python3` at a prompt.
    PyStatus status = PyConfig_SetBytesArgv(&config, argc, argv);
    if (!PyStatus_Exception(status))
    {
        // As if PYTHONPATH named it: searched before the standard library.
        status = PyConfig_SetBytesString(&config, &config.pythonpath_env, proxyModuleDir().c_str());
    }
    if (!PyStatus_Exception(status))
        status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status))
        Py_ExitStatusException(status);

    // Py_RunMain runs the script or the prompt and turns SystemExit into the exit status.
    return Py_RunMain();
}
