// The session's asset libraries: the files it read or wrote, which are installed, the node
// types their definitions define, and each asset's script namespace.
//
// Every change to a definition is written to its library file before it is kept: the change is
// made on a copy, the file written atomically, and only then the copy replaces the definition,
// so a failed write changes nothing.
#include <Python.h>

#include <unistd.h>

#include <algorithm>
#include <unordered_map>

#include "host/assets.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/scenefile.h"
#include "model/errors.h"
#include "model/services.h"

namespace kalhost
{
namespace
{

// Every library the session read or wrote, by path; libraries are kept when uninstalled so
// that definitions scripts hold stay readable.
std::unordered_map<std::string, std::shared_ptr<AssetLibrary>> theLibraries;
// The installed libraries, in installation order (later ones win).
std::vector<std::shared_ptr<AssetLibrary>> theInstalled;
// The installed definitions of each type key, in installation order; rebuilt when a library
// is installed, uninstalled or read again.
std::unordered_map<std::string, std::vector<std::shared_ptr<AssetDefinition>>> theDefinitionsByKey;
// The node types asset definitions define, by key. A type outlives its definitions: nodes
// and handles point at it, so it is never freed, only no longer found.
std::unordered_map<std::string, std::unique_ptr<NodeTypeInfo>> theAssetTypes;

// The script-module code of a definition, or null when it has none.
std::string const *scriptOf(AssetDefinition const &definition)
{
    auto const script = definition.sections.find(ScriptModuleSection);
    return script == definition.sections.end() ? nullptr : &script->second;
}

bool sameScript(AssetDefinition const &one, AssetDefinition const &other)
{
    auto const a = scriptOf(one), b = scriptOf(other);
    return a == b || (a && b && *a == *b);
}

bool fileExists(std::string const &path) { return access(path.c_str(), F_OK) == 0; }

// Writes a library with `replacement` standing for `original` (or added when the library has
// no definition of its key); nothing in memory changes.
void writeLibraryWith(AssetLibrary const &library, AssetDefinition const *original,
                      std::shared_ptr<AssetDefinition> const &replacement)
{
    if (library.isEmbedded())
        return;
    auto definitions = library.definitions;
    bool placed = false;
    for (auto &definition : definitions)
        if (definition.get() == original || (replacement && definition->key() == replacement->key()))
        {
            definition = replacement;
            placed = true;
        }
    if (!placed && replacement)
        definitions.push_back(replacement);
    definitions.erase(std::remove(definitions.begin(), definitions.end(), nullptr), definitions.end());
    writeFileAtomically(library.path, writeLibraryText(definitions));
}

// The message of the Python error being raised, which is cleared.
std::string takePythonError()
{
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    std::string message = "unknown error";
    if (PyObject *text = value ? PyObject_Str(value) : nullptr)
    {
        if (char const *utf8 = PyUnicode_AsUTF8(text))
            message = std::string(type ? reinterpret_cast<PyTypeObject *>(type)->tp_name : "") + ": " + utf8;
        Py_DECREF(text);
    }
    PyErr_Clear();
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    return message;
}

// The first dictionary: what the host gives every asset module (its type and the kal module).
// The second: the globals the script-module section ran in, when it has one.
std::shared_ptr<AssetNamespace> buildNamespace(AssetDefinition const &definition)
{
    auto built = std::make_shared<AssetNamespace>();
    auto &[first, second] = built->dictionaries;
    first = PyDict_New();
    if (!first)
        throw KOM_Error(takePythonError().c_str());
    PyObject *name = PyUnicode_FromString(definition.key().c_str());
    PyObject *kal = PyImport_ImportModule("kal");
    bool filled = name && PyDict_SetItemString(first, "__name__", name) == 0 &&
                  (!kal || PyDict_SetItemString(first, "kal", kal) == 0);
    Py_XDECREF(name);
    Py_XDECREF(kal);
    if (!kal || !filled)
        PyErr_Clear(); // the kal module is offered when it can be imported
    auto const script = definition.sections.find(ScriptModuleSection);
    if (script == definition.sections.end())
        return built;
    second = PyDict_New();
    std::string const moduleName = "kda." + definition.key();
    std::string const fileName = "<" + definition.key() + " " + ScriptModuleSection + ">";
    PyObject *moduleNameObject = second ? PyUnicode_FromString(moduleName.c_str()) : nullptr;
    bool ready = moduleNameObject && PyDict_SetItemString(second, "__name__", moduleNameObject) == 0 &&
                 PyDict_SetItemString(second, "__builtins__", PyEval_GetBuiltins()) == 0;
    Py_XDECREF(moduleNameObject);
    PyObject *code = ready ? Py_CompileString(script->second.c_str(), fileName.c_str(), Py_file_input) : nullptr;
    if (code && script->second.find('\0') != std::string::npos)
    {
        Py_CLEAR(code);
        PyErr_SetString(PyExc_ValueError, "source code cannot contain null bytes");
    }
    PyObject *result = code ? PyEval_EvalCode(code, second, second) : nullptr;
    Py_XDECREF(code);
    if (!result)
        throw KOM_Error(("The " + std::string(ScriptModuleSection) + " section of " + definition.key() +
                         " failed: " + takePythonError()).c_str());
    Py_DECREF(result);
    return built;
}

} // namespace

std::string assetKey(int categoryCode, std::string const &name)
{
    return categoryNameOf(categoryCode) + "/" + name;
}

std::shared_ptr<AssetLibrary> embeddedLibrary()
{
    auto &library = theLibraries[EmbeddedPath];
    if (!library)
    {
        library = std::make_shared<AssetLibrary>();
        library->path = EmbeddedPath;
        library->installed = true;
        theInstalled.insert(theInstalled.begin(), library);
    }
    return library;
}

// The current definition among the installed ones of a key: the preferred one, else the one
// installed last.
std::shared_ptr<AssetDefinition> currentDefinitionOf(std::string const &key)
{
    auto const found = theDefinitionsByKey.find(key);
    if (found == theDefinitionsByKey.end() || found->second.empty())
        return nullptr;
    for (auto const &definition : found->second)
        if (definition->preferred)
            return definition;
    return found->second.back();
}

// Brings the index and the asset node types in line with the installed libraries.
void refreshAssetTypes()
{
    theDefinitionsByKey.clear();
    for (auto const &library : theInstalled)
        for (auto const &definition : library->definitions)
            theDefinitionsByKey[definition->key()].push_back(definition);
    for (auto const &[key, definitions] : theDefinitionsByKey)
    {
        auto const current = currentDefinitionOf(key);
        auto &type = theAssetTypes[key];
        if (!type)
        {
            // A subnet of its category: it holds a network, has indirect inputs and the
            // parameters of the subnet it was made from, so that the subnet turned into the
            // first instance and the instances made later hold the same ones.
            type = std::make_unique<NodeTypeInfo>(NodeTypeInfo{
                current->typeName, current->categoryCode, current->categoryCode, 0});
            if (NodeTypeInfo const *subnet = findNodeType(current->categoryCode, "subnet"))
                type->parms = subnet->parms;
        }
        type->description = current->description;
        type->minInputs = current->minInputs;
        type->maxInputs = current->maxInputs;
    }
}

// A built-in type of that name would hide the asset's.
void checkNotBuiltIn(AssetDefinition const &definition)
{
    auto const type = findNodeType(definition.categoryCode, definition.typeName);
    if (type && !isAssetType(type))
        throw KOM_OperationFailed(("A built-in node type is named " + definition.key()).c_str());
}

// Changes a definition through a copy that is written first; see the file comment.
void changeDefinition(std::shared_ptr<AssetDefinition> const &definition,
                      std::function<void(AssetDefinition &)> const &change)
{
    auto const copy = std::make_shared<AssetDefinition>(*definition);
    change(*copy);
    if (auto library = definition->library.lock())
        writeLibraryWith(*library, definition.get(), copy);
    bool const scriptChanged = !sameScript(*copy, *definition);
    *definition = *copy;
    if (scriptChanged)
        definition->namespaceIsStale = true;
    refreshAssetTypes();
}

// Keeps what a library file holds as the known library of that path, keeping the definitions
// scripts hold: a definition still in the file is updated in place, one that is gone is
// dropped.
std::shared_ptr<AssetLibrary> keepLibrary(std::string const &path,
                                          std::vector<std::shared_ptr<AssetDefinition>> definitions)
{
    auto &library = theLibraries[path];
    if (!library)
    {
        library = std::make_shared<AssetLibrary>();
        library->path = path;
    }
    std::unordered_map<std::string, std::shared_ptr<AssetDefinition>> previous;
    for (auto const &definition : library->definitions)
        previous[definition->key()] = definition;
    for (auto &definition : definitions)
    {
        definition->library = library;
        auto const kept = previous.find(definition->key());
        if (kept == previous.end())
            continue;
        AssetDefinition &target = *kept->second;
        bool const stale = target.namespaceIsStale || !sameScript(target, *definition);
        bool const preferred = target.preferred;
        auto const scriptNamespace = target.scriptNamespace;
        target = *definition;
        target.preferred = preferred;
        target.scriptNamespace = scriptNamespace;
        target.namespaceIsStale = stale;
        definition = kept->second;
    }
    library->definitions = std::move(definitions);
    return library;
}

std::vector<std::shared_ptr<AssetDefinition>> readLibraryFile(std::string const &path)
{
    return readLibraryText(readWholeFile(path), path);
}

// Adds or removes a library path in a libraries file: one path per line.
void updateLibrariesFile(char const *librariesFile, std::string const &path, bool add)
{
    std::string text;
    try
    {
        text = readWholeFile(librariesFile);
    }
    catch (KOM_OperationFailed const &)
    {
        // A libraries file that does not exist yet starts empty.
    }
    std::vector<std::string> lines;
    std::size_t position = 0;
    for (std::size_t end; position < text.size(); position = end + 1)
    {
        end = text.find('\n', position);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(position, end - position));
    }
    lines.erase(std::remove(lines.begin(), lines.end(), path), lines.end());
    if (add)
        lines.push_back(path);
    std::string updated;
    for (auto const &line : lines)
        updated += line + "\n";
    writeFileAtomically(librariesFile, updated);
}

