// The reference host's user interface: the desktop model, its handles, and the dialogs and
// interactive selections, which take what the user would answer from the scripted answers.
#include "host/ui.h"

#include <algorithm>
#include <deque>
#include <typeinfo>

#include "host/answers.h"
#include "host/geometry.h"
#include "host/journal.h"
#include "host/mathvalues.h"
#include "host/nodes.h"
#include "host/nodetypes.h"
#include "model/errors.h"
#include "model/nodetypes.h"
#include "model/shell.h"

namespace kalhost
{

namespace
{

// --- Tab kinds -----------------------------------------------------------------------------

enum class TabKind { Plain, PathBased, SceneViewer, ParticleViewer, NetworkEditor, HelpBrowser };

TabKind kindOf(KOM_EnumValue const *type)
{
    switch (type->valueId)
    {
    case KOM_SceneViewerPaneTabId:
    case KOM_ContextViewerPaneTabId: return TabKind::SceneViewer;
    case KOM_ParticleViewerPaneTabId: return TabKind::ParticleViewer;
    case KOM_NetworkEditorPaneTabId: return TabKind::NetworkEditor;
    case KOM_HelpBrowserPaneTabId: return TabKind::HelpBrowser;
    case KOM_ChannelViewerPaneTabId:
    case KOM_CompositorViewerPaneTabId:
    case KOM_OutputViewerPaneTabId:
    case KOM_ParmPaneTabId:
    case KOM_DetailsViewPaneTabId:
    case KOM_TreeViewPaneTabId: return TabKind::PathBased;
    default: return TabKind::Plain;
    }
}

char const *classNameOf(TabKind kind)
{
    switch (kind)
    {
    case TabKind::SceneViewer: return "SceneViewer";
    case TabKind::ParticleViewer: return "ParticleViewer";
    case TabKind::NetworkEditor: return "NetworkEditor";
    case TabKind::HelpBrowser: return "HelpBrowser";
    case TabKind::PathBased: return "PathBasedPaneTab";
    default: return "PaneTab";
    }
}

bool isPathBased(TabKind kind) { return kind != TabKind::Plain && kind != TabKind::HelpBrowser; }
bool isViewer(TabKind kind) { return kind == TabKind::SceneViewer || kind == TabKind::ParticleViewer; }

template <class Enumeration>
void requireValueOf(KOM_EnumValue const &value, char const *what)
{
    if (std::string(value.enumType->name()) != typeid(Enumeration).name())
        throw KOM_TypeError((std::string("Expected a ") + what + " value").c_str());
}

// --- The desktop ---------------------------------------------------------------------------

std::shared_ptr<DesktopState> theDesktop;

// Viewport handles the viewers keep: never deleted, so that a proxy of one may outlive its tab
// (the handle then reports the viewport gone).
std::deque<std::unique_ptr<KOM_GeometryViewport>> theKeptViewports;

// What the selections keep (their merged nodes) until the desktop is laid out anew.
std::vector<std::unique_ptr<KOM_Node>> theKeptNodes;

std::shared_ptr<SceneNode> managerNamed(char const *name)
{
    return theScene().root()->child(name);
}

std::shared_ptr<ViewportState> newViewport(std::string name, KOM_EnumValue *type)
{
    auto viewport = std::make_shared<ViewportState>();
    viewport->name = std::move(name);
    viewport->type = type;
    return viewport;
}

// Gives the tab what its type needs: viewers their four viewports, path-based tabs a network.
void equip(TabState &tab)
{
    TabKind const kind = kindOf(tab.type);
    if (isViewer(kind) && tab.viewports.empty())
        tab.viewports = {newViewport("persp1", &KOM_geometryViewportType::Perspective),
                         newViewport("top1", &KOM_geometryViewportType::Top),
                         newViewport("front1", &KOM_geometryViewportType::Front),
                         newViewport("right1", &KOM_geometryViewportType::Right)};
    if (isPathBased(kind) && !tab.pwd.lock())
        tab.pwd = managerNamed("obj");
    if (kind == TabKind::HelpBrowser && tab.homePage.empty())
        tab.homePage = tab.url = "help:/index";
}

std::shared_ptr<TabState> addTab(DesktopState &desktop, std::shared_ptr<PaneState> const &pane,
                                 KOM_EnumValue *type)
{
    auto tab = std::make_shared<TabState>();
    tab->name = "panetab" + std::to_string(desktop.nextTab++);
    tab->type = type;
    tab->pane = pane;
    equip(*tab);
    pane->tabs.push_back(tab);
    pane->current = tab;
    return tab;
}

std::shared_ptr<PaneState> newPane(DesktopState &desktop, bool floating)
{
    auto pane = std::make_shared<PaneState>();
    pane->name = "pane" + std::to_string(desktop.nextPane++);
    pane->floating = floating;
    return pane;
}

std::shared_ptr<DesktopState> baselineDesktop()
{
    auto desktop = std::make_shared<DesktopState>();
    desktop->name = "Build";
    auto viewer = newPane(*desktop, false);
    addTab(*desktop, viewer, &KOM_paneTabType::SceneViewer);
    auto side = newPane(*desktop, false);
    addTab(*desktop, side, &KOM_paneTabType::Parm);
    addTab(*desktop, side, &KOM_paneTabType::Textport);
    auto network = addTab(*desktop, side, &KOM_paneTabType::NetworkEditor);
    (void)network;
    desktop->panes = {viewer, side};
    return desktop;
}

std::shared_ptr<DesktopState> const &desktopState()
{
    if (!theDesktop)
        theDesktop = baselineDesktop();
    return theDesktop;
}

// Every tab of the desktop: docked ones pane by pane, or the floating ones.
std::vector<std::shared_ptr<TabState>> tabsOf(std::vector<std::shared_ptr<PaneState>> const &panes)
{
    std::vector<std::shared_ptr<TabState>> tabs;
    for (auto const &pane : panes)
        tabs.insert(tabs.end(), pane->tabs.begin(), pane->tabs.end());
    return tabs;
}

std::shared_ptr<TabState> nthOfType(std::vector<std::shared_ptr<TabState>> const &tabs,
                                    KOM_EnumValue const &type, int index)
{
    requireValueOf<KOM_paneTabType>(type, "paneTabType");
    for (auto const &tab : tabs)
        if (tab->type->valueId == type.valueId && index-- == 0)
            return tab;
    return nullptr;
}

// Takes the tab out of its pane; a pane left empty goes too, unless it is the desktop's last.
void removeTab(TabState &tab)
{
    auto pane = tab.pane.lock();
    if (!pane)
        return;
    auto &tabs = pane->tabs;
    auto found = std::find_if(tabs.begin(), tabs.end(), [&](auto const &t) { return t.get() == &tab; });
    if (found == tabs.end())
        return;
    std::size_t const at = found - tabs.begin();
    tabs.erase(found);
    if (!tabs.empty())
    {
        pane->current = tabs[std::min(at, tabs.size() - 1)];
        return;
    }
    auto &desktop = *desktopState();
    auto &owner = pane->floating ? desktop.floating : desktop.panes;
    if (pane->floating || owner.size() > 1)
        owner.erase(std::remove(owner.begin(), owner.end(), pane), owner.end());
}

// --- Scripted answers ----------------------------------------------------------------------

// The user's answer to `operation`; a cancel (None) interrupts it as an empty queue does.
JournalValue answerTo(char const *operation)
{
    JournalValue answer = takeAnswer(operation);
    if (answer.kind == JournalValue::Kind::None)
        throw KOM_OperationInterrupted((std::string("The user cancelled ") + operation + ".").c_str());
    return answer;
}

[[noreturn]] void badAnswer(char const *operation, char const *shape)
{
    throw KOM_InvalidInput(
        (std::string("The scripted answer to ") + operation + " is not " + shape + ".").c_str());
}

// A lone value answers as a tuple of one.
std::vector<JournalValue> itemsOf(JournalValue const &answer)
{
    return answer.kind == JournalValue::Kind::Tuple ? answer.items : std::vector<JournalValue>{answer};
}

double numberOf(JournalValue const &value, char const *operation, char const *shape)
{
    if (value.kind == JournalValue::Kind::Int)
        return static_cast<double>(value.integer);
    if (value.kind == JournalValue::Kind::Float)
        return value.real;
    badAnswer(operation, shape);
}

// The nodes at the answer's paths; each must exist and, when `category` is not negative, be of
// that category.
std::vector<std::shared_ptr<SceneNode>> answeredNodes(std::vector<JournalValue> const &items,
                                                      char const *operation, int category)
{
    std::vector<std::shared_ptr<SceneNode>> nodes;
    for (auto const &item : items)
    {
        if (item.kind != JournalValue::Kind::Text)
            badAnswer(operation, "a tuple of node paths");
        auto node = theScene().find(item.text, theScene().root());
        if (!node)
            throw KOM_OperationFailed(("No node at " + item.text).c_str());
        if (category >= 0 && node->type->categoryCode != category)
            throw KOM_OperationFailed(("Not a node of the kind selected here: " + item.text).c_str());
        nodes.push_back(std::move(node));
    }
    return nodes;
}

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
    GeometryData const &data = cookedGeometry(node);
    if (type == &KOM_geometryType::Points || type == &KOM_geometryType::Breakpoints)
        return data.pointCount();
    if (type == &KOM_geometryType::Vertices)
        return data.vertexCount();
    return data.primCount();
}

std::shared_ptr<SceneNode> liveNode(std::weak_ptr<SceneNode> const &held)
{
    auto node = held.lock();
    if (!node || !node->isInScene())
        throw KOM_ObjectWasDeleted("A selected node no longer exists");
    return node;
}

// --- Handles -------------------------------------------------------------------------------

template <class State>
std::shared_ptr<State> lockOrGone(std::weak_ptr<State> const &held, char const *what)
{
    auto state = held.lock();
    if (!state)
        throw KOM_ObjectWasDeleted((std::string("The ") + what + " no longer exists").c_str());
    return state;
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
        requireCamera(camera_node);
    }
    void saveViewToCamera(KOM_ObjNode &camera_node) override
    {
        hostOperation("GeometryViewportSettings.saveViewToCamera", static_cast<KOM_Node &>(camera_node));
        requireCamera(camera_node);
    }

