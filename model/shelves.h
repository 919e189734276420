// Shelves, tools and galleries: shelf sets hold shelves, shelves hold tools, each element kept
// in a shelf file; galleries hold node presets (gallery entries) kept in gallery files.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/enums.h"
#include "model/sequences.h"

class KOM_Node;
class KOM_NodeType;
class KOM_NodeTypeCategory;
class KOM_Shelf;
class KOM_ShelfSet;
class KOM_Tool;

// What shelf sets, shelves and tools share: a name, a label and the file that keeps them.
class KOM_ShelfElement
{
public:
    virtual ~KOM_ShelfElement() {}
    // A short description naming the element.
    virtual std::string __repr__() = 0;
    // Whether both stand for the same element.
    virtual bool __eq__(KOM_ShelfElement *other) = 0;
    // Whether they stand for different elements.
    virtual bool __ne__(KOM_ShelfElement *other) = 0;
    // The shelf file that keeps the element.
    virtual std::string filePath() = 0;
    // Moves the element into another shelf file.
    virtual void setFilePath(char const *file_path) = 0;
    // The element's name, unique among elements of its kind.
    virtual std::string name() = 0;
    // Renames the element.
    virtual void setName(char const *name) = 0;
    // The text the shelf dock shows for the element.
    virtual std::string label() = 0;
    // Changes the text the shelf dock shows.
    virtual void setLabel(char const *label) = 0;
};

class KOM_Shelf : public virtual KOM_ShelfElement
{
public:
    // A short description naming the shelf.
    std::string __repr__() override = 0;
    // The tools on the shelf, in order.
    virtual std::vector<KOM_ElemPtr<KOM_Tool>> tools() = 0;
    // Puts exactly these tools on the shelf, in this order.
    virtual void setTools(std::vector<KOM_Tool *> const &tools) = 0;
    // Removes the shelf from every shelf set and from its file; its tools stay.
    virtual void destroy() = 0;
};

class KOM_ShelfSet : public virtual KOM_ShelfElement
{
public:
    // A short description naming the shelf set.
    std::string __repr__() override = 0;
    // The shelves of the set, in order.
    virtual std::vector<KOM_ElemPtr<KOM_Shelf>> shelves() = 0;
    // Makes the set hold exactly these shelves, in this order.
    virtual void setShelves(std::vector<KOM_Shelf *> const &shelves) = 0;
    // Removes the shelf set and its file entry; its shelves stay.
    virtual void destroy() = 0;
};

class KOM_Tool : public virtual KOM_ShelfElement
{
public:
    // A short description naming the tool.
    std::string __repr__() override = 0;
    // The script the tool runs.
    virtual std::string script() = 0;
    // Replaces the script the tool runs.
    virtual void setScript(char const *script) = 0;
    // The scriptLanguage value of the tool's script.
    virtual KOM_EnumValue *language() = 0;
    // Changes the language of the tool's script (a scriptLanguage value).
    virtual void setLanguage(KOM_EnumValue &language) = 0;
    // The icon the tool shows.
    virtual std::string icon() = 0;
    // Changes the icon the tool shows.
    virtual void setIcon(char const *icon) = 0;
    // The tool's help text.
    virtual std::string help() = 0;
    // Replaces the tool's help text.
    virtual void setHelp(char const *help) = 0;
    // Where the tool's help lives.
    virtual std::string helpURL() = 0;
    // Changes where the tool's help lives.
    virtual void setHelpURL(char const *help_url) = 0;
    // The node type categories whose tool menu of that pane (a paneTabType value) lists the tool.
    virtual std::vector<KOM_NodeTypeCategory *> toolMenuCategories(KOM_EnumValue &pane_type) = 0;
    // Lists the tool in the tool menu of that pane for these node type categories.
    virtual void setToolMenuCategories(KOM_EnumValue &pane_type,
                                       std::vector<KOM_NodeTypeCategory *> const &categories) = 0;
    // The node type the tool makes from the tool menu of that pane.
    virtual std::string toolMenuOpType(KOM_EnumValue &pane_type) = 0;
    // Changes the node type the tool makes from the tool menu of that pane.
    virtual void setToolMenuOpType(KOM_EnumValue &pane_type, char const *op_type) = 0;
    // The submenus of the tool menu that list the tool.
    virtual std::vector<std::string> toolMenuLocations() = 0;
    // Lists the tool in these submenus of the tool menu.
    virtual void setToolLocations(std::vector<std::string> const &locations) = 0;
    // Replaces everything the tool holds at once.
    virtual void setData(char const *script = 0, KOM_EnumValue &language = KOM_scriptLanguage::Python,
                         char const *icon = 0, char const *help = 0, char const *help_url = 0,
                         std::vector<KOM_NodeTypeCategory *> const &network_categories = std::vector<KOM_NodeTypeCategory *>(),
                         std::vector<KOM_NodeTypeCategory *> const &viewer_categories = std::vector<KOM_NodeTypeCategory *>(),
                         std::vector<KOM_NodeTypeCategory *> const &pop_viewer_categories = std::vector<KOM_NodeTypeCategory *>(),
                         std::vector<KOM_NodeTypeCategory *> const &cop_viewer_categories = std::vector<KOM_NodeTypeCategory *>(),
                         char const *network_op_type = 0, char const *viewer_op_type = 0,
                         std::vector<std::string> const &locations = std::vector<std::string>()) = 0;
    // Removes the tool from every shelf and from its file.
    virtual void destroy() = 0;
};

