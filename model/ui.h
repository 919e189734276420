// The user interface: dialogs, the desktop and its panes, pane tabs and viewers, interactive
// selections, node-type selectors and viewer states. Declaration order is the slot order the
// host is built against.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/enums.h"
#include "model/mathvalues.h"
#include "model/sequences.h"

class KOM_DopData;
class KOM_Node;
class KOM_NodeType;
class KOM_NodeTypeCategory;
class KOM_ObjNode;
class KOM_ShelfDock;
class KOM_ShellIO;
class KOM_Desktop;
class KOM_Pane;
class KOM_GeometryViewport;
class KOM_GeometrySelection;
class KOM_ParticleSelection;

// One tab of a pane. Results typed as KOM_PaneTab * come back as the class their type() selects.
class KOM_PaneTab
{
public:
    virtual ~KOM_PaneTab() {}
    // A short description of the tab.
    virtual std::string __repr__() = 0;
    // The pane that holds the tab.
    virtual KOM_Pane *pane() = 0;
    // The tab's name.
    virtual std::string name() = 0;
    // Renames the tab.
    virtual void setName(char const *name) = 0;
    // Whether the tab is the one its pane shows.
    virtual bool isCurrentTab() = 0;
    // Makes the tab the one its pane shows.
    virtual void setIsCurrentTab() = 0;
    // Whether the tab floats in a window of its own.
    virtual bool isFloating() = 0;
    // A new tab of the same type beside this one.
    virtual KOM_PaneTab *clone() = 0;
    // Closes the tab.
    virtual void close() = 0;
    // The tab's paneTabType value.
    virtual KOM_EnumValue *type() = 0;
    // Turns the tab into one of another paneTabType; returns it as its new class.
    virtual KOM_PaneTab *setType(KOM_EnumValue &type) = 0;
};

// A pane tab that shows one node network.
class KOM_PathBasedPaneTab : public virtual KOM_PaneTab
{
public:
    // A short description of the tab.
    std::string __repr__() override = 0;
    // The network the tab shows.
    virtual KOM_Node *pwd() = 0;
    // Shows this node's network.
    virtual void setPwd(KOM_Node &node) = 0;
    // Shows the network at this path, relative to the one shown.
    virtual void cd(char const *path) = 0;
};

// A pane tab showing help pages.
class KOM_HelpBrowser : public virtual KOM_PaneTab
{
public:
    // A short description of the tab.
    std::string __repr__() override = 0;
    // Shows the given text; the second string is a hint of its kind.
    virtual void displayData(char const *data, char const *mime_type = "") = 0;
    // Shows the help of a node type.
    virtual void displayHelp(KOM_NodeType &node_type) = 0;
    // Shows the help page at a help path.
    virtual void displayHelpPath(char const *help_path) = 0;
    // The page the home button shows.
    virtual std::string homePage() = 0;
    // Sets the page the home button shows.
    virtual void setHomePage(char const *home_page) = 0;
    // The page shown.
    virtual std::string url() = 0;
    // Shows the page at a URL.
    virtual void setUrl(char const *url) = 0;
};

// The network editor: a network's nodes and their wires.
class KOM_NetworkEditor : public virtual KOM_PathBasedPaneTab
{
public:
    // A short description of the tab.
    std::string __repr__() override = 0;
    // Whether new nodes are placed without asking where.
    virtual bool autoPlaceNodes() = 0;
    // Whether the network shows as a list.
    virtual bool listMode() = 0;
    // Shows the network as a list, or as nodes and wires.
    virtual void setListMode(bool on) = 0;
    // Asks the user to click a position in the network.
    virtual KOM_Vector2 *selectPosition(KOM_Node *input_node = nullptr, int output_index = 0,
                                        KOM_Node *output_node = nullptr, int input_index = 0) = 0;
    // Frames the selected nodes.
    virtual void homeToSelection() = 0;
};

// The particle viewer: viewports on a particle network.
class KOM_ParticleViewer : public virtual KOM_PathBasedPaneTab
{
public:
    // A short description of the tab.
    std::string __repr__() override = 0;
    // The viewer's viewports.
    virtual std::vector<KOM_ElemPtr<KOM_GeometryViewport>> viewports() = 0;
    // The viewport of that name, or None.
    virtual KOM_GeometryViewport *findViewport(char const *name) = 0;
    // The name of the viewer's current state.
    virtual std::string currentState() = 0;
    // Enters the view state.
    virtual void enterViewState(bool wait_for_exit = false) = 0;
    // Enters the state of the current node.
    virtual void enterCurrentNodeState(bool wait_for_exit = false) = 0;
    // Enters the named state.
    virtual void setCurrentState(char const *state, bool wait_for_exit = false) = 0;
    // Whether nodes made here go inside the network shown.
    virtual bool isCreateInContext() = 0;
};

