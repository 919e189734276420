// Node types and categories: the type table, per-type changes users make, shading contexts.
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/journal.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "model/enums.h"
#include "model/errors.h"
#include "model/module.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class NodeTypes : public FreshHost
{
protected:
    static std::unique_ptr<KOM_NodeType> type(int category, char const *name)
    {
        return std::unique_ptr<KOM_NodeType>(nodeTypeHandle(findNodeType(category, name)));
    }
};

} // namespace

TEST_F(NodeTypes, TypesAreLookedUpWithinTheirCategory)
{
    NodeTypeInfo const *sopNull = findNodeType(KOM_SopCategory, "null");
    NodeTypeInfo const *objNull = findNodeType(KOM_ObjectCategory, "null");
    ASSERT_NE(sopNull, nullptr);
    ASSERT_NE(objNull, nullptr);
    EXPECT_NE(sopNull, objNull);
    EXPECT_EQ(findNodeType(KOM_SopCategory, "geo"), nullptr);
    EXPECT_EQ(nodeTypeHandle(nullptr), nullptr);

    NodeTypeInfo const *box = findNodeType(KOM_SopCategory, "box");
    ASSERT_EQ(box->parms.size(), 3u);
    EXPECT_EQ(box->parms[1].dataType, KOM_IntParmData);
    EXPECT_EQ(box->childCategoryCode, KOM_NoCategory);
    EXPECT_EQ(findNodeType(KOM_ObjectCategory, "dopnet")->flagBits, KOM_SimulationNetworkFlag);
}

TEST_F(NodeTypes, CategoriesAreOneObjectPerCode)
{
    KOM_NodeTypeCategory *sop = categoryFor(KOM_SopCategory);
    ASSERT_NE(sop, nullptr);
    EXPECT_EQ(categoryFor(KOM_SopCategory), sop);
    EXPECT_EQ(categoryCodeOf(*sop), KOM_SopCategory);
    EXPECT_EQ(categoryFor(KOM_NoCategory), nullptr);
    EXPECT_EQ(categoryFor(99), nullptr);
    auto const byName = categoriesByName();
    EXPECT_EQ(byName.size(), 15u);
    EXPECT_EQ(byName.at("Sop"), sop);
    EXPECT_EQ(std::unique_ptr<KOM_NodeType>(KOM().nodeType(*sop, "box"))->name(), "box");
}

TEST_F(NodeTypes, AliasesAreValidatedUniquePerTypeAndForgottenOnReset)
{
    auto const box = type(KOM_SopCategory, "box");
    box->addAlias("cube");
    EXPECT_EQ(box->aliases(), (std::vector<std::string>{"cube"}));
    EXPECT_THROW(box->addAlias("cube"), KOM_OperationFailed);
    EXPECT_THROW(box->addAlias("not valid"), KOM_OperationFailed);
    EXPECT_THROW(box->removeAlias("sphere"), KOM_OperationFailed);
    box->addAlias("block");
    box->removeAlias("cube");
    EXPECT_EQ(box->aliases(), (std::vector<std::string>{"block"}));
    box->setHidden(true);
    EXPECT_TRUE(type(KOM_SopCategory, "box")->hidden()); // the state belongs to the type
    resetHost();
    EXPECT_TRUE(box->aliases().empty());
    EXPECT_FALSE(box->hidden());
}

TEST_F(NodeTypes, InstancesAreFoundAtAnyDepth)
{
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> first(obj->createNode("geo", "a", true, true));
    std::unique_ptr<KOM_Node> second(obj->createNode("geo", "b", true, true));
    std::unique_ptr<KOM_Node> box(first->createNode("box", nullptr, true, true));
    auto const instances = type(KOM_SopCategory, "box")->instances();
    ASSERT_EQ(instances.size(), 1u);
    std::unique_ptr<KOM_Node> found(instances[0].get());
    EXPECT_EQ(found->path(), "/obj/a/box1");
    for (auto const &geo : type(KOM_ObjectCategory, "geo")->instances())
        delete geo.get();
}

TEST_F(NodeTypes, InstancesAreFoundInsideNetworksNestedAsDeepAsScriptsMakeThem)
{
    auto network = theScene().find("/obj", nullptr);
    for (int i = 0; i < 1 << 16; ++i)
        network = theScene().create(network, "subnet", "s");
    theScene().create(network, "geo", "deepest");
    auto const instances = type(KOM_ObjectCategory, "geo")->instances();
    ASSERT_EQ(instances.size(), 1u);
    std::unique_ptr<KOM_Node> found(instances[0].get());
    EXPECT_EQ(found->name(), "deepest");
    resetHost();
}

TEST_F(NodeTypes, ShadingContextsAnswerForShaderTypesOnly)
{
    std::unique_ptr<KOM_ZelContext> surface(zelContextForShaderType(KOM_shaderType::Surface));
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->name(), "surface");
    EXPECT_EQ(surface->nodeTypeCategory(), categoryFor(KOM_ShopCategory));
    EXPECT_THROW(zelContextForShaderType(KOM_primType::Polygon), KOM_TypeError);
    std::unique_ptr<KOM_ZelContext> sop(zelContextForCategory(*categoryFor(KOM_SopCategory)));
    ASSERT_NE(sop, nullptr);
    EXPECT_EQ(sop->shaderType(), nullptr);
    EXPECT_EQ(zelContextForCategory(*categoryFor(KOM_RopCategory)), nullptr);
}

TEST_F(NodeTypes, TheJournalShowsTypesByFullNameAndCategoriesByName)
{
    EXPECT_EQ(journalValue(*type(KOM_SopCategory, "box")).text, "Sop/box");
    EXPECT_EQ(journalValue(categoryFor(KOM_Cop2NetCategory)).text, "Cop2Net");
}
