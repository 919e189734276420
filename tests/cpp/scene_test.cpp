// The scene: node storage, names, copies, type changes and the clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "host/host.h"
#include "host/nodes.h"
#include "tests/cpp/network_fixture.h"
#include "model/errors.h"
#include "model/module.h"

using namespace kalhost;

namespace
{

TEST_F(Network, TrailingNumbersAreRaisedUntilFree)
{
    for (char const *name : {"box1", "box2", "shape"})
        sop("box", name);
    EXPECT_EQ(availableName(*geo, "sphere1"), "sphere1");
    EXPECT_EQ(availableName(*geo, "box1"), "box3");
    EXPECT_EQ(availableName(*geo, "shape"), "shape1");
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
    auto const boxCopy = copies[0]->children.front();
    EXPECT_NE(boxCopy, box);
    EXPECT_EQ(boxCopy->parent.lock(), copies[0]);
    EXPECT_EQ(boxCopy->path(), "/obj/g1/b");
    ASSERT_FALSE(box->parmTuples.empty());
    EXPECT_NE(boxCopy->parmTuples[0], box->parmTuples[0]);
}

TEST_F(Network, ChangingTypeRetiresTheOldNodeAndKeepsContentsWhenTheyFit)
{
    auto const subnet = theScene().create(obj, "subnet", "s");
    auto const inner = theScene().create(subnet, "null", "inner");
    auto const reader = theScene().create(obj, "null", "reader");
    theScene().setInputs(*reader, {{subnet}});
    auto const replacement = theScene().changeType(subnet, "geo", true, true);
    EXPECT_FALSE(subnet->isInScene());
    EXPECT_EQ(replacement->path(), "/obj/s");
    EXPECT_TRUE(replacement->children.empty()); // objects do not fit in a geometry network
    EXPECT_EQ(reader->inputs()[0].node.lock(), replacement);
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

TEST(NumberRuns, JoinAndSplitSoTheLowestFreeNumberIsOneStepAway)
{
    NumberRuns runs;
    for (std::int64_t number : {1, 2, 4, 5, 3, 9})
        runs.add(number);
    EXPECT_EQ(runs.lowestFreeFrom(1), 6);
    EXPECT_EQ(runs.lowestFreeFrom(7), 7);
    EXPECT_EQ(runs.lowestFreeFrom(9), 10);
    runs.remove(3);
    EXPECT_EQ(runs.lowestFreeFrom(1), 3);
    EXPECT_EQ(runs.lowestFreeFrom(4), 6);
    for (std::int64_t number : {1, 2, 4, 5, 9})
        runs.remove(number);
    EXPECT_TRUE(runs.empty());
}

TEST_F(Network, ChildrenKeepTheirOrderAndNamesAcrossManyRemovals)
{
    std::vector<std::shared_ptr<SceneNode>> nodes;
    for (int i = 0; i < 100; ++i)
        nodes.push_back(sop("null"));
    for (int i = 0; i < 100; ++i)
        if (i % 10)
            theScene().destroy(nodes[i]);
    std::vector<std::string> names;
    for (auto const &child : geo->children)
        names.push_back(child->name);
    EXPECT_EQ(names, (std::vector<std::string>{"null1", "null11", "null21", "null31", "null41",
                                               "null51", "null61", "null71", "null81", "null91"}));
    EXPECT_EQ(geo->child("null41"), nodes[40]);
    EXPECT_EQ(geo->child("null42"), nullptr);
    EXPECT_EQ(sop("null")->name, "null2");
    theScene().rename(nodes[90], "last");
    EXPECT_EQ(geo->children.list().back()->name, "null2");
    EXPECT_TRUE(nodes[10]->isBefore(*nodes[90]));
}

TEST_F(Network, WiresAgainstTheCreationOrderStillRefuseLoops)
{
    auto const a = sop("null"), b = sop("null"), c = sop("null");
    theScene().connect(*b, 0, {a}, false);
    theScene().connect(*a, 0, {c}, false); // c feeds a: c must now rank below a and b
    EXPECT_TRUE(Scene::wouldLoop(*c, *b));
    EXPECT_TRUE(Scene::wouldLoop(*c, *a));
    EXPECT_FALSE(Scene::wouldLoop(*b, *c));
    auto const d = sop("null");
    theScene().connect(*c, 0, {d}, false);
    EXPECT_TRUE(Scene::wouldLoop(*d, *b));
    EXPECT_EQ(d->outputs(), (std::vector<std::shared_ptr<SceneNode>>{c}));
    EXPECT_EQ(a->outputs(), (std::vector<std::shared_ptr<SceneNode>>{b}));
}

TEST_F(Network, InstancesComeInSceneOrder)
{
    auto const subnet = theScene().create(obj, "subnet", "s");
    auto const inner = theScene().create(subnet, "geo", "inner");
    auto const after = theScene().create(obj, "geo", "after");
    auto const instances = theScene().instances(geo->type);
    EXPECT_EQ(instances, (std::vector<std::shared_ptr<SceneNode>>{geo, inner, after}));
    theScene().destroy(subnet);
    EXPECT_EQ(theScene().instances(geo->type), (std::vector<std::shared_ptr<SceneNode>>{geo, after}));
}

TEST_F(Network, VeryDeepNetworksAreWalkedAndFreedWithoutRecursion)
{
    constexpr int Depth = 200000;
    auto network = theScene().create(obj, "subnet", "deep");
    std::weak_ptr<SceneNode> const top = network;
    for (int i = 0; i < Depth; ++i)
        network = theScene().create(network, "subnet", "s");
    EXPECT_EQ(network->path().size(), std::string("/obj/deep").size() + 2 * Depth);
    std::weak_ptr<SceneNode> const deepest = network;
    network.reset();
    theScene().destroy(top.lock());
    EXPECT_TRUE(top.expired());
    EXPECT_TRUE(deepest.expired());
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
            copiedBottom = copiedBottom->children.front();
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

TEST_F(Network, CompletionFollowsRenamesDeletionsMovesAndTypeChanges)
{
    for (char const *name : {"box1", "ball", "box2", "bend"})
        sop("box", name);
    auto const complete = [this](std::string const &typed) {
        return theScene().completePath(typed, geo);
    };
    using Names = std::vector<std::string>;
    // In network order, whatever the names' order.
    EXPECT_EQ(complete("b"), (Names{"box1", "ball", "box2", "bend"}));
    EXPECT_EQ(complete("bo"), (Names{"box1", "box2"}));
    EXPECT_EQ(complete(""), (Names{"box1", "ball", "box2", "bend"}));
    theScene().rename(geo->child("box1"), "axe");
    EXPECT_EQ(complete("bo"), (Names{"box2"}));
    EXPECT_EQ(complete("'a"), (Names{"axe"}));
    theScene().destroy(geo->child("box2"));
    EXPECT_EQ(complete("box"), Names{});
    sop("box"); // takes the freed box1, last in the network
    EXPECT_EQ(complete("b"), (Names{"ball", "bend", "box1"}));
    theScene().changeType(geo->child("ball"), "sphere", true, false);
    EXPECT_EQ(complete("ba"), (Names{"ball"}));
    auto const other = theScene().create(obj, "geo", "other");
    theScene().moveTo({geo->child("bend")}, other);
    EXPECT_EQ(complete("be"), Names{});
    EXPECT_EQ(complete("/obj/other/b"), (Names{"/obj/other/bend"}));
    EXPECT_EQ(complete("../o"), (Names{"../other"}));
    EXPECT_EQ(complete("/nowhere/b"), Names{});
}

TEST_F(Network, AReferenceToAFreedNodeNamesNoLaterNode)
{
    auto node = sop("null");
    SceneNodeRef const freed = node->ref();
    EXPECT_EQ(freed.lock(), node);
    theScene().destroy(node);
    node.reset();
    EXPECT_EQ(freed.lock(), nullptr);

    auto const later = sop("null"); // its entry is the freed one, in a later generation
    SceneNodeRef const fresh = later->ref();
    EXPECT_EQ(freed.lock(), nullptr);
    EXPECT_EQ(fresh.lock(), later);
    auto const copy = std::make_shared<SceneNode>(*later);
    EXPECT_EQ(copy->ref().lock(), copy);
    EXPECT_EQ(fresh.lock(), later);
    EXPECT_EQ(SceneNodeRef().lock(), nullptr);
}

TEST(Clock, FramesCountFromOne)
{
    Clock clock;
    clock.fps = 25.0f;
    EXPECT_EQ(clock.timeToFrame(1.0f), 26.0f);
    EXPECT_EQ(clock.frameToTime(26.0f), 1.0f);
    EXPECT_EQ(clock.frame(), 1.0f);
}

TEST_F(Network, WhatWalksReadOfANodeLiesOnTwoCacheLines)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "nodes are allocated one by one under AddressSanitizer";
#endif
    // From the control block in front of the node to its position: what layouts and walks
    // over large networks read of each node.
    auto const line = [](void const *at) { return reinterpret_cast<std::uintptr_t>(at) / 64; };
    for (int i = 0; i < 100; ++i)
    {
        auto const node = sop("null");
        char const *const head = reinterpret_cast<char const *>(node.get()) - 2 * sizeof(void *);
        EXPECT_EQ(line(&node->position()[1]) - line(head), 1u) << node->name;
    }
}

} // namespace
