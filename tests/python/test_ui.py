"""The user interface: dialogs answered by scripted answers, the desktop's panes and pane tabs as
their most specific class, viewers, selections and what the host receives of their defaults."""
import pytest

import kal
import kalhost
from conftest import (geometry_selection, host_calls, live_handles_kept, only_call, raised_by_fault, run_example,
                      stub_result)

T = kal.paneTabType


@pytest.fixture
def desktop():
    return kal.ui.curDesktop()


@pytest.fixture
def viewer(desktop):
    return desktop.paneTabOfType(T.SceneViewer)


# --- Dialogs --------------------------------------------------------------------------------

def test_dialog_defaults_reach_the_host_and_answers_come_back_in_shape():
    kalhost.answer("ui.displayMessage", 1)
    assert kal.ui.displayMessage("Save?", buttons=("Yes", "No")) == 1
    kalhost.answer("ui.displayMessage", 0)
    assert kal.ui.displayMessage("Hello") == 0
    assert host_calls("ui.displayMessage")[1][1] == (
        "Hello", ("OK",), "severityType.Message", 0, None, None, None)

    kalhost.answer("ui.readInput", (0, "text"))
    assert kal.ui.readInput("Name?") == (0, "text")
    assert only_call("ui.readInput") == ("Name?", ("OK",), "severityType.Message", 0, None, None)

    kalhost.answer("ui.selectFromList", (2, 0))
    assert kal.ui.selectFromList(["a", "b", "c"]) == (2, 0)
    assert only_call("ui.selectFromList") == (("a", "b", "c"), (0,), False, None, None)


@pytest.mark.parametrize("ask", [
    lambda: kal.ui.displayMessage("x"),
    lambda: kal.ui.readInput("x"),
    lambda: kal.ui.selectFromList(["a"]),
])
def test_a_dialog_nobody_answers_is_a_plain_error(ask):
    with pytest.raises(kal.Error) as raised:
        ask()
    assert type(raised.value) is kal.Error
    kalhost.answer("ui.displayMessage", None)
    kalhost.answer("ui.readInput", None)
    kalhost.answer("ui.selectFromList", None)
    with pytest.raises(kal.Error, match="cancelled"):
        ask()


@pytest.mark.parametrize("ask, answer", [
    (lambda: kal.ui.displayMessage("x", buttons=("a", "b")), ("ui.displayMessage", 2)),
    (lambda: kal.ui.selectFromList(["a"]), ("ui.selectFromList", (1,))),
    (lambda: kal.ui.selectFromList(["a", "b"], exclusive=True), ("ui.selectFromList", (0, 1))),
    (lambda: kal.ui.readInput("x"), ("ui.readInput", 3)),
])
def test_an_answer_of_the_wrong_shape_is_refused(ask, answer):
    kalhost.answer(*answer)
    with pytest.raises(kal.Error, match="scripted answer"):
        ask()


def test_dialog_arguments_are_checked_before_the_host_is_called():
    with pytest.raises(TypeError, match=r"^in method 'ui_displayMessage', argument 5 of type 'int'$"):
        kal.ui.displayMessage("x", default_choice="no")
    with pytest.raises(TypeError, match="invalid keyword argument"):
        kal.ui.selectFromList(["a"], colour=1)
    with pytest.raises(kal.TypeError):
        kal.ui.displayMessage("x", severity=kal.paneTabType.Parm)
    assert host_calls("ui.displayMessage")[0][1][2] == "paneTabType.Parm"


# --- Desktop, panes and tabs ------------------------------------------------------------------

CLASSES = {T.SceneViewer: kal.SceneViewer, T.ContextViewer: kal.SceneViewer,
           T.ParticleViewer: kal.ParticleViewer, T.NetworkEditor: kal.NetworkEditor,
           T.HelpBrowser: kal.HelpBrowser, T.Parm: kal.PathBasedPaneTab,
           T.ChannelViewer: kal.PathBasedPaneTab, T.TreeView: kal.PathBasedPaneTab,
           T.Textport: kal.PaneTab, T.LightLinker: kal.PaneTab}
PANE_TAB_TYPES = [value for value in vars(T).values() if isinstance(value, kal.EnumValue)]


