// kalvane: the application. Starts the host, embeds the interpreter with _kal built in,
// and runs a script (`kalvane script.py [args]`) or an interactive prompt.
#include <Python.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "model/services.h"

extern "C" void init_kal(void);
extern "C" char const **KalvaneGetTagInfo(char const **out);

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

// Whether the interpreter's own options, those before the script, -c or -m, ask for the
// version (-V or --version). Options that take a value skip it, as the interpreter does.
bool asksForVersion(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
    {
        char const *const option = argv[i];
        if (option[0] != '-' || option[1] == '\0' || std::strcmp(option, "--") == 0)
            return false;
        if (option[1] == '-')
        {
            if (std::strcmp(option, "--version") == 0)
                return true;
            if (std::strcmp(option, "--check-hash-based-pycs") == 0)
                ++i;
            continue;
        }
        for (char const *letter = option + 1; *letter; ++letter)
        {
            if (*letter == 'V')
                return true;
            if (*letter == 'c' || *letter == 'm')
                return false;
            if (*letter == 'W' || *letter == 'X')
            {
                if (letter[1] == '\0')
                    ++i;
                break;
            }
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // The application and its build first; the interpreter then adds its own version.
    if (asksForVersion(argc, argv))
    {
        char const *tag = nullptr;
        std::printf("Kalvane %s\n", *KalvaneGetTagInfo(&tag));
    }

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
