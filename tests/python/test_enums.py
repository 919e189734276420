"""Enumeration values: identity, hashing, names and the read-only module variables."""
import gc
import re

import pytest

import _kal
import kal

NUMBERED_FROM_ONE = {
    "attribData": ["Int", "Float", "String"],
    "primType": ["Polygon", "NURBSCurve", "BezierCurve"],
    "parmTemplateType": ["Int", "Float", "String", "Toggle"],
    "paneTabType": ["SceneViewer", "ContextViewer", "ChannelViewer", "CompositorViewer",
                    "ParticleViewer", "OutputViewer"],
}


def signed32(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


@pytest.mark.parametrize("enumeration, names", NUMBERED_FROM_ONE.items())
def test_selection_relies_on_values_numbered_from_one(enumeration, names):
    for value_id, name in enumerate(names, 1):
        assert hash(getattr(getattr(kal, enumeration), name)) == signed32(value_id * 0x9E3779B1)
    assert hash(kal.paneTabType.LightLinker) == signed32(22 * 0x9E3779B1)


def test_hash_formula_at_known_points():
    assert hash(kal.attribData.Int) == -1640531535
    assert hash(kal.primType.Polygon) == hash(kal.attribData.Int)  # same id, other enumeration


def test_equality_is_enumeration_and_id_not_text_or_proxy():
    first, second = kal.parmData.Float, _kal.cvar.parmData_Float
    assert first is not second
    assert first == second and not (first != second)
    assert kal.parmData.Int != kal.attribData.Int
    assert not (kal.parmData.Int == kal.attribData.Int)
    assert kal.parmData.Int != kal.parmData.Float
    assert {kal.parmData.Float: 1}[_kal.cvar.parmData_Float] == 1


@pytest.mark.parametrize("operation", ["__eq__", "__ne__"])
def test_comparing_with_other_objects_is_refused(operation):
    compare = getattr(_kal, "EnumValue_" + operation)
    with pytest.raises(TypeError) as raised:
        compare(kal.parmData.Int, 1)
    assert str(raised.value) == (
        "in method 'EnumValue_%s', argument 2 of type 'KOM_EnumValue const &'" % operation)
    with pytest.raises(ValueError) as raised:
        compare(kal.parmData.Int, None)
    assert str(raised.value) == (
        "invalid null reference in method 'EnumValue_%s', argument 2 of type "
        "'KOM_EnumValue const &'" % operation)


def test_names_and_reprs_come_from_the_host_value():
    assert kal.shaderType.MentalRayEmitter.name() == "MentalRayEmitter"
    assert repr(kal.codingLanguage.Python) == "<kal.codingLanguage.Python>"


def test_every_value_is_reachable_from_its_enumeration_class():
    names = re.findall(r"\w+", str(_kal.cvar))
    for link in names:
        enumeration, value = link.split("_", 1)
        assert getattr(getattr(kal, enumeration), value) == getattr(_kal.cvar, link)


def test_values_are_never_owned_so_dropping_or_deleting_proxies_keeps_them():
    proxies = [_kal.cvar.primType_Polygon for _ in range(100)]
    assert not any(proxy.this.own() for proxy in proxies)
    for proxy in proxies[:50]:
        _kal.delete_EnumValue(proxy)
    del proxies
    gc.collect()
    assert _kal.cvar.primType_Polygon.name() == "Polygon"


def test_links_refuse_assignment_and_keep_the_value():
    with pytest.raises(AttributeError, match=r"^Variable parmData_Int is read-only\.$"):
        _kal.cvar.parmData_Int = kal.parmData.Float
    assert _kal.cvar.parmData_Int.name() == "Int"


def test_enumeration_classes_cannot_be_built():
    with pytest.raises(AttributeError):
        kal.parmData()
    with pytest.raises(AttributeError):
        kal.EnumValue()
