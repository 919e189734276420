"""kal.kipFile: the scene saved, loaded and merged; damaged files, interrupted saves, names."""
import os
import resource
import signal

import pytest

import kal
import kalhost
from conftest import host_calls


@pytest.fixture(autouse=True)
def in_tmp(tmp_path, monkeypatch):
    """Relative names, the default one included, land in the test's own folder."""
    monkeypatch.chdir(tmp_path)
    return tmp_path


def build_scene():
    """A scene with every kind of state a script can give it."""
    obj = kal.node("/obj")
    geo = obj.createNode("geo", "shape")
    box = geo.createNode("box", "b")
    xform = geo.createNode("xform")
    xform.setInput(0, box)
    merge = geo.createNode("merge")
    merge.setInput(0, box)
    merge.setInput(2, xform)
    box.setPosition((1.5, -2.25))
    box.setColor(kal.Color((0.1, 0.2, 0.3)))
    box.setComment('quotes " and \\ and\nnew lines\t\x01 é')
    box.parm("divisions").set(7)
    box.parm("group").set("pts `$F`")
    box.parmTuple("size").set((0.5, 1.0 / 3.0, 2e-7))
    box.parm("sizex").lock(True)
    xform.parm("tx").setExpression("$F * 2", kal.exprLanguage.Kscript)
    xform.parm("ty").setAutoscope(True)
    xform.parm("tz").setAlias("height")
    key = kal.Keyframe(1.0)
    key.setFrame(1)
    key.setSlope(0.5)
    key.setInValue(0.75)  # with the keyframe below, every part a keyframe holds
    key.setInSlope(-0.25)
    key.setAccel(0.125)
    key.setInAccel(2.5)
    xform.parm("ry").setKeyframe(key)
    key = kal.Keyframe(3.0)
    key.setFrame(24)
    key.setExpression("$F", kal.exprLanguage.Kscript)
    xform.parm("ry").setKeyframe(key)
    xform.setSelected(True)
    xform.setCurrent(True)
    geo.setExpressionLanguage(kal.exprLanguage.Python)
    geo.addSpareParmTuple(kal.FloatParmTemplate("gain", "Gain", 2, (0.25, 4.0), min=-1, max=9,
                                                tags={"unit": "dB"}))
    geo.addSpareParmTuple(kal.StringParmTemplate("note", "Note", 1, ("hello",)))
    geo.parm("gainy").set(3.5)
    geo.setSelectableInViewport(False)
    geo.useXray(True)
    geo.showOrigin(True)
    geo.setPreTransform(kal.Matrix4(((1, 0, 0, 0), (0, 0, 1, 0), (0, -1, 0, 0), (0.1, 2.5, -3, 1))))
    box.setTemplateFlag(True)
    box.setHardLocked(True)
    box.setHighlightFlag(True)
    merge.bypass(True)
    xform.setDisplayFlag(True)  # chosen, though merge comes last
    merge.setRenderFlag(False)  # none renders
    group = geo.createNetworkBox("group_a")
    group.setSize((3.5, 2.0))
    group.setColor(kal.Color((0.9, 0.1, 0.4)))
    group.setMinimized(True)
    group.setPicked(True)
    for member in (xform, box):
        group.addNode(member)
    obj.createNetworkBox()
    chop = kal.node("/chop").createNode("chopnet").createNode("wave")
    chop.setDisplayFlag(False)
    chop.setAudioFlag(True)
    chop.setExportFlag(True)
    chop.setUnloadFlag(True)
    asset_source = obj.createNode("subnet", "tool_source")
    asset_source.createNode("geo", "shape").createNode("box", "cube")
    asset_source.createDigitalAsset("tool", "tools.kda")  # the subnet is the first instance
    obj.createNode("tool", "locked_tool")
    obj.createNode("tool", "editable_tool").allowEditingOfContents()
    dopnet = obj.createNode("dopnet", "sim")
    ball = dopnet.createNode("rigidobject", "ball")
    crate = dopnet.createNode("rigidobject", "crate")
    ball.parmTuple("t").set((0.0, 10.0, 0.0))
    ball.setDisplayFlag(True)
    crate.bypass(True)
    subnet = obj.createNode("subnet", "sub")
    inner = subnet.createNode("null", "inner")
    inner.setInput(0, subnet.indirectInputs()[1])
    kal.node("/out").createNode("output", "render")
    kal.setFps(30)
    kal.setFrame(12)
    return obj


