"""Module-level functions: look-ups, the current node, copying and moving, clock, files, session."""
import ctypes
import glob
import os
import threading
import time

import pytest

import _kal
import kal
import kalhost
from conftest import host_args, host_calls, raised_by_fault

NODE_SEQUENCE = "std::vector<KOM_Node *,std::allocator<KOM_Node * > > const &"


def test_paths_resolve_from_the_root_or_the_current_node():
    kal.node("/obj").createNode("geo", "g").createNode("box")
    kal.cd("/obj/g")
    assert kal.pwd().path() == "/obj/g" and type(kal.pwd()) is kal.ObjNode
    assert kal.node("box1").path() == "/obj/g/box1"
    assert kal.node("../g/box1").path() == "/obj/g/box1"
    assert kal.node("nothing") is None and kal.node("") is None
    kal.setPwd(kal.node("/obj"))
    assert kal.pwd().path() == "/obj"
    with pytest.raises(kal.OperationFailed):
        kal.cd("/nowhere")
    assert kal.pwd().path() == "/obj"
    assert host_args("Module.cd") == [("/obj/g",), ("/nowhere",)]


def test_the_current_node_falls_back_to_the_root_once_it_is_gone(geo):
    kal.setPwd(geo)
    geo.destroy()
    assert kal.pwd().path() == "/"
    with pytest.raises(kal.ObjectWasDeleted):
        kal.setPwd(geo)


@pytest.mark.parametrize("call, message", [
    (lambda: kal.setPwd(None), "invalid null reference in method 'setPwd', argument 1 of type 'KOM_Node &'"),
    (lambda: kal.nodeType(None, "geo"),
     "invalid null reference in method 'nodeType', argument 1 of type 'KOM_NodeTypeCategory &'"),
    (lambda: kal.copyNodesTo([], None),
     "invalid null reference in method 'copyNodesTo', argument 2 of type 'KOM_Node &'"),
    (lambda: kal.zelContextForShaderType(None),
     "invalid null reference in method 'zelContextForShaderType', argument 1 of type 'KOM_EnumValue &'"),
])
def test_none_for_a_reference_is_refused_before_the_host(call, message):
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value) == message
    assert [c for c in host_calls() if c[0].startswith("Module.")] == []


def test_parameters_by_path():
    kal.node("/obj").createNode("geo", "g")
    assert type(kal.parm("/obj/g/tx")) is kal.Parm and kal.parm("/obj/g/tx").this.own()
    assert type(kal.parmTuple("/obj/g/t")) is kal.ParmTuple
    kal.cd("/obj")
    assert kal.parm("g/ty").name() == "ty"
    assert kal.parm("/obj/g/none") is None and kal.parm("/obj/none/tx") is None
    assert kal.parmTuple("/nowhere/t") is None


def test_categories_are_kept_by_the_host_and_find_node_types():
    first, second = kal.objNodeTypeCategory(), kal.objNodeTypeCategory()
    assert not first.this.own() and int(first.this) == int(second.this)
    del first, second
    category = kal.objNodeTypeCategory()
    assert type(kal.nodeType(category, "geo")) is kal.NodeType
    assert kal.nodeType(category, "box") is None
    assert type(kal.nodeType(kal.sopNodeTypeCategory(), "box")) is kal.SopNodeType
    assert host_args("Module.nodeType")[0][1] == "geo"
    categories = kal.nodeTypeCategories()
    assert len(categories) == 15
    assert int(categories["Sop"].this) == int(kal.sopNodeTypeCategory().this)
    assert not categories["Sop"].this.own()


@pytest.mark.parametrize("accessor", [
    "popNodeTypeCategory", "dopNodeTypeCategory", "cop2NodeTypeCategory", "shopNodeTypeCategory",
    "vopNodeTypeCategory", "ropNodeTypeCategory", "chopNodeTypeCategory", "popNetNodeTypeCategory",
    "cop2NetNodeTypeCategory", "vopNetNodeTypeCategory", "chopNetNodeTypeCategory",
    "managerNodeTypeCategory", "rootNodeTypeCategory",
])
def test_every_category_accessor_reaches_its_own_host_operation(accessor):
    category = getattr(kal, accessor)()
    assert type(category) is kal.NodeTypeCategory
    assert host_calls() == [("Module." + accessor, ())]


