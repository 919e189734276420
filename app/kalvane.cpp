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

// kal.py lives in the python folder beside the executable in a build, in the installed
// package's python folder once installed.
std::string proxyModuleDir()
{
    char path[PATH_MAX];
    ssize_t const length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return KAL_PYTHON_DIR;
    std::string const executable(path, length);
    std::string const folder = executable.substr(0, executable.rfind('/') + 1);
    if (access((folder + KAL_PYTHON_DIR "/kal.py").c_str(), F_OK) == 0)
        return folder + KAL_PYTHON_DIR;
    return folder + KAL_INSTALLED_PYTHON_DIR;
}

char const usage[] =
    "kalvane: Kalvane with its Python interpreter.\n"
    "  kalvane script.py [arg ...]   run a script in the application (sys.argv as for python3)\n"
    "  kalvane -c command | -m module   run a command or a module in it\n"
    "  kalvane                       the interactive prompt, with the application running\n"
    "The application starts before Python, so `import kal` reaches its scene. kal.py and its\n"
    "stubs kal.pyi are in %s, searched before the standard library\n"
    "(as if PYTHONPATH named it); _kal is built into this executable. -V also prints the\n"
    "Kalvane build. Python's own usage and options follow.\n\n";

// Whether the interpreter's own options, those before the script, -c or -m, include the one
// spelled `letter` or `word`. Options that take a value skip it, as the interpreter does.
bool asksFor(int argc, char **argv, char wanted, char const *word)
{
    for (int i = 1; i < argc; ++i)
    {
        char const *const option = argv[i];
        if (option[0] != '-' || option[1] == '\0' || std::strcmp(option, "--") == 0)
            return false;
        if (option[1] == '-')
        {
            if (std::strcmp(option, word) == 0)
                return true;
            if (std::strcmp(option, "--check-hash-based-pycs") == 0)
                ++i;
            continue;
        }
        for (char const *letter = option + 1; *letter; ++letter)
        {
            if (*letter == wanted)
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
    // The application's use first; the interpreter then lists its options.
    if (asksFor(argc, argv, 'h', "--help") || asksFor(argc, argv, '?', "--help"))
        std::printf(usage, proxyModuleDir().c_str());
    // The application and its build first; the interpreter then adds its own version.
    if (asksFor(argc, argv, 'V', "--version"))
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
