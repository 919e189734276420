"""Scalar, string, sequence and map arguments as the host receives them, and results."""
import math
import os

import pytest

import _kal
import kal
import kalhost
from conftest import host_calls, run_python


def received(operation):
    """The arguments of the one call of `operation` that the host received."""
    calls = host_calls(operation)
    assert len(calls) == 1, calls
    return calls[0][1]


@pytest.fixture
def obj():
    return kal.node("/obj")


# int: 32-bit signed; beyond it, floats and strings are type errors; bools are ints.
@pytest.mark.parametrize("value, expected", [(True, 1), (False, 0), (-2**31, -2**31), (7, 7)])
def test_int_accepts_ints_and_bools(value, expected):
    with pytest.raises(SystemExit):
        kal.exit(value)
    assert received("Module.exit") == (expected, False)


@pytest.mark.parametrize("value", [2**31, -2**31 - 1, 2**40, 2**64, 3.0, float("nan"), "3", None, b"3"])
def test_int_refuses_the_rest_with_a_type_error(value):
    with pytest.raises(TypeError, match=r"^in method 'exit', argument 1 of type 'int'$"):
        kal.exit(value)
    assert host_calls("Module.exit") == []


# bool: True, False and ints by their truth; nothing else.
@pytest.mark.parametrize("value, expected", [(0, False), (7, True), (-1, True), (2**70, True), (True, True)])
def test_bool_accepts_bools_and_ints(obj, value, expected):
    obj.createNode("geo", None, value)
    assert received("Node.createNode") == ("geo", None, expected, True)


@pytest.mark.parametrize("value", [None, 1.0, "yes", [], b"\x01"])
def test_bool_refuses_the_rest(obj, value):
    with pytest.raises(TypeError, match=r"^in method 'Node_createNode', argument 4 of type 'bool'$"):
        obj.createNode("geo", None, value)


# float: through double, then within single precision; NaN passes.
@pytest.mark.parametrize("value, expected", [(1e38, 1e38), (2, 2.0), (-0.5, -0.5), (True, 1.0)])
def test_float_accepts_numbers_in_single_precision_range(value, expected):
    kal.setTime(value)
    assert received("Module.setTime") == (pytest.approx(expected, rel=1e-6),)


def test_float_passes_nan():
    kal.setTime(float("nan"))
    assert math.isnan(received("Module.setTime")[0])


@pytest.mark.parametrize("value, error", [(1e39, OverflowError), (-1e39, OverflowError),
                                          (float("inf"), OverflowError), ("1", TypeError),
                                          (None, TypeError), (10**400, TypeError)])
def test_float_refuses_out_of_range_and_non_numbers(value, error):
    with pytest.raises(error, match=r"^in method 'setTime', argument 1 of type 'float'$"):
        kal.setTime(value)
    assert host_calls("Module.setTime") == []


def test_double_accepts_ints_exactly():
    kal.almostEqual(2**53, 1)
    assert received("Module.almostEqual") == (float(2**53), 1.0)


# Strings.
def test_char_pointer_stops_at_nul_and_string_keeps_every_byte():
    kal.node("/o\0bj")
    assert received("Module.node") == ("/o",)
    kal._addPreloadIcon("a\0b", 1, 2)
    assert received("Module.preloadIcon") == ("a\0b", 1, 2)


@pytest.mark.parametrize("text", ["/obj/gé", "/obj/\udcff\udc80", "/日本"])
def test_text_round_trips_including_undecodable_bytes(text):
    kal.node(text)
    assert received("Module.node") == (text,)


def test_bytes_and_lone_unescapable_surrogates_are_refused():
    for bad in (b"/obj", "/\ud800"):
        with pytest.raises(TypeError, match=r"^in method 'node', argument 1 of type 'char const \*'$"):
            kal.node(bad)
    with pytest.raises(TypeError):
        kal._addPreloadIcon(None, 1, 2)


# Sequences.
@pytest.mark.parametrize("value", [(1, 2.5), [1, 2.5], kal._FloatTuple([1, 2.5]), range(1, 3)])
def test_vector_of_float_from_any_sequence(obj, value):
    obj.setPosition(value)
    position = received("Node.setPosition")[0]
    assert position[0] == 1.0 and position[1] in (2.5, 2.0)


@pytest.mark.parametrize("value", [(1, "a"), "abc", 5, {1: 2}, (1, None), (1e39, 0)])
def test_vector_of_float_refuses_bad_sequences_whole(obj, value):
    with pytest.raises(TypeError) as raised:
        obj.setPosition(value)
    assert str(raised.value).startswith("in method 'Node_setPosition', argument 2 of type 'std::vector<float")
    assert host_calls("Node.setPosition") == []


def test_vector_argument_none_is_a_null_reference(obj):
    with pytest.raises(ValueError, match=r"^invalid null reference in method 'Node_setPosition', argument 2"):
        obj.setPosition(None)


def test_vector_of_nodes_takes_none_as_a_null_element(obj):
    geo = obj.createNode("geo")
    kalhost.clearCalls()
    with pytest.raises(kal.Error):  # the host refuses the null it received
        obj.layoutChildren([geo, None])
    assert received("Node.layoutChildren")[0] == ("/obj/geo1", None)


def test_vector_of_nodes_refuses_other_classes_with_the_full_type(obj):
    with pytest.raises(TypeError) as raised:
        kal.copyNodesTo([kal.Error()], obj)
    assert str(raised.value) == ("in method 'copyNodesTo', argument 1 of type "
                                 "'std::vector<KOM_Node *,std::allocator<KOM_Node * > > const &'")


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
