// The scene: node storage, names, copies, type changes and the clock.
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/nodes.h"
#include "model/errors.h"
#include "model/module.h"

using namespace kalhost;

namespace
{

class Network : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetHost();
        obj = theScene().find("/obj", nullptr);
        geo = theScene().create(obj, "geo", "g");
    }

    std::shared_ptr<SceneNode> sop(char const *type, char const *name = nullptr)
    {
        return theScene().create(geo, type, name);
    }

    std::shared_ptr<SceneNode> obj;
    std::shared_ptr<SceneNode> geo;
};

TEST(Names, TrailingNumbersAreRaisedUntilFree)
{
    SceneNode network;
    for (char const *name : {"box1", "box2", "shape"})
    {
        auto child = std::make_shared<SceneNode>();
        child->name = name;
        network.children.push_back(child);
    }
    EXPECT_EQ(availableName(network, "sphere1"), "sphere1");
    EXPECT_EQ(availableName(network, "box1"), "box3");
    EXPECT_EQ(availableName(network, "shape"), "shape1");
    EXPECT_EQ(trailingNumber("geo12"), 12);
    EXPECT_EQ(trailingNumber("geo"), 0);
    EXPECT_FALSE(isValidNodeName("a b"));
    EXPECT_FALSE(isValidNodeName(""));
}

TEST_F(Network, CopiesAreIndependentDeepCopies)
{
    auto const box = sop("box", "b");
    auto const copies = theScene().copyTo({geo}, obj);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0]->path(), "/obj/g1");
    ASSERT_EQ(copies[0]->children.size(), 1u);
    EXPECT_NE(copies[0]->children[0], box);
    EXPECT_EQ(copies[0]->children[0]->parent.lock(), copies[0]);
    ASSERT_FALSE(box->parmTuples.empty());
    EXPECT_NE(copies[0]->children[0]->parmTuples[0], box->parmTuples[0]);
}

TEST_F(Network, ChangingTypeRetiresTheOldNodeAndKeepsContentsWhenTheyFit)
{
    auto const subnet = theScene().create(obj, "subnet", "s");
    auto const inner = theScene().create(subnet, "null", "inner");
    auto const reader = theScene().create(obj, "null", "reader");
    reader->inputs = {{subnet}};
    auto const replacement = theScene().changeType(subnet, "geo", true, true);
    EXPECT_FALSE(subnet->isInScene());
    EXPECT_EQ(replacement->path(), "/obj/s");
    EXPECT_TRUE(replacement->children.empty()); // objects do not fit in a geometry network
    EXPECT_EQ(reader->inputs[0].node.lock(), replacement);
    EXPECT_THROW(theScene().changeType(replacement, "box", true, true), KOM_TypeError);
}

TEST_F(Network, DeletedNodesAreNoLongerInTheSceneThroughAnyAncestor)
{
    auto const box = sop("box");
    EXPECT_TRUE(box->isInScene());
    theScene().destroy(geo);
    EXPECT_FALSE(box->isInScene());
    EXPECT_THROW(theScene().destroy(theScene().root()), KOM_OperationFailed);
}

// Networks nest as deep as scripts make them: walks of the scene keep their own lists instead
// of the stack, which a chain this deep would overflow.
TEST_F(Network, WalksOfAVeryDeepChainOfSubnetsKeepTheStackFlat)
{
    int const depth = 1 << 16;
    std::weak_ptr<SceneNode> original, copy;
    {
        auto const top = theScene().create(obj, "subnet", "deep");
        auto bottom = top;
        for (int i = 0; i < depth; ++i)
            bottom = theScene().create(bottom, "subnet", "s");
        std::string const path = bottom->path();
        EXPECT_EQ(path.size(), std::string("/obj/deep").size() + 2 * depth);
        EXPECT_EQ(path.substr(0, 13), "/obj/deep/s/s");
        EXPECT_EQ(theScene().find(path, nullptr), bottom);

        auto const copies = theScene().copyTo({top}, obj);
        ASSERT_EQ(copies.size(), 1u);
        auto copiedBottom = copies[0];
        for (int i = 0; i < depth; ++i)
        {
            ASSERT_EQ(copiedBottom->children.size(), 1u);
            copiedBottom = copiedBottom->children[0];
        }
        EXPECT_TRUE(copiedBottom->children.empty());
        EXPECT_EQ(copiedBottom->path(), "/obj/deep1" + path.substr(9));
        original = bottom;
        copy = copiedBottom;
        theScene().destroy(top);
    }
    EXPECT_TRUE(original.expired());
    obj.reset();
    geo.reset();
    resetHost();
    EXPECT_TRUE(copy.expired());
}

TEST(Clock, FramesCountFromOne)
{
    Clock clock;
    clock.fps = 25.0f;
    EXPECT_EQ(clock.timeToFrame(1.0f), 26.0f);
    EXPECT_EQ(clock.frameToTime(26.0f), 1.0f);
    EXPECT_EQ(clock.frame(), 1.0f);
}

} // namespace
