"""Nodes: naming, wiring, layout, look, network boxes, restructuring, and what reaches the host."""
import pytest

import kal
import kalhost
from conftest import host_args, host_calls, raised_by_fault


@pytest.fixture
def sops(obj):
    geo = obj.createNode("geo", "g")
    return geo, geo.createNode("box"), geo.createNode("xform"), geo.createNode("merge")


@pytest.mark.parametrize("call, operation, received", [
    (lambda n: n.inputAncestors(), "Node.inputAncestors", (True, False)),
    (lambda n: n.inputAncestors(False), "Node.inputAncestors", (False, False)),
    (lambda n: n.moveToGoodPosition(False), "Node.moveToGoodPosition", (False, True, True, True)),
    (lambda n: n.setSelected(True), "Node.setSelected", (True, False)),
    (lambda n: n.setCurrent(True), "Node.setCurrent", (True, False)),
    (lambda n: n.layoutChildren(), "Node.layoutChildren", ((), -1.0, -1.0)),
    (lambda n: n.layoutChildren(vertical_spacing=3), "Node.layoutChildren", ((), -1.0, 3.0)),
    (lambda n: n.parmAliases(), "Node.parmAliases", (False,)),
    (lambda n: n.createNetworkBox(), "Node.createNetworkBox", (None,)),
    (lambda n: n.parent().collapseIntoSubnet(child_nodes=[n]), "Node.collapseIntoSubnet",
     (("/obj/g",), None)),
    (lambda n: n.node("a").changeNodeType("sphere"), "Node.changeNodeType",
     ("sphere", True, True, True)),
    (lambda n: n.node("a").changeNodeType(new_node_type="grid", keep_parms=False),
     "Node.changeNodeType", ("grid", True, False, True)),
])
def test_absent_arguments_reach_the_host_as_their_defaults(obj, call, operation, received):
    geo = obj.createNode("geo", "g")
    geo.createNode("box", "a")
    call(geo)
    assert host_args(operation) == [received]


def test_create_digital_asset_passes_its_ten_values_in_keyword_order(obj):
    subnet = obj.createNode("subnet")
    asset = subnet.createDigitalAsset(name="tool", max_num_inputs=2, save_as_embedded=True)
    assert asset == subnet and type(asset) is kal.ObjNode
    assert host_args("Node.createDigitalAsset") == [
        ("tool", None, None, 0, 2, False, None, None, True, False)]


def test_wiring_forms_fill_shift_and_clear_inputs(sops):
    _, box, xform, merge = sops
    merge.setFirstInput(box)
    merge.setNextInput(xform)
    merge.insertInput(0, xform, 1)
    assert [n.name() for n in merge.inputs()] == ["xform1", "box1", "xform1"]
    merge.setInput(1, None)
    assert [n.name() for n in merge.inputs()] == ["xform1", "xform1"]
    assert [n.name() for n in xform.outputs()] == ["merge1"]
    assert len(merge.inputConnections()) == 2 and len(xform.outputConnections()) == 2
    assert all(type(c) is kal.NodeConnection for c in merge.inputConnections())
    merge.setNextInput(box)
    assert [args for args in host_args("Node.setNextInput")] == [("/obj/g/xform1", 0),
                                                                 ("/obj/g/box1", 0)]
    assert [n.name() for n in merge.inputs()] == ["xform1", "box1", "xform1"]


def test_ancestors_come_once_each_nearest_first_and_cross_subnets_when_asked(obj):
    # a feeds b and c, and all three feed d; a is fed from outside the subnet.
    subnet = obj.createNode("subnet", "sub")
    subnet.setInput(0, obj.createNode("null", "outside"))
    a, b, c, d = (subnet.createNode("null", name) for name in "abcd")
    a.setInput(0, subnet.indirectInputs()[0])
    for node in (b, c):
        node.setInput(0, a)
    for index, source in enumerate((b, c, a)):
        d.setInput(index, source)
    assert [n.name() for n in d.inputAncestors()] == ["b", "c", "a"]
    assert [n.name() for n in d.inputAncestors(True, True)] == ["b", "c", "a", "outside"]
    for node, source in ((a, d), (b, d), (d, d)):
        with pytest.raises(kal.OperationFailed):
            node.setInput(1, source)
    assert [n.name() for n in d.inputAncestors()] == ["b", "c", "a"]
    assert a.inputAncestors() == ()


