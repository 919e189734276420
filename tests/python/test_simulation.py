"""Simulation networks, their simulation data and records, and the typed record fields."""
import pytest

import kal
import kalhost
from conftest import host_calls, live_handles_kept, raised_by_fault, stub_result

GRAVITY = 9.81
FPS = 24.0


@pytest.fixture
def network():
    """A simulation network with a ball dropped from 10 and a crate thrown sideways from 3."""
    dopnet = kal.node("/obj").createNode("dopnet", "sim")
    ball = dopnet.createNode("rigidobject", "ball")
    ball.parmTuple("t").set((0.0, 10.0, 0.0))
    crate = dopnet.createNode("rigidobject", "crate")
    crate.parmTuple("t").set((2.0, 3.0, 0.0))
    crate.parmTuple("v").set((1.0, 0.0, 0.5))
    kal.setFrame(1)
    return dopnet


def position(network, name, frame):
    kal.setFrame(frame)
    return tuple(network.simulation().findObject(name).record("Position").field("t"))


def falling(start, velocity, frame):
    """Where free fall puts a body `frame` frames after frame 1."""
    t = (frame - 1) / FPS
    return (start[0] + velocity[0] * t, start[1] + velocity[1] * t - GRAVITY * t * t / 2,
            start[2] + velocity[2] * t)


def test_results_come_back_as_their_most_specific_class(network):
    network = kal.node("/obj/sim")
    assert type(network) is kal.DopNetNode and type(network.node("ball")) is kal.DopNode
    simulation = network.simulation()
    assert type(simulation) is kal.DopSimulation
    assert [type(item) for item in simulation.objects()] == [kal.DopObject, kal.DopObject]
    assert [type(item) for item in simulation.relationships()] == [kal.DopRelationship]
    ball = simulation.findObject("ball")
    assert type(ball) is kal.DopObject and ball.dataType() == "SIM_Object"
    subdata = ball.subData()
    assert sorted(subdata) == ["Physical", "Position"]
    assert {type(item) for item in subdata.values()} == {kal.DopData}
    assert type(simulation.findData("ball/Position")) is kal.DopData
    assert type(simulation.findData("collisions")) is kal.DopRelationship
    assert simulation.findObject("nothing") is None and simulation.findData("ball/Nothing") is None


def test_a_simulation_network_is_accepted_as_an_object_and_a_node(network, geo):
    assert type(geo.getTransformToNode(network)) is kal.Matrix4  # a KOM_ObjNode &
    assert network.relativePathTo(geo) == "../sim"                # a KOM_Node &


def test_a_failing_class_question_raises_and_leaves_nothing_alive(network):
    simulation = network.simulation()
    with live_handles_kept():
        kalhost.fail("DopData.dataHandle", "ObjectWasDeleted", "gone meanwhile")
        with pytest.raises(kal.ObjectWasDeleted, match="gone meanwhile"):
            simulation.findObject("ball")


@pytest.mark.parametrize("frame", [1, 2, 10, 17, 30])
def test_bodies_fall_freely_until_they_meet_the_ground(network, frame):
    assert position(network, "ball", frame) == pytest.approx(falling((0, 10, 0), (0, 0, 0), frame), abs=1e-5)
    if frame <= 17:  # the crate meets the ground at 0.71 s, frame 18.1
        assert position(network, "crate", frame) == pytest.approx(
            falling((2, 3, 0), (1, 0, 0.5), frame), abs=1e-5)


def test_bodies_rest_on_the_ground_once_they_meet_it(network):
    kal.setFrame(48)  # the ball meets the ground at 1.39 s, frame 34.4
    ball = network.simulation().findObject("ball")
    assert tuple(ball.record("Position").field("t")) == (0.0, 0.5, 0.0)  # its radius above ground
    assert tuple(ball.record("Position").field("v")) == (0.0, 0.0, 0.0)
    assert ball.record("Basic").field("resting") is True
    kal.setFrame(34)
    assert ball.record("Basic").field("resting") is False


def test_a_bouncing_body_loses_the_speed_it_does_not_keep(network):
    ball = network.node("ball")
    ball.parm("bounce").set(0.5)
    ball.parm("radius").set(0.0)
    impact = (2 * GRAVITY * 10) ** 0.5
    after = 2 * (0.5 * impact) / GRAVITY  # up and down again at half the speed
    meets = impact / GRAVITY
    frame = 1 + (meets + after / 2) * FPS  # the top of the first bounce
    top = (0.5 * impact) ** 2 / (2 * GRAVITY)
    kal.setFrame(round(frame))
    height = network.simulation().findObject("ball").record("Position").field("t")[1]
    assert height == pytest.approx(top, abs=0.05)


