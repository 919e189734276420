// Viewports, their settings and the selections the user makes in viewers, in the reference host.
#include <algorithm>

#include "host/geometry.h"
#include "host/kept.h"
#include "host/nodes.h"
#include "host/simulation.h"
#include "host/ui.h"
#include "model/simulation.h"

namespace kalhost
{

namespace
{

// --- Selection strings -------------------------------------------------------------------

// "first-last" for a run of `count` components from `first`; "" for none.
std::string rangeText(std::size_t first, std::size_t count)
{
    if (count == 0)
        return "";
    if (count == 1)
        return std::to_string(first);
    return std::to_string(first) + "-" + std::to_string(first + count - 1);
}

// Numbers and ranges of numbers ("0-3 7"), each short enough to shift without overflow.
bool isComponentList(std::string const &text)
{
    std::size_t digits = 0;
    for (char c : text)
    {
        if (c >= '0' && c <= '9')
        {
            if (++digits > 15)
                return false;
        }
        else if (c == ' ' || c == '-')
            digits = 0;
        else
            return false;
    }
    return true;
}

// Shifts every number of a selection string ("0-3 7") by `offset`.
std::string shifted(std::string const &text, std::size_t offset)
{
    std::string result, number;
    auto flush = [&] {
        if (!number.empty())
            result += std::to_string(std::stoull(number) + offset);
        number.clear();
    };
    for (char c : text)
    {
        if (c >= '0' && c <= '9')
            number += c;
        else
        {
            flush();
            result += c;
        }
    }
    flush();
    return result;
}

struct SelectedGeometry
{
    std::shared_ptr<SceneNode> node; // weakly held by handles through the selection
    std::string text;                // the components, or empty for the whole geometry
};

struct GeometrySelectionState
{
    std::vector<std::weak_ptr<SceneNode>> nodes;
    std::vector<std::string> texts; // per node: the components, empty for all
    KOM_EnumValue *geometryType = &KOM_geometryType::Primitives;
    KOM_EnumValue *connectivity = &KOM_connectivityType::NoConnectivity;
    std::vector<KOM_EnumValue *> primitiveTypes;
    bool ordered = false;
};

std::size_t componentCount(std::shared_ptr<SceneNode> const &node, KOM_EnumValue const *type)
{
    if (node->type->categoryCode != KOM_SopCategory) // a dynamics node's points are the data's
        return 0;
    GeometryData const &data = cookedGeometry(node);
    if (type == &KOM_geometryType::Points || type == &KOM_geometryType::Breakpoints)
        return data.pointCount();
    if (type == &KOM_geometryType::Vertices)
        return data.vertexCount();
    return data.primCount();
}

std::shared_ptr<SceneNode> selectedNode(std::weak_ptr<SceneNode> const &held)
{
    return liveNode(held, "A selected node no longer exists");
}

// --- Handles -------------------------------------------------------------------------------

// A viewport looks through object nodes of type cam only.
void requireCamera(std::weak_ptr<ViewportState> const &viewport, KOM_ObjNode &cameraNode)
{
    lockOrGone(viewport, "viewport");
    auto node = NodeHandle::sceneOf(&cameraNode);
    if (node->type->name != "cam")
        throw KOM_InvalidNodeType(("Not a camera: " + node->path()).c_str());
}

class ViewportSettingsHandle : public KOM_GeometryViewportSettings, private LiveCounted
{
public:
    explicit ViewportSettingsHandle(std::weak_ptr<ViewportState> viewport) : myViewport(std::move(viewport)) {}

    std::string __repr__() override
    {
        hostOperation("GeometryViewportSettings.__repr__");
        return "<kal.GeometryViewportSettings for " + state()->name + ">";
    }
    KOM_EnumValue *viewportType() override
    {
        hostOperation("GeometryViewportSettings.viewportType");
        return state()->type;
    }
    float normalScale() override
    {
        hostOperation("GeometryViewportSettings.normalScale");
        return state()->normalScale;
    }
    void setNormalScale(float normal_scale) override
    {
        hostOperation("GeometryViewportSettings.setNormalScale", normal_scale);
        state()->normalScale = normal_scale;
    }
    void setCamera(KOM_ObjNode &camera_node) override
    {
        hostOperation("GeometryViewportSettings.setCamera", static_cast<KOM_Node &>(camera_node));
        requireCamera(myViewport, camera_node);
    }
    void saveViewToCamera(KOM_ObjNode &camera_node) override
    {
        hostOperation("GeometryViewportSettings.saveViewToCamera", static_cast<KOM_Node &>(camera_node));
        requireCamera(myViewport, camera_node);
    }

private:
    std::shared_ptr<ViewportState> state() const { return lockOrGone(myViewport, "viewport"); }
    std::weak_ptr<ViewportState> myViewport;
};

class ViewportHandle : public KOM_GeometryViewport
{
public:
    explicit ViewportHandle(std::weak_ptr<ViewportState> viewport) : myViewport(std::move(viewport)) {}

