"""Geometry: what surface nodes cook, attribute values and their Python types, overloads,
lazy sequences, read-only node geometry and frozen copies, and what reaches the host."""
import contextlib
import math

import pytest

import _kal
import kal
import kalhost
from conftest import host_args, run_example


@pytest.fixture
def box(geo):
    return geo.createNode("box", "box")


@pytest.fixture
def frozen(box):
    return box.geometry().freeze()


def operations():
    return [operation for operation, _ in kalhost.calls()]


def positions(geometry):
    return [point.attribValue("P") for point in geometry.points()]


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def outward_facing(geometry):
    """Whether every polygon turns counter-clockwise seen from outside a shape around the origin."""
    for prim in geometry.prims():
        corners = [vertex.point().attribValue("P") for vertex in prim.vertices()]
        normal = cross(sub(corners[1], corners[0]), sub(corners[2], corners[0]))
        centre = tuple(sum(c[axis] for c in corners) / len(corners) for axis in range(3))
        if dot(normal, centre) <= 0:
            return False
    return True


# --- What surface nodes cook ------------------------------------------------------------------

def test_a_box_has_eight_corners_six_quads_and_only_positions(box):
    geometry = box.geometry()
    assert len(geometry.points()) == 8 and len(geometry.prims()) == 6
    assert [prim.numVertices() for prim in geometry.prims()] == [4] * 6
    (position,) = geometry.pointAttribs()
    assert (position.name(), position.dataType(), position.size()) == ("P", kal.attribData.Float, 3)
    assert geometry.primAttribs() == geometry.vertexAttribs() == geometry.globalAttribs() == ()
    assert sorted(positions(geometry)) == sorted(
        (x, y, z) for x in (-0.5, 0.5) for y in (-0.5, 0.5) for z in (-0.5, 0.5))
    assert outward_facing(geometry)


@pytest.mark.parametrize("divisions", [2, 3, 5])
def test_each_box_edge_splits_into_its_divisions(box, divisions):
    box.parm("divisions").set(divisions)
    box.parmTuple("size").set((2, 4, 6))
    geometry = box.geometry()
    assert len(geometry.points()) == 6 * divisions ** 2 + 2
    assert len(geometry.prims()) == 6 * divisions ** 2
    assert len(set(positions(geometry))) == 6 * divisions ** 2 + 2  # shared, never doubled
    assert outward_facing(geometry)
    bounds = geometry.boundingBox()
    assert tuple(bounds.minvec()) == (-1, -2, -3) and tuple(bounds.maxvec()) == (1, 2, 3)


def test_a_grid_lays_rows_and_columns_of_points_over_its_size(geo):
    grid = geo.createNode("grid")
    assert (grid.parm("rows").eval(), grid.parm("cols").eval()) == (10, 10)
    assert grid.parmTuple("size").eval() == (10.0, 10.0)
    grid.parm("rows").set(3)
    grid.parm("cols").set(5)
    geometry = grid.geometry()
    assert len(geometry.points()) == 15 and len(geometry.prims()) == 8
    assert all(prim.numVertices() == 4 for prim in geometry.prims())
    bounds = geometry.boundingBox()
    assert tuple(bounds.minvec()) == (-5, 0, -5) and tuple(bounds.maxvec()) == (5, 0, 5)


def test_a_sphere_has_unit_radius_and_faces_outwards(geo):
    geometry = geo.createNode("sphere").geometry()
    assert len(geometry.points()) == 2 + 8 * 10  # two poles and eight rings of ten
    assert all(math.isclose(sum(c * c for c in p), 1.0, rel_tol=1e-6) for p in positions(geometry))
    assert sorted(prim.numVertices() for prim in geometry.prims()) == [3] * 20 + [4] * 70
    assert outward_facing(geometry)


