// The kipFile object: saving, loading and merging the scene file. The text itself is
// host/scenefile_text.cpp; what it holds, host/scenefile_parts.cpp.
#include "host/scenefile.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <sstream>

#include "host/journal.h"
#include "host/nodes.h"
#include "model/errors.h"
#include "model/module.h"
#include "model/scenefile.h"

namespace kalhost
{

namespace
{

// Relative names are the current directory's at the time of the call, like every file name a
// script gives.
constexpr char const *DefaultFileName = "untitled.kip";

std::string requireName(char const *file_name)
{
    if (!file_name || !*file_name)
        throw KOM_OperationFailed("No file name given");
    return file_name;
}

// A node pattern: one or more shell patterns separated by spaces, each matched against the
// names of the nodes the file holds directly inside the managers ("geo*", "box1 cam?").
bool matchesPattern(std::string const &pattern, std::string const &name)
{
    std::istringstream words(pattern);
    for (std::string word; words >> word;)
        if (fnmatch(word.c_str(), name.c_str(), 0) == 0)
            return true;
    return false;
}

// The nodes of a read file that a merge takes, with the live network each goes into.
std::vector<std::pair<std::shared_ptr<SceneNode>, std::vector<std::shared_ptr<SceneNode>>>>
mergedNodes(SceneText const &read, std::string const &pattern)
{
    std::vector<std::pair<std::shared_ptr<SceneNode>, std::vector<std::shared_ptr<SceneNode>>>> result;
    auto const &root = theScene().root();
    for (auto const &manager : read.root->children)
    {
        auto const live = root->child(manager->name);
        if (!live)
            continue;
        std::vector<std::shared_ptr<SceneNode>> taken;
        for (auto const &node : manager->children)
            if (matchesPattern(pattern, node->name))
                taken.push_back(node);
        if (!taken.empty())
            result.emplace_back(live, std::move(taken));
    }
    return result;
}

std::string warningFor(std::string const &file, std::vector<std::string> const &skipped)
{
    std::string text = file + ": skipped what this version does not know:";
    for (auto const &what : skipped)
        text += " " + what + (&what == &skipped.back() ? "" : ",");
    return text;
}

class HostKipFile : public KOM_kipFile
{
public:
    std::string __repr__() override
    {
        hostOperation("kipFile.__repr__");
        return "<kal.kipFile " + myName + ">";
    }

    void save(char const *file_name) override
    {
        hostOperation("kipFile.save", file_name);
        std::string const path = file_name ? requireName(file_name) : myName;
        writeFileAtomically(path, writeSceneText());
        myName = path;
    }

    void saveAndIncrementFileName() override
    {
        hostOperation("kipFile.saveAndIncrementFileName");
        std::string const path = incrementedFileName(myName);
        writeFileAtomically(path, writeSceneText());
        myName = path;
    }

    void saveAsBackup() override
    {
        hostOperation("kipFile.saveAsBackup");
        std::string const path = backupFileName(myName);
        std::string const folder = path.substr(0, path.rfind('/'));
        requireWritable(folder);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            throw KOM_OperationFailed(("Cannot make the backup folder " + folder).c_str());
        writeFileAtomically(path, writeSceneText());
    }

    std::string name() override
    {
        hostOperation("kipFile.name");
        return myName;
    }

    void clear(bool keep_file_name) override
    {
        hostOperation("kipFile.clear", keep_file_name);
        theScene().reset();
        if (!keep_file_name)
            myName = DefaultFileName;
    }

    void load(char const *file_name, bool ignore_load_warnings) override
    {
        hostOperation("kipFile.load", file_name, ignore_load_warnings);
        std::string const path = requireName(file_name);
        Loading const loading(*this);
        SceneText read = readSceneText(readWholeFile(path), path);
        theScene().replaceRoot(read.root);
        theScene().clock() = read.clock;
        myName = path;
        if (!read.skipped.empty() && !ignore_load_warnings)
            throw KOM_LoadWarning(warningFor(path, read.skipped).c_str());
    }

    void merge(char const *file_name, char const *node_pattern, bool overwrite_on_collision) override
    {
        hostOperation("kipFile.merge", file_name, node_pattern, overwrite_on_collision);
        std::string const path = requireName(file_name);
        std::string const pattern = node_pattern ? node_pattern : "*";
        Loading const loading(*this);
        SceneText read = readSceneText(readWholeFile(path), path);
        auto const merged = mergedNodes(read, pattern);
        for (auto const &[network, nodes] : merged)
        {
            if (overwrite_on_collision)
                for (auto const &node : nodes)
                    if (auto const there = network->child(node->name))
                        theScene().destroy(there);
            theScene().moveTo(nodes, network);
        }
        if (!read.skipped.empty())
            throw KOM_LoadWarning(warningFor(path, read.skipped).c_str());
    }

    std::vector<KOM_ElemPtr<KOM_Node>> collisionNodesIfMerged(char const *file_name,
                                                              char const *node_pattern) override
    {
        hostOperation("kipFile.collisionNodesIfMerged", file_name, node_pattern);
        std::string const path = requireName(file_name);
        SceneText const read = readSceneText(readWholeFile(path), path);
        std::vector<std::shared_ptr<SceneNode>> colliding;
        for (auto const &[network, nodes] : mergedNodes(read, node_pattern ? node_pattern : "*"))
            for (auto const &node : nodes)
                if (auto const there = network->child(node->name))
                    colliding.push_back(there);
        return NodeHandle::handlesFor(colliding);
    }

    bool isLoadingKipFile() override
    {
        hostOperation("kipFile.isLoadingKipFile");
        return myLoading;
    }

    bool isShuttingDown() override
    {
        hostOperation("kipFile.isShuttingDown");
        return KOM()._isExiting();
    }

    void reset()
    {
        myName = DefaultFileName;
        myLoading = false;
    }

private:
    // Marks the object as loading for the life of a load or merge.
    struct Loading
    {
        explicit Loading(HostKipFile &file) : myFile(file) { myFile.myLoading = true; }
        ~Loading() { myFile.myLoading = false; }
        HostKipFile &myFile;
    };

    std::string myName = DefaultFileName;
    bool myLoading = false;
};

HostKipFile theKipFile;

} // namespace

KOM_kipFile &kipFile() { return theKipFile; }

void resetSceneFile() { theKipFile.reset(); }

} // namespace kalhost
