// Digital assets: node types whose definitions live in asset library files, the named
// sections of a definition, the library-file operations and an asset's script module.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/sequences.h"

typedef struct _object PyObject;

class KOM_KDASection;
class KOM_NodeType;
class KOM_NodeTypeCategory;

// One definition of an asset node type, as one library file holds it.
class KOM_KDADefinition
{
public:
    virtual ~KOM_KDADefinition() {}

    // Whether both name the same definition in the same library file.
    virtual bool __eq__(KOM_KDADefinition &other) = 0;
    // Whether they name different definitions.
    virtual bool __ne__(KOM_KDADefinition &other) = 0;
    // A hash that equal definitions share.
    virtual int __hash__() = 0;
    // A readable description naming the type and the library file.
    virtual std::string __repr__() = 0;
    // The node type this definition defines.
    virtual KOM_NodeType *nodeType() = 0;
    // The category of the defined node type.
    virtual KOM_NodeTypeCategory *nodeTypeCategory() = 0;
    // The name of the defined node type.
    virtual std::string nodeTypeName() = 0;
    // The path of the library file holding the definition.
    virtual std::string libraryFilePath() = 0;
    // Whether the library file holding it is installed.
    virtual bool isInstalled() = 0;
    // Whether this is the definition new nodes of the type are made from.
    virtual bool isCurrent() = 0;
    // Whether this definition is preferred over the type's other installed definitions.
    virtual bool isPreferred() = 0;
    // Makes the definition preferred (or not) among the type's installed definitions.
    virtual void setIsPreferred(bool preferred) = 0;
    // The definition's sections by name.
    virtual std::map<std::string, KOM_ElemPtr<KOM_KDASection>> sections() = 0;
    // Adds a section with that name and contents, or replaces the contents of an existing one.
    virtual KOM_KDASection *addSection(char const *name, std::string const &contents = "") = 0;
    // The name of the type's icon.
    virtual std::string icon() = 0;
    // Sets the name of the type's icon.
    virtual void setIcon(char const *icon) = 0;
    // The fewest inputs a node of the type needs.
    virtual int minNumInputs() = 0;
    // Sets the fewest inputs a node of the type needs.
    virtual void setMinNumInputs(int min_num_inputs) = 0;
    // The most inputs a node of the type takes.
    virtual int maxNumInputs() = 0;
    // Sets the most inputs a node of the type takes.
    virtual void setMaxNumInputs(int max_num_inputs) = 0;
    // Free text the definition carries for tools.
    virtual std::string extraInfo() = 0;
    // Sets the free text the definition carries for tools.
    virtual void setExtraInfo(char const *extra_info) = 0;
    // Whether nodes of the type hide the parameters every node of the category has.
    virtual bool hideDefaultParameters() = 0;
    // The path of a node inside the asset that stands for the whole asset.
    virtual std::string representativeNodePath() = 0;
    // The definition's comment.
    virtual std::string comment() = 0;
    // Sets the definition's comment.
    virtual void setComment(char const *comment) = 0;
    // The definition's version text.
    virtual std::string version() = 0;
    // Sets the definition's version text.
    virtual void setVersion(char const *version) = 0;
};

// One named section of a definition: a block of bytes.
class KOM_KDASection
{
public:
    virtual ~KOM_KDASection() {}

    // Whether both name the same section of the same definition.
    virtual bool __eq__(KOM_KDASection &other) = 0;
    // Whether they name different sections.
    virtual bool __ne__(KOM_KDASection &other) = 0;
    // A hash that equal sections share.
    virtual int __hash__() = 0;
    // A readable description naming the section and its definition.
    virtual std::string __repr__() = 0;
    // The definition that holds the section.
    virtual KOM_KDADefinition *definition() = 0;
    // The section's name.
    virtual std::string name() = 0;
    // The section's contents, any bytes.
    virtual std::string contents() = 0;
    // Replaces the section's contents and writes the library file.
    virtual void setContents(std::string const &contents) = 0;
    // The number of bytes in the contents.
    virtual int size() = 0;
    // Removes the section from its definition and writes the library file.
    virtual void destroy() = 0;
};

// The asset library files: installing, listing and reading them. Host-owned, reached as kal.kda.
class KOM_kda
{
public:
    virtual ~KOM_kda() {}

    // A short description of the object.
    virtual std::string __repr__() = 0;
    // Installs a library file, making its definitions available as node types.
    virtual void installFile(char const *file_path, char const *oplibraries_file = nullptr,
                             bool change_oplibraries_file = true) = 0;
    // Uninstalls a library file; its types fall back to other installed definitions.
    virtual void uninstallFile(char const *file_path, char const *oplibraries_file = nullptr,
                               bool change_oplibraries_file = true) = 0;
    // Reads an installed library file again, taking the changes made to it on disk.
    virtual void reloadFile(char const *file_path) = 0;
    // Writes each definition and section of a library file as files in a directory.
    virtual void expandToDirectory(char const *file_path, char const *directory_path) = 0;
    // Builds a library file from a directory that expandToDirectory wrote.
    virtual void collapseFromDirectory(char const *file_path, char const *directory_path) = 0;
    // The paths of the installed library files, in installation order.
    virtual std::vector<std::string> loadedFiles() = 0;
    // Renames an installed library file (the source) on disk, or gives it a new path.
    virtual void renameSource(char const *source, char const *new_name = nullptr) = 0;
    // The definitions a library file holds, installed or not.
    virtual std::vector<KOM_ElemPtr<KOM_KDADefinition>> definitionsInFile(char const *file_path) = 0;
};

// An asset's script module: the names its script-module section defines.
class KOM_KDAModule
{
public:
    virtual ~KOM_KDAModule() {}

    // A short description naming the asset.
    virtual std::string __repr__() = 0;
    // Not exposed: the namespace the attributes are searched in: (first, second) dictionaries, second
    // searched first. Null when the asset has no namespace; either member may be null. The
    // host keeps the pair and the dictionaries; call it holding the host lock.
    virtual std::pair<PyObject *, PyObject *> *moduleDictionaries() = 0;
};

// Written for the binding: the object bound to `name` in the module's namespace (a new
// reference), or null with AttributeError set. It takes the host lock itself.
PyObject *KOM_KDAModule___getattr__(KOM_KDAModule *self, char const *name);
