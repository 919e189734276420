// Parameters and parameter tuples, and evaluation whose result type the parameter decides.

%{
#include <memory>

// The one place where a parameter's data type code picks the Python result type.
template <class Parm, class AsFloat, class AsInt, class AsString>
static PyObject *kal_evalByDataType(Parm &parm, AsFloat asFloat, AsInt asInt, AsString asString)
{
    switch (parm.dataTypeCode())
    {
    case KOM_FloatParmData: return kal::toPython(asFloat());
    case KOM_IntParmData: return kal::toPython(asInt());
    case KOM_StringParmData: return kal::toPython(asString());
    default: Py_RETURN_NONE;
    }
}

PyObject *KOMevalParm(KOM_Parm &parm)
{
    return kal_evalByDataType(parm, [&] { return static_cast<double>(parm.evalAsFloat()); },
                              [&] { return parm.evalAsInt(); }, [&] { return parm.evalAsString(); });
}

PyObject *KOMevalParmAtFrame(KOM_Parm &parm, float frame)
{
    return kal_evalByDataType(parm, [&] { return static_cast<double>(parm.evalAsFloatAtFrame(frame)); },
                              [&] { return parm.evalAsIntAtFrame(frame); },
                              [&] { return parm.evalAsStringAtFrame(frame); });
}

PyObject *KOMevalParmTuple(KOM_ParmTuple &tuple)
{
    return kal_evalByDataType(tuple, [&] { return tuple.evalAsFloats(); },
                              [&] { return tuple.evalAsInts(); }, [&] { return tuple.evalAsStrings(); });
}

PyObject *KOMevalParmTupleAtFrame(KOM_ParmTuple &tuple, float frame)
{
    return kal_evalByDataType(tuple, [&] { return tuple.evalAsFloatsAtFrame(frame); },
                              [&] { return tuple.evalAsIntsAtFrame(frame); },
                              [&] { return tuple.evalAsStringsAtFrame(frame); });
}

PyObject *KOM_Parm_eval(KOM_Parm *self) { return KOMevalParm(*self); }
PyObject *KOM_Parm_evalAtFrame(KOM_Parm *self, float frame) { return KOMevalParmAtFrame(*self, frame); }
PyObject *KOM_ParmTuple_eval(KOM_ParmTuple *self) { return KOMevalParmTuple(*self); }
PyObject *KOM_ParmTuple_evalAtFrame(KOM_ParmTuple *self, float frame)
{
    return KOMevalParmTupleAtFrame(*self, frame);
}

// Evaluates what a look-up found and deletes it, also when the evaluation throws.
template <class Found, class Evaluate>
static PyObject *kal_evalFound(Found *found, Evaluate evaluate)
{
    if (!found)
        throw KOM_OperationFailed();
    std::unique_ptr<Found> owned(found);
    return evaluate(*owned);
}

PyObject *KOM_Node_evalParm(KOM_Node *self, char const *parm_name)
{
    return kal_evalFound(self->parm(parm_name), KOMevalParm);
}

PyObject *KOM_Node_evalParmTuple(KOM_Node *self, char const *parm_name)
{
    return kal_evalFound(self->parmTuple(parm_name), KOMevalParmTuple);
}

namespace kom
{
PyObject *evalParm(char const *path) { return kal_evalFound(KOM().parm(path), KOMevalParm); }
PyObject *evalParmTuple(char const *path) { return kal_evalFound(KOM().parmTuple(path), KOMevalParmTuple); }
PyObject *ch(char const *path) { return evalParm(path); }
} // namespace kom
%}

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches(KOM_Error) KOM_Parm::__hash__;
%catches(KOM_OperationFailed, KOM_Error) KOM_Parm::menuItems;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_Error) KOM_Parm::pressButton;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Parm::set(float);
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Parm::setPending(float);
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Parm::set(int);
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Parm::setPending(int);
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_TypeError, KOM_Error)
    KOM_Parm::set(char const *);
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_TypeError, KOM_Error)
    KOM_Parm::setPending(char const *);
