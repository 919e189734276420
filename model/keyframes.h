// Keyframes: values scripts create and hand to parameters. Comparison, hashing, text form and
// evaluated type are virtual; every part of a keyframe sits behind non-virtual members that
// the host implements, over storage only the host knows.
#pragma once

#include <string>

#include "model/enums.h"

#ifndef SWIG
struct KOM_KeyframeParts; // the host's storage of one keyframe
#endif

class KOM_BaseKeyframe
{
public:
    virtual ~KOM_BaseKeyframe();
    virtual bool __eq__(KOM_BaseKeyframe &other) = 0;
    virtual bool __ne__(KOM_BaseKeyframe &other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    // A parmData value: the type the keyframe evaluates to; it chooses the Python class.
    virtual KOM_EnumValue *evaluatedType() = 0;

    // Each part may be unset: its getter then throws KOM_KeyframeValueNotSet.
    void setExpression(std::string const &expression, KOM_EnumValue *language = nullptr);
    std::string expression();
    bool isExpressionSet();
    KOM_EnumValue *expressionLanguage();
    bool isExpressionLanguageSet();
    void setTime(double time);
    bool isTimeSet();
    double time();
    // The frame is the time on the scene's clock.
    void setFrame(double frame);
    double frame();

#ifndef SWIG
    KOM_KeyframeParts const &parts() const { return *myParts; }

protected:
    KOM_BaseKeyframe();
    KOM_BaseKeyframe(KOM_BaseKeyframe const &other);
    KOM_BaseKeyframe &operator=(KOM_BaseKeyframe const &) = delete;

    KOM_KeyframeParts *myParts;
#endif
};

// A numeric keyframe: value, slope and acceleration, each with an out side and an optional
// in side of its own (a side without its own in value is tied).
class KOM_Keyframe : public KOM_BaseKeyframe
{
public:
#ifndef SWIG
    // Scripts make keyframes through the module's factories, or copy one.
    KOM_Keyframe();
    KOM_Keyframe(KOM_Keyframe const &other);
    // Comparison with any keyframe stays available in C++; Python compares like with like.
    using KOM_BaseKeyframe::__eq__;
    using KOM_BaseKeyframe::__ne__;
    bool __eq__(KOM_BaseKeyframe &other) override;
    bool __ne__(KOM_BaseKeyframe &other) override;
#endif
    // New slots after the inherited ones; declared first for Python's method order.
    virtual bool __eq__(KOM_Keyframe &other);
    virtual bool __ne__(KOM_Keyframe &other);
    int __hash__() override;
    std::string __repr__() override;
    KOM_EnumValue *evaluatedType() override;

    void setValue(double value);
    double value();
    bool isValueSet();
    void setInValue(double in_value);
    void unsetInValue();
    double inValue();
    bool isValueTied();
    void setSlope(double slope);
    double slope();
    bool isSlopeSet();
    void setInSlope(double in_slope);
    void unsetInSlope();
    double inSlope();
    bool isSlopeTied();
    void setAccel(double accel);
    double accel();
    bool isAccelSet();
    void setInAccel(double in_accel);
    void unsetInAccel();
    double inAccel();
    bool isAccelTied();
};

// A keyframe of a string parameter: its expression is the text, in its expression language.
class KOM_StringKeyframe : public KOM_BaseKeyframe
{
public:
    KOM_StringKeyframe();
    KOM_StringKeyframe(std::string const &expression, KOM_EnumValue &language = KOM_exprLanguage::Python);
    KOM_StringKeyframe(std::string const &expression, double time,
                       KOM_EnumValue &language = KOM_exprLanguage::Python);
    KOM_StringKeyframe(KOM_StringKeyframe const &other);
#ifndef SWIG
    bool __eq__(KOM_BaseKeyframe &other) override;
    bool __ne__(KOM_BaseKeyframe &other) override;
    int __hash__() override;
#endif
    std::string __repr__() override;
    KOM_EnumValue *evaluatedType() override;
};
