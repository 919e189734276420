// Keyframes in the reference host: the members of the keyframe classes, the factories, and the
// curves parameters evaluate.
#include "host/keyframes.h"

#include <cmath>
#include <functional>

#include "host/parms.h"
#include "model/errors.h"

using kalhost::hostOperation;
using kalhost::KeyframeData;

namespace
{

// The frame a time falls on, and back, on the scene's clock.
double frameOfTime(double time) { return time * kalhost::theScene().clock().fps + 1.0; }
double timeOfFrame(double frame) { return (frame - 1.0) / kalhost::theScene().clock().fps; }

template <class T>
T const &require(std::optional<T> const &part, char const *what)
{
    if (!part)
        throw KOM_KeyframeValueNotSet((std::string("The keyframe has no ") + what).c_str());
    return *part;
}

// An in side without its own value is tied to the out side.
double inSide(std::optional<double> const &in, std::optional<double> const &out, char const *what)
{
    return in ? *in : require(out, what);
}

bool sameLanguage(KOM_EnumValue const *a, KOM_EnumValue const *b)
{
    if (!a || !b)
        return a == b;
    return *a->enumType == *b->enumType && a->valueId == b->valueId;
}

std::size_t hashOf(KeyframeData const &data)
{
    std::size_t hash = 0;
    auto mix = [&hash](std::size_t part) { hash = hash * 1000003u ^ part; };
    for (auto const &field : kalhost::KeyframeNumberFields)
    {
        std::optional<double> const &part = data.*field.part;
        mix(part ? std::hash<double>()(*part) : 7u);
    }
    mix(data.expression ? std::hash<std::string>()(*data.expression) : 11u);
    mix(data.language ? static_cast<std::size_t>(data.language->valueId) : 13u);
    return hash;
}

// "name=value" for each part that is set.
std::string describe(char const *className, KeyframeData const &data)
{
    std::string text = std::string("<kal.") + className;
    for (auto const &field : kalhost::KeyframeNumberFields)
        if (std::optional<double> const &part = data.*field.part)
            text += std::string(" ") + field.name + "=" + kalhost::formatNumber(*part);
    if (data.expression)
        text += " expression='" + *data.expression + "'";
    if (data.language)
        text += std::string(" language=") + data.language->valueName;
    return text + ">";
}

// Equal keyframes are of one kind with the same parts.
template <class Kind>
bool sameKeyframe(KOM_BaseKeyframe const &keyframe, KOM_BaseKeyframe &other)
{
    return dynamic_cast<Kind *>(&other) && keyframe.parts() == other.parts();
}

} // namespace

// --- KOM_BaseKeyframe ------------------------------------------------------------------------

KOM_BaseKeyframe::KOM_BaseKeyframe() : myParts(new KOM_KeyframeParts) {}

KOM_BaseKeyframe::KOM_BaseKeyframe(KOM_BaseKeyframe const &other)
    : myParts(new KOM_KeyframeParts(*other.myParts))
{
}

KOM_BaseKeyframe::~KOM_BaseKeyframe() { delete myParts; }

void KOM_BaseKeyframe::setExpression(std::string const &expression, KOM_EnumValue *language)
{
    hostOperation("BaseKeyframe.setExpression", expression, language);
    if (language && !kalhost::isOfEnumeration(*language, typeid(KOM_exprLanguage)))
        throw KOM_TypeError("The language must be an exprLanguage value");
    myParts->expression = expression;
    myParts->language = language;
}

std::string KOM_BaseKeyframe::expression()
{
    hostOperation("BaseKeyframe.expression");
    return require(myParts->expression, "expression");
}

bool KOM_BaseKeyframe::isExpressionSet()
{
    hostOperation("BaseKeyframe.isExpressionSet");
    return myParts->expression.has_value();
}

KOM_EnumValue *KOM_BaseKeyframe::expressionLanguage()
{
    hostOperation("BaseKeyframe.expressionLanguage");
    if (!myParts->language)
        throw KOM_KeyframeValueNotSet("The keyframe has no expression language");
    return const_cast<KOM_EnumValue *>(myParts->language);
}

bool KOM_BaseKeyframe::isExpressionLanguageSet()
{
    hostOperation("BaseKeyframe.isExpressionLanguageSet");
    return myParts->language != nullptr;
}

void KOM_BaseKeyframe::setTime(double time)
{
    hostOperation("BaseKeyframe.setTime", time);
    myParts->time = time;
}

bool KOM_BaseKeyframe::isTimeSet()
{
    hostOperation("BaseKeyframe.isTimeSet");
    return myParts->time.has_value();
}

double KOM_BaseKeyframe::time()
{
    hostOperation("BaseKeyframe.time");
    return require(myParts->time, "time");
}

void KOM_BaseKeyframe::setFrame(double frame)
{
    hostOperation("BaseKeyframe.setFrame", frame);
    myParts->time = timeOfFrame(frame);
}

double KOM_BaseKeyframe::frame()
{
    hostOperation("BaseKeyframe.frame");
    return frameOfTime(require(myParts->time, "time"));
}

