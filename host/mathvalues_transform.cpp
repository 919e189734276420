// The reference host's math library: rotations, transform decomposition and kmath. Row
// vectors throughout; transforms compose as scale * rotate * translate; angles in degrees.
#include "host/mathvalues.h"

#include <cstring>

#include "model/errors.h"

namespace kalhost
{
namespace
{

double const Pi = 3.14159265358979323846;
double const DegreesPerRadian = 180.0 / Pi;

// --- matrices ---

KOM_Matrix3 upperLeft(KOM_Matrix4 const &matrix)
{
    KOM_Matrix3 linear;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            linear.m[i][j] = matrix.m[i][j];
    return linear;
}

KOM_Matrix4 affine(KOM_Matrix3 const &linear, double const (&translate)[3])
{
    KOM_Matrix4 matrix(1.0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            matrix.m[i][j] = linear.m[i][j];
    for (int j = 0; j < 3; ++j)
        matrix.m[3][j] = translate[j];
    return matrix;
}

KOM_Matrix4 translation(double x, double y, double z)
{
    double const translate[3] = {x, y, z};
    return affine(KOM_Matrix3(1.0), translate);
}

// --- rotations, scales and shears ---

// Row-vector rotation by `degrees` about one axis, positive from one following axis to the next.
KOM_Matrix3 axisRotation(int axis, double degrees)
{
    double const radians = degrees / DegreesPerRadian;
    double const c = std::cos(radians), s = std::sin(radians);
    int const a = (axis + 1) % 3, b = (axis + 2) % 3;
    KOM_Matrix3 rotation(1.0);
    rotation.m[a][a] = c;
    rotation.m[a][b] = s;
    rotation.m[b][a] = -s;
    rotation.m[b][b] = c;
    return rotation;
}

// The first axis of the order is applied first.
KOM_Matrix3 eulerRotation(double const (&degrees)[3], std::array<int, 3> const &order)
{
    KOM_Matrix3 rotation(1.0);
    for (int axis : order)
        rotation = product<3>(rotation, axisRotation(axis, degrees[axis]));
    return rotation;
}

// Angles in degrees of a rotation matrix built by eulerRotation with the same order. The
// column-vector form of the matrix is Rk Rj Ri for order (i, j, k); odd orders mirror the
// angles of even ones.
KOM_Vector3 eulerAngles(KOM_Matrix3 const &rotation, std::array<int, 3> const &order)
{
    int const i = order[0], j = order[1], k = order[2];
    double const parity = (j == (i + 1) % 3) ? 1.0 : -1.0;
    auto const at = [&](int row, int column) { return rotation.m[column][row]; };
    double const cosMiddle = std::hypot(at(i, i), at(j, i));
    double first, middle, last;
    middle = std::atan2(-parity * at(k, i), cosMiddle);
    if (cosMiddle > 1e-9)
    {
        first = std::atan2(parity * at(k, j), at(k, k));
        last = std::atan2(parity * at(j, i), at(i, i));
    }
    else
    {
        // Gimbal lock: only the sum or difference of the outer angles is known; put it in first.
        first = std::atan2(-parity * at(j, k), at(j, j));
        last = 0.0;
    }
    double angles[3];
    angles[i] = first * DegreesPerRadian;
    angles[j] = middle * DegreesPerRadian;
    angles[k] = last * DegreesPerRadian;
    return KOM_Vector3(float(angles[0]), float(angles[1]), float(angles[2]));
}

// Scale, then shear: row 0 (sx, sx*xy, sx*xz), row 1 (0, sy, sy*yz), row 2 (0, 0, sz).
KOM_Matrix3 scaleShear(double const (&scale)[3], double const (&shear)[3])
{
    KOM_Matrix3 matrix;
    matrix.m[0][0] = scale[0];
    matrix.m[0][1] = scale[0] * shear[0];
    matrix.m[0][2] = scale[0] * shear[1];
    matrix.m[1][1] = scale[1];
    matrix.m[1][2] = scale[1] * shear[2];
    matrix.m[2][2] = scale[2];
    return matrix;
}

struct Components
{
    double scale[3];
    double shear[3];
    KOM_Matrix3 rotation;
};

double dot3(double const *a, double const *b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Splits a linear map into scale-and-shear U (upper triangular, as scaleShear builds it) and a
// rotation R: linear = U R when the scale comes first, R U otherwise. Gram-Schmidt over the
// rows from the last (U R) or over the columns from the first (R U).
Components decompose(KOM_Matrix3 const &linear, bool scaleFirst)
{
    // Work on vectors v[0..2] with linear = U R as rows; R U is the same problem transposed,
    // with the vectors taken in reverse order.
    KOM_Matrix3 const a = scaleFirst ? linear : transposedOf<3>(linear);
    double v[3][3];
    double u[3][3] = {};
    int const sequence[3] = {2, 1, 0};
    for (int step = 0; step < 3; ++step)
    {
        int const row = scaleFirst ? sequence[step] : step;
        std::copy(a.m[row], a.m[row] + 3, v[row]);
        for (int earlier = 0; earlier < step; ++earlier)
        {
            int const other = scaleFirst ? sequence[earlier] : earlier;
            double const along = dot3(a.m[row], v[other]);
            if (scaleFirst)
                u[row][other] = along;
            else
                u[other][row] = along;
            for (int c = 0; c < 3; ++c)
                v[row][c] -= along * v[other][c];
        }
        double const length = std::sqrt(dot3(v[row], v[row]));
        if (!(length > 1e-12) || !std::isfinite(length))
            throw KOM_OperationFailed("The transform has a zero scale and cannot be decomposed");
        u[row][row] = length;
        for (double &c : v[row])
            c /= length;
    }
    // A mirror shows as a rotation with determinant -1: give it to the x scale instead.
    double const normal[3] = {v[1][1] * v[2][2] - v[1][2] * v[2][1],
                              v[1][2] * v[2][0] - v[1][0] * v[2][2],
                              v[1][0] * v[2][1] - v[1][1] * v[2][0]};
    if (dot3(v[0], normal) < 0.0)
    {
        for (double &c : v[0])
            c = -c;
        for (int c = 0; c < 3; ++c)
            if (scaleFirst)
                u[c][0] = -u[c][0];
            else
                u[0][c] = -u[0][c];
    }
    Components parts;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            parts.rotation.m[r][c] = scaleFirst ? v[r][c] : v[c][r];
    // u is U in both cases: upper triangular, scale times shear.
    for (int i = 0; i < 3; ++i)
        parts.scale[i] = u[i][i];
    parts.shear[0] = u[0][1] / u[0][0];
    parts.shear[1] = u[0][2] / u[0][0];
    parts.shear[2] = u[1][2] / u[1][1];
    return parts;
}

KOM_Vector3 vectorOf(double const (&values)[3])
{
    return KOM_Vector3(float(values[0]), float(values[1]), float(values[2]));
}

// A transform and its components, for one transform order and pivot. Scale-and-shear and
// rotation each act about the pivot.
struct Decomposition
{
    Components parts;
    double translate[3];
    std::array<int, 3> rotate;
};

Decomposition decomposeTransform(KOM_Matrix4 const &matrix, char const *transform_order,
                                 char const *rotate_order, KOM_Vector3 const &pivot)
{
    std::string const order = transformOrder(transform_order);
    Decomposition result;
    result.rotate = rotateOrder(rotate_order);
    bool const scaleFirst = order.find('s') < order.find('r');
    result.parts = decompose(upperLeft(matrix), scaleFirst);

    // With t = 0 the matrix is P Q, and M = P T(t) Q; so M's translation is that of P Q plus
    // t times Q's linear part.
    double const none[3] = {0.0, 0.0, 0.0};
    KOM_Matrix4 const toPivot = translation(-pivot.x, -pivot.y, -pivot.z);
    KOM_Matrix4 const fromPivot = translation(pivot.x, pivot.y, pivot.z);
    KOM_Matrix3 const scaleAndShear = scaleShear(result.parts.scale, result.parts.shear);
    KOM_Matrix4 const scale =
        product<4>(product<4>(toPivot, affine(scaleAndShear, none)), fromPivot);
    KOM_Matrix4 const rotate =
        product<4>(product<4>(toPivot, affine(result.parts.rotation, none)), fromPivot);
    KOM_Matrix4 before(1.0), after(1.0);
    bool translated = false;
    for (char step : order)
    {
        if (step == 't')
        {
            translated = true;
            continue;
        }
        KOM_Matrix4 &side = translated ? after : before;
        side = product<4>(side, step == 's' ? scale : rotate);
    }
    KOM_Matrix4 const untranslated = product<4>(before, after);
    KOM_Matrix3 const afterInverse = inverseOf<3>(upperLeft(after));
    double offset[3];
    for (int j = 0; j < 3; ++j)
        offset[j] = matrix.m[3][j] - untranslated.m[3][j];
    for (int j = 0; j < 3; ++j)
        result.translate[j] = offset[0] * afterInverse.m[0][j] + offset[1] * afterInverse.m[1][j] +
                              offset[2] * afterInverse.m[2][j];
    return result;
}

// --- kmath ---

class HostKmath : public KOM_kmath
{
public:
    std::string __repr__() override
    {
        hostOperation("kmath.__repr__");
        return "<kal.kmath>";
    }

    KOM_Matrix4 identityTransform() override
    {
        hostOperation("kmath.identityTransform");
        return KOM_Matrix4(1.0);
    }

    KOM_Matrix4 buildTranslate(double x, double y, double z) override
    {
        hostOperation("kmath.buildTranslate", x, y, z);
        return translation(x, y, z);
    }

    // Never throws: missing components are 0, extra ones are ignored.
    KOM_Matrix4 buildTranslate(std::vector<double> const &values) override
    {
        hostOperation("kmath.buildTranslate", values);
        double xyz[3] = {0.0, 0.0, 0.0};
        std::copy_n(values.begin(), std::min<std::size_t>(values.size(), 3), xyz);
        return translation(xyz[0], xyz[1], xyz[2]);
    }

    KOM_Matrix4 buildTranslate(KOM_Vector3 const &values) override
    {
        hostOperation("kmath.buildTranslate", values);
        return translation(values.x, values.y, values.z);
    }

    KOM_Matrix4 buildScale(double x, double y, double z) override
    {
        hostOperation("kmath.buildScale", x, y, z);
        return scaling(x, y, z);
    }

    KOM_Matrix4 buildScale(std::vector<double> const &values) override
    {
        hostOperation("kmath.buildScale", values);
        auto const xyz = checkedThree(values);
        return scaling(xyz[0], xyz[1], xyz[2]);
    }

    KOM_Matrix4 buildScale(KOM_Vector3 const &values) override
    {
        hostOperation("kmath.buildScale", values);
        return scaling(values.x, values.y, values.z);
    }

    KOM_Matrix4 buildShear(double x, double y, double z) override
    {
        hostOperation("kmath.buildShear", x, y, z);
        return shearing(x, y, z);
    }

    KOM_Matrix4 buildShear(std::vector<double> const &values) override
    {
        hostOperation("kmath.buildShear", values);
        auto const xyz = checkedThree(values);
        return shearing(xyz[0], xyz[1], xyz[2]);
    }

    KOM_Matrix4 buildShear(KOM_Vector3 const &values) override
    {
        hostOperation("kmath.buildShear", values);
        return shearing(values.x, values.y, values.z);
    }

    KOM_Matrix4 buildRotate(double x, double y, double z, char const *order) override
    {
        hostOperation("kmath.buildRotate", x, y, z, order);
        return rotating(x, y, z, order);
    }

    KOM_Matrix4 buildRotate(std::vector<double> const &values, char const *order) override
    {
        hostOperation("kmath.buildRotate", values, order);
        auto const xyz = checkedThree(values);
        return rotating(xyz[0], xyz[1], xyz[2], order);
    }

    KOM_Matrix4 buildRotate(KOM_Vector3 const &values, char const *order) override
    {
        hostOperation("kmath.buildRotate", values, order);
        return rotating(values.x, values.y, values.z, order);
    }

    KOM_Matrix4 buildRotateAboutAxis(std::vector<double> const &axis, double angle) override
    {
        hostOperation("kmath.buildRotateAboutAxis", axis, angle);
        auto const xyz = checkedThree(axis);
        return aboutAxis(xyz[0], xyz[1], xyz[2], angle);
    }

    // Never throws: a zero axis gives the identity.
    KOM_Matrix4 buildRotateAboutAxis(KOM_Vector3 const &axis, double angle) override
    {
        hostOperation("kmath.buildRotateAboutAxis", axis, angle);
        return aboutAxis(axis.x, axis.y, axis.z, angle);
    }

    double degToRad(double degrees) override
    {
        hostOperation("kmath.degToRad", degrees);
        return degrees / DegreesPerRadian;
    }

    double radToDeg(double radians) override
    {
        hostOperation("kmath.radToDeg", radians);
        return radians * DegreesPerRadian;
    }

private:
    static std::array<double, 3> checkedThree(std::vector<double> const &values)
    {
        if (values.size() != 3)
            throw KOM_ValueError(
                ("Expected 3 values, not " + std::to_string(values.size())).c_str());
        return {values[0], values[1], values[2]};
    }

    static KOM_Matrix4 scaling(double x, double y, double z)
    {
        KOM_Matrix4 matrix(1.0);
        matrix.m[0][0] = x;
        matrix.m[1][1] = y;
        matrix.m[2][2] = z;
        return matrix;
    }

    static KOM_Matrix4 shearing(double xy, double xz, double yz)
    {
        double const unit[3] = {1.0, 1.0, 1.0}, shear[3] = {xy, xz, yz}, none[3] = {};
        return affine(scaleShear(unit, shear), none);
    }

    static KOM_Matrix4 rotating(double x, double y, double z, char const *order)
    {
        double const degrees[3] = {x, y, z}, none[3] = {};
        return affine(eulerRotation(degrees, rotateOrder(order)), none);
    }

    static KOM_Matrix4 aboutAxis(double x, double y, double z, double degrees)
    {
        double const length = std::sqrt(x * x + y * y + z * z);
        if (!(length > 0.0))
            return KOM_Matrix4(1.0);
        double const u[3] = {x / length, y / length, z / length};
        double const radians = degrees / DegreesPerRadian;
        double const c = std::cos(radians), s = std::sin(radians), t = 1.0 - c;
        // Rodrigues' formula, transposed for row vectors.
        KOM_Matrix3 rotation;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                rotation.m[j][i] = t * u[i] * u[j] + (i == j ? c : 0.0);
        rotation.m[2][1] -= s * u[0], rotation.m[1][2] += s * u[0];
        rotation.m[0][2] -= s * u[1], rotation.m[2][0] += s * u[1];
        rotation.m[1][0] -= s * u[2], rotation.m[0][1] += s * u[2];
        double const none[3] = {};
        return affine(rotation, none);
    }
};

} // namespace

// --- helpers for other families ---

KOM_kmath &theKmath()
{
    static HostKmath kmath;
    return kmath;
}

KOM_Matrix3 rotationMatrix(KOM_Quaternion const &q)
{
    double const length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z +
                                    double(q.w) * q.w);
    if (!(length > 0.0))
        return KOM_Matrix3(1.0);
    double const x = q.x / length, y = q.y / length, z = q.z / length, w = q.w / length;
    // The usual column-vector matrix of q, transposed.
    double const rows[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                               {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                               {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
    KOM_Matrix3 rotation;
    std::copy(&rows[0][0], &rows[0][0] + 9, &rotation.m[0][0]);
    return rotation;
}

KOM_Quaternion rotationQuaternion(KOM_Matrix3 const &rotation)
{
    // Shepperd's method on the column-vector form, led by the largest diagonal term.
    auto const at = [&](int row, int column) { return rotation.m[column][row]; };
    double const trace = at(0, 0) + at(1, 1) + at(2, 2);
    std::array<double, 4> q; // x, y, z, w
    if (trace > 0.0)
    {
        double const s = 2.0 * std::sqrt(1.0 + trace);
        q = {(at(2, 1) - at(1, 2)) / s, (at(0, 2) - at(2, 0)) / s, (at(1, 0) - at(0, 1)) / s,
             s / 4};
    }
    else if (at(0, 0) > at(1, 1) && at(0, 0) > at(2, 2))
    {
        double const s = 2.0 * std::sqrt(1.0 + at(0, 0) - at(1, 1) - at(2, 2));
        q = {s / 4, (at(0, 1) + at(1, 0)) / s, (at(0, 2) + at(2, 0)) / s,
             (at(2, 1) - at(1, 2)) / s};
    }
    else if (at(1, 1) > at(2, 2))
    {
        double const s = 2.0 * std::sqrt(1.0 + at(1, 1) - at(0, 0) - at(2, 2));
        q = {(at(0, 1) + at(1, 0)) / s, s / 4, (at(1, 2) + at(2, 1)) / s,
             (at(0, 2) - at(2, 0)) / s};
    }
    else
    {
        double const s = 2.0 * std::sqrt(1.0 + at(2, 2) - at(0, 0) - at(1, 1));
        q = {(at(0, 2) + at(2, 0)) / s, (at(1, 2) + at(2, 1)) / s, s / 4,
             (at(1, 0) - at(0, 1)) / s};
    }
    return KOM_Quaternion(float(q[0]), float(q[1]), float(q[2]), float(q[3]));
}

KOM_Matrix4 transformFromParts(double const (&translate)[3], double const (&rotate)[3],
                               double const (&scale)[3])
{
    double const none[3] = {};
    KOM_Matrix3 const linear =
        product<3>(scaleShear(scale, none), eulerRotation(rotate, std::array<int, 3>{0, 1, 2}));
    return affine(linear, translate);
}

TransformParts partsOfTransform(KOM_Matrix4 const &matrix)
{
    auto const parts = decomposeTransform(matrix, "srt", "xyz", KOM_Vector3());
    KOM_Vector3 const angles = eulerAngles(parts.parts.rotation, parts.rotate);
    TransformParts result;
    for (int i = 0; i < 3; ++i)
    {
        result.translate[i] = parts.translate[i];
        result.scale[i] = parts.parts.scale[i];
    }
    result.rotate[0] = angles.x;
    result.rotate[1] = angles.y;
    result.rotate[2] = angles.z;
    return result;
}

std::array<int, 3> rotateOrder(char const *order)
{
    if (order && std::strlen(order) == 3)
    {
        std::array<int, 3> axes;
        for (int i = 0; i < 3; ++i)
            axes[i] = order[i] - 'x';
        if (std::is_permutation(axes.begin(), axes.end(), std::array<int, 3>{0, 1, 2}.begin()))
            return axes;
    }
    throw KOM_ValueError(("Invalid rotate order '" + std::string(order ? order : "") +
                          "': expected a permutation of \"xyz\"")
                             .c_str());
}

std::string transformOrder(char const *order)
{
    if (order && std::strlen(order) == 3 && std::is_permutation(order, order + 3, "srt"))
        return order;
    throw KOM_ValueError(("Invalid transform order '" + std::string(order ? order : "") +
                          "': expected a permutation of \"srt\"")
                             .c_str());
}

} // namespace kalhost

using namespace kalhost;

// --- Matrix3 and Matrix4 decomposition ---

KOM_Vector3 KOM_Matrix3::extractRotates(char const *rotate_order)
{
    hostOperation("Matrix3.extractRotates", rotate_order);
    auto const order = rotateOrder(rotate_order);
    return eulerAngles(decompose(*this, true).rotation, order);
}

KOM_Vector3 KOM_Matrix4::extractRotates(char const *transform_order, char const *rotate_order,
                                        KOM_Vector3 const &pivot)
{
    hostOperation("Matrix4.extractRotates", transform_order, rotate_order, pivot);
    auto const parts = decomposeTransform(*this, transform_order, rotate_order, pivot);
    return eulerAngles(parts.parts.rotation, parts.rotate);
}

std::map<std::string, KOM_Vector3> KOM_Matrix4::explode(char const *transform_order,
                                                        char const *rotate_order,
                                                        KOM_Vector3 const &pivot)
{
    hostOperation("Matrix4.explode", transform_order, rotate_order, pivot);
    auto const parts = decomposeTransform(*this, transform_order, rotate_order, pivot);
    return {{"translate", vectorOf(parts.translate)},
            {"rotate", eulerAngles(parts.parts.rotation, parts.rotate)},
            {"scale", vectorOf(parts.parts.scale)},
            {"shear", vectorOf(parts.parts.shear)}};
}

KOM_Vector3 KOM_Matrix4::extractTranslates(char const *transform_order)
{
    hostOperation("Matrix4.extractTranslates", transform_order);
    return vectorOf(decomposeTransform(*this, transform_order, "xyz", KOM_Vector3()).translate);
}

KOM_Vector3 KOM_Matrix4::extractScales(char const *transform_order, KOM_Vector3 const &pivot)
{
    hostOperation("Matrix4.extractScales", transform_order, pivot);
    return vectorOf(decomposeTransform(*this, transform_order, "xyz", pivot).parts.scale);
}

KOM_Vector3 KOM_Matrix4::extractShears(char const *transform_order, KOM_Vector3 const &pivot)
{
    hostOperation("Matrix4.extractShears", transform_order, pivot);
    return vectorOf(decomposeTransform(*this, transform_order, "xyz", pivot).parts.shear);
}
