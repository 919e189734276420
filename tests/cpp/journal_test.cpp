// The journal, faults and scripted answers: what the host records of each call, injected
// errors and what the user would answer.
#include <gtest/gtest.h>

#include "host/answers.h"
#include "host/host.h"
#include "host/journal.h"
#include "model/errors.h"
#include "model/module.h"

using namespace kalhost;

class Host : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetHost();
        setJournalling(true);
    }
    void TearDown() override { setJournalling(false); }
};

TEST_F(Host, FaultFiresAfterRecordingForTheGivenNumberOfCalls)
{
    ASSERT_TRUE(addFault("Module.root", "OperationFailed", "broken", 2));
    for (int i = 0; i < 2; ++i)
    {
        try
        {
            KOM().root();
            FAIL() << "no fault";
        }
        catch (KOM_OperationFailed const &error)
        {
            EXPECT_EQ(error.instanceMessage(), "broken");
        }
    }
    std::unique_ptr<KOM_Node> root(KOM().root());
    EXPECT_EQ(root->path(), "/");
    EXPECT_EQ(journalEntries().size(), 4u);
    EXPECT_FALSE(addFault("Module.root", "NoSuchError", "", 1));
}

// Operations skip both books with one test; the test must see every reason to look.
TEST_F(Host, OperationsLookOnlyWhileJournallingOrWhileAFaultIsPending)
{
    EXPECT_EQ(theHostWatch, WatchedByJournal);
    setJournalling(false);
    EXPECT_EQ(theHostWatch, 0);
    ASSERT_TRUE(addFault("Module.root", "Error", "", 1));
    ASSERT_TRUE(addFault("Module.frame", "Error", "", 1));
    EXPECT_EQ(theHostWatch, WatchedByFaults);
    EXPECT_THROW(KOM().root(), KOM_Error);
    EXPECT_EQ(theHostWatch, WatchedByFaults); // Module.frame is still pending
    EXPECT_THROW(KOM().frame(), KOM_Error);
    EXPECT_EQ(theHostWatch, 0);
    addFault("Module.root", "Error", "", 1);
    setJournalling(true);
    clearFaults();
    EXPECT_EQ(theHostWatch, WatchedByJournal);
}

TEST_F(Host, AnswersComeOldestFirstPerOperationAndResetForgetsThem)
{
    queueAnswer("ui.displayMessage", JournalValue::ofInt(1));
    queueAnswer("ui.displayMessage", JournalValue::ofInt(2));
    queueAnswer("ui.readInput", JournalValue::none());
    EXPECT_EQ(takeAnswer("ui.displayMessage").integer, 1);
    EXPECT_EQ(takeAnswer("ui.readInput").kind, JournalValue::Kind::None);
    EXPECT_EQ(takeAnswer("ui.displayMessage").integer, 2);
    EXPECT_THROW(takeAnswer("ui.displayMessage"), KOM_OperationInterrupted);

    queueAnswer("ui.displayMessage", JournalValue::ofInt(3));
    resetHost();
    EXPECT_THROW(takeAnswer("ui.displayMessage"), KOM_OperationInterrupted);
}
