// Errors thrown by the object model. Shared by the host (which throws them) and the
// module (which catches, copies and exposes them), so everything here is inline.
#pragma once

#include <string>

// SWIG reads this header for the list of error classes alone (module/kal.i); their
// declarations as Python sees them are in interface/errors.i.
#ifndef SWIG
class KOM_Error
{
public:
    KOM_Error() {}
    KOM_Error(char const *message) : myInstanceMessage(message ? message : "") {}
    virtual ~KOM_Error() {}

    virtual std::string exceptionTypeName() const { return "Error"; }
    virtual std::string description() const { return ""; }

    std::string instanceMessage() const { return myInstanceMessage; }

    // "<description>." then, separated by a line feed, the instance message.
    std::string __str__() const
    {
        std::string text;
        std::string const describe = description();
        if (!describe.empty())
            text += describe + ".";
        if (!myInstanceMessage.empty())
        {
            if (!describe.empty())
                text += "\n";
            text += myInstanceMessage;
        }
        return text;
    }

private:
    std::string myInstanceMessage;
};

#define KOM_DECLARE_ERROR(NAME, DESCRIPTION)                                  \
    class KOM_##NAME : public KOM_Error                                       \
    {                                                                         \
    public:                                                                   \
        KOM_##NAME() {}                                                       \
        KOM_##NAME(char const *message) : KOM_Error(message) {}               \
        std::string exceptionTypeName() const override { return #NAME; }      \
        std::string description() const override { return DESCRIPTION; }     \
    };
#endif

// One list, used to declare the classes here, in interface/errors.i and in the catch typemap
// (convert/objects.swg), and to name them in the host and the tests.
#define KOM_FOR_EACH_ERROR_SUBCLASS(X)                                                   \
    X(NotAvailable, "Not available in this context")                                     \
    X(ObjectWasDeleted, "Attempt to access an object that no longer exists in Kalvane")  \
    X(InvalidInput, "Invalid input")                                                     \
    X(InvalidSize, "Invalid size")                                                       \
    X(TypeError, "Invalid type")                                                         \
    X(ValueError, "Invalid value")                                                       \
    X(OperationFailed, "The attempted operation failed")                                 \
    X(InvalidNodeName, "The node name is invalid")                                       \
    X(InvalidNodeType, "The node type is invalid")                                       \
    X(InitScriptFailed, "Node initialization script failed")                             \
    X(MatchDefinitionError, "Failed to match node type definition")                      \
    X(PermissionError, "The node/parameter is inside a locked asset")                    \
    X(GeometryPermissionError, "Geometry is read-only")                                  \
    X(KeyframeValueNotSet, "This keyframe value is not set")                             \
    X(OperationInterrupted, "The requested operation was interrupted")                   \
    X(LoadWarning, "Warnings were generated during load")

#ifndef SWIG
KOM_FOR_EACH_ERROR_SUBCLASS(KOM_DECLARE_ERROR)

// A request to end the interpreter; deliberately not a KOM_Error.
class KOM_SystemExit
{
public:
    KOM_SystemExit(int code) : myCode(code) {}
    int code() const { return myCode; }

private:
    int myCode;
};
#endif
