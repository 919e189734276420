// What node types give the viewers of the reference host: selectors, which ask for the geometry
// of a surface node's inputs, and viewer states, one per node type a viewer can create.
#include <algorithm>
#include <unordered_map>

#include "host/nodetypes.h"
#include "host/ui.h"

namespace kalhost
{

namespace
{

struct SelectorState
{
    NodeTypeInfo const *type;
    std::string name, selectorType, prompt, groupParmName, groupTypeParmName;
    std::vector<KOM_EnumValue *> primitiveTypes;
    int inputIndex;
    bool inputRequired, allowDragging, emptyStringSelectsAll;
};

// Each surface node type's selectors, in the order they were added.
std::unordered_map<NodeTypeInfo const *, std::vector<std::shared_ptr<SelectorState>>> theSelectors;

// What a selector type selects, and the value of the group type parameter for each.
struct SelectorKind
{
    char const *name;
    std::vector<KOM_EnumValue *> geometryTypes;
    std::vector<int> groupTypeValues;
};

std::vector<SelectorKind> const theSelectorKinds = {
    {"prims", {&KOM_geometryType::Primitives}, {0}},
    {"points", {&KOM_geometryType::Points}, {1}},
    {"edges", {&KOM_geometryType::Edges}, {2}},
    {"vertices", {&KOM_geometryType::Vertices}, {3}},
    {"everything", {&KOM_geometryType::Primitives, &KOM_geometryType::Points, &KOM_geometryType::Edges},
     {0, 1, 2}},
};

SelectorKind const *selectorKind(std::string const &name)
{
    for (auto const &kind : theSelectorKinds)
        if (name == kind.name)
            return &kind;
    return nullptr;
}

class SelectorHandle : public KOM_Selector, private LiveCounted
{
public:
    explicit SelectorHandle(std::weak_ptr<SelectorState> selector) : mySelector(std::move(selector)) {}

    std::string __repr__() override
    {
        hostOperation("Selector.__repr__");
        auto selector = state();
        return "<kal.Selector " + selector->name + " for " + selector->type->name + ">";
    }
    std::string name() override
    {
        hostOperation("Selector.name");
        return state()->name;
    }
    KOM_NodeType *nodeType() override
    {
        hostOperation("Selector.nodeType");
        return nodeTypeHandle(state()->type);
    }
    std::string selectorType() override
    {
        hostOperation("Selector.selectorType");
        return state()->selectorType;
    }
    std::vector<KOM_EnumValue *> geometryTypes() override
    {
        hostOperation("Selector.geometryTypes");
        return selectorKind(state()->selectorType)->geometryTypes;
    }
    std::vector<int> groupTypeParmValues() override
    {
        hostOperation("Selector.groupTypeParmValues");
        return selectorKind(state()->selectorType)->groupTypeValues;
    }
    bool ordered() override
    {
        hostOperation("Selector.ordered");
        state();
        return false;
    }
    std::string prompt() override
    {
        hostOperation("Selector.prompt");
        return state()->prompt;
    }
    std::vector<KOM_EnumValue *> primitiveTypes() override
    {
        hostOperation("Selector.primitiveTypes");
        return state()->primitiveTypes;
    }
    std::string groupParmName() override
    {
        hostOperation("Selector.groupParmName");
        return state()->groupParmName;
    }
    std::string groupTypeParmName() override
    {
        hostOperation("Selector.groupTypeParmName");
        return state()->groupTypeParmName;
    }
    int inputIndex() override
    {
        hostOperation("Selector.inputIndex");
        return state()->inputIndex;
    }
    bool inputRequired() override
    {
        hostOperation("Selector.inputRequired");
        return state()->inputRequired;
    }
    bool allowDragging() override
    {
        hostOperation("Selector.allowDragging");
        return state()->allowDragging;
    }
    bool emptyStringSelectsAll() override
    {
        hostOperation("Selector.emptyStringSelectsAll");
        return state()->emptyStringSelectsAll;
    }
    void destroy() override
    {
        hostOperation("Selector.destroy");
        auto selector = state();
        auto &selectors = theSelectors[selector->type];
        selectors.erase(std::remove(selectors.begin(), selectors.end(), selector), selectors.end());
    }

private:
    std::shared_ptr<SelectorState> state() const { return lockOrGone(mySelector, "selector"); }
    std::weak_ptr<SelectorState> mySelector;
};

// A state creates nodes of its type; the host keeps nothing of it, so it never goes away.
class ViewerStateHandle : public KOM_ViewerState, private LiveCounted
{
public:
    explicit ViewerStateHandle(NodeTypeInfo const *type) : myType(type) {}

