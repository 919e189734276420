"""Math values: construction, the module's own arithmetic, overload choice, errors, ownership, and
the host's numerics seen from Python (transforms, decomposition, colours)."""
import math
import struct

import pytest

import _kal
import kal
import kalhost
from conftest import host_args, host_calls

VECTORS = [(kal.Vector2, 2), (kal.Vector3, 3), (kal.Vector4, 4)]
IDENTITY4 = tuple(float(i == j) for i in range(4) for j in range(4))


def f32(value):
    """The single-precision value of a number, as Python sees a float field."""
    return struct.unpack("f", struct.pack("f", value))[0]


def compose(t=(0, 0, 0), r=(0, 0, 0), s=(1, 1, 1), h=(0, 0, 0), order="xyz"):
    """A transform built as scale * shear * rotate * translate, the default "srt" order."""
    m = kal.kmath
    return m.buildScale(*s) * m.buildShear(*h) * m.buildRotate(*r, order) * m.buildTranslate(*t)


def assert_vector(value, expected, tolerance=1e-4):
    assert isinstance(value, kal.Vector3)
    assert list(value) == pytest.approx(expected, abs=tolerance)


# --- construction ---

@pytest.mark.parametrize("cls, n", VECTORS + [(kal.Quaternion, 4)])
def test_values_start_at_zero_and_take_their_components_in_order(cls, n):
    zero, value = cls(), cls(*[0.1 * (i + 1) for i in range(n)])
    assert host_calls() == []  # built by the module alone
    assert tuple(zero) == (0.0,) * n and len(zero) == n
    assert tuple(value) == tuple(f32(0.1 * (i + 1)) for i in range(n))


@pytest.mark.parametrize("cls, n", VECTORS)
def test_vectors_from_a_sequence_are_filled_by_the_host(cls, n):
    value = cls([1.5] * n)
    assert host_args("Vector%d.setTo" % n) == [((1.5,) * n,)]
    assert tuple(value) == (1.5,) * n
    with pytest.raises(kal.InvalidSize):
        cls([1.0] * (n + 1))
    with pytest.raises(TypeError, match=r"in method 'new_Vector%d', argument 1 of type "
                                        r"'std::vector<float,std::allocator<float > > const &'" % n):
        cls("ab")


def test_constructors_choose_by_count_alone():
    with pytest.raises(NotImplementedError):
        kal.Vector3(1, 2)
    with pytest.raises(NotImplementedError):
        kal.Quaternion([1, 2, 3, 4])  # no sequence form


def test_a_bounding_box_takes_its_minima_then_maxima():
    box = kal.BoundingBox(0, 1, 2, 3, 5, 7)
    assert tuple(box.minvec()) == (0, 1, 2) and tuple(box.maxvec()) == (3, 5, 7)
    assert tuple(box.sizevec()) == (3, 4, 5) and tuple(box.center()) == (1.5, 3, 4.5)
    assert tuple(kal.BoundingBox().maxvec()) == (0, 0, 0)
    box.setTo([-1, -2, -3, 1, 2, 3])
    assert tuple(box.minvec()) == (-1, -2, -3) and tuple(box.maxvec()) == (1, 2, 3)
    with pytest.raises(kal.InvalidSize):
        box.setTo([1, 2, 3])
    assert tuple(box.maxvec()) == (1, 2, 3)


def test_matrix_constructors():
    assert kal.Matrix3().asTuple() == (0.0,) * 9 and kal.Matrix4().asTuple() == (0.0,) * 16
    assert kal.Matrix4(0.1).at(0, 0) == f32(0.1) != 0.1
    assert kal.Matrix3(0.1).at(0, 0) == 0.1 and kal.Matrix3(0.1).at(0, 1) == 0.0
    assert kal.Matrix4(range(16)).asTuple() == tuple(float(i) for i in range(16))
    rows = [[i * 4 + j for j in range(4)] for i in range(4)]
    assert kal.Matrix4(rows).asTupleOfTuples() == tuple(tuple(map(float, row)) for row in rows)
    assert kal.Matrix3(range(9)).asTupleOfTuples() == ((0, 1, 2), (3, 4, 5), (6, 7, 8))
    with pytest.raises(kal.InvalidSize):
        kal.Matrix4(range(15))
    with pytest.raises(kal.InvalidSize):
        kal.Matrix4([[1, 2, 3, 4]] * 3)
    # Matrix3 has no nested form: a nested sequence fails as its flat one.
    with pytest.raises(TypeError, match="in method 'new_Matrix3', argument 1 of type "
                                        r"'std::vector<double,std::allocator<double > > const &'"):
        kal.Matrix3([[1, 0, 0]] * 3)


