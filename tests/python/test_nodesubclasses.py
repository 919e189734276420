"""Node subclasses: their classes, object transforms, flags and locks, shaders and shading networks."""
import pytest

import _kal
import kal
import kalhost
from conftest import host_args, host_calls, stub_result


def near(a, b, tolerance=1e-5):
    return a.isAlmostEqual(b, tolerance)


def trs(t=(0, 0, 0), r=(0, 0, 0), s=(1, 1, 1)):
    return kal.kmath.buildScale(*s) * kal.kmath.buildRotate(*r) * kal.kmath.buildTranslate(*t)


def placed(node, t=(0, 0, 0), r=(0, 0, 0), s=(1, 1, 1)):
    node.parmTuple("t").set(t)
    node.parmTuple("r").set(r)
    node.parmTuple("s").set(s)
    return node


# --- Classes -------------------------------------------------------------------------------

@pytest.mark.parametrize("network, node_type, child_type, network_class, child_class", [
    ("/obj", "geo", "box", kal.ObjNode, kal.SopNode),
    ("/obj", "dopnet", "rigidobject", kal.DopNetNode, kal.DopNode),
    ("/pop", "popnet", "source", kal.PopNetNode, kal.PopNode),
    ("/chop", "chopnet", "wave", kal.Node, kal.ChopNode),
    ("/vop", "vopnet", "constant", kal.VopNetNode, kal.Node),
])
def test_nodes_come_back_as_their_categorys_class(network, node_type, child_type, network_class,
                                                  child_class):
    parent = kal.node(network).createNode(node_type)
    child = parent.createNode(child_type)
    assert type(parent) is network_class and type(child) is child_class
    assert type(kal.node(child.path())) is child_class and type(child.parent()) is network_class
    assert type(kal.node("/shop").createNode("surface")) is kal.ShopNode


@pytest.mark.parametrize("cls", [kal.ObjNode, kal.SopNode, kal.ChopNode, kal.PopNode, kal.PopNetNode,
                                 kal.ShopNode, kal.VopNetNode, kal.DopNetNode, kal.DopNode])
def test_each_subclass_registers_its_own_repr(cls):
    assert "__repr__" in vars(cls) and hasattr(_kal, cls.__name__ + "___repr__")


def test_a_simulation_network_is_an_object_everywhere(obj, geo):
    dopnet = obj.createNode("dopnet")
    assert isinstance(dopnet, kal.ObjNode)
    placed(dopnet, t=(0, 5, 0))
    assert near(geo.getTransformToNode(dopnet), kal.kmath.buildTranslate(0, -5, 0))
    assert near(dopnet.worldTransform(), kal.kmath.buildTranslate(0, 5, 0))
    dopnet.setDisplayFlag(False)
    assert host_calls("ObjNode.setDisplayFlag")[-1] == ("ObjNode.setDisplayFlag", (False,))


# --- Object transforms ---------------------------------------------------------------------

def test_parameters_build_scale_then_rotate_then_translate(geo):
    placed(geo, t=(1, 2, 3), r=(30, 45, 60), s=(2, 3, 4))
    expected = trs((1, 2, 3), (30, 45, 60), (2, 3, 4))
    assert near(geo.parmTransform(), expected) and near(geo.worldTransform(), expected)
    assert geo.origin() == kal.Vector3(1, 2, 3)
    assert geo.preTransform() == kal.Matrix4(1)


def test_the_pre_transform_applies_after_the_parameters(geo):
    placed(geo, t=(1, 0, 0), s=(2, 2, 2))
    pre = kal.kmath.buildRotate(0, 0, 90)
    geo.setPreTransform(pre)
    assert near(geo.worldTransform(), trs((1, 0, 0), s=(2, 2, 2)) * pre)
    assert near(geo.parmTransform(), trs((1, 0, 0), s=(2, 2, 2)))


def test_the_world_transform_follows_wired_parents_and_object_networks(obj):
    parent = placed(obj.createNode("null"), t=(0, 10, 0), r=(0, 90, 0))
    child = placed(obj.createNode("geo"), t=(1, 0, 0))
    child.setInput(0, parent)
    assert near(child.worldTransform(), trs((1, 0, 0)) * parent.worldTransform())
    assert near(child.origin(), kal.Vector3(0, 10, -1))
    subnet = placed(obj.createNode("subnet"), t=(5, 0, 0))
    inner = placed(subnet.createNode("null"), t=(0, 0, 1))
    assert near(inner.worldTransform(), trs((5, 0, 1)))
    assert near(child.getTransformToNode(inner), child.worldTransform() * inner.worldTransform().inverted())