    std::string __repr__() override
    {
        hostOperation("ViewerState.__repr__");
        return "<kal.ViewerState " + myType->name + ">";
    }
    std::string name() override
    {
        hostOperation("ViewerState.name");
        return myType->name;
    }
    std::string description() override
    {
        hostOperation("ViewerState.description");
        return "Creates " + (myType->description.empty() ? myType->name : myType->description);
    }
    std::string icon() override
    {
        hostOperation("ViewerState.icon");
        return categoryNameOf(myType->categoryCode) + "_" + myType->name;
    }
    std::vector<KOM_NodeTypeCategory *> categories() override
    {
        hostOperation("ViewerState.categories");
        return {categoryFor(myType->categoryCode)};
    }
    KOM_NodeType *nodeType() override
    {
        hostOperation("ViewerState.nodeType");
        return nodeTypeHandle(myType);
    }
    bool isHidden() override
    {
        hostOperation("ViewerState.isHidden");
        return false;
    }

private:
    static std::string categoryNameOf(int code)
    {
        for (auto const &[name, category] : categoriesByName())
            if (categoryCodeOf(*category) == code)
                return name;
        return "";
    }

    NodeTypeInfo const *myType;
};

} // namespace

std::vector<KOM_ElemPtr<KOM_Selector>> selectorsOf(NodeTypeInfo const *type, std::vector<int> const &indices)
{
    auto const found = theSelectors.find(type);
    std::vector<std::shared_ptr<SelectorState>> const none;
    auto const &selectors = found == theSelectors.end() ? none : found->second;
    std::vector<KOM_ElemPtr<KOM_Selector>> handles;
    if (indices.empty())
        for (auto const &selector : selectors)
            handles.emplace_back(new SelectorHandle(selector));
    for (int index : indices)
        if (index >= 0 && static_cast<std::size_t>(index) < selectors.size())
            handles.emplace_back(new SelectorHandle(selectors[index]));
    return handles;
}

KOM_Selector *addSelectorTo(NodeTypeInfo const *type, char const *name, char const *selectorType,
                            char const *prompt, std::vector<KOM_EnumValue *> const &primitiveTypes,
                            char const *groupParmName, char const *groupTypeParmName,
                            int inputIndex, bool inputRequired, bool allowDragging,
                            bool emptyStringSelectsAll)
{
    if (!name || !*name)
        throw KOM_OperationFailed("A selector needs a name");
    if (!selectorType || !selectorKind(selectorType))
        throw KOM_OperationFailed(
            (std::string("Unknown selector type: ") + (selectorType ? selectorType : "")).c_str());
    if (inputIndex < 0 || inputIndex >= type->maxInputs) // a generator has no input to select for
        throw KOM_OperationFailed(("No input " + std::to_string(inputIndex) + " on " + type->name).c_str());
    auto selector = std::make_shared<SelectorState>(SelectorState{
        type, name, selectorType, prompt ? prompt : "", groupParmName ? groupParmName : "",
        groupTypeParmName ? groupTypeParmName : "", primitiveTypes, inputIndex, inputRequired,
        allowDragging, emptyStringSelectsAll});
    theSelectors[type].push_back(selector);
    return new SelectorHandle(selector);
}

KOM_ViewerState *viewerStateFor(NodeTypeInfo const *type, KOM_EnumValue const &viewerType)
{
    switch (kindOf(&viewerType))
    {
    case TabKind::SceneViewer: return new ViewerStateHandle(type);
    case TabKind::ParticleViewer: return type->categoryCode == KOM_PopCategory ? new ViewerStateHandle(type) : nullptr;
    default: return nullptr;
    }
}

void resetSelectors()
{
    theSelectors.clear();
    // The transform asks for the primitives it moves.
    if (auto const *xform = findNodeType(KOM_SopCategory, "xform"))
        theSelectors[xform].push_back(std::make_shared<SelectorState>(SelectorState{
            xform, "xform", "everything", "Select the geometry to transform", "group", "grouptype",
            {}, 0, true, true, true}));
}

} // namespace kalhost
