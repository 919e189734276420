// kalvane: the application. Starts the host, embeds the interpreter with _kal built in,
// and runs a script (`kalvane script.py [args]`) or an interactive prompt.
#include <Python.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "host/shell.h"
#include "model/services.h"
#include "model/shell.h"

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

// The prompt, run when kalvane has no script: the interpreter's streams are the host's shell.
char const *const theShellPrompt = R"(
import code, sys
import kal

class ShellStream:
    """sys.stdin, sys.stdout and sys.stderr at the prompt: the host's shell."""

    def __init__(self, shell):
        self._shell = shell

    def readline(self, size=-1):
        return self._shell.readline(size)

    def write(self, text):
        self._shell.write(text)
        return len(text)

    def flush(self):
        pass

    def isatty(self):
        return self._shell.isatty()

sys.stdin = sys.stdout = sys.stderr = ShellStream(kal.ui.shellIO())
del ShellStream
code.interact(banner="Kalvane shell: kal is imported; Ctrl-D ends it.", readfunc=input,
              local={"__name__": "__main__", "kal": kal}, exitmsg="")
)";

// Runs the prompt through the host's shell. A thread feeds it the terminal's input (its end,
// Ctrl-D, ends the prompt); another takes Ctrl-C, which interrupts a waiting read, or else
// whatever the interpreter runs. What the interpreter writes goes straight to the terminal.
int runShellPrompt()
{
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, nullptr); // for this thread and those it starts

    KOM_ShellIO &shell = kalhost::shellIO();
    kalhost::attachShellInput(true, isatty(STDIN_FILENO) == 1);
    kalhost::setShellWriteListener([&shell] {
        std::string const written = shell.getAndClearWrittenData();
        for (std::size_t done = 0; done < written.size();)
        {
            ssize_t const count = ::write(STDOUT_FILENO, written.data() + done, written.size() - done);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            done += static_cast<std::size_t>(count);
        }
    });
    std::thread([&shell] {
        char buffer[4096];
        for (;;)
        {
            ssize_t const count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            shell.addDataForReading(std::string(buffer, static_cast<std::size_t>(count)).c_str());
        }
        shell.addEOFForReading();
    }).detach();
    std::thread([interrupt] {
        for (int signal = 0;;)
            if (sigwait(&interrupt, &signal) == 0 && !kalhost::interruptShellRead())
                PyErr_SetInterrupt();
    }).detach();

    int const status = PyRun_SimpleString(theShellPrompt) == 0 ? 0 : 1;
    kalhost::setShellWriteListener(nullptr);
    return Py_FinalizeEx() < 0 ? 120 : status;
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
        status = PyConfig_Read(&config);
    // No script, command or module: the prompt.
    bool const prompt = !config.run_filename && !config.run_command && !config.run_module &&
                        !asksFor(argc, argv, 'V', "--version");
    if (!PyStatus_Exception(status))
        status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status))
        Py_ExitStatusException(status);
    if (prompt)
        return runShellPrompt();

    // Py_RunMain runs the script or the prompt and turns SystemExit into the exit status.
    return Py_RunMain();
}
