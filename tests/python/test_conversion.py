"""Scalar, string, sequence and map arguments as the host receives them, and results."""
import gc
import os
import re
import sys

import pytest

import _kal
import kal
import kalhost
from conftest import host_calls, only_call, run_python


FLOATS = "std::vector<float,std::allocator<float > > const &"


# int: 32-bit signed; beyond it, floats and strings are type errors; bools are ints.
@pytest.mark.parametrize("value, expected", [(True, 1), (False, 0), (-2**31, -2**31), (7, 7)])
def test_int_accepts_ints_and_bools(value, expected):
    with pytest.raises(SystemExit):
        kal.exit(value)
    assert only_call("Module.exit") == (expected, False)


@pytest.mark.parametrize("value", [2**31, -2**31 - 1, 2**40, 2**64, 3.0, float("nan"), "3", None, b"3"])
def test_int_refuses_the_rest_with_a_type_error(value):
    with pytest.raises(TypeError, match=r"^in method 'exit', argument 1 of type 'int'$"):
        kal.exit(value)
    assert host_calls("Module.exit") == []


# bool: True, False and ints by their truth; nothing else.
@pytest.mark.parametrize("value, expected", [(0, False), (7, True), (-1, True), (2**70, True), (True, True)])
def test_bool_accepts_bools_and_ints(obj, value, expected):
    obj.createNode("geo", None, value)
    assert only_call("Node.createNode") == ("geo", None, expected, True)


@pytest.mark.parametrize("value", [None, 1.0, "yes", [], b"\x01"])
def test_bool_refuses_the_rest(obj, value):
    with pytest.raises(TypeError, match=r"^in method 'Node_createNode', argument 4 of type 'bool'$"):
        obj.createNode("geo", None, value)


# float: through double, then within single precision; NaN passes.
@pytest.mark.parametrize("value, expected", [(1e38, 1e38), (2, 2.0), (-0.5, -0.5), (True, 1.0),
                                             (float("nan"), float("nan"))])
def test_float_accepts_numbers_in_single_precision_range(value, expected):
    kal.setTime(value)
    assert only_call("Module.setTime") == (pytest.approx(expected, rel=1e-6, nan_ok=True),)


@pytest.mark.parametrize("value, error", [(1e39, OverflowError), (-1e39, OverflowError),
                                          (float("inf"), OverflowError), ("1", TypeError),
                                          (None, TypeError), (10**400, TypeError)])
def test_float_refuses_out_of_range_and_non_numbers(value, error):
    with pytest.raises(error, match=r"^in method 'setTime', argument 1 of type 'float'$"):
        kal.setTime(value)
    assert host_calls("Module.setTime") == []


@pytest.mark.parametrize("call, operation, expected", [
    (lambda: kal.almostEqual(2**53, 1), "Module.almostEqual", (float(2**53), 1.0)),  # double: ints exactly
    # A char pointer stops at a NUL, a string keeps every byte; text round-trips, undecodable bytes too.
    (lambda: kal.node("/o\0bj"), "Module.node", ("/o",)),
    (lambda: kal._addPreloadIcon("a\0b", 1, 2), "Module.preloadIcon", ("a\0b", 1, 2)),
] + [(lambda text=text: kal.node(text), "Module.node", (text,))
      for text in ["/obj/gé", "/obj/\udcff\udc80", "/日本"]])
def test_doubles_and_text_reach_the_host_as_given(call, operation, expected):
    call()
    assert only_call(operation) == expected


@pytest.mark.parametrize("call, error, message", [
    (lambda obj: kal.node(b"/obj"), TypeError, "in method 'node', argument 1 of type 'char const *'"),
    (lambda obj: kal.node("/\ud800"), TypeError, "in method 'node', argument 1 of type 'char const *'"),
    (lambda obj: kal._addPreloadIcon(None, 1, 2), TypeError,
     "in method '_addPreloadIcon', argument 1 of type 'std::string'"),
    (lambda obj: obj.setPosition(None), ValueError, "invalid null reference in method 'Node_setPosition', "
                                                     "argument 2 of type '%s'" % FLOATS),
], ids=["bytes", "lone surrogate", "None for a string", "None for a vector"])
def test_unconvertible_arguments_are_refused_with_their_type(obj, call, error, message):
    with pytest.raises(error) as raised:
        call(obj)
    assert str(raised.value) == message