def test_colours_start_black_in_rgb_and_keep_what_was_set():
    assert kal.Color().rgb() == (0.0, 0.0, 0.0)
    assert host_calls("Module.Color") == []
    c = kal.Color((0.2, 0.4, 0.6))
    assert c.rgb() == (f32(0.2), f32(0.4), f32(0.6))
    c.setRGB([0.1, 0.7, 0.3])
    assert c.rgb() == (f32(0.1), f32(0.7), f32(0.3))
    assert (c * 2).rgb() == (f32(f32(0.1) * 2), f32(f32(0.7) * 2), f32(f32(0.3) * 2))
    total = c + kal.Color([0.5, 0.25, 0.125])
    assert total.rgb() == tuple(f32(a + b) for a, b in zip(c.rgb(), (0.5, 0.25, 0.125)))
    for setter in (c.setRGB, c.setHSV, c.setHSL, c.setXYZ, c.setLAB):
        with pytest.raises(kal.InvalidSize):
            setter([1, 2])
    with pytest.raises(kal.InvalidSize):
        kal.Color([1])


def test_colours_convert_between_models():
    c = kal.Color()
    c.setHSV([210, 0.5, 0.8])
    assert c.hsv() == pytest.approx((210, 0.5, 0.8))
    assert c.rgb() == pytest.approx((0.4, 0.6, 0.8))
    assert c.hsl() == pytest.approx((210, 0.5, 0.6))
    assert kal.Color([1, 1, 1]).lab() == pytest.approx((100, 0, 0), abs=1e-3)
    assert kal.Color([1, 1, 1]).xyz() == pytest.approx((0.95047, 1.0, 1.08883), abs=1e-4)
    back = kal.Color()
    back.setLAB(c.lab())
    assert back.rgb() == pytest.approx(c.rgb(), abs=1e-5)
    assert back == kal.Color(back.rgb()) and hash(back) == hash(kal.Color(back.rgb()))
    assert kal.Color([1, 0, 0]) != kal.Color([0, 1, 0])


# --- the module's own arithmetic ---

@pytest.mark.parametrize("cls, n", VECTORS + [(kal.Quaternion, 4)])
def test_sums_differences_and_scalar_products_round_to_single_precision(cls, n):
    a_values = [0.1, -2.5, 1e-3, 7.0][:n]
    b_values = [0.2, 0.3, -4.0, 1e20][:n]
    a, b = cls(*a_values), cls(*b_values)
    fa, fb = [f32(v) for v in a_values], [f32(v) for v in b_values]
    total, difference, product = a + b, a - b, a * 0.7
    assert host_calls() == []
    assert tuple(total) == tuple(f32(x + y) for x, y in zip(fa, fb))
    assert tuple(difference) == tuple(f32(x - y) for x, y in zip(fa, fb))
    assert tuple(product) == tuple(f32(x * f32(0.7)) for x in fa)


@pytest.mark.parametrize("cls, n", VECTORS)
def test_lengths_and_dot_products_are_double_precision(cls, n):
    values = [0.1, 0.2, 0.3, 0.4][:n]
    v = cls(*values)
    squares = sum(f32(x) * f32(x) for x in values)
    assert v.lengthSquared() == squares and v.length() == math.sqrt(squares)
    other = cls(*[3.0, -1.0, 0.5, 2.0][:n])
    assert v.dot(other) == sum(f32(x) * y for x, y in zip(values, [3.0, -1.0, 0.5, 2.0]))
    assert host_calls() == []


def test_quaternion_length_counts_all_four_components():
    assert kal.Quaternion(1, 2, 2, 4).length() == 5.0


def test_cross_products():
    crossed = kal.Vector3(1, 2, 3).cross(kal.Vector3(4, 5, 6))
    assert host_calls() == []
    assert tuple(crossed) == (-3, 6, -3)
    crossed = kal.Vector4(1, 2, 3, 9).cross(kal.Vector4(4, 5, 6, -9))
    assert type(crossed) is kal.Vector3 and tuple(crossed) == (-3, 6, -3)
    assert len(host_calls("Vector4.cross")) == 1
    assert not hasattr(kal.Vector2, "cross") and not hasattr(kal.Vector4, "__neg__")