    std::string __repr__() override
    {
        hostOperation("GeometryViewport.__repr__");
        return "<kal.GeometryViewport " + state()->name + ">";
    }
    KOM_EnumValue *type() override
    {
        hostOperation("GeometryViewport.type");
        return state()->type;
    }
    KOM_GeometryViewportSettings *settings() override
    {
        hostOperation("GeometryViewport.settings");
        state();
        return new ViewportSettingsHandle(myViewport);
    }
    std::string name() override
    {
        hostOperation("GeometryViewport.name");
        return state()->name;
    }
    void home() override
    {
        hostOperation("GeometryViewport.home");
        state();
    }
    void setCamera(KOM_ObjNode &camera_node) override
    {
        hostOperation("GeometryViewport.setCamera", static_cast<KOM_Node &>(camera_node));
        requireCamera(myViewport, camera_node);
    }
    void saveViewToCamera(KOM_ObjNode &camera_node) override
    {
        hostOperation("GeometryViewport.saveViewToCamera", static_cast<KOM_Node &>(camera_node));
        requireCamera(myViewport, camera_node);
    }

private:
    std::shared_ptr<ViewportState> state() const { return lockOrGone(myViewport, "viewport"); }
    std::weak_ptr<ViewportState> myViewport;
};

// A viewport handle a script owns.
class OwnedViewportHandle : public ViewportHandle, private LiveCounted
{
public:
    using ViewportHandle::ViewportHandle;
};

class GeometrySelectionHandle : public KOM_GeometrySelection, private LiveCounted
{
public:
    explicit GeometrySelectionHandle(std::shared_ptr<GeometrySelectionState> state)
        : myState(std::move(state))
    {
    }

