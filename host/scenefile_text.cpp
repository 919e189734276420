// The scene file's text: lines and their fields, node entries, reading a text into nodes out
// of the scene and committing them, and the files themselves.
#include "host/scenefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "host/parms.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// The first line of each kind of text, and the newest format version this host reads and the
// one it writes. Version 2 added flags, pre-transforms, display and render nodes, assets and
// the network boxes' fields (members among them) to version 1, which it reads as it is.
constexpr char const *SceneHeader = "kalvane-scene";
constexpr char const *ContentsHeader = "kalvane-contents";
constexpr int FormatVersion = 2;

[[noreturn]] void failFor(std::string const &source, std::string const &why)
{
    throw KOM_OperationFailed((source + ": " + why).c_str());
}

bool isWordChar(char c)
{
    return c > ' ' && c < 127 && c != '"' && c != '\\';
}

// The enumeration values the scene holds, by "enumeration.Value".
std::unordered_map<std::string, KOM_EnumValue const *> const &enumValuesByName()
{
    static std::unordered_map<std::string, KOM_EnumValue const *> const byName = [] {
        std::unordered_map<std::string, KOM_EnumValue const *> values;
        for (KOM_EnumValue const *value :
             {&KOM_exprLanguage::Python, &KOM_exprLanguage::Kscript, &KOM_parmLook::Regular,
              &KOM_parmLook::Angle, &KOM_parmLook::Vector, &KOM_parmLook::ColorSquare,
              &KOM_parmLook::HueCircle, &KOM_parmLook::CRGBAPlaneChooser,
              &KOM_parmNamingScheme::NoSuffix, &KOM_parmNamingScheme::Base1,
              &KOM_parmNamingScheme::XYZW, &KOM_parmNamingScheme::XYWH, &KOM_parmNamingScheme::UVW,
              &KOM_parmNamingScheme::RGBA, &KOM_parmNamingScheme::MinMax,
              &KOM_parmNamingScheme::MaxMin, &KOM_parmNamingScheme::StartEnd,
              &KOM_parmNamingScheme::BeginEnd})
            values.emplace(enumValueName(*value), value);
        return values;
    }();
    return byName;
}

// --- entries ---

// Writes the entries of every node below `network`, each network before its contents:
// "node <path relative to network> <type>" and then its part lines.
void writeEntries(SceneNode const &network, std::string &out)
{
    std::unordered_map<SceneNode const *, std::string> paths;
    paths[&network] = "";
    SceneLineWriter writer(out);
    auto const &parts = sceneNodeParts();
    std::vector<SceneNode const *> pending;
    for (auto const &child : network.children)
        pending.push_back(child.get());
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty())
    {
        SceneNode const *const node = pending.back();
        pending.pop_back();
        std::string const &above = paths[node->parent.lock().get()];
        std::string &path = paths[node];
        path = above.empty() ? node->name : above + "/" + node->name;
        out += "node";
        writer.word(path).word(node->type->name);
        for (auto const &part : parts)
            part.write(*node, writer);
        out += '\n';
        std::size_t const first = pending.size();
        node->children.forEach([&pending](std::shared_ptr<SceneNode> const &child) {
            pending.push_back(child.get());
        });
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
    }
}

// Splits a text into lines, numbered from 1, without their line feeds.
std::vector<std::string_view> linesOf(std::string const &text)
{
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty())
    {
        std::size_t const end = rest.find('\n');
        lines.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return lines;
}

bool isBlankOrComment(std::string_view line)
{
    std::size_t const first = line.find_first_not_of(" \t\r");
    return first == std::string_view::npos || line[first] == '#';
}

// Resolutions run after every node exists; their errors name the line that asked for them.
class Reading : public SceneReading
{
public:
    explicit Reading(std::string const &source) : mySource(source) {}
    void at(std::size_t lineNumber) { myLineNumber = lineNumber; }
    void later(std::function<void()> resolve) override { myLater.push_back({myLineNumber, std::move(resolve)}); }
    void resolveAll()
    {
        for (auto const &[lineNumber, resolve] : myLater)
        {
            try
            {
                resolve();
            }
            catch (KOM_Error const &error)
            {
                failFor(mySource, "line " + std::to_string(lineNumber) + ": " + error.instanceMessage());
            }
        }
    }

private:
    std::string const &mySource;
    std::size_t myLineNumber = 0;
    std::vector<std::pair<std::size_t, std::function<void()>>> myLater;
};