def test_xform_scales_rotates_then_translates_its_input(geo, box):
    xform = geo.createNode("xform")
    assert [xform.parmTuple(name).eval() for name in "trs"] == [(0.0,) * 3, (0.0,) * 3, (1.0,) * 3]
    xform.setInput(0, box)
    assert positions(xform.geometry()) == positions(box.geometry())
    xform.parmTuple("s").set((2, 1, 1))
    xform.parmTuple("r").set((0, 90, 0))
    xform.parmTuple("t").set((10, 0, 0))
    before, after = positions(box.geometry()), positions(xform.geometry())
    for (x, y, z), moved in zip(before, after):
        # (2x, y, z) turned 90 degrees about y is (z, y, -2x)
        assert moved == pytest.approx((z + 10, y, -2 * x), abs=1e-6)


def test_merge_concatenates_its_inputs_and_null_passes_its_input_on(geo, box):
    grid, merge, null = geo.createNode("grid"), geo.createNode("merge"), geo.createNode("null")
    merge.setInput(0, box)
    merge.setInput(1, grid)
    null.setInput(0, merge)
    merged = null.geometry()
    assert positions(merged) == positions(box.geometry()) + positions(grid.geometry())
    assert len(merged.prims()) == 6 + 81
    corners = [vertex.point().number() for vertex in merged.prims()[6].vertices()]
    assert min(corners) >= 8  # the grid's points follow the box's


def test_geometry_follows_parameters_and_inputs(geo, box):
    xform = geo.createNode("xform")
    xform.setInput(0, box)
    geometry = xform.geometry()
    box.parm("divisions").set(2)
    assert len(geometry.points()) == 26
    xform.setInput(0, geo.createNode("sphere"))
    assert len(geometry.points()) == 82
    xform.setInput(0, None)
    assert geometry.points() == ()


def test_parameters_driven_by_the_frame_recook_at_each_frame(box):
    box.parm("divisions").setExpression("$F")
    kal.setFrame(2)
    assert len(box.geometry().points()) == 26
    kal.setFrame(3)
    assert len(box.geometry().points()) == 56


@pytest.mark.parametrize("node_type, parms", [
    ("box", {"divisions": 100000}),
    ("grid", {"rows": 2**31 - 1, "cols": 2**31 - 1}),
    ("grid", {"rows": 2**31 - 1, "cols": 1}),
    ("sphere", {"rows": 10**6, "cols": 10**6}),
])
def test_a_cook_too_large_to_build_is_refused(geo, node_type, parms):
    node = geo.createNode(node_type)
    for name, value in parms.items():
        node.parm(name).set(value)
    with pytest.raises(kal.Error, match="Too much geometry"):
        node.geometry()


@pytest.mark.parametrize("rows, cols, points", [(0, 2**31 - 1, 0), (-5, 3, 0), (1, 1, 1), (1, 4, 4)])
def test_a_grid_of_one_row_or_none_has_no_polygons(geo, rows, cols, points):
    grid = geo.createNode("grid")
    grid.parm("rows").set(rows)
    grid.parm("cols").set(cols)
    geometry = grid.geometry()
    assert geometry.prims() == () and len(geometry.points()) == points


# --- attribValue: the Python type follows the attribute --------------------------------------

@pytest.mark.parametrize("default, expected", [
    (7, 7), (2.5, 2.5), ("text", "text"), ("", ""),
    ((1, 2, 3, 4), (1, 2, 3, 4)), ((0.5, 1.5, 2.5), (0.5, 1.5, 2.5)),
    ((0.5,), 0.5), ((3,), 3), ((), ()),
])
@pytest.mark.parametrize("attrib_type, element", [
    (kal.attribType.Point, lambda g: g.points()[3]),
    (kal.attribType.Prim, lambda g: g.prims()[2]),
    (kal.attribType.Vertex, lambda g: g.prims()[1].vertex(2)),
    (kal.attribType.Global, lambda g: g),
])
def test_attrib_value_is_a_scalar_for_size_one_and_a_tuple_otherwise(frozen, attrib_type, element,
                                                                     default, expected):
    attrib = frozen.addAttrib(attrib_type, "a", default)
    value = element(frozen).attribValue("a")
    assert value == expected and type(value) is type(expected)
    assert element(frozen).attribValue(attrib) == expected