    // Cameras are object nodes of type cam.
    void requireCamera(KOM_ObjNode &camera_node)
    {
        state();
        auto node = NodeHandle::sceneOf(&camera_node);
        if (node->type->name != "cam")
            throw KOM_InvalidNodeType(("Not a camera: " + node->path()).c_str());
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
        ViewportSettingsHandle(myViewport).requireCamera(camera_node);
    }
    void saveViewToCamera(KOM_ObjNode &camera_node) override
    {
        hostOperation("GeometryViewport.saveViewToCamera", static_cast<KOM_Node &>(camera_node));
        ViewportSettingsHandle(myViewport).requireCamera(camera_node);
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
            live.push_back(liveNode(node));
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
            result = liveNode(myState->nodes[0]);
        else
        {
            result = theScene().create(network, "merge", creator_name);
            std::unique_ptr<KOM_Node> merge(NodeHandle::handleFor(result));
            for (std::size_t i = 0; i < myState->nodes.size(); ++i)
            {
                std::unique_ptr<KOM_Node> input(NodeHandle::handleFor(liveNode(myState->nodes[i])));
                merge->setInput(static_cast<int>(i), input.get(), 0);
            }
        }
        theKeptNodes.emplace_back(NodeHandle::handleFor(result));
        return theKeptNodes.back().get();
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
            offset += componentCount(liveNode(myState->nodes[i]), myState->geometryType);
        }
        return merged;
    }