    std::string __repr__() override
    {
        hostOperation("GeometrySelection.__repr__");
        return "<kal.GeometrySelection of " + std::to_string(myState->nodes.size()) + " nodes>";
    }
    std::string __str__() override
    {
        hostOperation("GeometrySelection.__str__");
        std::string text;
        for (std::size_t i = 0; i < myState->nodes.size(); ++i)
        {
            auto node = myState->nodes[i].lock();
            text += (i ? " " : "") + (node ? node->path() : std::string("<deleted>")) + ":" +
                    myState->texts[i];
        }
        return text;
    }
    bool ordered() override
    {
        hostOperation("GeometrySelection.ordered");
        return myState->ordered;
    }
    KOM_EnumValue *geometryType() override
    {
        hostOperation("GeometrySelection.geometryType");
        return myState->geometryType;
    }
    void setGeometryType(KOM_EnumValue &geometry_type) override
    {
        hostOperation("GeometrySelection.setGeometryType", geometry_type);
        requireValueOf<KOM_geometryType>(geometry_type, "geometryType");
        if (&geometry_type != myState->geometryType)
            std::fill(myState->texts.begin(), myState->texts.end(), std::string()); // all of each
        myState->geometryType = &geometry_type;
    }
    KOM_EnumValue *connectivity() override
    {
        hostOperation("GeometrySelection.connectivity");
        return myState->connectivity;
    }
    void setConnectivity(KOM_EnumValue &connectivity) override
    {
        hostOperation("GeometrySelection.setConnectivity", connectivity);
        requireValueOf<KOM_connectivityType>(connectivity, "connectivityType");
        myState->connectivity = &connectivity;
    }
    std::vector<KOM_EnumValue *> primitiveTypes() override
    {
        hostOperation("GeometrySelection.primitiveTypes");
        return myState->primitiveTypes;
    }
    void setPrimitiveTypes(std::vector<KOM_EnumValue *> const &primitive_types) override
    {
        hostOperation("GeometrySelection.setPrimitiveTypes", primitive_types);
        for (auto const *type : primitive_types)
            if (!type)
                throw KOM_TypeError("Expected primType values, not None");
            else
                requireValueOf<KOM_primType>(*type, "primType");
        myState->primitiveTypes = primitive_types;
    }
    std::vector<KOM_ElemPtr<KOM_Node>> nodes() override
    {
        hostOperation("GeometrySelection.nodes");
        std::vector<std::shared_ptr<SceneNode>> live;
        for (auto const &node : myState->nodes)
            live.push_back(selectedNode(node));
        return NodeHandle::handlesFor(live);
    }
    std::vector<std::string> selectionStrings(bool empty_string_selects_all) override
    {
        hostOperation("GeometrySelection.selectionStrings", empty_string_selects_all);
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < myState->nodes.size(); ++i)
            texts.push_back(textOf(i, 0, empty_string_selects_all));
        return texts;
    }
    bool needsMergedNode(KOM_Node &parent) override
    {
        hostOperation("GeometrySelection.needsMergedNode", parent);
        requireInside(parent);
        return myState->nodes.size() > 1;
    }
    KOM_Node *mergedNode(KOM_Node &parent, char const *creator_name,
                         bool force_keep_original_objects, bool display_original_objects) override
    {
        hostOperation("GeometrySelection.mergedNode", parent, creator_name,
                      force_keep_original_objects, display_original_objects);
        auto network = requireInside(parent);
        std::shared_ptr<SceneNode> result;
        if (myState->nodes.size() == 1)
            result = selectedNode(myState->nodes[0]);
        else
        {
            result = theScene().create(network, "merge", creator_name);
            std::unique_ptr<KOM_Node> merge(NodeHandle::handleFor(result));
            for (std::size_t i = 0; i < myState->nodes.size(); ++i)
            {
                std::unique_ptr<KOM_Node> input(NodeHandle::handleFor(selectedNode(myState->nodes[i])));
                merge->setInput(static_cast<int>(i), input.get(), 0);
            }
        }
        return NodeHandle::keptFor(result);
    }
    std::string mergedSelectionString(bool empty_string_selects_all) override
    {
        hostOperation("GeometrySelection.mergedSelectionString", empty_string_selects_all);
        bool whole = true;
        for (auto const &text : myState->texts)
            whole = whole && text.empty();
        if (whole && empty_string_selects_all)
            return "";
        std::string merged;
        std::size_t offset = 0;
        for (std::size_t i = 0; i < myState->nodes.size(); ++i)
        {
            std::string const text = textOf(i, offset, false);
            if (!text.empty())
                merged += (merged.empty() ? "" : " ") + text;
            offset += componentCount(selectedNode(myState->nodes[i]), myState->geometryType);
        }
        return merged;
    }

private:
    // Node i's components, numbered from `offset`.
    std::string textOf(std::size_t i, std::size_t offset, bool emptySelectsAll) const
    {
        auto node = selectedNode(myState->nodes[i]);
        if (!myState->texts[i].empty())
            return shifted(myState->texts[i], offset);
        return emptySelectsAll ? "" : rangeText(offset, componentCount(node, myState->geometryType));
    }

    // The network `parent` holds; every selected node must be in it.
    std::shared_ptr<SceneNode> requireInside(KOM_Node &parent) const
    {
        auto network = NodeHandle::sceneOf(&parent);
        for (auto const &held : myState->nodes)
            if (selectedNode(held)->parent.lock() != network)
                throw KOM_OperationFailed(("The selected nodes are not all inside " + network->path()).c_str());
        return network;
    }

    std::shared_ptr<GeometrySelectionState> myState;
};

class ParticleSelectionHandle : public KOM_ParticleSelection, private LiveCounted
{
public:
    explicit ParticleSelectionHandle(std::vector<std::shared_ptr<SceneNode>> const &nodes)
        : myNodes(nodes.begin(), nodes.end())
    {
    }

    std::string __repr__() override
    {
        hostOperation("ParticleSelection.__repr__");
        return "<kal.ParticleSelection of " + std::to_string(myNodes.size()) + " nodes>";
    }
    std::string __str__() override
    {
        hostOperation("ParticleSelection.__str__");
        std::string text;
        for (auto const &held : myNodes)
        {
            auto node = held.lock();
            text += (text.empty() ? "" : " ") + (node ? node->path() : std::string("<deleted>"));
        }
        return text;
    }
    KOM_Node *popNetwork() override
    {
        hostOperation("ParticleSelection.popNetwork");
        return myNodes.empty() ? nullptr : NodeHandle::handleFor(selectedNode(myNodes[0])->parent.lock());
    }
    std::vector<KOM_ElemPtr<KOM_Node>> popNodes() override
    {
        hostOperation("ParticleSelection.popNodes");
        std::vector<std::shared_ptr<SceneNode>> live;
        for (auto const &node : myNodes)
            live.push_back(selectedNode(node));
        return NodeHandle::handlesFor(live);
    }

private:
    std::vector<std::weak_ptr<SceneNode>> myNodes;
};


} // namespace