@pytest.mark.parametrize("tab_type", PANE_TAB_TYPES, ids=str)
def test_every_pane_tab_type_makes_a_tab_of_its_most_specific_class(desktop, tab_type):
    pane = desktop.panes()[0]
    tab = pane.createTab(tab_type)
    assert tab.type() == tab_type and tab.isCurrentTab() and tab.pane().currentTab().name() == tab.name()
    expected = CLASSES.get(tab_type)
    if expected:
        assert type(tab) is expected
    assert type(pane.tabOfType(tab_type)) is type(tab)
    assert type(tab.clone()) is type(tab)


def test_a_retyped_tab_comes_back_as_its_new_class_and_its_old_proxy_loses_the_old_operations(desktop):
    tab = desktop.panes()[1].createTab(T.Textport)
    editor = tab.setType(T.NetworkEditor)
    assert type(editor) is kal.NetworkEditor and editor.name() == tab.name()
    assert type(desktop.findPaneTab(tab.name())) is kal.NetworkEditor
    viewer = editor.setType(T.SceneViewer)
    with pytest.raises(kal.NotAvailable):
        editor.listMode()
    assert [v.name() for v in viewer.viewports()] == ["persp1", "top1", "front1", "right1"]
    with pytest.raises(kal.TypeError):
        tab.setType(kal.severityType.Message)


def test_pane_tab_lookups_by_type_index_and_name(desktop):
    first = desktop.paneTabOfType(T.NetworkEditor)
    assert first.name() == desktop.paneTabOfType(T.NetworkEditor, 0).name()
    assert desktop.paneTabOfType(T.NetworkEditor, 1) is None
    assert [call[1] for call in host_calls("Desktop.paneTabOfType")] == [
        ("paneTabType.NetworkEditor", 0)] * 2 + [("paneTabType.NetworkEditor", 1)]
    assert desktop.findPaneTab("no such tab") is None
    assert {tab.name() for tab in desktop.paneTabs()} >= {first.name()}
    with pytest.raises(kal.TypeError):
        desktop.paneTabOfType(kal.severityType.Message)


def test_panes_split_and_tabs_close(desktop):
    pane = desktop.panes()[0]
    added = pane.splitVertically()
    assert len(desktop.panes()) == 3 and desktop.panes()[1].tabs()[0].type() == T.SceneViewer
    tab = added.tabs()[0]
    tab.close()
    with pytest.raises(kal.ObjectWasDeleted):
        tab.name()
    with pytest.raises(kal.ObjectWasDeleted):
        added.tabs()
    assert len(desktop.panes()) == 2


def test_side_help_floats_and_setters_round_trip(desktop):
    help_browser = desktop.displaySideHelp()
    assert type(help_browser) is kal.HelpBrowser and help_browser.isFloating()
    assert [tab.name() for tab in desktop.floatingPaneTabs()] == [help_browser.name()]
    clone = help_browser.clone()
    assert clone.isFloating() and len(desktop.floatingPaneTabs()) == 2
    clone.close()
    assert len(desktop.floatingPaneTabs()) == 1
    help_browser.setUrl("help:/a")
    help_browser.setHomePage("help:/home")
    assert (help_browser.url(), help_browser.homePage()) == ("help:/a", "help:/home")
    help_browser.displayData("<p>", "text/html")
    assert only_call("HelpBrowser.displayData") == ("<p>", "text/html")
    help_browser.displayData("x")
    assert host_calls("HelpBrowser.displayData")[1][1] == ("x", "")
    help_browser.setName("docs")
    assert desktop.findPaneTab("docs").url().startswith("data:")
    assert desktop.displaySideHelp(False) is None
    with pytest.raises(kal.ObjectWasDeleted):
        help_browser.url()
    with pytest.raises(kal.OperationFailed):
        desktop.displaySideHelp(False)


def test_node_help_shows_in_the_side_help(desktop):
    kal.ui.displayNodeHelp(kal.nodeType(kal.sopNodeTypeCategory(), "box"))
    (help_browser,) = desktop.floatingPaneTabs()
    assert help_browser.url() == "help:/nodes/box"
    help_browser.displayHelpPath("/nodes/grid")
    assert desktop.displaySideHelp().url() == "help:/nodes/grid"