def test_going_back_gives_the_earlier_state(network):
    forward = [position(network, "ball", frame) for frame in (5, 20, 40)]
    backward = [position(network, "ball", frame) for frame in (40, 20, 5)]
    assert forward == backward[::-1]
    assert len(set(forward)) == 3


def test_changing_a_start_parameter_restarts_the_simulation(network):
    before = position(network, "ball", 10)
    network.node("ball").parmTuple("t").set((0.0, 20.0, 0.0))
    assert position(network, "ball", 10) == pytest.approx(falling((0, 20, 0), (0, 0, 0), 10), abs=1e-5)
    assert position(network, "ball", 10) != before


@pytest.mark.parametrize("edit, height", [
    (lambda net: net.node("ball").parm("ty").set(20.0), 20.0),
    (lambda net: kal.kscript("opparm /obj/sim/ball t 0 30 0"), 30.0),
    (lambda net: net.node("crate").parm("ty").set(4.0), 8.0),  # followed through ch()
    (lambda net: net.node("crate").setName("box"), None),      # ch() no longer finds it
    (lambda net: kal.setFrame(3), falling((0, 8, 0), (0, 0, 0), 3)[1]),  # $F: starts at 8
], ids=["parameter", "kscript", "referenced", "renamed", "frame"])
def test_an_edit_between_two_reads_of_a_held_record_is_seen(network, edit, height):
    network.node("ball").parm("ty").setExpression('ch("../crate/ty") * 2 + $F - 1')
    record = network.simulation().findObject("ball").record("Position")
    assert record.field("t")[1] == pytest.approx(6.0)
    edit(network)
    if height is None:
        with pytest.raises(kal.Error, match="no parameter ../crate/ty"):
            record.field("t")
    else:
        assert record.field("t")[1] == pytest.approx(height, abs=1e-5)


def test_a_held_list_of_objects_sees_bodies_come_and_go(network):
    simulation = network.simulation()
    objects = simulation.objects()
    assert [item.name() for item in objects] == ["ball", "crate"]
    network.createNode("rigidobject", "drop")
    assert [item.name() for item in objects] == ["ball", "crate", "drop"]
    network.node("ball").destroy()
    assert len(objects) == 2 and [item.objid() for item in objects] == [1, 2]
    network.node("drop").bypass(True)
    assert [item.name() for item in objects] == ["crate"] and simulation.findObject("drop") is None
    network.node("crate").setName("box")
    assert simulation.findObject("crate") is None and simulation.findObject("box").objid() == 1


def test_a_held_record_follows_the_frame_and_the_frame_rate(network):
    record = network.simulation().findObject("ball").record("Position")
    heights = []
    for frame in (1, 10, 1, 10):
        kal.setFrame(frame)
        heights.append(record.field("t")[1])
    assert heights[:2] == pytest.approx([10.0, falling((0, 10, 0), (0, 0, 0), 10)[1]], abs=1e-5)
    assert heights[2:] == heights[:2]
    kal.setFps(48.0)
    kal.setFrame(10)
    assert record.field("t")[1] == pytest.approx(10.0 - GRAVITY * (9 / 48) ** 2 / 2, abs=1e-5)


FIELDS = [
    ("Basic", "objid", int, "Integer"),
    ("Basic", "resting", bool, "Boolean"),
    ("Physical", "mass", float, "Float"),
    ("Basic", "name", str, "String"),
    ("Basic", "framerange", kal.Vector2, "Vector2"),
    ("Position", "t", kal.Vector3, "Vector3"),
    ("Render", "color", kal.Vector4, "Vector4"),
    ("Position", "orient", kal.Quaternion, "Quaternion"),
    ("Physical", "inertia", kal.Matrix3, "Matrix3"),
    ("Position", "transform", kal.Matrix4, "Matrix4"),
    ("Render", "uvoffset", kal.Vector2, "UV"),
    ("Render", "uvscale", kal.Vector3, "UVW"),
]


@pytest.mark.parametrize("record, name, python_type, field_type", FIELDS, ids=[f[3] for f in FIELDS])
def test_each_field_type_comes_back_as_its_python_value(network, record, name, python_type, field_type):
    kal.setFrame(5)
    record = network.simulation().findObject("crate").record(record)
    value = record.field(name)
    assert type(value) is python_type
    assert record.fieldType(name) == getattr(kal.fieldType, field_type)
    assert name in record.fieldNames()
    if python_type not in (int, bool, float, str):
        assert value.this.own()  # a new value the script owns