@pytest.mark.parametrize("wire, error", [
    (lambda box, xform, other: box.setInput(0, xform), kal.OperationFailed),   # a loop
    (lambda box, xform, other: xform.setInput(0, other), kal.OperationFailed),  # another network
    (lambda box, xform, other: xform.setInput(-1, box), kal.InvalidInput),
    (lambda box, xform, other: xform.setInput(0, box, -2), kal.InvalidInput),
])
def test_bad_wires_are_refused(sops, obj, wire, error):
    _, box, xform, _ = sops
    xform.setInput(0, box)
    other = obj.createNode("geo").createNode("box")
    with pytest.raises(error):
        wire(box, xform, other)
    assert [n.name() for n in xform.inputs()] == ["box1"]


def test_indirect_inputs_feed_nodes_inside_a_subnet(obj):
    source = obj.createNode("null", "src")
    subnet = obj.createNode("subnet")
    subnet.setInput(0, source)
    inner = subnet.createNode("null")
    first = subnet.indirectInputs()[0]
    assert len(subnet.indirectInputs()) == 4 and type(first) is kal.SubnetIndirectInput
    inner.setInput(0, first)
    inner.setFirstInput(first)
    assert host_args("Node.setInput")[-1] == (0, "<indirect input>")
    assert host_args("Node.setFirstInput") == [("<indirect input>",)]
    assert [n.name() for n in inner.inputs()] == ["src"]
    with pytest.raises(kal.OperationFailed):
        obj.createNode("null").setInput(0, first)  # outside the subnet
    with pytest.raises(kal.InvalidNodeType):
        source.indirectInputs()


def test_names_are_made_unique_and_checked(obj):
    assert [obj.createNode("geo").name() for _ in range(2)] == ["geo1", "geo2"]
    node = obj.createNode("geo", "shape12")
    assert node.digitsInName() == 12
    node.setName(name="renamed")
    assert node.path() == "/obj/renamed" and node.digitsInName() == 0
    with pytest.raises(kal.InvalidNodeName):
        node.setName("bad name")
    with pytest.raises(kal.OperationFailed):
        node.setName("geo1")
    with pytest.raises(kal.OperationFailed):
        obj.setName("objects")  # managers keep their names
    assert host_args("Node.setName") == [("renamed",), ("bad name",), ("geo1",), ("objects",)]


@pytest.mark.parametrize("path, base, expected", [
    ("/obj/g/box1", "/obj/g", "box1"),
    ("/obj/g", "/obj/g/box1", ".."),
    ("/obj/g/box1", "/obj/g/xform1", "../box1"),
    ("/obj", "/obj/g/box1", "../.."),
    ("/obj/g", "/obj/g", "."),
])
def test_relative_paths(sops, path, base, expected):
    assert kal.node(path).relativePathTo(kal.node(base)) == expected


def test_position_size_and_color_are_owned_values(sops):
    geo, box, xform, merge = sops
    for value, cls in ((box.position(), kal.Vector2), (box.size(), kal.Vector2),
                       (box.color(), kal.Color), (box.moveToGoodPosition(), kal.Vector2)):
        assert type(value) is cls and value.this.own()
    assert host_args("Node.moveToGoodPosition") == [(True, True, True, True)]


@pytest.mark.parametrize("value, error", [
    ((1.0,), kal.InvalidSize), ([1, 2, 3], kal.InvalidSize), ((float("nan"), 0), kal.InvalidInput),
])
def test_positions_need_two_finite_numbers(obj, value, error):
    with pytest.raises(error):
        obj.createNode("geo").setPosition(value)


def test_layout_puts_wired_nodes_in_rows_and_refuses_strangers(sops, obj):
    geo, box, xform, merge = sops
    xform.setInput(0, box)
    merge.setInput(0, xform)
    geo.layoutChildren([box, xform, merge], 3, 2)
    kalhost.clearCalls()
    merge.moveToGoodPosition()  # below its input, which layout put at (0, -2)
    assert host_calls("Node.moveToGoodPosition")
    with pytest.raises(kal.OperationFailed):
        geo.layoutChildren([obj])
    with pytest.raises(TypeError, match="argument 2 of type 'std::vector<KOM_Node"):
        geo.layoutChildren([box, 5])
    assert host_args("Node.layoutChildren") == [(("/obj",), -1.0, -1.0)]


def test_selection_current_comment_and_color(sops):
    _, box, xform, _ = sops
    box.setSelected(True)
    xform.setCurrent(True, True)
    assert (box.isSelected(), xform.isSelected(), xform.isCurrent(), box.isCurrent()) == \
        (False, True, True, False)
    xform.setCurrent(False)
    assert not xform.isCurrent()
    box.setComment("first")
    box.appendComment(" second")
    assert box.comment() == "first second"
    box.setColor(xform.color())
    with pytest.raises(ValueError, match="invalid null reference in method 'Node_setColor'"):
        box.setColor(None)


