// Module functions: the current node, path look-ups, the clock, exit and the host's reset.
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/journal.h"
#include "model/errors.h"
#include "model/module.h"
#include "model/nodes.h"
#include "model/parms.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class Module : public FreshHost
{
protected:
    void SetUp() override
    {
        FreshHost::SetUp();
        std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
        std::unique_ptr<KOM_Node> geo(obj->createNode("geo", "g", true, true));
        delete geo->createNode("box", "b", true, true);
    }
    static std::string pwd() { return std::unique_ptr<KOM_Node>(KOM().pwd())->path(); }
};

} // namespace

TEST_F(Module, RelativePathsStartAtTheCurrentNode)
{
    EXPECT_EQ(pwd(), "/");
    KOM().cd("/obj/g");
    EXPECT_EQ(pwd(), "/obj/g");
    EXPECT_EQ(std::unique_ptr<KOM_Node>(KOM().node("b"))->path(), "/obj/g/b");
    EXPECT_EQ(std::unique_ptr<KOM_Parm>(KOM().parm("b/divisions"))->evalAsInt(), 1);
    EXPECT_EQ(std::unique_ptr<KOM_ParmTuple>(KOM().parmTuple("/obj/g/t"))->__len__(), 3);
    EXPECT_EQ(KOM().node("missing"), nullptr);
    EXPECT_EQ(KOM().node(""), nullptr);
    EXPECT_EQ(KOM().parm("b/missing"), nullptr);
    EXPECT_THROW(KOM().cd("/nowhere"), KOM_OperationFailed);
    EXPECT_EQ(pwd(), "/obj/g");
}

TEST_F(Module, TheClockCountsFramesFromOneAtTheCurrentRate)
{
    KOM().setFps(25.0f);
    KOM().setFrame(51.0f);
    EXPECT_FLOAT_EQ(KOM().time(), 2.0f);
    EXPECT_FLOAT_EQ(KOM().timeToFrame(1.0f), 26.0f);
    EXPECT_FLOAT_EQ(KOM().frameToTime(1.0f), 0.0f);
    EXPECT_THROW(KOM().setFps(0.0f), KOM_ValueError);
    EXPECT_FLOAT_EQ(KOM().fps(), 25.0f);
}

TEST_F(Module, ExitRaisesTheRequestAndResetForgetsIt)
{
    try
    {
        KOM().exit(3, true);
        FAIL() << "exit returned";
    }
    catch (KOM_SystemExit const &request)
    {
        EXPECT_EQ(request.code(), 3);
    }
    EXPECT_TRUE(KOM()._isExiting());
    resetHost();
    EXPECT_FALSE(KOM()._isExiting());
}

TEST_F(Module, ResetRestoresTheSceneAndForgetsJournalAndFaults)
{
    setJournalling(true);
    KOM().cd("/obj/g");
    ASSERT_TRUE(addFault("Module.root", "NotAvailable", "", 1));
    resetHost();
    EXPECT_TRUE(journalEntries().empty());
    EXPECT_EQ(std::unique_ptr<KOM_Node>(KOM().root())->path(), "/"); // the fault is gone
    EXPECT_EQ(KOM().node("/obj/g"), nullptr);
    EXPECT_EQ(pwd(), "/");
    setJournalling(false);
}

TEST_F(Module, CategoriesComeFromTheirOwnAccessors)
{
    EXPECT_EQ(KOM().sopNodeTypeCategory()->name(), "Sop");
    EXPECT_EQ(KOM().objNodeTypeCategory(), KOM().nodeTypeCategories().at("Object"));
    EXPECT_NE(KOM().vopNodeTypeCategory(), KOM().vopNetNodeTypeCategory());
}