// Checks the header line ("<kind> <version>") of a text of the wanted kind.
void readHeader(std::vector<std::string_view> const &lines, char const *kind, std::string const &source)
{
    if (lines.empty())
        failFor(source, "empty file, not a Kalvane scene");
    SceneLineReader header(lines[0], 1, source);
    if (header.keyword() != kind)
        failFor(source, std::string("not a Kalvane ") +
                            (kind == SceneHeader ? "scene file" : "network contents text"));
    long long const version = header.integer();
    header.finish();
    if (version < 1)
        header.fail("unknown format version " + std::to_string(version));
    if (version > FormatVersion)
        header.fail("written in format version " + std::to_string(version) +
                    ", newer than this host reads (" + std::to_string(FormatVersion) + ")");
}

// Reads the entries of `lines` from `first` on into `network` (out of the scene). Nodes that
// `network` held before keep their place: an entry of the same name and type describes them.
// File parts go to `scene` when there is one. Returns the top-level nodes made.
std::vector<std::shared_ptr<SceneNode>> readEntries(std::vector<std::string_view> const &lines,
                                                    std::size_t first,
                                                    std::shared_ptr<SceneNode> const &network,
                                                    std::string const &source, SceneText *scene,
                                                    std::vector<std::string> &skipped)
{
    std::unordered_map<std::string_view, SceneNodePart const *> nodeParts;
    for (auto const &part : sceneNodeParts())
        nodeParts.emplace(part.keyword, &part);
    std::unordered_map<std::string_view, SceneFilePart const *> fileParts;
    for (auto const &part : sceneFileParts())
        fileParts.emplace(part.keyword, &part);
    std::unordered_map<SceneNode const *, bool> existing;
    for (auto const &child : network->children)
        existing[child.get()] = true;
    std::unordered_map<std::string, std::size_t> skippedKinds;
    auto const skip = [&](std::string const &what, std::size_t lineNumber) {
        if (skippedKinds.emplace(what, skipped.size()).second)
            skipped.push_back(what + " (line " + std::to_string(lineNumber) + ")");
    };

    Reading reading(source);
    std::vector<std::shared_ptr<SceneNode>> made;
    std::shared_ptr<SceneNode> node;   // the entry being read; null outside entries
    bool inUnknownBlock = false;       // the lines of a skipped top-level part
    for (std::size_t index = first; index < lines.size(); ++index)
    {
        std::string_view const text = lines[index];
        if (isBlankOrComment(text))
            continue;
        bool const indented = text[0] == ' ' || text[0] == '\t';
        SceneLineReader line(text, index + 1, source);
        std::string const &keyword = line.keyword();
        if (indented)
        {
            if (inUnknownBlock)
                continue;
            if (!node)
                line.fail("a part line outside any node entry");
            auto const part = nodeParts.find(keyword);
            if (part == nodeParts.end())
            {
                skip(keyword, index + 1);
                continue;
            }
            reading.at(index + 1);
            part->second->read(node, line, reading);
            line.finish();
            continue;
        }
        node.reset();
        inUnknownBlock = false;
        if (keyword == "node")
        {
            std::string const path = line.word();
            std::string const typeName = line.word();
            line.finish();
            std::size_t const slash = path.rfind('/');
            std::string const name = slash == std::string::npos ? path : path.substr(slash + 1);
            auto parent = network;
            if (slash != std::string::npos)
            {
                parent = theScene().find(path.substr(0, slash), network);
                if (!parent || parent == network)
                    line.fail("no network " + path.substr(0, slash) + " above this entry");
            }
            if (parent->type->childCategoryCode == KOM_NoCategory)
                line.fail(parent->name + " holds no network");
            if (auto const there = parent->child(name))
            {
                if (parent != network || !existing.count(there.get()) || there->type->name != typeName)
                    line.fail("a second node named " + path);
                existing.erase(there.get()); // described once
                node = there;
                continue;
            }
            try
            {
                node = theScene().create(parent, typeName, name.c_str());
            }
            catch (KOM_Error const &error)
            {
                line.fail(error.instanceMessage());
            }
            if (parent == network)
                made.push_back(node);
            continue;
        }
        auto const part = fileParts.find(keyword);
        if (part != fileParts.end() && scene)
        {
            part->second->read(*scene, line);
            line.finish();
            continue;
        }
        skip(keyword, index + 1);
        inUnknownBlock = true;
    }
    reading.resolveAll();
    return made;
}

