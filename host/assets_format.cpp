// The asset library file format (README, "Digital assets"): a versioned text in which every
// property sits on its own line and every section is a counted block of raw bytes, so that any
// contents, NUL bytes included, read back exactly. A directory form keeps each section in its
// own file, for editing with other tools.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>

#include "host/assets.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/scenefile.h"
#include "model/errors.h"

namespace kalhost
{
namespace
{

constexpr char const *LibraryHeader = "kalvane-asset-library";
constexpr char const *DirectoryHeader = "kalvane-asset-directory";
constexpr int FormatVersion = 1;

[[noreturn]] void damaged(std::string const &source, std::size_t line, std::string const &what)
{
    throw KOM_OperationFailed(("Damaged asset library " + source + ", line " +
                               std::to_string(line) + ": " + what).c_str());
}

// Text on one line: backslash, line breaks and other control bytes are escaped.
std::string escaped(std::string const &text)
{
    static char const digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text)
    {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7f)
            out += {'\\', 'x', digits[c >> 4], digits[c & 15]};
        else
            out += static_cast<char>(c);
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool unescape(std::string const &text, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\')
        {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        if (text[i] == '\\')
            out += '\\';
        else if (text[i] == 'n')
            out += '\n';
        else if (text[i] == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                 hexDigit(text[i + 2]) >= 0)
        {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        }
        else
            return false;
    }
    return true;
}

bool parseInt(std::string const &text, long long low, long long high, long long &value)
{
    if (text.empty() || text.size() > 19)
        return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    long long result = 0;
    for (; i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + (text[i] - '0');
    }
    value = text[0] == '-' ? -result : result;
    return value >= low && value <= high;
}

// The property lines of a definition, without its sections.
void writeProperties(AssetDefinition const &definition, std::string &out)
{
    auto property = [&](char const *key, std::string const &value) {
        out += key;
        out += ' ';
        out += escaped(value);
        out += '\n';
    };
    property("description", definition.description);
    property("icon", definition.icon);
    property("minInputs", std::to_string(definition.minInputs));
    property("maxInputs", std::to_string(definition.maxInputs));
    property("extraInfo", definition.extraInfo);
    property("comment", definition.comment);
    property("version", definition.version);
    property("hideDefaultParameters", definition.hideDefaultParameters ? "1" : "0");
    property("representativeNodePath", definition.representativeNodePath);
}

// Reads one property line into `definition`; false when the key is not a property.
bool readProperty(AssetDefinition &definition, std::string const &key, std::string const &value,
                  std::string const &source, std::size_t line)
{
    std::string *text = key == "description"              ? &definition.description
                        : key == "icon"                   ? &definition.icon
                        : key == "extraInfo"              ? &definition.extraInfo
                        : key == "comment"                ? &definition.comment
                        : key == "version"                ? &definition.version
                        : key == "representativeNodePath" ? &definition.representativeNodePath
                                                          : nullptr;
    std::string plain;
    if (!unescape(value, plain))
        damaged(source, line, "bad escape in " + key);
    if (text)
    {
        *text = plain;
        return true;
    }
    long long number = 0;
    if (key == "minInputs" || key == "maxInputs")
    {
        if (!parseInt(plain, 0, 9999, number))
            damaged(source, line, key + " is not a count of inputs: " + value);
        (key == "minInputs" ? definition.minInputs : definition.maxInputs) = static_cast<int>(number);
        return true;
    }
    if (key == "hideDefaultParameters")
    {
        if (plain != "0" && plain != "1")
            damaged(source, line, "hideDefaultParameters is not 0 or 1: " + value);
        definition.hideDefaultParameters = plain == "1";
        return true;
    }
    return false;
}

// Starts a definition from its "<category> <type>" words.
std::shared_ptr<AssetDefinition> startDefinition(std::string const &words, std::string const &source,
                                                 std::size_t line)
{
    std::size_t const space = words.find(' ');
    if (space == std::string::npos)
        damaged(source, line, "a definition needs a category and a type name");
    auto const categories = categoriesByName();
    auto const category = categories.find(words.substr(0, space));
    if (category == categories.end())
        damaged(source, line, "unknown category " + words.substr(0, space));
    auto definition = std::make_shared<AssetDefinition>();
    definition->categoryCode = categoryCodeOf(*category->second);
    definition->typeName = words.substr(space + 1);
    if (!isValidNodeName(definition->typeName))
        damaged(source, line, "invalid type name " + escaped(definition->typeName));
    return definition;
}

void checkLimits(AssetDefinition const &definition, std::string const &source, std::size_t line)
{
    if (definition.maxInputs < definition.minInputs)
        damaged(source, line, "maxInputs below minInputs in " + definition.key());
}

// Splits "key rest" at the first space; the rest may be empty.
std::pair<std::string, std::string> splitKey(std::string const &line)
{
    std::size_t const space = line.find(' ');
    if (space == std::string::npos)
        return {line, ""};
    return {line.substr(0, space), line.substr(space + 1)};
}

// File names for section names: anything but letters, digits, '_', '-' and '.' as %XX, and a
// leading '.' too, so that no name is a path.
std::string fileNameFor(std::string const &name)
{
    static char const digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i)
    {
        unsigned char const c = name[i];
        if (std::isalnum(c) || c == '_' || c == '-' || (c == '.' && i))
            out += static_cast<char>(c);
        else
            out += {'%', digits[c >> 4], digits[c & 15]};
    }
    return out;
}

void makeDirectory(std::string const &path)
{
    requireWritable(path);
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        throw KOM_OperationFailed(("Cannot create directory " + path + ": " + std::strerror(errno)).c_str());
}

} // namespace

