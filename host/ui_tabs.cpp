// Pane tabs of the reference host: one handle class for every kind, so that a tab whose type
// changes comes back as its new class.
#include <algorithm>

#include "host/mathvalues.h"
#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/ui.h"
#include "model/nodetypes.h"

namespace kalhost
{

namespace
{

// --- Pane tabs -----------------------------------------------------------------------------

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
    KOM_Pane *pane() override
    {
        hostOperation("PaneTab.pane");
        return paneHandle(state()->pane);
    }
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
        return tabHandle(copy);
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
        return tabHandle(tab);
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
            handles.emplace_back(ownedViewport(viewport));
        return handles;
    }
    KOM_GeometryViewport *findViewport(char const *name) override
    {
        hostOperation(viewerOperation("findViewport").c_str(), name);
        for (auto const &viewport : viewer()->viewports)
            if (name && viewport->name == name)
                return ownedViewport(viewport);
        return nullptr;
    }
    KOM_GeometryViewport *curViewport() override
    {
        hostOperation("SceneViewer.curViewport");
        return keptViewport(sceneViewer()->viewports.front());
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
        return answeredGeometrySelection("SceneViewer.selectGeometry", answerTo("SceneViewer.selectGeometry"),
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
        std::vector<KOM_ElemPtr<KOM_DopData>> selected;
        for (auto &[data, points] : answeredDynamics("SceneViewer.selectDynamics", allow_multisel))
        {
            delete points.get();
            selected.push_back(data);
        }
        return selected;
    }
    std::vector<std::pair<KOM_ElemPtr<KOM_DopData>, KOM_ElemPtr<KOM_GeometrySelection>>>
    selectDynamicsPoints(char const *prompt, int sel_index, bool quick_select,
                         bool use_existing_selection, bool allow_multisel,
                         bool only_select_points, char const *icon, char const *label) override
    {
        hostOperation("SceneViewer.selectDynamicsPoints", prompt, sel_index, quick_select,
                      use_existing_selection, allow_multisel, only_select_points, icon, label);
        sceneViewer();
        return answeredDynamics("SceneViewer.selectDynamicsPoints", allow_multisel);
    }
    KOM_ParticleSelection *selectParticles(char const *prompt, int sel_index, bool select_connected,
                                           bool quick_select, bool use_existing_selection,
                                           bool allow_multisel, char const *icon,
                                           char const *label) override
    {
        hostOperation("SceneViewer.selectParticles", prompt, sel_index, select_connected,
                      quick_select, use_existing_selection, allow_multisel, icon, label);
        sceneViewer();
        return answeredParticleSelection("SceneViewer.selectParticles", allow_multisel);
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
        return answeredParticleSelection("SceneViewer.selectParticleNodes", allow_multisel);
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
        helpBrowser()->url = nodeHelpUrl(node_type);
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

    std::weak_ptr<TabState> myTab;
};


} // namespace

KOM_PaneTab *tabHandle(std::shared_ptr<TabState> const &tab)
{
    return tab ? static_cast<KOM_SceneViewer *>(new TabHandle(tab)) : nullptr;
}

std::vector<KOM_ElemPtr<KOM_PaneTab>> tabHandles(std::vector<std::shared_ptr<TabState>> const &tabs)
{
    std::vector<KOM_ElemPtr<KOM_PaneTab>> handles;
    for (auto const &tab : tabs)
        handles.emplace_back(tabHandle(tab));
    return handles;
}

} // namespace kalhost
