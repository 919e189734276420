// Shelves, tools and galleries in the reference host. Shelf and gallery files live in one
// temporary folder that every reset lays anew; scripts cannot make the host write elsewhere.
#pragma once

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/journal.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/scenefile.h" // writeFileAtomically
#include "model/enums.h"
#include "model/shelves.h"

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_ShelfElement); // "<kind name>"
KALHOST_JOURNAL_FORMAT(KOM_Shelf);
KALHOST_JOURNAL_FORMAT(KOM_ShelfSet);
KALHOST_JOURNAL_FORMAT(KOM_Tool);
KALHOST_JOURNAL_FORMAT(KOM_GalleryEntry); // "<gallery entry name>"

// The namespace objects behind kal.shelves and kal.galleries.
KOM_shelves &theShelves();
KOM_galleries &theGalleries();

// A new shelf dock handle, the caller's (the desktop hands it out).
KOM_ShelfDock *newShelfDock();

// Lays the folder anew with the baseline files (one shelf set holding one shelf holding one
// tool; one gallery with an entry for boxes) and loads them.
void resetShelves();

// The folder that holds every shelf and gallery file.
std::string const &shelfFolder();

// Runs the tool's script with runningTool() answering that tool meanwhile: `run` receives the
// script and whether it is Python. Throws KOM_OperationFailed when no tool has that name.
void runTool(std::string const &name, void (*run)(std::string const &script, bool python));

// --- Within the family: shared by host/shelves*.cpp ------------------------------------------

// Removes the folder with everything in it and makes a new, empty one.
std::string const &layShelfFolder();

// Text values in the files: backslash escapes for the backslash, newline, return and tab.
std::string escapeValue(std::string const &text);
std::string unescapeValue(std::string const &text);

// One "key value" line of a file; `indented` for the lines inside a block.
struct FileLine
{
    int number;
    bool indented;
    std::string key;
    std::string value;
};

// Reads the file's lines after its header; KOM_OperationFailed for a missing file, a wrong
// header or a line without a key.
std::vector<FileLine> readFileLines(std::string const &path, char const *header);

// A path for a file the host writes: relative paths resolve inside the folder; any other place
// is refused with KOM_PermissionError, as is a file whose permissions forbid writing; a folder
// that does not exist with KOM_OperationFailed.
std::string writablePath(char const *path, char const *what);
// Throws KOM_PermissionError when the file exists and may not be written.
void requireWritableFile(std::string const &path);
// The absolute, normalised form of a path (relative ones resolve inside the folder).
std::string resolvedPath(std::string const &path);

template <class T, class Predicate>
void removeIf(std::vector<T> &values, Predicate predicate)
{
    values.erase(std::remove_if(values.begin(), values.end(), predicate), values.end());
}

// Whether `text` matches the pattern's * and ? wildcards.
bool matchesPattern(std::string const &pattern, std::string const &text);

// Shelf sets, shelves and tools as the host stores them (host/shelves_store.cpp).
enum ElementKind
{
    ShelfSetKind,
    ShelfKind,
    ToolKind,
    KindCount
};

inline char const *const KindWords[KindCount] = {"shelf set", "shelf", "tool"};

constexpr int MenuCount = 4;
inline int const MenuPanes[MenuCount] = {KOM_NetworkEditorPaneTabId, KOM_SceneViewerPaneTabId,
                                  KOM_ParticleViewerPaneTabId, KOM_CompositorViewerPaneTabId};

struct StoredElement
{
    ElementKind kind;
    std::string name;
    std::string label;
    std::string file;
    bool destroyed = false;
    std::vector<std::weak_ptr<StoredElement>> members; // a set's shelves, a shelf's tools

    std::string script;
    KOM_EnumValue const *language = &KOM_scriptLanguage::Python;
    std::string icon;
    std::string help;
    std::string helpURL;
    std::array<std::vector<int>, MenuCount> menuCategories; // category codes
    std::array<std::string, 2> opTypes;
    std::vector<std::string> locations;
};

using ElementPtr = std::shared_ptr<StoredElement>;

struct ShelfStore
{
    std::array<std::map<std::string, ElementPtr>, KindCount> byName;
    std::map<std::string, std::vector<ElementPtr>> byFile; // in the order the file lists them
    std::vector<std::string> running;                      // names of the tools running, innermost last
};

struct ToolData
{
    char const *script;
    KOM_EnumValue const *language;
    char const *icon;
    char const *help;
    char const *helpURL;
    std::array<std::vector<KOM_NodeTypeCategory *> const *, MenuCount> categories;
    std::array<char const *, 2> opTypes;
    std::vector<std::string> const *locations;
};


ShelfStore &shelfStore();
// The members still alive, in order.
std::vector<ElementPtr> liveMembers(StoredElement const &element);
// Rewrites the file with every element it keeps.
void saveShelfFile(std::string const &file);
// KOM_TypeError unless the value is a scriptLanguage value.
void assignLanguage(StoredElement &tool, KOM_EnumValue const &language);
// Which of the first `menus` tool menus that pane shows; KOM_TypeError for a value that names
// no such pane.
int menuOf(KOM_EnumValue const &pane, int menus);
// The codes of the categories; KOM_TypeError for None.
std::vector<int> categoryCodes(std::vector<KOM_NodeTypeCategory *> const &categories);
// Checks everything before the first field changes.
void assignToolData(StoredElement &tool, ToolData const &data);
// A new element, not stored yet; KOM_OperationFailed for a name in use (null: a free one).
ElementPtr addElement(ElementKind kind, std::string const &file, char const *name, char const *label);
void insertElement(ElementPtr const &element);
void removeFromFile(ElementPtr const &element);
// Rewrites the files of the elements that list `member`, which changed its name or (`drop`)
// went away.
void saveContainersOf(StoredElement const &member, bool drop);

// Galleries as the host stores them (host/shelves_presets.cpp). An entry is a node preset.
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


GalleryStore &galleryStore();
void saveGallery(StoredGallery const &gallery);
// The installed gallery of that file, read and installed when it is not yet.
GalleryPtr installGalleryFile(std::string const &path);
// The values of the node's parameters that differ from their defaults, as they evaluate now;
// `below` names the node inside the preset's ("" for the preset's own).
void captureParms(std::shared_ptr<SceneNode> const &node, std::string const &below,
                  std::vector<PresetParm> &parms);
// Every node inside `root`, parents first, with their values, as the entry's contents.
void captureContents(std::shared_ptr<SceneNode> const &root, StoredEntry &entry);
// KOM_PermissionError for a node inside a locked asset.
void requireEditableNode(std::shared_ptr<SceneNode> const &node);
bool entrySuits(StoredEntry const &entry, NodeTypeInfo const &type);
// Makes the entry's contents inside the node, then sets the values.
void applyPreset(StoredEntry const &entry, std::shared_ptr<SceneNode> const &node);
// The name of the node type category of that code.
std::string categoryName(int code);

// Gallery files: the baseline gallery, and the reset of the installed galleries.
void resetGalleries(std::string const &folder);

} // namespace kalhost
