// Errors: raised as Python exceptions, also constructible and inspectable from scripts.

%catches();

class KOM_SystemExit
{
public:
    KOM_SystemExit(int code);
    int code() const;
};

%exceptionclass KOM_Error;

// What every error class shows to Python besides its constructors.
%define KAL_ERROR_OPERATIONS(CLASS)
    virtual std::string exceptionTypeName() const;
    virtual std::string description() const;
%extend {
    std::string __repr__() const { return "<kal." + $self->exceptionTypeName() + ">"; }
}
    std::string __str__() const;
%enddef

class KOM_Error
{
public:
    KOM_Error(char const *message);
    KOM_Error();
    virtual ~KOM_Error();
    KAL_ERROR_OPERATIONS(KOM_Error)
    std::string instanceMessage() const;
};

%define KAL_ERROR_SUBCLASS(NAME, DESCRIPTION)
class KOM_##NAME : public KOM_Error
{
public:
    KOM_##NAME(char const *message);
    KOM_##NAME();
    KAL_ERROR_OPERATIONS(KOM_##NAME)
};
%enddef

KOM_FOR_EACH_ERROR_SUBCLASS(KAL_ERROR_SUBCLASS)
