// The folder that holds the shelf and gallery files, and the text files themselves: escaped
// "key value" lines, read with line numbers for clear errors, written whole and atomically.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/shelves.h"
#include "model/errors.h"

namespace kalhost
{

// --- the folder ---

namespace
{

// The folder lives as long as the process: the last reset's folder goes when it ends.
struct Folder
{
    std::string path;

    ~Folder() { clear(); }

    void clear()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
        path.clear();
    }

    void layAnew()
    {
        clear();
        std::string pattern = (std::filesystem::temp_directory_path() / "kalvane-shelves-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw KOM_OperationFailed(("Cannot make the shelf folder " + pattern).c_str());
        path = pattern;
    }
};

Folder &folder()
{
    static Folder theFolder;
    return theFolder;
}

} // namespace

std::string const &layShelfFolder()
{
    folder().layAnew();
    return folder().path;
}

std::string const &shelfFolder()
{
    if (folder().path.empty())
        resetShelves();
    return folder().path;
}

std::string escapeValue(std::string const &text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text)
        switch (c)
        {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\t': escaped += "\\t"; break;
        default: escaped += c;
        }
    return escaped;
}

std::string unescapeValue(std::string const &text)
{
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\' || i + 1 == text.size())
        {
            plain += text[i];
            continue;
        }
        char const next = text[++i];
        plain += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return plain;
}

std::vector<FileLine> readFileLines(std::string const &path, char const *header)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw KOM_OperationFailed(("Cannot read " + path).c_str());
    std::string line;
    if (!std::getline(in, line) || line != header)
        throw KOM_OperationFailed((path + ": not a file of this kind (the first line must be \"" +
                                   header + "\")").c_str());
    std::vector<FileLine> lines;
    for (int number = 2; std::getline(in, line); ++number)
    {
        if (line.empty() || line[0] == '#')
            continue;
        bool const indented = line.compare(0, 2, "  ") == 0;
        std::size_t const start = indented ? 2 : 0;
        std::size_t const space = line.find(' ', start);
        std::string key = line.substr(start, space == std::string::npos ? std::string::npos : space - start);
        if (key.empty())
            throw KOM_OperationFailed((path + ":" + std::to_string(number) + ": a line without a key").c_str());
        lines.push_back({number, indented, std::move(key),
                         space == std::string::npos ? std::string() : unescapeValue(line.substr(space + 1))});
    }
    return lines;
}

std::string resolvedPath(std::string const &path)
{
    std::filesystem::path given(path);
    if (given.is_relative())
        given = std::filesystem::path(shelfFolder()) / given;
    return given.lexically_normal().string();
}

void requireWritableFile(std::string const &path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0)
        throw KOM_PermissionError(("The file " + path + " is read-only").c_str());
}

std::string writablePath(char const *path, char const *what)
{
    std::string const resolved = resolvedPath(path ? path : "");
    std::string const &inside = shelfFolder();
    if (!path || !*path || resolved.compare(0, inside.size() + 1, inside + "/") != 0)
        throw KOM_PermissionError((std::string(what) + " files are kept in " + inside + ", not in " +
                                   (path ? path : "no file"))
                                      .c_str());
    requireWritableFile(resolved);
    if (!std::filesystem::is_directory(std::filesystem::path(resolved).parent_path()))
        throw KOM_OperationFailed(("No folder for " + resolved).c_str());
    return resolved;
}

bool matchesPattern(std::string const &pattern, std::string const &text)
{
    // Iterative glob: on a mismatch after a *, let that * swallow one more character.
    std::size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size())
    {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t]))
            ++p, ++t;
        else if (p < pattern.size() && pattern[p] == '*')
            star = p++, resume = t;
        else if (star != std::string::npos)
            p = star + 1, t = ++resume;
        else
            return false;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace kalhost