FLAGS = ("isDisplayFlagSet", "isRenderFlagSet", "isBypassed", "isTemplateFlagSet",
         "isSelectableTemplateFlagSet", "isHighlightFlagSet", "isSoftLocked", "isHardLocked",
         "isUnloadFlagSet", "isAudioFlagSet", "isExportFlagSet", "isSelectableInViewport",
         "isShowingOrigin", "isUsingXray", "preTransform", "displayNode", "renderNode")


def box_of(box):
    return (box.name(), tuple(box.position()), tuple(box.size()), tuple(box.color().rgb()),
            box.isMinimized(), box.isPicked(), describe(box.nodes()))


def simulation_of(network):
    """Each body's name and where it is now."""
    return tuple((item.name(), tuple(item.record("Position").field("t")))
                 for item in network.simulation().objects())


def describe(value):
    """A value as plain data: proxies by their path or repr."""
    if isinstance(value, (tuple, list)):
        return tuple(describe(item) for item in value)
    if isinstance(value, kal.Node):
        return value.path()
    if value is None or isinstance(value, (int, float, str)):
        return value
    return repr(value)


def template_of(parm_tuple):
    template = parm_tuple.parmTemplate()
    fields = ("name", "label", "type", "dataType", "look", "namingScheme", "numComponents", "tags",
              "defaultValue", "minValue", "maxValue", "minIsStrict", "maxIsStrict")
    return {field: describe(getattr(template, field)()) for field in fields if hasattr(template, field)}


def expression_of(parm):
    try:
        return parm.expression(), repr(parm.expressionLanguage())
    except kal.OperationFailed:
        return None


def snapshot():
    """Everything scriptable about the scene, node by node and value by value."""
    nodes = {}
    pending = [kal.node("/")]
    while pending:
        node = pending.pop()
        pending.extend(node.children())
        parms = {}
        for parm in node.parms():
            parms[parm.name()] = {
                "eval": parm.eval(),
                "unexpanded": parm.unexpandedString() if isinstance(parm.eval(), str) else None,
                "locked": parm.isLocked(), "autoscoped": parm.isAutoscoped(), "alias": parm.alias(),
                "expression": expression_of(parm),
                "keyframes": tuple(repr(key) for key in parm.keyframes()),
                "spare": parm.isSpare(),
            }
        nodes[node.path()] = {
            "class": type(node).__name__, "type": node.type().name(),
            "children": tuple(child.name() for child in node.children()),
            "inputs": describe(node.inputs()),
            "position": tuple(node.position()), "color": tuple(node.color().rgb()),
            "comment": node.comment(), "selected": node.isSelected(), "current": node.isCurrent(),
            "language": repr(node.expressionLanguage()),
            "tuples": tuple(t.name() for t in node.parmTuples()),
            "spare": tuple(template_of(p.tuple()) for p in node.spareParms() if p.componentIndex() == 0),
            "boxes": tuple(map(box_of, node.networkBoxes())) if node.childTypeCategory() else None,
            "flags": {name: describe(getattr(node, name)()) for name in FLAGS if hasattr(node, name)},
            "asset": (node.matchesCurrentDefinition(), node.isInsideLockedKDA()),
            "simulation": simulation_of(node) if hasattr(node, "simulation") else None,
            "parms": parms,
        }
    return {"nodes": nodes, "fps": kal.fps(), "time": kal.time(), "frame": kal.frame()}


