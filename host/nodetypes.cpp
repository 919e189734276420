// Node types, their categories and shading-language contexts: a fixed type table, the changes
// users make to it, and the handles on all three.
#include "host/nodetypes.h"

#include <cctype>
#include <functional>
#include <set>

#include "host/assets.h"
#include "host/identity.h"
#include "host/journal.h"
#include "host/nodes.h"
#include "host/scene.h"
#include "host/ui.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

ParmTupleInfo floatVector(std::string const &name, std::string const &label, double value)
{
    return {name, label, KOM_FloatParmData, {name + "x", name + "y", name + "z"}, {value, value, value}};
}

ParmTupleInfo floatScalar(std::string const &name, std::string const &label, double value)
{
    return {name, label, KOM_FloatParmData, {name}, {value}};
}

ParmTupleInfo intScalar(std::string const &name, std::string const &label, double value)
{
    return {name, label, KOM_IntParmData, {name}, {value}};
}

// Every object is placed by translate, rotate and scale parameters.
std::vector<ParmTupleInfo> objectTransform()
{
    return {floatVector("t", "Translate", 0.0), floatVector("r", "Rotate", 0.0), floatVector("s", "Scale", 1.0)};
}

std::vector<NodeTypeInfo> const theNodeTypes = {
    {"geo", KOM_ObjectCategory, KOM_SopCategory, 0, "Geometry", 0, 1, false, false, objectTransform()},
    {"subnet", KOM_ObjectCategory, KOM_ObjectCategory, 0, "Subnetwork", 0, 4, false, false,
     objectTransform()},
    {"null", KOM_ObjectCategory, KOM_NoCategory, 0, "Null", 0, 1, false, false, objectTransform()},
    {"cam", KOM_ObjectCategory, KOM_NoCategory, 0, "Camera", 0, 1, false, false, objectTransform()},
    {"dopnet", KOM_ObjectCategory, KOM_DopCategory, KOM_SimulationNetworkFlag, "Simulation Network", 0, 4,
     false, false, objectTransform()},
    {"box", KOM_SopCategory, KOM_NoCategory, 0, "Box", 0, 1, true, false,
     {{"size", "Size", KOM_FloatParmData, {"sizex", "sizey", "sizez"}, {1.0, 1.0, 1.0}},
      {"divisions", "Divisions", KOM_IntParmData, {"divisions"}, {1.0}},
      {"group", "Group", KOM_StringParmData, {"group"}}}},
    {"grid", KOM_SopCategory, KOM_NoCategory, 0, "Grid", 0, 0, true, false,
     {intScalar("rows", "Rows", 10), intScalar("cols", "Columns", 10),
      {"size", "Size", KOM_FloatParmData, {"sizex", "sizey"}, {10.0, 10.0}}}},
    {"sphere", KOM_SopCategory, KOM_NoCategory, 0, "Sphere", 0, 0, true, false,
     {intScalar("rows", "Rows", 10), intScalar("cols", "Columns", 10)}},
    {"null", KOM_SopCategory, KOM_NoCategory, 0, "Null", 1, 1},
    {"merge", KOM_SopCategory, KOM_NoCategory, 0, "Merge", 1, 9999, false, true},
    {"xform", KOM_SopCategory, KOM_NoCategory, 0, "Transform", 1, 1, false, false,
     {floatVector("t", "Translate", 0.0), floatVector("r", "Rotate", 0.0),
      floatVector("s", "Scale", 1.0)}},
    {"popnet", KOM_PopNetCategory, KOM_PopCategory, 0, "Particle Network", 0, 4},
    {"source", KOM_PopCategory, KOM_NoCategory, 0, "Source", 0, 1, true},
    {"cop2net", KOM_Cop2NetCategory, KOM_Cop2Category, 0, "Compositing Network", 0, 4},
    {"constant", KOM_Cop2Category, KOM_NoCategory, 0, "Constant", 0, 1, true},
    {"chopnet", KOM_ChopNetCategory, KOM_ChopCategory, 0, "Channel Network", 0, 0},
    {"wave", KOM_ChopCategory, KOM_NoCategory, 0, "Wave", 0, 0, true},
    {"surface", KOM_ShopCategory, KOM_NoCategory, 0, "Surface Shader", 0, 0, true},
    {"output", KOM_RopCategory, KOM_NoCategory, 0, "Output", 0, 1},
    {"vopnet", KOM_VopNetCategory, KOM_VopCategory, 0, "Shader Network", 0, 0},
    {"constant", KOM_VopCategory, KOM_NoCategory, 0, "Constant", 0, 0, true},
    // Where a rigid body starts and how it meets the ground (host/simulation.h).
    {"rigidobject", KOM_DopCategory, KOM_NoCategory, 0, "Rigid Object", 0, 1, false, false,
     {{"t", "Position", KOM_FloatParmData, {"tx", "ty", "tz"}, {0.0, 5.0, 0.0}},
      floatVector("v", "Velocity", 0.0), floatScalar("mass", "Mass", 1.0),
      floatScalar("bounce", "Bounce", 0.0), floatScalar("radius", "Radius", 0.5)}},
};

