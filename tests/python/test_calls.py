"""The calling convention every wrapper shares: counts, keywords, defaults, overloads, ownership."""
import contextlib
import gc
import sys
import weakref

import pytest

import _kal
import kal
import kalhost
from conftest import geometry_selection, host_calls, live_handles_kept, run_tool_collecting


def test_create_node_defaults_reach_the_host(obj):
    obj.createNode("geo")
    obj.createNode("geo", None)
    _kal.Node_createNode(node_type_name="geo", node_name="named", load_contents=False, self=obj)
    assert [args for _, args in host_calls("Node.createNode")] == [
        ("geo", None, True, True), ("geo", None, True, True), ("geo", "named", True, False)]


@pytest.mark.parametrize("args, message", [
    ((5,), "in method 'Node_createNode', argument 2 of type 'char const *'"),
    ((b"geo",), "in method 'Node_createNode', argument 2 of type 'char const *'"),
    (("geo", 3), "in method 'Node_createNode', argument 3 of type 'char const *'"),
    (("geo", None, True, 2.0), "in method 'Node_createNode', argument 5 of type 'bool'"),
])
def test_argument_errors_name_the_entry_argument_and_type_and_skip_the_host(obj, args, message):
    with pytest.raises(TypeError) as raised:
        obj.createNode(*args)
    assert str(raised.value) == message
    assert host_calls("Node.createNode") == []


@pytest.mark.parametrize("call, error, message", [
    (lambda obj: _kal.Node_name(kal.Error()), TypeError,
     "in method 'Node_name', argument 1 of type 'KOM_Node *'"),  # self of the wrong class
    (lambda obj: _kal.Node_createNode(), TypeError, None),
    (lambda obj: _kal.Node___eq__(obj), TypeError, "Node___eq__ expected 2 arguments, got 1"),
    (lambda obj: _kal.Node___eq__(obj, obj, obj), TypeError, "Node___eq__ expected 2 arguments, got 3"),
    (lambda obj: _kal.Node_name(obj, obj), TypeError, None),  # takes exactly self
    # No form for the count: the prototypes test_errors.py pins for each overloaded entry.
    (lambda obj: _kal.Node_setInput(obj), NotImplementedError, None),
    (lambda obj: _kal.Node_setInput(obj, 1), NotImplementedError, None),
    (lambda obj: _kal.Node_setInput(obj, 1, 2, 3, 4, 5), NotImplementedError, None),
    (lambda obj: _kal.Node_setFirstInput(obj), NotImplementedError, None),
    (lambda obj: _kal.Node_setNextInput(obj, None, 0, 1), NotImplementedError, None),
    (lambda obj: _kal.Node_insertInput(obj, 0), NotImplementedError, None),
    (lambda obj: _kal.Node_moveToGoodPosition(obj, *(True,) * 5), NotImplementedError, None),
    # The last overload candidate reports its own conversion error.
    (lambda obj: obj.setInput(0, 5), TypeError,
     "in method 'Node_setInput', argument 3 of type 'KOM_SubnetIndirectInput &'"),
    (lambda obj: obj.setInput("0", None), TypeError, "in method 'Node_setInput', argument 2 of type 'int'"),
    (lambda obj: obj == 5, TypeError, "in method 'Node___eq__', argument 2 of type 'KOM_Node *'"),
], ids=["self", "no arguments", "one of two", "three of two", "self and more", "setInput()",
        "setInput(1)", "setInput(five)", "setFirstInput()", "setNextInput(three)", "insertInput(0)",
        "moveToGoodPosition(five)", "setInput(0, 5)", "setInput('0', None)", "== 5"])
def test_wrong_counts_and_types_fail_with_their_message_before_the_host(obj, call, error, message):
    with pytest.raises(error) as raised:
        call(obj)
    if message is not None:
        assert str(raised.value) == message
    assert host_calls("Node.setInput") == host_calls("Node.__eq__") == []


def test_overloads_are_chosen_by_count_and_by_the_distinguishing_argument(obj):
    a, b = obj.createNode("null"), obj.createNode("null")
    kalhost.clearCalls()
    _kal.Node_setInput(b, 0, None)
    b.setInput(0, a)
    b.setInput(1, a, 2)
    assert [args for _, args in host_calls("Node.setInput")] == [
        (0, None, 0), (0, "/obj/null1", 0), (1, "/obj/null1", 2)]


