// Galleries in the reference host: the handles scripts get for galleries and their entries, and
// the galleries namespace object. Each change rewrites the entry's gallery file.
#include <algorithm>
#include <fstream>
#include <map>

#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/shelves.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// Galleries installed from files outside the folder are read-only: the host writes nowhere else.
void requireEditable(StoredGallery const &gallery) { writablePath(gallery.path.c_str(), "Gallery"); }

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
        return entrySuits(*stored(), *NodeHandle::sceneOf(&node)->type);
    }

    void applyToNode(KOM_Node &node) override
    {
        hostOperation("GalleryEntry.applyToNode", node);
        auto const entry = stored();
        auto const scene = NodeHandle::sceneOf(&node);
        if (!entrySuits(*entry, *scene->type))
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
        requireEditableNode(network);
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
        requireEditable(*gallery);
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
            saveGallery(*gallery);
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
                (nodeType && !(type && entrySuits(*entry, *type))))
                continue;
            found.emplace_back(new EntryHandle(gallery, entry));
        }
    return found;
}

EntryPtr createIn(GalleryPtr const &gallery, char const *entryName, KOM_Node *node)
{
    requireEditable(*gallery);
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
        saveGallery(*gallery);
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
        requireEditable(*gallery);
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
            saveGallery(*gallery);
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
        for (auto const &gallery : galleryStore().installed)
            galleries.emplace_back(new GalleryHandle(gallery));
        return galleries;
    }

    std::vector<KOM_ElemPtr<KOM_GalleryEntry>> galleryEntries(char const *name_pattern, char const *keyword_pattern,
                                                              char const *category, KOM_NodeType *node_type) override
    {
        hostOperation("galleries.galleryEntries", name_pattern, keyword_pattern, category, node_type);
        return matching(galleryStore().installed, name_pattern, keyword_pattern, category, node_type);
    }

    // Reading may look anywhere; only writing stays inside the folder.
    KOM_Gallery *installGallery(char const *gallery_path) override
    {
        hostOperation("galleries.installGallery", gallery_path);
        if (!gallery_path || !*gallery_path)
            throw KOM_OperationFailed("A gallery needs a file path");
        return new GalleryHandle(installGalleryFile(resolvedPath(gallery_path)));
    }

    // A gallery not installed yet is read from its file, or made when there is none.
    KOM_GalleryEntry *createGalleryEntry(char const *gallery_path, char const *entry_name, KOM_Node *node) override
    {
        hostOperation("galleries.createGalleryEntry", gallery_path, entry_name, node);
        if (!gallery_path || !*gallery_path)
            throw KOM_OperationFailed("A gallery needs a file path");
        std::string const path = resolvedPath(gallery_path);
        GalleryPtr gallery;
        if (auto found = galleryStore().byPath.find(path); found != galleryStore().byPath.end())
            gallery = found->second;
        else if (std::ifstream(path))
            gallery = installGalleryFile(path);
        else
        {
            gallery = std::make_shared<StoredGallery>();
            gallery->path = writablePath(gallery_path, "Gallery");
        }
        auto const entry = createIn(gallery, entry_name, node);
        if (!galleryStore().byPath.count(path))
        {
            galleryStore().installed.push_back(gallery);
            galleryStore().byPath[path] = gallery;
        }
        return new EntryHandle(gallery, entry);
    }
};

} // namespace

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