// --- KOM_Keyframe ----------------------------------------------------------------------------

// Scripts reach the default constructor only through the module's factories, which record
// themselves; they copy through the copy constructor directly.
KOM_Keyframe::KOM_Keyframe() = default;

KOM_Keyframe::KOM_Keyframe(KOM_Keyframe const &other) : KOM_BaseKeyframe(other)
{
    hostOperation("Keyframe.Keyframe", static_cast<KOM_BaseKeyframe const &>(other));
}

bool KOM_Keyframe::__eq__(KOM_BaseKeyframe &other)
{
    hostOperation("Keyframe.__eq__", other);
    return sameKeyframe<KOM_Keyframe>(*this, other);
}

bool KOM_Keyframe::__ne__(KOM_BaseKeyframe &other)
{
    hostOperation("Keyframe.__ne__", other);
    return !sameKeyframe<KOM_Keyframe>(*this, other);
}

bool KOM_Keyframe::__eq__(KOM_Keyframe &other)
{
    return __eq__(static_cast<KOM_BaseKeyframe &>(other));
}

bool KOM_Keyframe::__ne__(KOM_Keyframe &other)
{
    return __ne__(static_cast<KOM_BaseKeyframe &>(other));
}

int KOM_Keyframe::__hash__()
{
    hostOperation("Keyframe.__hash__");
    return static_cast<int>(hashOf(*myParts) & 0x7fffffff);
}

std::string KOM_Keyframe::__repr__()
{
    hostOperation("Keyframe.__repr__");
    return describe("Keyframe", *myParts);
}

KOM_EnumValue *KOM_Keyframe::evaluatedType()
{
    hostOperation("Keyframe.evaluatedType");
    return &KOM_parmData::Float;
}

