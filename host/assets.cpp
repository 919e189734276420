// Digital assets: the libraries the session knows, the node types their installed definitions
// define, and the handles on definitions, sections, script modules and the kda object.
//
// Every change to a definition is written to its library file before it is kept: the change is
// made on a copy, the file written atomically, and only then the copy replaces the definition,
// so a failed write changes nothing.
#include <Python.h>

#include "host/assets.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include <unistd.h>

#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/scenefile.h"
#include "model/enums.h"
#include "model/errors.h"
#include "model/services.h"

namespace kalhost
{
namespace
{

constexpr char const *EmbeddedPath = "Embedded";

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

std::string keyOf(int categoryCode, std::string const &name)
{
    return categoryNameOf(categoryCode) + "/" + name;
}

std::string keyOf(NodeTypeInfo const *type) { return keyOf(type->categoryCode, type->name); }

std::string textOr(char const *text, std::string const &fallback = "")
{
    return text ? text : fallback;
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
std::shared_ptr<AssetDefinition> currentOf(std::string const &key)
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
void refreshTypes()
{
    theDefinitionsByKey.clear();
    for (auto const &library : theInstalled)
        for (auto const &definition : library->definitions)
            theDefinitionsByKey[definition->key()].push_back(definition);
    for (auto const &[key, definitions] : theDefinitionsByKey)
    {
        auto const current = currentOf(key);
        auto &type = theAssetTypes[key];
        if (!type)
        {
            // A subnet of its category: it holds a network and has indirect inputs.
            type = std::make_unique<NodeTypeInfo>(NodeTypeInfo{
                current->typeName, current->categoryCode, current->categoryCode, 0});
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

bool sameScript(AssetDefinition const &one, AssetDefinition const &other);

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
    refreshTypes();
}

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

bool fileExists(std::string const &path) { return access(path.c_str(), F_OK) == 0; }

void checkPath(char const *path, char const *what)
{
    if (!path || !*path)
        throw KOM_OperationFailed((std::string("Expected ") + what).c_str());
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

void install(std::shared_ptr<AssetLibrary> const &library)
{
    if (!library->installed)
    {
        library->installed = true;
        theInstalled.push_back(library);
    }
    refreshTypes();
}

// --- KDASection ---------------------------------------------------------------------------

class SectionHandle : public KOM_KDASection, private LiveCounted
{
public:
    SectionHandle(std::shared_ptr<AssetDefinition> const &definition, std::string name)
        : myDefinition(definition), myName(std::move(name))
    {
    }

    bool __eq__(KOM_KDASection &other) override
    {
        hostOperation("KDASection.__eq__", other);
        return same(other);
    }

    bool __ne__(KOM_KDASection &other) override
    {
        hostOperation("KDASection.__ne__", other);
        return !same(other);
    }

    int __hash__() override
    {
        hostOperation("KDASection.__hash__");
        return static_cast<int>(std::hash<std::string>()(myName) ^
                                std::hash<AssetDefinition *>()(stored().get()));
    }

    std::string __repr__() override
    {
        hostOperation("KDASection.__repr__");
        return "<kal.KDASection " + myName + " of " + stored()->key() + ">";
    }

    KOM_KDADefinition *definition() override
    {
        hostOperation("KDASection.definition");
        return definitionHandle(stored());
    }

    std::string name() override
    {
        hostOperation("KDASection.name");
        stored();
        return myName;
    }

    std::string contents() override
    {
        hostOperation("KDASection.contents");
        return text();
    }

    void setContents(std::string const &contents) override
    {
        hostOperation("KDASection.setContents", contents);
        text();
        changeDefinition(stored(), [&](AssetDefinition &copy) { copy.sections[myName] = contents; });
    }

    int size() override
    {
        hostOperation("KDASection.size");
        return static_cast<int>(text().size());
    }

    void destroy() override
    {
        hostOperation("KDASection.destroy");
        text();
        changeDefinition(stored(), [&](AssetDefinition &copy) { copy.sections.erase(myName); });
    }

    std::string describe() const { return myName + " of " + stored()->key(); }

private:
    // The definition, while it still holds the section.
    std::shared_ptr<AssetDefinition> stored() const
    {
        auto definition = myDefinition.lock();
        if (!definition || !definition->sections.count(myName))
            throw KOM_ObjectWasDeleted();
        return definition;
    }

    std::string const &text() const { return stored()->sections.at(myName); }

    bool same(KOM_KDASection &other) const
    {
        auto handle = dynamic_cast<SectionHandle *>(&other);
        return handle && handle->myName == myName &&
               handle->myDefinition.lock() == myDefinition.lock();
    }

    std::weak_ptr<AssetDefinition> myDefinition;
    std::string myName;
};

// --- KDADefinition ------------------------------------------------------------------------

class DefinitionHandle : public KOM_KDADefinition, private LiveCounted
{
public:
    explicit DefinitionHandle(std::shared_ptr<AssetDefinition> const &definition)
        : myDefinition(definition)
    {
    }

    bool __eq__(KOM_KDADefinition &other) override
    {
        hostOperation("KDADefinition.__eq__", other);
        return same(other);
    }

    bool __ne__(KOM_KDADefinition &other) override
    {
        hostOperation("KDADefinition.__ne__", other);
        return !same(other);
    }

    int __hash__() override
    {
        hostOperation("KDADefinition.__hash__");
        return static_cast<int>(std::hash<AssetDefinition *>()(definition().get()));
    }

    std::string __repr__() override
    {
        hostOperation("KDADefinition.__repr__");
        return "<kal.KDADefinition " + describe() + ">";
    }

    KOM_NodeType *nodeType() override
    {
        hostOperation("KDADefinition.nodeType");
        auto const self = definition();
        auto const type = theAssetTypes.find(self->key());
        if (!isInstalled(*self) || type == theAssetTypes.end())
            throw KOM_OperationFailed((self->key() + " is not installed from " + libraryPath(*self)).c_str());
        return nodeTypeHandle(type->second.get());
    }

    KOM_NodeTypeCategory *nodeTypeCategory() override
    {
        hostOperation("KDADefinition.nodeTypeCategory");
        return categoryFor(definition()->categoryCode);
    }

    std::string nodeTypeName() override
    {
        hostOperation("KDADefinition.nodeTypeName");
        return definition()->typeName;
    }

    std::string libraryFilePath() override
    {
        hostOperation("KDADefinition.libraryFilePath");
        return libraryPath(*definition());
    }

    bool isInstalled() override
    {
        hostOperation("KDADefinition.isInstalled");
        return isInstalled(*definition());
    }

    bool isCurrent() override
    {
        hostOperation("KDADefinition.isCurrent");
        auto const self = definition();
        return currentOf(self->key()) == self;
    }

    bool isPreferred() override
    {
        hostOperation("KDADefinition.isPreferred");
        return definition()->preferred;
    }

    void setIsPreferred(bool preferred) override
    {
        hostOperation("KDADefinition.setIsPreferred", preferred);
        auto const self = definition();
        // One preferred definition per type: the others give way.
        if (preferred)
            for (auto const &[path, library] : theLibraries)
                for (auto const &other : library->definitions)
                    if (other->key() == self->key())
                        other->preferred = false;
        self->preferred = preferred;
        refreshTypes();
    }

    std::map<std::string, KOM_ElemPtr<KOM_KDASection>> sections() override
    {
        hostOperation("KDADefinition.sections");
        auto const self = definition();
        std::map<std::string, KOM_ElemPtr<KOM_KDASection>> sections;
        for (auto const &section : self->sections)
            sections[section.first] = new SectionHandle(self, section.first);
        return sections;
    }

    KOM_KDASection *addSection(char const *name, std::string const &contents) override
    {
        hostOperation("KDADefinition.addSection", name, contents);
        auto const self = definition();
        if (!name || !*name)
            throw KOM_OperationFailed("A section needs a name");
        changeDefinition(self, [&](AssetDefinition &copy) { copy.sections[name] = contents; });
        return new SectionHandle(self, name);
    }

    std::string icon() override
    {
        hostOperation("KDADefinition.icon");
        return definition()->icon;
    }

    void setIcon(char const *icon) override
    {
        hostOperation("KDADefinition.setIcon", icon);
        auto const self = definition();
        if (!icon)
            throw KOM_OperationFailed("Expected an icon name");
        changeDefinition(self, [&](AssetDefinition &copy) { copy.icon = icon; });
    }

    int minNumInputs() override
    {
        hostOperation("KDADefinition.minNumInputs");
        return definition()->minInputs;
    }

    void setMinNumInputs(int min_num_inputs) override
    {
        hostOperation("KDADefinition.setMinNumInputs", min_num_inputs);
        auto const self = definition();
        checkInputs(min_num_inputs, self->maxInputs);
        changeDefinition(self, [&](AssetDefinition &copy) { copy.minInputs = min_num_inputs; });
    }

    int maxNumInputs() override
    {
        hostOperation("KDADefinition.maxNumInputs");
        return definition()->maxInputs;
    }

    void setMaxNumInputs(int max_num_inputs) override
    {
        hostOperation("KDADefinition.setMaxNumInputs", max_num_inputs);
        auto const self = definition();
        checkInputs(self->minInputs, max_num_inputs);
        changeDefinition(self, [&](AssetDefinition &copy) { copy.maxInputs = max_num_inputs; });
    }

    std::string extraInfo() override
    {
        hostOperation("KDADefinition.extraInfo");
        return definition()->extraInfo;
    }

    void setExtraInfo(char const *extra_info) override
    {
        hostOperation("KDADefinition.setExtraInfo", extra_info);
        changeDefinition(definition(), [&](AssetDefinition &copy) { copy.extraInfo = textOr(extra_info); });
    }

    bool hideDefaultParameters() override
    {
        hostOperation("KDADefinition.hideDefaultParameters");
        return definition()->hideDefaultParameters;
    }

    std::string representativeNodePath() override
    {
        hostOperation("KDADefinition.representativeNodePath");
        return definition()->representativeNodePath;
    }

    std::string comment() override
    {
        hostOperation("KDADefinition.comment");
        return definition()->comment;
    }

    void setComment(char const *comment) override
    {
        hostOperation("KDADefinition.setComment", comment);
        auto const self = definition();
        if (!comment)
            throw KOM_TypeError("Expected a comment text, not None");
        changeDefinition(self, [&](AssetDefinition &copy) { copy.comment = comment; });
    }

    std::string version() override
    {
        hostOperation("KDADefinition.version");
        return definition()->version;
    }

    void setVersion(char const *version) override
    {
        hostOperation("KDADefinition.setVersion", version);
        auto const self = definition();
        if (!version)
            throw KOM_TypeError("Expected a version text, not None");
        changeDefinition(self, [&](AssetDefinition &copy) { copy.version = version; });
    }

    std::string describe() const
    {
        auto const self = definition();
        return self->key() + " in " + libraryPath(*self);
    }

private:
    std::shared_ptr<AssetDefinition> definition() const
    {
        auto definition = myDefinition.lock();
        if (!definition)
            throw KOM_ObjectWasDeleted();
        return definition;
    }

    static std::string libraryPath(AssetDefinition const &definition)
    {
        auto const library = definition.library.lock();
        return library ? library->path : "";
    }

    static bool isInstalled(AssetDefinition const &definition)
    {
        auto const library = definition.library.lock();
        return library && library->installed;
    }

    static void checkInputs(int minInputs, int maxInputs)
    {
        if (minInputs < 0 || maxInputs > 9999 || maxInputs < minInputs)
            throw KOM_OperationFailed(("Invalid input limits: " + std::to_string(minInputs) + " to " +
                                       std::to_string(maxInputs)).c_str());
    }

    bool same(KOM_KDADefinition &other) const
    {
        auto handle = dynamic_cast<DefinitionHandle *>(&other);
        return handle && handle->myDefinition.lock() == myDefinition.lock();
    }

    std::weak_ptr<AssetDefinition> myDefinition;
};

// --- KDAModule ----------------------------------------------------------------------------

// The script module of one node type: it follows the type's current definition.
class ModuleHandle : public KOM_KDAModule, private LiveCounted
{
public:
    explicit ModuleHandle(NodeTypeInfo const *type) : myType(type) {}

    std::string __repr__() override
    {
        hostOperation("KDAModule.__repr__");
        return "<kal.KDAModule for " + keyOf(myType) + ">";
    }

    // Called under the host lock: it only reads what kdaModule() built.
    std::pair<PyObject *, PyObject *> *moduleDictionaries() override
    {
        hostOperation("KDAModule.moduleDictionaries");
        auto const definition = currentDefinition(myType);
        if (!definition || !definition->scriptNamespace)
            return nullptr;
        return &definition->scriptNamespace->dictionaries;
    }

private:
    NodeTypeInfo const *myType;
};

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

// --- kda --------------------------------------------------------------------------------------

class KdaObject : public KOM_kda
{
public:
    std::string __repr__() override
    {
        hostOperation("kda.__repr__");
        return "<kal.kda>";
    }

    void installFile(char const *file_path, char const *oplibraries_file,
                     bool change_oplibraries_file) override
    {
        hostOperation("kda.installFile", file_path, oplibraries_file, change_oplibraries_file);
        checkPath(file_path, "a library file path");
        if (std::string(file_path) == EmbeddedPath)
            throw KOM_OperationFailed("The embedded library is always installed");
        // Checked before anything is kept: a damaged file or a clash changes nothing.
        auto definitions = readLibraryFile(file_path);
        for (auto const &definition : definitions)
            checkNotBuiltIn(*definition);
        if (oplibraries_file && change_oplibraries_file)
            updateLibrariesFile(oplibraries_file, file_path, true);
        install(keepLibrary(file_path, std::move(definitions)));
    }

    void uninstallFile(char const *file_path, char const *oplibraries_file,
                       bool change_oplibraries_file) override
    {
        hostOperation("kda.uninstallFile", file_path, oplibraries_file, change_oplibraries_file);
        auto const library = installedLibrary(file_path);
        if (library->isEmbedded())
            throw KOM_OperationFailed("The embedded library is always installed");
        if (oplibraries_file && change_oplibraries_file)
            updateLibrariesFile(oplibraries_file, file_path, false);
        library->installed = false;
        theInstalled.erase(std::find(theInstalled.begin(), theInstalled.end(), library));
        refreshTypes();
    }

    void reloadFile(char const *file_path) override
    {
        hostOperation("kda.reloadFile", file_path);
        auto const library = installedLibrary(file_path);
        if (library->isEmbedded())
            return; // nothing on disk to read
        auto definitions = readLibraryFile(file_path);
        for (auto const &definition : definitions)
            checkNotBuiltIn(*definition);
        keepLibrary(file_path, std::move(definitions));
        refreshTypes();
    }

    void expandToDirectory(char const *file_path, char const *directory_path) override
    {
        hostOperation("kda.expandToDirectory", file_path, directory_path);
        checkPath(file_path, "a library file path");
        checkPath(directory_path, "a directory path");
        auto const known = theLibraries.find(file_path);
        if (known != theLibraries.end() && known->second->installed)
            expandLibrary(known->second->definitions, directory_path);
        else
            expandLibrary(readLibraryFile(file_path), directory_path);
    }

    void collapseFromDirectory(char const *file_path, char const *directory_path) override
    {
        hostOperation("kda.collapseFromDirectory", file_path, directory_path);
        checkPath(file_path, "a library file path");
        checkPath(directory_path, "a directory path");
        if (std::string(file_path) == EmbeddedPath)
            throw KOM_OperationFailed("The embedded library has no file");
        auto const definitions = collapseLibrary(directory_path);
        auto const known = theLibraries.find(file_path);
        bool const installed = known != theLibraries.end() && known->second->installed;
        if (installed)
            for (auto const &definition : definitions)
                checkNotBuiltIn(*definition);
        writeFileAtomically(file_path, writeLibraryText(definitions));
        if (installed)
        {
            keepLibrary(file_path, definitions);
            refreshTypes();
        }
    }

    std::vector<std::string> loadedFiles() override
    {
        hostOperation("kda.loadedFiles");
        std::vector<std::string> paths;
        for (auto const &library : theInstalled)
            if (!library->isEmbedded() || !library->definitions.empty())
                paths.push_back(library->path);
        return paths;
    }

    void renameSource(char const *source, char const *new_name) override
    {
        hostOperation("kda.renameSource", source, new_name);
        auto const library = installedLibrary(source);
        checkPath(new_name, "a new name for the library");
        std::string const target = new_name;
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
            install(moved);
            return;
        }
        checkWritable(library->path);
        checkWritable(target);
        if (std::rename(library->path.c_str(), target.c_str()) != 0)
            throw KOM_OperationFailed(("Cannot rename " + library->path + " to " + target).c_str());
        theLibraries.erase(library->path);
        library->path = target;
        theLibraries[target] = library;
    }

    std::vector<KOM_ElemPtr<KOM_KDADefinition>> definitionsInFile(char const *file_path) override
    {
        hostOperation("kda.definitionsInFile", file_path);
        checkPath(file_path, "a library file path");
        auto const known = theLibraries.find(file_path);
        // An installed library is read as the session holds it; any other from its file.
        auto const library = known != theLibraries.end() && known->second->installed
                                 ? known->second
                                 : keepLibrary(file_path, readLibraryFile(file_path));
        std::vector<KOM_ElemPtr<KOM_KDADefinition>> handles;
        for (auto const &definition : library->definitions)
            handles.emplace_back(new DefinitionHandle(definition));
        return handles;
    }

private:
    static std::shared_ptr<AssetLibrary> installedLibrary(char const *path)
    {
        checkPath(path, "a library file path");
        if (std::string(path) == EmbeddedPath)
            return embeddedLibrary();
        auto const known = theLibraries.find(path);
        if (known == theLibraries.end() || !known->second->installed)
            throw KOM_OperationFailed(("Not an installed asset library: " + std::string(path)).c_str());
        return known->second;
    }
};

KdaObject theKda;

} // namespace

AssetNamespace::~AssetNamespace()
{
    // At process exit the interpreter may be gone before the host's state.
    if (Py_IsInitialized())
    {
        Py_XDECREF(dictionaries.first);
        Py_XDECREF(dictionaries.second);
    }
}

std::string AssetDefinition::key() const { return keyOf(categoryCode, typeName); }

bool AssetLibrary::isEmbedded() const { return path == EmbeddedPath; }

NodeTypeInfo const *findAssetType(int categoryCode, std::string const &name)
{
    std::string const key = keyOf(categoryCode, name);
    if (!currentOf(key))
        return nullptr;
    auto const type = theAssetTypes.find(key);
    return type == theAssetTypes.end() ? nullptr : type->second.get();
}

bool isAssetType(NodeTypeInfo const *type)
{
    auto const found = theAssetTypes.find(keyOf(type));
    return found != theAssetTypes.end() && found->second.get() == type;
}

std::shared_ptr<AssetDefinition> currentDefinition(NodeTypeInfo const *type)
{
    return type && isAssetType(type) ? currentOf(keyOf(type)) : nullptr;
}

KOM_KDADefinition *definitionHandle(std::shared_ptr<AssetDefinition> const &definition)
{
    return definition ? new DefinitionHandle(definition) : nullptr;
}

std::vector<KOM_ElemPtr<KOM_KDADefinition>> installedDefinitionHandles(NodeTypeInfo const *type)
{
    std::vector<KOM_ElemPtr<KOM_KDADefinition>> handles;
    if (!isAssetType(type))
        return handles;
    auto const found = theDefinitionsByKey.find(keyOf(type));
    if (found != theDefinitionsByKey.end())
        for (auto const &definition : found->second)
            handles.emplace_back(new DefinitionHandle(definition));
    return handles;
}

KOM_KDAModule *assetModuleHandle(NodeTypeInfo const *type)
{
    auto const definition = currentDefinition(type);
    if (definition && definition->namespaceIsStale && Py_IsInitialized())
    {
        // Swapped in under the host lock, which look-ups hold; the old namespace is released
        // after it, since releasing it may run Python code.
        auto replaced = buildNamespace(*definition);
        {
            KOM_HostLockHeld hostLock;
            std::swap(definition->scriptNamespace, replaced);
            definition->namespaceIsStale = false;
        }
    }
    return new ModuleHandle(type);
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
    definition->description = textOr(description);
    definition->minInputs = minInputs;
    definition->maxInputs = maxInputs;
    definition->comment = textOr(comment);
    definition->version = textOr(version);
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
    install(library);

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

KOM_kda &kdaObject() { return theKda; }

void resetAssets()
{
    theInstalled.clear();
    theLibraries.clear();
    theDefinitionsByKey.clear();
}

JournalValue JournalFormat<KOM_KDADefinition>::format(KOM_KDADefinition const &definition)
{
    auto handle = dynamic_cast<DefinitionHandle const *>(&definition);
    return journalHandle([handle] { return handle ? handle->describe() : "<definition>"; },
                         "<deleted definition>");
}

JournalValue JournalFormat<KOM_KDASection>::format(KOM_KDASection const &section)
{
    auto handle = dynamic_cast<SectionHandle const *>(&section);
    return journalHandle([handle] { return handle ? handle->describe() : "<section>"; },
                         "<deleted section>");
}

} // namespace kalhost