std::string writeLibraryText(std::vector<std::shared_ptr<AssetDefinition>> const &definitions)
{
    std::string out = std::string(LibraryHeader) + " " + std::to_string(FormatVersion) + "\n";
    for (auto const &definition : definitions)
    {
        out += "definition " + categoryNameOf(definition->categoryCode) + " " + definition->typeName + "\n";
        writeProperties(*definition, out);
        for (auto const &[name, contents] : definition->sections)
        {
            out += "section " + std::to_string(contents.size()) + " " + escaped(name) + "\n";
            out += contents;
            out += '\n';
        }
        out += "end\n";
    }
    return out;
}

std::vector<std::shared_ptr<AssetDefinition>> readLibraryText(std::string const &text,
                                                              std::string const &source)
{
    std::vector<std::shared_ptr<AssetDefinition>> definitions;
    std::set<std::string> keys;
    std::shared_ptr<AssetDefinition> open;
    std::size_t position = 0;
    std::size_t lineNumber = 0;
    auto nextLine = [&](std::string &line) {
        if (position >= text.size())
            return false;
        std::size_t end = text.find('\n', position);
        if (end == std::string::npos)
            damaged(source, lineNumber + 1, "the file ends inside a line");
        line.assign(text, position, end - position);
        position = end + 1;
        ++lineNumber;
        return true;
    };
    std::string line;
    if (!nextLine(line))
        damaged(source, 1, "empty file");
    auto const [header, version] = splitKey(line);
    if (header != LibraryHeader)
        damaged(source, 1, "not an asset library");
    long long number = 0;
    if (!parseInt(version, 1, 1000000, number))
        damaged(source, 1, "bad format version " + escaped(version));
    if (number != FormatVersion)
        damaged(source, 1, "format version " + version + " is newer than this host reads (" +
                               std::to_string(FormatVersion) + ")");
    while (nextLine(line))
    {
        auto const [key, rest] = splitKey(line);
        if (!open)
        {
            if (key != "definition")
                damaged(source, lineNumber, "expected a definition, found " + escaped(key));
            open = startDefinition(rest, source, lineNumber);
            if (!keys.insert(open->key()).second)
                damaged(source, lineNumber, "a second definition of " + open->key());
        }
        else if (key == "end")
        {
            checkLimits(*open, source, lineNumber);
            definitions.push_back(std::move(open));
            open.reset();
        }
        else if (key == "section")
        {
            auto const [count, escapedName] = splitKey(rest);
            long long size = 0;
            std::string name;
            if (!parseInt(count, 0, static_cast<long long>(text.size()), size))
                damaged(source, lineNumber, "bad section size " + escaped(count));
            if (!unescape(escapedName, name) || name.empty())
                damaged(source, lineNumber, "bad section name " + escapedName);
            if (text.size() - position < static_cast<std::size_t>(size) + 1 ||
                text[position + size] != '\n')
                damaged(source, lineNumber, "section " + escapedName + " is cut short");
            if (!open->sections.emplace(name, text.substr(position, size)).second)
                damaged(source, lineNumber, "a second section " + escapedName);
            for (std::size_t i = position; i < position + size; ++i)
                lineNumber += text[i] == '\n';
            position += size + 1;
            ++lineNumber;
        }
        else if (!readProperty(*open, key, rest, source, lineNumber))
            damaged(source, lineNumber, "unknown entry " + escaped(key));
    }
    if (open)
        damaged(source, lineNumber, "the definition of " + open->key() + " has no end");
    return definitions;
}