@pytest.mark.parametrize("default, data_type, size", [
    (0, kal.attribData.Int, 1), (0.0, kal.attribData.Float, 1), ("s", kal.attribData.String, 1),
    ((1, 2), kal.attribData.Int, 2), ((1.0, 2), kal.attribData.Float, 2),
    ([0.0] * 5, kal.attribData.Float, 5),
])
def test_the_default_decides_data_type_and_size_and_every_element_reads_it(frozen, default,
                                                                          data_type, size):
    attrib = frozen.addAttrib(kal.attribType.Point, "a", default)
    assert (attrib.dataType(), attrib.size(), attrib.type()) == (data_type, size, kal.attribType.Point)
    expected = default if size == 1 and not isinstance(default, (tuple, list)) else tuple(default)
    assert all(point.attribValue(attrib) == expected for point in frozen.iterPoints())
    assert frozen.createPoint().attribValue("a") == expected  # new elements too


def test_attrib_value_by_name_looks_up_the_elements_class_then_reads_by_data_type_and_size(frozen):
    point = frozen.points()[0]
    kalhost.clearCalls()
    point.attribValue("P")
    assert operations() == ["Point.geometry", "Geometry.findPointAttrib", "Attrib.dataType",
                            "Attrib.size", "Point.floatListAttribValue"]
    frozen.addAttrib(kal.attribType.Global, "label", "x")
    kalhost.clearCalls()
    frozen.attribValue("label")
    assert operations() == ["Geometry.findGlobalAttrib", "Attrib.dataType",
                            "Geometry.stringAttribValue"]  # a string's size is never asked


def test_attrib_value_given_an_attrib_uses_it_without_a_search(frozen):
    attrib = frozen.addAttrib(kal.attribType.Prim, "id", 4)
    kalhost.clearCalls()
    assert frozen.prims()[0].attribValue(attrib) == 4
    assert operations()[-3:] == ["Attrib.dataType", "Attrib.size", "Prim.intAttribValue"]
    assert "Geometry.findPrimAttrib" not in operations()


@pytest.mark.parametrize("read, message", [
    # A name no attribute of the element's class has: no message.
    (lambda g, box: g.attribValue("only_points"), ""),
    (lambda g, box: g.points()[0].attribValue("missing"), ""),
    (lambda g, box: g.prims()[0].attribValue("missing"), ""),
    # The typed getters refuse what the attribute does not hold.
    (lambda g, box: g.points()[0].floatAttribValue("P"), "Attribute P holds 3 floats, not one float"),
    (lambda g, box: g.points()[0].intAttribValue("P"), "Attribute P holds 3 floats, not one int"),
    (lambda g, box: g.points()[0].intListAttribValue("P"), "Attribute P holds 3 floats, not ints"),
    (lambda g, box: g.points()[0].stringAttribValue("P"), "Attribute P holds 3 floats, not strings"),
    (lambda g, box: g.points()[0].floatListAttribValue("nothing"), "No point attribute named nothing"),
    # An attrib of another class or of other geometry.
    (lambda g, box: g.points()[0].floatAttribValue(g.findPrimAttrib("x")),
     "Attribute x is a primitive attribute, not a point one"),
    (lambda g, box: box.geometry().points()[0].floatListAttribValue(g.findPointAttrib("P")),
     "Attribute P belongs to other geometry"),
])
def test_reading_an_attribute_the_element_does_not_have_is_operation_failed(box, frozen, read, message):
    frozen.addAttrib(kal.attribType.Point, "only_points", 1)
    frozen.addAttrib(kal.attribType.Prim, "x", 1.0)
    assert frozen.findPointAttrib("missing") is None and frozen.findGlobalAttrib("only_points") is None
    with pytest.raises(kal.OperationFailed) as raised:
        read(frozen, box)
    assert raised.value.instanceMessage() == message


def test_attrib_strings_lists_the_distinct_strings(frozen):
    names = frozen.addAttrib(kal.attribType.Global, "name", "first")
    frozen.setGlobalAttribValue(names, "second")
    assert type(names.strings()) is kal._StringTupleGenerator
    assert list(names.strings()) == ["first", "second"] and frozen.attribValue("name") == "second"
    assert list(frozen.findPointAttrib("P").strings()) == []


# --- Overloads ----------------------------------------------------------------------------