@pytest.mark.parametrize("setter", ["setWorldTransform", "setParmTransform"])
def test_setting_a_transform_decomposes_it_into_the_parameters(obj, setter):
    parent = placed(obj.createNode("null"), t=(3, 0, 0), r=(0, 0, 45))
    geo = obj.createNode("geo")
    geo.setInput(0, parent)
    geo.setPreTransform(kal.kmath.buildTranslate(0, 2, 0))
    wanted = trs((1, 2, 3), (10, 20, 30), (1, 2, 3))
    getattr(geo, setter)(matrix=wanted)
    assert near((geo.worldTransform() if setter == "setWorldTransform" else geo.parmTransform()), wanted, 1e-4)
    if setter == "setParmTransform":
        assert all(abs(a - b) < 1e-4 for a, b in zip(geo.parmTuple("r").eval(), (10, 20, 30)))


@pytest.mark.parametrize("setter", ["setWorldTransform", "setParmTransform"])
def test_locked_parameters_are_kept_or_refused_as_asked(geo, setter):
    geo.parm("tx").lock(True)
    with pytest.raises(kal.PermissionError):
        getattr(geo, setter)(kal.kmath.buildTranslate(4, 5, 6), fail_on_locked_parms=True)
    assert geo.parmTuple("t").eval() == (0, 0, 0)
    getattr(geo, setter)(kal.kmath.buildTranslate(4, 5, 6))
    assert geo.parmTuple("t").eval() == (0, 5, 6)
    assert host_args("ObjNode." + setter)[-1][1] is False


@pytest.mark.parametrize("move, cleared", [
    ("moveParmTransformIntoPreTransform", ("t", "r", "s")),
    ("moveParmTranslateIntoPreTransform", ("t",)),
    ("moveParmRotateIntoPreTransform", ("r",)),
    ("moveParmScaleIntoPreTransform", ("s",)),
    ("movePreTransformIntoParmTransform", ()),
])
def test_moves_between_parameters_and_pre_transform_keep_the_world_transform(geo, move, cleared):
    placed(geo, t=(1, 2, 3), r=(10, 20, 30), s=(2, 2, 2))
    geo.setPreTransform(kal.kmath.buildTranslate(0, 1, 0))
    before = geo.worldTransform()
    getattr(geo, move)()
    assert near(geo.worldTransform(), before, 1e-4)
    rest = {"t": (0, 0, 0), "r": (0, 0, 0), "s": (1, 1, 1)}
    for name in cleared:
        assert geo.parmTuple(name).eval() == rest[name]
    if not cleared:
        assert near(geo.preTransform(), kal.Matrix4(1), 1e-9)
        assert all(abs(a - b) < 1e-4 for a, b in zip(geo.parmTuple("t").eval(), (1, 3, 3)))


def test_look_at_turns_minus_z_towards_the_target_and_none_is_no_up_vector(obj, geo):
    target = placed(obj.createNode("null"), t=(10, 0, 0))
    rotation = geo.buildLookatRotation(target)
    assert near(kal.Vector3(0, 0, -1) * rotation, kal.Vector3(1, 0, 0))
    assert geo.buildLookatRotation(target, None) == rotation
    tilted = geo.buildLookatRotation(target, kal.Vector3(0, 0, 1))
    assert near(kal.Vector3(0, 1, 0) * tilted, kal.Vector3(0, 0, 1))
    assert [args[1] for args in host_args("ObjNode.buildLookatRotation")] == [None, None, (0.0, 0.0, 1.0)]
    with pytest.raises(NotImplementedError):
        geo.buildLookatRotation(target, None, None)
    with pytest.raises(ValueError, match="^invalid null reference in method 'ObjNode_buildLookatRotation', "
                                         "argument 2 of type 'KOM_ObjNode &'$"):
        geo.buildLookatRotation(None)


def test_point_to_point_carries_one_world_point_onto_the_other(obj, geo):
    other = placed(obj.createNode("null"), t=(0, 0, 5))
    placed(geo, t=(1, 0, 0))
    carry = geo.getTransformFromPointToPoint(kal.Vector3(1, 1, 1), other, kal.Vector3(0, 1, 0))
    assert near(kal.Vector3(2, 1, 1) * carry, kal.Vector3(0, 1, 5))