def test_comparing_with_none_passes_null(obj):
    assert (obj == None) is False  # noqa: E711
    assert host_calls("Node.__eq__") == [("Node.__eq__", (None,))]
    assert obj == kal.node("/obj") and not obj != kal.node("/obj")


def test_explicit_delete_disowns_so_collection_deletes_nothing():
    with live_handles_kept() as before:
        node = kal.node("/obj")
        assert node.this.own() and kalhost.liveHandles() == before + 1
        _kal.delete_Node(node)
        assert not node.this.own()
        assert kalhost.liveHandles() == before
        del node


# --- how proxies are freed -------------------------------------------------------------------
# Most proxies are freed directly; one with a finaliser, weak references or attributes, or of a
# script's subclass, goes the interpreter's general way. Each must release its handle once.

@contextlib.contextmanager
def results_as(cls):
    """Nodes of kal.Node's own type (the root, /obj) come back as `cls` meanwhile."""
    _kal.Node_swigregister(cls)
    try:
        yield
    finally:
        _kal.Node_swigregister(kal.Node)


@contextlib.contextmanager
def collector_off():
    gc.collect()
    gc.disable()
    try:
        yield kalhost.liveHandles()
    finally:
        gc.enable()


def test_an_owned_result_releases_its_handle_as_its_last_reference_goes(obj):
    obj.createNode("geo", "g")
    obj.createNode("dopnet", "d")
    with collector_off() as before:
        for round in range(3):  # freed proxies and pointer objects are made again, of other classes
            results = [result for _ in range(500) for result in (obj.parent(), *obj.children())]
            assert kalhost.liveHandles() == before + 1500
            assert [(type(result), result.name()) for result in results[:3]] == \
                [(kal.Node, ""), (kal.ObjNode, "g"), (kal.DopNetNode, "d")]
            assert all(vars(result) == {} for result in results)  # nothing left from the last round
            for result in results[::2]:
                result.round = round
            del results, result
            assert kalhost.liveHandles() == before


def test_a_result_made_of_a_kept_proxy_is_collected_in_a_cycle_as_a_fresh_one_is(obj):
    with collector_off() as before:
        results = [obj.parent() for _ in range(10)]
        del results  # kept for the next results
        for _ in range(3):
            node = kal.node("/obj")
            assert gc.is_tracked(node)
            node.itself = node
            alive = weakref.ref(node)
            del node
            assert alive() is not None and kalhost.liveHandles() == before + 1
            gc.collect()
            assert alive() is None and kalhost.liveHandles() == before


def test_proxies_kept_from_a_replaced_class_give_up_its_references_as_they_are_made_again():
    class Replaced(kal.Node):
        pass
    with collector_off():
        with results_as(Replaced):
            references = sys.getrefcount(Replaced)
            results = [kal.node("/") for _ in range(20)]
            assert {type(result) for result in results} == {Replaced}
            del results  # kept, still of their class
        results = [kal.node("/") for _ in range(20)]
        assert {type(result) for result in results} == {kal.Node}
        del results
        assert sys.getrefcount(Replaced) == references


def test_results_made_and_freed_again_and_again_hold_the_runtime_record_no_more_each_time(obj):
    record = next(value for name, value in vars(sys.modules["swig_runtime_data4"]).items()
                  if "capsule" in name)
    obj.createNode("geo", "g")

    def references_after_a_round():
        for _ in range(50):
            results = [obj.parent(), *obj.children(), kal.node("/")]
            results[0].this.disown()
            results[0].this.acquire()
            del results
        gc.collect()
        return sys.getrefcount(record)
    first = references_after_a_round()
    assert [references_after_a_round() for _ in range(3)] == [first] * 3


def test_a_pointer_object_a_script_holds_stays_its_own_when_its_proxy_is_freed():
    with collector_off():
        obj = kal.node("/obj")
        proxy = obj.parent()
        pointer = proxy.this
        del proxy  # the proxy is kept for later results, without the pointer object
        live = kalhost.liveHandles()
        results = [obj.parent() for _ in range(50)]
        assert all(result.this is not pointer for result in results)
        assert pointer.own() and int(pointer) not in {int(result.this) for result in results}
        del results
        assert kalhost.liveHandles() == live
        del pointer
        assert kalhost.liveHandles() == live - 1