@pytest.mark.parametrize("default, received", [
    (0, ("attribType.Point", "a", 0)), (0.0, ("attribType.Point", "a", 0.0)),
    ("s", ("attribType.Point", "a", "s")), ((1, 2), ("attribType.Point", "a", (1, 2))),
    ((1.0, 2, 3), ("attribType.Point", "a", (1.0, 2.0, 3.0), False)),
])
def test_add_attrib_picks_its_form_by_the_default(frozen, default, received):
    frozen.addAttrib(kal.attribType.Point, "a", default)
    (args,) = host_args("Geometry.addAttrib")
    assert args == received and [type(value) for value in args] == [type(value) for value in received]


def test_add_attrib_with_a_flag_marks_a_vector_transformed_as_a_normal(frozen):
    normal = frozen.addAttrib(kal.attribType.Point, "N", (0.0, 1.0, 0.0), True)
    assert host_args("Geometry.addAttrib") == [("attribType.Point", "N", (0.0, 1.0, 0.0), True)]
    assert normal.isTransformedAsNormal() and not frozen.findPointAttrib("P").isTransformedAsNormal()


def test_add_attrib_refuses_a_value_of_another_enumeration_and_a_taken_name(frozen):
    with pytest.raises(kal.TypeError):
        frozen.addAttrib(kal.parmData.Int, "a", 0)
    with pytest.raises(kal.Error, match="already has a point attribute named P"):
        frozen.addAttrib(kal.attribType.Point, "P", 0.0)


@pytest.mark.parametrize("by_attrib, value, stored", [
    (False, 1, 1), (False, 1.5, 1.5), (False, "s", "s"),
    (False, (1, 2, 3), (1.0, 2.0, 3.0)), (False, (1.5, 2, 3), (1.5, 2.0, 3.0)),
    (True, 1, 1), (True, 1.5, 1.5), (True, "s", "s"),
    (True, (1, 2, 3), (1, 2, 3)), (True, (1.5, 2, 3), (1.5, 2.0, 3.0)),
])
def test_set_global_attrib_value_picks_its_form_by_attribute_and_value(frozen, by_attrib, value, stored):
    attrib = frozen.addAttrib(kal.attribType.Global, "g", (0.0, 0.0, 0.0))
    kalhost.clearCalls()
    with contextlib.suppress(kal.Error):  # only what reaches the host matters here
        frozen.setGlobalAttribValue(attrib if by_attrib else "g", value)
    (args,) = host_args("Geometry.setGlobalAttribValue")
    assert args[1] == stored and type(args[1]) is type(stored)


def test_set_global_attrib_value_writes_what_fits_and_refuses_the_rest(frozen):
    vector = frozen.addAttrib(kal.attribType.Global, "v", (0.0, 0.0, 0.0))
    count = frozen.addAttrib(kal.attribType.Global, "n", 0)
    frozen.setGlobalAttribValue("v", (1, 2, 3))
    frozen.setGlobalAttribValue(vector, (4, 5, 6))  # ints into floats
    frozen.setGlobalAttribValue(count, 9)
    assert frozen.attribValue(vector) == (4.0, 5.0, 6.0) and frozen.attribValue("n") == 9
    with pytest.raises(kal.TypeError, match="takes no floats"):
        frozen.setGlobalAttribValue("n", 1.5)
    with pytest.raises(kal.OperationFailed, match="takes no floats"):
        frozen.setGlobalAttribValue(count, 1.5)
    with pytest.raises(kal.OperationFailed, match="has 3 components, not 2"):
        frozen.setGlobalAttribValue("v", (1.0, 2.0))
    with pytest.raises(kal.OperationFailed, match="No global attribute named P"):
        frozen.setGlobalAttribValue("P", 1)


INTS, FLOATS = ("std::vector<%s,std::allocator<%s > > const &" % (t, t) for t in ("int", "float"))


