// Parameters: evaluation, keyframes, spare tuples, kept handles and aliases.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "host/host.h"
#include "host/journal.h"
#include "host/nodes.h"
#include "host/parms.h"
#include "host/parmtemplates.h"
#include "model/enums.h"
#include "model/errors.h"
#include "model/module.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

// A numeric keyframe at that frame.
std::unique_ptr<KOM_Keyframe> keyAt(double frame, double value)
{
    std::unique_ptr<KOM_Keyframe> key(newKeyframe(value));
    key->setFrame(frame);
    return key;
}

class Parms : public Network
{
protected:
    void SetUp() override
    {
        Network::SetUp();
        sop("box", "b");
    }

    std::unique_ptr<KOM_Parm> parm(char const *path) { return std::unique_ptr<KOM_Parm>(KOM().parm(path)); }
};

} // namespace

TEST_F(Parms, ExpressionsFollowPrecedenceFramesAndReferences)
{
    auto tx = parm("/obj/g/tx");
    struct Case
    {
        char const *expression;
        float expected;
    };
    for (Case const &c : {Case{"1 + 2 * 3", 7.0f}, Case{"(1 + 2) * 3", 9.0f}, Case{"-2 - -3", 1.0f},
                          Case{"8 / 4 / 2", 1.0f}, Case{"$F * 10", 40.0f},
                          Case{"ch(\"sy\") + ch(\"/obj/g/b/sizez\")", 2.0f},
                          Case{"ch(\"b/divisions\") * 2.5", 2.5f}})
    {
        tx->setExpression(c.expression, nullptr);
        EXPECT_FLOAT_EQ(tx->evalAsFloatAtFrame(4.0f), c.expected) << c.expression;
    }
}

TEST_F(Parms, BadExpressionsFailWhenEvaluated)
{
    auto tx = parm("/obj/g/tx");
    auto ty = parm("/obj/g/ty");
    for (char const *bad : {"1 +", "2 * (3", "ch(\"nothing\")", "1 / 0", "3 $", "ch(\"/obj/g/b/group\") + 1"})
    {
        tx->setExpression(bad, nullptr);
        EXPECT_THROW(tx->evalAsFloat(), KOM_OperationFailed) << bad;
    }
    tx->setExpression("ch(\"ty\")", nullptr);
    ty->setExpression("ch(\"tx\")", nullptr);
    EXPECT_THROW(tx->evalAsFloat(), KOM_OperationFailed);
}

TEST_F(Parms, KeyframesInterpolateAndSettingAnAnimatedParameterKeysIt)
{
    auto tx = parm("/obj/g/tx");
    tx->setKeyframe(*keyAt(10.0, 100.0));
    tx->setKeyframe(*keyAt(0.0, 0.0));
    EXPECT_FLOAT_EQ(tx->evalAsFloatAtFrame(2.5f), 25.0f);
    EXPECT_FLOAT_EQ(tx->evalAsFloatAtFrame(-5.0f), 0.0f);
    EXPECT_FLOAT_EQ(tx->evalAsFloatAtFrame(50.0f), 100.0f);
    tx->set(7.0f); // the clock stands at frame 1
    auto const keys = tx->keyframes();
    EXPECT_EQ(keys.size(), 3u);
    for (auto key : keys)
        delete key.get();
    EXPECT_FLOAT_EQ(tx->evalAsFloatAtFrame(1.0f), 7.0f);
    tx->deleteAllKeyframes();
    EXPECT_TRUE(tx->keyframes().empty());
    EXPECT_FLOAT_EQ(tx->evalAsFloatAtFrame(50.0f), 7.0f);
}

TEST_F(Parms, CopiesHaveTheirOwnValues)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    parm("/obj/g/tx")->set(3.0f);
    auto from = theScene().find("/obj/g", theScene().root());
    auto to = theScene().create(from->parent.lock(), "geo", "copy");
    copyParms(*from, *to);
    parm("/obj/g/tx")->set(5.0f);
    EXPECT_FLOAT_EQ(parm("/obj/copy/tx")->evalAsFloat(), 3.0f);
}

TEST_F(Parms, SpareTuplesAreKeptByTheHostAndRemovable)
{
    std::unique_ptr<KOM_IntParmTemplate> stub(newIntParmTemplate(
        "extra", "Extra", 2, {4, 5}, 0, 10, false, false, KOM_parmLook::Regular, KOM_parmNamingScheme::Base1, {}));
    long const before = LiveCounted::count();
    KOM_ParmTuple *spare = addSpareParmTuple(geo, *stub);
    EXPECT_EQ(LiveCounted::count(), before);
    EXPECT_EQ(spare->__len__(), 2);
    EXPECT_EQ(spare->evalAsInts(), (std::vector<int>{4, 5}));
    auto const spares = spareParmHandles(geo);
    EXPECT_EQ(spares.size(), 2u);
    for (auto handle : spares)
        delete handle.get();
    EXPECT_THROW(addSpareParmTuple(geo, *stub), KOM_OperationFailed);
    std::unique_ptr<KOM_ParmTuple> translate(parmTupleHandle(geo, "t"));
    EXPECT_THROW(removeSpareParmTuple(geo, *translate), KOM_OperationFailed);
    removeSpareParmTuple(geo, *spare);
    EXPECT_THROW(spare->evalAsInts(), KOM_ObjectWasDeleted);
}

TEST_F(Parms, ReferencedParametersAreKeptAndOutliveTheirNode)
{
    auto sizex = parm("/obj/g/b/sizex");
    sizex->set(*parm("/obj/g/ty"), &KOM_exprLanguage::Python);
    EXPECT_EQ(sizex->expression(), "ch(\"/obj/g/ty\")");
    EXPECT_EQ(sizex->expressionLanguage(), &KOM_exprLanguage::Python);
    KOM_Parm *referenced = sizex->getReferencedParm();
    EXPECT_EQ(referenced, sizex->getReferencedParm());
    EXPECT_EQ(referenced->name(), "ty");
    EXPECT_EQ(referenced->componentIndex(), 1);
    std::unique_ptr<KOM_Node>(KOM().node("/obj/g"))->destroy();
    EXPECT_THROW(referenced->name(), KOM_ObjectWasDeleted);
    EXPECT_THROW(sizex->evalAsFloat(), KOM_ObjectWasDeleted);
}

TEST_F(Parms, AliasesAreUniqueWithinANodeAndCleared)
{
    parm("/obj/g/tx")->setAlias("left");
    EXPECT_THROW(parm("/obj/g/ty")->setAlias("left"), KOM_OperationFailed);
    EXPECT_THROW(parm("/obj/g/ty")->setAlias("bad name"), KOM_OperationFailed);
    parm("/obj/g/b/sizex")->setAlias("left");
    auto aliases = parmAliases(geo, true);
    EXPECT_EQ(aliases.size(), 2u);
    for (auto const &entry : aliases)
        delete entry.first.get();
    clearParmAliases(geo);
    EXPECT_EQ(parm("/obj/g/tx")->alias(), "");
}