@pytest.mark.parametrize("owner, method, ask", [
    ("Desktop", "paneTabOfType", lambda d: d.paneTabOfType(T.NetworkEditor, 1)),
    ("Desktop", "findPaneTab", lambda d: d.findPaneTab("no such tab")),
    ("Desktop", "displaySideHelp", lambda d: d.displaySideHelp() and d.displaySideHelp(False)),
    ("Pane", "tabOfType", lambda d: d.panes()[0].tabOfType(T.HelpBrowser)),
    ("SceneViewer", "findViewport", lambda d: d.paneTabOfType(T.SceneViewer).findViewport("nope")),
    ("ParticleViewer", "findViewport",
     lambda d: d.panes()[0].createTab(T.ParticleViewer).findViewport("nope")),
    ("ParticleSelection", "popNetwork", lambda d: _particles(empty=True).popNetwork()),
    ("ViewerState", "nodeType", None),
])
def test_results_that_may_be_none_are_optional_in_the_stubs(desktop, owner, method, ask):
    if ask:
        assert ask(desktop) is None
    assert stub_result(owner, method).startswith("Optional[")


def _tab(tab_type=T.SceneViewer):
    return kal.ui.curDesktop().paneTabOfType(tab_type)


def _particles(empty=False):
    """A particle selection of a new particle node, or of none."""
    kalhost.answer("SceneViewer.selectParticles",
                   () if empty else kal.node("/pop").createNode("popnet").createNode("source").path())
    return _tab().selectParticles()


ERRORS = ["Error", "NotAvailable", "ObjectWasDeleted", "TypeError", "OperationFailed",
          "OperationInterrupted", "InvalidNodeType", "InvalidInput"]
DESKTOP = ("ObjectWasDeleted", "NotAvailable")


@pytest.mark.parametrize("operation, call, translated", [
    ("ui.__repr__", lambda: repr(kal.ui), ()),
    ("ui.readInput", lambda: kal.ui.readInput("x"), ("TypeError",)),
    ("ui.curDesktop", lambda: kal.ui.curDesktop(), ("NotAvailable",)),  # the ui object is never deleted
    ("Desktop.shelfDock", lambda: kal.ui.curDesktop().shelfDock(), ()),
    ("Desktop.name", lambda: kal.ui.curDesktop().name(), DESKTOP),
    ("Desktop.panes", lambda: kal.ui.curDesktop().panes(), DESKTOP),
    # The desktop classes translate NotAvailable, but for their repr; the help browser's does.
    ("Desktop.__repr__", lambda: repr(kal.ui.curDesktop()), ("ObjectWasDeleted",)),
    ("SceneViewer.__repr__", lambda: repr(_tab()), ("ObjectWasDeleted",)),
    ("HelpBrowser.__repr__", lambda: repr(kal.ui.curDesktop().displaySideHelp()), DESKTOP),
    ("Pane.__repr__", lambda: repr(kal.ui.curDesktop().panes()[0]), ("ObjectWasDeleted",)),
    ("PathBasedPaneTab.__repr__", lambda: repr(_tab(T.Parm)), ("ObjectWasDeleted",)),
    ("PathBasedPaneTab.cd", lambda: _tab(T.Parm).cd("/obj"), DESKTOP + ("OperationFailed",)),
    ("SceneViewer.selectObjects", lambda: _tab().selectObjects(),
     DESKTOP + ("OperationFailed", "OperationInterrupted")),
    ("GeometryViewport.name", lambda: _tab().curViewport().name(), ("ObjectWasDeleted",)),
    ("GeometryViewportSettings.setCamera", lambda: _tab().curViewport().settings().setCamera(
        kal.node("/obj").createNode("cam")), ("ObjectWasDeleted", "InvalidNodeType")),
    ("GeometrySelection.ordered", lambda: geometry_selection().ordered(), ()),
    ("GeometrySelection.setPrimitiveTypes", lambda: geometry_selection().setPrimitiveTypes([]), ("TypeError",)),
    ("GeometrySelection.nodes", lambda: geometry_selection().nodes(), ("ObjectWasDeleted",)),
    ("ParticleSelection.__str__", lambda: str(_particles()), ()),
    ("ParticleSelection.popNodes", lambda: _particles().popNodes(), ("ObjectWasDeleted",)),
])
def test_each_operation_translates_its_own_errors(operation, call, translated):
    for error in ERRORS:
        expected = error if error in translated else "Error"
        assert type(raised_by_fault(operation, error, call)).__name__ == expected, error


