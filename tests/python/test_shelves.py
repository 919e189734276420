"""Shelves, tools and galleries: shelf files, read-only files, keyword defaults, ownership and
the errors each entry translates."""
import os
import stat

import pytest

import kal
import kalhost
from conftest import host_calls, live_handles_kept, raised_by_fault, run_tool_collecting, stub_result


@pytest.fixture
def tool():
    return kal.shelves.tools()["box"]


@pytest.fixture
def entry():
    (found,) = kal.galleries.galleryEntries(name_pattern="half_*")
    return found


def gallery_file():
    return os.path.join(os.path.dirname(kal.shelves.defaultFilePath()), "default.gal")


def read_only(path):
    os.chmod(path, stat.S_IRUSR | stat.S_IRGRP)


def test_the_baseline_holds_a_shelf_set_with_a_shelf_with_a_tool():
    (shelf_set,) = kal.shelves.shelfSets().values()
    (shelf,) = shelf_set.shelves()
    (tool,) = shelf.tools()
    assert isinstance(shelf, kal.Shelf) and isinstance(tool, kal.ShelfElement)
    assert tool == kal.shelves.tools()["box"] and tool != shelf and tool != None  # noqa: E711
    assert os.path.dirname(tool.filePath()) == os.path.dirname(kal.shelves.defaultFilePath())


def test_a_reset_lays_the_folder_anew():
    folder = os.path.dirname(kal.shelves.defaultFilePath())
    kal.shelves.newShelf(name="scratch")
    kalhost.reset()
    assert not os.path.exists(folder)
    assert "scratch" not in kal.shelves.shelves()
    assert os.path.exists(kal.shelves.defaultFilePath())


@pytest.mark.parametrize("getter, setter, value", [
    ("name", "setName", "cube"), ("label", "setLabel", "Cube\nsecond line"),
    ("script", "setScript", "print('a\\\\b')\n"), ("icon", "setIcon", "SOP_cube"),
    ("help", "setHelp", "Makes\ta cube"), ("helpURL", "setHelpURL", "op:Sop/box"),
])
def test_tool_setters_round_trip_through_the_file(tool, getter, setter, value):
    getattr(tool, setter)(value)
    assert getattr(tool, getter)() == value
    # The file keeps the text escaped, on one line.
    with open(tool.filePath()) as text:
        assert value.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t") in text.read()


def test_renaming_keeps_the_element_on_its_shelf(tool):
    tool.setName("cube")
    (shelf,) = kal.shelves.shelves().values()
    assert [t.name() for t in shelf.tools()] == ["cube"]
    assert "  tool cube\n" in open(shelf.filePath()).read()
    with pytest.raises(kal.Error):
        kal.shelves.newTool(name="another").setName("cube")  # the name is taken


def test_tool_menus_follow_the_pane_that_shows_them(tool):
    sop, obj = kal.sopNodeTypeCategory(), kal.objNodeTypeCategory()
    tool.setToolMenuCategories(kal.paneTabType.SceneViewer, [sop, obj])
    assert tool.toolMenuCategories(kal.paneTabType.SceneViewer) == (sop, obj)
    assert tool.toolMenuCategories(kal.paneTabType.CompositorViewer) == ()
    tool.setToolMenuOpType(kal.paneTabType.NetworkEditor, "box")
    assert tool.toolMenuOpType(kal.paneTabType.NetworkEditor) == "box"
    tool.setToolLocations(["Create", "Geometry"])
    assert tool.toolMenuLocations() == ("Create", "Geometry")
    for call in (lambda: tool.toolMenuOpType(kal.paneTabType.Textport),
                 lambda: tool.toolMenuCategories(kal.scriptLanguage.Python),
                 lambda: tool.setLanguage(kal.paneTabType.Textport)):
        with pytest.raises(kal.TypeError):
            call()