// What users change on a type; the table above stays the baseline.
struct NodeTypeState
{
    std::vector<std::string> aliases;
    bool hidden = false;
};

std::map<NodeTypeInfo const *, NodeTypeState> theTypeStates;

bool isValidAlias(char const *alias)
{
    if (!alias || !*alias)
        return false;
    for (char const *c = alias; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '_')
            return false;
    return true;
}

class CategoryObject : public KOM_NodeTypeCategory
{
public:
    CategoryObject(int code, char const *name) : myCode(code), myName(name) {}

    int code() const { return myCode; }
    std::string const &categoryName() const { return myName; }

    int __hash__() override
    {
        hostOperation("NodeTypeCategory.__hash__");
        return static_cast<int>(std::hash<std::string>()(myName));
    }

    std::string __repr__() override
    {
        hostOperation("NodeTypeCategory.__repr__");
        return "<kal.NodeTypeCategory for " + myName + ">";
    }

    std::string name() override
    {
        hostOperation("NodeTypeCategory.name");
        return myName;
    }

    std::map<std::string, KOM_ElemPtr<KOM_NodeType>> nodeTypes() override
    {
        hostOperation("NodeTypeCategory.nodeTypes");
        std::map<std::string, KOM_ElemPtr<KOM_NodeType>> types;
        for (auto const &type : theNodeTypes)
            if (type.categoryCode == myCode)
                types[type.name] = nodeTypeHandle(&type);
        for (auto const *type : installedAssetTypes(myCode))
            types[type->name] = nodeTypeHandle(type);
        return types;
    }

    std::vector<KOM_ElemPtr<KOM_ViewerState>> viewerStates(KOM_EnumValue &viewer_type) override
    {
        hostOperation("NodeTypeCategory.viewerStates", viewer_type);
        if (std::string(viewer_type.enumType->name()) != typeid(KOM_paneTabType).name())
            throw KOM_TypeError("Expected a pane tab type");
        std::vector<KOM_ElemPtr<KOM_ViewerState>> states;
        for (auto const &type : theNodeTypes)
            if (type.categoryCode == myCode)
                if (KOM_ViewerState *state = viewerStateFor(&type, viewer_type))
                    states.emplace_back(state);
        return states;
    }

private:
    int myCode;
    std::string myName;
};

// Indexed by category code; they live as long as the host.
CategoryObject theCategories[] = {
    {KOM_ObjectCategory, "Object"}, {KOM_SopCategory, "Sop"},         {KOM_PopNetCategory, "PopNet"},
    {KOM_PopCategory, "Pop"},       {KOM_Cop2Category, "Cop2"},       {KOM_ChopCategory, "Chop"},
    {KOM_ChopNetCategory, "ChopNet"}, {KOM_ShopCategory, "Shop"},     {KOM_RopCategory, "Rop"},
    {KOM_Cop2NetCategory, "Cop2Net"}, {KOM_VopCategory, "Vop"},       {KOM_VopNetCategory, "VopNet"},
    {KOM_DopCategory, "Dop"},       {KOM_ManagerCategory, "Manager"}, {KOM_RootCategory, "Root"},
};

