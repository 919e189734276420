// The user interface of the reference host: one desktop of named panes holding pane tabs,
// floating tabs, viewers with viewports, and the dialogs and selections that answer from the
// scripted answers (host/answers.h).
#pragma once

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "host/journal.h"
#include "host/scene.h"
#include "model/errors.h"
#include "model/nodetypes.h"
#include "model/ui.h"

namespace kalhost
{

struct NodeTypeInfo;
struct PaneState;

// One viewport of a viewer.
struct ViewportState
{
    std::string name;
    KOM_EnumValue *type;
    float normalScale = 1.0f;
};

// One pane tab: its type may change, and with it what the tab holds.
struct TabState
{
    std::string name;
    KOM_EnumValue *type;
    std::weak_ptr<PaneState> pane;
    std::weak_ptr<SceneNode> pwd;                         // path-based tabs
    bool listMode = false;                                // network editors
    std::string url, homePage;                            // help browsers
    std::vector<std::shared_ptr<ViewportState>> viewports; // viewers; the first is current
    std::string currentState = "view";
};

// A pane of the desktop, or the window of floating tabs.
struct PaneState
{
    std::string name;
    bool floating = false;
    std::vector<std::shared_ptr<TabState>> tabs;
    std::weak_ptr<TabState> current;
};

struct DesktopState
{
    std::string name;
    std::vector<std::shared_ptr<PaneState>> panes;    // docked, in desktop order
    std::vector<std::shared_ptr<PaneState>> floating; // one window per floating tab
    int nextTab = 1;                                  // for automatic tab names
    int nextPane = 1;
};

// The host's ui object (kal.ui); the module hands it out.
KOM_ui *theUi();

// Lays out the baseline desktop anew; handles on the old one then fail.
void resetUi();

// What node types give the viewers (host/ui_states.cpp): a surface node type's selectors (the
// given indices, or all for none), a new one, and the state a viewer of `viewerType` (a
// paneTabType value) offers for a node type, or null.
std::vector<KOM_ElemPtr<KOM_Selector>> selectorsOf(NodeTypeInfo const *type, std::vector<int> const &indices);
// Throws KOM_OperationFailed for a missing name, an unknown selector type or an input the
// node type does not have.
KOM_Selector *addSelectorTo(NodeTypeInfo const *type, char const *name, char const *selectorType,
                            char const *prompt, std::vector<KOM_EnumValue *> const &primitiveTypes,
                            char const *groupParmName, char const *groupTypeParmName,
                            int inputIndex, bool inputRequired, bool allowDragging,
                            bool emptyStringSelectsAll);
KOM_ViewerState *viewerStateFor(NodeTypeInfo const *type, KOM_EnumValue const &viewerType);

// --- Within the family: shared by host/ui*.cpp ----------------------------------------------

// What a tab can do, by its type: the class it comes back as.
enum class TabKind { Plain, PathBased, SceneViewer, ParticleViewer, NetworkEditor, HelpBrowser };

TabKind kindOf(KOM_EnumValue const *type);
char const *classNameOf(TabKind kind);
inline bool isPathBased(TabKind kind) { return kind != TabKind::Plain && kind != TabKind::HelpBrowser; }
inline bool isViewer(TabKind kind) { return kind == TabKind::SceneViewer || kind == TabKind::ParticleViewer; }

// Throws KOM_TypeError unless `value` belongs to the enumeration.
template <class Enumeration>
void requireValueOf(KOM_EnumValue const &value, char const *what)
{
    if (std::string(value.enumType->name()) != typeid(Enumeration).name())
        throw KOM_TypeError((std::string("Expected a ") + what + " value").c_str());
}

// The state a handle refers to, or KOM_ObjectWasDeleted when it is gone.
template <class State>
std::shared_ptr<State> lockOrGone(std::weak_ptr<State> const &held, char const *what)
{
    auto state = held.lock();
    if (!state)
        throw KOM_ObjectWasDeleted((std::string("The ") + what + " no longer exists").c_str());
    return state;
}

// Where a help browser finds a node type's help.
inline std::string nodeHelpUrl(KOM_NodeType &type) { return "help:/nodes/" + type.name(); }

// The desktop (host/ui.cpp).
std::shared_ptr<DesktopState> const &desktopState();
std::shared_ptr<SceneNode> managerNamed(char const *name);
std::shared_ptr<ViewportState> newViewport(std::string name, KOM_EnumValue *type);
std::shared_ptr<PaneState> newPane(DesktopState &desktop, bool floating);
// A new tab, current in its pane, with what its type needs (equip).
std::shared_ptr<TabState> addTab(DesktopState &desktop, std::shared_ptr<PaneState> const &pane,
                                 KOM_EnumValue *type);
void equip(TabState &tab);
// Takes the tab out of its pane; a pane left empty goes too, unless it is the desktop's last.
void removeTab(TabState &tab);

// Scripted answers in the shapes the ui operations take (host/ui.cpp). A cancel (None)
// interrupts as an empty queue does; an answer of the wrong shape is KOM_InvalidInput.
JournalValue answerTo(char const *operation);
[[noreturn]] void badAnswer(char const *operation, char const *shape);
std::vector<JournalValue> itemsOf(JournalValue const &answer); // a lone value is a tuple of one
double numberOf(JournalValue const &value, char const *operation, char const *shape);
// The nodes at the answer's paths, each of `category` unless it is negative.
std::vector<std::shared_ptr<SceneNode>> answeredNodes(std::vector<JournalValue> const &items,
                                                      char const *operation, int category);

// Handles.
KOM_Pane *paneHandle(std::weak_ptr<PaneState> pane);                           // host/ui.cpp
KOM_PaneTab *tabHandle(std::shared_ptr<TabState> const &tab);                   // host/ui_tabs.cpp
std::vector<KOM_ElemPtr<KOM_PaneTab>> tabHandles(std::vector<std::shared_ptr<TabState>> const &tabs);
KOM_GeometryViewport *ownedViewport(std::shared_ptr<ViewportState> const &viewport); // ui_selections
// The viewer's own handle on the viewport; never deleted, it outlives the viewport.
KOM_GeometryViewport *keptViewport(std::shared_ptr<ViewportState> const &viewport);
// A selection of the surface nodes the answer names, each alone or as (path, components).
KOM_GeometrySelection *answeredGeometrySelection(char const *operation, JournalValue const &answer,
                                                 bool ordered,
                                                 std::vector<KOM_EnumValue *> const &geometryTypes,
                                                 std::vector<KOM_EnumValue *> const &primitiveTypes);
KOM_ParticleSelection *answeredParticleSelection(char const *operation, bool allowMultisel);
// The simulation data of the dynamics nodes the answer names, each alone or as (path,
// components), with a selection of those components on the node. KOM_OperationFailed for a
// node that made no data.
std::vector<std::pair<KOM_ElemPtr<KOM_DopData>, KOM_ElemPtr<KOM_GeometrySelection>>>
answeredDynamics(char const *operation, bool allowMultisel);
// The data a dynamics node made in the running simulation, new; null when it made none.
KOM_DopData *dynamicsDataOf(std::shared_ptr<SceneNode> const &node);
// Selectors go back to the baseline's (host/ui_states.cpp).
void resetSelectors();

} // namespace kalhost
