// Keyframes in the reference host: the parts a keyframe holds, the keyframes scripts make, and
// the curve a parameter's keyframes describe.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/journal.h"
#include "host/scene.h"
#include "model/keyframes.h"

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_BaseKeyframe); // its time, or "<keyframe>"

// The parts of a keyframe; each may be unset. Times are in seconds on the scene's clock.
struct KeyframeData
{
    std::optional<double> time;
    std::optional<std::string> expression;
    KOM_EnumValue const *language = nullptr; // an exprLanguage value; null when unset
    std::optional<double> value, inValue;
    std::optional<double> slope, inSlope;
    std::optional<double> accel, inAccel;

    bool operator==(KeyframeData const &other) const;
};

// The numeric parts, in the order a keyframe's description and the scene file list them: the
// name the description shows, the scene file's word for it, and the part. The expression and
// its language follow them in both.
struct KeyframeNumberField
{
    char const *name;
    char const *keyword;
    std::optional<double> KeyframeData::*part;
};
inline constexpr KeyframeNumberField KeyframeNumberFields[] = {
    {"time", "time", &KeyframeData::time},         {"value", "value", &KeyframeData::value},
    {"inValue", "in-value", &KeyframeData::inValue}, {"slope", "slope", &KeyframeData::slope},
    {"inSlope", "in-slope", &KeyframeData::inSlope}, {"accel", "accel", &KeyframeData::accel},
    {"inAccel", "in-accel", &KeyframeData::inAccel},
};

KeyframeData const &keyframeData(KOM_BaseKeyframe const &keyframe);

// New keyframes, the caller's: numeric ones and, for `text`, string ones.
KOM_BaseKeyframe *newKeyframeOf(KeyframeData const &data, bool text);
KOM_Keyframe *newKeyframe();
// A keyframe with that value, and with that time too.
KOM_Keyframe *newKeyframe(double value);
KOM_Keyframe *newKeyframe(double value, double time);

// A keyframe as a parameter holds it: at a frame.
struct SceneKeyframe
{
    double frame = 0.0;
    KeyframeData data;
};

// The value of a numeric curve at `frame`. Between two keyframes the first one's expression,
// if it has one, gives the value (`evaluate` runs it); otherwise the curve is a cubic from the
// slopes when both sides have one, else a straight line. Before the first keyframe and after
// the last the curve holds their values. `keys` is ordered by frame and not empty.
double keyframedNumber(std::vector<SceneKeyframe> const &keys, double frame,
                       std::function<double(std::string const &, double)> const &evaluate);

// The keyframe of a string curve in force at `frame`: the last one at or before it, else the first.
SceneKeyframe const &keyframeInForce(std::vector<SceneKeyframe> const &keys, double frame);

} // namespace kalhost

// The host's storage behind KOM_BaseKeyframe: a keyframe counts as a live host object.
struct KOM_KeyframeParts : kalhost::KeyframeData, private kalhost::LiveCounted
{
};
