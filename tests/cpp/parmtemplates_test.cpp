// Parameter templates in the host: naming schemes, validation, and templates of tuples.
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/parms.h"
#include "host/parmtemplates.h"
#include "model/errors.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

using ParmTemplates = FreshHost;

std::vector<std::string> componentsOf(KOM_ParmTemplate &parmTemplate)
{
    return dynamic_cast<HostParmTemplate &>(parmTemplate).tupleInfo().componentNames;
}

} // namespace

TEST_F(ParmTemplates, NamingSchemesNameTheComponents)
{
    struct Case
    {
        KOM_EnumValue &scheme;
        int count;
        std::vector<std::string> names;
    } const cases[] = {
        {KOM_parmNamingScheme::XYZW, 3, {"px", "py", "pz"}},
        {KOM_parmNamingScheme::Base1, 2, {"p1", "p2"}},
        {KOM_parmNamingScheme::RGBA, 4, {"pr", "pg", "pb", "pa"}},
        {KOM_parmNamingScheme::MinMax, 2, {"pmin", "pmax"}},
        {KOM_parmNamingScheme::UVW, 1, {"p"}},
    };
    for (auto const &c : cases)
    {
        std::unique_ptr<KOM_FloatParmTemplate> made(newFloatParmTemplate(
            "p", "P", c.count, {}, 0.0f, 1.0f, false, false, KOM_parmLook::Regular, c.scheme, {}));
        EXPECT_EQ(componentsOf(*made), c.names) << c.scheme.valueName;
    }
    EXPECT_THROW(newFloatParmTemplate("p", "P", 3, {}, 0.0f, 1.0f, false, false, KOM_parmLook::Regular,
                                      KOM_parmNamingScheme::MinMax, {}),
                 KOM_OperationFailed);
}

TEST_F(ParmTemplates, SetNameKeepsTheTemplateWhole)
{
    std::unique_ptr<KOM_IntParmTemplate> made(newIntParmTemplate(
        "n", "N", 2, {1, 2}, 0, 10, false, false, KOM_parmLook::Regular, KOM_parmNamingScheme::Base1, {}));
    EXPECT_THROW(made->setName(""), KOM_OperationFailed);
    EXPECT_EQ(made->name(), "n");
    made->setName("m");
    EXPECT_EQ(componentsOf(*made), (std::vector<std::string>{"m1", "m2"}));
    EXPECT_EQ(made->defaultValue(), (std::vector<int>{1, 2}));
}

TEST_F(ParmTemplates, TuplesDescribeThemselves)
{
    ParmTupleInfo info{"size", "Size", KOM_FloatParmData, {"sizex", "sizey", "sizez"}, {1.0, 2.0, 3.0}};
    std::unique_ptr<KOM_ParmTemplate> made(newParmTemplate(info));
    auto *floats = dynamic_cast<KOM_FloatParmTemplate *>(made.get());
    ASSERT_NE(floats, nullptr);
    EXPECT_EQ(floats->defaultValue(), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(made->namingScheme(), &KOM_parmNamingScheme::XYZW);
    EXPECT_EQ(made->type(), &KOM_parmTemplateType::Float);
    info.templateTypeId = KOM_ToggleParmTemplateId;
    info.dataType = KOM_IntParmData;
    info.componentNames = {"on"};
    info.defaults = {1.0};
    std::unique_ptr<KOM_ParmTemplate> toggle(newParmTemplate(info));
    ASSERT_NE(dynamic_cast<KOM_ToggleParmTemplate *>(toggle.get()), nullptr);
    EXPECT_TRUE(dynamic_cast<KOM_ToggleParmTemplate &>(*toggle).defaultValue());
    EXPECT_EQ(toggle->dataType(), &KOM_parmData::Int);
}
