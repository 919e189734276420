"""Keyframes: constructors and their overloads, unset parts, copies, and keyframes on parameters."""
import pytest

import kal
import kalhost
from conftest import host_calls


def key_at(frame, value):
    key = kal.Keyframe(value)
    key.setFrame(frame)
    return key


@pytest.mark.parametrize("getter", [
    "time", "frame", "expression", "expressionLanguage",
    "value", "inValue", "slope", "inSlope", "accel", "inAccel",
])
def test_a_new_keyframe_has_no_part_set(getter):
    key = kal.Keyframe()
    with pytest.raises(kal.KeyframeValueNotSet):
        getattr(key, getter)()
    assert not (key.isTimeSet() or key.isExpressionSet() or key.isExpressionLanguageSet()
                or key.isValueSet() or key.isSlopeSet() or key.isAccelSet())
    assert key.evaluatedType() == kal.parmData.Float


def test_constructors_select_by_count_and_type():
    assert (kal.Keyframe(2.5).value(), kal.Keyframe(2.5).isTimeSet()) == (2.5, False)
    assert (kal.Keyframe(2, 0.5).value(), kal.Keyframe(2, 0.5).time()) == (2.0, 0.5)
    assert [args for _, args in host_calls("Module.newKeyframe")] == [(2.5,), (2.5,), (2.0, 0.5), (2.0, 0.5)]
    with pytest.raises(NotImplementedError):
        kal.Keyframe(1, 2, 3)


def test_a_copy_is_independent():
    original = kal.Keyframe(1.0, 0.25)
    copy = kal.Keyframe(original)
    assert copy == original and hash(copy) == hash(original)
    copy.setValue(7.0)
    assert (original.value(), copy.value()) == (1.0, 7.0) and copy != original


@pytest.mark.parametrize("quantity", ["Value", "Slope", "Accel"])
def test_in_sides_are_tied_until_set_apart(quantity):
    key = kal.Keyframe()
    getattr(key, "set" + quantity)(2.0)
    assert getattr(key, "is%sTied" % quantity)() and getattr(key, "in" + quantity)() == 2.0
    getattr(key, "setIn" + quantity)(-3.0)
    assert not getattr(key, "is%sTied" % quantity)() and getattr(key, "in" + quantity)() == -3.0
    getattr(key, "unsetIn" + quantity)()
    assert getattr(key, "in" + quantity)() == 2.0


def test_time_and_frame_follow_the_clock():
    key = kal.Keyframe()
    key.setFrame(25)
    assert key.time() == pytest.approx(1.0)
    kal.setFps(10)
    assert key.frame() == pytest.approx(11.0)


def test_expressions_and_their_language():
    key = kal.Keyframe()
    key.setExpression("$F * 2")
    assert key.expression() == "$F * 2" and not key.isExpressionLanguageSet()
    key.setExpression("$F", kal.exprLanguage.Kscript)
    assert key.expressionLanguage() == kal.exprLanguage.Kscript
    with pytest.raises(kal.TypeError):
        key.setExpression("x", kal.parmLook.Regular)


@pytest.mark.parametrize("args, expression, time, language", [
    (("e",), "e", None, kal.exprLanguage.Python),
    (("e", kal.exprLanguage.Kscript), "e", None, kal.exprLanguage.Kscript),
    (("e", 12.0), "e", 12.0, kal.exprLanguage.Python),
    (("e", 3, kal.exprLanguage.Kscript), "e", 3.0, kal.exprLanguage.Kscript),
])
def test_string_keyframe_constructors(args, expression, time, language):
    key = kal.StringKeyframe(*args)
    assert (key.expression(), key.expressionLanguage()) == (expression, language)
    assert (key.time() if key.isTimeSet() else None) == time
    assert key.evaluatedType() == kal.parmData.String
    assert kal.StringKeyframe(key) == key and kal.StringKeyframe(key) is not key
    assert not kal.StringKeyframe().isExpressionSet()


def test_keyframe_comparison_takes_only_keyframes():
    with pytest.raises(TypeError, match="in method 'Keyframe___eq__', argument 2 of type 'KOM_Keyframe &'"):
        kal.Keyframe() == kal.StringKeyframe("e")
    with pytest.raises(ValueError, match="invalid null reference in method 'Keyframe___eq__'"):
        kal.Keyframe().__eq__(None)


@pytest.mark.parametrize("make, kind", [(kal.Keyframe, "Keyframe"), (kal.StringKeyframe, "StringKeyframe")])
def test_inequality_reaches_the_host_as_itself(make, kind):
    first, second = make(), make()
    kalhost.clearCalls()
    assert not (first != second) and first == second
    assert [operation for operation, _ in host_calls()] == [kind + ".__ne__", kind + ".__eq__"]


def test_keyframes_set_on_a_parameter_evaluate_at_their_frames(geo):
    ty = geo.parm("ty")
    for frame, value in ((11, 10.0), (1, 0.0), (21, 0.0)):
        ty.setKeyframe(key_at(frame, value))
    assert [ty.evalAtFrame(f) for f in (0, 1, 6, 11, 16, 21, 40)] == [0.0, 0.0, 5.0, 10.0, 5.0, 0.0, 0.0]
    keys = ty.keyframes()
    assert [type(key) for key in keys] == [kal.Keyframe] * 3
    assert [(key.frame(), key.value()) for key in keys] == [(1.0, 0.0), (11.0, 10.0), (21.0, 0.0)]


def test_slopes_on_both_sides_make_a_cubic(geo):
    tx = geo.parm("tx")
    first, second = key_at(1, 0.0), key_at(25, 1.0)
    for key in (first, second):
        key.setSlope(0.0)
    tx.setKeyframe(first)
    tx.setKeyframe(second)
    # An ease: slower than the straight line near the ends, the same in the middle.
    assert tx.evalAtFrame(7) < 0.25 and tx.evalAtFrame(13) == pytest.approx(0.5)


def test_a_keyframe_with_an_expression_evaluates_it(geo):
    tx = geo.parm("tx")
    key = kal.Keyframe()
    key.setFrame(1)
    key.setExpression("$F * 2", kal.exprLanguage.Kscript)
    tx.setKeyframe(key)
    assert tx.evalAtFrame(5) == 10.0


def test_string_parameters_take_string_keyframes(geo):
    group = geo.createNode("box").parm("group")
    group.setKeyframe(kal.StringKeyframe("early", 0.0))
    group.setKeyframe(kal.StringKeyframe("frame$F", 1.0, kal.exprLanguage.Kscript))
    assert (group.evalAtFrame(1), group.evalAtFrame(30)) == ("early", "frame30")
    keys = group.keyframes()
    assert [type(key) for key in keys] == [kal.BaseKeyframe] * 2 and keys[1].expression() == "frame$F"
    with pytest.raises(kal.TypeError):
        group.setKeyframe(kal.Keyframe(1.0))
    with pytest.raises(kal.TypeError):
        geo.parm("tx").setKeyframe(kal.StringKeyframe("x"))
    with pytest.raises(kal.TypeError):
        geo.parm("tx").setKeyframe(kal.Keyframe())  # neither value nor expression


def test_keyframes_are_owned_by_their_proxies(geo):
    before = kalhost.liveHandles()
    key = kal.Keyframe(1.0)
    geo.parm("tx").setKeyframe(key)
    keys = geo.parm("tx").keyframes()
    assert key.thisown and keys[0].thisown and kalhost.liveHandles() > before
    del key, keys
    assert kalhost.liveHandles() == before