def test_a_saved_scene_loads_back_equal_node_by_node_and_value_by_value(in_tmp):
    build_scene()
    before = snapshot()
    kal.setPwd(kal.node("/obj/shape"))
    kal.kipFile.save("scene.kip")
    kal.kipFile.clear()
    assert kal.node("/obj/shape") is None and kal.fps() == 24
    kal.kipFile.load("scene.kip")
    assert snapshot() == before
    assert kal.pwd() == kal.node("/")  # the session's, not the scene's
    assert kal.kipFile.name() == "scene.kip"
    # Loading what was saved writes the same text again.
    kal.kipFile.save("again.kip")
    assert (in_tmp / "again.kip").read_bytes() == (in_tmp / "scene.kip").read_bytes()


def test_handles_from_before_a_load_see_their_nodes_gone():
    geo = kal.node("/obj").createNode("geo", "g")
    kal.kipFile.save("a.kip")
    kal.kipFile.load("a.kip")
    with pytest.raises(kal.ObjectWasDeleted):
        geo.name()
    assert kal.node("/obj/g").name() == "g"


DAMAGED = [
    ("", "empty file"),
    ("kalvane-contents 1\n", "not a Kalvane scene file"),
    ("PK\x03\x04 binary", "not a Kalvane scene file"),
    ("kalvane-scene 9\n", "newer than this host reads"),
    ("kalvane-scene 1\nnode obj/g geo\n\tat 1\n", "line 3: a field is missing"),
    ("kalvane-scene 1\nnode obj/g nosuchtype\n", "line 2: Invalid node type name: nosuchtype"),
    ("kalvane-scene 1\nnode obj/g geo\nnode obj/g geo\n", "line 3: a second node named obj/g"),
    ("kalvane-scene 1\nnode obj/g/b box\n", "line 2: no network obj/g above this entry"),
    ("kalvane-scene 1\nnode obj/g geo\n\tvalue tx nope\n", "line 3: not a number: nope"),
    ("kalvane-scene 1\nnode obj/g geo\n\tcomment \"open\n", "line 3: a quoted text is not closed"),
    ("kalvane-scene 1\nnode obj/g geo\nnode obj/g/x xform\n\tinput 0 node ghost 0\n",
     "line 4: The input ghost of x is missing"),
    ("kalvane-scene 1\nclock 0 -5\n", "line 2: a clock out of range"),
    ("kalvane-scene 3\n", "written in format version 3, newer than this host reads (2)"),
    ("kalvane-scene 2\nnode obj/g geo\n\tflags display glowing\n", "line 3: no flag named glowing"),
    ("kalvane-scene 2\nnode obj/g geo\nnode obj/g/b box\n\tpre-transform 1\n", "line 4: b is not an object"),
    ("kalvane-scene 2\nnode obj/g geo\n\tdisplay node ghost\n", "line 3: The chosen node ghost of g is missing"),
    ("kalvane-scene 2\nnode obj/g geo\n\tbox \"b\" 0 0 nodes 1 ghost\n",
     "line 3: The node ghost of network box b is missing"),
    ("kalvane-scene 2\nnode obj/g geo\n\tbox \"b\" 0 0\n\tbox \"b\" 1 1\n",
     "line 4: Network box name already in use: b"),
    ("kalvane-scene 2\nnode obj/g geo\n\tbox \"b\" 0 0 size -1 2\n", "line 3: a network box of negative size"),
    ("kalvane-scene 2\nnode obj/g geo\n\tasset \"tool\" open\n", "line 3: an asset is editable or locked"),
]