def test_layout_anew_leaves_old_handles_deleted(desktop, viewer):
    kalhost.reset()
    for call in (desktop.panes, viewer.name):
        with pytest.raises(kal.ObjectWasDeleted):
            call()


# --- Path-based tabs and viewers ------------------------------------------------------------

def test_path_based_tabs_follow_the_networks(desktop):
    editor = desktop.paneTabOfType(T.NetworkEditor)
    geo = kal.node("/obj").createNode("geo", "g")
    editor.cd("g")
    assert editor.pwd().path() == "/obj/g" and type(editor.pwd()) is kal.ObjNode
    editor.cd("..")
    assert editor.pwd().path() == "/obj"
    editor.setPwd(geo)
    box = geo.createNode("box")
    with pytest.raises(kal.OperationFailed):
        editor.setPwd(box)  # holds no network
    with pytest.raises(kal.OperationFailed):
        editor.cd("nowhere")
    geo.destroy()
    assert editor.pwd().path() == "/obj"
    editor.setListMode(True)
    assert editor.listMode()


def test_viewports_and_their_settings(viewer):
    viewport = viewer.findViewport("top1")
    assert viewport.type() == kal.geometryViewportType.Top and viewer.findViewport("nope") is None
    settings = viewport.settings()
    settings.setNormalScale(2.5)
    assert settings.normalScale() == 2.5 and viewer.findViewport("top1").settings().normalScale() == 2.5
    camera = kal.node("/obj").createNode("cam")
    viewport.setCamera(camera)
    with pytest.raises(kal.InvalidNodeType):
        settings.saveViewToCamera(kal.node("/obj").createNode("geo"))


def test_the_current_viewport_stays_with_the_viewer_and_outlives_its_proxies(viewer):
    with live_handles_kept():
        current = viewer.curViewport()
        assert not current.this.own() and viewer.findViewport("persp1").this.own()
        del current
        assert viewer.curViewport().name() == "persp1"
    kept = viewer.curViewport()
    viewer.close()
    with pytest.raises(kal.ObjectWasDeleted):
        kept.name()


def test_viewer_states(viewer):
    assert viewer.currentState() == "view"
    viewer.setCurrentState("geo")
    assert viewer.currentState() == "geo" and only_call("SceneViewer.setCurrentState") == ("geo", False)
    with pytest.raises(kal.OperationFailed):
        viewer.setCurrentState("no such state")
    with pytest.raises(kal.OperationInterrupted):
        viewer.enterViewState(True)
    kalhost.answer("SceneViewer.enterViewState", True)
    viewer.enterViewState(True)
    assert viewer.currentState() == "view"
    with pytest.raises(kal.OperationFailed):
        viewer.enterCurrentNodeState()
    geo = kal.node("/obj").createNode("geo")
    geo.setCurrent(True)
    viewer.enterCurrentNodeState()
    assert viewer.currentState() == "geo"


# --- Selections -----------------------------------------------------------------------------

SELECTION_DEFAULTS = {
    "selectObjects": ("Select objects", 0, False, False, True, True, ("*",), None, None),
    "selectGeometry": ("Select geometry", 0, False, False, True, False, (), (), True, None, None),
    "selectDynamics": ("Select dynamics objects", 0, True, False, False, True, True, None, None),
    "selectDynamicsPoints": ("Select dynamics points", 0, False, True, True, True, None, None),
    "selectParticles": ("Select particles", 0, True, False, True, True, None, None),
    "selectParticleNodes": ("Select particle nodes", 0, True, False, False, True, True, None, None),
    # without the bounding box
    "selectPositions": ("Click to specify a position", 1, True, True, "positionType.WorldSpace",
                        None, None),
}


@pytest.mark.parametrize("method", SELECTION_DEFAULTS)
def test_selections_pass_their_defaults_and_are_interrupted_without_an_answer(viewer, method):
    with pytest.raises(kal.OperationInterrupted):
        getattr(viewer, method)()
    received = only_call("SceneViewer." + method)
    if method == "selectPositions":
        assert received[4] == (0.0,) * 6  # a default-constructed box
        received = received[:4] + received[5:]
    assert received == SELECTION_DEFAULTS[method]


