"""Parameters and parameter tuples: overloads, evaluation by data type, errors, host state."""
import pytest

import kal
import kalhost
from conftest import host_args, host_calls, live_handles_kept, raised_by_fault


@pytest.fixture
def box(geo):
    return geo.createNode("box", "b")


@pytest.mark.parametrize("path, expected", [
    ("/obj/g/tx", 0.0), ("/obj/g/sy", 1.0), ("/obj/g/b/divisions", 1), ("/obj/g/b/group", ""),
])
def test_eval_type_follows_the_data_type(box, path, expected):
    for evaluate in (lambda: kal.parm(path).eval(), lambda: kal.evalParm(path), lambda: kal.ch(path)):
        value = evaluate()
        assert value == expected and type(value) is type(expected)


def test_tuples_evaluate_to_tuples_of_their_type(box):
    assert box.parmTuple("size").eval() == (1.0, 1.0, 1.0)
    assert box.evalParmTuple("divisions") == (1,) and type(box.evalParmTuple("divisions")[0]) is int
    assert kal.evalParmTuple("/obj/g/b/group") == ("",)
    assert box.parent().parmTuple("t").evalAtFrame(3) == (0.0, 0.0, 0.0)


def test_eval_at_frame_passes_the_frame_and_drives_expressions(geo):
    tx = geo.parm("tx")
    tx.setExpression("$F * 2 + ch(\"sy\")")
    assert tx.evalAtFrame(2.5) == 6.0
    assert host_args("Parm.evalAsFloatAtFrame") == [(2.5,)]
    assert geo.parmTuple("t").evalAtFrame(10) == (21.0, 0.0, 0.0)


@pytest.mark.parametrize("lookup", [
    lambda geo: kal.evalParm("/obj/g/nothing"),
    lambda geo: kal.ch("/obj/g/nothing"),
    lambda geo: kal.evalParmTuple("/obj/g/nothing"),
    lambda geo: geo.evalParm("nothing"),
    lambda geo: geo.evalParmTuple("nothing"),
])
def test_evaluating_a_missing_parameter_fails_with_an_empty_message(geo, lookup):
    with pytest.raises(kal.OperationFailed) as raised:
        lookup(geo)
    assert raised.value.instanceMessage() == ""
    assert kal.parm("/obj/g/nothing") is None and geo.parmTuple("nothing") is None


@pytest.mark.parametrize("operation, error, call, raised", [
    ("Parm.evalAsFloat", "ObjectWasDeleted", lambda geo: geo.evalParm("tx"), kal.ObjectWasDeleted),
    ("Parm.evalAsFloat", "OperationFailed", lambda geo: kal.ch("/obj/g/tx"), kal.OperationFailed),
    ("Parm.__hash__", "ObjectWasDeleted", lambda geo: hash(geo.parm("tx")), kal.Error),  # only the base
])
def test_host_errors_are_translated_by_the_operations_catch_list(geo, operation, error, call, raised):
    assert type(raised_by_fault(operation, error, lambda: call(geo))) is raised


@pytest.mark.parametrize("value, received", [
    (3, (3,)), (2.5, (2.5,)), (True, (1,)),
])
def test_set_chooses_the_integer_or_float_setter(geo, value, received):
    tx = geo.parm("tx")
    tx.set(value)
    assert host_args("Parm.set") == [received]
    assert type(host_args("Parm.set")[0][0]) is type(received[0])
    assert tx.eval() == float(value)


def test_set_takes_strings_and_parameters(geo, box):
    box.parm("group").set("edges")
    box.parm("sizex").set(geo.parm("ty"))
    box.parm("sizey").set(geo.parm("ty"), kal.exprLanguage.Python)
    assert host_args("Parm.set") == [("edges",), ("/obj/g/ty", None),
                                     ("/obj/g/ty", "exprLanguage.Python")]
    geo.parm("ty").set(4.0)
    assert box.evalParmTuple("size") == (4.0, 4.0, 1.0) and box.evalParm("group") == "edges"
    assert box.parm("sizex").getReferencedParm() == geo.parm("ty")


@pytest.mark.parametrize("call, error, message", [
    (lambda tx: tx.set(None), ValueError,
     "invalid null reference in method 'Parm_set', argument 2 of type 'KOM_Parm &'"),
    (lambda tx: tx.set([1]), TypeError, "in method 'Parm_set', argument 2 of type 'char const *'"),
    (lambda tx: tx.setPending(), NotImplementedError, None),  # prototypes: FORMS in test_errors.py
])
def test_wrong_arguments_are_refused_before_the_host(geo, call, error, message):
    with pytest.raises(error) as raised:
        call(geo.parm("tx"))
    assert message is None or str(raised.value) == message
    assert host_calls("Parm.set") == host_calls("Parm.setPending") == []


def test_set_pending_and_expression_overloads(geo):
    tx = geo.parm("tx")
    tx.setPending(2)
    tx.setExpression("1 + 2")
    assert tx.expressionLanguage() == kal.exprLanguage.Kscript
    tx.setExpression("(1 + 2) * 3", kal.exprLanguage.Python)
    assert host_args("Parm.setPending") == [(2,)]
    assert host_args("Parm.setExpression") == [("1 + 2", None), ("(1 + 2) * 3", "exprLanguage.Python")]
    assert (tx.eval(), tx.expression(), tx.expressionLanguage()) == (9.0, "(1 + 2) * 3",
                                                                     kal.exprLanguage.Python)


