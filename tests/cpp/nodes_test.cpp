// Node handles: wiring, placement, network items and their validation of what they receive.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "host/host.h"
#include "host/journal.h"
#include "host/mathvalues.h"
#include "host/nodes.h"
#include "model/errors.h"
#include "model/module.h"
#include "model/nodetypes.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

// Takes ownership of every element of a vector the host returned.
template <class T>
std::vector<std::unique_ptr<T>> owned(std::vector<KOM_ElemPtr<T>> const &elements)
{
    std::vector<std::unique_ptr<T>> result;
    for (auto const &element : elements)
        result.emplace_back(element.get());
    return result;
}

template <class T>
std::vector<std::string> pathsOf(std::vector<std::unique_ptr<T>> const &nodes)
{
    std::vector<std::string> paths;
    for (auto const &node : nodes)
        paths.push_back(node ? node->path() : "<none>");
    return paths;
}

using Nodes = FreshHost;

class NodeNetwork : public Network
{
protected:
    static std::pair<float, float> xy(KOM_Vector2 *value)
    {
        std::unique_ptr<KOM_Vector2> owned(value);
        return {value->x, value->y};
    }
};

} // namespace

TEST_F(NodeNetwork, LayoutPutsEachNodeOneRowBelowItsDeepestInput)
{
    auto const box = sop("box"), grid = sop("grid"), merge = sop("merge");
    theScene().setInputs(*merge, {{box}, {grid}});
    auto const xform = sop("xform");
    theScene().setInputs(*xform, {{merge}});
    NodeHandle network(geo);
    network.layoutChildren({}, -1.0f, -1.0f);
    EXPECT_EQ(box->position()[0], 0.0f);
    EXPECT_EQ(grid->position()[0], 2.0f);
    EXPECT_EQ(grid->position()[1], 0.0f);
    EXPECT_EQ(merge->position()[1], -1.0f);
    EXPECT_EQ(xform->position()[1], -2.0f);

    std::unique_ptr<KOM_Node> mergeHandle(NodeHandle::handleFor(merge));
    std::unique_ptr<KOM_Node> xformHandle(NodeHandle::handleFor(xform));
    network.layoutChildren({mergeHandle.get(), xformHandle.get()}, 5.0f, 3.0f);
    EXPECT_EQ(merge->position()[1], 0.0f);
    EXPECT_EQ(xform->position()[1], -3.0f);
    EXPECT_EQ(grid->position()[0], 2.0f); // not laid out this time
}

TEST_F(NodeNetwork, LayoutFollowsAChainOfWiresAsLongAsScriptsMakeIt)
{
    int const length = 1 << 16;
    auto const first = sop("null");
    auto last = first;
    std::shared_ptr<SceneNode> second;
    for (int i = 1; i < length; ++i)
    {
        auto const next = sop("null");
        theScene().setInputs(*next, {{last}});
        last = next;
        if (!second)
            second = next;
    }
    // And a loop back to the start, which the walk begins at; wiring refuses it, the layout
    // must not rely on that.
    theScene().setInputs(*first, {{last}});
    NodeHandle(geo).layoutChildren({}, 1.0f, 1.0f);
    EXPECT_EQ(second->position()[1], -1.0f);
    EXPECT_EQ(last->position()[1], -static_cast<float>(length - 1));
    EXPECT_EQ(first->position()[1], -static_cast<float>(length));
}

TEST_F(NodeNetwork, GoodPositionsAreBelowTheInputAndNeverOnAnotherNode)
{
    auto const box = sop("box"), xform = sop("xform"), other = sop("null");
    Scene::place(*box, 4.0f, 0.0f);
    Scene::place(*other, 4.0f, -1.0f);
    theScene().setInputs(*xform, {{box}});
    NodeHandle handle(xform);
    EXPECT_EQ(xy(handle.moveToGoodPosition(true, true, true, true)), std::make_pair(4.0f, -2.0f));
    EXPECT_EQ(xy(handle.moveToGoodPosition(false, true, true, true)), std::make_pair(6.0f, 0.0f));
}

