"""Parameter templates: keyword constructors and defaults, classes of returned templates, spare
parameters made from templates."""
import pytest

import kal
import kalhost
from conftest import host_calls


def test_float_template_defaults_reach_the_host():
    template = kal.FloatParmTemplate("p", "P", 3)
    assert host_calls("Module.newFloatParmTemplate") == [("Module.newFloatParmTemplate", (
        "p", "P", 3, (), 0.0, 10.0, False, False, "parmLook.Regular", "parmNamingScheme.XYZW", {}))]
    assert (template.minValue(), template.maxValue(), template.minIsStrict(), template.maxIsStrict()) == (
        0.0, 10.0, False, False)
    assert (template.look(), template.namingScheme()) == (kal.parmLook.Regular, kal.parmNamingScheme.XYZW)
    assert (template.type(), template.dataType()) == (kal.parmTemplateType.Float, kal.parmData.Float)
    assert template.defaultValue() == (0.0, 0.0, 0.0) and template.numComponents() == 3


def test_keywords_and_positions_mix():
    template = kal.IntParmTemplate("i", "I", 1, max=5, tags={"unit": "m"})
    assert (template.minValue(), template.maxValue(), template.tags()) == (0, 5, {"unit": "m"})
    toggle = kal.ToggleParmTemplate("t", "T")
    assert (toggle.defaultValue(), toggle.namingScheme(), toggle.dataType()) == (
        False, kal.parmNamingScheme.NoSuffix, kal.parmData.Int)
    text = kal.StringParmTemplate(name="s", label="S", num_components=2, default_value=["a", "b"],
                                  naming_scheme=kal.parmNamingScheme.Base1)
    assert (text.defaultValue(), text.label(), type(text)) == (("a", "b"), "S", kal.StringParmTemplate)


@pytest.mark.parametrize("make, error", [
    (lambda: kal.FloatParmTemplate("p", "P"), TypeError),
    (lambda: kal.FloatParmTemplate("p", "P", 3, colour=1), TypeError),
    (lambda: kal.FloatParmTemplate("p", "P", 3, ("a",)), TypeError),
    (lambda: kal.FloatParmTemplate("p", "P", 3, (1, 2)), kal.OperationFailed),
    (lambda: kal.FloatParmTemplate("2p", "P", 1), kal.OperationFailed),
    (lambda: kal.FloatParmTemplate("p", "P", 0), kal.OperationFailed),
    (lambda: kal.FloatParmTemplate("p", "P", 5), kal.OperationFailed),   # XYZW names four
    (lambda: kal.IntParmTemplate("p", "P", 1, min=3, max=2), kal.OperationFailed),
    (lambda: kal.IntParmTemplate("p", "P", 1, look=kal.parmData.Int), kal.TypeError),
    (lambda: kal.ToggleParmTemplate("t", "T", naming_scheme=kal.parmLook.Angle), kal.TypeError),
    (lambda: kal.StringParmTemplate("s", "S", 2, naming_scheme=kal.parmNamingScheme.NoSuffix),
     kal.OperationFailed),
])
def test_refused_arguments(make, error):
    with pytest.raises(error):
        make()


def test_argument_messages_name_the_constructor():
    with pytest.raises(TypeError) as error:
        kal.FloatParmTemplate("p", "P", 3, ("a",))
    assert str(error.value) == ("in method 'new_FloatParmTemplate', argument 4 of type "
                                "'std::vector<float,std::allocator<float > > const &'")


def test_inequality_reaches_the_host_as_itself():
    first, second = kal.FloatParmTemplate("a", "A", 1), kal.FloatParmTemplate("a", "A", 1)
    kalhost.clearCalls()
    assert not (first != second) and first == second
    assert [operation for operation, _ in host_calls()] == ["ParmTemplate.__ne__", "ParmTemplate.__eq__"]


def test_node_parameters_have_templates(geo):
    box = geo.createNode("box")
    assert [(type(t), t.name(), t.numComponents()) for t in (
        geo.parmTuple("t").parmTemplate(), box.parmTuple("size").parmTemplate(),
        box.parm("divisions").parmTemplate(), box.parm("group").parmTemplate())] == [
        (kal.FloatParmTemplate, "t", 3), (kal.FloatParmTemplate, "size", 3),
        (kal.IntParmTemplate, "divisions", 1), (kal.StringParmTemplate, "group", 1)]
    assert box.parm("divisions").parmTemplate().defaultValue() == (1,)
    assert geo.parm("tx").parmTemplate() == geo.parmTuple("t").parmTemplate()


@pytest.mark.parametrize("template, names, values", [
    (kal.FloatParmTemplate("offset", "Offset", 2, (1.5, 2.5), naming_scheme=kal.parmNamingScheme.UVW),
     ["offsetu", "offsetv"], (1.5, 2.5)),
    (kal.IntParmTemplate("count", "Count", 1, (4,)), ["count"], (4,)),
    (kal.StringParmTemplate("tag", "Tag", 1, ("hi",)), ["tag"], ("hi",)),
    (kal.ToggleParmTemplate("on", "On", True), ["on"], (1,)),
])
def test_spare_parameters_round_trip_their_template(geo, template, names, values):
    spare = geo.addSpareParmTuple(template)
    assert not spare.thisown
    assert spare.name() == template.name() and [p.name() for p in spare] == names
    assert spare.eval() == values
    back = spare.parmTemplate()
    assert back == template and type(back) is type(template) and back.dataType() == template.dataType()
    assert [p.isSpare() for p in geo.spareParms()] == [True] * len(names)


def test_spare_parameters_keep_ranges_and_tags(geo):
    template = kal.FloatParmTemplate("amp", "Amplitude", 1, (0.5,), -1, 1, True, False,
                                     kal.parmLook.Angle, tags={"help": "How far"})
    back = geo.addSpareParmTuple(template).parmTemplate()
    assert (back.minValue(), back.maxValue(), back.minIsStrict(), back.look(), back.tags()) == (
        -1.0, 1.0, True, kal.parmLook.Angle, {"help": "How far"})


def test_set_name_renames_the_components():
    template = kal.FloatParmTemplate("p", "P", 3)
    template.setName("pos")
    assert template.name() == "pos"
    with pytest.raises(kal.OperationFailed):
        template.setName("no spaces")


def test_templates_are_owned_and_released():
    before = kalhost.liveHandles()
    templates = [kal.FloatParmTemplate("p", "P", 1), kal.node("/obj").createNode("geo").parmTuple("t").parmTemplate()]
    assert all(t.thisown for t in templates) and kalhost.liveHandles() > before
    del templates
    assert kalhost.liveHandles() == before
