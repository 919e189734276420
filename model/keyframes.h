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
    // Whether both keyframes have the same parts.
    virtual bool __eq__(KOM_BaseKeyframe &other) = 0;
    // Whether the keyframes differ in any part.
    virtual bool __ne__(KOM_BaseKeyframe &other) = 0;
    // A hash equal for equal keyframes.
    virtual int __hash__() = 0;
    // How the keyframe shows at the prompt.
    virtual std::string __repr__() = 0;
    // A parmData value: the type the keyframe evaluates to; it chooses the Python class.
    // The type the keyframe evaluates to (a parmData value).
    virtual KOM_EnumValue *evaluatedType() = 0;

    // Each part may be unset: its getter then throws KOM_KeyframeValueNotSet.
    // Sets the expression that rules the segment the keyframe starts.
    void setExpression(std::string const &expression, KOM_EnumValue *language = nullptr);
    // The keyframe's expression.
    std::string expression();
    // Whether the keyframe has an expression.
    bool isExpressionSet();
    // The language of the keyframe's expression.
    KOM_EnumValue *expressionLanguage();
    // Whether the expression's language is set.
    bool isExpressionLanguageSet();
    // Sets when the keyframe is, in seconds.
    void setTime(double time);
    // Whether the keyframe has a time (without one it is set at the current frame).
    bool isTimeSet();
    // When the keyframe is, in seconds.
    double time();
    // The frame is the time on the scene's clock.
    // Sets when the keyframe is, as a frame.
    void setFrame(double frame);
    // When the keyframe is, as a frame.
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
    // A keyframe with no part set yet.
    KOM_Keyframe();
    // A copy of a keyframe.
    KOM_Keyframe(KOM_Keyframe const &other);
    // Comparison with any keyframe stays available in C++; Python compares like with like.
    using KOM_BaseKeyframe::__eq__;
    using KOM_BaseKeyframe::__ne__;
    // Whether both keyframes have the same parts.
    bool __eq__(KOM_BaseKeyframe &other) override;
    // Whether the keyframes differ in any part.
    bool __ne__(KOM_BaseKeyframe &other) override;
#endif
    // New slots after the inherited ones; declared first for Python's method order.
    // Whether both keyframes have the same parts.
    virtual bool __eq__(KOM_Keyframe &other);
    // Whether the keyframes differ in any part.
    virtual bool __ne__(KOM_Keyframe &other);
    // A hash equal for equal keyframes.
    int __hash__() override;
    // How the keyframe shows at the prompt.
    std::string __repr__() override;
    // The type the keyframe evaluates to: parmData.Float.
    KOM_EnumValue *evaluatedType() override;

    // Sets the value at the keyframe (both sides).
    void setValue(double value);
    // The value at the keyframe, on its out side.
    double value();
    // Whether the keyframe has a value.
    bool isValueSet();
    // Sets the value on the keyframe's in side alone, breaking the curve there.
    void setInValue(double in_value);
    // Ties the in side's value to the out side again.
    void unsetInValue();
    // The value on the keyframe's in side.
    double inValue();
    // Whether both sides have the same value.
    bool isValueTied();
    // Sets the slope at the keyframe, in units per second (both sides).
    void setSlope(double slope);
    // The slope on the keyframe's out side.
    double slope();
    // Whether the keyframe has a slope.
    bool isSlopeSet();
    // Sets the slope on the in side alone.
    void setInSlope(double in_slope);
    // Ties the in side's slope to the out side again.
    void unsetInSlope();
    // The slope on the keyframe's in side.
    double inSlope();
    // Whether both sides have the same slope.
    bool isSlopeTied();
    // Sets the acceleration at the keyframe (both sides).
    void setAccel(double accel);
    // The acceleration on the keyframe's out side.
    double accel();
    // Whether the keyframe has an acceleration.
    bool isAccelSet();
    // Sets the acceleration on the in side alone.
    void setInAccel(double in_accel);
    // Ties the in side's acceleration to the out side again.
    void unsetInAccel();
    // The acceleration on the keyframe's in side.
    double inAccel();
    // Whether both sides have the same acceleration.
    bool isAccelTied();
};

// A keyframe of a string parameter: its expression is the text, in its expression language.
class KOM_StringKeyframe : public KOM_BaseKeyframe
{
public:
    // A string keyframe with no part set yet.
    KOM_StringKeyframe();
    // A string keyframe showing a text (in a language) from its time on.
    KOM_StringKeyframe(std::string const &expression, KOM_EnumValue &language = KOM_exprLanguage::Python);
    // A string keyframe showing a text (in a language) from a time in seconds.
    KOM_StringKeyframe(std::string const &expression, double time,
                       KOM_EnumValue &language = KOM_exprLanguage::Python);
    // A copy of a string keyframe.
    KOM_StringKeyframe(KOM_StringKeyframe const &other);
#ifndef SWIG
    // Whether both keyframes have the same parts.
    bool __eq__(KOM_BaseKeyframe &other) override;
    // Whether the keyframes differ in any part.
    bool __ne__(KOM_BaseKeyframe &other) override;
    // A hash equal for equal keyframes.
    int __hash__() override;
#endif
    // How the keyframe shows at the prompt.
    std::string __repr__() override;
    // The type the keyframe evaluates to: parmData.String.
    KOM_EnumValue *evaluatedType() override;
};