TEST_F(NodeNetwork, GoodPositionsFollowMovesDeletesCopiesAndLayouts)
{
    auto const source = sop("box");
    Scene::place(*source, 2.0f, 0.0f);
    std::vector<std::shared_ptr<SceneNode>> fed;
    auto const below = [&](std::shared_ptr<SceneNode> const &node) {
        theScene().setInputs(*node, {{source}});
        return xy(NodeHandle(node).moveToGoodPosition(true, false, false, false));
    };
    for (float row : {-1.0f, -2.0f, -3.0f})
    {
        fed.push_back(sop("xform"));
        EXPECT_EQ(below(fed.back()), std::make_pair(2.0f, row));
    }
    // A node's own spot does not count against it.
    EXPECT_EQ(below(fed.back()), std::make_pair(2.0f, -3.0f));
    theScene().destroy(fed[1]);
    EXPECT_EQ(below(sop("xform")), std::make_pair(2.0f, -2.0f));
    NodeHandle(fed[0]).move({10.0f, 0.0f});
    EXPECT_EQ(below(sop("xform")), std::make_pair(2.0f, -1.0f));
    EXPECT_EQ(below(sop("xform")), std::make_pair(2.0f, -4.0f));

    // Beside the network: right of the rightmost node but itself.
    auto const loose = sop("null");
    NodeHandle looseHandle(loose);
    EXPECT_EQ(xy(looseHandle.moveToGoodPosition(false, false, false, false)), std::make_pair(14.0f, 0.0f));
    EXPECT_EQ(xy(looseHandle.moveToGoodPosition(false, false, false, false)), std::make_pair(14.0f, 0.0f));
    auto const other = theScene().create(obj, "geo", "other");
    theScene().moveTo({fed[0]}, other);
    EXPECT_EQ(xy(looseHandle.moveToGoodPosition(false, false, false, false)), std::make_pair(4.0f, 0.0f));
    auto const copies = theScene().copyTo({loose}, geo); // on the same spot
    EXPECT_EQ(xy(looseHandle.moveToGoodPosition(false, false, false, false)), std::make_pair(6.0f, 0.0f));
    theScene().destroy(copies[0]);
    EXPECT_EQ(xy(looseHandle.moveToGoodPosition(false, false, false, false)), std::make_pair(4.0f, 0.0f));

    // A layout moves every node at once (the four fed nodes in a row, 0 to 3); spots read
    // afterwards are the new ones.
    NodeHandle(geo).layoutChildren({}, 1.0f, 1.0f);
    EXPECT_EQ(xy(looseHandle.moveToGoodPosition(false, false, false, false)), std::make_pair(5.0f, 0.0f));
    auto const next = sop("null");
    EXPECT_EQ(xy(NodeHandle(next).moveToGoodPosition(false, false, false, false)), std::make_pair(7.0f, 0.0f));
}

TEST_F(NodeNetwork, BoxMembershipSurvivesManyMovesBetweenBoxes)
{
    NodeHandle network(geo);
    std::unique_ptr<KOM_NetworkBox> first(network.createNetworkBox(nullptr));
    std::unique_ptr<KOM_NetworkBox> second(network.createNetworkBox(nullptr));
    std::vector<std::shared_ptr<SceneNode>> nodes;
    for (int i = 0; i < 40; ++i)
    {
        nodes.push_back(sop("null"));
        first->addNode(*std::unique_ptr<KOM_Node>(NodeHandle::handleFor(nodes.back())));
    }
    // Back and forth, leaving gaps everywhere in both lists.
    for (int round = 0; round < 5; ++round)
        for (auto const &node : nodes)
        {
            std::unique_ptr<KOM_Node> handle(NodeHandle::handleFor(node));
            second->addNode(*handle);
            first->addNode(*handle);
        }
    std::unique_ptr<KOM_Node> kept(NodeHandle::handleFor(nodes[7]));
    second->addNode(*kept);
    theScene().destroy(nodes[3]);
    EXPECT_LE(dynamic_cast<NetworkBoxHandle &>(*first).box()->nodes.size(), 2 * nodes.size() + 8);
    auto const members = owned(first->nodes());
    ASSERT_EQ(members.size(), nodes.size() - 2);
    EXPECT_EQ(members.front()->path(), nodes[0]->path());
    EXPECT_EQ(members.back()->path(), nodes.back()->path());
    EXPECT_EQ(pathsOf(owned(second->nodes())), std::vector<std::string>{nodes[7]->path()});
    EXPECT_THROW(first->removeNode(*kept), KOM_OperationFailed);
    // A node that leaves the network leaves its box, and does not come back with it.
    auto const other = theScene().create(obj, "geo", "other");
    theScene().moveTo({nodes[7]}, other);
    theScene().moveTo({nodes[7]}, geo);
    EXPECT_TRUE(owned(second->nodes()).empty());
}

