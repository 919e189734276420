// The reference host's user interface: the desktop model, its panes, the ui object's dialogs
// and the shapes of the scripted answers. Pane tabs are in host/ui_tabs.cpp, viewports and
// selections in host/ui_selections.cpp.
#include "host/ui.h"

#include <algorithm>

#include "host/answers.h"
#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/shell.h"
#include "host/shelves.h"
#include "model/nodetypes.h"
#include "model/shell.h"

namespace kalhost
{

// --- Tab kinds -----------------------------------------------------------------------------

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

// --- The desktop ---------------------------------------------------------------------------

namespace
{

std::shared_ptr<DesktopState> theDesktop;

std::shared_ptr<DesktopState> baselineDesktop()
{
    auto desktop = std::make_shared<DesktopState>();
    desktop->name = "Build";
    auto viewer = newPane(*desktop, false);
    addTab(*desktop, viewer, &KOM_paneTabType::SceneViewer);
    auto side = newPane(*desktop, false);
    addTab(*desktop, side, &KOM_paneTabType::Parm);
    addTab(*desktop, side, &KOM_paneTabType::Textport);
    addTab(*desktop, side, &KOM_paneTabType::NetworkEditor);
    desktop->panes = {viewer, side};
    return desktop;
}

// Every tab of the panes, pane by pane.
std::vector<std::shared_ptr<TabState>> tabsOf(std::vector<std::shared_ptr<PaneState>> const &panes)
{
    std::vector<std::shared_ptr<TabState>> tabs;
    for (auto const &pane : panes)
        tabs.insert(tabs.end(), pane->tabs.begin(), pane->tabs.end());
    return tabs;
}

// The index-th tab of a paneTabType.
std::shared_ptr<TabState> nthOfType(std::vector<std::shared_ptr<TabState>> const &tabs,
                                    KOM_EnumValue const &type, int index)
{
    requireValueOf<KOM_paneTabType>(type, "paneTabType");
    for (auto const &tab : tabs)
        if (tab->type->valueId == type.valueId && index-- == 0)
            return tab;
    return nullptr;
}

// The help browser beside the desktop, floating; opened when none is.
std::shared_ptr<TabState> sideHelp(DesktopState &desktop)
{
    auto help = nthOfType(tabsOf(desktop.floating), KOM_paneTabType::HelpBrowser, 0);
    if (!help)
    {
        auto pane = newPane(desktop, true);
        desktop.floating.push_back(pane);
        help = addTab(desktop, pane, &KOM_paneTabType::HelpBrowser);
    }
    return help;
}

} // namespace

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

std::shared_ptr<DesktopState> const &desktopState()
{
    if (!theDesktop)
        theDesktop = baselineDesktop();
    return theDesktop;
}


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

namespace
{

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
        return tabHandles(state()->tabs);
    }
    KOM_PaneTab *createTab(KOM_EnumValue &type) override
    {
        hostOperation("Pane.createTab", type);
        auto pane = state();
        requireValueOf<KOM_paneTabType>(type, "paneTabType");
        return tabHandle(addTab(*desktopState(), pane, &type));
    }
    KOM_PaneTab *currentTab() override
    {
        hostOperation("Pane.currentTab");
        return tabHandle(state()->current.lock());
    }
    KOM_PaneTab *tabOfType(KOM_EnumValue &type, int index) override
    {
        hostOperation("Pane.tabOfType", type, index);
        return tabHandle(nthOfType(state()->tabs, type, index));
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
        return tabHandles(tabsOf(state()->panes));
    }
    std::vector<KOM_ElemPtr<KOM_PaneTab>> floatingPaneTabs() override
    {
        hostOperation("Desktop.floatingPaneTabs");
        return tabHandles(tabsOf(state()->floating));
    }
    KOM_PaneTab *paneTabOfType(KOM_EnumValue &type, int index) override
    {
        hostOperation("Desktop.paneTabOfType", type, index);
        return tabHandle(nthOfType(tabsOf(state()->panes), type, index));
    }
    KOM_PaneTab *findPaneTab(char const *name) override
    {
        hostOperation("Desktop.findPaneTab", name);
        auto desktop = state();
        for (auto const *panes : {&desktop->panes, &desktop->floating})
            for (auto const &tab : tabsOf(*panes))
                if (name && tab->name == name)
                    return tabHandle(tab);
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
        return newShelfDock();
    }
    // The side help is a help browser floating beside the desktop; hiding it closes it, and
    // leaves no tab to return.
    KOM_PaneTab *displaySideHelp(bool show) override
    {
        hostOperation("Desktop.displaySideHelp", show);
        auto desktop = state();
        if (show)
            return tabHandle(sideHelp(*desktop));
        auto help = nthOfType(tabsOf(desktop->floating), KOM_paneTabType::HelpBrowser, 0);
        if (!help)
            throw KOM_OperationFailed("The side help is not shown");
        removeTab(*help);
        return nullptr;
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
        return &kalhost::shellIO();
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
    // In the side help.
    void displayNodeHelp(KOM_NodeType &node_type) override
    {
        hostOperation("ui.displayNodeHelp", node_type);
        sideHelp(*desktopState())->url = nodeHelpUrl(node_type);
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

} // namespace

KOM_Pane *paneHandle(std::weak_ptr<PaneState> pane) { return new PaneHandle(std::move(pane)); }

KOM_ui *theUi() { return &theUiObject; }

void resetUi()
{
    theDesktop = baselineDesktop();
    resetSelectors();
}

} // namespace kalhost
