// The scene file's text: network contents written and read back, damaged texts, file names.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/nodes.h"
#include "host/parms.h"
#include "host/scenefile.h"
#include "model/errors.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

SceneParm &parmOf(std::shared_ptr<SceneNode> const &node, std::string const &name)
{
    auto const [tuple, index] = findParm(*node, name);
    EXPECT_TRUE(tuple) << name;
    return tuple->parms.at(static_cast<std::size_t>(index));
}

TEST_F(Network, ContentsRoundTripIntoAnotherNetwork)
{
    auto const box = sop("box", "b");
    auto const xform = sop("xform", "x");
    theScene().connect(*xform, 0, {box, 0, false}, false);
    Scene::place(*box, 1.25f, 0.0f);
    box->comment = "a \"quoted\"\nline\x01";
    parmOf(box, "group").text = "grp";
    parmOf(box, "sizex").number = 0.1;
    parmOf(xform, "tx").expression = "$F * 2";
    parmOf(xform, "ty").keyframes.push_back({3.0, {}});
    parmOf(xform, "ty").keyframes.back().data.value = 7.5;
    parmOf(xform, "tz").locked = true;
    Scene::select(*xform, true);

    std::string const text = writeNetworkContents(*geo);
    auto const other = theScene().create(obj, "geo", "other");
    std::vector<std::string> skipped;
    auto const made = readNetworkContents(other, text, "test", &skipped);
    EXPECT_TRUE(skipped.empty());
    ASSERT_EQ(made.size(), 2u);
    auto const box2 = other->child("b");
    auto const xform2 = other->child("x");
    ASSERT_TRUE(box2 && xform2);
    EXPECT_TRUE(box2->isInScene());
    EXPECT_EQ(xform2->inputs().at(0).node.lock(), box2);
    EXPECT_EQ(box2->position()[0], 1.25f);
    EXPECT_EQ(box2->comment, box->comment);
    EXPECT_EQ(parmOf(box2, "group").text, "grp");
    EXPECT_EQ(parmOf(box2, "sizex").number, 0.1);
    EXPECT_EQ(parmOf(xform2, "tx").expression, "$F * 2");
    ASSERT_EQ(parmOf(xform2, "ty").keyframes.size(), 1u);
    EXPECT_EQ(parmOf(xform2, "ty").keyframes[0].data.value, 7.5);
    EXPECT_FALSE(parmOf(xform2, "ty").keyframes[0].data.slope);
    EXPECT_TRUE(parmOf(xform2, "tz").locked);
    EXPECT_TRUE(xform2->isSelected());
    EXPECT_EQ(writeNetworkContents(*other), text);
}

// Members, display and render choices name nodes that come after the network's own entry.
TEST_F(Network, BoxesAndChosenChildrenFollowTheirNodesIntoAnotherNetwork)
{
    auto const box = sop("box", "b");
    auto const gone = sop("xform", "gone");
    sop("xform", "last");
    auto group = std::make_shared<SceneNetworkBox>();
    group->name = "group";
    group->size[0] = 2.5f;
    group->picked = true;
    geo->networkBoxes.push_back(group);
    putInBox(group, box);
    putInBox(group, gone);
    geo->displayChild = {box, true};
    geo->renderChild = {{}, true};
    geo->flags = FlagXray | FlagHardLock;
    theScene().destroy(gone);

    std::string const text = writeNetworkContents(*obj);
    EXPECT_EQ(text.find("gone"), std::string::npos) << text;
    auto const other = theScene().create(obj, "subnet", "other");
    readNetworkContents(other, text, "test");
    auto const geo2 = other->child("g");
    ASSERT_TRUE(geo2);
    ASSERT_EQ(geo2->networkBoxes.size(), 1u);
    SceneNetworkBox const &group2 = *geo2->networkBoxes[0];
    EXPECT_EQ(group2.size[0], 2.5f);
    EXPECT_TRUE(group2.picked);
    EXPECT_FALSE(group2.minimized);
    ASSERT_EQ(group2.nodes.size(), 1u);
    EXPECT_EQ(group2.nodes[0].lock(), geo2->child("b"));
    EXPECT_EQ(displayedChild(*geo2), geo2->child("b"));
    EXPECT_EQ(renderedChild(*geo2), nullptr);
    EXPECT_EQ(geo2->flags, FlagXray | FlagHardLock);
    EXPECT_EQ(writeNetworkContents(*other), text);
}

TEST_F(Network, DamagedContentsChangeNothing)
{
    sop("box", "b");
    std::string const good = writeNetworkContents(*geo);
    auto const other = theScene().create(obj, "geo", "other");
    for (std::string const &damaged :
         {std::string("kalvane-scene 1\n"), std::string("kalvane-contents 3\n"), std::string("junk"),
          good + "node c nosuchtype\n", good + "node b box\n", good + "\tat 1\n", good + "\tvalue nope 1\n",
          good + "node x xform\n\tinput 0 node missing 0\n", good + "\tcomment \"open\n"})
    {
        EXPECT_THROW(readNetworkContents(other, damaged, "test"), KOM_OperationFailed) << damaged;
        EXPECT_TRUE(other->children.empty()) << damaged;
    }
}

TEST_F(Network, UnknownPartsAreSkippedAndNamed)
{
    std::string const text = "kalvane-contents 1\nnode b box\n\tsparkle 3\n\tat 2 3\n\tsparkle 4\n"
                             "future-thing x\n\tmore 1\nnode c box\n";
    std::vector<std::string> skipped;
    auto const made = readNetworkContents(geo, text, "test", &skipped);
    EXPECT_EQ(made.size(), 2u);
    EXPECT_EQ(geo->child("b")->position()[1], 3.0f);
    EXPECT_EQ(skipped, (std::vector<std::string>{"sparkle (line 3)", "future-thing (line 6)"}));
}

TEST(SceneFileNames, IncrementKeepsPaddingAndBackupsNumberFromOne)
{
    EXPECT_EQ(incrementedFileName("dir/shot.kip"), "dir/shot1.kip");
    EXPECT_EQ(incrementedFileName("shot009.kip"), "shot010.kip");
    EXPECT_EQ(incrementedFileName("shot99"), "shot100");
    EXPECT_EQ(incrementedFileName("/a.b/scene"), "/a.b/scene1");
    EXPECT_EQ(backupFileName("/nonexistent/dir/shot.kip"), "/nonexistent/dir/backup/shot_bak1.kip");
}

} // namespace
