"""The items of a network besides its nodes: network boxes, connections and subnet indirect inputs."""
import pytest

import kal
from conftest import host_calls, raised_by_fault, stub_result


@pytest.fixture
def box(obj):
    return obj.createNetworkBox("group")


# --- Network boxes ---------------------------------------------------------------------------

def test_a_box_is_named_renamed_and_refuses_bad_or_taken_names(obj, box):
    obj.createNetworkBox("other")
    box.setName("renamed")
    assert box.name() == "renamed" and obj.findNetworkBox("renamed") is not None
    assert repr(box) == "<kal.NetworkBox /obj/renamed>"
    with pytest.raises(kal.InvalidNodeName):
        box.setName("no spaces")
    with pytest.raises(kal.OperationFailed):
        box.setName("other")


def test_placement_size_and_look(box):
    box.setPosition((1, 2))
    box.setSize([3, 4])
    box.resize((1, -1))
    assert (box.position(), box.size()) == (kal.Vector2(1, 2), kal.Vector2(4, 3))
    box.setMinimized(True)
    box.setPicked(True)
    box.setColor(kal.Color((1.0, 0.5, 0.0)))
    assert box.isMinimized() and box.isPicked() and box.color().rgb() == (1.0, 0.5, 0.0)
    assert box.position().this.own() and box.color().this.own()


@pytest.mark.parametrize("method, value, error", [
    ("setPosition", (1, 2, 3), kal.InvalidSize),
    ("move", (1,), kal.InvalidSize),
    ("setSize", (float("nan"), 1), kal.InvalidInput),
    ("setSize", (-1, 1), kal.InvalidInput),
    ("resize", (-100, 0), kal.InvalidInput),
])
def test_placement_needs_two_finite_numbers(box, method, value, error):
    with pytest.raises(error):
        getattr(box, method)(value)


def test_membership_moves_with_the_box_and_fits(obj, box):
    first, second = obj.createNode("null"), obj.createNode("null")
    first.setPosition((0, 0))
    second.setPosition((10, -5))
    box.addNode(first)
    box.addNode(second)
    assert box.nodes() == (first, second)
    box.fitAroundContents()
    corner, size = box.position(), box.size()
    assert corner[0] < 0 and corner[1] < -5 and corner[0] + size[0] > 11 and corner[1] + size[1] > 0
    box.move((1, 1))
    assert first.position() == kal.Vector2(1, 1) and box.position() == corner + kal.Vector2(1, 1)
    other = obj.createNetworkBox()
    other.addNode(first)
    assert box.nodes() == (second,) and other.nodes() == (first,)
    box.removeNode(second)
    with pytest.raises(kal.OperationFailed):
        box.removeNode(second)
    with pytest.raises(kal.OperationFailed):
        box.addNode(obj.createNode("geo").createNode("box"))
    other.removeAllNodes()
    assert other.nodes() == ()


def test_nodes_that_leave_the_network_leave_the_box(obj, box):
    node = obj.createNode("null")
    box.addNode(node)
    node.destroy()
    assert box.nodes() == ()


@pytest.mark.parametrize("destroy_contents", [False, True])
def test_destroying_a_box_keeps_or_takes_its_nodes(obj, box, destroy_contents):
    node = obj.createNode("null")
    box.addNode(node)
    if destroy_contents:
        box.destroy(True)
    else:
        box.destroy()
    assert host_calls("NetworkBox.destroy")[-1][1] == (destroy_contents,)
    with pytest.raises(kal.ObjectWasDeleted):
        box.name()
    assert obj.findNetworkBox("group") is None
    assert (kal.node("/obj/null1") is None) is destroy_contents


# --- Connections -----------------------------------------------------------------------------

def test_a_connection_names_both_ends_and_their_indices(geo):
    box, merge = geo.createNode("box"), geo.createNode("merge")
    merge.setInput(2, box)
    connection, = merge.inputConnections()
    assert (connection.inputNode(), connection.outputNode()) == (box, merge)
    assert (connection.inputIndex(), connection.outputIndex()) == (2, 0)
    assert type(connection.inputNode()) is kal.SopNode
    assert repr(connection) == "<kal.NodeConnection from %s output 0 to %s input 2>" % (box.path(), merge.path())
    assert box.outputConnections()[0].outputNode() == merge


def test_a_connection_from_an_indirect_input_has_no_input_node():
    subnet = kal.node("/obj").createNode("subnet")
    inner = subnet.createNode("null")
    inner.setInput(0, subnet.indirectInputs()[3])
    connection, = inner.inputConnections()
    assert connection.inputNode() is None and connection.outputIndex() == 3
    assert stub_result(kal.NodeConnection, "inputNode") == "Optional[Node]"
    assert stub_result(kal.NodeConnection, "outputNode") == "Optional[Node]"
    assert stub_result(kal.SubnetIndirectInput, "parent") == "Optional[Node]"


def test_indices_of_a_cut_wire_arrive_as_plain_error_not_object_was_deleted(geo):
    xform = geo.createNode("xform")
    xform.setInput(0, geo.createNode("box"))
    connection, = xform.inputConnections()
    xform.setInput(0, None)
    with pytest.raises(kal.ObjectWasDeleted):
        connection.inputNode()
    for index in (connection.inputIndex, connection.outputIndex):
        with pytest.raises(kal.Error) as raised:
            index()
        assert type(raised.value) is kal.Error


# --- Subnet indirect inputs ------------------------------------------------------------------

def test_a_subnet_has_four_numbered_inputs_whose_parent_it_is():
    subnet = kal.node("/obj").createNode("subnet")
    inputs = subnet.indirectInputs()
    assert [item.number() for item in inputs] == [0, 1, 2, 3]
    again = subnet.indirectInputs()
    assert inputs[1] == again[1] and inputs[1] != again[2] and inputs[1] != None  # noqa: E711
    assert hash(inputs[1]) == hash(again[1])
    parent = inputs[0].parent()
    assert parent == subnet and type(parent) is kal.ObjNode
    assert not parent.this.own() and subnet.parent().this.own()
    assert repr(inputs[2]) == "<kal.SubnetIndirectInput 2 of %s>" % subnet.path()


def test_the_parent_outlives_its_input_and_learns_when_the_subnet_goes():
    subnet = kal.node("/obj").createNode("subnet")
    indirect = subnet.indirectInputs()[0]
    parent = indirect.parent()
    del indirect
    assert parent.path() == subnet.path()
    subnet.destroy()
    with pytest.raises(kal.ObjectWasDeleted):
        parent.path()


def test_hash_of_an_input_of_a_gone_subnet_is_plain_error():
    subnet = kal.node("/obj").createNode("subnet")
    indirect = subnet.indirectInputs()[0]
    subnet.destroy()
    with pytest.raises(kal.ObjectWasDeleted):
        indirect.number()
    with pytest.raises(kal.Error) as raised:
        hash(indirect)
    assert type(raised.value) is kal.Error
    indirect = kal.node("/obj").createNode("subnet").indirectInputs()[0]
    assert type(raised_by_fault("SubnetIndirectInput.__hash__", "ObjectWasDeleted", lambda: hash(indirect))) \
        is kal.Error