@pytest.mark.parametrize("call, error, message", [
    # An unusable default is reported by the last form, the float sequence.
    (lambda g: g.addAttrib(kal.attribType.Point, "a", object()), TypeError,
     "in method 'Geometry_addAttrib', argument 4 of type '%s'" % FLOATS),
    # No form for the count (the prototypes are FORMS' in test_errors.py).
    (lambda g: _kal.Geometry_addAttrib(g, kal.attribType.Point, "a"), NotImplementedError, None),
    (lambda g: g.setGlobalAttribValue("n", object()), TypeError,
     "in method 'Geometry_setGlobalAttribValue', argument 3 of type '%s'" % INTS),
    (lambda g: g.setGlobalAttribValue(5, 1), TypeError,  # the by-name int form reports its name argument
     "in method 'Geometry_setGlobalAttribValue', argument 2 of type 'char const *'"),
    (lambda g: g.setGlobalAttribValue("n"), NotImplementedError, None),
    (lambda g: g.points()[0].floatListAttribValue(None), ValueError,
     "invalid null reference in method 'Point_floatListAttribValue', argument 2 of type 'KOM_Attrib &'"),
    (lambda g: g.points()[0].attribValue(None), ValueError,
     "invalid null reference in method 'Point_attribValue', argument 2 of type 'KOM_Attrib &'"),
    (lambda g: g.points()[0].floatListAttribValue(3), TypeError,
     "in method 'Point_floatListAttribValue', argument 2 of type 'char const *'"),
    (lambda g: g.points()[0].attribValue(3), TypeError,
     "in method 'Point_attribValue', argument 2 of type 'char const *'"),
    (lambda g: g.prims()[0].vertex("0"), TypeError, "in method 'Face_vertex', argument 2 of type 'int'"),
    # Past the last vertex: the host's text.
    (lambda g: g.prims()[0].vertex(4), IndexError, "Vertex index 4 is outside the 4 vertices of the polygon"),
    (lambda g: g.prims()[0].vertex(-1), IndexError, "Vertex index -1 is outside the 4 vertices of the polygon"),
])
def test_wrong_arguments_raise_their_message(frozen, call, error, message):
    with pytest.raises(error) as raised:
        call(frozen)
    assert message is None or str(raised.value) == message


# --- Positions ------------------------------------------------------------------------------

def test_positions_are_owned_vector4_copies_and_set_with_three_or_four_components(frozen):
    point = frozen.points()[1]
    position = point.position()
    assert type(position) is kal.Vector4 and tuple(position) == (0.5, -0.5, -0.5, 1.0)
    position[0] = 9.0
    assert tuple(point.position())[0] == 0.5
    point.setPosition((1, 2, 3))
    assert point.attribValue("P") == (1.0, 2.0, 3.0) and frozen.findPointAttrib("Pw") is None
    point.setPosition([4, 5, 6, 0.5])
    assert tuple(point.position()) == (4.0, 5.0, 6.0, 0.5)
    assert frozen.points()[0].attribValue("Pw") == 1.0
    for wrong in ((1, 2), (1, 2, 3, 4, 5)):
        with pytest.raises(kal.InvalidSize):
            point.setPosition(wrong)


# --- Faces and vertices ------------------------------------------------------------------------

def test_vertices_know_their_primitive_point_and_number(frozen):
    polygon = frozen.prims()[4]
    vertices = polygon.vertices()
    assert type(vertices) is kal._VertexTupleGenerator and len(vertices) == polygon.numVertices()
    assert type(polygon.vertex(3)) is kal.Vertex and polygon.closed()
    assert [vertex.number() for vertex in vertices] == [0, 1, 2, 3]
    assert all(type(v.prim()) is kal.Polygon and v.prim() == polygon for v in vertices)
    assert vertices[2].point() == polygon.vertex(2).point()


# --- Lazy sequences -------------------------------------------------------------------------

def test_lazy_sequences_index_from_either_end_and_iterate_in_order(box):
    geometry = box.geometry()
    for sequence, listed, kind in ((geometry.iterPoints(), geometry.points(), kal._PointTupleGenerator),
                                   (geometry.iterPrims(), geometry.prims(), kal._PrimTupleGenerator)):
        assert type(sequence) is kind and len(sequence) == len(listed)
        assert list(sequence) == list(listed)
        assert sequence[-1] == listed[-1] and sequence[-len(listed)] == listed[0]
        for index in (len(listed), -len(listed) - 1):
            with pytest.raises(IndexError, match="^Invalid index$"):
                sequence[index]
        assert sequence[0] is not sequence[0]
    assert repr(geometry.iterPoints()) == "<points of /obj/g/box>"