TEST_F(NodeNetwork, HandlesAnswerWhatTheySawOnlyWhileTheirNodeIsInTheScene)
{
    auto const box = sop("box"), kept = sop("box");
    NodeHandle handle(box), keptHandle(kept);
    EXPECT_EQ(handle.categoryCode(), KOM_SopCategory);
    theScene().destroy(box);
    EXPECT_THROW(handle.categoryCode(), KOM_ObjectWasDeleted);
    EXPECT_THROW(handle.flagBits(), KOM_ObjectWasDeleted);
    EXPECT_EQ(keptHandle.categoryCode(), KOM_SopCategory);

    auto const outside = std::make_shared<SceneNode>(*kept); // a copy stands nowhere
    EXPECT_THROW(NodeHandle(outside).categoryCode(), KOM_ObjectWasDeleted);
    resetHost();
    EXPECT_THROW(keptHandle.flagBits(), KOM_ObjectWasDeleted);
}

TEST_F(NodeNetwork, ConnectorsListTheWiresOfEachInputAndOutput)
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

TEST_F(NodeNetwork, NetworkBoxListFollowsTheNetwork)
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

TEST_F(Nodes, NamesAreMadeUniqueAndValidated)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> first(obj->createNode("geo", nullptr, true, true));
    std::unique_ptr<KOM_Node> second(obj->createNode("geo", nullptr, true, true));
    EXPECT_EQ(first->name(), "geo1");
    EXPECT_EQ(second->name(), "geo2");
    EXPECT_THROW(obj->createNode("geo", "bad name", true, true), KOM_InvalidNodeName);
    EXPECT_THROW(obj->createNode("box", nullptr, true, true), KOM_OperationFailed);
}

TEST_F(NodeNetwork, PositionsNeedTwoFiniteComponents)
{
    NodeHandle box(sop("box"));
    box.setPosition({1.5f, -2.0f});
    box.move({0.5f, 1.0f});
    EXPECT_EQ(xy(box.position()), std::make_pair(2.0f, -1.0f));
    EXPECT_THROW(box.setPosition({1.0f}), KOM_InvalidSize);
    EXPECT_THROW(box.move({1.0f, NAN}), KOM_InvalidInput);
    EXPECT_EQ(xy(box.position()), std::make_pair(2.0f, -1.0f)); // nothing half-applied
}

TEST_F(NodeNetwork, NetworkBoxesHaveUniqueValidNamesAndCopiesSitBesideTheOriginal)
{
    NodeHandle network(geo);
    std::unique_ptr<KOM_NetworkBox> first(network.createNetworkBox(nullptr));
    std::unique_ptr<KOM_NetworkBox> second(network.createNetworkBox(nullptr));
    EXPECT_EQ(dynamic_cast<NetworkBoxHandle &>(*second).box()->name, "netbox2");
    EXPECT_THROW(network.createNetworkBox("netbox1"), KOM_OperationFailed);
    EXPECT_THROW(network.createNetworkBox("bad name"), KOM_InvalidNodeName);

    auto const original = dynamic_cast<NetworkBoxHandle &>(*first).box();
    original->position[0] = 1.0f;
    original->position[1] = 1.0f;
    std::unique_ptr<KOM_NetworkBox> copy(network.copyNetworkBox(*first, nullptr, false));
    auto const copied = dynamic_cast<NetworkBoxHandle &>(*copy).box();
    EXPECT_EQ(copied->name, "netbox3");
    EXPECT_EQ(copied->position[0], 1.0f + DefaultSpacing[0]);
    EXPECT_EQ(copied->position[1], 1.0f - DefaultSpacing[1]);

    EXPECT_EQ(owned(network.findNetworkBoxes("netbox[12]")).size(), 2u);
    EXPECT_EQ(std::unique_ptr<KOM_NetworkBox>(network.findNetworkBox("missing")), nullptr);
}