private:
    // Node i's components, numbered from `offset`.
    std::string textOf(std::size_t i, std::size_t offset, bool emptySelectsAll) const
    {
        auto node = liveNode(myState->nodes[i]);
        if (!myState->texts[i].empty())
            return shifted(myState->texts[i], offset);
        return emptySelectsAll ? "" : rangeText(offset, componentCount(node, myState->geometryType));
    }

    // The network `parent` holds; every selected node must be in it.
    std::shared_ptr<SceneNode> requireInside(KOM_Node &parent) const
    {
        auto network = NodeHandle::sceneOf(&parent);
        for (auto const &held : myState->nodes)
            if (liveNode(held)->parent.lock() != network)
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
        return myNodes.empty() ? nullptr : NodeHandle::handleFor(liveNode(myNodes[0])->parent.lock());
    }
    std::vector<KOM_ElemPtr<KOM_Node>> popNodes() override
    {
        hostOperation("ParticleSelection.popNodes");
        std::vector<std::shared_ptr<SceneNode>> live;
        for (auto const &node : myNodes)
            live.push_back(liveNode(node));
        return NodeHandle::handlesFor(live);
    }

private:
    std::vector<std::weak_ptr<SceneNode>> myNodes;
};

// --- Pane tabs -----------------------------------------------------------------------------

class PaneHandle;