// The scene viewer: viewports on the scene, where the user selects objects, geometry,
// simulation data and positions.
class KOM_SceneViewer : public virtual KOM_PathBasedPaneTab
{
public:
    // A short description of the tab.
    std::string __repr__() override = 0;
    // The viewer's viewports.
    virtual std::vector<KOM_ElemPtr<KOM_GeometryViewport>> viewports() = 0;
    // The viewport of that name, or None.
    virtual KOM_GeometryViewport *findViewport(char const *name) = 0;
    // The viewport in use; the viewer keeps it.
    virtual KOM_GeometryViewport *curViewport() = 0;
    // The name of the viewer's current state.
    virtual std::string currentState() = 0;
    // Enters the view state.
    virtual void enterViewState(bool wait_for_exit = false) = 0;
    // Enters the state of the current node.
    virtual void enterCurrentNodeState(bool wait_for_exit = false) = 0;
    // Enters the named state.
    virtual void setCurrentState(char const *state, bool wait_for_exit = false) = 0;
    // Whether nodes made here go inside the network shown.
    virtual bool isCreateInContext() = 0;
    // Asks the user to select objects; returns the selected object nodes.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> selectObjects(
        char const *prompt = "Select objects", int sel_index = 0, bool allow_drag = false,
        bool quick_select = false, bool use_existing_selection = true, bool allow_multisel = true,
        std::vector<std::string> const &allowed_types = std::vector<std::string>(1, "*"),
        char const *icon = nullptr, char const *label = nullptr) = 0;
    // Asks the user to select geometry components.
    virtual KOM_GeometrySelection *selectGeometry(
        char const *prompt = "Select geometry", int sel_index = 0, bool allow_drag = false,
        bool quick_select = false, bool use_existing_selection = true, bool ordered = false,
        std::vector<KOM_EnumValue *> const &geometry_types = std::vector<KOM_EnumValue *>(),
        std::vector<KOM_EnumValue *> const &primitive_types = std::vector<KOM_EnumValue *>(),
        bool allow_obj_sel = true, char const *icon = nullptr, char const *label = nullptr) = 0;
    // Asks the user to select simulation objects or modifiers.
    virtual std::vector<KOM_ElemPtr<KOM_DopData>> selectDynamics(
        char const *prompt = "Select dynamics objects", int sel_index = 0,
        bool allow_objects = true, bool allow_modifiers = false, bool quick_select = false,
        bool use_existing_selection = true, bool allow_multisel = true, char const *icon = nullptr,
        char const *label = nullptr) = 0;
    // Asks the user to select points of simulation objects: (object, points) pairs.
    virtual std::vector<std::pair<KOM_ElemPtr<KOM_DopData>, KOM_ElemPtr<KOM_GeometrySelection>>>
    selectDynamicsPoints(char const *prompt = "Select dynamics points", int sel_index = 0,
                         bool quick_select = false, bool use_existing_selection = true,
                         bool allow_multisel = true, bool only_select_points = true,
                         char const *icon = nullptr, char const *label = nullptr) = 0;
    // Asks the user to select particles.
    virtual KOM_ParticleSelection *selectParticles(
        char const *prompt = "Select particles", int sel_index = 0, bool select_connected = true,
        bool quick_select = false, bool use_existing_selection = true, bool allow_multisel = true,
        char const *icon = nullptr, char const *label = nullptr) = 0;
    // Asks the user to select particle nodes.
    virtual KOM_ParticleSelection *selectParticleNodes(
        char const *prompt = "Select particle nodes", int sel_index = 0,
        bool allow_generators = true, bool allow_modifiers = false, bool quick_select = false,
        bool use_existing_selection = true, bool allow_multisel = true, char const *icon = nullptr,
        char const *label = nullptr) = 0;
    // Asks the user to click positions in the viewport.
    virtual std::vector<KOM_Vector3> selectPositions(
        char const *prompt = "Click to specify a position", int number_of_positions = 1,
        bool connect_positions = true, bool show_coordinates = true,
        KOM_BoundingBox const &bbox = KOM_BoundingBox(),
        KOM_EnumValue &position_type = KOM_positionType::WorldSpace, char const *icon = nullptr,
        char const *label = nullptr) = 0;
};

// One viewport of a viewer.
class KOM_GeometryViewportSettings
{
public:
    virtual ~KOM_GeometryViewportSettings() {}
    // A short description of the settings.
    virtual std::string __repr__() = 0;
    // The viewport's geometryViewportType value.
    virtual KOM_EnumValue *viewportType() = 0;
    // How long normals are drawn.
    virtual float normalScale() = 0;
    // Sets how long normals are drawn.
    virtual void setNormalScale(float normal_scale) = 0;
    // Looks through a camera object.
    virtual void setCamera(KOM_ObjNode &camera_node) = 0;
    // Moves a camera object to the view.
    virtual void saveViewToCamera(KOM_ObjNode &camera_node) = 0;
};

