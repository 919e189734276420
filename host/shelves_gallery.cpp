// Galleries in the reference host: gallery files of node presets. An entry names the node types
// it suits, parameter values to set and the nodes to make inside; each change rewrites its file.
#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/parms.h"
#include "host/scene.h"
#include "host/shelves.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{


char const GalleryHeader[] = "kalvane gallery file 1";

// One parameter value: `node` is the path below the preset's node ("" for the node itself).
struct PresetParm
{
    std::string node;
    std::string name; // a component name
    std::string value;
};

struct PresetNode
{
    std::string path; // below the preset's node, parents before children
    std::string type;
};

struct StoredEntry
{
    std::string name;
    std::string description;
    std::string helpURL;
    std::string requiredKDAFile;
    std::string icon;
    std::string script;
    std::vector<std::string> nodeTypeNames;
    std::vector<std::string> categories;
    std::vector<std::string> keywords;
    int categoryCode = KOM_SopCategory;
    std::vector<PresetParm> parms;
    std::vector<PresetNode> contents;
    bool deleted = false;
};

using EntryPtr = std::shared_ptr<StoredEntry>;

struct StoredGallery
{
    std::string path;
    std::vector<EntryPtr> entries;
};

using GalleryPtr = std::shared_ptr<StoredGallery>;

struct GalleryStore
{
    std::vector<GalleryPtr> installed; // in installation order
    std::map<std::string, GalleryPtr> byPath;
};

GalleryStore &store()
{
    shelfFolder(); // a reset lays the baseline before the first use
    static GalleryStore theStore;
    return theStore;
}

// --- files ---

std::string categoryName(int code)
{
    for (auto const &[name, category] : categoriesByName())
        if (categoryCodeOf(*category) == code)
            return name;
    return std::to_string(code);
}

std::string fileContents(StoredGallery const &gallery)
{
    std::ostringstream out;
    out << GalleryHeader << '\n';
    auto const line = [&](char const *key, std::string const &value) {
        out << "  " << key << ' ' << escapeValue(value) << '\n';
    };
    for (auto const &entry : gallery.entries)
    {
        out << "entry " << escapeValue(entry->name) << '\n';
        line("nodeTypeCategory", categoryName(entry->categoryCode));
        for (auto const &[key, value] : {std::pair<char const *, std::string const *>{"description", &entry->description},
                                         {"helpURL", &entry->helpURL},
                                         {"requiredKDAFile", &entry->requiredKDAFile},
                                         {"icon", &entry->icon},
                                         {"script", &entry->script}})
            if (!value->empty())
                line(key, *value);
        for (auto const &name : entry->nodeTypeNames)
            line("nodeTypeName", name);
        for (auto const &category : entry->categories)
            line("category", category);
        for (auto const &keyword : entry->keywords)
            line("keyword", keyword);
        for (auto const &node : entry->contents)
            line("node", node.path + " " + node.type);
        for (auto const &parm : entry->parms)
            line("parm", (parm.node.empty() ? "." : parm.node) + " " + parm.name + " " + parm.value);
    }
    return out.str();
}

void save(StoredGallery const &gallery) { writeFileAtomically(gallery.path, fileContents(gallery)); }

