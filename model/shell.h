// Input of an interactive shell.
#pragma once

#include <string>
#include <utility>

typedef struct _object PyObject;

// The text a shell pane exchanges with the interpreter: lines the pane queues for reading and
// what the interpreter writes back.
class KOM_ShellIO
{
public:
    virtual ~KOM_ShellIO() {}

    // Not exposed (scripts call readline): the next line, newline included, or at most `size`
    // bytes of it when `size` is not negative. A true second member means the read failed and
    // the host has set a Python exception.
    virtual std::pair<std::string, bool> readLine(int size) = 0;
    // Writes text to the shell's output.
    virtual void write(std::string const &data) = 0;
    // Everything written since the last call, emptying the output.
    virtual std::string getAndClearWrittenData() = 0;
    // Queues text for the interpreter to read.
    virtual void addDataForReading(char const *data) = 0;
    // Queues the end of the input: a read with nothing left before it fails with EOFError.
    virtual void addEOFForReading() = 0;
    // Interrupts a read that is waiting for input: it fails with KeyboardInterrupt.
    virtual void interruptShellThread() = 0;
    // Whether the shell waits for the user's next command.
    virtual bool isWaitingForCommand() = 0;
    // Tells whether the shell waits for the user's next command.
    virtual void setIsWaitingForCommand(bool on) = 0;
    // Whether a terminal feeds the shell.
    virtual bool isatty() = 0;
};

// The next line the shell's input holds (as readLine), as a str; raises what the host set when
// the read fails.
PyObject *KOM_ShellIO_readline(KOM_ShellIO *self, int size = -1);