// SWIG wraps each form that default arguments make as an overload of its own, and a list given
// for a parameter list reaches those shorter forms only when it spells the defaults.
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_TypeError, KOM_Error)
    KOM_Parm::set(KOM_Parm &, KOM_EnumValue * = nullptr);
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_Parm::revertToDefaults;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_Parm::revertToAndRestorePermanentDefaults;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Parm::setExpression;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Parm::expression;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Parm::expressionLanguage;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Parm::setKeyframe;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::evalAsFloat;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::evalAsFloatAtFrame;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::evalAsInt;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::evalAsIntAtFrame;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::evalAsString;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::evalAsStringAtFrame;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Parm::unexpandedString;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_Parm::deleteAllKeyframes;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Parm::getReferencedParm;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_Parm::lock;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_Parm::setAutoscope;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_Error) KOM_Parm::setAlias;

%catches(KOM_Error) KOM_ParmTuple::__hash__;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_PermissionError, KOM_TypeError, KOM_Error)
    KOM_ParmTuple::set(std::vector<float> const &);
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_PermissionError, KOM_TypeError, KOM_Error)
    KOM_ParmTuple::setPending(std::vector<float> const &);
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_PermissionError, KOM_TypeError, KOM_OperationFailed,
         KOM_Error) KOM_ParmTuple::set(std::vector<std::string> const &);
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_PermissionError, KOM_TypeError, KOM_OperationFailed,
         KOM_Error) KOM_ParmTuple::setPending(std::vector<std::string> const &);
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_ParmTuple::revertToDefaults;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_ParmTuple::revertToAndRestorePermanentDefaults;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_ParmTuple::evalAsFloats;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_ParmTuple::evalAsFloatsAtFrame;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_ParmTuple::evalAsInts;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_ParmTuple::evalAsIntsAtFrame;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_ParmTuple::evalAsStrings;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_ParmTuple::evalAsStringsAtFrame;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_PermissionError, KOM_Error) KOM_ParmTuple::lock;
%catches(KOM_ObjectWasDeleted, KOM_InvalidSize, KOM_PermissionError, KOM_Error) KOM_ParmTuple::setAutoscope;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_ParmTuple::deleteAllKeyframes;
%catches(std::out_of_range, KOM_ObjectWasDeleted, KOM_Error) KOM_ParmTuple::__getitem__;

%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::evalParm;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_Node::evalParmTuple;
%catches(KOM_OperationFailed, KOM_Error) kom::evalParm;
%catches(KOM_OperationFailed, KOM_Error) kom::evalParmTuple;
%catches(KOM_OperationFailed, KOM_Error) kom::ch;

// The host keeps the parameter that another one refers to.
%typemap(out, noblock=1) KOM_Parm *KOM_Parm::getReferencedParm {
  $result = KOMconvertValueForInterpreter($1, 0);
}

// Used only by evaluation, to choose the Python result type, and by the host.
%ignore KOM_Parm::path;
%ignore KOM_Parm::hasExpression;
%ignore KOM_Parm::dataTypeCode;
%ignore KOM_ParmTuple::path;
%ignore KOM_ParmTuple::dataTypeCode;
// Called by the entries below, never by Python directly.
%ignore KOMevalParm;
%ignore KOMevalParmAtFrame;
%ignore KOMevalParmTuple;
%ignore KOMevalParmTupleAtFrame;
%ignore KOM_Parm_eval;
%ignore KOM_Parm_evalAtFrame;
%ignore KOM_ParmTuple_eval;
%ignore KOM_ParmTuple_evalAtFrame;
%ignore KOM_Node_evalParm;
%ignore KOM_Node_evalParmTuple;

%include "model/parms.h"

// Defined above as KOM_<Class>_<operation>.
%extend KOM_Parm {
    PyObject *eval();
    PyObject *evalAtFrame(float frame);
}

%extend KOM_ParmTuple {
    PyObject *eval();
    PyObject *evalAtFrame(float frame);
}

%extend KOM_Node {
    PyObject *evalParm(char const *parm_name);
    PyObject *evalParmTuple(char const *parm_name);
}

%catches();