def test_an_empty_sequence_has_no_items(frozen):
    polygon = frozen.createPolygon()
    assert type(polygon) is kal.Polygon and polygon.numVertices() == 0
    assert list(polygon.vertices()) == []
    with pytest.raises(IndexError, match="^Invalid index$"):
        polygon.vertices()[0]


def test_sequences_follow_their_geometry(frozen):
    prims, points = frozen.iterPrims(), frozen.iterPoints()
    doomed = frozen.prims()[:5]
    frozen.deletePrims(doomed, True)
    assert len(prims) == 1 and len(points) == 8
    frozen.deletePrims([prims[0]])
    assert len(prims) == 0 and len(points) == 4  # only the points no primitive used before
    with pytest.raises(kal.ObjectWasDeleted, match="The primitive no longer exists"):
        doomed[0].geometry()
    with pytest.raises(kal.Error) as raised:  # number translates only the base class
        doomed[0].number()
    assert type(raised.value) is kal.Error


def test_elements_keep_their_identity_across_deletions(frozen):
    prims = frozen.prims()
    last = prims[5]
    frozen.deletePrims([prims[1], prims[2]], True)
    assert last.number() == 3 and frozen.prims()[3] == last
    with pytest.raises(kal.ObjectWasDeleted):
        prims[1].vertices()
    with pytest.raises(kal.Error, match="belongs to other geometry"):
        frozen.deletePrims(frozen.freeze().prims()[:1])


# --- Classes, permissions, ownership ---------------------------------------------------------

def test_prims_come_back_as_their_most_specific_class(box):
    geometry = box.geometry()
    assert {type(prim) for prim in geometry.prims()} == {kal.Polygon}
    assert type(geometry.iterPrims()[0]) is kal.Polygon
    assert geometry.prims()[0].type() == kal.primType.Polygon


@pytest.mark.parametrize("write", [
    lambda g: g.createPoint(),
    lambda g: g.createPolygon(),
    lambda g: g.deletePrims(g.prims()[:1]),
    lambda g: g.addAttrib(kal.attribType.Point, "a", 1),
    lambda g: g.addAttrib(kal.attribType.Global, "a", (1.0, 2.0), False),
    lambda g: g.setGlobalAttribValue("a", 1),
    lambda g: g.points()[0].setPosition((1, 2, 3)),
])
def test_a_nodes_geometry_is_read_only_and_a_frozen_copy_is_not(box, write):
    geometry = box.geometry()
    with pytest.raises(kal.GeometryPermissionError):
        write(geometry)
    frozen = geometry.freeze()
    frozen.addAttrib(kal.attribType.Global, "a", 0)
    try:
        write(frozen)
    except kal.Error as error:  # the attribute exists already
        assert not isinstance(error, kal.GeometryPermissionError)


def test_results_are_owned_copies(box, frozen):
    frozen.points()[0].setPosition((7, 7, 7))
    assert box.geometry().points()[0].attribValue("P") == (-0.5, -0.5, -0.5)
    assert box.geometry().freeze().points()[0].attribValue("P") == (-0.5, -0.5, -0.5)
    bounds = frozen.boundingBox()
    frozen.points()[0].setPosition((-7, -7, -7))
    assert tuple(bounds.minvec()) == (-0.5, -0.5, -0.5)
    assert frozen.sopNode() is None and box.geometry().sopNode() == box
    assert type(box.geometry().sopNode()) is kal.SopNode


def test_equality_and_hash_follow_the_element(box, frozen):
    geometry = box.geometry()
    assert geometry.points()[3] == geometry.iterPoints()[3] != geometry.points()[2]
    assert hash(geometry.points()[3]) == hash(geometry.iterPoints()[3])
    assert geometry.points()[3] != frozen.points()[3]
    assert frozen.findPointAttrib("P") == frozen.pointAttribs()[0]
    assert frozen.findPointAttrib("P") != None  # noqa: E711 (the host receives a null pointer)
    with pytest.raises(ValueError, match="invalid null reference in method 'Point___eq__'"):
        geometry.points()[0] == None  # noqa: E711