void installLibrary(std::shared_ptr<AssetLibrary> const &library)
{
    if (!library->installed)
    {
        library->installed = true;
        theInstalled.push_back(library);
    }
    refreshAssetTypes();
}

AssetNamespace::~AssetNamespace()
{
    // At process exit the interpreter may be gone before the host's state.
    if (Py_IsInitialized())
    {
        Py_XDECREF(dictionaries.first);
        Py_XDECREF(dictionaries.second);
    }
}

std::string AssetDefinition::key() const { return assetKey(categoryCode, typeName); }

bool AssetLibrary::isEmbedded() const { return path == EmbeddedPath; }

NodeTypeInfo const *findAssetType(int categoryCode, std::string const &name)
{
    std::string const key = assetKey(categoryCode, name);
    if (!currentDefinitionOf(key))
        return nullptr;
    auto const type = theAssetTypes.find(key);
    return type == theAssetTypes.end() ? nullptr : type->second.get();
}

bool isAssetType(NodeTypeInfo const *type)
{
    auto const found = theAssetTypes.find(assetKey(type->categoryCode, type->name));
    return found != theAssetTypes.end() && found->second.get() == type;
}

std::shared_ptr<AssetDefinition> currentDefinition(NodeTypeInfo const *type)
{
    return type && isAssetType(type) ? currentDefinitionOf(assetKey(type->categoryCode, type->name)) : nullptr;
}

