// Keyframes in the host: stored parts, copies, comparison, and the curves parameters evaluate.
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/keyframes.h"
#include "model/errors.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

using Keyframes = FreshHost;

SceneKeyframe sceneKey(double frame, double value)
{
    SceneKeyframe key{frame};
    key.data.value = value;
    return key;
}

double noExpression(std::string const &, double) { throw std::logic_error("no expression expected"); }

} // namespace

TEST_F(Keyframes, PartsStartUnsetAndCountAsLiveObjects)
{
    long const before = LiveCounted::count();
    {
        std::unique_ptr<KOM_Keyframe> key(newKeyframe());
        EXPECT_EQ(LiveCounted::count(), before + 1);
        EXPECT_THROW(key->value(), KOM_KeyframeValueNotSet);
        EXPECT_THROW(key->frame(), KOM_KeyframeValueNotSet);
        EXPECT_THROW(key->inSlope(), KOM_KeyframeValueNotSet);
        std::unique_ptr<KOM_Keyframe> copy(new KOM_Keyframe(*key));
        EXPECT_EQ(LiveCounted::count(), before + 2);
    }
    EXPECT_EQ(LiveCounted::count(), before);
}

TEST_F(Keyframes, ComparisonSeesEveryPartAndTheKind)
{
    std::unique_ptr<KOM_Keyframe> a(newKeyframe(1.0, 0.5)), b(newKeyframe(1.0, 0.5));
    EXPECT_TRUE(a->__eq__(*b));
    EXPECT_EQ(a->__hash__(), b->__hash__());
    b->setInAccel(2.0);
    EXPECT_TRUE(a->__ne__(*b));
    KOM_StringKeyframe text("1", 0.5);
    EXPECT_FALSE(a->__eq__(static_cast<KOM_BaseKeyframe &>(text)));
    EXPECT_FALSE(text.__eq__(*a));
}

TEST_F(Keyframes, CurvesHoldOutsideAndInterpolateBetween)
{
    std::vector<SceneKeyframe> keys = {sceneKey(1.0, 2.0), sceneKey(11.0, 12.0)};
    EXPECT_DOUBLE_EQ(keyframedNumber(keys, -3.0, noExpression), 2.0);
    EXPECT_DOUBLE_EQ(keyframedNumber(keys, 6.0, noExpression), 7.0);
    EXPECT_DOUBLE_EQ(keyframedNumber(keys, 30.0, noExpression), 12.0);
    // A separate in value on the second key changes the segment's end only.
    keys[1].data.inValue = 2.0;
    EXPECT_DOUBLE_EQ(keyframedNumber(keys, 6.0, noExpression), 2.0);
    EXPECT_DOUBLE_EQ(keyframedNumber(keys, 11.0, noExpression), 12.0);
}

TEST_F(Keyframes, SlopesOnBothSidesGiveTheHermiteCubic)
{
    // Slope 24 per second at 24 fps is one unit per frame: a straight line stays straight.
    std::vector<SceneKeyframe> keys = {sceneKey(1.0, 0.0), sceneKey(11.0, 10.0)};
    keys[0].data.slope = 24.0;
    keys[1].data.slope = 24.0;
    EXPECT_NEAR(keyframedNumber(keys, 4.0, noExpression), 3.0, 1e-12);
    keys[0].data.slope = 0.0;
    keys[1].data.inSlope = 0.0;
    EXPECT_NEAR(keyframedNumber(keys, 6.0, noExpression), 5.0, 1e-12);
    EXPECT_LT(keyframedNumber(keys, 3.0, noExpression), 2.0);
}

TEST_F(Keyframes, AnExpressionKeyRulesItsSegment)
{
    std::vector<SceneKeyframe> keys = {sceneKey(1.0, 0.0), sceneKey(11.0, 10.0)};
    keys[0].data.expression = "x";
    double seenFrame = 0.0;
    double const value = keyframedNumber(keys, 4.0, [&](std::string const &expression, double frame) {
        EXPECT_EQ(expression, "x");
        seenFrame = frame;
        return 42.0;
    });
    EXPECT_EQ(value, 42.0);
    EXPECT_EQ(seenFrame, 4.0);
}