def test_expression_language_takes_only_its_enumeration(obj):
    node = obj.createNode("geo")
    assert node.expressionLanguage() == kal.exprLanguage.Python
    node.setExpressionLanguage(kal.exprLanguage.Kscript)
    assert node.expressionLanguage() == kal.exprLanguage.Kscript
    assert not node.expressionLanguage().this.own()
    with pytest.raises(kal.TypeError):
        node.setExpressionLanguage(kal.parmData.Float)


def test_network_boxes_are_named_found_and_copied(sops, obj):
    geo = sops[0]
    first = geo.createNetworkBox()
    geo.createNetworkBox("keep")
    geo.copyNetworkBox(first)
    geo.copyNetworkBox(first, "copied", True)
    assert type(first) is kal.NetworkBox and first.this.own()
    assert geo.findNetworkBox("netbox2") is not None and geo.findNetworkBox("none") is None
    assert len(geo.findNetworkBoxes("netbox*")) == 2 and len(geo.findNetworkBoxes("*")) == 4
    assert host_args("Node.copyNetworkBox") == [("<network box>", None, False),
                                                ("<network box>", "copied", True)]
    with pytest.raises(kal.OperationFailed):
        geo.createNetworkBox("keep")
    with pytest.raises(kal.InvalidNodeName):
        geo.createNetworkBox("no good")
    with pytest.raises(kal.Error):
        sops[1].createNetworkBox()  # a box node holds no network


def test_parameters_come_back_owned(sops):
    geo = sops[0]
    assert type(geo.parm("tx")) is kal.Parm and geo.parm("tx").this.own()
    assert type(geo.parmTuple("t")) is kal.ParmTuple and geo.parm("nothing") is None
    assert len(geo.parms()) == 9 and len(geo.parmTuples()) == 3 and geo.spareParms() == ()
    assert geo.parmAliases(recurse=True) == {}


def test_change_node_type_replaces_the_node_and_keeps_its_wires(sops):
    geo, box, xform, merge = sops
    merge.setInput(0, xform)
    replaced = xform.changeNodeType("sphere", keep_name=False)
    assert replaced.path() == "/obj/g/sphere1" and type(replaced) is kal.SopNode
    assert [n.name() for n in merge.inputs()] == ["sphere1"]
    with pytest.raises(kal.ObjectWasDeleted):
        xform.name()
    with pytest.raises(kal.TypeError):
        box.changeNodeType("nosuchtype")


def test_collapse_and_extract_move_nodes_in_and_out_of_a_subnet(obj):
    a, b = obj.createNode("null", "a"), obj.createNode("cam", "b")
    b.setInput(0, a)
    subnet = obj.collapseIntoSubnet([a, b], "packed")
    assert subnet.path() == "/obj/packed" and [n.name() for n in subnet.children()] == ["a", "b"]
    assert a.path() == "/obj/packed/a" and [n.name() for n in b.inputs()] == ["a"]
    obj.createNode("null", "a")
    subnet.extractAndDelete()
    assert a.path() == "/obj/a1" and [n.name() for n in b.inputs()] == ["a1"]
    with pytest.raises(kal.ObjectWasDeleted):
        subnet.path()
    with pytest.raises(kal.InvalidNodeType):
        a.extractAndDelete()
    with pytest.raises(kal.TypeError):
        obj.collapseIntoSubnet([a, None])
    with pytest.raises(kal.InvalidNodeName):
        obj.collapseIntoSubnet([a], "not valid")
    with pytest.raises(kal.OperationFailed):
        obj.collapseIntoSubnet([])


def test_a_locked_asset_refuses_edits_until_allowed(obj):
    subnet = obj.createNode("subnet")
    inner = subnet.createNode("null")
    with pytest.raises(kal.InvalidNodeType):
        obj.createNode("cam").createDigitalAsset(name="x")
    subnet.createDigitalAsset("tool")
    assert inner.isInsideLockedKDA() and subnet.matchesCurrentDefinition()
    with pytest.raises(kal.PermissionError):
        subnet.createNode("null")
    with pytest.raises(kal.PermissionError):
        inner.setInput(0, None)
    subnet.allowEditingOfContents()
    assert not inner.isInsideLockedKDA() and not subnet.matchesCurrentDefinition()
    subnet.createNode("null")
    subnet.matchCurrentDefinition()
    with pytest.raises(kal.OperationFailed):
        inner.destroy()
    assert host_args("Node.allowEditingOfContents") == [(False,)]
    assert type(subnet.kdaModule()) is kal.KDAModule