class KOM_ShelfDock
{
public:
    virtual ~KOM_ShelfDock() {}
    // A short description of the dock.
    virtual std::string __repr__() = 0;
    // The shelf sets the dock shows, in order.
    virtual std::vector<KOM_ElemPtr<KOM_ShelfSet>> shelfSets() = 0;
    // The width and height of the dock's icons, in pixels.
    virtual std::vector<int> iconsize() = 0;
};

// Host-owned singleton reached through kal.shelves.
class KOM_shelves
{
public:
    virtual ~KOM_shelves() {}
    // A short description of the shelves.
    virtual std::string __repr__() = 0;
    // Every shelf set by name.
    virtual std::map<std::string, KOM_ElemPtr<KOM_ShelfSet>> shelfSets() = 0;
    // Every shelf by name.
    virtual std::map<std::string, KOM_ElemPtr<KOM_Shelf>> shelves() = 0;
    // Every tool by name.
    virtual std::map<std::string, KOM_ElemPtr<KOM_Tool>> tools() = 0;
    // The tool whose script is running now, or None.
    virtual KOM_Tool *runningTool() = 0;
    // Makes a shelf set, kept in that shelf file (the default one when omitted).
    virtual KOM_ShelfSet *newShelfSet(char const *file_path = 0, char const *name = 0, char const *label = 0) = 0;
    // Makes a shelf, kept in that shelf file (the default one when omitted).
    virtual KOM_Shelf *newShelf(char const *file_path = 0, char const *name = 0, char const *label = 0) = 0;
    // Makes a tool, kept in that shelf file (the default one when omitted).
    virtual KOM_Tool *newTool(char const *file_path = 0, char const *name = 0, char const *label = 0,
                              char const *script = 0, KOM_EnumValue &language = KOM_scriptLanguage::Python,
                              char const *icon = 0, char const *help = 0, char const *help_url = 0,
                              std::vector<KOM_NodeTypeCategory *> const &network_categories = std::vector<KOM_NodeTypeCategory *>(),
                              std::vector<KOM_NodeTypeCategory *> const &viewer_categories = std::vector<KOM_NodeTypeCategory *>(),
                              std::vector<KOM_NodeTypeCategory *> const &pop_viewer_categories = std::vector<KOM_NodeTypeCategory *>(),
                              std::vector<KOM_NodeTypeCategory *> const &cop_viewer_categories = std::vector<KOM_NodeTypeCategory *>(),
                              char const *network_op_type = 0, char const *viewer_op_type = 0,
                              std::vector<std::string> const &locations = std::vector<std::string>()) = 0;
    // The shelf file new elements go to when no file is named.
    virtual std::string defaultFilePath() = 0;
};

class KOM_Gallery;
class KOM_GalleryEntry;

// Host-owned singleton reached through kal.galleries.
class KOM_galleries
{
public:
    virtual ~KOM_galleries() {}
    // A short description of the galleries.
    virtual std::string __repr__() = 0;
    // Every installed gallery.
    virtual std::vector<KOM_ElemPtr<KOM_Gallery>> galleries() = 0;
    // The entries of every gallery matching all the given filters (name and keyword patterns
    // with * and ?, a category, a node type the entry applies to).
    virtual std::vector<KOM_ElemPtr<KOM_GalleryEntry>> galleryEntries(char const *name_pattern = 0,
                                                                      char const *keyword_pattern = 0,
                                                                      char const *category = 0,
                                                                      KOM_NodeType *node_type = 0) = 0;
    // Reads the gallery file at that path and installs its gallery.
    virtual KOM_Gallery *installGallery(char const *gallery_path) = 0;
    // Adds an entry to the gallery kept in that file, made from the node when given.
    virtual KOM_GalleryEntry *createGalleryEntry(char const *gallery_path, char const *entry_name,
                                                 KOM_Node *node = 0) = 0;
};