class NodeTypeHandle : public KOM_SopNodeType, public KOM_ShopNodeType, private LiveCounted
{
public:
    explicit NodeTypeHandle(NodeTypeInfo const *type) : myType(type) {}

    NodeTypeInfo const *identityKey() const { return myType; }
    KALHOST_COMPARED_BY_IDENTITY(NodeType)

    std::string __repr__() override
    {
        hostOperation("NodeType.__repr__");
        return "<kal.NodeType " + fullName() + ">";
    }

    KOM_NodeTypeCategory *category() override
    {
        hostOperation("NodeType.category");
        return categoryFor(myType->categoryCode);
    }

    std::string name() override
    {
        hostOperation("NodeType.name");
        return myType->name;
    }

    std::string description() override
    {
        hostOperation("NodeType.description");
        return myType->description.empty() ? myType->name : myType->description;
    }

    std::string nameWithCategory() override
    {
        hostOperation("NodeType.nameWithCategory");
        return fullName();
    }

    KOM_EnumValue *source() override
    {
        hostOperation("NodeType.source");
        return isAssetType(myType) ? &KOM_nodeTypeSource::Subnet : &KOM_nodeTypeSource::Internal;
    }

    std::string sourcePath() override
    {
        hostOperation("NodeType.sourcePath");
        auto const asset = currentDefinition(myType);
        auto const library = asset ? asset->library.lock() : nullptr;
        return library ? library->path : "internal";
    }

    KOM_Node *sourceNetwork() override
    {
        hostOperation("NodeType.sourceNetwork");
        return nullptr; // built-in types are not made from a network
    }

    KOM_KDADefinition *definition() override
    {
        hostOperation("NodeType.definition");
        return definitionHandle(currentDefinition(myType));
    }

    std::vector<KOM_ElemPtr<KOM_KDADefinition>> allInstalledDefinitions() override
    {
        hostOperation("NodeType.allInstalledDefinitions");
        return installedDefinitionHandles(myType);
    }

    std::string icon() override
    {
        hostOperation("NodeType.icon");
        auto const asset = currentDefinition(myType);
        if (asset && !asset->icon.empty())
            return asset->icon;
        std::string prefix;
        for (char c : categoryNameOf(myType->categoryCode))
            prefix += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return prefix + "_" + myType->name;
    }

    int minNumInputs() override
    {
        hostOperation("NodeType.minNumInputs");
        return myType->minInputs;
    }

    int maxNumInputs() override
    {
        hostOperation("NodeType.maxNumInputs");
        return myType->maxInputs;
    }

    int maxNumOutputs() override
    {
        hostOperation("NodeType.maxNumOutputs");
        return isManagerType() ? 0 : 1;
    }

    bool isGenerator() override
    {
        hostOperation("NodeType.isGenerator");
        return myType->isGenerator;
    }

    bool isManager() override
    {
        hostOperation("NodeType.isManager");
        return isManagerType();
    }

    bool hasUnorderedInputs() override
    {
        hostOperation("NodeType.hasUnorderedInputs");
        return myType->hasUnorderedInputs;
    }

    std::vector<std::string> aliases() override
    {
        hostOperation("NodeType.aliases");
        return theTypeStates[myType].aliases;
    }

    void addAlias(char const *alias) override
    {
        hostOperation("NodeType.addAlias", alias);
        if (!isValidAlias(alias))
            throw KOM_OperationFailed("Invalid alias");
        auto &aliases = theTypeStates[myType].aliases;
        for (auto const &existing : aliases)
            if (existing == alias)
                throw KOM_OperationFailed(("Alias already in use: " + existing).c_str());
        aliases.push_back(alias);
    }

