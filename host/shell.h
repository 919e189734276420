// The shell's input and output in the reference host: a queue of text and end-of-input marks
// that reads take from, and the output the interpreter writes. One object, kept by the host.
#pragma once

#include <functional>

class KOM_ShellIO;

namespace kalhost
{

KOM_ShellIO &shellIO();

// For the application that feeds the shell's input (kalvane, from its terminal). While input
// is attached, a read with nothing queued waits for more; otherwise it fails at once with
// EOFError, since nothing would ever queue it. isatty() answers `terminal`.
void attachShellInput(bool attached, bool terminal);
// Called after each write, outside the shell's lock, for a terminal to show the output.
void setShellWriteListener(std::function<void()> listener);
// Wakes a read that waits for input, which then fails with KeyboardInterrupt. False when no
// read was waiting: the interrupt then belongs to whatever the interpreter is running.
bool interruptShellRead();

// Empties both ways and detaches the terminal.
void resetShell();

} // namespace kalhost