class KOM_Gallery
{
public:
    virtual ~KOM_Gallery() {}
    // A short description naming the gallery's file.
    virtual std::string __repr__() = 0;
    // The gallery's entries matching all the given filters, as on kal.galleries.
    virtual std::vector<KOM_ElemPtr<KOM_GalleryEntry>> galleryEntries(char const *name_pattern = 0,
                                                                      char const *keyword_pattern = 0,
                                                                      char const *category = 0,
                                                                      KOM_NodeType *node_type = 0) = 0;
    // Adds an entry, made from the node when given.
    virtual KOM_GalleryEntry *createEntry(char const *entry_name, KOM_Node *node = 0) = 0;
    // Removes the entry of that name.
    virtual void deleteEntry(char const *entry_name) = 0;
};

// A node preset: the node type it makes, parameter values and the nodes it holds.
class KOM_GalleryEntry
{
public:
    virtual ~KOM_GalleryEntry() {}
    // A short description naming the entry.
    virtual std::string __repr__() = 0;
    // Whether the entry's parameter values can be applied to that node.
    virtual bool canApplyToNode(KOM_Node &node) = 0;
    // Sets the node's parameters (and contents) to the entry's.
    virtual void applyToNode(KOM_Node &node) = 0;
    // Whether the entry can make a node inside that network.
    virtual bool canCreateChildNode(KOM_Node &parent) = 0;
    // Makes a node of the entry's type inside that network and applies the entry to it.
    virtual KOM_Node *createChildNode(KOM_Node &parent) = 0;
    // Makes this entry hold everything the other holds (its name excepted).
    virtual void setEqual(KOM_GalleryEntry &entry) = 0;
    // The entry's name, unique in its gallery.
    virtual std::string name() = 0;
    // Renames the entry.
    virtual void setName(char const *name) = 0;
    // What the entry is for.
    virtual std::string description() = 0;
    // Changes what the entry says it is for.
    virtual void setDescription(char const *description) = 0;
    // Where the entry's help lives.
    virtual std::string helpURL() = 0;
    // Changes where the entry's help lives.
    virtual void setHelpURL(char const *help_url) = 0;
    // The asset file that must be installed for the entry to work.
    virtual std::string requiredKDAFile() = 0;
    // Changes the asset file the entry needs.
    virtual void setRequiredKDAFile(char const *file_path) = 0;
    // The icon the entry shows.
    virtual std::string icon() = 0;
    // Changes the icon the entry shows.
    virtual void setIcon(char const *icon) = 0;
    // The node type the entry suits best: the first of its node type names, in its category;
    // None when no name is a node type there.
    virtual KOM_NodeType *bestNodeType() = 0;
    // The names of the node types the entry applies to.
    virtual std::vector<std::string> nodeTypeNames() = 0;
    // Changes the node types the entry applies to.
    virtual void setNodeTypeNames(std::vector<std::string> const &node_type_names) = 0;
    // The gallery categories the entry is listed under.
    virtual std::vector<std::string> categories() = 0;
    // Lists the entry under these gallery categories.
    virtual void setCategories(std::vector<std::string> const &categories) = 0;
    // The words the entry is found by.
    virtual std::vector<std::string> keywords() = 0;
    // Changes the words the entry is found by.
    virtual void setKeywords(std::vector<std::string> const &keywords) = 0;
    // The node type category of the entry's node types.
    virtual KOM_NodeTypeCategory *nodeTypeCategory() = 0;
    // Changes the node type category of the entry's node types.
    virtual void setNodeTypeCategory(KOM_NodeTypeCategory &category) = 0;
    // The script run after the entry is applied.
    virtual std::string script() = 0;
    // Replaces the script run after the entry is applied.
    virtual void setScript(char const *script) = 0;
    // Takes the node's parameter values as the entry's (None clears them).
    virtual void setScriptFromNode(KOM_Node *node) = 0;
    // Takes the nodes inside the node as the entry's contents (None clears them).
    virtual void setContentsFromNode(KOM_Node *node) = 0;
};
