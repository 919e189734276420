// Shelves and galleries: the folder and its files, the text format, read-only files and presets.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/shelves.h"
#include "model/errors.h"
#include "model/module.h"
#include "model/nodes.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class Shelves : public FreshHost
{
protected:
    static std::string inFolder(char const *name) { return shelfFolder() + "/" + name; }

    static void write(std::string const &path, std::string const &text) { std::ofstream(path) << text; }
};

TEST_F(Shelves, EscapedValuesRoundTrip)
{
    std::string const text = "a\\b\nc\td\re\\n";
    EXPECT_EQ(escapeValue(text).find('\n'), std::string::npos);
    EXPECT_EQ(unescapeValue(escapeValue(text)), text);
    EXPECT_EQ(unescapeValue("trailing\\"), "trailing\\");
}

TEST_F(Shelves, PatternsMatchStarsAndQuestionMarks)
{
    EXPECT_TRUE(matchesPattern("*", ""));
    EXPECT_TRUE(matchesPattern("half_*", "half_box"));
    EXPECT_TRUE(matchesPattern("*a*b?", "xxaxxbz"));
    EXPECT_FALSE(matchesPattern("*a*b?", "xxaxxb"));
    EXPECT_FALSE(matchesPattern("box", "boxes"));
    // Many stars over a long text stay linear in practice, not exponential.
    EXPECT_FALSE(matchesPattern("*a*a*a*a*a*a*a*b", std::string(2000, 'a')));
}

TEST_F(Shelves, WritesStayInsideTheFolder)
{
    EXPECT_EQ(writablePath("a.shelf", "Shelf"), inFolder("a.shelf"));
    EXPECT_EQ(writablePath((shelfFolder() + "/sub/../b.shelf").c_str(), "Shelf"), inFolder("b.shelf"));
    for (char const *outside : {"../a.shelf", "/tmp/a.shelf", "", static_cast<char const *>(nullptr)})
        EXPECT_THROW(writablePath(outside, "Shelf"), KOM_PermissionError) << (outside ? outside : "null");
    std::string const file = inFolder("locked.shelf");
    write(file, "x");
    chmod(file.c_str(), S_IRUSR);
    EXPECT_THROW(writablePath("locked.shelf", "Shelf"), KOM_PermissionError);
}

TEST_F(Shelves, AtomicWritesLeaveNoTemporaryBehind)
{
    std::string const file = inFolder("w.shelf");
    writeFileAtomically(file, "one");
    writeFileAtomically(file, "two");
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "two");
    EXPECT_FALSE(std::filesystem::exists(file + ".new"));
}

TEST_F(Shelves, DamagedFilesNameTheirLine)
{
    std::string const file = inFolder("bad.gal");
    write(file, "kalvane gallery file 1\nentry e\n   \n");
    try
    {
        readFileLines(file, "kalvane gallery file 1");
        FAIL() << "a line without a key was read";
    }
    catch (KOM_OperationFailed const &error)
    {
        EXPECT_NE(error.instanceMessage().find("bad.gal:3"), std::string::npos) << error.instanceMessage();
    }
    write(file, "something else\n");
    EXPECT_THROW(readFileLines(file, "kalvane gallery file 1"), KOM_OperationFailed);
    EXPECT_THROW(readFileLines(inFolder("none.gal"), "kalvane gallery file 1"), KOM_OperationFailed);
}

TEST_F(Shelves, FileLinesKeepKeysValuesAndIndentation)
{
    std::string const file = inFolder("f.shelf");
    write(file, "h\n# comment\ntool a b\n  script x\\ny\n  label\n");
    auto const lines = readFileLines(file, "h");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].indented);
    EXPECT_EQ(lines[0].value, "a b");
    EXPECT_TRUE(lines[1].indented);
    EXPECT_EQ(lines[1].value, "x\ny");
    EXPECT_EQ(lines[2].key, "label");
    EXPECT_EQ(lines[2].value, "");
}

TEST_F(Shelves, RenamedToolsAreListedUnderTheirNewNameOnTheirShelf)
{
    std::unique_ptr<KOM_Tool> tool(theShelves().tools().at("box").get());
    tool->setName("cube");
    std::ifstream in(shelfFolder() + "/default.shelf");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("  tool cube\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("tool box"), std::string::npos) << text;
}

TEST_F(Shelves, PresetsThatFailHalfwayLeaveNoNodeBehind)
{
    auto entries = theGalleries().galleryEntries(nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(entries.size(), 1u);
    std::unique_ptr<KOM_GalleryEntry> entry(entries[0].get());
    entry->setKeywords({"broken"});
    std::unique_ptr<KOM_Node> obj(KOM().node("/obj"));
    std::unique_ptr<KOM_Node> geo(obj->createNode("geo", "g", true, true));
    // A parameter the box does not have: applying fails, and the node made for it goes again.
    std::ofstream(shelfFolder() + "/broken.gal")
        << "kalvane gallery file 1\nentry e\n  nodeTypeCategory Sop\n  nodeTypeName box\n  parm . nosuch 1\n";
    std::unique_ptr<KOM_Gallery> broken(theGalleries().installGallery((shelfFolder() + "/broken.gal").c_str()));
    auto brokenEntries = broken->galleryEntries(nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(brokenEntries.size(), 1u);
    std::unique_ptr<KOM_GalleryEntry> bad(brokenEntries[0].get());
    EXPECT_THROW(bad->createChildNode(*geo), KOM_OperationFailed);
    EXPECT_TRUE(geo->children().empty());
}

} // namespace
