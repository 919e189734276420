// Keyframes: numeric and string keyframes scripts build and hand to parameters.

%{
// A float keyframe comes back as kal.Keyframe; any other (a string one) as kal.BaseKeyframe.
inline PyObject *KOMconvertValueForInterpreter(KOM_BaseKeyframe *const &keyframe, int own)
{
    if (!keyframe)
        Py_RETURN_NONE;
    KOM_EnumValue *evaluated = nullptr;
    if (!kal::ask(keyframe, own, [&] { return keyframe->evaluatedType(); }, &evaluated))
        return nullptr;
    if (evaluated && kal::sameValue(*evaluated, KOM_parmData::Float))
        return kal::wrapAs<KOM_Keyframe>(keyframe, SWIGTYPE_p_KOM_Keyframe, own);
    return SWIG_NewPointerObj(keyframe, SWIGTYPE_p_KOM_BaseKeyframe, own);
}
%}

// Keyframe members translate nothing but these.
%catches();
%catches(KOM_TypeError) KOM_BaseKeyframe::setExpression;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_BaseKeyframe::expression;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_BaseKeyframe::expressionLanguage;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_BaseKeyframe::time;
%catches(KOM_Error) KOM_BaseKeyframe::setFrame;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_BaseKeyframe::frame;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_Keyframe::value;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_Keyframe::inValue;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_Keyframe::slope;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_Keyframe::inSlope;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_Keyframe::accel;
%catches(KOM_KeyframeValueNotSet, KOM_Error) KOM_Keyframe::inAccel;

KAL_CONSTRUCTED_OBJECT(KOM_Keyframe)
KAL_CONSTRUCTED_OBJECT(KOM_StringKeyframe)

%nodefaultctor KOM_BaseKeyframe;
// Concrete: the comparisons with any keyframe they implement stay out of Python's view.
%feature("notabstract") KOM_Keyframe;
%feature("notabstract") KOM_StringKeyframe;

%include "model/keyframes.h"

// No argument, one number or two go to the module's factories; a keyframe is copied.
%extend KOM_Keyframe {
    KOM_Keyframe() { return KOM().newKeyframe(); }
    KOM_Keyframe(double value) { return KOM().newKeyframe(value); }
    KOM_Keyframe(double value, double time) { return KOM().newKeyframe(value, time); }
    KOM_Keyframe(KOM_Keyframe const &other) { return new KOM_Keyframe(other); }
}

%catches();