@pytest.mark.parametrize("call, error", [
    (lambda g, b: g.parm("tx").set("text"), kal.TypeError),
    (lambda g, b: b.parm("group").set(1.5), kal.TypeError),
    (lambda g, b: g.parm("tx").evalAsString(), kal.TypeError),
    (lambda g, b: g.parm("tx").expression(), kal.OperationFailed),
    (lambda g, b: g.parm("tx").menuItems(), kal.OperationFailed),
    (lambda g, b: g.parm("tx").setAlias("ty"), kal.OperationFailed),
    (lambda g, b: g.parm("tx").setExpression("1", kal.parmData.Int), kal.TypeError),
    (lambda g, b: g.parmTuple("t").set([1.0, 2.0]), kal.InvalidSize),
    (lambda g, b: g.parmTuple("t").lock([True]), kal.InvalidSize),
    (lambda g, b: b.parmTuple("group").set([1.0]), kal.TypeError),
])
def test_host_refusals_reach_python_as_their_class(geo, box, call, error):
    with pytest.raises(error):
        call(geo, box)


def test_an_expression_error_is_an_error_with_the_hosts_message(geo):
    geo.parm("tx").setExpression("1 / (2 - 2)")
    with pytest.raises(kal.Error, match="division by zero"):
        geo.parm("tx").eval()


def test_locked_parameters_refuse_changes(geo):
    tuple_ = geo.parmTuple("t")
    tuple_.lock([False, True, False])
    assert [p.isLocked() for p in tuple_] == [False, True, False]
    with pytest.raises(kal.PermissionError):
        geo.parm("ty").set(1.0)
    with pytest.raises(kal.PermissionError):
        tuple_.set([1.0, 2.0, 3.0])
    assert tuple_.eval() == (0.0, 0.0, 0.0)
    geo.parm("ty").lock(False)
    tuple_.set((1, 2, 3))
    assert tuple_.eval() == (1.0, 2.0, 3.0)
    tuple_.revertToDefaults()
    assert tuple_.eval() == (0.0, 0.0, 0.0)


def test_parameters_of_a_destroyed_node_are_deleted(geo):
    tx, t = geo.parm("tx"), geo.parmTuple("t")
    geo.destroy()
    for call in (tx.eval, tx.name, t.eval, t.__len__):
        with pytest.raises(kal.ObjectWasDeleted):
            call()


def test_tuple_indexing_and_iteration(geo):
    t = geo.parmTuple("t")
    assert [p.name() for p in t] == ["tx", "ty", "tz"] and len(t) == 3
    assert t[1] == geo.parm("ty") and t[1] != geo.parm("tz") and t[1].tuple() == t
    for index in (3, -1):
        with pytest.raises(IndexError, match="Parameter tuple index out of range"):
            t[index]
    kalhost.fail("ParmTuple.__getitem__", "out_of_range", "host text")
    with pytest.raises(IndexError, match="^host text$"):
        t[0]


def test_tuple_set_takes_floats_or_strings(box):
    box.parmTuple("size").set([2, 3.5, 4])
    box.parmTuple("group").setPending(("a\0b",))
    assert host_args("ParmTuple.set") == [((2.0, 3.5, 4.0),)]
    assert host_args("ParmTuple.setPending") == [(("a\0b",),)]
    assert box.parm("group").eval() == "a\0b" and box.evalParmTuple("size") == (2.0, 3.5, 4.0)


def test_string_values_expand_the_frame(box):
    box.parm("group").set("piece$F")
    assert box.parm("group").evalAtFrame(12) == "piece12"
    assert box.parm("group").unexpandedString() == "piece$F"


def test_the_referenced_parameter_stays_with_the_host(geo):
    with live_handles_kept():
        referenced = geo.parm("tx").getReferencedParm()
        assert not referenced.thisown and referenced.name() == "tx"


def test_descriptions_aliases_and_flags(geo, box):
    sx = geo.parm("sx")
    assert (sx.description(), sx.componentIndex(), sx.isSpare(), sx.keyframes()) == ("Scale", 0, False, ())
    assert isinstance(sx.node(), kal.ObjNode) and sx.node() == geo and sx.parmTemplate().name() == "s"
    sx.setAlias("width")
    sx.setAutoscope(True)
    assert (sx.alias(), sx.isAutoscoped()) == ("width", True)
    assert {parm.name(): alias for parm, alias in geo.parmAliases().items()} == {"sx": "width"}
    assert box.parmTuple("size").description() == "Size" and box.parmTuple("size").name() == "size"


def test_eval_without_a_frame_follows_the_clock(geo):
    geo.parm("tx").setExpression("$F + 0.5")
    kal.setFrame(12)
    assert geo.parm("tx").eval() == 12.5 and geo.evalParmTuple("t") == (12.5, 0.0, 0.0)