def test_select_objects_returns_the_answered_nodes(viewer):
    geo = kal.node("/obj").createNode("geo", "a")
    kal.node("/obj").createNode("null", "b")
    kalhost.answer("SceneViewer.selectObjects", ("/obj/a", "/obj/b"))
    assert [n.path() for n in viewer.selectObjects(prompt="Pick")] == ["/obj/a", "/obj/b"]
    kalhost.answer("SceneViewer.selectObjects", ("/obj/a", "/obj/b"))
    assert [n.path() for n in viewer.selectObjects(allow_multisel=False)] == ["/obj/a"]
    kalhost.answer("SceneViewer.selectObjects", ("/obj/a", "/obj/b"))
    with pytest.raises(kal.OperationFailed):
        viewer.selectObjects(allowed_types=["geo"])
    kalhost.answer("SceneViewer.selectObjects", ("/obj/a",))
    selected = viewer.selectObjects(allowed_types=["geo"])
    assert type(selected[0]) is kal.ObjNode and selected[0] == geo
    kalhost.answer("SceneViewer.selectObjects", "/obj/missing")
    with pytest.raises(kal.OperationFailed):
        viewer.selectObjects()


def test_geometry_selection_strings_match_the_geometry_and_merge(viewer, geo):
    first, second = geo.createNode("box"), geo.createNode("grid")
    kalhost.answer("SceneViewer.selectGeometry", (first.path(), (second.path(), "2-3")))
    selection = viewer.selectGeometry(geometry_types=[kal.geometryType.Primitives])
    boxes = len(first.geometry().prims())
    assert selection.selectionStrings() == ("", "2-3")
    assert selection.selectionStrings(False) == ("0-%d" % (boxes - 1), "2-3")
    assert selection.mergedSelectionString(False) == "0-%d %d-%d" % (boxes - 1, boxes + 2, boxes + 3)
    assert [n.path() for n in selection.nodes()] == [first.path(), second.path()]
    assert selection.needsMergedNode(geo)
    merged = selection.mergedNode(geo, "joined")
    assert merged.path() == geo.path() + "/joined" and not merged.this.own()
    assert [n.path() for n in merged.inputs()] == [first.path(), second.path()]
    with pytest.raises(kal.OperationFailed):
        selection.needsMergedNode(kal.node("/obj"))
    selection.setConnectivity(kal.connectivityType.Position)
    selection.setPrimitiveTypes([kal.primType.Polygon])
    assert selection.connectivity() == kal.connectivityType.Position
    assert selection.primitiveTypes() == (kal.primType.Polygon,)
    with pytest.raises(kal.TypeError):
        selection.setConnectivity(kal.primType.Polygon)
    del merged
    kalhost.reset()  # the selection keeps its merged node until the desktop is laid out anew


def test_the_merged_node_of_a_single_node_is_that_node(geo):
    box = geo.createNode("box")
    selection = geometry_selection(box)
    assert not selection.needsMergedNode(geo)
    pointers = set()
    for _ in range(3):
        merged = selection.mergedNode(geo, "unused")
        assert merged == box and not merged.this.own()
        pointers.add(int(merged.this))
    assert len(pointers) == 1  # asking again keeps no second handle
    assert [child.name() for child in geo.children()] == ["box1"]


def test_geometry_selection_reports_its_own_values_but_nodes_when_deleted():
    selection = geometry_selection()
    selection.nodes()[0].destroy()
    assert selection.geometryType() == kal.geometryType.Primitives and "<deleted>" in str(selection)
    with pytest.raises(kal.ObjectWasDeleted):
        selection.nodes()


def test_particle_selections_name_their_network(viewer):
    network = kal.node("/pop").createNode("popnet")
    sources = [network.createNode("source") for _ in range(2)]
    kalhost.answer("SceneViewer.selectParticleNodes", tuple(n.path() for n in sources))
    selection = viewer.selectParticleNodes(allow_multisel=False)
    assert selection.popNetwork() == network and type(selection.popNetwork()) is kal.PopNetNode
    assert [type(n) for n in selection.popNodes()] == [kal.PopNode]
    kalhost.answer("SceneViewer.selectParticles", network.path())  # the network is no particle node
    with pytest.raises(kal.OperationFailed):
        viewer.selectParticles()
    sources[0].destroy()
    assert "<deleted>" in str(selection)
    with pytest.raises(kal.ObjectWasDeleted):
        selection.popNodes()