TEST_F(NodeNetwork, AnUnnamedNetworkBoxTakesTheLowestFreeNumber)
{
    NodeHandle network(geo);
    std::vector<std::unique_ptr<KOM_NetworkBox>> boxes;
    for (char const *name : {"netbox1", "netbox3", "netbox02", "netboxA", "netbox", "netbox99999999999"})
        boxes.emplace_back(network.createNetworkBox(name));
    auto const unnamed = [&] {
        boxes.emplace_back(network.createNetworkBox(nullptr));
        return dynamic_cast<NetworkBoxHandle &>(*boxes.back()).box()->name;
    };
    EXPECT_EQ(unnamed(), "netbox2"); // "netbox02" is not "netbox2"
    EXPECT_EQ(unnamed(), "netbox4");
    EXPECT_EQ(unnamed(), "netbox5");
}

TEST_F(Nodes, CategoryCodesAndFlagsTellTheClassOfANode)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> geo(obj->createNode("geo", "g", true, true));
    std::unique_ptr<KOM_Node> dopnet(obj->createNode("dopnet", "d", true, true));
    std::unique_ptr<KOM_Node> box(geo->createNode("box", "b", true, true));
    EXPECT_EQ(geo->categoryCode(), KOM_ObjectCategory);
    EXPECT_EQ(geo->flagBits() & KOM_SimulationNetworkFlag, 0);
    EXPECT_EQ(dopnet->categoryCode(), KOM_ObjectCategory);
    EXPECT_NE(dopnet->flagBits() & KOM_SimulationNetworkFlag, 0);
    EXPECT_EQ(box->categoryCode(), KOM_SopCategory);
}

TEST_F(Nodes, PathsAreRelativeToAnyBase)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> geo(obj->createNode("geo", "g", true, true));
    std::unique_ptr<KOM_Node> box(geo->createNode("box", "b", true, true));
    std::unique_ptr<KOM_Node> other(obj->createNode("geo", "o", true, true));
    EXPECT_EQ(box->relativePathTo(*geo), "b");
    EXPECT_EQ(box->relativePathTo(*other), "../g/b");
    EXPECT_EQ(geo->relativePathTo(*box), "..");
    EXPECT_EQ(std::unique_ptr<KOM_Node>(other->node("../g/b"))->path(), "/obj/g/b");
}

TEST_F(Nodes, TheJournalShowsANodeByItsPathEvenOnceDeleted)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> geo(obj->createNode("geo", "g", true, true));
    EXPECT_EQ(journalValue(geo.get()).text, "/obj/g");
    EXPECT_EQ(journalValue(static_cast<KOM_Node *>(nullptr)).kind, JournalValue::Kind::None);
    geo->destroy();
    EXPECT_EQ(journalValue(*geo).text, "<deleted node>");
}

// --- Object transforms ---------------------------------------------------------------------

namespace
{

bool near(KOM_Matrix4 const &a, KOM_Matrix4 const &b, double tolerance = 1e-9)
{
    return allWithin(&a.m[0][0], &b.m[0][0], 16, tolerance);
}

void place(std::shared_ptr<SceneNode> const &object, std::array<double, 3> const &t,
           std::array<double, 3> const &r = {0, 0, 0}, std::array<double, 3> const &s = {1, 1, 1})
{
    double const translate[3] = {t[0], t[1], t[2]}, rotate[3] = {r[0], r[1], r[2]},
                 scale[3] = {s[0], s[1], s[2]};
    std::unique_ptr<KOM_Node> handle(NodeHandle::handleFor(object));
    KOM_Matrix4 matrix = transformFromParts(translate, rotate, scale);
    dynamic_cast<KOM_ObjNode &>(*handle).setParmTransform(matrix, true);
}

} // namespace