    void removeAlias(char const *alias) override
    {
        hostOperation("NodeType.removeAlias", alias);
        auto &aliases = theTypeStates[myType].aliases;
        for (auto it = aliases.begin(); it != aliases.end(); ++it)
            if (alias && *it == alias)
            {
                aliases.erase(it);
                return;
            }
        throw KOM_OperationFailed("No such alias");
    }

    bool hidden() override
    {
        hostOperation("NodeType.hidden");
        return theTypeStates[myType].hidden;
    }

    void setHidden(bool hidden) override
    {
        hostOperation("NodeType.setHidden", hidden);
        theTypeStates[myType].hidden = hidden;
    }

    std::vector<KOM_ElemPtr<KOM_Node>> instances() override
    {
        hostOperation("NodeType.instances");
        return NodeHandle::handlesFor(theScene().instances(myType));
    }

    KOM_KDAModule *kdaModule() override
    {
        hostOperation("NodeType.kdaModule");
        return isAssetType(myType) ? assetModuleHandle(myType) : nullptr;
    }

    int categoryCode() override
    {
        hostOperation("NodeType.categoryCode");
        return myType->categoryCode;
    }

    std::vector<KOM_ElemPtr<KOM_Selector>> selectors(std::vector<int> selector_indices) override
    {
        hostOperation("SopNodeType.selectors", selector_indices);
        return selectorsOf(myType, selector_indices);
    }

    KOM_Selector *addSelector(char const *name, char const *selector_type, char const *prompt,
                              std::vector<KOM_EnumValue *> primitive_types,
                              char const *group_parm_name, char const *group_type_parm_name,
                              int input_index, bool input_required, bool allow_dragging,
                              bool empty_string_selects_all) override
    {
        hostOperation("SopNodeType.addSelector", name, selector_type, prompt, primitive_types,
                      group_parm_name, group_type_parm_name, input_index, input_required,
                      allow_dragging, empty_string_selects_all);
        for (auto const *value : primitive_types)
            if (!value || std::string(value->enumType->name()) != typeid(KOM_primType).name())
                throw KOM_TypeError("Expected primitive types");
        return addSelectorTo(myType, name, selector_type, prompt, primitive_types, group_parm_name,
                             group_type_parm_name, input_index, input_required, allow_dragging,
                             empty_string_selects_all);
    }

    KOM_EnumValue *shaderType() override
    {
        hostOperation("ShopNodeType.shaderType");
        return myType->categoryCode == KOM_ShopCategory ? &KOM_shaderType::Surface : nullptr;
    }

    std::string renderMask() override
    {
        hostOperation("ShopNodeType.renderMask");
        return "*";
    }

    std::string fullName() const { return categoryNameOf(myType->categoryCode) + "/" + myType->name; }

private:
    bool isManagerType() const
    {
        return myType->categoryCode == KOM_ManagerCategory || myType->categoryCode == KOM_RootCategory;
    }

    NodeTypeInfo const *myType;
};

struct ZelContextInfo
{
    char const *name;
    int categoryCode;
    KOM_EnumValue *shaderType; // null for contexts that are not shading
    std::map<std::string, std::string> loadedFunctions;
};

std::vector<ZelContextInfo> const theZelContexts = {
    {"surface", KOM_ShopCategory, &KOM_shaderType::Surface,
     {{"plastic", "zel/surface/plastic.zel"}, {"matte", "zel/surface/matte.zel"}}},
    {"displace", KOM_ShopCategory, &KOM_shaderType::Displacement, {}},
    {"light", KOM_ShopCategory, &KOM_shaderType::Light, {{"pointlight", "zel/light/pointlight.zel"}}},
    {"fog", KOM_ShopCategory, &KOM_shaderType::Atmosphere, {}},
    {"sop", KOM_SopCategory, nullptr, {}},
    {"pop", KOM_PopCategory, nullptr, {}},
    {"chop", KOM_ChopCategory, nullptr, {}},
    {"cop2", KOM_Cop2Category, nullptr, {}},
};