std::string errnoText() { return std::strerror(errno); }

} // namespace

std::string enumValueName(KOM_EnumValue const &value)
{
    // reprText is "<kal.enumeration.Value>".
    std::string text = value.reprText;
    return text.substr(5, text.size() - 6);
}

// --- lines ---

SceneLineWriter &SceneLineWriter::line(std::string_view keyword)
{
    if (!myOut.empty() && myOut.back() != '\n')
        myOut += '\n';
    if (myIndented)
        myOut += '\t';
    myOut += keyword;
    return *this;
}

SceneLineWriter &SceneLineWriter::word(std::string_view word)
{
    if (myOut.empty() || (myOut.back() != ' ' && myOut.back() != '\n'))
        myOut += ' ';
    myOut += word;
    return *this;
}

SceneLineWriter &SceneLineWriter::text(std::string_view text)
{
    static char const hex[] = "0123456789abcdef";
    myOut += " \"";
    for (char const c : text)
    {
        unsigned char const byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            myOut += '\\';
            myOut += c;
        }
        else if (c == '\n')
            myOut += "\\n";
        else if (c == '\t')
            myOut += "\\t";
        else if (byte < ' ' || byte == 127)
        {
            myOut += "\\x";
            myOut += hex[byte >> 4];
            myOut += hex[byte & 15];
        }
        else
            myOut += c; // UTF-8 and other bytes above 127 stay as they are
    }
    myOut += '"';
    return *this;
}