def test_a_destroyed_nodes_geometry_and_all_taken_from_it_are_gone(box):
    geometry = box.geometry()
    taken = [geometry, geometry.points()[0], geometry.prims()[0], geometry.prims()[0].vertex(0),
             geometry.findPointAttrib("P")]
    sequences = [geometry.iterPoints(), geometry.iterPrims(), geometry.prims()[0].vertices()]
    frozen = geometry.freeze()
    box.destroy()
    for item in taken:
        with pytest.raises(kal.ObjectWasDeleted):
            repr(item)
        with pytest.raises(kal.ObjectWasDeleted):
            item.geometry() if not isinstance(item, kal.Geometry) else item.points()
    for sequence in sequences:
        with pytest.raises(kal.ObjectWasDeleted):
            len(sequence)
    assert len(frozen.points()) == 8 and frozen.points()[0].attribValue("P") == (-0.5, -0.5, -0.5)


@pytest.mark.parametrize("operation, call, error, raised", [
    ("Geometry.points", lambda g: g.points(), "OperationFailed", kal.Error),
    ("Geometry.points", lambda g: g.points(), "ObjectWasDeleted", kal.ObjectWasDeleted),
    ("Point.number", lambda g: g.points()[0].number(), "ObjectWasDeleted", kal.Error),
    ("Point.floatListAttribValue", lambda g: g.points()[0].attribValue("P"), "OperationFailed",
     kal.OperationFailed),
    ("Geometry.createPoint", lambda g: g.createPoint(), "GeometryPermissionError",
     kal.GeometryPermissionError),
    ("Point.setPosition", lambda g: g.points()[0].setPosition((1, 2, 3)), "InvalidSize",
     kal.InvalidSize),
    ("Face.vertex", lambda g: g.prims()[0].vertex(0), "out_of_range", IndexError),
    ("_PointTupleGenerator.itemAt", lambda g: g.iterPoints()[0], "ObjectWasDeleted",
     kal.ObjectWasDeleted),
])
def test_host_errors_translate_by_each_operations_catch_list(frozen, operation, call, error, raised):
    kalhost.fail(operation, error, "injected")
    with pytest.raises(raised) as caught:
        call(frozen)
    assert type(caught.value) is raised
    assert (str(caught.value) if raised is IndexError else caught.value.instanceMessage()) == "injected"


def test_save_to_file_writes_every_attribute(frozen, tmp_path):
    frozen.addAttrib(kal.attribType.Vertex, "uv", (0.25, 0.5))
    frozen.addAttrib(kal.attribType.Global, "name", 'a "box"')
    target = tmp_path / "box.geo"
    frozen.saveToFile(str(target))
    lines = target.read_text().splitlines()
    assert lines[:2] == ["kalvane geometry 1", "8 points 6 primitives 24 vertices"]
    assert "vertex attribute uv 2 floats" in lines and ' "a \\"box\\""' in lines
    assert lines[-1].startswith("polygon ")
    with pytest.raises(kal.OperationFailed, match="Cannot write"):
        frozen.saveToFile(str(tmp_path / "missing" / "box.geo"))


def test_the_geometry_example_runs():
    printed = run_example("geometry.py")
    assert "51 points, 40 polygons" in printed
    assert "without the grid the copy keeps 26 points and 24 polygons" in printed


def test_the_journal_shows_elements_and_attributes_as_their_descriptions(frozen):
    prims = frozen.prims()
    frozen.deletePrims(prims[:2])
    assert host_args("Geometry.deletePrims") == [
        (("<kal.Polygon #0 of frozen geometry>", "<kal.Polygon #1 of frozen geometry>"), False)]
    frozen.points()[0].floatListAttribValue(frozen.findPointAttrib("P"))
    assert host_args("Point.floatListAttribValue") == [
        ("<kal.Attrib point P (3 floats) of frozen geometry>",)]
    prims[0] == prims[1]  # both deleted: the journal says so instead of failing
    assert host_args("Prim.__eq__") == [("<deleted primitive>",)]
