// Digital assets in the reference host: asset library files and their definitions, the node
// types they define, and the script namespace of each asset. README ("Digital assets")
// describes the library file format and the sections the host reads.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/journal.h"
#include "model/assets.h"

typedef struct _object PyObject;
struct KOM_EnumValue;

namespace kalhost
{

struct NodeTypeInfo;
struct SceneNode;

KALHOST_JOURNAL_FORMAT(KOM_KDADefinition); // "<category>/<type> in <library path>"
KALHOST_JOURNAL_FORMAT(KOM_KDASection);    // "<section> of <definition>"

// The sections the host itself reads: the network an instance is built with, and the Python
// code whose names `KDAModule.__getattr__` finds.
constexpr char const *ContentsSection = "Contents";
constexpr char const *ScriptModuleSection = "PythonModule";

// The names an asset's script code defines (the second dictionary) over the names the host
// gives every asset module (the first). Built when a module is asked for after the
// script-module section changed; the dictionaries belong to it.
struct AssetNamespace
{
    std::pair<PyObject *, PyObject *> dictionaries{nullptr, nullptr};
    AssetNamespace() = default;
    AssetNamespace(AssetNamespace const &) = delete;
    AssetNamespace &operator=(AssetNamespace const &) = delete;
    ~AssetNamespace();
};

struct AssetLibrary;

// One definition as its library file holds it.
struct AssetDefinition
{
    int categoryCode = 0;
    std::string typeName;
    std::string description;
    std::string icon;
    int minInputs = 0;
    int maxInputs = 0;
    std::string extraInfo;
    std::string comment;
    std::string version;
    bool hideDefaultParameters = false;
    std::string representativeNodePath;
    std::map<std::string, std::string> sections;

    // Session state, not in the file.
    std::weak_ptr<AssetLibrary> library;
    bool preferred = false;
    std::shared_ptr<AssetNamespace> scriptNamespace;
    bool namespaceIsStale = true;
    bool namespaceIsBuilding = false; // its code runs now

    // "<category>/<type>", the key of the node type it defines.
    std::string key() const;
};

// A library file as last read or written. The embedded library (path "Embedded") lives only
// in memory, installed from the start.
struct AssetLibrary
{
    std::string path;
    std::vector<std::shared_ptr<AssetDefinition>> definitions;
    bool installed = false;

    bool isEmbedded() const;
};

// --- The library file format (host/assets_format.cpp) --------------------------------------

// The text of a library file holding these definitions.
std::string writeLibraryText(std::vector<std::shared_ptr<AssetDefinition>> const &definitions);
// The definitions a library text holds; a damaged or foreign text throws KOM_OperationFailed
// naming `source` and the line.
std::vector<std::shared_ptr<AssetDefinition>> readLibraryText(std::string const &text,
                                                              std::string const &source);
// One file per definition's properties and per section under `directory`, and back.
void expandLibrary(std::vector<std::shared_ptr<AssetDefinition>> const &definitions,
                   std::string const &directory);
std::vector<std::shared_ptr<AssetDefinition>> collapseLibrary(std::string const &directory);

// --- What other families call ---------------------------------------------------------------

// The node type an installed definition defines under that name, or null.
NodeTypeInfo const *findAssetType(int categoryCode, std::string const &name);
// The definition new nodes of the type are made from; null for built-in types and for asset
// types whose libraries are all uninstalled.
std::shared_ptr<AssetDefinition> currentDefinition(NodeTypeInfo const *type);
bool isAssetType(NodeTypeInfo const *type);
// The asset types of a category that have an installed definition.
std::vector<NodeTypeInfo const *> installedAssetTypes(int categoryCode);

// New owned handles, null for none.
KOM_KDADefinition *definitionHandle(std::shared_ptr<AssetDefinition> const &definition);
std::vector<KOM_ElemPtr<KOM_KDADefinition>> installedDefinitionHandles(NodeTypeInfo const *type);
// The script module of a type; one of a built-in type has no namespace. Builds the namespace
// first when the script-module section changed (errors in the code throw KOM_Error).
KOM_KDAModule *assetModuleHandle(NodeTypeInfo const *type);

// Turns `subnet` into the first instance of a new asset type defined from its contents and
// stored in `libraryPath` (the embedded library when null), which is installed.
std::shared_ptr<SceneNode> createAssetFromSubnet(std::shared_ptr<SceneNode> const &subnet,
                                                 std::string const &name, char const *libraryPath,
                                                 char const *description, int minInputs,
                                                 int maxInputs, char const *comment,
                                                 char const *version);
// Builds a new instance's contents from its type's current definition and locks it; nothing
// for a built-in type.
void initAssetInstance(std::shared_ptr<SceneNode> const &node, bool loadContents);

KOM_kda &kdaObject();

// Uninstalls every library and forgets the embedded definitions.
void resetAssets();

// --- Within the family: the session's libraries (host/assets_libraries.cpp) -----------------

constexpr char const *EmbeddedPath = "Embedded";

// "<category>/<type>": the key of the node type a definition defines.
std::string assetKey(int categoryCode, std::string const &name);
std::shared_ptr<AssetLibrary> embeddedLibrary();
std::shared_ptr<AssetLibrary> knownLibrary(std::string const &path); // null when unknown
// In installation order: later ones win.
std::vector<std::shared_ptr<AssetLibrary>> const &installedLibraries();
std::vector<std::shared_ptr<AssetDefinition>> installedDefinitionsOf(std::string const &key);
// The preferred installed definition of a key, else the one installed last; null for none.
std::shared_ptr<AssetDefinition> currentDefinitionOf(std::string const &key);
// The node type of a key, once a definition of it was installed (types are never freed).
NodeTypeInfo const *assetTypeOf(std::string const &key);
// Brings the asset types in line with the installed definitions.
void refreshAssetTypes();
// Throws KOM_OperationFailed when a built-in type would hide the definition's.
void checkNotBuiltIn(AssetDefinition const &definition);
// Applies `change` to a copy, writes the library with it, and only then keeps it.
void changeDefinition(std::shared_ptr<AssetDefinition> const &definition,
                      std::function<void(AssetDefinition &)> const &change);
void preferDefinition(std::shared_ptr<AssetDefinition> const &definition, bool preferred);
// Throws KOM_OperationFailed when the file cannot be read or is damaged.
std::vector<std::shared_ptr<AssetDefinition>> readLibraryFile(std::string const &path);
// Keeps what a file holds as the known library of its path; definitions scripts hold are
// updated in place.
std::shared_ptr<AssetLibrary> keepLibrary(std::string const &path,
                                          std::vector<std::shared_ptr<AssetDefinition>> definitions);
void installLibrary(std::shared_ptr<AssetLibrary> const &library);
void uninstallLibrary(std::shared_ptr<AssetLibrary> const &library);
// Moves a library file on disk; the embedded library is written to a new file instead.
void renameLibrary(std::shared_ptr<AssetLibrary> const &library, std::string const &target);
// Adds or removes a library path in a libraries file (one path per line).
void updateLibrariesFile(char const *librariesFile, std::string const &path, bool add);
// Runs the script-module section into a new namespace when it changed since the last run;
// errors in the code throw KOM_Error.
void refreshNamespace(AssetDefinition &definition);

} // namespace kalhost