def test_positions_particles_and_dynamics(viewer, desktop):
    kalhost.answer("SceneViewer.selectPositions", ((1, 2, 3), (4.5, 5, 6)))
    assert [tuple(p) for p in viewer.selectPositions(number_of_positions=2)] == [(1, 2, 3), (4.5, 5, 6)]
    kalhost.answer("SceneViewer.selectDynamics", ())
    assert viewer.selectDynamics() == ()
    kalhost.answer("SceneViewer.selectDynamicsPoints", "/obj")  # not a dynamics node
    with pytest.raises(kal.OperationFailed):
        viewer.selectDynamicsPoints()
    rigid = kal.node("/obj").createNode("dopnet").createNode("rigidobject")
    kalhost.answer("SceneViewer.selectDynamics", rigid.path())
    (data,) = viewer.selectDynamics()
    assert isinstance(data, kal.DopData)
    kalhost.answer("SceneViewer.selectDynamicsPoints", ((rigid.path(), "0-3"),))
    ((data, points),) = viewer.selectDynamicsPoints()
    assert isinstance(data, kal.DopData) and points.selectionStrings() == ("0-3",)
    editor = desktop.paneTabOfType(T.NetworkEditor)
    kalhost.answer("NetworkEditor.selectPosition", (1.5, -2))
    position = editor.selectPosition()
    assert (position[0], position[1]) == (1.5, -2.0)
    assert only_call("NetworkEditor.selectPosition") == (None, 0, None, 0)
    with pytest.raises(kal.OperationInterrupted):
        editor.selectPosition(output_index=1)


# --- Selectors and viewer states --------------------------------------------------------------

def test_selectors_come_from_surface_node_types_and_go_when_destroyed():
    xform = kal.nodeType(kal.sopNodeTypeCategory(), "xform")
    (baseline,) = xform.selectors()
    assert (baseline.name(), baseline.groupParmName(), baseline.nodeType()) == ("xform", "group", xform)
    assert baseline.geometryTypes() == (kal.geometryType.Primitives, kal.geometryType.Points,
                                        kal.geometryType.Edges)
    assert baseline.groupTypeParmValues() == (0, 1, 2)
    added = xform.addSelector("pick", "points", prompt="Pick points",
                              primitive_types=[kal.primType.Polygon])
    assert (added.prompt(), added.geometryTypes(), added.primitiveTypes(), added.inputRequired()) == (
        "Pick points", (kal.geometryType.Points,), (kal.primType.Polygon,), True)
    assert [s.name() for s in xform.selectors([1])] == ["pick"]
    baseline.destroy()
    assert [s.name() for s in xform.selectors()] == ["pick"]
    with pytest.raises(kal.ObjectWasDeleted):
        baseline.prompt()
    with pytest.raises(kal.OperationFailed):
        xform.addSelector("bad", "no such kind")


def test_viewer_states_make_nodes_of_their_type_and_the_viewer_enters_them(viewer):
    states = kal.objNodeTypeCategory().viewerStates(kal.paneTabType.SceneViewer)
    geo = next(state for state in states if state.name() == "geo")
    assert geo.nodeType() == kal.nodeType(kal.objNodeTypeCategory(), "geo")
    assert geo.categories() == (kal.objNodeTypeCategory(),) and not geo.isHidden()
    assert geo.icon() == "Object_geo"
    assert kal.objNodeTypeCategory().viewerStates(kal.paneTabType.ParticleViewer) == ()
    viewer.setCurrentState(geo.name())
    assert viewer.currentState() == "geo"


def test_the_ui_example_runs():
    printed = run_example("ui.py")
    assert "NetworkEditor panetab4 shows /obj/ui_geo" in printed
    assert "Merged into /obj/ui_geo/combined selecting '0-5 6-7'" in printed
    assert "The tool made ['box1', 'grid1']" in printed