@pytest.mark.parametrize("call, operation, error, raised", [
    (lambda n: n.setName("x"), "Node.setName", "InvalidNodeName", kal.InvalidNodeName),
    (lambda n: n.runInitScripts(), "Node.runInitScripts", "InitScriptFailed", kal.InitScriptFailed),
    (lambda n: n.setPosition((0, 0)), "Node.setPosition", "InvalidSize", kal.InvalidSize),
    (lambda n: n.move((0, 0)), "Node.move", "InvalidInput", kal.InvalidInput),
    (lambda n: n.destroy(), "Node.destroy", "OperationFailed", kal.OperationFailed),
    (lambda n: n.setExpressionLanguage(kal.exprLanguage.Python), "Node.setExpressionLanguage",
     "TypeError", kal.TypeError),
    (lambda n: n.parm("tx"), "Node.parm", "OperationFailed", kal.Error),
    (lambda n: n.__hash__(), "Node.__hash__", "ObjectWasDeleted", kal.Error),
])
def test_each_operation_translates_its_own_error_classes(obj, call, operation, error, raised):
    node = obj.createNode("subnet")
    assert type(raised_by_fault(operation, error, lambda: call(node))) is raised


def test_autocomplete_offers_child_paths(sops):
    geo = sops[0]
    assert geo._getArgumentAutoComplete("node", '"bo') == ("box1",)
    assert geo._getArgumentAutoComplete("parm", "x") == ()


@pytest.mark.parametrize("edit, expected", [
    # The lowest free number comes back, whatever freed it.
    (lambda net: net.node("null2").destroy(), ["null2", "null6"]),
    (lambda net: [net.node(n).destroy() for n in ("null4", "null2")], ["null2", "null4"]),
    (lambda net: net.node("null3").setName("other"), ["null3", "null6"]),
    (lambda net: net.node("null5").setName("null9"), ["null5", "null6"]),
    # A name that spells its number differently does not take it.
    (lambda net: net.node("null1").setName("null01"), ["null1", "null6"]),
    # Raising a given name's number skips every name in use after it.
    (lambda net: net.createNode("null", "null7"), ["null6", "null8"]),
])
def test_automatic_names_take_the_lowest_free_number(obj, edit, expected):
    network = obj.createNode("subnet", "net")
    for _ in range(5):
        network.createNode("null")
    edit(network)
    assert [network.createNode("null").name() for _ in expected] == expected


def test_look_ups_follow_renames(obj):
    network = obj.createNode("subnet", "net")
    node = network.createNode("null", "a")
    for name in ("b", "c", "a"):
        previous = node.name()
        node.setName(name)
        assert kal.node("/obj/net/" + name) == node and network.node(name) == node
        assert kal.node("/obj/net/" + previous) is None or previous == name
    network.setName("renamed")
    assert node.path() == "/obj/renamed/a" and kal.node("/obj/net/a") is None
    network.createNode("null", "b")  # a freed name is free again
    node.setName("a")  # renaming to its own name changes nothing
    assert [n.name() for n in network.children()] == ["a", "b"]


def test_handles_deep_in_a_destroyed_network_all_fail(obj):
    top = network = obj.createNode("subnet", "top")
    handles = []
    for _ in range(300):
        network = network.createNode("subnet")
        handles += [network, network.createNode("null")]
    parm = network.createNode("geo").parm("tx")
    assert handles[-1].path().count("/") == 303
    top.destroy()
    for handle in handles:
        with pytest.raises(kal.ObjectWasDeleted):
            handle.name()
    with pytest.raises(kal.ObjectWasDeleted):
        parm.eval()
    assert obj.children() == () and obj.createNode("subnet").name() == "subnet1"


def test_destroying_a_source_cuts_its_wires_and_frees_the_slot(sops):
    _, box, xform, merge = sops
    merge.setInput(0, box)
    merge.setInput(1, xform)
    xform.setInput(0, box)
    box.destroy()
    assert [n.name() for n in merge.inputs()] == ["xform1"] and xform.inputs() == ()
    assert xform.outputs() == (merge,)
    with pytest.raises(kal.OperationFailed):
        xform.setInput(0, merge)  # still a loop after the destroy


def test_clearing_the_selection_follows_nodes_across_moves(obj):
    first, second = obj.createNode("subnet", "first"), obj.createNode("subnet", "second")
    moving, staying = first.createNode("null"), first.createNode("null")
    for node in (moving, staying):
        node.setSelected(True)
    copy, = kal.copyNodesTo([moving], second)
    kal.moveNodesTo([moving], second)
    assert not copy.isSelected()
    second.createNode("null").setSelected(True, True)  # clears the moved node's selection
    assert (moving.isSelected(), staying.isSelected()) == (False, True)
    moving.setSelected(True)
    first.createNode("null").setSelected(True, True)
    assert (moving.isSelected(), staying.isSelected()) == (True, False)