std::vector<NodeTypeInfo const *> installedAssetTypes(int categoryCode)
{
    std::vector<NodeTypeInfo const *> types;
    for (auto const &[key, definitions] : theDefinitionsByKey)
        if (!definitions.empty() && definitions.front()->categoryCode == categoryCode)
            types.push_back(theAssetTypes.at(key).get());
    return types;
}

std::shared_ptr<SceneNode> createAssetFromSubnet(std::shared_ptr<SceneNode> const &subnet,
                                                 std::string const &name, char const *libraryPath,
                                                 char const *description, int minInputs,
                                                 int maxInputs, char const *comment,
                                                 char const *version)
{
    auto definition = std::make_shared<AssetDefinition>();
    definition->categoryCode = subnet->type->categoryCode;
    definition->typeName = name;
    definition->description = description ? description : "";
    definition->minInputs = minInputs;
    definition->maxInputs = maxInputs;
    definition->comment = comment ? comment : "";
    definition->version = version ? version : "";
    definition->sections[ContentsSection] = writeNetworkContents(*subnet);
    checkNotBuiltIn(*definition);

    // A library file that exists keeps its other definitions; a damaged one stops here.
    std::string const path = libraryPath && *libraryPath ? libraryPath : EmbeddedPath;
    auto const known = theLibraries.find(path);
    std::shared_ptr<AssetLibrary> library;
    if (path == EmbeddedPath)
        library = embeddedLibrary();
    else if (known != theLibraries.end() && known->second->installed)
        library = known->second;
    else
        library = keepLibrary(path, fileExists(path) ? readLibraryFile(path)
                                                     : std::vector<std::shared_ptr<AssetDefinition>>());
    writeLibraryWith(*library, nullptr, definition);
    definition->library = library;
    auto &definitions = library->definitions;
    auto const same = std::find_if(definitions.begin(), definitions.end(),
                                   [&](auto const &other) { return other->key() == definition->key(); });
    if (same != definitions.end())
        *same = definition;
    else
        definitions.push_back(definition);
    installLibrary(library);

    theScene().retype(subnet, findAssetType(definition->categoryCode, name));
    subnet->assetName = name;
    subnet->assetEditable = false;
    return subnet;
}