// Value, slope and acceleration share one shape: an out side, and an in side that is tied to
// it until set apart.
#define KALHOST_KEYFRAME_QUANTITY(NAME, UPPER, WHAT)                                              \
    void KOM_Keyframe::set##UPPER(double NAME)                                                    \
    {                                                                                             \
        hostOperation("Keyframe.set" #UPPER, NAME);                                               \
        myParts->NAME = NAME;                                                                     \
    }                                                                                             \
    double KOM_Keyframe::NAME()                                                                   \
    {                                                                                             \
        hostOperation("Keyframe." #NAME);                                                         \
        return require(myParts->NAME, WHAT);                                                      \
    }                                                                                             \
    bool KOM_Keyframe::is##UPPER##Set()                                                           \
    {                                                                                             \
        hostOperation("Keyframe.is" #UPPER "Set");                                                \
        return myParts->NAME.has_value();                                                         \
    }                                                                                             \
    void KOM_Keyframe::setIn##UPPER(double in_##NAME)                                             \
    {                                                                                             \
        hostOperation("Keyframe.setIn" #UPPER, in_##NAME);                                        \
        myParts->in##UPPER = in_##NAME;                                                           \
    }                                                                                             \
    void KOM_Keyframe::unsetIn##UPPER()                                                           \
    {                                                                                             \
        hostOperation("Keyframe.unsetIn" #UPPER);                                                 \
        myParts->in##UPPER.reset();                                                               \
    }                                                                                             \
    double KOM_Keyframe::in##UPPER()                                                              \
    {                                                                                             \
        hostOperation("Keyframe.in" #UPPER);                                                      \
        return inSide(myParts->in##UPPER, myParts->NAME, WHAT);                                   \
    }                                                                                             \
    bool KOM_Keyframe::is##UPPER##Tied()                                                          \
    {                                                                                             \
        hostOperation("Keyframe.is" #UPPER "Tied");                                               \
        return !myParts->in##UPPER.has_value();                                                   \
    }

KALHOST_KEYFRAME_QUANTITY(value, Value, "value")
KALHOST_KEYFRAME_QUANTITY(slope, Slope, "slope")
KALHOST_KEYFRAME_QUANTITY(accel, Accel, "acceleration")

// --- KOM_StringKeyframe ----------------------------------------------------------------------

KOM_StringKeyframe::KOM_StringKeyframe() { hostOperation("StringKeyframe.StringKeyframe"); }

KOM_StringKeyframe::KOM_StringKeyframe(std::string const &expression, KOM_EnumValue &language)
{
    hostOperation("StringKeyframe.StringKeyframe", expression, language);
    if (!kalhost::isOfEnumeration(language, typeid(KOM_exprLanguage)))
        throw KOM_TypeError("The language must be an exprLanguage value");
    myParts->expression = expression;
    myParts->language = &language;
}

KOM_StringKeyframe::KOM_StringKeyframe(std::string const &expression, double time, KOM_EnumValue &language)
{
    hostOperation("StringKeyframe.StringKeyframe", expression, time, language);
    if (!kalhost::isOfEnumeration(language, typeid(KOM_exprLanguage)))
        throw KOM_TypeError("The language must be an exprLanguage value");
    myParts->expression = expression;
    myParts->language = &language;
    myParts->time = time;
}

KOM_StringKeyframe::KOM_StringKeyframe(KOM_StringKeyframe const &other) : KOM_BaseKeyframe(other)
{
    hostOperation("StringKeyframe.StringKeyframe", static_cast<KOM_BaseKeyframe const &>(other));
}

bool KOM_StringKeyframe::__eq__(KOM_BaseKeyframe &other)
{
    hostOperation("StringKeyframe.__eq__", other);
    return sameKeyframe<KOM_StringKeyframe>(*this, other);
}

bool KOM_StringKeyframe::__ne__(KOM_BaseKeyframe &other)
{
    hostOperation("StringKeyframe.__ne__", other);
    return !sameKeyframe<KOM_StringKeyframe>(*this, other);
}

int KOM_StringKeyframe::__hash__()
{
    hostOperation("StringKeyframe.__hash__");
    return static_cast<int>((hashOf(*myParts) ^ 0x5bd1e995u) & 0x7fffffff);
}

std::string KOM_StringKeyframe::__repr__()
{
    hostOperation("StringKeyframe.__repr__");
    return describe("StringKeyframe", *myParts);
}

KOM_EnumValue *KOM_StringKeyframe::evaluatedType()
{
    hostOperation("StringKeyframe.evaluatedType");
    return &KOM_parmData::String;
}

namespace kalhost
{

bool KeyframeData::operator==(KeyframeData const &other) const
{
    for (auto const &field : KeyframeNumberFields)
        if (this->*field.part != other.*field.part)
            return false;
    return expression == other.expression && sameLanguage(language, other.language);
}

KeyframeData const &keyframeData(KOM_BaseKeyframe const &keyframe) { return keyframe.parts(); }

namespace
{

// Keyframes whose parts the host fills in.
template <class Keyframe>
class FilledKeyframe : public Keyframe
{
public:
    explicit FilledKeyframe(KeyframeData const &data)
    {
        static_cast<KeyframeData &>(*this->myParts) = data;
    }
};

} // namespace

KOM_BaseKeyframe *newKeyframeOf(KeyframeData const &data, bool text)
{
    if (text)
        return new FilledKeyframe<KOM_StringKeyframe>(data);
    return new FilledKeyframe<KOM_Keyframe>(data);
}

KOM_Keyframe *newKeyframe() { return new KOM_Keyframe; }

KOM_Keyframe *newKeyframe(double value)
{
    KeyframeData data;
    data.value = value;
    return new FilledKeyframe<KOM_Keyframe>(data);
}

KOM_Keyframe *newKeyframe(double value, double time)
{
    KeyframeData data;
    data.value = value;
    data.time = time;
    return new FilledKeyframe<KOM_Keyframe>(data);
}

namespace
{

// The first keyframe after `frame` (keys.size() when none).
std::size_t nextKey(std::vector<SceneKeyframe> const &keys, double frame)
{
    std::size_t next = 0;
    while (next < keys.size() && keys[next].frame <= frame)
        ++next;
    return next;
}

double outValue(SceneKeyframe const &key) { return key.data.value.value_or(0.0); }
double inValue(SceneKeyframe const &key) { return key.data.inValue ? *key.data.inValue : outValue(key); }

} // namespace

double keyframedNumber(std::vector<SceneKeyframe> const &keys, double frame,
                       std::function<double(std::string const &, double)> const &evaluate)
{
    std::size_t const next = nextKey(keys, frame);
    if (next == 0)
        return keys.front().data.expression ? evaluate(*keys.front().data.expression, frame) : inValue(keys.front());
    SceneKeyframe const &a = keys[next - 1];
    if (a.data.expression)
        return evaluate(*a.data.expression, frame);
    if (next == keys.size())
        return outValue(a);
    SceneKeyframe const &b = keys[next];
    double const span = b.frame - a.frame;
    double const t = (frame - a.frame) / span;
    double const p0 = outValue(a), p1 = inValue(b);
    std::optional<double> const outSlope = a.data.slope;
    std::optional<double> const inSlope = b.data.inSlope ? b.data.inSlope : b.data.slope;
    if (!outSlope || !inSlope)
        return p0 + (p1 - p0) * t;
    // Cubic Hermite; slopes are per second, the segment is measured in frames.
    double const secondsPerFrame = 1.0 / theScene().clock().fps;
    double const m0 = *outSlope * span * secondsPerFrame, m1 = *inSlope * span * secondsPerFrame;
    double const t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * p0 + (t3 - 2 * t2 + t) * m0 + (-2 * t3 + 3 * t2) * p1 + (t3 - t2) * m1;
}

SceneKeyframe const &keyframeInForce(std::vector<SceneKeyframe> const &keys, double frame)
{
    std::size_t const next = nextKey(keys, frame);
    return keys[next == 0 ? 0 : next - 1];
}

JournalValue JournalFormat<KOM_BaseKeyframe>::format(KOM_BaseKeyframe const &keyframe)
{
    auto const &time = keyframe.parts().time;
    return JournalValue::ofText(time ? "<keyframe at " + formatNumber(*time) + "s>" : "<keyframe>");
}

} // namespace kalhost