def test_copies_are_renamed_on_collision_and_keep_their_own_wires(obj):
    source, target = obj.createNode("geo", "src"), obj.createNode("geo", "dst")
    box, xform = source.createNode("box"), source.createNode("xform")
    outside = source.createNode("grid")
    xform.setInput(0, box)
    xform.setInput(1, outside)
    target.createNode("box")
    copies = kal.copyNodesTo([box, xform], target)
    assert [n.path() for n in copies] == ["/obj/dst/box2", "/obj/dst/xform1"]
    assert all(type(n) is kal.SopNode and n.this.own() for n in copies)
    assert [n.path() for n in copies[1].inputs()] == ["/obj/dst/box2"]
    assert [n.path() for n in xform.inputs()] == ["/obj/src/box1", "/obj/src/grid1"]
    assert host_args("Module.copyNodesTo") == [(("/obj/src/box1", "/obj/src/xform1"), "/obj/dst")]
    assert kal.copyNodesTo([], target) == ()
    with pytest.raises(kal.OperationFailed):
        kal.copyNodesTo([box], obj)  # a surface node does not belong among objects


def test_copies_take_their_contents_and_parameter_values_along(obj):
    geo = obj.createNode("geo", "g")
    geo.createNode("box")
    copy, = kal.copyNodesTo([geo], obj)
    assert copy.path() == "/obj/g1" and [n.name() for n in copy.children()] == ["box1"]
    assert len(copy.parms()) == len(geo.parms())


def test_moved_nodes_keep_their_handles_and_lose_wires_across_the_move(obj):
    a, b, c = obj.createNode("null", "a"), obj.createNode("null", "b"), obj.createNode("null", "c")
    b.setInput(0, a)
    c.setInput(0, b)
    subnet = obj.createNode("subnet", "s")
    subnet.createNode("null", "b")
    moved = kal.moveNodesTo([b], subnet)
    assert [n.path() for n in moved] == ["/obj/s/b1"] and b.path() == "/obj/s/b1"
    assert b.inputs() == () and c.inputs() == ()
    with pytest.raises(kal.OperationFailed):
        kal.moveNodesTo([subnet], subnet)
    with pytest.raises(kal.TypeError):
        kal.moveNodesTo([a, None], subnet)


@pytest.mark.parametrize("function", [kal.copyNodesTo, kal.moveNodesTo])
def test_node_sequences_are_checked_before_the_host(function):
    name = function.__name__
    for bad in (5, [kal.node("/obj"), 5], [kal.objNodeTypeCategory()]):
        with pytest.raises(TypeError) as raised:
            function(bad, kal.node("/obj"))
        assert str(raised.value) == "in method '%s', argument 1 of type '%s'" % (name, NODE_SEQUENCE)
    assert host_calls("Module." + name) == []


def test_the_clock_converts_between_time_and_frames():
    assert (kal.time(), kal.frame(), kal.fps()) == (0.0, 1.0, 24.0)
    kal.setFrame(49)
    assert kal.time() == 2.0
    kal.setFps(10)
    assert (kal.time(), kal.frame()) == (2.0, 21.0)
    kal.setTime(0.5)
    assert kal.frame() == 6.0
    assert (kal.timeToFrame(1), kal.frameToTime(11)) == (11.0, 1.0)
    with pytest.raises(kal.Error):
        kal.setFps(0)
    assert host_args("Module.setFps") == [(10.0,), (0.0,)]