class KOM_GeometryViewport
{
public:
    virtual ~KOM_GeometryViewport() {}
    // A short description of the viewport.
    virtual std::string __repr__() = 0;
    // The viewport's geometryViewportType value.
    virtual KOM_EnumValue *type() = 0;
    // The viewport's display settings.
    virtual KOM_GeometryViewportSettings *settings() = 0;
    // The viewport's name.
    virtual std::string name() = 0;
    // Frames everything shown.
    virtual void home() = 0;
    // Looks through a camera object.
    virtual void setCamera(KOM_ObjNode &camera_node) = 0;
    // Moves a camera object to the view.
    virtual void saveViewToCamera(KOM_ObjNode &camera_node) = 0;
};

// Geometry components the user selected in a viewer.
class KOM_GeometrySelection
{
public:
    virtual ~KOM_GeometrySelection() {}
    // A short description of the selection.
    virtual std::string __repr__() = 0;
    // The selection as text.
    virtual std::string __str__() = 0;
    // Whether the components keep the order they were selected in.
    virtual bool ordered() = 0;
    // The geometryType value of the components.
    virtual KOM_EnumValue *geometryType() = 0;
    // Converts the selection to components of another geometryType.
    virtual void setGeometryType(KOM_EnumValue &geometry_type) = 0;
    // How the selection grows to connected components, a connectivityType value.
    virtual KOM_EnumValue *connectivity() = 0;
    // Sets how the selection grows to connected components.
    virtual void setConnectivity(KOM_EnumValue &connectivity) = 0;
    // The primType values of the primitives selected.
    virtual std::vector<KOM_EnumValue *> primitiveTypes() = 0;
    // Keeps only primitives of these primType values.
    virtual void setPrimitiveTypes(std::vector<KOM_EnumValue *> const &primitive_types) = 0;
    // The nodes whose geometry was selected.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> nodes() = 0;
    // One selection string per node, as a group parameter takes it.
    virtual std::vector<std::string> selectionStrings(bool empty_string_selects_all = true) = 0;
    // Whether more than one node was selected in `parent`, so a merge is needed.
    virtual bool needsMergedNode(KOM_Node &parent) = 0;
    // A node in `parent` merging the selected nodes; the selection keeps it.
    virtual KOM_Node *mergedNode(KOM_Node &parent, char const *creator_name,
                                 bool force_keep_original_objects = false,
                                 bool display_original_objects = false) = 0;
    // The selection string of the merged node.
    virtual std::string mergedSelectionString(bool empty_string_selects_all = true) = 0;
};

// Particles the user selected.
class KOM_ParticleSelection
{
public:
    virtual ~KOM_ParticleSelection() {}
    // A short description of the selection.
    virtual std::string __repr__() = 0;
    // The selection as text.
    virtual std::string __str__() = 0;
    // The particle network selected in, or None when nothing was selected.
    virtual KOM_Node *popNetwork() = 0;
    // The particle nodes selected.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> popNodes() = 0;
};

// How a node type asks the user for the geometry of one of its inputs.
class KOM_Selector
{
public:
    virtual ~KOM_Selector() {}
    // A short description of the selector.
    virtual std::string __repr__() = 0;
    // The selector's name.
    virtual std::string name() = 0;
    // The node type the selector belongs to.
    virtual KOM_NodeType *nodeType() = 0;
    // The kind of selection it makes.
    virtual std::string selectorType() = 0;
    // The geometryType values it selects.
    virtual std::vector<KOM_EnumValue *> geometryTypes() = 0;
    // The values it sets the group type parameter to, one per geometry type.
    virtual std::vector<int> groupTypeParmValues() = 0;
    // Whether the components keep the order they were selected in.
    virtual bool ordered() = 0;
    // The text that asks the user to select.
    virtual std::string prompt() = 0;
    // The primType values it selects.
    virtual std::vector<KOM_EnumValue *> primitiveTypes() = 0;
    // The parameter the selection string goes to.
    virtual std::string groupParmName() = 0;
    // The parameter the group type goes to.
    virtual std::string groupTypeParmName() = 0;
    // The input of the node the selection feeds.
    virtual int inputIndex() = 0;
    // Whether the input must be wired.
    virtual bool inputRequired() = 0;
    // Whether dragging selects and starts the tool at once.
    virtual bool allowDragging() = 0;
    // Whether an empty selection means everything.
    virtual bool emptyStringSelectsAll() = 0;
    // Removes the selector from its node type.
    virtual void destroy() = 0;
};