# Sequences.
class FloatSubclass(float):
    pass


@pytest.mark.parametrize("value", [(1, 2.5), [1, 2.5], (1.0, 2.5), [1.0, 2.5], (FloatSubclass(1), 2.5),
                                   kal._FloatTuple([1, 2.5]), range(1, 3)])
def test_vector_of_float_from_any_sequence(obj, value):
    obj.setPosition(value)
    position = only_call("Node.setPosition")[0]
    assert position[0] == 1.0 and position[1] in (2.5, 2.0)


@pytest.mark.parametrize("value", [(1, "a"), "abc", 5, {1: 2}, (1, None), (1e39, 0), (0.5, -1e39), [0.5, 1e39]])
def test_vector_of_float_refuses_bad_sequences_whole(obj, value):
    with pytest.raises(TypeError) as raised:
        obj.setPosition(value)
    assert str(raised.value) == "in method 'Node_setPosition', argument 2 of type '%s'" % FLOATS
    assert host_calls("Node.setPosition") == []


def test_vector_of_nodes_takes_none_as_a_null_element(obj):
    geo = obj.createNode("geo")
    kalhost.clearCalls()
    with pytest.raises(kal.Error):  # the host refuses the null it received
        obj.layoutChildren([geo, None])
    assert only_call("Node.layoutChildren")[0] == ("/obj/geo1", None)


def test_results_are_tuples_never_lists():
    version = kal.applicationVersion()
    assert type(version) is tuple and all(type(part) is int for part in version)
    assert type(kal.node("/").children()) is tuple


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="AddressSanitizer holds freed memory back; it checks leaks itself")
def test_a_million_conversions_leave_memory_flat():
    # A fresh interpreter, so that this run's own allocations do not blur the reading.
    process = run_python(
        "import kal, resource\n"
        "def rss(): return int(open('/proc/self/statm').read().split()[1])\n"
        "obj = kal.node('/obj')\n"
        "def round(count):\n"
        "    for i in range(count):\n"
        "        obj.setPosition((i, 2.5))\n"
        "        kal.node('/obj')\n"
        "        try: obj.setPosition((1, 'x'))\n"
        "        except TypeError: pass\n"
        "        try: kal.setTime(1e39)\n"
        "        except OverflowError: pass\n"
        "round(20000)\n"
        "before = rss()\n"
        "round(250000)\n"
        "print(rss() - before)\n")
    pages = int(process.stdout.strip() or "-1")
    assert pages < 256, process.stderr  # under a megabyte of growth for a million calls


# Python code that runs while a wrapper converts its arguments (a sequence's __len__ or
# __getitem__, a "this" property) may drop or delete what the wrapper already converted: the
# call keeps it alive, and refuses what was deleted as it would refuse it now.

class Sequence:
    """`count` floats (or whatever `item` makes), claiming `length`; the first item it gives
    runs `meanwhile`."""

    def __init__(self, meanwhile=lambda: None, length=None, item=lambda index: 1.0, count=3):
        self.meanwhile, self.item, self.count = meanwhile, item, count
        self.length = count if length is None else length

    def __len__(self):
        return self.length

    def __getitem__(self, index):
        if index == 0:
            self.meanwhile()
        if index >= self.count:
            raise IndexError(index)
        return self.item(index)


def live_handles():
    gc.collect()
    return kalhost.liveHandles()


def drop_pointer(proxy):
    return lambda: delattr(proxy, "this")


def delete_object(proxy):
    return lambda: getattr(_kal, "delete_" + type(proxy).__name__)(proxy)


@pytest.mark.parametrize("length", [sys.maxsize, 2**40, 2**31 - 1])
@pytest.mark.parametrize("call", [lambda geo, seq: geo.setPosition(seq),
                                  lambda geo, seq: geo.parmTuple("t").set(seq)],
                         ids=["Node.setPosition", "ParmTuple.set"])
def test_a_length_is_a_claim_never_an_allocation(obj, call, length):
    geo = obj.createNode("geo")
    with pytest.raises(TypeError, match=r"^in method '(Node_setPosition|ParmTuple_set)', argument 2"):
        call(geo, Sequence(length=length))


