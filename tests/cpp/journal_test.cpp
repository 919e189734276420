#include <gtest/gtest.h>

#include "host/host.h"
#include "host/journal.h"
#include "host/nodes.h"
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

TEST_F(Host, RecordsEachCallWithTheArgumentsAsReceived)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> geo(obj->createNode("geo", nullptr, true, false));
    auto const &entries = journalEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].operation, "Node.createNode");
    ASSERT_EQ(entries[1].args.size(), 4u);
    EXPECT_EQ(entries[1].args[0].text, "geo");
    EXPECT_EQ(entries[1].args[1].kind, JournalValue::Kind::None);
    EXPECT_TRUE(entries[1].args[2].boolean);
    EXPECT_FALSE(entries[1].args[3].boolean);
    EXPECT_EQ(geo->path(), "/obj/geo1");
}

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

TEST_F(Host, HandlesOutliveTheirNodeAndFailAfterDestroy)
{
    long const before = LiveCounted::count();
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> geo(obj->createNode("geo", "g", true, true));
    std::unique_ptr<KOM_Node> other(KOM().node("/obj/g"));
    EXPECT_EQ(LiveCounted::count(), before + 3);
    geo->destroy();
    EXPECT_THROW(other->name(), KOM_ObjectWasDeleted);
    EXPECT_EQ(std::unique_ptr<KOM_Node>(KOM().node("/obj/g")), nullptr);
    EXPECT_EQ(obj->name(), "obj");
}

TEST_F(Host, NamesAreMadeUniqueAndValidated)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> first(obj->createNode("geo", nullptr, true, true));
    std::unique_ptr<KOM_Node> second(obj->createNode("geo", nullptr, true, true));
    EXPECT_EQ(first->name(), "geo1");
    EXPECT_EQ(second->name(), "geo2");
    EXPECT_THROW(obj->createNode("geo", "bad name", true, true), KOM_InvalidNodeName);
    EXPECT_THROW(obj->createNode("box", nullptr, true, true), KOM_OperationFailed);
}
