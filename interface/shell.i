// Input of an interactive shell. readline is the binding's own: it turns the host's read
// result into a str, or into the failure the host set. It keeps the interpreter lock: the host
// lets it go while it waits for input.

%{
PyObject *KOM_ShellIO_readline(KOM_ShellIO *self, int size)
{
    std::pair<std::string, bool> const read = self->readLine(size);
    if (read.second)
        return nullptr; // the host's exception is the caller's
    return kal::toPython(read.first);
}
%}

%catches(KOM_Error);

%ignore KOM_ShellIO::readLine;
%ignore KOM_ShellIO_readline;

%include "model/shell.h"

%feature("kwargs") KOM_ShellIO::readline;
%extend KOM_ShellIO {
    PyObject *readline(int size = -1);
}

%catches();