def test_a_disowned_result_keeps_its_object_until_owned_again():
    with collector_off() as before:
        node = kal.node("/obj")
        pointer = node.this
        pointer.disown()
        del node
        assert kalhost.liveHandles() == before + 1
        pointer.acquire()
        del pointer
        assert kalhost.liveHandles() == before


def test_a_finaliser_of_a_script_subclass_sees_a_working_proxy_once():
    seen = []

    class Finalised(kal.Node):
        def __del__(self):
            seen.append(self.path())
    with collector_off() as before, results_as(Finalised):
        root = kal.node("/")
        assert type(root) is Finalised
        del root
        assert seen == ["/"] and kalhost.liveHandles() == before


def test_a_proxy_its_finaliser_keeps_alive_stays_usable_and_is_freed_later():
    kept = []

    class Keeping(kal.Node):
        def __del__(self):
            kept.append(self)
    with collector_off() as before, results_as(Keeping):
        root = kal.node("/")
        del root
        assert kalhost.liveHandles() == before + 1 and kept[0].path() == "/"
        kept.clear()  # its finaliser has run: it is not run again
        assert kept == [] and kalhost.liveHandles() == before


def test_a_finaliser_given_to_a_kal_class_runs(obj):
    seen = []
    kal.Node.__del__ = lambda self: seen.append(self.path())
    try:
        with collector_off() as before:
            node = kal.node("/obj")
            del node
            assert seen == ["/obj"] and kalhost.liveHandles() == before
    finally:
        del kal.Node.__del__


class Script(kal.ObjNode):
    """A script's subclass, with a slot of its own."""
    __slots__ = ("extra",)


class Released:
    """A value that records when it is freed."""
    freed = []

    def __del__(self):
        Released.freed.append(self)


@pytest.mark.parametrize("script", [False, True], ids=["kal class", "script subclass"])
def test_weak_references_and_attributes_are_released_with_the_proxy(script):
    Released.freed.clear()
    called = []
    with collector_off() as before:
        proxy = kal.node("/obj")
        if script:
            node, proxy = proxy, Script.__new__(Script)
            proxy.this, proxy.extra = node.this, Released()
            del node
        proxy.value = Released()
        reference = weakref.ref(proxy, called.append)
        assert kalhost.liveHandles() == before + 1
        del proxy
        assert reference() is None and called == [reference]
        assert len(Released.freed) == (2 if script else 1) and kalhost.liveHandles() == before


@pytest.mark.parametrize("script", [False, True], ids=["kal class", "script subclass"])
def test_a_proxy_holding_itself_through_its_attributes_is_collected(script):
    with collector_off() as before:
        proxy = kal.node("/obj")
        if script:
            node, proxy = proxy, Script.__new__(Script)
            proxy.this = node.this
            del node
        proxy.me, proxy.box = proxy, [proxy]
        reference = weakref.ref(proxy)
        del proxy
        assert kalhost.liveHandles() == before + 1
        gc.collect()
        assert reference() is None and kalhost.liveHandles() == before


def _kept_proxies():
    """One proxy of each kind that does not own its host object, by name: (proxy, use)."""
    obj = kal.node("/obj")
    subnet = obj.createNode("subnet", "s")
    geo = obj.createNode("geo", "g")
    first, second = geo.createNode("box", "b1"), geo.createNode("box", "b2")
    first.parm("sizex").set(geo.parm("tx"))
    viewer = kal.ui.curDesktop().paneTabOfType(kal.paneTabType.SceneViewer)
    selection = geometry_selection(first, second)
    dopnet = obj.createNode("dopnet", "d")
    dopnet.createNode("rigidobject", "ball")
    ball = dopnet.simulation().objects()[0]
    kal.shelves.newTool(name="kept_tool", script="import kal\ncollected.append(kal.shelves.runningTool())")
    (running,) = run_tool_collecting("kept_tool")
    spare = geo.addSpareParmTuple(kal.FloatParmTemplate("gain", "Gain", 1))
    return {
        "SubnetIndirectInput.parent": (subnet.indirectInputs()[0].parent(), lambda p: p.path()),
        "GeometrySelection.mergedNode": (selection.mergedNode(geo, "m"), lambda p: p.path()),
        "DopData.findSubData": (ball.findSubData("Position"), lambda p: p.options()),
        "SceneViewer.curViewport": (viewer.curViewport(), lambda p: p.name()),
        "Parm.getReferencedParm": (first.parm("sizex").getReferencedParm(), lambda p: p.eval()),
        "Node.addSpareParmTuple": (spare, lambda p: p.eval()),
        "shelves.runningTool": (running, lambda p: p.label()),
    }


