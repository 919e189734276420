// The user interface: dialogs, desktop, panes, pane tabs, viewers, selections, selectors and
// viewer states.

%catches(KOM_ObjectWasDeleted, KOM_Error);

// The desktop classes also translate NotAvailable, but for their __repr__ (HelpBrowser's does).
%define KAL_DESKTOP(OPERATION)
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_Error) OPERATION;
%enddef
KAL_DESKTOP(KOM_Desktop::panes) KAL_DESKTOP(KOM_Desktop::paneTabs)
KAL_DESKTOP(KOM_Desktop::floatingPaneTabs) KAL_DESKTOP(KOM_Desktop::findPaneTab)
KAL_DESKTOP(KOM_Desktop::name)
KAL_DESKTOP(KOM_Pane::desktop) KAL_DESKTOP(KOM_Pane::tabs) KAL_DESKTOP(KOM_Pane::createTab)
KAL_DESKTOP(KOM_Pane::currentTab) KAL_DESKTOP(KOM_Pane::splitHorizontally)
KAL_DESKTOP(KOM_Pane::splitVertically)
KAL_DESKTOP(KOM_PaneTab::pane) KAL_DESKTOP(KOM_PaneTab::name) KAL_DESKTOP(KOM_PaneTab::setName)
KAL_DESKTOP(KOM_PaneTab::isCurrentTab) KAL_DESKTOP(KOM_PaneTab::setIsCurrentTab)
KAL_DESKTOP(KOM_PaneTab::isFloating) KAL_DESKTOP(KOM_PaneTab::clone) KAL_DESKTOP(KOM_PaneTab::close)
KAL_DESKTOP(KOM_PaneTab::type)
KAL_DESKTOP(KOM_PathBasedPaneTab::pwd)
KAL_DESKTOP(KOM_SceneViewer::viewports) KAL_DESKTOP(KOM_SceneViewer::findViewport)
KAL_DESKTOP(KOM_SceneViewer::curViewport) KAL_DESKTOP(KOM_SceneViewer::currentState)
KAL_DESKTOP(KOM_SceneViewer::isCreateInContext)
KAL_DESKTOP(KOM_ParticleViewer::viewports) KAL_DESKTOP(KOM_ParticleViewer::findViewport)
KAL_DESKTOP(KOM_ParticleViewer::currentState) KAL_DESKTOP(KOM_ParticleViewer::isCreateInContext)
KAL_DESKTOP(KOM_NetworkEditor::autoPlaceNodes) KAL_DESKTOP(KOM_NetworkEditor::listMode)
KAL_DESKTOP(KOM_NetworkEditor::setListMode) KAL_DESKTOP(KOM_NetworkEditor::homeToSelection)
KAL_DESKTOP(KOM_HelpBrowser::__repr__) KAL_DESKTOP(KOM_HelpBrowser::displayData)
KAL_DESKTOP(KOM_HelpBrowser::displayHelp) KAL_DESKTOP(KOM_HelpBrowser::displayHelpPath)
KAL_DESKTOP(KOM_HelpBrowser::homePage) KAL_DESKTOP(KOM_HelpBrowser::setHomePage)
KAL_DESKTOP(KOM_HelpBrowser::url) KAL_DESKTOP(KOM_HelpBrowser::setUrl)
%catches(KOM_Error) KOM_Desktop::shelfDock;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_TypeError, KOM_Error) KOM_Desktop::paneTabOfType;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_OperationFailed, KOM_Error)
    KOM_Desktop::displaySideHelp;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_TypeError, KOM_Error) KOM_Pane::tabOfType;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_TypeError, KOM_Error) KOM_PaneTab::setType;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_OperationFailed, KOM_Error)
    KOM_PathBasedPaneTab::setPwd;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_OperationFailed, KOM_Error)
    KOM_PathBasedPaneTab::cd;

// Selections and state changes wait for the user, who may give up.
%define KAL_INTERACTIVE(OPERATION)
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_OperationFailed, KOM_OperationInterrupted,
         KOM_Error) OPERATION;
%enddef
KAL_INTERACTIVE(KOM_SceneViewer::enterViewState)
KAL_INTERACTIVE(KOM_SceneViewer::enterCurrentNodeState)
KAL_INTERACTIVE(KOM_SceneViewer::setCurrentState)
KAL_INTERACTIVE(KOM_SceneViewer::selectObjects)
KAL_INTERACTIVE(KOM_SceneViewer::selectGeometry)
KAL_INTERACTIVE(KOM_SceneViewer::selectDynamics)
KAL_INTERACTIVE(KOM_SceneViewer::selectDynamicsPoints)
KAL_INTERACTIVE(KOM_SceneViewer::selectParticles)
KAL_INTERACTIVE(KOM_SceneViewer::selectParticleNodes)
KAL_INTERACTIVE(KOM_SceneViewer::selectPositions)
KAL_INTERACTIVE(KOM_ParticleViewer::enterViewState)
KAL_INTERACTIVE(KOM_ParticleViewer::enterCurrentNodeState)
KAL_INTERACTIVE(KOM_ParticleViewer::setCurrentState)
KAL_INTERACTIVE(KOM_NetworkEditor::selectPosition)