def test_object_display_follows_its_networks(obj):
    subnet = obj.createNode("subnet")
    inner = subnet.createNode("geo")
    assert inner.isDisplayFlagSet() and inner.isObjectDisplayed()
    subnet.setDisplayFlag(False)
    assert inner.isDisplayFlagSet() and not inner.isObjectDisplayed()


def test_combine_moves_other_objects_geometry_in_where_it_was(obj, geo):
    geo.createNode("box")
    other = placed(obj.createNode("geo"), t=(10, 0, 0))
    other.createNode("sphere")
    expected = len(geo.displayNode().geometry().points()) + len(other.displayNode().geometry().points())
    geo.combine([other])
    with pytest.raises(kal.ObjectWasDeleted):
        other.path()
    shown = geo.displayNode().geometry()
    assert len(shown.points()) == expected
    assert max(point.position()[0] for point in shown.points()) > 9
    with pytest.raises(kal.TypeError):
        geo.combine([kal.node("/shop")])
    with pytest.raises(kal.OperationFailed):
        geo.combine([geo])


# --- Flags ---------------------------------------------------------------------------------

def _sop(obj):
    return obj.createNode("geo").createNode("box")


def _chop(obj):
    return kal.node("/chop").createNode("chopnet").createNode("wave")


def _pop(obj):
    return kal.node("/pop").createNode("popnet").createNode("source")


@pytest.mark.parametrize("make, getter, setter, default", [
    (lambda obj: obj.createNode("null"), "isDisplayFlagSet", "setDisplayFlag", True),
    (lambda obj: obj.createNode("null"), "isSelectableInViewport", "setSelectableInViewport", True),
    (lambda obj: obj.createNode("null"), "isShowingOrigin", "showOrigin", False),
    (lambda obj: obj.createNode("null"), "isUsingXray", "useXray", False),
    (_sop, "isBypassed", "bypass", False),
    (_sop, "isDisplayFlagSet", "setDisplayFlag", True),
    (_sop, "isRenderFlagSet", "setRenderFlag", True),
    (_sop, "isTemplateFlagSet", "setTemplateFlag", False),
    (_sop, "isSelectableTemplateFlagSet", "setSelectableTemplateFlag", False),
    (_sop, "isHighlightFlagSet", "setHighlightFlag", False),
    (_sop, "isSoftLocked", "setSoftLocked", False),
    (_sop, "isHardLocked", "setHardLocked", False),
    (_sop, "isUnloadFlagSet", "setUnloadFlag", False),
    (_chop, "isBypassed", "bypass", False),
    (_chop, "isDisplayFlagSet", "setDisplayFlag", True),
    (_chop, "isAudioFlagSet", "setAudioFlag", False),
    (_chop, "isExportFlagSet", "setExportFlag", False),
    (_chop, "isUnloadFlagSet", "setUnloadFlag", False),
    (_pop, "isBypassed", "bypass", False),
    (_pop, "isTemplateFlagSet", "setTemplateFlag", False),
    (_pop, "isDisplayFlagSet", "setDisplayFlag", True),
    (_pop, "isRenderFlagSet", "setRenderFlag", True),
])
def test_flag_pairs_start_as_set_turn_and_record_under_the_nodes_class(obj, make, getter, setter, default):
    node = make(obj)
    assert getattr(node, getter)() is default
    kalhost.clearCalls()
    getattr(node, setter)(not default)
    assert getattr(node, getter)() is (not default)
    getattr(node, setter)(default)
    assert getattr(node, getter)() is default
    owner = type(node).__name__
    assert [name for name, _ in kalhost.calls()] == ["%s.%s" % (owner, name) for name in (
        setter, getter, setter, getter)]
    with pytest.raises(TypeError, match=r"^in method '%s_%s', argument 2 of type 'bool'$" % (owner, setter)):
        getattr(node, setter)("yes")


def test_the_last_surface_node_shows_and_renders_until_a_script_chooses(geo):
    box = geo.createNode("box")
    xform = geo.createNode("xform")
    assert (geo.displayNode(), geo.renderNode(), box.displayNode()) == (xform, xform, xform)
    box.setDisplayFlag(True)
    geo.createNode("sphere")
    assert (geo.displayNode(), geo.renderNode()) == (box, geo.node("sphere1"))
    box.setDisplayFlag(False)
    assert geo.displayNode() is None and not box.isDisplayFlagSet()
    assert kal.node("/obj").createNode("null").displayNode() is None