void initAssetInstance(std::shared_ptr<SceneNode> const &node, bool loadContents)
{
    auto const definition = currentDefinition(node->type);
    if (!definition)
        return;
    if (loadContents)
    {
        auto const contents = definition->sections.find(ContentsSection);
        if (contents != definition->sections.end() && !contents->second.empty())
            readNetworkContents(node, contents->second,
                                ContentsSection + std::string(" of ") + definition->key());
    }
    node->assetName = definition->typeName;
    node->assetEditable = false;
}

std::shared_ptr<AssetLibrary> knownLibrary(std::string const &path)
{
    auto const known = theLibraries.find(path);
    return known == theLibraries.end() ? nullptr : known->second;
}

std::vector<std::shared_ptr<AssetLibrary>> const &installedLibraries() { return theInstalled; }

std::vector<std::shared_ptr<AssetDefinition>> installedDefinitionsOf(std::string const &key)
{
    auto const found = theDefinitionsByKey.find(key);
    return found == theDefinitionsByKey.end() ? std::vector<std::shared_ptr<AssetDefinition>>()
                                              : found->second;
}

NodeTypeInfo const *assetTypeOf(std::string const &key)
{
    auto const type = theAssetTypes.find(key);
    return type == theAssetTypes.end() ? nullptr : type->second.get();
}

void preferDefinition(std::shared_ptr<AssetDefinition> const &definition, bool preferred)
{
    // One preferred definition per type: the others give way.
    if (preferred)
        for (auto const &[path, library] : theLibraries)
            for (auto const &other : library->definitions)
                if (other->key() == definition->key())
                    other->preferred = false;
    definition->preferred = preferred;
    refreshAssetTypes();
}

void uninstallLibrary(std::shared_ptr<AssetLibrary> const &library)
{
    library->installed = false;
    theInstalled.erase(std::remove(theInstalled.begin(), theInstalled.end(), library), theInstalled.end());
    refreshAssetTypes();
}

void renameLibrary(std::shared_ptr<AssetLibrary> const &library, std::string const &target)
{
    if (target == EmbeddedPath || theLibraries.count(target))
        throw KOM_OperationFailed(("A library is already known as " + target).c_str());
    if (library->isEmbedded())
    {
        // The embedded definitions move into a file of their own.
        writeFileAtomically(target, writeLibraryText(library->definitions));
        auto moved = std::make_shared<AssetLibrary>();
        moved->path = target;
        moved->definitions = std::move(library->definitions);
        library->definitions.clear();
        for (auto const &definition : moved->definitions)
            definition->library = moved;
        theLibraries[target] = moved;
        installLibrary(moved);
        return;
    }
    requireWritable(library->path);
    requireWritable(target);
    if (std::rename(library->path.c_str(), target.c_str()) != 0)
        throw KOM_OperationFailed(("Cannot rename " + library->path + " to " + target).c_str());
    theLibraries.erase(library->path);
    library->path = target;
    theLibraries[target] = library;
}

void refreshNamespace(AssetDefinition &definition)
{
    if (!definition.namespaceIsStale || !Py_IsInitialized())
        return;
    // Code that asks for its own module while it runs would run again, without end.
    if (definition.namespaceIsBuilding)
        throw KOM_Error(("The " + std::string(ScriptModuleSection) + " section of " +
                         definition.key() + " asks for its own module while it runs").c_str());
    struct Building
    {
        AssetDefinition &definition;
        explicit Building(AssetDefinition &d) : definition(d) { definition.namespaceIsBuilding = true; }
        ~Building() { definition.namespaceIsBuilding = false; }
    } building(definition);
    // Swapped in under the host lock, which look-ups hold; the old namespace is released after
    // it, since releasing it may run Python code.
    auto replaced = buildNamespace(definition);
    {
        KOM_HostLockHeld hostLock;
        std::swap(definition.scriptNamespace, replaced);
        definition.namespaceIsStale = false;
    }
}

void resetAssets()
{
    theInstalled.clear();
    theLibraries.clear();
    theDefinitionsByKey.clear();
}

} // namespace kalhost