// One class implements every pane tab interface, so that a tab whose type changes converts to
// its new class; operations of a class the tab no longer is report it not available.
class TabHandle : public KOM_SceneViewer,
                  public KOM_ParticleViewer,
                  public KOM_NetworkEditor,
                  public KOM_HelpBrowser,
                  private LiveCounted
{
public:
    explicit TabHandle(std::weak_ptr<TabState> tab) : myTab(std::move(tab)) {}

    static KOM_PaneTab *handleFor(std::shared_ptr<TabState> const &tab)
    {
        return tab ? static_cast<KOM_SceneViewer *>(new TabHandle(tab)) : nullptr;
    }
    static std::vector<KOM_ElemPtr<KOM_PaneTab>> handlesFor(std::vector<std::shared_ptr<TabState>> const &tabs)
    {
        std::vector<KOM_ElemPtr<KOM_PaneTab>> handles;
        for (auto const &tab : tabs)
            handles.emplace_back(handleFor(tab));
        return handles;
    }

    // --- PaneTab ---

    std::string __repr__() override
    {
        auto tab = myTab.lock();
        TabKind const kind = tab ? kindOf(tab->type) : TabKind::Plain;
        std::string const operation = std::string(classNameOf(kind)) + ".__repr__";
        hostOperation(operation.c_str());
        tab = state();
        return std::string("<kal.") + classNameOf(kind) + " " + tab->name + ">";
    }
    KOM_Pane *pane() override;
    std::string name() override
    {
        hostOperation("PaneTab.name");
        return state()->name;
    }
    void setName(char const *name) override
    {
        hostOperation("PaneTab.setName", name);
        auto tab = state();
        if (!name || !*name)
            throw KOM_OperationFailed("A pane tab needs a name");
        tab->name = name;
    }
    bool isCurrentTab() override
    {
        hostOperation("PaneTab.isCurrentTab");
        auto tab = state();
        auto pane = tab->pane.lock();
        return pane && pane->current.lock() == tab;
    }
    void setIsCurrentTab() override
    {
        hostOperation("PaneTab.setIsCurrentTab");
        auto tab = state();
        if (auto pane = tab->pane.lock())
            pane->current = tab;
    }
    bool isFloating() override
    {
        hostOperation("PaneTab.isFloating");
        auto pane = state()->pane.lock();
        return pane && pane->floating;
    }
    KOM_PaneTab *clone() override
    {
        hostOperation("PaneTab.clone");
        auto tab = state();
        auto pane = tab->pane.lock();
        auto &desktop = *desktopState();
        auto copy = std::make_shared<TabState>(*tab);
        copy->name = "panetab" + std::to_string(desktop.nextTab++);
        copy->viewports.clear();
        for (auto const &viewport : tab->viewports)
            copy->viewports.push_back(newViewport(viewport->name, viewport->type));
        // A floating tab's copy floats in a window of its own; a docked one joins its pane.
        if (pane && pane->floating)
        {
            pane = newPane(desktop, true);
            desktop.floating.push_back(pane);
        }
        copy->pane = pane;
        if (pane)
            pane->tabs.push_back(copy);
        return handleFor(copy);
    }
    void close() override
    {
        hostOperation("PaneTab.close");
        removeTab(*state());
    }
    KOM_EnumValue *type() override
    {
        hostOperation("PaneTab.type");
        return state()->type;
    }
    KOM_PaneTab *setType(KOM_EnumValue &type) override
    {
        hostOperation("PaneTab.setType", type);
        auto tab = state();
        requireValueOf<KOM_paneTabType>(type, "paneTabType");
        tab->type = &type;
        equip(*tab);
        return handleFor(tab);
    }

    // --- PathBasedPaneTab ---

    KOM_Node *pwd() override
    {
        hostOperation("PathBasedPaneTab.pwd");
        return NodeHandle::handleFor(network(pathBased()));
    }
    void setPwd(KOM_Node &node) override
    {
        hostOperation("PathBasedPaneTab.setPwd", node);
        show(pathBased(), NodeHandle::sceneOf(&node));
    }
    void cd(char const *path) override
    {
        hostOperation("PathBasedPaneTab.cd", path);
        auto tab = pathBased();
        auto node = theScene().find(path ? path : "", network(tab));
        if (!node)
            throw KOM_OperationFailed((std::string("No node at ") + (path ? path : "")).c_str());
        show(tab, node);
    }

    // --- Viewers ---

    std::vector<KOM_ElemPtr<KOM_GeometryViewport>> viewports() override
    {
        hostOperation(viewerOperation("viewports").c_str());
        std::vector<KOM_ElemPtr<KOM_GeometryViewport>> handles;
        for (auto const &viewport : viewer()->viewports)
            handles.emplace_back(new OwnedViewportHandle(viewport));
        return handles;
    }
    KOM_GeometryViewport *findViewport(char const *name) override
    {
        hostOperation(viewerOperation("findViewport").c_str(), name);
        for (auto const &viewport : viewer()->viewports)
            if (name && viewport->name == name)
                return new OwnedViewportHandle(viewport);
        return nullptr;
    }
    KOM_GeometryViewport *curViewport() override
    {
        hostOperation("SceneViewer.curViewport");
        auto const &viewport = sceneViewer()->viewports.front();
        if (!viewport->kept)
        {
            theKeptViewports.push_back(std::make_unique<ViewportHandle>(viewport));
            viewport->kept = theKeptViewports.back().get();
        }
        return viewport->kept;
    }
    std::string currentState() override
    {
        hostOperation(viewerOperation("currentState").c_str());
        return viewer()->currentState;
    }
    void enterViewState(bool wait_for_exit) override
    {
        std::string const operation = viewerOperation("enterViewState");
        hostOperation(operation.c_str(), wait_for_exit);
        enterState(operation, "view", wait_for_exit);
    }
    void enterCurrentNodeState(bool wait_for_exit) override
    {
        std::string const operation = viewerOperation("enterCurrentNodeState");
        hostOperation(operation.c_str(), wait_for_exit);
        auto current = network(viewer())->currentChild.lock();
        if (!current || !current->isInScene())
            throw KOM_OperationFailed("There is no current node");
        enterState(operation, current->type->name, wait_for_exit);
    }
    void setCurrentState(char const *state, bool wait_for_exit) override
    {
        std::string const operation = viewerOperation("setCurrentState");
        hostOperation(operation.c_str(), state, wait_for_exit);
        std::string const name = state ? state : "";
        auto tab = viewer();
        // The viewer's own states, and one per node type of the network it shows.
        auto const *category = network(tab)->type;
        bool const known = name == "view" || name == "select" ||
                           findNodeType(category->childCategoryCode, name);
        if (!known)
            throw KOM_OperationFailed(("No state named " + name).c_str());
        enterState(operation, name, wait_for_exit);
    }
    bool isCreateInContext() override
    {
        hostOperation(viewerOperation("isCreateInContext").c_str());
        return kindOf(viewer()->type) == TabKind::SceneViewer;
    }

    std::vector<KOM_ElemPtr<KOM_Node>> selectObjects(char const *prompt, int sel_index,
                                                     bool allow_drag, bool quick_select,
                                                     bool use_existing_selection,
                                                     bool allow_multisel,
                                                     std::vector<std::string> const &allowed_types,
                                                     char const *icon, char const *label) override
    {
        hostOperation("SceneViewer.selectObjects", prompt, sel_index, allow_drag, quick_select,
                      use_existing_selection, allow_multisel, allowed_types, icon, label);
        sceneViewer();
        auto nodes = answeredNodes(itemsOf(answerTo("SceneViewer.selectObjects")),
                                   "SceneViewer.selectObjects", KOM_ObjectCategory);
        for (auto const &node : nodes)
            if (!matchesAny(node->type->name, allowed_types))
                throw KOM_OperationFailed(("Not of an allowed type: " + node->path()).c_str());
        if (!allow_multisel && nodes.size() > 1)
            nodes.resize(1);
        return NodeHandle::handlesFor(nodes);
    }
    KOM_GeometrySelection *selectGeometry(char const *prompt, int sel_index, bool allow_drag,
                                          bool quick_select, bool use_existing_selection,
                                          bool ordered,
                                          std::vector<KOM_EnumValue *> const &geometry_types,
                                          std::vector<KOM_EnumValue *> const &primitive_types,
                                          bool allow_obj_sel, char const *icon,
                                          char const *label) override
    {
        hostOperation("SceneViewer.selectGeometry", prompt, sel_index, allow_drag, quick_select,
                      use_existing_selection, ordered, geometry_types, primitive_types,
                      allow_obj_sel, icon, label);
        sceneViewer();
        return geometrySelection("SceneViewer.selectGeometry", answerTo("SceneViewer.selectGeometry"),
                                 ordered, geometry_types, primitive_types);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> selectDynamics(char const *prompt, int sel_index,
                                                         bool allow_objects, bool allow_modifiers,
                                                         bool quick_select,
                                                         bool use_existing_selection,
                                                         bool allow_multisel, char const *icon,
                                                         char const *label) override
    {
        hostOperation("SceneViewer.selectDynamics", prompt, sel_index, allow_objects,
                      allow_modifiers, quick_select, use_existing_selection, allow_multisel, icon,
                      label);
        sceneViewer();
        noSimulationData("SceneViewer.selectDynamics");
        return {};
    }
    std::vector<std::pair<KOM_ElemPtr<KOM_DopData>, KOM_ElemPtr<KOM_GeometrySelection>>>
    selectDynamicsPoints(char const *prompt, int sel_index, bool quick_select,
                         bool use_existing_selection, bool allow_multisel,
                         bool only_select_points, char const *icon, char const *label) override
    {
        hostOperation("SceneViewer.selectDynamicsPoints", prompt, sel_index, quick_select,
                      use_existing_selection, allow_multisel, only_select_points, icon, label);
        sceneViewer();
        noSimulationData("SceneViewer.selectDynamicsPoints");
        return {};
    }
    KOM_ParticleSelection *selectParticles(char const *prompt, int sel_index, bool select_connected,
                                           bool quick_select, bool use_existing_selection,
                                           bool allow_multisel, char const *icon,
                                           char const *label) override
    {
        hostOperation("SceneViewer.selectParticles", prompt, sel_index, select_connected,
                      quick_select, use_existing_selection, allow_multisel, icon, label);
        sceneViewer();
        return particleSelection("SceneViewer.selectParticles", allow_multisel);
    }
    KOM_ParticleSelection *selectParticleNodes(char const *prompt, int sel_index,
                                               bool allow_generators, bool allow_modifiers,
                                               bool quick_select, bool use_existing_selection,
                                               bool allow_multisel, char const *icon,
                                               char const *label) override
    {
        hostOperation("SceneViewer.selectParticleNodes", prompt, sel_index, allow_generators,
                      allow_modifiers, quick_select, use_existing_selection, allow_multisel, icon,
                      label);
        sceneViewer();
        return particleSelection("SceneViewer.selectParticleNodes", allow_multisel);
    }
    std::vector<KOM_Vector3> selectPositions(char const *prompt, int number_of_positions,
                                             bool connect_positions, bool show_coordinates,
                                             KOM_BoundingBox const &bbox,
                                             KOM_EnumValue &position_type, char const *icon,
                                             char const *label) override
    {
        char const *const operation = "SceneViewer.selectPositions";
        hostOperation(operation, prompt, number_of_positions, connect_positions, show_coordinates,
                      bbox, position_type, icon, label);
        sceneViewer();
        requireValueOf<KOM_positionType>(position_type, "positionType");
        JournalValue const answer = answerTo(operation);
        auto items = itemsOf(answer);
        // One position may come as its three numbers.
        if (items.size() == 3 && items[0].kind != JournalValue::Kind::Tuple)
            items = {answer};
        std::vector<KOM_Vector3> positions;
        for (auto const &item : items)
        {
            if (item.kind != JournalValue::Kind::Tuple || item.items.size() != 3)
                badAnswer(operation, "a tuple of (x, y, z) positions");
            char const *shape = "a tuple of (x, y, z) positions";
            positions.emplace_back(static_cast<float>(numberOf(item.items[0], operation, shape)),
                                   static_cast<float>(numberOf(item.items[1], operation, shape)),
                                   static_cast<float>(numberOf(item.items[2], operation, shape)));
        }
        return positions;
    }

    // --- NetworkEditor ---

    bool autoPlaceNodes() override
    {
        hostOperation("NetworkEditor.autoPlaceNodes");
        networkEditor();
        return true;
    }
    bool listMode() override
    {
        hostOperation("NetworkEditor.listMode");
        return networkEditor()->listMode;
    }
    void setListMode(bool on) override
    {
        hostOperation("NetworkEditor.setListMode", on);
        networkEditor()->listMode = on;
    }
    KOM_Vector2 *selectPosition(KOM_Node *input_node, int output_index, KOM_Node *output_node,
                                int input_index) override
    {
        char const *const operation = "NetworkEditor.selectPosition";
        hostOperation(operation, input_node, output_index, output_node, input_index);
        networkEditor();
        NodeHandle::sceneOf(input_node); // a deleted node cannot be wired from
        NodeHandle::sceneOf(output_node);
        auto const items = itemsOf(answerTo(operation));
        char const *shape = "a tuple of two floats";
        if (items.size() != 2)
            badAnswer(operation, shape);
        return new KOM_Vector2(static_cast<float>(numberOf(items[0], operation, shape)),
                               static_cast<float>(numberOf(items[1], operation, shape)));
    }
    void homeToSelection() override
    {
        hostOperation("NetworkEditor.homeToSelection");
        networkEditor();
    }

    // --- HelpBrowser ---

    void displayData(char const *data, char const *mime_type) override
    {
        hostOperation("HelpBrowser.displayData", data, mime_type);
        helpBrowser()->url = std::string("data:") + (mime_type ? mime_type : "") + "," + (data ? data : "");
    }
    void displayHelp(KOM_NodeType &node_type) override
    {
        hostOperation("HelpBrowser.displayHelp", node_type);
        auto tab = helpBrowser();
        tab->url = "help:/nodes/" + node_type.name();
    }
    void displayHelpPath(char const *help_path) override
    {
        hostOperation("HelpBrowser.displayHelpPath", help_path);
        helpBrowser()->url = std::string("help:") + (help_path ? help_path : "");
    }
    std::string homePage() override
    {
        hostOperation("HelpBrowser.homePage");
        return helpBrowser()->homePage;
    }
    void setHomePage(char const *home_page) override
    {
        hostOperation("HelpBrowser.setHomePage", home_page);
        helpBrowser()->homePage = home_page ? home_page : "";
    }
    std::string url() override
    {
        hostOperation("HelpBrowser.url");
        return helpBrowser()->url;
    }
    void setUrl(char const *url) override
    {
        hostOperation("HelpBrowser.setUrl", url);
        helpBrowser()->url = url ? url : "";
    }

private:
    std::shared_ptr<TabState> state() const
    {
        auto tab = lockOrGone(myTab, "pane tab");
        if (!tab->pane.lock())
            throw KOM_ObjectWasDeleted("The pane tab was closed");
        return tab;
    }

    // The tab, if it is still of a kind that has the operation.
    template <class Fits>
    std::shared_ptr<TabState> ofKind(Fits fits, char const *what) const
    {
        auto tab = state();
        if (!fits(kindOf(tab->type)))
            throw KOM_NotAvailable((tab->name + " is no longer " + what).c_str());
        return tab;
    }
    std::shared_ptr<TabState> pathBased() const { return ofKind(isPathBased, "a path-based pane tab"); }
    std::shared_ptr<TabState> viewer() const { return ofKind(isViewer, "a viewer"); }
    std::shared_ptr<TabState> sceneViewer() const
    {
        return ofKind([](TabKind kind) { return kind == TabKind::SceneViewer; }, "a scene viewer");
    }
    std::shared_ptr<TabState> networkEditor() const
    {
        return ofKind([](TabKind kind) { return kind == TabKind::NetworkEditor; }, "a network editor");
    }
    std::shared_ptr<TabState> helpBrowser() const
    {
        return ofKind([](TabKind kind) { return kind == TabKind::HelpBrowser; }, "a help browser");
    }

    // The operation under the name of the viewer class the tab is now.
    std::string viewerOperation(char const *operation) const
    {
        auto tab = myTab.lock();
        bool const particles = tab && kindOf(tab->type) == TabKind::ParticleViewer;
        return std::string(particles ? "ParticleViewer." : "SceneViewer.") + operation;
    }

    // The network the tab shows; /obj again once that network is gone.
    static std::shared_ptr<SceneNode> network(std::shared_ptr<TabState> const &tab)
    {
        auto node = tab->pwd.lock();
        if (!node || !node->isInScene())
        {
            node = managerNamed("obj");
            tab->pwd = node;
        }
        return node;
    }

    static void show(std::shared_ptr<TabState> const &tab, std::shared_ptr<SceneNode> const &node)
    {
        if (!node->holdsNetwork())
            throw KOM_OperationFailed((node->path() + " holds no network").c_str());
        tab->pwd = node;
    }

    // Waiting for the user to leave the state takes their answer.
    void enterState(std::string const &operation, std::string const &name, bool waitForExit)
    {
        auto tab = viewer();
        tab->currentState = name;
        if (waitForExit)
        {
            answerTo(operation.c_str());
            tab->currentState = "view";
        }
    }

    static bool matchesAny(std::string const &name, std::vector<std::string> const &patterns)
    {
        for (auto const &pattern : patterns)
            if (pattern == "*" || pattern == name)
                return true;
        return false;
    }

    // The answer names surface nodes, each alone (the whole geometry) or as (path, components).
    static KOM_GeometrySelection *geometrySelection(char const *operation, JournalValue const &answer,
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
            state->texts.push_back(paired ? item.items[1].text : std::string());
        }
        return new GeometrySelectionHandle(state);
    }

    static KOM_ParticleSelection *particleSelection(char const *operation, bool allowMultisel)
    {
        auto nodes = answeredNodes(itemsOf(answerTo(operation)), operation, KOM_PopCategory);
        if (!allowMultisel && nodes.size() > 1)
            nodes.resize(1);
        return new ParticleSelectionHandle(nodes);
    }

    // The user selects among the running simulation's data; this host runs none yet, so only
    // an empty selection can be answered.
    static void noSimulationData(char const *operation)
    {
        if (!itemsOf(answerTo(operation)).empty())
            throw KOM_OperationFailed("There is no simulation data to select");
    }

    std::weak_ptr<TabState> myTab;
};