def test_new_tool_passes_its_defaults_and_stores_what_it_is_given():
    kalhost.clearCalls()
    plain = kal.shelves.newTool()
    assert host_calls("shelves.newTool") == [("shelves.newTool", (
        None, None, None, None, "scriptLanguage.Python", None, None, None, (), (), (), (), None, None, ()))]
    assert plain.name() == "tool1" and plain.language() == kal.scriptLanguage.Python
    made = kal.shelves.newTool(file_path="mine.shelf", name="grid", label="Grid", script="1",
                               language=kal.scriptLanguage.Kscript,
                               network_categories=[kal.sopNodeTypeCategory()], viewer_op_type="grid",
                               locations=("Create",))
    assert (made.label(), made.script(), made.language(), made.toolMenuOpType(kal.paneTabType.SceneViewer),
            made.toolMenuCategories(kal.paneTabType.NetworkEditor)) == (
        "Grid", "1", kal.scriptLanguage.Kscript, "grid", (kal.sopNodeTypeCategory(),))
    assert made.filePath() == os.path.join(os.path.dirname(kal.shelves.defaultFilePath()), "mine.shelf")


def test_set_data_replaces_everything_and_passes_python_by_default(tool):
    kalhost.clearCalls()
    tool.setData(script="x = 1", help="h")
    (call,) = host_calls("Tool.setData")
    assert call[1][1] == "scriptLanguage.Python" and call[1][-1] == ()
    assert (tool.script(), tool.help(), tool.icon(), tool.toolMenuLocations()) == ("x = 1", "h", "", ())
    with pytest.raises(kal.TypeError):
        tool.setData(language=kal.exprLanguage.Python)
    assert tool.script() == "x = 1"  # nothing changed


def test_new_shelf_passes_nulls_and_files_outside_the_folder_are_refused():
    kalhost.clearCalls()
    shelf = kal.shelves.newShelf()
    assert host_calls("shelves.newShelf") == [("shelves.newShelf", (None, None, None))]
    assert shelf.name() == shelf.label() == "shelf1"
    with pytest.raises(kal.PermissionError):
        kal.shelves.newShelfSet(file_path="/tmp/elsewhere.shelf")
    with pytest.raises(kal.PermissionError):
        shelf.setFilePath("../escape.shelf")


def test_sets_and_shelves_hold_what_they_are_given():
    (shelf_set,) = kal.shelves.shelfSets().values()
    extra = kal.shelves.newShelf(name="extra")
    shelf_set.setShelves(list(shelf_set.shelves()) + [extra])
    assert [s.name() for s in shelf_set.shelves()] == ["create", "extra"]
    extra.setTools([kal.shelves.tools()["box"], kal.shelves.newTool(name="t")])
    assert [t.name() for t in extra.tools()] == ["box", "t"]
    extra.destroy()
    assert [s.name() for s in shelf_set.shelves()] == ["create"]
    assert "shelf extra" not in open(shelf_set.filePath()).read()
    with pytest.raises(kal.ObjectWasDeleted):
        extra.name()
    with pytest.raises(kal.Error, match="None cannot stand"):  # its list has no TypeError
        shelf_set.setShelves([None])


def test_moving_an_element_rewrites_both_files(tool):
    old = tool.filePath()
    tool.setFilePath("tools.shelf")
    assert "\ntool box\n" not in open(old).read() and "\ntool box\n" in open(tool.filePath()).read()
    assert "  tool box\n" in open(old).read()  # its shelf still lists it


@pytest.mark.parametrize("edit", [
    lambda t: t.setName("x"), lambda t: t.setLabel("x"), lambda t: t.setScript("x"),
    lambda t: t.setLanguage(kal.scriptLanguage.Kscript), lambda t: t.setToolLocations(()),
    lambda t: t.setData(), lambda t: t.setFilePath("other.shelf"), lambda t: t.destroy(),
    lambda t: t.setToolMenuOpType(kal.paneTabType.NetworkEditor, "x"),
])
def test_elements_of_read_only_files_refuse_edits(tool, edit):
    read_only(tool.filePath())
    with pytest.raises(kal.PermissionError):
        edit(tool)
    assert tool.name() == "box" and tool.label() == "Box"  # still readable, unchanged


def test_new_elements_refuse_read_only_files():
    read_only(kal.shelves.defaultFilePath())
    with pytest.raises(kal.PermissionError):
        kal.shelves.newTool()
    assert "tool1" not in kal.shelves.tools()


