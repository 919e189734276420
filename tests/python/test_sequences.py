"""Lazy sequences: host lists indexed on demand, owned by their proxies."""
import pytest

import kal
from conftest import live_handles_kept


@pytest.fixture
def network():
    obj = kal.node("/obj")
    return obj, [obj.createNode("null") for _ in range(3)]


def test_indices_count_from_either_end_and_stop_at_the_length(network):
    obj, _ = network
    boxes = [obj.createNetworkBox("box%d" % i) for i in range(3)]
    sequence = obj.networkBoxes()
    assert type(sequence) is kal._NetworkBoxTupleGenerator and len(sequence) == 3
    assert all(type(item) is kal.NetworkBox for item in sequence)
    for index in (3, -4, 2**31 - 1, -2**31):
        with pytest.raises(IndexError, match=r"^Invalid index$"):
            sequence[index]
    assert sequence[-1] is not sequence[2]  # a new proxy per read, no cache
    del boxes


def test_an_empty_sequence_has_no_items(network):
    obj, _ = network
    sequence = obj.networkBoxes()
    assert len(sequence) == 0 and list(sequence) == []
    for index in (0, -1):
        with pytest.raises(IndexError, match=r"^Invalid index$"):
            sequence[index]


@pytest.mark.parametrize("index", [slice(0, 1), "0", 1.0, None])
def test_an_index_that_is_not_an_int_is_an_argument_error(network, index):
    obj, _ = network
    with pytest.raises(TypeError) as raised:
        obj.networkBoxes()[index]
    assert str(raised.value) == ("in method '_NetworkBoxTupleGenerator___getitem__', "
                                 "argument 2 of type 'int'")


def test_connector_items_are_tuples_of_connections_empty_when_unwired(network):
    _, (a, b, c) = network
    c.setInput(1, a)
    connectors = c.inputConnectors()
    assert len(connectors) == 2
    first, second = connectors
    assert first == () and len(second) == 1 and type(second[0]) is kal.NodeConnection
    assert connectors[-1] != () and connectors[-2] == ()


def test_the_length_is_asked_at_every_index_so_shrinking_ends_iteration(network):
    _, (a, _, c) = network
    c.setInput(2, a)
    sequence = c.inputConnectors()
    seen = []
    for item in sequence:
        seen.append(item)
        c.setInput(2, None)  # unwiring the last input leaves no connectors
    assert len(seen) == 1 and len(sequence) == 0


def test_repr_is_the_hosts_text_not_the_items(network):
    _, (a, _, _) = network
    assert repr(a.inputConnectors()) == "<input connectors of /obj/null1>"


def test_a_gone_node_makes_its_lists_raise(network):
    _, (a, _, _) = network
    connectors = a.outputConnectors()
    a.destroy()
    for read in (len, repr, lambda sequence: sequence[0]):
        with pytest.raises(kal.ObjectWasDeleted):
            read(connectors)


def test_lists_and_items_release_their_host_objects(network):
    obj, _ = network
    obj.createNetworkBox("box")
    with live_handles_kept():
        for _ in range(50):
            sequence = obj.networkBoxes()
            items = list(sequence)
            del sequence, items