// Splits "a b rest" into its first `count` words and the rest.
std::vector<std::string> words(std::string const &text, std::size_t count)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (parts.size() < count)
    {
        std::size_t const space = text.find(' ', start);
        if (space == std::string::npos)
            break;
        parts.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

GalleryPtr load(std::string const &path)
{
    auto gallery = std::make_shared<StoredGallery>();
    gallery->path = path;
    EntryPtr entry;
    for (auto const &line : readFileLines(path, GalleryHeader))
    {
        auto const failure = [&](std::string const &what) {
            return KOM_OperationFailed((path + ":" + std::to_string(line.number) + ": " + what).c_str());
        };
        if (!line.indented)
        {
            if (line.key != "entry")
                throw failure("\"" + line.key + "\" is no gallery entry");
            for (auto const &other : gallery->entries)
                if (other->name == line.value)
                    throw failure("a second entry named \"" + line.value + "\"");
            entry = std::make_shared<StoredEntry>();
            entry->name = line.value;
            gallery->entries.push_back(entry);
            continue;
        }
        if (!entry)
            throw failure("a field outside any entry");
        std::string const &key = line.key;
        if (key == "description")
            entry->description = line.value;
        else if (key == "helpURL")
            entry->helpURL = line.value;
        else if (key == "requiredKDAFile")
            entry->requiredKDAFile = line.value;
        else if (key == "icon")
            entry->icon = line.value;
        else if (key == "script")
            entry->script = line.value;
        else if (key == "nodeTypeName")
            entry->nodeTypeNames.push_back(line.value);
        else if (key == "category")
            entry->categories.push_back(line.value);
        else if (key == "keyword")
            entry->keywords.push_back(line.value);
        else if (key == "nodeTypeCategory")
        {
            auto const categories = categoriesByName();
            auto const found = categories.find(line.value);
            if (found == categories.end())
                throw failure("unknown node type category \"" + line.value + "\"");
            entry->categoryCode = categoryCodeOf(*found->second);
        }
        else if (key == "node")
        {
            auto const parts = words(line.value, 1);
            if (parts.size() != 2 || parts[0].empty() || parts[1].empty())
                throw failure("a node line holds a path and a type");
            entry->contents.push_back({parts[0], parts[1]});
        }
        else if (key == "parm")
        {
            auto const parts = words(line.value, 2);
            if (parts.size() != 3 || parts[0].empty() || parts[1].empty())
                throw failure("a parm line holds a node path (. for the node), a name and a value");
            entry->parms.push_back({parts[0] == "." ? "" : parts[0], parts[1], parts[2]});
        }
        else
            throw failure("unknown field \"" + key + "\" for a gallery entry");
    }
    return gallery;
}

GalleryPtr install(std::string const &path)
{
    if (auto found = store().byPath.find(path); found != store().byPath.end())
        return found->second;
    auto gallery = load(path);
    store().installed.push_back(gallery);
    store().byPath[path] = gallery;
    return gallery;
}

// --- presets ---

bool isDefault(SceneParmTuple const &tuple, std::size_t index)
{
    SceneParm const &parm = tuple.parms[index];
    if (!parm.expression.empty() || !parm.keyframes.empty())
        return false;
    if (tuple.info.dataType == KOM_StringParmData)
        return parm.text == (index < tuple.info.textDefaults.size() ? tuple.info.textDefaults[index]
                                                                   : tuple.info.textDefault);
    return index < tuple.info.defaults.size() && parm.number == tuple.info.defaults[index];
}

// The values of the node's parameters that differ from their defaults, as they evaluate now.
void captureParms(std::shared_ptr<SceneNode> const &node, std::string const &below, std::vector<PresetParm> &parms)
{
    for (auto const &tuple : node->parmTuples)
        for (std::size_t i = 0; i < tuple->parms.size(); ++i)
        {
            if (isDefault(*tuple, i))
                continue;
            Located const at{node, tuple, tuple->parms[i]};
            std::string const value = tuple->info.dataType == KOM_StringParmData
                                          ? evalText(at, currentFrame())
                                          : formatNumber(evalNumber(at, currentFrame()));
            parms.push_back({below, tuple->parms[i].name, value});
        }
}

void captureContents(std::shared_ptr<SceneNode> const &root, StoredEntry &entry)
{
    std::vector<PresetNode> contents;
    std::vector<PresetParm> parms;
    std::vector<std::pair<std::shared_ptr<SceneNode>, std::string>> pending; // depth first, iteratively
    auto const push = [&](std::shared_ptr<SceneNode> const &network, std::string const &below) {
        auto const children = network->children.list();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.emplace_back(*it, below.empty() ? (*it)->name : below + "/" + (*it)->name);
    };
    push(root, "");
    while (!pending.empty())
    {
        auto const [node, path] = pending.back();
        pending.pop_back();
        contents.push_back({path, node->type->name});
        captureParms(node, path, parms);
        push(node, path);
    }
    removeIf(entry.parms, [](PresetParm const &parm) { return !parm.node.empty(); });
    entry.parms.insert(entry.parms.end(), parms.begin(), parms.end());
    entry.contents = std::move(contents);
}

void requireEditable(std::shared_ptr<SceneNode> const &node)
{
    if (node->isLockedAsset() || node->isInsideLockedAsset())
        throw KOM_PermissionError(("Cannot edit inside a locked asset: " + node->path()).c_str());
}

bool suits(StoredEntry const &entry, NodeTypeInfo const &type)
{
    return type.categoryCode == entry.categoryCode &&
           std::find(entry.nodeTypeNames.begin(), entry.nodeTypeNames.end(), type.name) != entry.nodeTypeNames.end();
}

void assign(std::shared_ptr<SceneNode> const &node, PresetParm const &preset)
{
    auto const [tuple, index] = findParm(*node, preset.name);
    if (index < 0)
        throw KOM_OperationFailed(("No parameter " + preset.name + " on " + node->path()).c_str());
    SceneParm &parm = tuple->parms[index];
    if (tuple->info.dataType == KOM_StringParmData)
    {
        assignText(*tuple, parm, preset.value, false);
        return;
    }
    try
    {
        assignNumber(*tuple, parm, std::stod(preset.value), false);
    }
    catch (std::logic_error const &)
    {
        throw KOM_OperationFailed(("Not a number for " + preset.name + ": " + preset.value).c_str());
    }
}

std::shared_ptr<SceneNode> below(std::shared_ptr<SceneNode> const &root, std::string const &path)
{
    auto node = root;
    std::size_t start = 0;
    while (node && start <= path.size() && !path.empty())
    {
        std::size_t const slash = std::min(path.find('/', start), path.size());
        node = node->child(path.substr(start, slash - start));
        start = slash + 1;
    }
    if (!node)
        throw KOM_OperationFailed(("No node " + path + " inside " + root->path()).c_str());
    return node;
}

// Makes the entry's contents inside the node, then sets the values.
void applyPreset(StoredEntry const &entry, std::shared_ptr<SceneNode> const &node)
{
    requireEditable(node);
    for (auto const &content : entry.contents)
    {
        std::size_t const slash = content.path.rfind('/');
        auto const parent = slash == std::string::npos ? node : below(node, content.path.substr(0, slash));
        std::string const name = slash == std::string::npos ? content.path : content.path.substr(slash + 1);
        theScene().create(parent, content.type, name.c_str());
    }
    for (auto const &parm : entry.parms)
        assign(parm.node.empty() ? node : below(node, parm.node), parm);
}

// --- GalleryEntry ---

class EntryHandle : public KOM_GalleryEntry, private LiveCounted
{
public:
    EntryHandle(GalleryPtr const &gallery, EntryPtr const &entry) : myGallery(gallery), myEntry(entry) {}

    EntryPtr stored() const
    {
        auto entry = myEntry.lock();
        if (!entry || entry->deleted)
            throw KOM_ObjectWasDeleted();
        return entry;
    }

    std::string __repr__() override
    {
        hostOperation("GalleryEntry.__repr__");
        return "<kal.GalleryEntry " + stored()->name + ">";
    }

    bool canApplyToNode(KOM_Node &node) override
    {
        hostOperation("GalleryEntry.canApplyToNode", node);
        return suits(*stored(), *NodeHandle::sceneOf(&node)->type);
    }

    void applyToNode(KOM_Node &node) override
    {
        hostOperation("GalleryEntry.applyToNode", node);
        auto const entry = stored();
        auto const scene = NodeHandle::sceneOf(&node);
        if (!suits(*entry, *scene->type))
            throw KOM_OperationFailed(("The gallery entry " + entry->name + " does not apply to " + scene->path()).c_str());
        applyPreset(*entry, scene);
    }

    bool canCreateChildNode(KOM_Node &parent) override
    {
        hostOperation("GalleryEntry.canCreateChildNode", parent);
        auto const entry = stored();
        auto const scene = NodeHandle::sceneOf(&parent);
        return scene->type->childCategoryCode == entry->categoryCode && bestType(*entry);
    }

    KOM_Node *createChildNode(KOM_Node &parent) override
    {
        hostOperation("GalleryEntry.createChildNode", parent);
        auto const entry = stored();
        auto const network = NodeHandle::sceneOf(&parent);
        requireEditable(network);
        NodeTypeInfo const *type = bestType(*entry);
        if (!type || network->type->childCategoryCode != entry->categoryCode)
            throw KOM_OperationFailed(("The gallery entry " + entry->name + " makes no node inside " + network->path()).c_str());
        auto const node = theScene().create(network, type->name, nullptr);
        try
        {
            applyPreset(*entry, node);
        }
        catch (...)
        {
            theScene().destroy(node);
            throw;
        }
        return NodeHandle::handleFor(node);
    }

    void setEqual(KOM_GalleryEntry &entry) override
    {
        hostOperation("GalleryEntry.setEqual", entry);
        auto const *other = dynamic_cast<EntryHandle const *>(&entry);
        if (!other)
            throw KOM_TypeError("Not a gallery entry of this application");
        auto const source = other->stored();
        edit([&](StoredEntry &target) {
            std::string const name = target.name;
            target = *source;
            target.name = name;
        });
    }

    std::string name() override
    {
        hostOperation("GalleryEntry.name");
        return stored()->name;
    }

    void setName(char const *name) override
    {
        hostOperation("GalleryEntry.setName", name);
        std::string const wanted = name ? name : "";
        auto const gallery = editableGallery();
        auto const entry = stored();
        for (auto const &other : gallery->entries)
            if (wanted.empty() || (other != entry && other->name == wanted))
                throw KOM_OperationFailed(("The gallery already holds an entry named \"" + wanted + "\"").c_str());
        edit([&](StoredEntry &target) { target.name = wanted; });
    }

    std::string description() override { return text("GalleryEntry.description", &StoredEntry::description); }
    void setDescription(char const *description) override
    {
        setText("GalleryEntry.setDescription", description, &StoredEntry::description);
    }

    std::string helpURL() override { return text("GalleryEntry.helpURL", &StoredEntry::helpURL); }
    void setHelpURL(char const *help_url) override { setText("GalleryEntry.setHelpURL", help_url, &StoredEntry::helpURL); }

    std::string requiredKDAFile() override { return text("GalleryEntry.requiredKDAFile", &StoredEntry::requiredKDAFile); }
    void setRequiredKDAFile(char const *file_path) override
    {
        setText("GalleryEntry.setRequiredKDAFile", file_path, &StoredEntry::requiredKDAFile);
    }

    std::string icon() override { return text("GalleryEntry.icon", &StoredEntry::icon); }
    void setIcon(char const *icon) override { setText("GalleryEntry.setIcon", icon, &StoredEntry::icon); }

    KOM_NodeType *bestNodeType() override
    {
        hostOperation("GalleryEntry.bestNodeType");
        return nodeTypeHandle(bestType(*stored()));
    }

    std::vector<std::string> nodeTypeNames() override { return list("GalleryEntry.nodeTypeNames", &StoredEntry::nodeTypeNames); }
    void setNodeTypeNames(std::vector<std::string> const &node_type_names) override
    {
        setList("GalleryEntry.setNodeTypeNames", node_type_names, &StoredEntry::nodeTypeNames);
    }

    std::vector<std::string> categories() override { return list("GalleryEntry.categories", &StoredEntry::categories); }
    void setCategories(std::vector<std::string> const &categories) override
    {
        setList("GalleryEntry.setCategories", categories, &StoredEntry::categories);
    }

    std::vector<std::string> keywords() override { return list("GalleryEntry.keywords", &StoredEntry::keywords); }
    void setKeywords(std::vector<std::string> const &keywords) override
    {
        setList("GalleryEntry.setKeywords", keywords, &StoredEntry::keywords);
    }

    KOM_NodeTypeCategory *nodeTypeCategory() override
    {
        hostOperation("GalleryEntry.nodeTypeCategory");
        return categoryFor(stored()->categoryCode);
    }

    void setNodeTypeCategory(KOM_NodeTypeCategory &category) override
    {
        hostOperation("GalleryEntry.setNodeTypeCategory", category);
        int const code = categoryCodeOf(category);
        edit([&](StoredEntry &entry) { entry.categoryCode = code; });
    }

    std::string script() override { return text("GalleryEntry.script", &StoredEntry::script); }
    void setScript(char const *script) override { setText("GalleryEntry.setScript", script, &StoredEntry::script); }

    // The node's values become the entry's, and the script the kscript commands that set them.
    void setScriptFromNode(KOM_Node *node) override
    {
        hostOperation("GalleryEntry.setScriptFromNode", node);
        std::vector<PresetParm> parms;
        std::string script;
        if (auto const scene = NodeHandle::sceneOf(node))
        {
            captureParms(scene, "", parms);
            for (auto const &parm : parms)
                script += "opparm . " + parm.name + " \"" + parm.value + "\"\n";
        }
        edit([&](StoredEntry &entry) {
            removeIf(entry.parms, [](PresetParm const &parm) { return parm.node.empty(); });
            entry.parms.insert(entry.parms.begin(), parms.begin(), parms.end());
            entry.script = script;
        });
    }

    void setContentsFromNode(KOM_Node *node) override
    {
        hostOperation("GalleryEntry.setContentsFromNode", node);
        auto const scene = NodeHandle::sceneOf(node);
        edit([&](StoredEntry &entry) {
            if (scene)
                captureContents(scene, entry);
            else
            {
                entry.contents.clear();
                removeIf(entry.parms, [](PresetParm const &parm) { return !parm.node.empty(); });
            }
        });
    }

private:
    static NodeTypeInfo const *bestType(StoredEntry const &entry)
    {
        return entry.nodeTypeNames.empty() ? nullptr : findNodeType(entry.categoryCode, entry.nodeTypeNames.front());
    }

    GalleryPtr editableGallery() const
    {
        stored();
        auto gallery = myGallery.lock();
        if (!gallery)
            throw KOM_ObjectWasDeleted();
        requireWritable(gallery->path);
        return gallery;
    }

    // Changes the entry and rewrites its file; the entry stays as it was if the file cannot be.
    template <class Change>
    void edit(Change change)
    {
        auto const gallery = editableGallery();
        auto const entry = stored();
        StoredEntry const before = *entry;
        change(*entry);
        try
        {
            save(*gallery);
        }
        catch (...)
        {
            *entry = before;
            throw;
        }
    }

    std::string text(char const *operation, std::string StoredEntry::*field)
    {
        hostOperation(operation);
        return (*stored()).*field;
    }

    void setText(char const *operation, char const *value, std::string StoredEntry::*field)
    {
        hostOperation(operation, value);
        edit([&](StoredEntry &entry) { entry.*field = value ? value : ""; });
    }

    std::vector<std::string> list(char const *operation, std::vector<std::string> StoredEntry::*field)
    {
        hostOperation(operation);
        return (*stored()).*field;
    }

    void setList(char const *operation, std::vector<std::string> const &values,
                 std::vector<std::string> StoredEntry::*field)
    {
        hostOperation(operation, values);
        edit([&](StoredEntry &entry) { entry.*field = values; });
    }

    std::weak_ptr<StoredGallery> myGallery;
    std::weak_ptr<StoredEntry> myEntry;
};

// --- Gallery ---

// The entries of the galleries that match every filter given.
std::vector<KOM_ElemPtr<KOM_GalleryEntry>> matching(std::vector<GalleryPtr> const &galleries, char const *namePattern,
                                                    char const *keywordPattern, char const *category,
                                                    KOM_NodeType *nodeType)
{
    NodeTypeInfo const *type = nullptr;
    if (nodeType)
    {
        int const code = nodeType->categoryCode();
        type = findNodeType(code, nodeType->name());
    }
    std::vector<KOM_ElemPtr<KOM_GalleryEntry>> found;
    for (auto const &gallery : galleries)
        for (auto const &entry : gallery->entries)
        {
            auto const any = [](std::vector<std::string> const &values, auto match) {
                return std::any_of(values.begin(), values.end(), match);
            };
            if ((namePattern && !matchesPattern(namePattern, entry->name)) ||
                (keywordPattern &&
                 !any(entry->keywords, [&](std::string const &word) { return matchesPattern(keywordPattern, word); })) ||
                (category && !any(entry->categories, [&](std::string const &name) { return name == category; })) ||
                (nodeType && !(type && suits(*entry, *type))))
                continue;
            found.emplace_back(new EntryHandle(gallery, entry));
        }
    return found;
}

EntryPtr createIn(GalleryPtr const &gallery, char const *entryName, KOM_Node *node)
{
    requireWritable(gallery->path);
    std::string const name = entryName ? entryName : "";
    if (name.empty())
        throw KOM_OperationFailed("A gallery entry needs a name");
    for (auto const &other : gallery->entries)
        if (other->name == name)
            throw KOM_OperationFailed(("The gallery already holds an entry named \"" + name + "\"").c_str());
    auto entry = std::make_shared<StoredEntry>();
    entry->name = name;
    if (auto const scene = NodeHandle::sceneOf(node))
    {
        entry->nodeTypeNames = {scene->type->name};
        entry->categoryCode = scene->type->categoryCode;
        entry->description = scene->type->description;
        captureParms(scene, "", entry->parms);
        captureContents(scene, *entry);
    }
    gallery->entries.push_back(entry);
    try
    {
        save(*gallery);
    }
    catch (...)
    {
        gallery->entries.pop_back();
        throw;
    }
    return entry;
}

class GalleryHandle : public KOM_Gallery, private LiveCounted
{
public:
    explicit GalleryHandle(GalleryPtr const &gallery) : myGallery(gallery) {}

    std::string __repr__() override
    {
        hostOperation("Gallery.__repr__");
        return "<kal.Gallery " + stored()->path + ">";
    }

    std::vector<KOM_ElemPtr<KOM_GalleryEntry>> galleryEntries(char const *name_pattern, char const *keyword_pattern,
                                                              char const *category, KOM_NodeType *node_type) override
    {
        hostOperation("Gallery.galleryEntries", name_pattern, keyword_pattern, category, node_type);
        return matching({stored()}, name_pattern, keyword_pattern, category, node_type);
    }

    KOM_GalleryEntry *createEntry(char const *entry_name, KOM_Node *node) override
    {
        hostOperation("Gallery.createEntry", entry_name, node);
        auto const gallery = stored();
        return new EntryHandle(gallery, createIn(gallery, entry_name, node));
    }

    void deleteEntry(char const *entry_name) override
    {
        hostOperation("Gallery.deleteEntry", entry_name);
        auto const gallery = stored();
        requireWritable(gallery->path);
        std::string const name = entry_name ? entry_name : "";
        auto &entries = gallery->entries;
        auto const found = std::find_if(entries.begin(), entries.end(), [&](EntryPtr const &entry) { return entry->name == name; });
        if (found == entries.end())
            throw KOM_OperationFailed(("The gallery holds no entry named \"" + name + "\"").c_str());
        EntryPtr const entry = *found;
        auto const index = found - entries.begin();
        entries.erase(found);
        try
        {
            save(*gallery);
        }
        catch (...)
        {
            entries.insert(entries.begin() + index, entry);
            throw;
        }
        entry->deleted = true;
    }

private:
    GalleryPtr stored() const
    {
        auto gallery = myGallery.lock();
        if (!gallery)
            throw KOM_ObjectWasDeleted();
        return gallery;
    }

    std::weak_ptr<StoredGallery> myGallery;
};

// --- galleries ---

class HostGalleries : public KOM_galleries
{
public:
    std::string __repr__() override
    {
        hostOperation("galleries.__repr__");
        return "<kal.galleries>";
    }

    std::vector<KOM_ElemPtr<KOM_Gallery>> galleries() override
    {
        hostOperation("galleries.galleries");
        std::vector<KOM_ElemPtr<KOM_Gallery>> galleries;
        for (auto const &gallery : store().installed)
            galleries.emplace_back(new GalleryHandle(gallery));
        return galleries;
    }

    std::vector<KOM_ElemPtr<KOM_GalleryEntry>> galleryEntries(char const *name_pattern, char const *keyword_pattern,
                                                              char const *category, KOM_NodeType *node_type) override
    {
        hostOperation("galleries.galleryEntries", name_pattern, keyword_pattern, category, node_type);
        return matching(store().installed, name_pattern, keyword_pattern, category, node_type);
    }

    // Reading may look anywhere; only writing stays inside the folder.
    KOM_Gallery *installGallery(char const *gallery_path) override
    {
        hostOperation("galleries.installGallery", gallery_path);
        if (!gallery_path || !*gallery_path)
            throw KOM_OperationFailed("A gallery needs a file path");
        return new GalleryHandle(install(resolvedPath(gallery_path)));
    }

    // A gallery not installed yet is read from its file, or made when there is none.
    KOM_GalleryEntry *createGalleryEntry(char const *gallery_path, char const *entry_name, KOM_Node *node) override
    {
        hostOperation("galleries.createGalleryEntry", gallery_path, entry_name, node);
        if (!gallery_path || !*gallery_path)
            throw KOM_OperationFailed("A gallery needs a file path");
        std::string const path = resolvedPath(gallery_path);
        GalleryPtr gallery;
        if (auto found = store().byPath.find(path); found != store().byPath.end())
            gallery = found->second;
        else if (std::ifstream(path))
            gallery = install(path);
        else
        {
            gallery = std::make_shared<StoredGallery>();
            gallery->path = writablePath(gallery_path, "Gallery");
        }
        auto const entry = createIn(gallery, entry_name, node);
        if (!store().byPath.count(path))
        {
            store().installed.push_back(gallery);
            store().byPath[path] = gallery;
        }
        return new EntryHandle(gallery, entry);
    }
};

char const BaselineGallery[] = R"(kalvane gallery file 1
entry half_box
  nodeTypeCategory Sop
  description A box half the usual size, finely divided.
  icon SOP_box
  nodeTypeName box
  category Primitives
  keyword box
  keyword cube
  parm . sizex 0.5
  parm . sizey 0.5
  parm . sizez 0.5
  parm . divisions 4
)";

} // namespace

void resetGalleries(std::string const &folder)
{
    store() = GalleryStore();
    std::string const path = folder + "/default.gal";
    writeFileAtomically(path, BaselineGallery);
    install(path);
}

KOM_galleries &theGalleries()
{
    static HostGalleries theObject;
    return theObject;
}

JournalValue JournalFormat<KOM_GalleryEntry>::format(KOM_GalleryEntry const &entry)
{
    auto const *handle = dynamic_cast<EntryHandle const *>(&entry);
    return journalHandle([&] { return handle ? "<gallery entry " + handle->stored()->name + ">" : std::string("<gallery entry>"); },
                         "<deleted gallery entry>");
}

} // namespace kalhost