@pytest.mark.parametrize("text, why", DAMAGED, ids=[why for _, why in DAMAGED])
def test_a_damaged_or_foreign_file_fails_and_leaves_the_scene_untouched(in_tmp, text, why):
    build_scene()
    kal.kipFile.save("good.kip")
    before = snapshot()
    (in_tmp / "bad.kip").write_bytes(text.encode())
    for attempt in (lambda: kal.kipFile.load("bad.kip"), lambda: kal.kipFile.merge("bad.kip"),
                    lambda: kal.kipFile.collisionNodesIfMerged("bad.kip")):
        with pytest.raises(kal.OperationFailed) as raised:
            attempt()
        assert raised.value.instanceMessage().startswith("bad.kip: ")
        assert why in raised.value.instanceMessage()
        assert snapshot() == before
    assert kal.kipFile.name() == "good.kip"


def test_files_of_the_first_version_still_load(in_tmp):
    (in_tmp / "old.kip").write_text('kalvane-scene 1\nnode obj/g geo\n\tbox "b" 1 2\nnode obj/g/s box\n')
    kal.kipFile.load("old.kip")
    geo = kal.node("/obj/g")
    assert box_of(geo.findNetworkBox("b")) == ("b", (1, 2), (0, 0), box_of(geo.createNetworkBox())[3],
                                               False, False, ())
    assert geo.isDisplayFlagSet() and geo.displayNode() == geo.node("s")


@pytest.mark.parametrize("name", ["missing.kip", ".", "/dev/zero", ""])
def test_files_that_cannot_be_read_fail_cleanly(name):
    with pytest.raises(kal.OperationFailed):
        kal.kipFile.load(name)


def test_unknown_parts_are_skipped_and_named_in_a_load_warning(in_tmp):
    kal.node("/obj").createNode("geo", "g")
    kal.kipFile.save("s.kip")
    text = (in_tmp / "s.kip").read_text()
    text = text.replace("node obj/g geo\n", "node obj/g geo\n\tshimmer 3\n\tat 4 5\n")
    text += "lighting rig\n\tlamp 1\n"
    (in_tmp / "s.kip").write_text(text)
    kal.kipFile.clear()
    with pytest.raises(kal.LoadWarning) as raised:
        kal.kipFile.load("s.kip")
    message = raised.value.instanceMessage()
    assert "shimmer (line" in message and "lighting (line" in message and "lamp" not in message
    assert tuple(kal.node("/obj/g").position()) == (4.0, 5.0)
    kal.kipFile.clear()
    kal.kipFile.load("s.kip", True)  # quietly
    assert kal.node("/obj/g") is not None


def test_an_interrupted_save_keeps_the_previous_file_and_leaves_no_temporary(in_tmp):
    kal.kipFile.save("s.kip")
    previous = (in_tmp / "s.kip").read_bytes()
    obj = kal.node("/obj")
    for index in range(300):
        obj.createNode("null").setComment("x" * 40)
    # The file size limit makes the write fail part way, as a full disk would.
    limits = resource.getrlimit(resource.RLIMIT_FSIZE)
    handler = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (len(previous) + 4096, limits[1]))
    try:
        with pytest.raises(kal.OperationFailed, match="Cannot save s.kip"):
            kal.kipFile.save()
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, limits)
        signal.signal(signal.SIGXFSZ, handler)
    assert (in_tmp / "s.kip").read_bytes() == previous
    assert sorted(os.listdir(in_tmp)) == ["s.kip"]


def test_merge_adds_matching_nodes_and_renames_on_collision(in_tmp, obj):
    a = obj.createNode("geo", "a")
    a.createNode("box", "inside")
    obj.createNode("null", "b1")
    obj.createNode("cam", "c")
    kal.kipFile.save("other.kip")
    kal.kipFile.clear()
    kal.node("/obj").createNode("geo", "a")
    assert describe(kal.kipFile.collisionNodesIfMerged("other.kip")) == ("/obj/a",)
    assert describe(kal.kipFile.collisionNodesIfMerged("other.kip", "b* c")) == ()
    before = snapshot()
    kal.kipFile.collisionNodesIfMerged("other.kip", "*")
    assert snapshot() == before  # asking changes nothing
    kal.kipFile.merge("other.kip", "a b*")
    names = sorted(child.name() for child in kal.node("/obj").children())
    assert names == ["a", "a1", "b1"]
    assert kal.node("/obj/a1/inside") is not None and kal.node("/obj/a").children() == ()
    kal.kipFile.merge("other.kip", "a", True)  # replaces instead of renaming
    assert kal.node("/obj/a/inside") is not None
    assert kal.kipFile.name() == "untitled.kip"


