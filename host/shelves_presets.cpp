// Gallery storage in the reference host: the installed galleries, the gallery file format, and
// presets: what a node's parameters and contents become in an entry, and back.
#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

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

} // namespace

GalleryStore &galleryStore()
{
    shelfFolder(); // a reset lays the baseline before the first use
    static GalleryStore theStore;
    return theStore;
}

// --- files ---

void saveGallery(StoredGallery const &gallery) { writeFileAtomically(gallery.path, fileContents(gallery)); }

GalleryPtr installGalleryFile(std::string const &path)
{
    if (auto found = galleryStore().byPath.find(path); found != galleryStore().byPath.end())
        return found->second;
    auto gallery = load(path);
    galleryStore().installed.push_back(gallery);
    galleryStore().byPath[path] = gallery;
    return gallery;
}

// --- presets ---

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

void requireEditableNode(std::shared_ptr<SceneNode> const &node)
{
    if (node->isLockedAsset() || node->isInsideLockedAsset())
        throw KOM_PermissionError(("Cannot edit inside a locked asset: " + node->path()).c_str());
}

bool entrySuits(StoredEntry const &entry, NodeTypeInfo const &type)
{
    return type.categoryCode == entry.categoryCode &&
           std::find(entry.nodeTypeNames.begin(), entry.nodeTypeNames.end(), type.name) != entry.nodeTypeNames.end();
}

// Makes the entry's contents inside the node, then sets the values.
void applyPreset(StoredEntry const &entry, std::shared_ptr<SceneNode> const &node)
{
    requireEditableNode(node);
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

void resetGalleries(std::string const &folder)
{
    galleryStore() = GalleryStore();
    std::string const path = folder + "/default.gal";
    writeFileAtomically(path, BaselineGallery);
    installGalleryFile(path);
}

} // namespace kalhost