// --- Panes and the desktop -------------------------------------------------------------------

class DesktopHandle;

class PaneHandle : public KOM_Pane, private LiveCounted
{
public:
    explicit PaneHandle(std::weak_ptr<PaneState> pane) : myPane(std::move(pane)) {}

    std::string __repr__() override
    {
        hostOperation("Pane.__repr__");
        return "<kal.Pane " + state()->name + ">";
    }
    KOM_Desktop *desktop() override;
    std::vector<KOM_ElemPtr<KOM_PaneTab>> tabs() override
    {
        hostOperation("Pane.tabs");
        return TabHandle::handlesFor(state()->tabs);
    }
    KOM_PaneTab *createTab(KOM_EnumValue &type) override
    {
        hostOperation("Pane.createTab", type);
        auto pane = state();
        requireValueOf<KOM_paneTabType>(type, "paneTabType");
        return TabHandle::handleFor(addTab(*desktopState(), pane, &type));
    }
    KOM_PaneTab *currentTab() override
    {
        hostOperation("Pane.currentTab");
        return TabHandle::handleFor(state()->current.lock());
    }
    KOM_PaneTab *tabOfType(KOM_EnumValue &type, int index) override
    {
        hostOperation("Pane.tabOfType", type, index);
        return TabHandle::handleFor(nthOfType(state()->tabs, type, index));
    }
    KOM_Pane *splitHorizontally() override
    {
        hostOperation("Pane.splitHorizontally");
        return split();
    }
    KOM_Pane *splitVertically() override
    {
        hostOperation("Pane.splitVertically");
        return split();
    }

private:
    std::shared_ptr<PaneState> state() const
    {
        auto pane = lockOrGone(myPane, "pane");
        auto const &desktop = *desktopState();
        auto const &owner = pane->floating ? desktop.floating : desktop.panes;
        if (std::find(owner.begin(), owner.end(), pane) == owner.end())
            throw KOM_ObjectWasDeleted("The pane was closed");
        return pane;
    }

