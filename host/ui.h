// The user interface of the reference host: one desktop of named panes holding pane tabs,
// floating tabs, viewers with viewports, and the dialogs and selections that answer from the
// scripted answers (host/answers.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/scene.h"
#include "model/ui.h"

namespace kalhost
{

struct PaneState;

// One viewport of a viewer.
struct ViewportState
{
    std::string name;
    KOM_EnumValue *type;
    float normalScale = 1.0f;
    KOM_GeometryViewport *kept = nullptr; // the viewer's own handle, made when first asked for
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

// The host's shell object, which the shell family provides (host/shell.h); ui.shellIO() returns
// it. Until that family lands, a stand-in without operations (host/ui.cpp).
KOM_ShellIO *theShellIO();

} // namespace kalhost
