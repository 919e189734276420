// Asset libraries in the host: the library text read back exactly, damaged texts refused with
// their line, the directory form, and the names an asset type cannot take.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/assets.h"
#include "host/nodetypes.h"
#include "host/scenefile.h"
#include "model/errors.h"
#include "model/nodetypes.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

std::shared_ptr<AssetDefinition> sampleDefinition(std::string const &name)
{
    auto definition = std::make_shared<AssetDefinition>();
    definition->categoryCode = KOM_SopCategory;
    definition->typeName = name;
    definition->description = "Line one\nline two \\ and \x01";
    definition->icon = "SOP_" + name;
    definition->minInputs = 1;
    definition->maxInputs = 4;
    definition->extraInfo = "extra";
    definition->comment = "";
    definition->version = "3.1";
    definition->hideDefaultParameters = true;
    definition->representativeNodePath = "inner/out";
    definition->sections["Contents"] = "end\nsection 3 fake\n";
    definition->sections["binary \n name"] = std::string("\0\xff\n\n", 4);
    definition->sections["empty"] = "";
    return definition;
}

void expectSame(AssetDefinition const &a, AssetDefinition const &b)
{
    EXPECT_EQ(a.key(), b.key());
    EXPECT_EQ(a.description, b.description);
    EXPECT_EQ(a.icon, b.icon);
    EXPECT_EQ(a.minInputs, b.minInputs);
    EXPECT_EQ(a.maxInputs, b.maxInputs);
    EXPECT_EQ(a.extraInfo, b.extraInfo);
    EXPECT_EQ(a.comment, b.comment);
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.hideDefaultParameters, b.hideDefaultParameters);
    EXPECT_EQ(a.representativeNodePath, b.representativeNodePath);
    EXPECT_EQ(a.sections, b.sections);
}

std::string temporaryFolder()
{
    char name[] = "/tmp/assets_testXXXXXX";
    char const *made = mkdtemp(name);
    EXPECT_NE(made, nullptr);
    return made ? made : "";
}

TEST(AssetLibraryText, EveryFieldAndAnyBytesReadBackExactly)
{
    std::vector<std::shared_ptr<AssetDefinition>> const written = {sampleDefinition("first"),
                                                                    sampleDefinition("second")};
    std::string const text = writeLibraryText(written);
    auto const read = readLibraryText(text, "sample.kda");
    ASSERT_EQ(read.size(), 2u);
    expectSame(*written[0], *read[0]);
    expectSame(*written[1], *read[1]);
    EXPECT_EQ(writeLibraryText(read), text);
}

TEST(AssetLibraryText, DamagedTextsNameTheSourceAndLine)
{
    std::string const good = writeLibraryText({sampleDefinition("tool")});
    struct Case
    {
        std::string text;
        char const *where;
    };
    Case const cases[] = {
        {good.substr(0, good.size() - 1), "ends inside a line"},
        {good.substr(0, good.find("section 0 empty")) + "section 0 empty\n\n", "has no end"},
        {"kalvane-asset-library 1\ndefinition Sop tool\nmaxInputs 99999\nend\n", "line 3"},
        {"kalvane-asset-library 1\ndefinition Sop bad/name\nend\n", "invalid type name"},
        {"kalvane-asset-library 1\ndefinition Sop tool\nsection 5 s\nab\n", "cut short"},
        {"kalvane-asset-library 1\ndefinition Sop tool\nsection -1 s\n\nend\n", "bad section size"},
        {"kalvane-asset-library 1\ndefinition Sop tool\nsection 0 \n\nend\n", "bad section name"},
        {"kalvane-asset-library x\n", "bad format version"},
        {"kalvane-asset-library 1\nend\n", "expected a definition"},
    };
    for (auto const &each : cases)
    {
        try
        {
            readLibraryText(each.text, "lib.kda");
            ADD_FAILURE() << "accepted: " << each.text;
        }
        catch (KOM_OperationFailed const &error)
        {
            std::string const message = error.instanceMessage();
            EXPECT_NE(message.find("Damaged asset library lib.kda, line "), std::string::npos) << message;
            EXPECT_NE(message.find(each.where), std::string::npos) << message;
        }
    }
}

TEST(AssetLibraryText, TheDirectoryFormHoldsTheSameDefinitions)
{
    std::string const folder = temporaryFolder() + "/expanded";
    std::vector<std::shared_ptr<AssetDefinition>> const written = {sampleDefinition("tool")};
    expandLibrary(written, folder);
    auto const read = collapseLibrary(folder);
    ASSERT_EQ(read.size(), 1u);
    expectSame(*written[0], *read[0]);
    // A properties file that names an unknown entry is refused with its own path.
    writeFileAtomically(folder + "/Sop_tool/properties", "colour red\n");
    EXPECT_THROW(collapseLibrary(folder), KOM_OperationFailed);
}

TEST_F(Network, ABuiltInNameCannotBecomeAnAsset)
{
    auto const subnet = theScene().create(obj, "subnet", "s");
    EXPECT_THROW(createAssetFromSubnet(subnet, "geo", nullptr, nullptr, 0, 0, nullptr, nullptr),
                 KOM_OperationFailed);
    EXPECT_EQ(subnet->type, findNodeType(KOM_ObjectCategory, "subnet"));
}

} // namespace