    // The new pane follows this one and starts with a tab like its current one.
    KOM_Pane *split()
    {
        auto pane = state();
        if (pane->floating)
            throw KOM_NotAvailable("A floating pane does not split");
        auto &desktop = *desktopState();
        auto added = newPane(desktop, false);
        auto current = pane->current.lock();
        addTab(desktop, added, current ? current->type : &KOM_paneTabType::Textport);
        auto at = std::find(desktop.panes.begin(), desktop.panes.end(), pane);
        desktop.panes.insert(at + 1, added);
        return new PaneHandle(added);
    }

    std::weak_ptr<PaneState> myPane;
};

class DesktopHandle : public KOM_Desktop, private LiveCounted
{
public:
    explicit DesktopHandle(std::weak_ptr<DesktopState> desktop) : myDesktop(std::move(desktop)) {}

    std::string __repr__() override
    {
        hostOperation("Desktop.__repr__");
        return "<kal.Desktop " + state()->name + ">";
    }
    std::vector<KOM_ElemPtr<KOM_Pane>> panes() override
    {
        hostOperation("Desktop.panes");
        std::vector<KOM_ElemPtr<KOM_Pane>> handles;
        for (auto const &pane : state()->panes)
            handles.emplace_back(new PaneHandle(pane));
        return handles;
    }
    std::vector<KOM_ElemPtr<KOM_PaneTab>> paneTabs() override
    {
        hostOperation("Desktop.paneTabs");
        return TabHandle::handlesFor(tabsOf(state()->panes));
    }
    std::vector<KOM_ElemPtr<KOM_PaneTab>> floatingPaneTabs() override
    {
        hostOperation("Desktop.floatingPaneTabs");
        return TabHandle::handlesFor(tabsOf(state()->floating));
    }
    KOM_PaneTab *paneTabOfType(KOM_EnumValue &type, int index) override
    {
        hostOperation("Desktop.paneTabOfType", type, index);
        return TabHandle::handleFor(nthOfType(tabsOf(state()->panes), type, index));
    }
    KOM_PaneTab *findPaneTab(char const *name) override
    {
        hostOperation("Desktop.findPaneTab", name);
        auto desktop = state();
        for (auto const *panes : {&desktop->panes, &desktop->floating})
            for (auto const &tab : tabsOf(*panes))
                if (name && tab->name == name)
                    return TabHandle::handleFor(tab);
        return nullptr;
    }
    std::string name() override
    {
        hostOperation("Desktop.name");
        return state()->name;
    }
    KOM_ShelfDock *shelfDock() override
    {
        hostOperation("Desktop.shelfDock");
        throw KOM_Error("This host's desktop has no shelf dock yet");
    }
    // The side help is a help browser floating beside the desktop; hiding it closes it.
    KOM_PaneTab *displaySideHelp(bool show) override
    {
        hostOperation("Desktop.displaySideHelp", show);
        auto desktop = state();
        auto help = nthOfType(tabsOf(desktop->floating), KOM_paneTabType::HelpBrowser, 0);
        if (show && !help)
        {
            auto pane = newPane(*desktop, true);
            desktop->floating.push_back(pane);
            help = addTab(*desktop, pane, &KOM_paneTabType::HelpBrowser);
        }
        if (!show)
        {
            if (!help)
                throw KOM_OperationFailed("The side help is not shown");
            auto result = TabHandle::handleFor(help);
            removeTab(*help);
            return result;
        }
        return TabHandle::handleFor(help);
    }

private:
    std::shared_ptr<DesktopState> state() const
    {
        auto desktop = lockOrGone(myDesktop, "desktop");
        if (desktop != theDesktop)
            throw KOM_ObjectWasDeleted("The desktop was laid out anew");
        return desktop;
    }