def test_proxies_that_do_not_own_their_objects_survive_a_reset_and_report_them_gone():
    kept = _kept_proxies()
    for name, (proxy, use) in kept.items():
        assert not proxy.this.own(), name
        use(proxy)
    kalhost.reset()
    for name, (proxy, use) in kept.items():
        with pytest.raises(kal.ObjectWasDeleted):
            use(proxy)
            pytest.fail(name + " still answers")


def test_the_host_keeps_one_handle_per_object_not_per_call(geo):
    box = geo.createNode("box")
    merged = {int(geometry_selection(box).mergedNode(geo, "m").this) for _ in range(3)}
    subnets = [kal.node("/obj").createNode("subnet") for _ in range(2)]
    parents = [int(subnet.indirectInputs()[i].parent().this) for subnet in subnets for i in range(2)]
    assert len(merged) == 1 and parents[0] == parents[1] != parents[2] == parents[3]


def test_an_asset_type_outlives_its_definitions():
    subnet = kal.node("/obj").createNode("subnet")
    asset = subnet.createDigitalAsset("crate", save_as_embedded=True)
    asset_type = asset.type()
    kalhost.reset()
    assert asset_type.name() == "crate" and asset_type.instances() == ()
    assert asset_type.definition() is None and asset_type == asset_type


def test_the_pointer_object_shows_its_type_and_answers_the_runtime_methods(obj):
    pointer = obj.this
    assert repr(pointer).startswith("<Swig Object of type 'KOM_Node *' at 0x")
    pointer.disown()
    assert pointer.own() is False
    pointer.acquire()
    assert pointer.own() is True
    assert pointer.next() is None


def test_the_pointer_object_shows_the_native_pointer_whichever_proxy_holds_it():
    first, second = kal.kmath.this, _kal.__kmath().this
    assert first is not second and int(first) == int(second)
    assert repr(first) == repr(second) == "<Swig Object of type 'KOM_kmath *' at 0x%x>" % int(first)


def test_a_destroyed_nodes_other_handles_raise_object_was_deleted(obj):
    geo = obj.createNode("geo", "doomed")
    other = kal.node("/obj/doomed")
    geo.destroy()
    with pytest.raises(kal.ObjectWasDeleted) as raised:
        other.name()
    assert str(raised.value) == "Attempt to access an object that no longer exists in Kalvane."
    with pytest.raises(kal.ObjectWasDeleted):
        other.setInput(0, None)


@pytest.mark.parametrize("bad", [None, 2**31, -2**31 - 1, 2**64, float("nan"), 1.5, b"0", "0", [0]])
def test_bad_integers_never_crash(obj, bad):
    with pytest.raises(TypeError):
        obj.setInput(bad, None)
    assert host_calls("Node.setInput") == []


@pytest.mark.parametrize("edge", [2**31 - 1, -2**31])
def test_range_edges_of_int_reach_the_host(obj, edge):
    with pytest.raises(kal.InvalidInput):
        obj.setInput(edge, None)
    assert host_calls("Node.setInput") == [("Node.setInput", (edge, None, 0))]


def test_proxies_refuse_what_is_not_a_pointer_object(obj):
    with pytest.raises(TypeError):
        _kal.Error_swiginit(kal.Error(), (1.0, 2.0))
    # Only an instance of a kal class takes one: a class keeps its "this" slot.
    for other in (kal.Node, kal, lambda: None):
        with pytest.raises(TypeError, match=r"^swiginit expects an instance of a kal class$"):
            _kal.Error_swiginit(other, obj.createNode("null").this)
    assert obj.name() == "obj" and "this" not in vars(kal)
    obj.this = obj  # a "this" that leads back to itself is no pointer
    with pytest.raises(TypeError, match=r"^in method 'Node_name', argument 1 of type 'KOM_Node \*'$"):
        obj.name()