@pytest.mark.parametrize("function, args", [
    (kal.bezier, ()), (kal.constant, ()), (kal.cubic, ()), (kal.cycle, (1, 10)),
    (kal.cyclet, (0, 1)), (kal.ease, ()), (kal.easein, ()), (kal.easeinp, (2,)),
    (kal.easeout, ()), (kal.easeoutp, (2,)), (kal.easep, (0.5,)), (kal.linear, ()),
    (kal.match, ()), (kal.matchin, ()), (kal.matchout, ()), (kal.qlinear, ()), (kal.quintic, ()),
    (kal.repeat, (1, 10)), (kal.repeatt, (0, 1)), (kal.spline, ()), (kal.vmatch, ()),
    (kal.vmatchin, ()), (kal.vmatchout, ()),
])
def test_animation_functions_are_not_available_outside_a_keyframe_segment(function, args):
    with pytest.raises(kal.NotAvailable):
        function(*args)
    assert host_args("Module." + function.__name__) == [tuple(float(a) for a in args)]


def test_animation_function_arguments_are_floats():
    with pytest.raises(TypeError):
        kal.cycle(1)
    with pytest.raises(TypeError, match=r"^in method 'cycle', argument 1 of type 'float'$"):
        kal.cycle("a", 1)
    with pytest.raises(TypeError, match=r"^in method 'repeatt', argument 2 of type 'float'$"):
        kal.repeatt(1, None)
    assert host_calls() == []


def test_almost_equal_takes_ints_and_translates_nothing():
    assert kal.almostEqual(1, 1) is True and kal.almostEqual(1, 1.000001) is True
    assert kal.almostEqual(1, 2) is False
    assert host_args("Module.almostEqual") == [(1.0, 1.0), (1.0, 1.000001), (1.0, 2.0)]


@pytest.fixture
def search_path(tmp_path, monkeypatch):
    first, second = tmp_path / "first", tmp_path / "second"
    for directory in (first, second):
        (directory / "scripts").mkdir(parents=True)
        (directory / "scripts" / "start.py").write_text("print(1)\n")
    (second / "only_here.txt").write_bytes(b"a\0b\0")
    monkeypatch.setenv("KALVANE_PATH", "%s:%s" % (first, second))
    return first, second


def test_files_and_directories_are_found_along_the_search_path(search_path):
    first, second = search_path
    assert kal.findFile("scripts/start.py") == "%s/scripts/start.py" % first
    assert kal.findFiles("scripts/start.py") == ("%s/scripts/start.py" % first,
                                                 "%s/scripts/start.py" % second)
    assert kal.findDirectory("scripts") == "%s/scripts" % first
    assert len(kal.findDirectories("scripts")) == 2 and kal.findFiles("scripts") == ()
    assert kal.findFile("only_here.txt") == "%s/only_here.txt" % second
    for function in (kal.findFile, kal.findDirectory):
        with pytest.raises(kal.OperationFailed):
            function("missing")


def test_read_file_returns_everything_including_nul_bytes(search_path):
    assert kal.readFile(kal.findFile("only_here.txt")) == "a\0b\0"
    with pytest.raises(kal.OperationFailed):
        kal.readFile(str(search_path[0]))  # a directory


def test_the_session_module_source_must_compile():
    kal.setSessionModuleSource("x = 1")
    kal.appendSessionModuleSource("def f():\n    return x\n")
    assert kal.sessionModuleSource() == "x = 1\ndef f():\n    return x\n"
    with pytest.raises(kal.OperationFailed):
        kal.appendSessionModuleSource("def (")
    with pytest.raises(kal.OperationFailed):
        kal.setSessionModuleSource("return")
    assert kal.sessionModuleSource() == "x = 1\ndef f():\n    return x\n"
    kal.setSessionModuleSource(None)
    assert kal.sessionModuleSource() == ""


def test_application_queries():
    assert kal.applicationName() == "kalvane"
    assert kal.applicationVersion() == (1, 0, 0)
    assert kal.applicationVersionString() == "1.0.0"
    assert kal.applicationCompilationDate() and kal.isUIAvailable() is True