KOM_GeometryViewport *ownedViewport(std::shared_ptr<ViewportState> const &viewport)
{
    return new OwnedViewportHandle(viewport);
}

KOM_GeometryViewport *keptViewport(std::shared_ptr<ViewportState> const &viewport)
{
    // The viewer's own handle: a proxy of it may outlive its tab, and then learns the viewport
    // is gone.
    static KeptHandles<std::weak_ptr<ViewportState>, KOM_GeometryViewport, std::owner_less<>> kept;
    return kept(viewport, [&viewport] { return new ViewportHandle(viewport); });
}

KOM_GeometrySelection *answeredGeometrySelection(char const *operation, JournalValue const &answer,
                                                bool ordered,
                                                std::vector<KOM_EnumValue *> const &geometryTypes,
                                                std::vector<KOM_EnumValue *> const &primitiveTypes)
{
    auto state = std::make_shared<GeometrySelectionState>();
    state->ordered = ordered;
    for (auto const *type : geometryTypes)
        if (type)
            requireValueOf<KOM_geometryType>(*type, "geometryType");
    if (!geometryTypes.empty() && geometryTypes.front())
        state->geometryType = geometryTypes.front();
    state->primitiveTypes = primitiveTypes;
    for (auto const &item : itemsOf(answer))
    {
        bool const paired = item.kind == JournalValue::Kind::Tuple && item.items.size() == 2 &&
                            item.items[1].kind == JournalValue::Kind::Text;
        auto node = answeredNodes({paired ? item.items[0] : item}, operation, KOM_SopCategory);
        state->nodes.push_back(node.front());
        std::string const components = paired ? item.items[1].text : std::string();
        if (!isComponentList(components))
            badAnswer(operation, "a tuple of node paths, alone or with components as \"0-3 7\"");
        state->texts.push_back(components);
    }
    return new GeometrySelectionHandle(state);
}

KOM_ParticleSelection *answeredParticleSelection(char const *operation, bool allowMultisel)
{
    auto nodes = answeredNodes(itemsOf(answerTo(operation)), operation, KOM_PopCategory);
    if (!allowMultisel && nodes.size() > 1)
        nodes.resize(1);
    return new ParticleSelectionHandle(nodes);
}

std::vector<std::pair<KOM_ElemPtr<KOM_DopData>, KOM_ElemPtr<KOM_GeometrySelection>>>
answeredDynamics(char const *operation, bool allowMultisel)
{
    std::vector<std::pair<std::unique_ptr<KOM_DopData>, std::unique_ptr<KOM_GeometrySelection>>> made;
    for (auto const &item : itemsOf(answerTo(operation)))
    {
        bool const paired = item.kind == JournalValue::Kind::Tuple && item.items.size() == 2 &&
                            item.items[1].kind == JournalValue::Kind::Text;
        auto node = answeredNodes({paired ? item.items[0] : item}, operation, KOM_DopCategory).front();
        std::unique_ptr<KOM_DopData> data(dynamicsDataOf(node));
        if (!data)
            throw KOM_OperationFailed((node->path() + " made no simulation data").c_str());
        std::string const components = paired ? item.items[1].text : std::string();
        if (!isComponentList(components))
            badAnswer(operation, "a tuple of node paths, alone or with components as \"0-3 7\"");
        auto state = std::make_shared<GeometrySelectionState>();
        state->geometryType = &KOM_geometryType::Points;
        state->nodes.push_back(node);
        state->texts.push_back(components);
        made.emplace_back(std::move(data), std::make_unique<GeometrySelectionHandle>(state));
        if (!allowMultisel)
            break;
    }
    std::vector<std::pair<KOM_ElemPtr<KOM_DopData>, KOM_ElemPtr<KOM_GeometrySelection>>> selected;
    selected.reserve(made.size());
    for (auto &[data, points] : made)
        selected.emplace_back(data.release(), points.release());
    return selected;
}

KOM_DopData *dynamicsDataOf(std::shared_ptr<SceneNode> const &node) { return objectHandleOf(node); }

} // namespace kalhost
