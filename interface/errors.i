// Errors: raised as Python exceptions, also constructible and inspectable from scripts.

%catches();

class KOM_SystemExit
{
public:
    // A request to end the interpreter with an exit code.
    KOM_SystemExit(int code);
    // The exit code asked for.
    int code() const;
};

%exceptionclass KOM_Error;

// What every error class shows to Python besides its constructors.
%define KAL_ERROR_OPERATIONS(CLASS)
    // The error's class name, such as "OperationFailed".
    virtual std::string exceptionTypeName() const;
    // What this class of error means, the same for every error of the class.
    virtual std::string description() const;
%extend {
    // How the error shows at the prompt: <kal.Name>.
    std::string __repr__() const { return "<kal." + $self->exceptionTypeName() + ">"; }
}
    // The description, then the message of this error, as print shows them.
    std::string __str__() const;
%enddef

class KOM_Error
{
public:
    // An error carrying a message (or none), to raise from a script.
    KOM_Error(char const *message);
    KOM_Error();
    virtual ~KOM_Error();
    KAL_ERROR_OPERATIONS(KOM_Error)
    // The message this error carries, without the description.
    std::string instanceMessage() const;
};

%define KAL_ERROR_SUBCLASS(NAME, DESCRIPTION)
class KOM_##NAME : public KOM_Error
{
public:
    // An error of this class carrying a message (or none), to raise from a script.
    KOM_##NAME(char const *message);
    KOM_##NAME();
    KAL_ERROR_OPERATIONS(KOM_##NAME)
};
%enddef

KOM_FOR_EACH_ERROR_SUBCLASS(KAL_ERROR_SUBCLASS)
