// Node types, their categories and shading-language contexts.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/sequences.h"

#ifndef SWIG
// The codes of KOM_Node::categoryCode and KOM_NodeType::categoryCode: the binding chooses the
// class of a returned node or node type by them. Not part of the Python API.
enum KOM_CategoryCode
{
    KOM_ObjectCategory = 0,
    KOM_SopCategory = 1,
    KOM_PopNetCategory = 2,
    KOM_PopCategory = 3,
    KOM_Cop2Category = 4,
    KOM_ChopCategory = 5,
    KOM_ChopNetCategory = 6,
    KOM_ShopCategory = 7,
    KOM_RopCategory = 8,
    KOM_Cop2NetCategory = 9,
    KOM_VopCategory = 10,
    KOM_VopNetCategory = 11,
    KOM_DopCategory = 12,
    KOM_ManagerCategory = 13,
    KOM_RootCategory = 14,
    KOM_NoCategory = -1, // a node type's child category when it holds no network
};

// A bit of KOM_Node::flagBits: the object node is a simulation network (a DopNetNode).
constexpr int KOM_SimulationNetworkFlag = 0x20000;
#endif

struct KOM_EnumValue;
class KOM_Node;
class KOM_KDADefinition;
class KOM_KDAModule;
class KOM_Selector;
class KOM_ViewerState;
class KOM_NodeTypeCategory;

class KOM_NodeType
{
public:
    virtual ~KOM_NodeType() {}

    // Whether both are the same node type.
    virtual bool __eq__(KOM_NodeType &other) = 0;
    // Whether they are different node types.
    virtual bool __ne__(KOM_NodeType &other) = 0;
    // A hash equal for equal node types, so types can be dict keys.
    virtual int __hash__() = 0;
    // How the node type shows at the prompt.
    virtual std::string __repr__() = 0;
    // The category the node type belongs to (object, surface ...).
    virtual KOM_NodeTypeCategory *category() = 0;
    // The node type's internal name, such as box.
    virtual std::string name() = 0;
    // The node type's description, as menus show it.
    virtual std::string description() = 0;
    // The name prefixed with its category, such as Sop/box.
    virtual std::string nameWithCategory() = 0;
    // What implements the type (internal, subnet, compiled code ...).
    virtual KOM_EnumValue *source() = 0;
    // The file the type's implementation comes from.
    virtual std::string sourcePath() = 0;
    // For a type defined by a subnet, the network that defines it, or None.
    virtual KOM_Node *sourceNetwork() = 0;
    // The digital asset definition in use for this type, or None.
    virtual KOM_KDADefinition *definition() = 0;
    // Every installed digital asset definition of this type.
    virtual std::vector<KOM_ElemPtr<KOM_KDADefinition>> allInstalledDefinitions() = 0;
    // The name of the type's icon.
    virtual std::string icon() = 0;
    // How many inputs a node of this type needs at least.
    virtual int minNumInputs() = 0;
    // How many inputs a node of this type can have.
    virtual int maxNumInputs() = 0;
    // How many outputs a node of this type has.
    virtual int maxNumOutputs() = 0;
    // Whether nodes of this type make data without inputs.
    virtual bool isGenerator() = 0;
    // Whether the type is a manager network such as /obj.
    virtual bool isManager() = 0;
    // Whether the type's inputs are one unordered list, as a merge's are.
    virtual bool hasUnorderedInputs() = 0;
    // The other names the type can be created by.
    virtual std::vector<std::string> aliases() = 0;
    // Adds another name the type can be created by.
    virtual void addAlias(char const *alias) = 0;
    // Removes one of the type's other names.
    virtual void removeAlias(char const *alias) = 0;
    // Whether the type is hidden from the tab menu.
    virtual bool hidden() = 0;
    // Hides the type from the tab menu, or shows it again.
    virtual void setHidden(bool hidden) = 0;
    // Every node of this type in the scene.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> instances() = 0;
    // The Python module of the type's digital asset definition.
    virtual KOM_KDAModule *kdaModule() = 0;
    // Not exposed: with isManager() it chooses the Python class of a returned type.
    virtual int categoryCode() = 0;
};

class KOM_ShopNodeType : public virtual KOM_NodeType
{
public:
    // How the node type shows at the prompt.
    std::string __repr__() override = 0;
    // The kind of shader nodes of this type make.
    virtual KOM_EnumValue *shaderType() = 0;
    // The renderers the shader works with.
    virtual std::string renderMask() = 0;
};

class KOM_SopNodeType : public virtual KOM_NodeType
{
public:
    // How the node type shows at the prompt.
    std::string __repr__() override = 0;
    // The type's viewport selectors, all or those at the given indices.
    virtual std::vector<KOM_ElemPtr<KOM_Selector>> selectors(
        std::vector<int> selector_indices = std::vector<int>()) = 0;
    // Adds a viewport selector that prompts for components when a node of this type is created.
    virtual KOM_Selector *addSelector(char const *name, char const *selector_type,
                                      char const *prompt = "Select components",
                                      std::vector<KOM_EnumValue *> primitive_types = {},
                                      char const *group_parm_name = nullptr,
                                      char const *group_type_parm_name = nullptr,
                                      int input_index = 0, bool input_required = true,
                                      bool allow_dragging = false,
                                      bool empty_string_selects_all = true) = 0;
};

// A kind of node network (Object, Sop ...) and the node types it holds.
// Host-owned: one instance per category, never deleted through a proxy.
class KOM_NodeTypeCategory
{
public:
    virtual ~KOM_NodeTypeCategory() {}

    // A hash equal for the same category.
    virtual int __hash__() = 0;
    // How the category shows at the prompt.
    virtual std::string __repr__() = 0;
    // The category's name, such as Object or Sop.
    virtual std::string name() = 0;
    // Every node type of the category, by name.
    virtual std::map<std::string, KOM_ElemPtr<KOM_NodeType>> nodeTypes() = 0;
    // The viewer states of a viewer type that belong to this category.
    virtual std::vector<KOM_ElemPtr<KOM_ViewerState>> viewerStates(KOM_EnumValue &viewer_type) = 0;
};

class KOM_ZelContext
{
public:
    virtual ~KOM_ZelContext() {}

    // How the context shows at the prompt.
    virtual std::string __repr__() = 0;
    // The context's name.
    virtual std::string name() = 0;
    // The node type category whose nodes use this context.
    virtual KOM_NodeTypeCategory *nodeTypeCategory() = 0;
    // The kind of shader this context builds.
    virtual KOM_EnumValue *shaderType() = 0;
    // Each function loaded in the context, with the file it came from.
    virtual std::map<std::string, std::string> pathsToLoadedZelFunctions() = 0;
};