def test_save_names_and_the_numbering_schemes(in_tmp):
    assert kal.kipFile.name() == "untitled.kip"
    kal.kipFile.save()
    assert (in_tmp / "untitled.kip").exists()
    kal.kipFile.save("shot009.kip")
    kal.kipFile.saveAndIncrementFileName()
    assert kal.kipFile.name() == "shot010.kip" and (in_tmp / "shot010.kip").exists()
    kal.kipFile.saveAsBackup()
    kal.kipFile.saveAsBackup()
    assert sorted(os.listdir(in_tmp / "backup")) == ["shot010_bak1.kip", "shot010_bak2.kip"]
    assert kal.kipFile.name() == "shot010.kip"
    assert repr(kal.kipFile) == "<kal.kipFile shot010.kip>"
    kal.kipFile.clear(True)
    assert kal.kipFile.name() == "shot010.kip"
    kal.kipFile.clear()
    assert kal.kipFile.name() == "untitled.kip"
    assert not kal.kipFile.isLoadingKipFile() and not kal.kipFile.isShuttingDown()


def test_writes_outside_the_writable_folder_are_refused(in_tmp):
    (in_tmp / "inside").mkdir()
    kalhost.writableFolder(str(in_tmp / "inside"))
    try:
        with pytest.raises(kal.OperationFailed, match="outside the folder"):
            kal.kipFile.save("out.kip")
        kal.kipFile.save("inside/in.kip")
        with pytest.raises(kal.OperationFailed, match="outside the folder"):
            kal.kipFile.save("inside/../out.kip")
        # The baseline's shelf files go to the temporary folder, outside this one.
        with pytest.raises(RuntimeError, match="outside the folder"):
            kalhost.reset()
    finally:
        kalhost.writableFolder(None)
    assert sorted(os.listdir(in_tmp)) == ["inside"]


# What the host receives from each form: the defaults of the shorter forms.
FORMS = [
    (lambda f: f.save("x.kip"), "kipFile.save", ("x.kip",)),
    (lambda f: f.save(), "kipFile.save", (None,)),
    (lambda f: f.clear(True), "kipFile.clear", (True,)),
    (lambda f: f.clear(), "kipFile.clear", (False,)),
    (lambda f: f.load("x.kip", True), "kipFile.load", ("x.kip", True)),
    (lambda f: f.load("x.kip"), "kipFile.load", ("x.kip", False)),
    (lambda f: f.merge("x.kip", "g*", True), "kipFile.merge", ("x.kip", "g*", True)),
    (lambda f: f.merge("x.kip", "g*"), "kipFile.merge", ("x.kip", "g*", False)),
    (lambda f: f.merge("x.kip"), "kipFile.merge", ("x.kip", "*", False)),
    (lambda f: f.collisionNodesIfMerged("x.kip", "g*"), "kipFile.collisionNodesIfMerged", ("x.kip", "g*")),
    (lambda f: f.collisionNodesIfMerged("x.kip"), "kipFile.collisionNodesIfMerged", ("x.kip", "*")),
]


@pytest.mark.parametrize("call, operation, args", FORMS)
def test_each_form_passes_its_defaults_to_the_host(call, operation, args):
    kal.kipFile.save("x.kip")
    kalhost.clearCalls()
    call(kal.kipFile)
    assert host_calls(operation) == [(operation, args)]