@pytest.mark.parametrize("make, method", [
    (lambda: kal.node("/obj").createNode("null"), "displayNode"),
    (lambda: kal.node("/obj").createNode("null"), "renderNode"),
    (lambda: kal.node("/obj").createNode("geo").createNode("box"), "displayNode"),
    (lambda: kal.node("/obj").createNode("geo").createNode("box"), "renderNode"),
    (lambda: kal.node("/pop").createNode("popnet"), "displayNode"),
    (lambda: kal.node("/pop").createNode("popnet"), "renderNode"),
    (lambda: kal.node("/shop").createNode("surface"), "definingVopNetNode"),
])
def test_a_network_without_such_a_node_answers_none_as_its_stub_says(make, method):
    node = make()
    if method != "definingVopNetNode" and isinstance(node, kal.SopNode):
        getattr(node, "setDisplayFlag" if method == "displayNode" else "setRenderFlag")(False)
    assert getattr(node, method)() is None
    assert stub_result(type(node), method) == "Optional[Node]"


def test_a_particle_network_shows_its_last_particle_node(obj):
    popnet = kal.node("/pop").createNode("popnet")
    first, second = popnet.createNode("source"), popnet.createNode("source")
    assert (popnet.displayNode(), popnet.renderNode()) == (second, second)
    first.setRenderFlag(True)
    assert (popnet.renderNode(), second.renderNode()) == (first, first)


def test_bypass_passes_the_first_input_through_and_a_hard_lock_keeps_geometry(geo):
    box = geo.createNode("box")
    xform = placed(geo.createNode("xform"), t=(5, 0, 0))
    xform.setInput(0, box)
    moved = xform.geometry().points()[0].position()
    xform.bypass(True)
    assert xform.geometry().points()[0].position() == box.geometry().points()[0].position() != moved
    xform.bypass(False)
    xform.setHardLocked(True)
    box.parm("divisions").set(3)
    assert len(xform.geometry().points()) == 8 and len(box.geometry().points()) > 8
    xform.setHardLocked(False)
    assert len(xform.geometry().points()) == len(box.geometry().points())


def test_cur_point_is_an_owned_point_and_needs_one(geo):
    point = geo.createNode("box").curPoint()
    assert isinstance(point, kal.Point) and point.this.own()
    with pytest.raises(kal.OperationFailed):
        geo.createNode("merge").curPoint()


# --- Shaders and shading networks ------------------------------------------------------------

def test_a_surface_shader_answers_for_each_of_its_renderers():
    shop = kal.node("/shop").createNode("surface")
    renderers = shop.supportedRenderers()
    assert len(renderers) >= 2 and shop.shaderString() == shop.shaderString(renderers[0])
    assert len({shop.shaderString(name) for name in renderers}) == len(renderers)
    assert shop.shaderName() == "op:" + shop.path() and shop.shaderName(False) == shop.name()
    assert host_args("ShopNode.shaderString")[0] == (None,) and host_args("ShopNode.shaderName")[0] == (True,)
    with pytest.raises(kal.OperationFailed):
        shop.shaderString("NoSuchRenderer")
    assert shop.shaderType() == kal.shaderType.Surface and shop.definingVopNetNode() is None


def test_a_shading_network_writes_its_code(tmp_path):
    vopnet = kal.node("/vop").createNode("vopnet", "shiny")
    vopnet.createNode("constant")
    vopnet.saveCodeToFile(file_name=str(tmp_path / "full.zel"))
    vopnet.saveCodeToFile(str(tmp_path / "bare.zel"), skip_header=True)
    full, bare = (tmp_path / "full.zel").read_text(), (tmp_path / "bare.zel").read_text()
    assert full.endswith(bare) and full != bare and "shiny" in bare and "constant" in bare
    vopnet.saveToCompiledZelFile(str(tmp_path / "compiled"))
    assert bare in (tmp_path / "compiled").read_text()
    with pytest.raises(kal.OperationFailed):
        vopnet.saveCodeToFile(str(tmp_path / "missing" / "code.zel"))
    assert type(vopnet.definedType()) is kal.ShopNodeType
    assert vopnet.zelContext().shaderType() == vopnet.shaderType() == kal.shaderType.Surface