void expandLibrary(std::vector<std::shared_ptr<AssetDefinition>> const &definitions,
                   std::string const &directory)
{
    makeDirectory(directory);
    std::string index = std::string(DirectoryHeader) + " " + std::to_string(FormatVersion) + "\n";
    for (auto const &definition : definitions)
    {
        std::string const category = categoryNameOf(definition->categoryCode);
        std::string const folder = directory + "/" + category + "_" + definition->typeName;
        index += "definition " + category + " " + definition->typeName + "\n";
        std::string properties;
        writeProperties(*definition, properties);
        makeDirectory(folder);
        makeDirectory(folder + "/sections");
        for (auto const &[name, contents] : definition->sections)
        {
            properties += "section " + escaped(name) + "\n";
            writeFileAtomically(folder + "/sections/" + fileNameFor(name), contents);
        }
        writeFileAtomically(folder + "/properties", properties);
    }
    writeFileAtomically(directory + "/index", index);
}

std::vector<std::shared_ptr<AssetDefinition>> collapseLibrary(std::string const &directory)
{
    std::string const indexPath = directory + "/index";
    std::string const index = readWholeFile(indexPath);
    std::vector<std::shared_ptr<AssetDefinition>> definitions;
    std::set<std::string> keys;
    std::size_t position = 0;
    std::size_t lineNumber = 0;
    for (std::size_t end; (end = index.find('\n', position)) != std::string::npos; position = end + 1)
    {
        std::string const line = index.substr(position, end - position);
        auto const [key, rest] = splitKey(line);
        if (++lineNumber == 1)
        {
            if (line != std::string(DirectoryHeader) + " " + std::to_string(FormatVersion))
                damaged(indexPath, 1, "not an expanded asset library of this version");
            continue;
        }
        if (key != "definition")
            damaged(indexPath, lineNumber, "expected a definition, found " + escaped(key));
        auto definition = startDefinition(rest, indexPath, lineNumber);
        if (!keys.insert(definition->key()).second)
            damaged(indexPath, lineNumber, "a second definition of " + definition->key());
        std::string const folder = directory + "/" + categoryNameOf(definition->categoryCode) + "_" +
                                   definition->typeName;
        std::string const propertiesPath = folder + "/properties";
        std::string const properties = readWholeFile(propertiesPath);
        std::size_t at = 0;
        std::size_t propertyLine = 0;
        for (std::size_t stop; (stop = properties.find('\n', at)) != std::string::npos; at = stop + 1)
        {
            auto const [name, value] = splitKey(properties.substr(at, stop - at));
            ++propertyLine;
            if (name == "section")
            {
                std::string section;
                if (!unescape(value, section) || section.empty())
                    damaged(propertiesPath, propertyLine, "bad section name " + value);
                definition->sections[section] =
                    readWholeFile(folder + "/sections/" + fileNameFor(section));
            }
            else if (!readProperty(*definition, name, value, propertiesPath, propertyLine))
                damaged(propertiesPath, propertyLine, "unknown entry " + escaped(name));
        }
        if (at != properties.size())
            damaged(propertiesPath, propertyLine + 1, "the file ends inside a line");
        checkLimits(*definition, propertiesPath, propertyLine);
        definitions.push_back(std::move(definition));
    }
    if (position != index.size())
        damaged(indexPath, lineNumber + 1, "the file ends inside a line");
    if (!lineNumber)
        damaged(indexPath, 1, "empty file");
    return definitions;
}

} // namespace kalhost