    std::weak_ptr<DesktopState> myDesktop;
};

KOM_Desktop *PaneHandle::desktop()
{
    hostOperation("Pane.desktop");
    state();
    return new DesktopHandle(desktopState());
}

KOM_Pane *TabHandle::pane()
{
    hostOperation("PaneTab.pane");
    return new PaneHandle(state()->pane);
}

// --- The ui object -----------------------------------------------------------------------

class UiObject : public KOM_ui
{
public:
    std::string __repr__() override
    {
        hostOperation("ui.__repr__");
        return "<kal.ui>";
    }
    KOM_ShellIO *shellIO() override
    {
        hostOperation("ui.shellIO");
        return theShellIO();
    }
    KOM_Desktop *curDesktop() override
    {
        hostOperation("ui.curDesktop");
        return new DesktopHandle(desktopState());
    }
    int displayMessage(char const *text, std::vector<std::string> const &buttons,
                       KOM_EnumValue &severity, int default_choice, char const *help,
                       char const *title, char const *details) override
    {
        char const *const operation = "ui.displayMessage";
        hostOperation(operation, text, buttons, severity, default_choice, help, title, details);
        requireValueOf<KOM_severityType>(severity, "severityType");
        return buttonOf(operation, answerTo(operation), buttons);
    }
    std::pair<int, std::string> readInput(char const *message, std::vector<std::string> const &buttons,
                                          KOM_EnumValue &severity, int default_choice,
                                          char const *help, char const *title) override
    {
        char const *const operation = "ui.readInput";
        hostOperation(operation, message, buttons, severity, default_choice, help, title);
        requireValueOf<KOM_severityType>(severity, "severityType");
        // The text alone presses the default button.
        JournalValue const answer = answerTo(operation);
        if (answer.kind == JournalValue::Kind::Text)
            return {default_choice, answer.text};
        if (answer.kind != JournalValue::Kind::Tuple || answer.items.size() != 2 ||
            answer.items[1].kind != JournalValue::Kind::Text)
            badAnswer(operation, "a (button, text) pair");
        return {buttonOf(operation, answer.items[0], buttons), answer.items[1].text};
    }
    std::vector<int> selectFromList(std::vector<std::string> const &choices,
                                    std::vector<int> const &default_choices, bool exclusive,
                                    char const *message, char const *title) override
    {
        char const *const operation = "ui.selectFromList";
        hostOperation(operation, choices, default_choices, exclusive, message, title);
        std::vector<int> picked;
        for (auto const &item : itemsOf(answerTo(operation)))
        {
            if (item.kind != JournalValue::Kind::Int || item.integer < 0 ||
                item.integer >= static_cast<long long>(choices.size()))
                badAnswer(operation, "a tuple of indices of the choices");
            picked.push_back(static_cast<int>(item.integer));
        }
        if (exclusive && picked.size() > 1)
            badAnswer(operation, "one index, the list being exclusive");
        return picked;
    }
    void displayNodeHelp(KOM_NodeType &node_type) override
    {
        hostOperation("ui.displayNodeHelp", node_type);
    }
    std::vector<int> _getTabMenuIconSize() override
    {
        hostOperation("ui._getTabMenuIconSize");
        return {16, 16};
    }

private:
    static int buttonOf(char const *operation, JournalValue const &answer,
                        std::vector<std::string> const &buttons)
    {
        if (answer.kind != JournalValue::Kind::Int || answer.integer < 0 ||
            answer.integer >= static_cast<long long>(buttons.size()))
            badAnswer(operation, "the index of a button");
        return static_cast<int>(answer.integer);
    }
};

UiObject theUiObject;

// Stands in for the shell family's object until it lands.
class PendingShellIO : public KOM_ShellIO
{
};
PendingShellIO thePendingShellIO;

} // namespace

KOM_ui *theUi() { return &theUiObject; }

KOM_ShellIO *theShellIO() { return &thePendingShellIO; }

void resetUi()
{
    theDesktop = baselineDesktop();
    theKeptNodes.clear();
}

} // namespace kalhost
