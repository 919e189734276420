#include <gtest/gtest.h>

#include <memory>

#include "host/nodes.h"
#include "host/values.h"
#include "model/errors.h"
#include "model/module.h"

namespace kalhost
{
void resetHost();
}

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

    static std::pair<float, float> xy(KOM_Vector2 *value)
    {
        std::unique_ptr<KOM_Vector2> owned(value);
        auto const vector = dynamic_cast<Vector2Value *>(value);
        return {vector->x(), vector->y()};
    }

    std::shared_ptr<SceneNode> obj;
    std::shared_ptr<SceneNode> geo;
};

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

TEST_F(Network, LayoutPutsEachNodeOneRowBelowItsDeepestInput)
{
    auto const box = sop("box"), grid = sop("grid"), merge = sop("merge");
    theScene().setInputs(*merge, {{box}, {grid}});
    auto const xform = sop("xform");
    theScene().setInputs(*xform, {{merge}});
    NodeHandle network(geo);
    network.layoutChildren({}, -1.0f, -1.0f);
    EXPECT_EQ(box->position[0], 0.0f);
    EXPECT_EQ(grid->position[0], 2.0f);
    EXPECT_EQ(grid->position[1], 0.0f);
    EXPECT_EQ(merge->position[1], -1.0f);
    EXPECT_EQ(xform->position[1], -2.0f);

    std::unique_ptr<KOM_Node> mergeHandle(NodeHandle::handleFor(merge));
    std::unique_ptr<KOM_Node> xformHandle(NodeHandle::handleFor(xform));
    network.layoutChildren({mergeHandle.get(), xformHandle.get()}, 5.0f, 3.0f);
    EXPECT_EQ(merge->position[1], 0.0f);
    EXPECT_EQ(xform->position[1], -3.0f);
    EXPECT_EQ(grid->position[0], 2.0f); // not laid out this time
}

TEST_F(Network, GoodPositionsAreBelowTheInputAndNeverOnAnotherNode)
{
    auto const box = sop("box"), xform = sop("xform"), other = sop("null");
    box->position[0] = 4.0f;
    other->position[0] = 4.0f;
    other->position[1] = -1.0f;
    theScene().setInputs(*xform, {{box}});
    NodeHandle handle(xform);
    EXPECT_EQ(xy(handle.moveToGoodPosition(true, true, true, true)), std::make_pair(4.0f, -2.0f));
    EXPECT_EQ(xy(handle.moveToGoodPosition(false, true, true, true)), std::make_pair(6.0f, 0.0f));
}

TEST_F(Network, ConnectorsListTheWiresOfEachInputAndOutput)
{
    auto const box = sop("box"), merge = sop("merge"), xform = sop("xform");
    theScene().setInputs(*merge, {{box}, {}, {box, 1}});
    theScene().setInputs(*xform, {{box, 1}});
    NodeHandle boxHandle(box), mergeHandle(merge);
    std::unique_ptr<KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>>> inputs(
        mergeHandle.inputConnectors());
    std::unique_ptr<KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>>> outputs(
        boxHandle.outputConnectors());
    ASSERT_EQ(inputs->__len__(), 3);
    ASSERT_EQ(outputs->__len__(), 2);
    std::vector<std::size_t> sizes;
    for (auto *list : {inputs.get(), outputs.get()})
        for (int index = 0; index < list->__len__(); ++index)
        {
            auto const *connections = list->itemAt(index);
            sizes.push_back(connections->size());
            for (auto const &connection : *connections)
                delete connection.get();
        }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1, 0, 1, 1, 2}));
    theScene().destroy(merge);
    EXPECT_THROW(inputs->__len__(), KOM_ObjectWasDeleted);
}

TEST_F(Network, NetworkBoxListFollowsTheNetwork)
{
    NodeHandle network(geo);
    std::unique_ptr<KOM_IterableList<KOM_NetworkBox>> boxes(network.networkBoxes());
    EXPECT_EQ(boxes->__len__(), 0);
    delete network.createNetworkBox(nullptr);
    delete network.createNetworkBox("named");
    ASSERT_EQ(boxes->__len__(), 2);
    std::unique_ptr<KOM_NetworkBox> second(boxes->itemAt(1));
    EXPECT_EQ(dynamic_cast<NetworkBoxHandle &>(*second).box()->name, "named");
    EXPECT_EQ(boxes->__repr__(), "<network boxes of /obj/g>");
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

TEST(Clock, FramesCountFromOne)
{
    Clock clock;
    clock.fps = 25.0f;
    EXPECT_EQ(clock.timeToFrame(1.0f), 26.0f);
    EXPECT_EQ(clock.frameToTime(26.0f), 1.0f);
    EXPECT_EQ(clock.frame(), 1.0f);
}

} // namespace