def test_negation_flips_every_sign():
    zero = -kal.Vector3(0, 0, 0)
    assert [math.copysign(1, c) for c in zero] == [-1, -1, -1]
    assert zero == kal.Vector3()
    assert tuple(-kal.Vector2(1, -2)) == (-1, 2)


@pytest.mark.parametrize("make", [
    lambda *c: kal.Vector2(*c[:2]), lambda *c: kal.Vector3(*c[:3]), lambda *c: kal.Vector4(*c[:4]),
    lambda *c: kal.BoundingBox(*c)])
def test_equality_compares_every_component(make):
    values = [1, 2, 3, 4, 5, 6]
    assert make(*values) == make(*values) and not make(*values) != make(*values)
    nan = make(*[float("nan")] * 6)
    assert nan != nan and not nan == nan
    assert host_calls() == []


@pytest.mark.parametrize("position", range(6))
def test_box_equality_looks_at_each_field(position):
    values = [0, 1, 2, 3, 4, 5]
    changed = list(values)
    changed[position] = -1
    assert kal.BoundingBox(*values) != kal.BoundingBox(*changed)


def test_matrix4_equality_and_its_shortcut_for_itself():
    m = kal.Matrix4(range(16))
    m.setAt(2, 3, float("nan"))
    assert m == m and not m != m
    copy = kal.Matrix4(m.asTuple())
    assert copy != m and not copy == m
    assert kal.Matrix4(range(16)) == kal.Matrix4(range(16))
    assert host_calls("Matrix4.__eq__") == []


def test_matrix3_equality_is_the_hosts():
    assert kal.Matrix3(range(9)) == kal.Matrix3(range(9))
    assert kal.Matrix3(range(9)) != kal.Matrix3(1)
    assert len(host_calls("Matrix3.__eq__")) == 2


def test_determinants():
    m3 = kal.Matrix3([2, -3, 1, 2, 0, -1, 1, 4, 5])
    assert m3.determinant() == 49.0
    rows = [[2, 0, 1, 3], [1, -1, 0, 2], [0, 4, 1, 1], [3, 1, 2, 0]]
    m4 = kal.Matrix4(rows)
    assert m4.determinant() == pytest.approx(_det(rows))
    assert compose(s=(2, 3, 4), r=(10, 20, 30), h=(0.5, 0, 0.1)).determinant() == pytest.approx(24)


def _det(rows):
    if len(rows) == 1:
        return rows[0][0]
    return sum((-1) ** j * rows[0][j] * _det([row[:j] + row[j + 1:] for row in rows[1:]])
               for j in range(len(rows)))


def test_identity_and_zero():
    m = kal.Matrix4(range(16))
    kalhost.clearCalls()
    m.setToIdentity()
    assert host_calls() == []
    assert m.asTuple() == IDENTITY4
    m.setToZero()
    assert m.asTuple() == (0.0,) * 16
    m3 = kal.Matrix3(7)
    m3.setToIdentity()
    assert m3 == kal.Matrix3(1)


# --- host operations, overloads and defaults ---

@pytest.mark.parametrize("cls, n", VECTORS + [(kal.Quaternion, 4)])
def test_almost_equal_uses_the_single_precision_default_tolerance(cls, n):
    name = cls.__name__
    a, b = cls(*[1.0] * n), cls(*[1.0] * (n - 1) + [1.000001])
    assert a.isAlmostEqual(b) and a.almostEqual(b)
    assert not a.isAlmostEqual(b, 1e-7)
    assert host_args(name + ".isAlmostEqual")[0][1] == f32(1e-05)
    assert len(host_calls(name + ".isAlmostEqual")) == 3


def test_matrices_pass_the_double_default_tolerance():
    kal.Matrix4(1).isAlmostEqual(kal.Matrix4(1))
    kal.Matrix3(1).isAlmostEqual(kal.Matrix3(1), 0.5)
    assert host_args("Matrix4.isAlmostEqual")[0][1] == 1e-05
    assert host_args("Matrix3.isAlmostEqual")[0][1] == 0.5
    assert not hasattr(kal.Matrix4, "almostEqual")