SceneLineWriter &SceneLineWriter::number(double value)
{
    char buffer[32];
    auto const end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return word(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

SceneLineWriter &SceneLineWriter::number(float value)
{
    char buffer[32];
    auto const end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return word(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

SceneLineWriter &SceneLineWriter::integer(long long value) { return word(std::to_string(value)); }

SceneLineWriter &SceneLineWriter::enumValue(KOM_EnumValue const *value)
{
    return word(value ? enumValueName(*value) : "-");
}

SceneLineReader::SceneLineReader(std::string_view line, std::size_t lineNumber, std::string const &source)
    : myRest(line), myLineNumber(lineNumber), mySource(source)
{
    if (!myRest.empty() && myRest.back() == '\r')
        myRest.remove_suffix(1);
    skipSpaces();
    myKeyword = word();
}

void SceneLineReader::skipSpaces()
{
    while (!myRest.empty() && (myRest.front() == ' ' || myRest.front() == '\t'))
        myRest.remove_prefix(1);
}

bool SceneLineReader::atEnd()
{
    skipSpaces();
    return myRest.empty();
}

void SceneLineReader::fail(std::string const &why) const
{
    failFor(mySource, "line " + std::to_string(myLineNumber) + ": " + why);
}

std::string SceneLineReader::word()
{
    skipSpaces();
    std::size_t length = 0;
    while (length < myRest.size() && isWordChar(myRest[length]))
        ++length;
    if (length == 0)
        fail(myRest.empty() ? "a field is missing" : "a word was expected");
    std::string result(myRest.substr(0, length));
    myRest.remove_prefix(length);
    return result;
}

std::string SceneLineReader::text()
{
    skipSpaces();
    if (myRest.empty() || myRest.front() != '"')
        fail(myRest.empty() ? "a field is missing" : "a quoted text was expected");
    std::string result;
    std::size_t at = 1;
    auto const hexDigit = [this](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        fail("a broken \\x escape");
    };
    for (;;)
    {
        if (at >= myRest.size())
            fail("a quoted text is not closed");
        char const c = myRest[at++];
        if (c == '"')
            break;
        if (c != '\\')
        {
            result += c;
            continue;
        }
        if (at >= myRest.size())
            fail("a quoted text is not closed");
        char const escaped = myRest[at++];
        if (escaped == 'n')
            result += '\n';
        else if (escaped == 't')
            result += '\t';
        else if (escaped == '"' || escaped == '\\')
            result += escaped;
        else if (escaped == 'x' && at + 2 <= myRest.size())
        {
            result += static_cast<char>(hexDigit(myRest[at]) * 16 + hexDigit(myRest[at + 1]));
            at += 2;
        }
        else
            fail("an unknown escape in a quoted text");
    }
    myRest.remove_prefix(at);
    return result;
}

double SceneLineReader::number()
{
    std::string const field = word();
    double value = 0.0;
    auto const [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size())
        fail("not a number: " + field);
    return value;
}

float SceneLineReader::floatNumber()
{
    std::string const field = word();
    float value = 0.0f;
    auto const [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size())
        fail("not a number: " + field);
    return value;
}

long long SceneLineReader::integer()
{
    std::string const field = word();
    long long value = 0;
    auto const [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size())
        fail("not an integer: " + field);
    return value;
}

int SceneLineReader::count()
{
    long long const value = integer();
    if (value < 0 || value > (1 << 20))
        fail("a count out of range: " + std::to_string(value));
    return static_cast<int>(value);
}

KOM_EnumValue const *SceneLineReader::enumValue()
{
    std::string const name = word();
    if (name == "-")
        return nullptr;
    auto const found = enumValuesByName().find(name);
    if (found == enumValuesByName().end())
        fail("unknown value " + name);
    return found->second;
}

void SceneLineReader::finish()
{
    if (!atEnd())
        fail("unexpected text after the fields of " + myKeyword);
}

// --- texts ---

std::string writeNetworkContents(SceneNode const &network)
{
    std::string out = std::string(ContentsHeader) + " " + std::to_string(FormatVersion) + "\n";
    writeEntries(network, out);
    return out;
}

std::vector<std::shared_ptr<SceneNode>> readNetworkContents(std::shared_ptr<SceneNode> const &network,
                                                            std::string const &text,
                                                            std::string const &source,
                                                            std::vector<std::string> *skipped)
{
    auto const lines = linesOf(text);
    readHeader(lines, ContentsHeader, source);
    // The nodes are built in a network of the same type out of the scene, then moved in.
    auto const staging = std::make_shared<SceneNode>();
    staging->type = network->type;
    std::vector<std::string> skippedHere;
    auto const made = readEntries(lines, 1, staging, source, nullptr, skippedHere);
    if (skipped)
        *skipped = std::move(skippedHere);
    return theScene().moveTo(made, network);
}

std::string writeSceneText()
{
    std::string out = std::string(SceneHeader) + " " + std::to_string(FormatVersion) + "\n";
    SceneLineWriter writer(out, false);
    for (auto const &part : sceneFileParts())
        part.write(writer);
    if (out.back() != '\n')
        out += '\n';
    writeEntries(*theScene().root(), out);
    return out;
}

SceneText readSceneText(std::string const &text, std::string const &source)
{
    auto const lines = linesOf(text);
    readHeader(lines, SceneHeader, source);
    SceneText scene;
    scene.root = Scene::baselineRoot();
    readEntries(lines, 1, scene.root, source, &scene, scene.skipped);
    return scene;
}

// --- files ---

namespace
{
std::string theWritableFolder; // resolved, ending in '/'; empty: anywhere

// The resolved folder that `path` names or would be created in; empty when it does not exist.
std::string resolvedFolderOf(std::string const &path)
{
    std::size_t const slash = path.rfind('/');
    std::string const folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    char *resolved = ::realpath(folder.c_str(), nullptr);
    if (!resolved)
        return "";
    std::string result = resolved;
    std::free(resolved);
    return result.back() == '/' ? result : result + "/";
}
} // namespace

bool restrictFileWrites(std::string const &folder)
{
    std::string const resolved = folder.empty() ? "" : resolvedFolderOf(folder + "/.");
    if (!folder.empty() && resolved.empty())
        return false;
    theWritableFolder = resolved;
    return true;
}

void requireWritable(std::string const &path)
{
    if (theWritableFolder.empty())
        return;
    std::string const folder = resolvedFolderOf(path);
    if (folder.compare(0, theWritableFolder.size(), theWritableFolder) != 0)
        throw KOM_OperationFailed(("Cannot write " + path + ": outside the folder this host may write to").c_str());
}

void writeFileAtomically(std::string const &path, std::string const &text)
{
    if (path.empty())
        throw KOM_OperationFailed("No file name to save to");
    requireWritable(path);
    std::string const temporary = path + ".saving" + std::to_string(getpid());
    int const fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw KOM_OperationFailed(("Cannot save " + path + ": " + errnoText()).c_str());
    auto const failWith = [&](std::string const &why) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw KOM_OperationFailed(("Cannot save " + path + ": " + why).c_str());
    };
    char const *data = text.data();
    std::size_t left = text.size();
    while (left > 0)
    {
        ssize_t const written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            failWith(written < 0 ? errnoText() : "nothing was written");
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0 && errno != EINVAL)
        failWith(errnoText());
    if (::close(fd) != 0)
    {
        std::string const why = errnoText();
        ::unlink(temporary.c_str());
        throw KOM_OperationFailed(("Cannot save " + path + ": " + why).c_str());
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::string const why = errnoText();
        ::unlink(temporary.c_str());
        throw KOM_OperationFailed(("Cannot save " + path + ": " + why).c_str());
    }
}

std::string readWholeFile(std::string const &path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        throw KOM_OperationFailed(("Cannot read " + path + ": " + errnoText()).c_str());
    // Devices and pipes could hold endless data: a scene file is a regular file.
    if (!S_ISREG(status.st_mode))
        throw KOM_OperationFailed(("Cannot read " + path + ": not a regular file").c_str());
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw KOM_OperationFailed(("Cannot read " + path + ": " + errnoText()).c_str());
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad())
        throw KOM_OperationFailed(("Cannot read " + path).c_str());
    return contents.str();
}

namespace
{

// "dir/shot009.kip" -> {"dir/", "shot009", ".kip"}
struct FileNameParts
{
    std::string directory, stem, extension;
};

FileNameParts splitFileName(std::string const &path)
{
    std::size_t const slash = path.rfind('/');
    std::size_t const nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    return {path.substr(0, nameStart), path.substr(nameStart, dot - nameStart), path.substr(dot)};
}

bool fileExists(std::string const &path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

} // namespace

std::string incrementedFileName(std::string const &path)
{
    FileNameParts const parts = splitFileName(path);
    std::size_t digits = parts.stem.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(parts.stem[digits - 1])))
        --digits;
    std::string const base = parts.stem.substr(0, digits);
    std::string const number = parts.stem.substr(digits);
    if (number.empty() || number.size() > 18)
        return parts.directory + parts.stem + (number.empty() ? "1" : "_1") + parts.extension;
    std::string next = std::to_string(std::stoll(number) + 1);
    if (next.size() < number.size())
        next.insert(0, number.size() - next.size(), '0'); // keeps the padding: 009 -> 010
    return parts.directory + base + next + parts.extension;
}

std::string backupFileName(std::string const &path)
{
    FileNameParts const parts = splitFileName(path);
    std::string const prefix = parts.directory + "backup/" + parts.stem + "_bak";
    // The lowest number above every backup there is: backups are never overwritten.
    long long number = 1;
    while (fileExists(prefix + std::to_string(number) + parts.extension))
        ++number;
    return prefix + std::to_string(number) + parts.extension;
}

} // namespace kalhost