def test_field_values_are_the_stored_ones(network):
    kal.setFrame(5)
    crate = network.simulation().findObject("crate")
    network.node("crate").parm("bounce").set(0.1)
    assert crate.record("Physical").field("bounce") == 0.10000000149011612  # a 32-bit float
    assert crate.record("Basic").field("name") == "crate"
    assert crate.record("Basic").field("objid") == crate.objid() == 1
    assert tuple(crate.record("Basic").field("framerange")) == (1.0, 5.0)
    assert tuple(crate.record("Position").field("orient")) == (0.0, 0.0, 0.0, 1.0)
    inertia = crate.record("Physical").field("inertia")  # a solid sphere: 2/5 m r^2
    assert [inertia.at(row, column) for row in range(3) for column in range(3)] == pytest.approx(
        [0.1, 0, 0, 0, 0.1, 0, 0, 0, 0.1])
    transform = crate.record("Position").field("transform")
    assert [transform.at(3, column) for column in range(4)] == pytest.approx(
        list(falling((2, 3, 0), (1, 0, 0.5), 5)) + [1.0], abs=1e-5)


def test_a_field_the_record_lacks_is_none(network):
    record = network.simulation().findObject("ball").record("Basic")
    assert record.field("nothing") is None
    assert record.fieldType("nothing") == kal.fieldType.NoSuchField


@pytest.mark.parametrize("cls, method", [
    (kal.DopSimulation, "findObject"), (kal.DopSimulation, "findRelationship"),
    (kal.DopSimulation, "findData"), (kal.DopData, "findSubData"), (kal.DopData, "record"),
])
def test_look_ups_that_find_nothing_are_none_as_their_stubs_say(network, cls, method):
    found = network.simulation() if cls is kal.DopSimulation else network.simulation().findObject("ball")
    assert getattr(found, method)("Nothing") is None
    assert stub_result(cls, method) == "Optional[%s]" % ("DopRecord" if method == "record" else "DopData")


def test_with_the_display_flag_off_no_node_is_displayed(network):
    crate = network.node("crate")
    crate.setDisplayFlag(False)
    assert crate.displayNode() is None and network.node("ball").displayNode() is None
    for method in ("dopNetNode", "displayNode"):
        assert stub_result(kal.DopNode, method) == "Optional[Node]"


@pytest.mark.parametrize("reach, text", [
    (lambda n: n.simulation(), "<kal.DopSimulation of /obj/sim at frame 1>"),
    (lambda n: n.simulation().findObject("crate"), "<kal.DopObject crate of /obj/sim>"),
    (lambda n: n.simulation().findRelationship("collisions"), "<kal.DopRelationship collisions of /obj/sim>"),
    (lambda n: n.simulation().findData("ball/Physical"), "<kal.DopData Physical of /obj/sim>"),
    (lambda n: n.simulation().findObject("crate").record("Position"), "<kal.DopRecord Position 0 of /obj/sim:object:1>"),
])
def test_each_item_names_its_class_once_and_where_it_is(network, reach, text):
    assert repr(reach(network)) == text


def test_records_by_type_and_index(network):
    ball = network.simulation().findObject("ball")
    assert ball.recordTypes() == ("Basic", "Position", "Physical", "Render", "Options")
    assert ball.record("Position") == ball.record("Position", 0)
    assert ball.record("Position", 1) is None and ball.record("Nothing") is None
    assert ball.options() == ball.record("Options") and ball.options().field("active") is True
    assert hash(ball.options()) == hash(ball.record("Options"))
    relationship = network.simulation().findRelationship("collisions")
    members = relationship.records("Objects")
    assert type(members) is kal._DopRecordTupleGenerator
    assert [(r.recordIndex(), r.field("name")) for r in members] == [(0, "ball"), (1, "crate")]
    assert members[-1] == relationship.record("Objects", 1)


def test_each_data_item_has_options_and_subdata_found_by_its_keys(network):
    simulation = network.simulation()
    for data in list(simulation.objects()) + list(simulation.relationships()):
        assert data.options().recordType() == "Options"
        subdata = data.subData()
        assert subdata
        for key, item in subdata.items():
            found = data.findSubData(key)
            assert found == item and not found.this.own()  # the host keeps it
            assert found.dataType() == item.dataType() and found.options() is not None
        assert data.findSubData("Nothing") is None
        assert sorted(item.id() for item in data.findAllSubData("*")) == sorted(
            item.id() for item in subdata.values())