def test_namespaces_are_published_as_host_kept_objects():
    for name, accessor in (("kmath", "__kmath"), ("kda", "__kda"), ("kipFile", "__kipFile"),
                           ("ui", "__ui"), ("shelves", "__shelves"), ("galleries", "__galleries")):
        published, fresh = getattr(kal, name), getattr(kal, accessor)()
        assert type(published).__name__ == name
        assert not published.this.own() and int(published.this) == int(fresh.this)


def test_autocomplete_completes_paths_from_the_current_node():
    kal.cd("/obj")
    kal.node("/obj").createNode("geo", "ground")
    assert kal._getArgumentAutoComplete("node", "'/o") == ("/obj", "/out")
    assert kal._getArgumentAutoComplete("cd", "gr") == ("ground",)
    assert kal._getArgumentAutoComplete("time", "") == ()


@pytest.mark.parametrize("operation, error, call, raised", [
    ("Module.zelContextForShaderType", "TypeError", lambda: kal.zelContextForShaderType(kal.shaderType.Surface),
     kal.TypeError),
    ("Module.root", "NotAvailable", kal.root, kal.NotAvailable),
    ("Module.time", "InvalidSize", kal.time, kal.Error),
    ("Module.__kda", "NotAvailable", getattr(kal, "__kda"), kal.NotAvailable),
    ("Module.__kmath", "NotAvailable", getattr(kal, "__kmath"), kal.Error),
])
def test_functions_translate_their_listed_errors(operation, error, call, raised):
    caught = raised_by_fault(operation, error, call)
    assert type(caught) is raised and caught.exceptionTypeName() == raised.__name__



def _host_lock():
    library = glob.glob(os.path.join(os.path.dirname(kalhost.__file__), "libkalvanehost.so*"))[0]
    lock = ctypes.c_byte.in_dll(ctypes.CDLL(library), "KOM_theKOMLock")
    libc = ctypes.CDLL(None)
    return ctypes.byref(lock), libc


def test_preloading_an_icon_waits_for_the_host_lock_without_stopping_python():
    lock, libc = _host_lock()
    assert libc.pthread_mutex_lock(lock) == 0
    try:
        preloader = threading.Thread(target=kal._addPreloadIcon, args=("icon.png", 16, 32))
        preloader.start()
        # This thread keeps running Python while the preloader waits for the host lock.
        deadline = time.monotonic() + 0.3
        while time.monotonic() < deadline:
            time.sleep(0.01)
        assert preloader.is_alive() and host_calls("Module.preloadIcon") == []
    finally:
        libc.pthread_mutex_unlock(lock)
    preloader.join(10)
    assert not preloader.is_alive()
    assert host_calls("Module.preloadIcon") == [("Module.preloadIcon", ("icon.png", 16, 32))]


def test_preloading_releases_the_host_lock_when_the_cache_fails():
    lock, libc = _host_lock()
    kalhost.fail("Module.preloadIcon", "OperationFailed")
    with pytest.raises(kal.Error):
        kal._addPreloadIcon("icon.png", 1, 2)
    assert libc.pthread_mutex_trylock(lock) == 0
    libc.pthread_mutex_unlock(lock)
    with pytest.raises(TypeError, match=r"^in method '_addPreloadIcon', argument 2 of type 'int'$"):
        _kal._addPreloadIcon("icon.png", "1", 2)


def test_copies_and_moves_never_share_a_name(obj):
    source, target = obj.createNode("subnet", "src"), obj.createNode("subnet", "dst")
    nodes = [source.createNode("null") for _ in range(3)]
    target.createNode("null", "null2")
    first = kal.copyNodesTo(nodes, target)
    second = kal.copyNodesTo(nodes, target)
    assert [n.name() for n in first] == ["null1", "null3", "null4"]
    assert [n.name() for n in second] == ["null5", "null6", "null7"]
    first[1].destroy()
    moved = kal.moveNodesTo(nodes, target)
    assert [n.name() for n in moved] == ["null3", "null8", "null9"]
    names = [n.name() for n in target.children()]
    assert len(names) == len(set(names)) == 9
    assert source.children() == () and [n.name() for n in kal.copyNodesTo(moved, source)] == [
        "null3", "null8", "null9"]