@pytest.fixture
def network(obj):
    """Proxies of four classes: kal.Node, kal.ObjNode, kal.DopNetNode (an ObjNode) and kal.SopNode."""
    geo = obj.createNode("geo", "g")
    return obj, geo, obj.createNode("dopnet", "d"), geo.createNode("box", "b")


def test_every_class_converts_as_its_base_in_any_order(network):
    # Alternating classes: each conversion must find its own class's cast, not the last one used.
    for _ in range(3):
        assert [node.path() for node in network + network[::-1]] == \
            ["/obj", "/obj/g", "/obj/d", "/obj/g/b", "/obj/g/b", "/obj/d", "/obj/g", "/obj"]


def test_subclass_proxies_are_accepted_where_a_base_is_expected(network):
    obj, geo, dopnet, box = network
    null = obj.createNode("null", "n")
    for source in (geo, dopnet, geo, None):
        null.setInput(0, source)  # overloaded: chosen by the argument's class, then converted
    null.setInput(0, dopnet, 0)
    assert [args for _, args in host_calls("Node.setInput")] == [
        (0, "/obj/g", 0), (0, "/obj/d", 0), (0, "/obj/g", 0), (0, None, 0), (0, "/obj/d", 0)]
    obj.layoutChildren((geo, dopnet, null))
    assert host_calls("Node.layoutChildren")[0][1][0] == ("/obj/g", "/obj/d", "/obj/n")


def test_other_classes_are_still_refused_once_their_relatives_converted(network):
    obj, geo, dopnet, box = network
    box.geometry()
    with pytest.raises(TypeError, match=r"^in method 'SopNode_geometry', argument 1 of type 'KOM_SopNode \*'$"):
        _kal.SopNode_geometry(dopnet)
    with pytest.raises(TypeError, match=r"^in method 'Node_name', argument 1 of type 'KOM_Node \*'$"):
        _kal.Node_name(box.parm("divisions"))
    with pytest.raises(TypeError, match=r"^in method 'Node_setInput', argument 3 of type 'KOM_SubnetIndirectInput &'$"):
        geo.setInput(0, box.parm("divisions"))  # no pointer candidate takes it; the last one says why
    assert host_calls("Node.setInput") == [] and host_calls("Node.name") == []


def test_results_keep_their_class_whichever_classes_came_before(network):
    expected = [("/obj/d", kal.DopNetNode), ("/obj/g/b", kal.SopNode), ("/obj/g", kal.ObjNode),
                ("/obj", kal.Node), ("/obj/d", kal.DopNetNode)]
    for _ in range(2):
        found = [kal.node(path) for path, _ in expected]
        assert [(node.path(), type(node)) for node in found] == expected
    assert type(kal.root()) is kal.Node


def test_proxy_methods_behave_as_the_generators_instance_methods(network):
    obj, geo, dopnet, box = network
    assert kal.Node.name is _kal.Node_name and kal.ObjNode.name is _kal.Node_name
    assert kal.ObjNode.name(dopnet) == "d" and kal.Node.__dict__["name"](dopnet) == "d"
    bound = geo.name
    assert bound.__self__ is geo and bound() == "g"
    for _ in range(20):  # also once the interpreter has specialised the call
        with pytest.raises(TypeError, match=r"^in method 'SopNode_geometry', argument 1 of type 'KOM_SopNode \*'$"):
            kal.SopNode.geometry(geo)
    obj.createNode(node_name="kw", node_type_name="null")  # keywords pass through
    assert [args for _, args in host_calls("Node.createNode")][-1] == ("null", "kw", True, True)
    geo.name = lambda: "shadowed"  # an instance's own attribute comes first, as for any method
    assert geo.name() == "shadowed"
    del geo.name
    assert geo.name() == "g"