class ZelContextHandle : public KOM_ZelContext, private LiveCounted
{
public:
    explicit ZelContextHandle(ZelContextInfo const *context) : myContext(context) {}

    std::string __repr__() override
    {
        hostOperation("ZelContext.__repr__");
        return std::string("<kal.ZelContext ") + myContext->name + ">";
    }

    std::string name() override
    {
        hostOperation("ZelContext.name");
        return myContext->name;
    }

    KOM_NodeTypeCategory *nodeTypeCategory() override
    {
        hostOperation("ZelContext.nodeTypeCategory");
        return categoryFor(myContext->categoryCode);
    }

    KOM_EnumValue *shaderType() override
    {
        hostOperation("ZelContext.shaderType");
        return myContext->shaderType;
    }

    std::map<std::string, std::string> pathsToLoadedZelFunctions() override
    {
        hostOperation("ZelContext.pathsToLoadedZelFunctions");
        return myContext->loadedFunctions;
    }

private:
    ZelContextInfo const *myContext;
};

} // namespace

NodeTypeInfo const *findNodeType(int categoryCode, std::string const &name)
{
    for (auto const &type : theNodeTypes)
        if (type.categoryCode == categoryCode && type.name == name)
            return &type;
    return findAssetType(categoryCode, name);
}

void resetNodeTypes() { theTypeStates.clear(); }

KOM_NodeType *nodeTypeHandle(NodeTypeInfo const *type)
{
    return type ? new NodeTypeHandle(type) : nullptr;
}

KOM_NodeTypeCategory *categoryFor(int categoryCode)
{
    for (auto &category : theCategories)
        if (category.code() == categoryCode)
            return &category;
    return nullptr;
}

std::string categoryNameOf(int categoryCode)
{
    auto category = static_cast<CategoryObject *>(categoryFor(categoryCode));
    return category ? category->categoryName() : "";
}

int categoryCodeOf(KOM_NodeTypeCategory &category)
{
    auto object = dynamic_cast<CategoryObject *>(&category);
    return object ? object->code() : KOM_NoCategory;
}

std::map<std::string, KOM_NodeTypeCategory *> categoriesByName()
{
    std::map<std::string, KOM_NodeTypeCategory *> byName;
    for (auto &category : theCategories)
        byName[category.categoryName()] = &category;
    return byName;
}

std::vector<KOM_ElemPtr<KOM_ZelContext>> zelContexts()
{
    std::vector<KOM_ElemPtr<KOM_ZelContext>> contexts;
    for (auto const &context : theZelContexts)
        contexts.emplace_back(new ZelContextHandle(&context));
    return contexts;
}

KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shaderType)
{
    if (std::string(shaderType.enumType->name()) != typeid(KOM_shaderType).name())
        throw KOM_TypeError("Expected a shader type");
    for (auto const &context : theZelContexts)
        if (context.shaderType && context.shaderType->valueId == shaderType.valueId)
            return new ZelContextHandle(&context);
    return nullptr;
}

KOM_ZelContext *zelContextForCategory(KOM_NodeTypeCategory &category)
{
    int const code = categoryCodeOf(category);
    for (auto const &context : theZelContexts)
        if (context.categoryCode == code)
            return new ZelContextHandle(&context);
    return nullptr;
}

JournalValue JournalFormat<KOM_NodeType>::format(KOM_NodeType const &type)
{
    auto handle = dynamic_cast<NodeTypeHandle const *>(&type);
    return JournalValue::ofText(handle ? handle->fullName() : "<node type>");
}

JournalValue JournalFormat<KOM_NodeTypeCategory>::format(KOM_NodeTypeCategory const &category)
{
    auto object = dynamic_cast<CategoryObject const *>(&category);
    return JournalValue::ofText(object ? object->categoryName() : "<category>");
}

} // namespace kalhost