@pytest.mark.parametrize("value", [kal.Vector2(1, 2), kal.Vector3(1, 2, 3), kal.Vector4(1, 2, 3, 4),
                                   kal.Quaternion(1, 2, 3, 4)])
def test_indexing_follows_python_and_reports_the_hosts_text(value):
    n = len(value)
    assert value[-1] == n and value[0] == 1
    value[1] = 9.5
    assert value[1] == 9.5
    for bad in (n, -n - 1):
        with pytest.raises(IndexError, match="^%s index out of range$" % type(value).__name__):
            value[bad]
        with pytest.raises(IndexError, match="index out of range"):
            value[bad] = 0


def test_matrix_indexing():
    m = kal.Matrix4(range(16))
    assert m.at(1, 2) == 6.0
    m.setAt(3, 3, -1)
    assert m.at(3, 3) == -1.0
    for row, column in ((4, 0), (0, -1)):
        with pytest.raises(IndexError, match="^Matrix4 row or column out of range$"):
            m.at(row, column)
    with pytest.raises(IndexError, match="Matrix3 row or column"):
        kal.Matrix3().setAt(3, 0, 1)


def test_products_choose_their_form_by_the_operand():
    v = kal.Vector3(1, 2, 3)
    moved = v * kal.kmath.buildTranslate(10, 20, 30)
    assert tuple(moved) == (11, 22, 33)
    assert len(host_calls("Vector3.__mul__")) == 1
    assert tuple(v * 2) == (2, 4, 6)
    assert len(host_calls("Vector3.__mul__")) == 1  # the scalar product is the module's
    assert tuple(kal.Vector4(1, 2, 3, 1) * kal.kmath.buildTranslate(1, 1, 1)) == (2, 3, 4, 1)
    m = kal.Matrix4(range(16))
    assert (m * 2).asTuple() == tuple(2.0 * i for i in range(16))
    assert host_args("Matrix4.__mul__")[-1] == (2.0,)
    assert (m * kal.Matrix4(1)).asTuple() == m.asTuple()
    q = kal.Quaternion(1, 2, 3, 4)
    assert tuple(q * 2) == (2, 4, 6, 8) and host_calls("Quaternion.__mul__") == []
    assert tuple(q * kal.Quaternion(1, 0, 0, 0)) == (4, 3, -2, -1)  # (x, y, z, w), Hamilton
    assert len(host_calls("Quaternion.__mul__")) == 1


def test_matrix_products_run_self_times_other():
    a, b = kal.Matrix3(range(9)), kal.Matrix3([1, 0, 2, 0, 1, 0, 3, 0, 1])
    assert (a * b).asTuple() == (6, 1, 2, 18, 4, 11, 30, 7, 20)
    assert a.preMult(b) == b * a
    assert a.transposed().asTupleOfTuples() == ((0, 3, 6), (1, 4, 7), (2, 5, 8))
    assert (a + b).at(0, 2) == 4.0 and (a - b).at(2, 0) == 3.0
    m, n = compose(t=(1, 2, 3), r=(10, 0, 0)), compose(s=(2, 2, 2))
    assert m.preMult(n) == n * m


def test_arithmetic_with_a_wrong_operand_count_answers_not_implemented():
    v = kal.Vector3()
    for call in (lambda: _kal.Vector3___add__(v), lambda: _kal.Vector3___mul__(v),
                 lambda: _kal.Vector3___mul__(v, 1, 2), lambda: _kal.Matrix4___mul__(kal.Matrix4()),
                 lambda: _kal.Color___add__(kal.Color())):
        assert call() is NotImplemented