def test_simulation_lookups(network):
    simulation = network.simulation()
    assert simulation.dopNetNode() == network
    assert [o.name() for o in simulation.findAllObjects("c*")] == ["crate"]
    assert [r.name() for r in simulation.findAllRelationships("*")] == ["collisions"]
    assert [d.id() for d in simulation.findAllData("ball*")] == [
        "object:0", "object:0/Position", "object:0/Physical"]
    ball = simulation.findObject("ball")
    assert ball.matches("b*") and not ball.matches("c*")
    assert ball.simulation().dopNetNode() == network and ball.dopNetNode() == network
    assert ball.creator() == network.node("ball")
    assert ball == simulation.objects()[0] and ball != simulation.objects()[1] and ball != None
    assert hash(ball) == hash(simulation.objects()[-2])
    with pytest.raises(IndexError, match="^Invalid index$"):
        simulation.objects()[2]


def test_processed_objects_and_the_nodes_that_processed_them_agree(network):
    for node in network.children():
        processed = node.processedObjects()
        assert len(processed) == 1 and processed[0].name() == node.name()
        assert network.findNodesThatProcessedObject(processed[0]) == (node,)
        assert node.dopNetNode() == network and node.simulation().dopNetNode() == network
    other = kal.node("/obj").createNode("dopnet").createNode("rigidobject")
    assert network.findNodesThatProcessedObject(other.processedObjects()[0]) == ()
    assert host_calls("DopNetNode.findNodesThatProcessedObject")[-1][1] == (
        "/obj/dopnet1:object:0",)


def test_a_bypassed_node_makes_no_object(network):
    crate = network.node("crate")
    crate.bypass(True)
    assert crate.isBypassed() and crate.processedObjects() == ()
    assert [o.name() for o in network.simulation().objects()] == ["ball"]
    crate.bypass(False)
    assert network.simulation().findObject("crate").objid() == 1  # keeps its number


def test_the_display_node_is_the_last_created_until_a_script_sets_one(network):
    ball, crate = network.node("ball"), network.node("crate")
    assert ball.displayNode() == crate and crate.isDisplayFlagSet() and not ball.isDisplayFlagSet()
    ball.setDisplayFlag(True)
    assert crate.displayNode() == ball and ball.isDisplayFlagSet()
    assert repr(ball) == repr(kal.node(ball.path()))  # the node's own text
    assert ("DopNode.setDisplayFlag", (True,)) in host_calls()


def test_data_of_a_deleted_object_is_gone(network):
    ball = network.simulation().findObject("ball")
    record = ball.record("Position")
    network.node("ball").destroy()
    for call in (ball.name, ball.recordTypes, record.fieldNames, lambda: record.field("t")):
        with pytest.raises(kal.ObjectWasDeleted):
            call()
    network.destroy()
    with pytest.raises(kal.Error) as raised:  # only the base error is listed for hashing
        hash(record)
    assert type(raised.value) is kal.Error


@pytest.mark.parametrize("operation, call, translated", [
    ("DopRecord.rawField", lambda n: n.simulation().findObject("ball").record("Basic").field("name"),
     ("ObjectWasDeleted",)),
    ("DopData.recordTypes", lambda n: n.simulation().findObject("ball").recordTypes(), ("ObjectWasDeleted",)),
    ("DopNode.bypass", lambda n: n.node("ball").bypass(True), ("ObjectWasDeleted", "PermissionError")),
    ("DopNode.setDisplayFlag", lambda n: n.node("ball").setDisplayFlag(True),
     ("ObjectWasDeleted", "PermissionError")),
    ("DopNode.isBypassed", lambda n: n.node("ball").isBypassed(), ("ObjectWasDeleted",)),
    ("DopNetNode.simulation", lambda n: n.simulation(), ("ObjectWasDeleted",)),
    ("DopData.__hash__", lambda n: hash(n.simulation().findObject("ball")), ()),
])
@pytest.mark.parametrize("error", ["ObjectWasDeleted", "PermissionError", "OperationFailed"])
def test_each_operation_translates_its_own_catch_list(network, operation, call, translated, error):
    caught = raised_by_fault(operation, error, lambda: call(network))
    assert type(caught) is (getattr(kal, error) if error in translated else kal.Error)


def test_a_simulation_reached_from_a_rigid_object_node(network):
    ball = network.node("ball")
    assert type(ball.dopNetNode()) is kal.DopNetNode
    assert ball.simulation().findObject("ball") == network.simulation().findObject("ball")
    assert host_calls("DopNode.simulation")