def test_the_running_tool_is_the_hosts(tool):
    assert kal.shelves.runningTool() is None
    tool.setScript("import kal\ncollected.append(kal.shelves.runningTool())")
    (running,) = run_tool_collecting("box")
    assert not running.this.own() and running.name() == "box"
    with live_handles_kept():
        del running
    assert kal.shelves.runningTool() is None
    tool.destroy()
    with pytest.raises(ValueError):
        kalhost.runTool("box")


@pytest.mark.parametrize("owner, method, ask", [
    ("shelves", "runningTool", lambda: kal.shelves.runningTool()),
    ("GalleryEntry", "bestNodeType", lambda: kal.galleries.createGalleryEntry("p.gal", "e").bestNodeType()),
])
def test_results_that_may_be_none_are_optional_in_the_stubs(owner, method, ask):
    assert ask() is None
    assert stub_result(owner, method).startswith("Optional[")


@pytest.mark.parametrize("operation, error, call, raised, answer", [
    # The namespace objects translate no deleted object (createGalleryEntry does: FORMS in test_errors.py).
    ("shelves.tools", "ObjectWasDeleted", lambda: len(kal.shelves.tools()), kal.Error, 1),
    ("galleries.galleries", "ObjectWasDeleted", lambda: len(kal.galleries.galleries()), kal.Error, 1),
    # A shelf element's repr translates only Error.
    ("ShelfElement.__repr__", "ObjectWasDeleted", lambda: repr(kal.shelves.tools()["box"]), kal.Error,
     "<kal.Tool box>"),
    ("ShelfElement.__repr__", "ObjectWasDeleted", lambda: repr(kal.shelves.shelves()["create"]), kal.Error,
     "<kal.Shelf create>"),
    ("ShelfElement.__repr__", "ObjectWasDeleted", lambda: repr(kal.shelves.shelfSets()["shelf_set_1"]),
     kal.Error, "<kal.ShelfSet shelf_set_1>"),
    # The shelf dock translates NotAvailable.
    ("ShelfDock.__repr__", "NotAvailable", lambda: repr(kal.ui.curDesktop().shelfDock()), kal.NotAvailable, None),
    ("ShelfDock.shelfSets", "NotAvailable", lambda: [s.name() for s in kal.ui.curDesktop().shelfDock().shelfSets()],
     kal.NotAvailable, ["shelf_set_1"]),
    ("ShelfDock.iconsize", "NotAvailable", lambda: kal.ui.curDesktop().shelfDock().iconsize(), kal.NotAvailable,
     None),
])
def test_each_operation_translates_by_its_catch_list(operation, error, call, raised, answer):
    assert type(raised_by_fault(operation, error, call)) is raised
    if answer is not None:  # the fault is spent
        assert call() == answer


# --- galleries ---

def test_the_baseline_entry_applies_to_boxes(entry):
    box_type = entry.bestNodeType()
    assert isinstance(box_type, kal.SopNodeType) and box_type.name() == "box"
    assert entry.nodeTypeCategory() == kal.sopNodeTypeCategory() and not entry.nodeTypeCategory().this.own()
    geo = kal.node("/obj").createNode("geo")
    box, grid = geo.createNode("box"), geo.createNode("grid")
    assert entry.canApplyToNode(box) and not entry.canApplyToNode(grid)
    entry.applyToNode(box)
    assert box.parmTuple("size").eval() == (0.5, 0.5, 0.5) and box.parm("divisions").eval() == 4
    with pytest.raises(kal.Error):
        entry.applyToNode(grid)
    assert entry.canCreateChildNode(geo) and not entry.canCreateChildNode(kal.node("/obj"))
    child = entry.createChildNode(geo)
    assert isinstance(child, kal.SopNode) and child.parm("sizex").eval() == 0.5


def test_gallery_entries_filter_and_pass_nulls():
    kalhost.clearCalls()
    assert len(kal.galleries.galleryEntries()) == 1
    assert host_calls("galleries.galleryEntries") == [("galleries.galleryEntries", (None, None, None, None))]
    geo = kal.node("/obj").createNode("geo")
    box_type, grid_type = geo.createNode("box").type(), geo.createNode("grid").type()
    assert len(kal.galleries.galleryEntries(keyword_pattern="cu?e", node_type=box_type)) == 1
    assert kal.galleries.galleryEntries(node_type=grid_type) == ()
    assert kal.galleries.galleryEntries(category="Lights") == ()