def test_a_method_a_script_sets_on_a_base_class_is_what_subclass_proxies_find(network):
    obj, geo, dopnet, box = network
    original = vars(kal.Node)["name"]
    try:
        kal.Node.name = lambda self: "patched"
        assert (obj.name(), geo.name(), dopnet.name(), box.name()) == ("patched",) * 4
        del kal.Node.name
        with pytest.raises(AttributeError):
            geo.name()
        kal.ObjNode.name = lambda self: "object level"  # a subclass's own method stays its own
        kal.Node.name = original
        assert (obj.name(), geo.name(), dopnet.name(), box.name()) == ("obj", "object level", "object level", "b")
    finally:
        kal.Node.name = original
        if "name" in vars(kal.ObjNode):
            del kal.ObjNode.name
    assert (geo.name(), dopnet.name()) == ("g", "d")


def test_a_script_subclass_overrides_and_calls_up(network):
    obj, geo, dopnet, box = network

    class Labelled(kal.ObjNode):
        def name(self):
            return "<" + super().name() + "|" + kal.ObjNode.name(self) + ">"
    labelled = Labelled.__new__(Labelled)
    labelled.this = geo.this
    assert labelled.name() == "<g|g>" and labelled.path() == "/obj/g"


@pytest.mark.parametrize("call", [
    lambda geo: geo.name(1), lambda geo: geo.name(x=1), lambda geo: geo.setInput(0, None, x=1),
    lambda geo: geo.setInput(), lambda geo: geo.createNode(bogus="null"),
    lambda geo: geo.createNode("null", "a", True, True, 5), lambda geo: geo.setPosition(),
    lambda geo: geo.setPosition((0, 0), 1), lambda geo: geo.setPosition(*range(9)),
    lambda geo: geo.setPosition(position=(0, 0)),
], ids=["METH_O, two arguments", "METH_O, a keyword", "VARARGS, a keyword", "VARARGS, too few",
        "KEYWORDS, an unknown one", "KEYWORDS, too many", "array, too few", "array, too many",
        "array, more than it holds", "array, a keyword"])
def test_a_call_through_a_method_fails_as_the_entry_itself_fails(network, call):
    # Methods call their entries' C code directly; whatever the entry's own checks say stands.
    obj, geo, dopnet, box = network

    class Entries:
        def __getattr__(self, name):
            function = getattr(_kal, "Node_" + name)
            return lambda *args, **kwargs: function(geo, *args, **kwargs)
    kalhost.clearCalls()
    with pytest.raises(Exception) as through_method:
        call(geo)
    with pytest.raises(Exception) as through_entry:
        call(Entries())
    assert (type(through_method.value), str(through_method.value)) == \
        (type(through_entry.value), str(through_entry.value))
    assert host_calls("Node.setInput") == host_calls("Node.createNode") == []


def test_a_proxy_has_no_attributes_of_its_own_until_a_script_sets_one(obj):
    geo = obj.createNode("geo", "g")
    assert vars(geo) == {}
    geo.note = "kept"
    assert vars(geo) == {"note": "kept"} and geo.note == "kept" and geo.name() == "g"
    del geo.note
    assert vars(geo) == {} and geo.name() == "g"


def test_a_class_changed_after_its_proxies_converted_converts_by_its_new_this(network):
    obj, geo, dopnet, box = network

    class Script(kal.ObjNode):
        pass
    proxy = Script.__new__(Script)
    proxy.this = geo.this  # the slot every proxy class keeps it in
    assert proxy.name() == "g" and _kal.Node_name(proxy) == "g"
    Script.this = property(lambda self: dopnet.this)  # the class's "this" is no longer the slot
    assert proxy.name() == "d" and kal.Node.name(proxy) == "d"
    del Script.this
    assert proxy.name() == "g"


def test_a_registered_class_with_its_own_new_makes_the_results(obj):
    class Counted(kal.Node):
        made = 0

        def __new__(cls, *args):
            Counted.made += 1
            return super().__new__(cls)
    _kal.Node_swigregister(Counted)
    try:
        result = kal.node("/")  # the root: a plain kal.Node
    finally:
        _kal.Node_swigregister(kal.Node)
    assert type(result) is Counted and Counted.made == 1 and result.name() == ""
    assert type(kal.node("/")) is kal.Node
