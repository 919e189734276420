"""Node types, categories and ZEL contexts: class selection, identity, flags and errors."""
import pytest

import kal
import kalhost
from conftest import host_args, host_calls


@pytest.mark.parametrize("category, name, cls", [
    (kal.sopNodeTypeCategory, "box", kal.SopNodeType),
    (kal.shopNodeTypeCategory, "surface", kal.ShopNodeType),
    (kal.objNodeTypeCategory, "geo", kal.NodeType),
    (kal.dopNodeTypeCategory, "rigidobject", kal.NodeType),
])
def test_types_come_back_as_their_most_specific_class(category, name, cls):
    node_type = kal.nodeType(category(), name)
    assert type(node_type) is cls and node_type.name() == name
    assert type(category().nodeTypes()[name]) is cls


def test_a_manager_type_is_a_plain_node_type_whatever_its_category():
    manager = kal.node("/obj").type()
    assert type(manager) is kal.NodeType and manager.isManager()
    assert host_calls("NodeType.categoryCode") == []


def test_a_failing_question_is_translated():
    kalhost.fail("NodeType.isManager", "ObjectWasDeleted", "gone")
    with pytest.raises(kal.ObjectWasDeleted):
        kal.nodeType(kal.sopNodeTypeCategory(), "box")


@pytest.mark.parametrize("category, name", [
    (kal.sopNodeTypeCategory, "box"), (kal.sopNodeTypeCategory, "merge"),
    (kal.objNodeTypeCategory, "geo"), (kal.managerNodeTypeCategory, None),
])
def test_each_flag_has_two_names_for_one_answer(category, name):
    node_type = kal.nodeType(category(), name) if name else kal.node("/obj").type()
    kalhost.clearCalls()
    assert node_type.generatorFlag() == node_type.isGenerator()
    assert node_type.managerFlag() == node_type.isManager()
    assert node_type.unorderedInputsFlag() == node_type.hasUnorderedInputs()
    assert [op for op, _ in kalhost.calls()] == [
        "NodeType.isGenerator", "NodeType.isGenerator", "NodeType.isManager",
        "NodeType.isManager", "NodeType.hasUnorderedInputs", "NodeType.hasUnorderedInputs"]


def test_categories_are_one_host_object_each():
    box = kal.node("/obj").createNode("geo").createNode("box")
    assert box.type().category() == kal.sopNodeTypeCategory()
    assert box.type().category() != kal.objNodeTypeCategory()
    assert not kal.sopNodeTypeCategory().thisown
    assert kal.nodeTypeCategories()["Sop"] == kal.sopNodeTypeCategory()
    assert kalhost.calls() and all(not op.startswith("NodeTypeCategory.__") for op, _ in kalhost.calls())
    with pytest.raises(ValueError, match="invalid null reference in method 'NodeTypeCategory___eq__', "
                                         "argument 2 of type 'KOM_NodeTypeCategory &'"):
        kal.sopNodeTypeCategory() == None
    with pytest.raises(TypeError, match="NodeTypeCategory___ne__"):
        kal.sopNodeTypeCategory() != box.type()


def test_type_equality_and_description():
    sop = kal.sopNodeTypeCategory()
    box = kal.nodeType(sop, "box")
    assert box == kal.nodeType(sop, "box") and box != kal.nodeType(sop, "grid")
    assert hash(box) == hash(kal.nodeType(sop, "box"))
    assert (box.nameWithCategory(), box.description(), box.icon()) == ("Sop/box", "Box", "SOP_box")
    assert box.source() == kal.nodeTypeSource.Internal and box.definition() is None
    assert (box.minNumInputs(), box.maxNumInputs(), box.maxNumOutputs()) == (0, 1, 1)


def test_aliases_hidden_and_instances():
    geo_type = kal.nodeType(kal.objNodeTypeCategory(), "geo")
    geo_type.addAlias("geometry")
    try:
        assert geo_type.aliases() == ("geometry",)
        with pytest.raises(kal.OperationFailed):
            geo_type.addAlias("geometry")
    finally:
        geo_type.removeAlias("geometry")
    with pytest.raises(kal.OperationFailed):
        geo_type.removeAlias("geometry")
    first, second = (kal.node("/obj").createNode("geo") for _ in range(2))
    assert geo_type.instances() == (first, second)
    assert host_args("NodeType.addAlias") == [("geometry",), ("geometry",)]


def test_sop_and_shop_type_operations():
    box = kal.nodeType(kal.sopNodeTypeCategory(), "box")
    assert box.selectors() == () and box.selectors([1, 2]) == ()  # until one is added
    assert box.addSelector("pick", "prims").name() == "pick"
    assert host_args("SopNodeType.addSelector") == [
        ("pick", "prims", "Select components", (), None, None, 0, True, False, True)]
    with pytest.raises(kal.OperationFailed):
        box.addSelector("pick", "prims", input_index=1)  # a box has one input
    with pytest.raises(kal.TypeError):
        box.addSelector(name="pick", selector_type="prims", primitive_types=[kal.parmData.Int])
    surface = kal.nodeType(kal.shopNodeTypeCategory(), "surface")
    assert surface.shaderType() == kal.shaderType.Surface and surface.renderMask() == "*"


def test_zel_contexts():
    contexts = kal.zelContexts()
    assert [c.name() for c in contexts][:2] == ["surface", "displace"]
    surface = kal.zelContextForShaderType(kal.shaderType.Surface)
    assert surface.name() == "surface" and surface.shaderType() == kal.shaderType.Surface
    assert surface.nodeTypeCategory() == kal.shopNodeTypeCategory()
    assert surface.pathsToLoadedZelFunctions()["plastic"] == "zel/surface/plastic.zel"
    assert kal.zelContextForNodeTypeCategory(kal.sopNodeTypeCategory()).name() == "sop"
    assert kal.zelContextForNodeTypeCategory(kal.objNodeTypeCategory()) is None
    assert kal.zelContextForShaderType(kal.shaderType.Lens) is None
    with pytest.raises(kal.TypeError):
        kal.zelContextForShaderType(kal.parmData.Int)


def test_viewer_states_want_a_pane_tab_type():
    states = kal.sopNodeTypeCategory().viewerStates(kal.paneTabType.SceneViewer)
    assert {state.name() for state in states} == set(kal.sopNodeTypeCategory().nodeTypes())
    assert kal.sopNodeTypeCategory().viewerStates(kal.paneTabType.Parm) == ()
    with pytest.raises(kal.TypeError):
        kal.sopNodeTypeCategory().viewerStates(kal.parmData.Int)
