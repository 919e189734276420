// The user interface: desktop, panes, pane tabs, viewers and selectors.
#pragma once

#include "model/enums.h"

class KOM_ShellIO;

class KOM_Desktop
{
public:
    virtual ~KOM_Desktop() {}
};

class KOM_Pane
{
public:
    virtual ~KOM_Pane() {}
};

class KOM_PaneTab
{
public:
    virtual ~KOM_PaneTab() {}
    // A paneTabType value; it chooses the Python class.
    virtual KOM_EnumValue type() = 0;
};

class KOM_PathBasedPaneTab : public virtual KOM_PaneTab {};

class KOM_HelpBrowser : public virtual KOM_PaneTab {};

class KOM_NetworkEditor : public virtual KOM_PathBasedPaneTab {};

class KOM_ParticleViewer : public virtual KOM_PathBasedPaneTab {};

class KOM_SceneViewer : public virtual KOM_PathBasedPaneTab {};

class KOM_ParticleSelection
{
public:
    virtual ~KOM_ParticleSelection() {}
};

class KOM_GeometrySelection
{
public:
    virtual ~KOM_GeometrySelection() {}
};

class KOM_GeometryViewport
{
public:
    virtual ~KOM_GeometryViewport() {}
};

class KOM_GeometryViewportSettings
{
public:
    virtual ~KOM_GeometryViewportSettings() {}
};

class KOM_Selector
{
public:
    virtual ~KOM_Selector() {}
};

class KOM_ViewerState
{
public:
    virtual ~KOM_ViewerState() {}
};

// Host-owned singleton reached through kal.ui.
class KOM_ui
{
public:
    virtual ~KOM_ui() {}

    // The shell pane's input and output; the host keeps it.
    virtual KOM_ShellIO *shellIO() = 0;
};