def test_self_whose_pointer_object_is_dropped_during_conversion_lives_until_the_call_returns(obj):
    geo = obj.createNode("geo")
    kalhost.clearCalls()
    before = live_handles()
    geo.setPosition(Sequence(drop_pointer(geo), count=2))
    assert only_call("Node.setPosition") == ((1.0, 1.0),)
    assert live_handles() == before - 1 and not hasattr(geo, "this")


@pytest.mark.parametrize("target, entry", [
    (lambda geo: geo, "Node_setPosition', argument 1 of type 'KOM_Node *'"),
    (lambda geo: geo.parmTuple("t"), "ParmTuple_set', argument 1 of type 'KOM_ParmTuple *'"),
], ids=["Node.setPosition", "ParmTuple.set"])
def test_self_deleted_during_conversion_is_refused_before_the_host_is_called(obj, target, entry):
    self = target(obj.createNode("geo"))
    call = self.setPosition if isinstance(self, kal.Node) else self.set
    kalhost.clearCalls()
    with pytest.raises(ValueError, match="^invalid null reference in method '" + re.escape(entry)):
        call(Sequence(delete_object(self), count=2))
    assert host_calls("Node.setPosition") == host_calls("ParmTuple.set") == []


@pytest.mark.parametrize("call", [lambda obj, seq: obj.layoutChildren(child_nodes=seq),
                                  lambda obj, seq: kal.copyNodesTo(seq, obj)],
                         ids=["Node.layoutChildren", "copyNodesTo"])
def test_node_lists_keep_the_nodes_a_sequence_makes_on_demand(obj, call):
    for _ in range(3):
        obj.createNode("geo")
    before = live_handles()
    result = call(obj, Sequence(item=lambda index: kal.node("/obj/geo%d" % (index + 1))))
    del result
    assert live_handles() == before
    assert [call[1][0] for call in host_calls() if call[0] in ("Node.layoutChildren", "Module.copyNodesTo")] == \
        [("/obj/geo1", "/obj/geo2", "/obj/geo3")]


def test_a_node_deleted_while_its_list_converts_arrives_as_a_null_element(obj):
    first, second = obj.createNode("geo"), obj.createNode("geo")
    items = [first, second]
    kalhost.clearCalls()
    with pytest.raises(kal.Error, match="Expected a node, got None"):
        obj.layoutChildren(child_nodes=Sequence(delete_object(first), item=lambda index: items[min(index, 1)]))
    assert only_call("Node.layoutChildren")[0] == (None, "/obj/geo2", "/obj/geo2")


class SlotsNode:
    """No instance dict: "this" is a property handing out a pointer object only it keeps."""
    __slots__ = ("path",)

    def __init__(self, path):
        self.path = path

    @property
    def this(self):
        node = kal.node(self.path)
        pointer = node.this
        del node.this
        return pointer


def test_a_this_property_may_hand_out_a_temporary_pointer_object(obj):
    obj.createNode("geo")
    before = live_handles()
    kalhost.clearCalls()
    obj.layoutChildren(child_nodes=[SlotsNode("/obj/geo1"), SlotsNode("/obj/geo1")])
    assert only_call("Node.layoutChildren")[0] == ("/obj/geo1", "/obj/geo1")
    assert live_handles() == before


def test_a_list_changed_by_its_own_items_conversion_is_read_as_it_is_now(obj):
    geo, box = obj.createNode("geo"), obj.createNode("geo")
    nodes = [None, geo]

    class Shrinking:
        __slots__ = ()

        @property
        def this(self):
            del nodes[1:]
            return box.this
    nodes[0] = Shrinking()
    kalhost.clearCalls()
    obj.layoutChildren(child_nodes=nodes)
    assert only_call("Node.layoutChildren")[0] == ("/obj/geo2",)


def test_a_failing_item_leaves_nothing_behind():
    before = live_handles()

    def convert():
        node = kal.node("/obj")  # held by the frame that the failure's traceback keeps

        class Failing:
            def __len__(self):
                return 2

            def __getitem__(self, index):
                raise RuntimeError(node)
        with pytest.raises(TypeError):
            kal._FloatTuple(Failing())
    convert()
    assert live_handles() == before