@pytest.mark.parametrize("getter, setter, value", [
    ("name", "setName", "small_box"), ("description", "setDescription", "Small\nbox"),
    ("helpURL", "setHelpURL", "op:Sop/box"), ("requiredKDAFile", "setRequiredKDAFile", "b.kda"),
    ("icon", "setIcon", "SOP_grid"), ("script", "setScript", "opparm . divisions 2"),
    ("nodeTypeNames", "setNodeTypeNames", ("box", "grid")), ("categories", "setCategories", ("A", "B")),
    ("keywords", "setKeywords", ("k",)),
])
def test_entry_setters_round_trip_and_survive_a_reinstall(entry, getter, setter, value):
    getattr(entry, setter)(value)
    assert getattr(entry, getter)() == value
    path = os.path.join(os.path.dirname(kal.shelves.defaultFilePath()), "copy.gal")
    with open(gallery_file()) as source:
        text = source.read()
    with open(path, "w") as copy:
        copy.write(text)
    (reread,) = kal.galleries.installGallery(path).galleryEntries()
    assert getattr(reread, getter)() == value


def test_entries_made_from_nodes_recreate_them(geo):
    inner = geo.createNode("box", "b")
    inner.parm("divisions").set(3)
    made = kal.galleries.createGalleryEntry("presets.gal", "geo_with_box", geo)
    assert made.nodeTypeNames() == ("geo",) and made.nodeTypeCategory() == kal.objNodeTypeCategory()
    target = kal.node("/obj").createNode("geo")
    made.applyToNode(target)
    assert target.node("b").parm("divisions").eval() == 3
    made.setContentsFromNode(None)
    assert made.createChildNode(kal.node("/obj")).children() == ()
    gallery = [g for g in kal.galleries.galleries() if "presets.gal" in repr(g)][0]
    short = gallery.createEntry("plain")
    assert short.nodeTypeNames() == () and short.bestNodeType() is None
    gallery.deleteEntry("plain")
    with pytest.raises(kal.ObjectWasDeleted):
        short.name()
    with pytest.raises(kal.OperationFailed):
        gallery.deleteEntry("plain")


def test_set_equal_and_set_script_from_node(entry):
    other = kal.galleries.createGalleryEntry("presets.gal", "other")
    other.setEqual(entry)
    assert other.name() == "other" and other.nodeTypeNames() == ("box",)
    box = kal.node("/obj").createNode("geo").createNode("box")
    box.parm("sizey").set(2.0)
    other.setScriptFromNode(box)
    assert "sizey" in other.script()


def test_gallery_errors_and_read_only_files(entry):
    bad = os.path.join(os.path.dirname(kal.shelves.defaultFilePath()), "bad.gal")
    with open(bad, "w") as damaged:
        damaged.write("kalvane gallery file 1\nentry e\n  nodeTypeCategory Nowhere\n")
    with pytest.raises(kal.OperationFailed, match="bad.gal:3"):
        kal.galleries.installGallery(bad)
    with pytest.raises(kal.OperationFailed):
        kal.galleries.installGallery("missing.gal")
    with pytest.raises(kal.PermissionError):
        kal.galleries.createGalleryEntry("/tmp/outside.gal", "e")
    read_only(gallery_file())
    with pytest.raises(kal.PermissionError):
        entry.setName("x")
    with pytest.raises(kal.PermissionError):
        kal.galleries.galleries()[0].createEntry("x")
    assert entry.name() == "half_box"


def test_galleries_installed_from_elsewhere_are_read_only(tmp_path):
    outside = tmp_path / "elsewhere.gal"
    outside.write_text(open(gallery_file()).read())
    gallery = kal.galleries.installGallery(str(outside))
    (entry,) = gallery.galleryEntries()
    with pytest.raises(kal.PermissionError):
        entry.setName("renamed")
    with pytest.raises(kal.PermissionError):
        gallery.deleteEntry("half_box")
    assert outside.read_text() == open(gallery_file()).read()


def test_not_owned_results_outlive_their_proxies(entry):
    with live_handles_kept():
        category = entry.nodeTypeCategory()
        del category
    assert entry.nodeTypeCategory().name() == "Sop"
