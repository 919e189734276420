// Digital assets: the handles on definitions, sections and script modules, and the kda object,
// in the order of model/assets.h. The session's libraries are in host/assets_libraries.cpp,
// the file format in host/assets_format.cpp.
#include "host/assets.h"

#include <functional>

#include "host/identity.h"
#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/scenefile.h"
#include "model/errors.h"

namespace kalhost
{
namespace
{

std::string textOr(char const *text) { return text ? text : ""; }

void checkPath(char const *path, char const *what)
{
    if (!path || !*path)
        throw KOM_OperationFailed((std::string("Expected ") + what).c_str());
}

// --- KDASection ---------------------------------------------------------------------------

class SectionHandle : public KOM_KDASection, private LiveCounted
{
public:
    SectionHandle(std::shared_ptr<AssetDefinition> const &definition, std::string name)
        : myDefinition(definition), myName(std::move(name))
    {
    }

    std::tuple<AssetDefinition const *, std::string const &> identityKey() const
    {
        return {stored().get(), myName};
    }
    KALHOST_COMPARED_BY_IDENTITY(KDASection)

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

    AssetDefinition const *identityKey() const { return definition().get(); }
    KALHOST_COMPARED_BY_IDENTITY(KDADefinition)

    std::string __repr__() override
    {
        hostOperation("KDADefinition.__repr__");
        return "<kal.KDADefinition " + describe() + ">";
    }

    KOM_NodeType *nodeType() override
    {
        hostOperation("KDADefinition.nodeType");
        auto const self = definition();
        auto const type = assetTypeOf(self->key());
        if (!isInstalled(*self) || !type)
            throw KOM_OperationFailed((self->key() + " is not installed from " + libraryPath(*self)).c_str());
        return nodeTypeHandle(type);
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
        return currentDefinitionOf(self->key()) == self;
    }

    bool isPreferred() override
    {
        hostOperation("KDADefinition.isPreferred");
        return definition()->preferred;
    }

    void setIsPreferred(bool preferred) override
    {
        hostOperation("KDADefinition.setIsPreferred", preferred);
        preferDefinition(definition(), preferred);
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
        return "<kal.KDAModule for " + assetKey(myType->categoryCode, myType->name) + ">";
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
        installLibrary(keepLibrary(file_path, std::move(definitions)));
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
        uninstallLibrary(library);
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
        refreshAssetTypes();
    }

    void expandToDirectory(char const *file_path, char const *directory_path) override
    {
        hostOperation("kda.expandToDirectory", file_path, directory_path);
        checkPath(file_path, "a library file path");
        checkPath(directory_path, "a directory path");
        auto const known = knownLibrary(file_path);
        if (known && known->installed)
            expandLibrary(known->definitions, directory_path);
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
        auto const known = knownLibrary(file_path);
        bool const installed = known && known->installed;
        if (installed)
            for (auto const &definition : definitions)
                checkNotBuiltIn(*definition);
        writeFileAtomically(file_path, writeLibraryText(definitions));
        if (installed)
        {
            keepLibrary(file_path, definitions);
            refreshAssetTypes();
        }
    }

    std::vector<std::string> loadedFiles() override
    {
        hostOperation("kda.loadedFiles");
        std::vector<std::string> paths;
        for (auto const &library : installedLibraries())
            if (!library->isEmbedded() || !library->definitions.empty())
                paths.push_back(library->path);
        return paths;
    }

    void renameSource(char const *source, char const *new_name) override
    {
        hostOperation("kda.renameSource", source, new_name);
        auto const library = installedLibrary(source);
        checkPath(new_name, "a new name for the library");
        renameLibrary(library, new_name);
    }

    std::vector<KOM_ElemPtr<KOM_KDADefinition>> definitionsInFile(char const *file_path) override
    {
        hostOperation("kda.definitionsInFile", file_path);
        checkPath(file_path, "a library file path");
        auto const known = knownLibrary(file_path);
        // An installed library is read as the session holds it; any other from its file.
        auto const library = known && known->installed ? known
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
        auto const known = knownLibrary(path);
        if (!known || !known->installed)
            throw KOM_OperationFailed(("Not an installed asset library: " + std::string(path)).c_str());
        return known;
    }
};

KdaObject theKda;

} // namespace

KOM_KDADefinition *definitionHandle(std::shared_ptr<AssetDefinition> const &definition)
{
    return definition ? new DefinitionHandle(definition) : nullptr;
}

std::vector<KOM_ElemPtr<KOM_KDADefinition>> installedDefinitionHandles(NodeTypeInfo const *type)
{
    std::vector<KOM_ElemPtr<KOM_KDADefinition>> handles;
    if (!isAssetType(type))
        return handles;
    for (auto const &definition : installedDefinitionsOf(assetKey(type->categoryCode, type->name)))
        handles.emplace_back(new DefinitionHandle(definition));
    return handles;
}

KOM_KDAModule *assetModuleHandle(NodeTypeInfo const *type)
{
    if (auto const definition = currentDefinition(type))
        refreshNamespace(*definition);
    return new ModuleHandle(type);
}

KOM_kda &kdaObject() { return theKda; }

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