TEST(ObjectTransforms, PartsComposeAsScaleThenRotateXYZThenTranslate)
{
    double const t[3] = {1, 2, 3}, r[3] = {30, 0, 0}, s[3] = {2, 1, 1}, none[3] = {0, 0, 0},
                 one[3] = {1, 1, 1}, rx[3] = {30, 0, 0}, ry[3] = {0, 45, 0}, rxy[3] = {30, 45, 0};
    // The point (1, 0, 0) is scaled to (2, 0, 0), which an x rotation leaves, then moved.
    KOM_Vector3 const moved = transformPoint(KOM_Vector3(1, 0, 0), transformFromParts(t, r, s));
    EXPECT_NEAR(moved.x, 3.0, 1e-6);
    EXPECT_NEAR(moved.y, 2.0, 1e-6);
    EXPECT_NEAR(moved.z, 3.0, 1e-6);
    // x turns before y.
    EXPECT_TRUE(near(transformFromParts(none, rxy, one),
                     product<4>(transformFromParts(none, rx, one), transformFromParts(none, ry, one))));
}

TEST(ObjectTransforms, DecompositionGivesBackTheParts)
{
    double const cases[][9] = {
        {1, 2, 3, 10, 20, 30, 1, 2, 3},
        {-5, 0, 0.5, -170, 80, 5, 0.5, 0.5, 4},
        {0, 0, 0, 0, 0, 0, 1, 1, 1},
    };
    for (auto const &values : cases)
    {
        double const t[3] = {values[0], values[1], values[2]}, r[3] = {values[3], values[4], values[5]},
                     s[3] = {values[6], values[7], values[8]};
        TransformParts const parts = partsOfTransform(transformFromParts(t, r, s));
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_NEAR(parts.translate[i], t[i], 1e-9);
            EXPECT_NEAR(parts.rotate[i], r[i], 1e-4);
            EXPECT_NEAR(parts.scale[i], s[i], 1e-9);
        }
    }
    KOM_Matrix4 flat(1.0);
    flat.m[1][1] = 0.0;
    EXPECT_THROW(partsOfTransform(flat), KOM_OperationFailed);
}

TEST_F(NodeNetwork, WorldTransformsFollowWiresAndNetworksUpToTheTop)
{
    auto const parent = theScene().create(obj, "null", "parent");
    place(parent, {0, 10, 0}, {0, 90, 0});
    place(geo, {1, 0, 0});
    EXPECT_EQ(parentObjectOf(geo), nullptr);
    theScene().connect(*geo, 0, {parent, 0, false}, false);
    EXPECT_EQ(parentObjectOf(geo), parent);
    EXPECT_TRUE(near(worldTransformOf(geo), product<4>(parmTransformOf(geo), worldTransformOf(parent))));
    auto const subnet = theScene().create(obj, "subnet", nullptr);
    auto const inner = theScene().create(subnet, "null", nullptr);
    EXPECT_EQ(parentObjectOf(inner), subnet);
    EXPECT_EQ(parentObjectOf(sop("box")), geo);
}

TEST_F(Nodes, AWiredChainOfObjectsOfAnyLengthHasAWorldTransform)
{
    auto const obj = theScene().find("/obj", nullptr);
    auto previous = theScene().create(obj, "null", nullptr);
    auto const first = previous;
    place(first, {0, 0, 0}, {0, 0, 0}, {2, 2, 2});
    for (int i = 0; i < 5000; ++i)
    {
        auto next = theScene().create(obj, "null", nullptr);
        theScene().connect(*next, 0, {previous, 0, false}, false);
        previous = std::move(next);
    }
    place(previous, {1, 0, 0});
    KOM_Vector3 const origin = transformPoint(KOM_Vector3(), worldTransformOf(previous));
    EXPECT_FLOAT_EQ(origin.x, 2.0f);
}