// The ui object outlives every script: nothing it does reports a deleted object. Its dialogs
// report a cancel as a plain Error.
%catches(KOM_Error) KOM_ui::__repr__;
%catches(KOM_Error) KOM_ui::shellIO;
%catches(KOM_NotAvailable, KOM_Error) KOM_ui::curDesktop;
%catches(KOM_TypeError, KOM_Error) KOM_ui::displayMessage;
%catches(KOM_TypeError, KOM_Error) KOM_ui::readInput;
%catches(KOM_TypeError, KOM_Error) KOM_ui::selectFromList;
%catches(KOM_Error) KOM_ui::displayNodeHelp;
%catches(KOM_Error) KOM_ui::_getTabMenuIconSize;

%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_Error) KOM_GeometryViewport::setCamera;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_Error) KOM_GeometryViewport::saveViewToCamera;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_Error) KOM_GeometryViewportSettings::setCamera;
%catches(KOM_ObjectWasDeleted, KOM_InvalidNodeType, KOM_Error)
    KOM_GeometryViewportSettings::saveViewToCamera;

// A selection's description and component kinds are its own values, never a deleted object.
%catches(KOM_Error) KOM_GeometrySelection::__repr__;
%catches(KOM_Error) KOM_GeometrySelection::__str__;
%catches(KOM_Error) KOM_GeometrySelection::ordered;
%catches(KOM_Error) KOM_GeometrySelection::geometryType;
%catches(KOM_Error) KOM_GeometrySelection::setGeometryType;
%catches(KOM_Error) KOM_GeometrySelection::connectivity;
%catches(KOM_TypeError, KOM_Error) KOM_GeometrySelection::setConnectivity;
%catches(KOM_Error) KOM_GeometrySelection::primitiveTypes;
%catches(KOM_TypeError, KOM_Error) KOM_GeometrySelection::setPrimitiveTypes;
%catches(KOM_ObjectWasDeleted, KOM_Error) KOM_GeometrySelection::nodes;
%catches(KOM_ObjectWasDeleted, KOM_Error) KOM_GeometrySelection::selectionStrings;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_GeometrySelection::needsMergedNode;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_GeometrySelection::mergedNode;
%catches(KOM_ObjectWasDeleted, KOM_Error) KOM_GeometrySelection::mergedSelectionString;
%catches(KOM_Error) KOM_ParticleSelection::__repr__;
%catches(KOM_Error) KOM_ParticleSelection::__str__;
%catches(KOM_ObjectWasDeleted, KOM_Error) KOM_ParticleSelection::popNetwork;
%catches(KOM_ObjectWasDeleted, KOM_Error) KOM_ParticleSelection::popNodes;

%feature("kwargs") KOM_ui::displayMessage;
%feature("kwargs") KOM_ui::readInput;
%feature("kwargs") KOM_ui::selectFromList;
%feature("kwargs") KOM_SceneViewer::selectObjects;
%feature("kwargs") KOM_SceneViewer::selectGeometry;
%feature("kwargs") KOM_SceneViewer::selectDynamics;
%feature("kwargs") KOM_SceneViewer::selectDynamicsPoints;
%feature("kwargs") KOM_SceneViewer::selectParticles;
%feature("kwargs") KOM_SceneViewer::selectParticleNodes;
%feature("kwargs") KOM_SceneViewer::selectPositions;
%feature("kwargs") KOM_NetworkEditor::selectPosition;

// None when there is no such tab, viewport, network or node type, and once the side help is
// hidden.
%feature("kal:maybenone") KOM_Desktop::paneTabOfType;
%feature("kal:maybenone") KOM_Desktop::findPaneTab;
%feature("kal:maybenone") KOM_Desktop::displaySideHelp;
%feature("kal:maybenone") KOM_Pane::tabOfType;
%feature("kal:maybenone") KOM_SceneViewer::findViewport;
%feature("kal:maybenone") KOM_ParticleViewer::findViewport;
%feature("kal:maybenone") KOM_ParticleSelection::popNetwork;
%feature("kal:maybenone") KOM_ViewerState::nodeType;

// Objects their owner keeps: the viewer its current viewport, the selection its merged node,
// the ui object its shell.
%typemap(out, noblock=1) KOM_GeometryViewport *KOM_SceneViewer::curViewport {
  $result = KOMconvertValueForInterpreter($1, 0);
}
%typemap(out, noblock=1) KOM_Node *KOM_GeometrySelection::mergedNode {
  $result = KOMconvertValueForInterpreter($1, 0);
}
%typemap(out, noblock=1) KOM_ShellIO *KOM_ui::shellIO {
  $result = KOMconvertValueForInterpreter($1, 0);
}

%include "model/ui.h"

%catches();