// A state of a viewer: what the mouse does there.
class KOM_ViewerState
{
public:
    virtual ~KOM_ViewerState() {}
    // A short description of the state.
    virtual std::string __repr__() = 0;
    // The state's name.
    virtual std::string name() = 0;
    // What the state is for.
    virtual std::string description() = 0;
    // The state's icon.
    virtual std::string icon() = 0;
    // The node type categories the state works in.
    virtual std::vector<KOM_NodeTypeCategory *> categories() = 0;
    // The node type the state makes, or None.
    virtual KOM_NodeType *nodeType() = 0;
    // Whether the state is left out of menus.
    virtual bool isHidden() = 0;
};

// One area of the desktop, holding tabs.
class KOM_Pane
{
public:
    virtual ~KOM_Pane() {}
    // A short description of the pane.
    virtual std::string __repr__() = 0;
    // The desktop the pane is on.
    virtual KOM_Desktop *desktop() = 0;
    // The pane's tabs.
    virtual std::vector<KOM_ElemPtr<KOM_PaneTab>> tabs() = 0;
    // Adds a tab of a paneTabType to the pane.
    virtual KOM_PaneTab *createTab(KOM_EnumValue &type) = 0;
    // The tab the pane shows.
    virtual KOM_PaneTab *currentTab() = 0;
    // The pane's index-th tab of a paneTabType, or None.
    virtual KOM_PaneTab *tabOfType(KOM_EnumValue &type, int index = 0) = 0;
    // Splits the pane in two side by side; returns the new pane.
    virtual KOM_Pane *splitHorizontally() = 0;
    // Splits the pane in two one above the other; returns the new pane.
    virtual KOM_Pane *splitVertically() = 0;
};

// An arrangement of panes and floating tabs.
class KOM_Desktop
{
public:
    virtual ~KOM_Desktop() {}
    // A short description of the desktop.
    virtual std::string __repr__() = 0;
    // The desktop's panes.
    virtual std::vector<KOM_ElemPtr<KOM_Pane>> panes() = 0;
    // The tabs of every pane.
    virtual std::vector<KOM_ElemPtr<KOM_PaneTab>> paneTabs() = 0;
    // The tabs floating in windows of their own.
    virtual std::vector<KOM_ElemPtr<KOM_PaneTab>> floatingPaneTabs() = 0;
    // The desktop's index-th tab of a paneTabType, or None.
    virtual KOM_PaneTab *paneTabOfType(KOM_EnumValue &type, int index = 0) = 0;
    // The tab of that name, or None.
    virtual KOM_PaneTab *findPaneTab(char const *name) = 0;
    // The desktop's name.
    virtual std::string name() = 0;
    // The dock of shelves along the desktop.
    virtual KOM_ShelfDock *shelfDock() = 0;
    // Shows the help browser at the side and returns it, or hides it and returns None.
    virtual KOM_PaneTab *displaySideHelp(bool show = true) = 0;
};

// Host-owned singleton reached through kal.ui: dialogs and the desktop.
class KOM_ui
{
public:
    virtual ~KOM_ui() {}
    // A short description of the user interface.
    virtual std::string __repr__() = 0;
    // The interactive shell's input; the host keeps it.
    virtual KOM_ShellIO *shellIO() = 0;
    // The desktop shown.
    virtual KOM_Desktop *curDesktop() = 0;
    // Shows a message with buttons; returns the index of the button pressed.
    virtual int displayMessage(char const *text,
                               std::vector<std::string> const &buttons = std::vector<std::string>(1, "OK"),
                               KOM_EnumValue &severity = KOM_severityType::Message,
                               int default_choice = 0, char const *help = nullptr,
                               char const *title = nullptr, char const *details = nullptr) = 0;
    // Asks for a line of text; returns the button pressed and the text.
    virtual std::pair<int, std::string> readInput(
        char const *message, std::vector<std::string> const &buttons = std::vector<std::string>(1, "OK"),
        KOM_EnumValue &severity = KOM_severityType::Message, int default_choice = 0,
        char const *help = nullptr, char const *title = nullptr) = 0;
    // Asks the user to pick from a list; returns the indices picked.
    virtual std::vector<int> selectFromList(
        std::vector<std::string> const &choices,
        std::vector<int> const &default_choices = std::vector<int>(1, 0), bool exclusive = false,
        char const *message = nullptr, char const *title = nullptr) = 0;
    // Shows the help of a node type.
    virtual void displayNodeHelp(KOM_NodeType &node_type) = 0;
    // The size of the icons in the tab menu, width and height.
    virtual std::vector<int> _getTabMenuIconSize() = 0;
};
