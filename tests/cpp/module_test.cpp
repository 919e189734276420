// Module functions: the clock, exit, categories and the host's reset (path look-ups from the
// current node are tests/python/test_functions.py's).
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/journal.h"
#include "model/errors.h"
#include "model/module.h"
#include "model/nodes.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class Module : public Network
{
protected:
    static std::string pwd() { return std::unique_ptr<KOM_Node>(KOM().pwd())->path(); }
};

} // namespace

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
