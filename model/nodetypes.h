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

    virtual bool __eq__(KOM_NodeType &other) = 0;
    virtual bool __ne__(KOM_NodeType &other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_NodeTypeCategory *category() = 0;
    virtual std::string name() = 0;
    virtual std::string description() = 0;
    virtual std::string nameWithCategory() = 0;
    virtual KOM_EnumValue *source() = 0;
    virtual std::string sourcePath() = 0;
    virtual KOM_Node *sourceNetwork() = 0;
    virtual KOM_KDADefinition *definition() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_KDADefinition>> allInstalledDefinitions() = 0;
    virtual std::string icon() = 0;
    virtual int minNumInputs() = 0;
    virtual int maxNumInputs() = 0;
    virtual int maxNumOutputs() = 0;
    virtual bool isGenerator() = 0;
    virtual bool isManager() = 0;
    virtual bool hasUnorderedInputs() = 0;
    virtual std::vector<std::string> aliases() = 0;
    virtual void addAlias(char const *alias) = 0;
    virtual void removeAlias(char const *alias) = 0;
    virtual bool hidden() = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Node>> instances() = 0;
    virtual KOM_KDAModule *kdaModule() = 0;
    // Not exposed: with isManager() it chooses the Python class of a returned type.
    virtual int categoryCode() = 0;
};

class KOM_ShopNodeType : public virtual KOM_NodeType
{
public:
    std::string __repr__() override = 0;
    virtual KOM_EnumValue *shaderType() = 0;
    virtual std::string renderMask() = 0;
};

class KOM_SopNodeType : public virtual KOM_NodeType
{
public:
    std::string __repr__() override = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Selector>> selectors(
        std::vector<int> selector_indices = std::vector<int>()) = 0;
    virtual KOM_Selector *addSelector(char const *name, char const *selector_type,
                                      char const *prompt = "Select components",
                                      std::vector<KOM_EnumValue *> primitive_types = {},
                                      char const *group_parm_name = nullptr,
                                      char const *group_type_parm_name = nullptr,
                                      int input_index = 0, bool input_required = true,
                                      bool allow_dragging = false,
                                      bool empty_string_selects_all = true) = 0;
};

// Host-owned: one instance per category, never deleted through a proxy.
class KOM_NodeTypeCategory
{
public:
    virtual ~KOM_NodeTypeCategory() {}

    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual std::string name() = 0;
    virtual std::map<std::string, KOM_ElemPtr<KOM_NodeType>> nodeTypes() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_ViewerState>> viewerStates(KOM_EnumValue &viewer_type) = 0;
};

class KOM_ZelContext
{
public:
    virtual ~KOM_ZelContext() {}

    virtual std::string __repr__() = 0;
    virtual std::string name() = 0;
    virtual KOM_NodeTypeCategory *nodeTypeCategory() = 0;
    virtual KOM_EnumValue *shaderType() = 0;
    virtual std::map<std::string, std::string> pathsToLoadedZelFunctions() = 0;
};