@pytest.mark.parametrize("call, error, message", [
    (lambda: kal.Vector3() == (0, 0, 0), TypeError, "in method 'Vector3___eq__', argument 2 of type 'KOM_Vector3 &'"),
    (lambda: kal.Vector3() == None, ValueError,  # noqa: E711
     "invalid null reference in method 'Vector3___eq__', argument 2 of type 'KOM_Vector3 &'"),
    (lambda: kal.Matrix4() == kal.Matrix3(), TypeError,
     "in method 'Matrix4___eq__', argument 2 of type 'KOM_Matrix4 &'"),
    (lambda: kal.Vector3() + 5, TypeError, "in method 'Vector3___add__', argument 2 of type 'KOM_Vector3 &'"),
    (lambda: kal.Vector3() * "x", TypeError, "in method 'Vector3___mul__', argument 2 of type 'float'"),
    (lambda: kal.BoundingBox().enlargeToContain((1, 2, 3)), TypeError,
     "in method 'BoundingBox_enlargeToContain', argument 2 of type 'KOM_BoundingBox const &'"),
    (lambda: kal.Quaternion("a", 1, 2, 3), TypeError, "in method 'new_Quaternion', argument 1 of type 'float'"),
    (lambda: kal.Vector3(1, 2, 1e39), OverflowError, "in method 'new_Vector3', argument 3 of type 'float'"),
])
def test_operands_and_components_of_the_wrong_type_are_refused(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == message and host_calls() == []


def test_enlarging_a_box_by_a_point_or_a_box():
    box = kal.BoundingBox()
    box.enlargeToContain(kal.Vector3(1, -2, 3))
    box.enlargeToContain(kal.BoundingBox(-5, 0, 0, 0, 0, 0))
    assert tuple(box.minvec()) == (-5, -2, 0) and tuple(box.maxvec()) == (1, 0, 3)
    assert host_args("BoundingBox.enlargeToContain") == [((1, -2, 3),), ((-5, 0, 0, 0, 0, 0),)]


def test_a_transformed_box_holds_every_transformed_corner():
    box = kal.BoundingBox(0, 0, 0, 1, 2, 3) * kal.kmath.buildRotate(0, 0, 90)
    assert list(box.minvec()) == pytest.approx([-2, 0, 0], abs=1e-6)
    assert list(box.maxvec()) == pytest.approx([0, 1, 3], abs=1e-6)


@pytest.mark.parametrize("builder, scalar_form, vector_form, sequence_form", [
    ("buildTranslate", (1, 2, 3), kal.Vector3(1, 2, 3), [1, 2, 3]),
    ("buildScale", (2, 3, 4), kal.Vector3(2, 3, 4), (2, 3, 4)),
    ("buildShear", (0.5, 0, 0.25), kal.Vector3(0.5, 0, 0.25), [0.5, 0, 0.25]),
    ("buildRotate", (10, 20, 30), kal.Vector3(10, 20, 30), [10, 20, 30]),
])
def test_kmath_forms_build_the_same_matrix(builder, scalar_form, vector_form, sequence_form):
    build = getattr(kal.kmath, builder)
    expected = build(*scalar_form)
    assert type(expected) is kal.Matrix4 and expected.thisown
    assert build(vector_form) == expected and build(sequence_form) == expected


def test_kmath_sequence_forms_check_their_length():
    with pytest.raises(kal.ValueError, match="Expected 3 values, not 2"):
        kal.kmath.buildScale([1, 2])
    with pytest.raises(kal.ValueError):
        kal.kmath.buildRotateAboutAxis([0, 1], 30)
    # The translation from a sequence never throws: missing components are 0.
    assert tuple(kal.Vector3() * kal.kmath.buildTranslate([5])) == (5, 0, 0)
    assert kal.kmath.buildRotateAboutAxis(kal.Vector3(), 45) == kal.kmath.identityTransform()


def test_kmath_rotations_share_the_angle_unit_and_order_with_extraction():
    m = kal.kmath.buildRotate(kal.Vector3(30, -45, 60), "zxy")
    assert_vector(m.extractRotates(rotate_order="zxy"), [30, -45, 60])
    assert_vector(kal.Vector3(1, 0, 0) * kal.kmath.buildRotate(0, 0, 90), [0, 1, 0])
    about = kal.kmath.buildRotateAboutAxis([1, 1, 1], 120)
    assert_vector(kal.Vector3(1, 0, 0) * about, [0, 1, 0])
    assert kal.kmath.degToRad(90) == math.pi / 2 and kal.kmath.radToDeg(math.pi) == 180.0
    with pytest.raises(kal.ValueError, match="Invalid rotate order 'xyy'"):
        kal.kmath.buildRotate(1, 2, 3, "xyy")
    with pytest.raises(kal.ValueError):
        kal.kmath.buildRotate([1, 2, 3], None)


def test_kmath_is_kept_by_the_host_and_not_constructible():
    assert not kal.kmath.this.own() and repr(kal.kmath) == "<kal.kmath>"
    with pytest.raises(AttributeError):
        kal.kmath.__class__()


def test_inverting():
    m = compose(t=(1, 2, 3), r=(30, 40, 50), s=(2, 0.5, 3), h=(0.2, 0, 0.1))
    assert (m.inverted() * m).isAlmostEqual(kal.Matrix4(1), 1e-9)
    m3 = kal.Matrix3([2, 0, 0, 0, 4, 0, 1, 0, 1])
    assert (m3.inverted() * m3).isAlmostEqual(kal.Matrix3(1), 1e-12)
    for singular in (kal.Matrix4(), kal.Matrix3(range(9)), kal.kmath.buildScale(1, 0, 1)):
        with pytest.raises(kal.OperationFailed, match="singular"):
            singular.inverted()


# --- decomposition ---

@pytest.mark.parametrize("rotate_order", ["xyz", "xzy", "yxz", "yzx", "zxy", "zyx"])
def test_explode_returns_what_the_builders_composed(rotate_order):
    t, r, s, h = (1, -2, 3), (25, -40, 70), (2, 0.5, 1.5), (0.25, 0, -0.5)
    m = compose(t, r, s, h, rotate_order)
    parts = m.explode(rotate_order=rotate_order)
    assert sorted(parts) == ["rotate", "scale", "shear", "translate"]
    assert_vector(parts["translate"], t)
    assert_vector(parts["rotate"], r, 1e-3)
    assert_vector(parts["scale"], s)
    assert_vector(parts["shear"], h)
    assert_vector(m.extractTranslates(), t)
    assert_vector(m.extractScales(), s)
    assert_vector(m.extractShears(transform_order="srt"), h)
    assert_vector(m.extractRotates("srt", rotate_order), r, 1e-3)


def test_transform_order_and_pivot_are_honoured():
    pivot = kal.Vector3(1, 2, 3)
    m = kal.kmath
    to, back = m.buildTranslate(-pivot), m.buildTranslate(pivot)
    rotate = to * m.buildRotate(0, 90, 0) * back
    scale = to * m.buildScale(2, 2, 2) * back
    built = m.buildTranslate(5, 0, 0) * rotate * scale  # "trs"
    parts = built.explode("trs", "xyz", pivot)
    assert_vector(parts["translate"], [5, 0, 0])
    assert_vector(parts["rotate"], [0, 90, 0], 1e-3)
    assert_vector(parts["scale"], [2, 2, 2])
    assert_vector(built.extractScales(transform_order="trs", pivot=pivot), [2, 2, 2])
    # Read in the wrong order, the same matrix gives another translation.
    assert list(built.extractTranslates("srt")) != pytest.approx([5, 0, 0], abs=1e-3)


def test_decomposition_arguments_reach_the_host_as_given_or_as_defaults():
    m = kal.Matrix4(1)
    m.extractRotates()
    kal.Matrix4.explode(pivot=kal.Vector3(1, 2, 3), self=m)
    kal.Matrix4.extractScales(self=m, transform_order="rst")
    m.extractTranslates()
    kal.Matrix3(1).extractRotates(rotate_order="zyx")
    assert host_args("Matrix4.extractRotates") == [("srt", "xyz", (0, 0, 0))]
    assert host_args("Matrix4.explode") == [("srt", "xyz", (1, 2, 3))]
    assert host_args("Matrix4.extractScales") == [("rst", (0, 0, 0))]
    assert host_args("Matrix4.extractTranslates") == [("srt",)]
    assert host_args("Matrix3.extractRotates") == [("zyx",)]
    with pytest.raises(TypeError):
        m.extractTranslates(transform_order="srt")  # positional only


@pytest.mark.parametrize("call, error, match", [
    (lambda: kal.Matrix4(1).extractRotates(rotate_order="abc"), kal.ValueError, "Invalid"),
    (lambda: kal.Matrix4(1).explode("sr"), kal.ValueError, "Invalid"),
    (lambda: kal.Matrix4(1).extractTranslates("xyz"), kal.ValueError, "Invalid"),
    (lambda: kal.Matrix4(1).extractShears(transform_order="ttt"), kal.ValueError, "Invalid"),
    # A flat transform cannot be decomposed.
    (lambda: kal.kmath.buildScale(1, 0, 1).explode(), kal.OperationFailed, "zero scale"),
    (lambda: kal.Matrix3().extractRotates(), kal.OperationFailed, ""),
])
def test_bad_orders_and_flat_transforms_are_refused(call, error, match):
    with pytest.raises(error, match=match):
        call()


def test_matrix3_extracts_the_rotation_of_a_rotation_and_scale():
    m4 = kal.kmath.buildScale(2, 3, 4) * kal.kmath.buildRotate(10, 20, 30, "yzx")
    m3 = kal.Matrix3([m4.at(i, j) for i in range(3) for j in range(3)])
    assert_vector(m3.extractRotates("yzx"), [10, 20, 30], 1e-3)


# --- ownership and journal ---

def test_results_are_independent_copies():
    box = kal.BoundingBox(0, 0, 0, 1, 1, 1)
    low = box.minvec()
    low[0] = 5
    assert tuple(box.minvec()) == (0, 0, 0)
    v = kal.Vector3(1, 2, 3)
    w = v.normalized()
    w[0] = 9
    assert tuple(v) == (1, 2, 3) and w.thisown
    parts = kal.Matrix4(1).explode()
    parts["scale"][0] = 7
    assert tuple(kal.Matrix4(1).explode()["scale"]) == (1, 1, 1)
    assert all(value.thisown for value in parts.values())


def test_normalized_and_distances():
    assert list(kal.Vector3(3, 0, 4).normalized()) == pytest.approx([0.6, 0, 0.8])
    assert tuple(kal.Vector2().normalized()) == (0, 0)
    assert kal.Vector4(1, 1, 1, 1).distanceTo(kal.Vector4(2, 2, 2, 2)) == 2.0
    assert kal.Quaternion(0, 0, 0, 2).normalized() == kal.Quaternion(0, 0, 0, 1)


def test_text_forms_and_hashes():
    v = kal.Vector3(1, 0.5, -0.1)
    assert str(v) == "[1, 0.5, -0.1]" and repr(v) == "<kal.Vector3 [1, 0.5, -0.1]>"
    assert str(kal.Matrix3(1)) == "[[1, 0, 0], [0, 1, 0], [0, 0, 1]]"
    assert repr(kal.BoundingBox(0, 1, 2, 3, 4, 5)) == "<kal.BoundingBox [0, 1, 2, 3, 4, 5]>"
    assert repr(kal.Color([1, 0, 0])) == "<kal.Color RGB [1, 0, 0]>"
    assert hash(kal.Vector3(0, 0, 0)) == hash(-kal.Vector3(0, 0, 0))
    assert len({kal.Vector2(1, 2), kal.Vector2(1, 2), kal.Vector2(2, 1)}) == 2


def test_host_operations_are_journalled_with_their_values():
    m = kal.Matrix4(1)
    kal.Vector3(1, 2, 3) * m
    kal.Color() + kal.Color([1, 1, 1])
    rows = (IDENTITY4[0:4], IDENTITY4[4:8], IDENTITY4[8:12], IDENTITY4[12:16])
    assert host_args("Vector3.__mul__") == [(rows,)]
    assert host_args("Color.__add__") == [("<kal.Color RGB [1, 1, 1]>",)]


@pytest.mark.parametrize("operation, error, call, raised", [
    ("Vector3.normalized", "Error", lambda: kal.Vector3(1, 0, 0).normalized(), kal.Error),
    ("Matrix3.transposed", "Error", lambda: kal.Matrix3().transposed(), kal.Error),
    ("Color.hsv", "Error", lambda: kal.Color().hsv(), kal.Error),
    ("BoundingBox.__hash__", "Error", lambda: hash(kal.BoundingBox()), kal.Error),
    # Not listed: the safety net's kal.Error.
    ("Matrix4.__mul__", "OperationFailed", lambda: kal.Matrix4() * kal.Matrix4(), kal.Error),
    ("Matrix4.inverted", "ValueError", lambda: kal.Matrix4(1).inverted(), kal.Error),
    ("Vector3.__getitem__", "out_of_range", lambda: kal.Vector3()[0], IndexError),
])
def test_every_host_operation_can_be_faulted_once_and_translates_by_its_catch_list(operation, error,
                                                                                  call, raised):
    kalhost.fail(operation, error, "refused")
    with pytest.raises(raised) as caught:
        call()
    assert type(caught.value) is raised and str(caught.value) == "refused"
    if raised is kal.Error:
        assert caught.value.exceptionTypeName() == "Error"
    call()  # once only
