// The reference host's math library: value members, decomposition, colour models and kmath.
#include "host/mathvalues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "model/errors.h"

namespace kalhost
{
namespace
{

double const Pi = 3.14159265358979323846;
double const DegreesPerRadian = 180.0 / Pi;

// --- helpers ---

template <std::size_t N, class T>
void copyExactly(std::vector<T> const &values, T *into, char const *what)
{
    if (values.size() != N)
        throw KOM_InvalidSize((std::string(what) + " takes " + std::to_string(N) + " values, not " +
                               std::to_string(values.size()))
                                  .c_str());
    std::copy(values.begin(), values.end(), into);
}

// Python's index rules: -n..n-1.
int checkedIndex(int index, int size, char const *what)
{
    int const at = index < 0 ? index + size : index;
    if (at < 0 || at >= size)
        throw std::out_of_range(std::string(what) + " index out of range");
    return at;
}

void checkRowColumn(int row, int column, int size)
{
    if (row < 0 || row >= size || column < 0 || column >= size)
        throw std::out_of_range("Matrix" + std::to_string(size) + " row or column out of range");
}

// Shortest text that reads back as the same float or double.
std::string number(double value, bool single)
{
    char text[32];
    for (int digits = single ? 6 : 15; digits <= 17; ++digits)
    {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        double const back = std::strtod(text, nullptr);
        if (single ? float(back) == float(value) : back == value)
            break;
    }
    return text;
}

template <class T>
std::string listed(T const *values, int count, bool single)
{
    std::string text = "[";
    for (int i = 0; i < count; ++i)
        text += (i ? ", " : "") + number(values[i], single);
    return text + "]";
}

template <int N>
std::string listedRows(double const (&m)[N][N])
{
    std::string text = "[";
    for (int i = 0; i < N; ++i)
        text += (i ? ", " : "") + listed(m[i], N, false);
    return text + "]";
}

// Equal values hash equally: -0.0 and 0.0 alike.
template <class T>
int hashOf(T const *values, int count)
{
    std::size_t seed = 0;
    for (int i = 0; i < count; ++i)
    {
        T const value = values[i] == T(0) ? T(0) : values[i];
        seed ^= std::hash<T>()(value) + 0x9e3779b9u + (seed << 6) + (seed >> 2);
    }
    return int(seed ^ (seed >> 32));
}

template <class T, class U>
bool allWithin(T const *a, T const *b, int count, U tolerance)
{
    for (int i = 0; i < count; ++i)
        if (!(std::abs(double(a[i]) - double(b[i])) <= tolerance))
            return false;
    return true;
}

// The value scaled to length 1; a zero value stays as it is.
template <class T>
T normalizedCopy(T value, int count)
{
    float *const components = &value.x;
    double sum = 0.0;
    for (int i = 0; i < count; ++i)
        sum += double(components[i]) * components[i];
    if (sum > 0.0)
    {
        double const length = std::sqrt(sum);
        for (int i = 0; i < count; ++i)
            components[i] = float(components[i] / length);
    }
    return value;
}

double distance(float const *a, float const *b, int count)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i)
        sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return std::sqrt(sum);
}

// --- matrices ---

template <int N, class M>
M product(M const &a, M const &b)
{
    M result;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
        {
            double sum = 0.0;
            for (int k = 0; k < N; ++k)
                sum += a.m[i][k] * b.m[k][j];
            result.m[i][j] = sum;
        }
    return result;
}

template <int N, class M>
M transposedOf(M const &a)
{
    M result;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            result.m[i][j] = a.m[j][i];
    return result;
}

// Gauss-Jordan elimination with partial pivoting. A pivot that vanishes beside the matrix's
// largest entry means the matrix is singular.
template <int N, class M>
M inverseOf(M const &a)
{
    double work[N][2 * N];
    double largest = 0.0;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
        {
            work[i][j] = a.m[i][j];
            work[i][N + j] = i == j ? 1.0 : 0.0;
            largest = std::max(largest, std::abs(a.m[i][j]));
        }
    if (!(largest > 0.0) || !std::isfinite(largest))
        throw KOM_OperationFailed("The matrix is singular and has no inverse");
    for (int column = 0; column < N; ++column)
    {
        int pivot = column;
        for (int row = column + 1; row < N; ++row)
            if (std::abs(work[row][column]) > std::abs(work[pivot][column]))
                pivot = row;
        if (!(std::abs(work[pivot][column]) > 1e-12 * largest))
            throw KOM_OperationFailed("The matrix is singular and has no inverse");
        if (pivot != column)
            std::swap(work[pivot], work[column]);
        double const scale = 1.0 / work[column][column];
        for (double &entry : work[column])
            entry *= scale;
        for (int row = 0; row < N; ++row)
            if (row != column && work[row][column] != 0.0)
            {
                double const factor = work[row][column];
                for (int j = 0; j < 2 * N; ++j)
                    work[row][j] -= factor * work[column][j];
            }
    }
    M result;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            result.m[i][j] = work[i][N + j];
    return result;
}

template <int N, class M>
void setRows(M &matrix, std::vector<std::vector<double> > const &rows, char const *what)
{
    if (rows.size() != std::size_t(N))
        throw KOM_InvalidSize((std::string(what) + " takes " + std::to_string(N) + " rows, not " +
                               std::to_string(rows.size()))
                                  .c_str());
    double entries[N][N];
    for (int i = 0; i < N; ++i)
        copyExactly<N>(rows[i], entries[i], (std::string(what) + " row").c_str());
    std::copy(&entries[0][0], &entries[0][0] + N * N, &matrix.m[0][0]);
}

template <int N, class M>
std::vector<std::vector<double> > rowsOf(M const &matrix)
{
    std::vector<std::vector<double> > rows;
    rows.reserve(N);
    for (auto const &row : matrix.m)
        rows.emplace_back(row, row + N);
    return rows;
}

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
    KOM_Matrix4 const scale =
        product<4>(product<4>(toPivot, affine(scaleShear(result.parts.scale, result.parts.shear), none)),
                   fromPivot);
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

// --- colour models ---

// Hue in degrees [0, 360), saturation and value in [0, 1].
std::array<double, 3> hsvFromRgb(double r, double g, double b)
{
    double const high = std::max({r, g, b}), low = std::min({r, g, b});
    double const chroma = high - low;
    double hue = 0.0;
    if (chroma > 0.0)
    {
        if (high == r)
            hue = std::fmod((g - b) / chroma, 6.0);
        else if (high == g)
            hue = (b - r) / chroma + 2.0;
        else
            hue = (r - g) / chroma + 4.0;
        hue *= 60.0;
        if (hue < 0.0)
            hue += 360.0;
    }
    return {hue, high > 0.0 ? chroma / high : 0.0, high};
}

// From hue, chroma and the amount added to every channel.
std::array<double, 3> rgbFromHueChroma(double hue, double chroma, double added)
{
    double const sector = std::fmod(std::fmod(hue, 360.0) + 360.0, 360.0) / 60.0;
    double const second = chroma * (1.0 - std::abs(std::fmod(sector, 2.0) - 1.0));
    double r = 0.0, g = 0.0, b = 0.0;
    switch (int(sector))
    {
    case 0: r = chroma, g = second; break;
    case 1: r = second, g = chroma; break;
    case 2: g = chroma, b = second; break;
    case 3: g = second, b = chroma; break;
    case 4: r = second, b = chroma; break;
    default: r = chroma, b = second; break;
    }
    return {r + added, g + added, b + added};
}

std::array<double, 3> rgbFromHsv(double h, double s, double v)
{
    double const chroma = v * s;
    return rgbFromHueChroma(h, chroma, v - chroma);
}

std::array<double, 3> hslFromRgb(double r, double g, double b)
{
    double const high = std::max({r, g, b}), low = std::min({r, g, b});
    double const lightness = (high + low) / 2.0;
    double const chroma = high - low;
    double const saturation =
        chroma > 0.0 ? chroma / (1.0 - std::abs(2.0 * lightness - 1.0)) : 0.0;
    return {hsvFromRgb(r, g, b)[0], saturation, lightness};
}

std::array<double, 3> rgbFromHsl(double h, double s, double l)
{
    double const chroma = (1.0 - std::abs(2.0 * l - 1.0)) * s;
    return rgbFromHueChroma(h, chroma, l - chroma / 2.0);
}

// Linear RGB with the sRGB primaries and the D65 white point.
double const RgbToXyz[3][3] = {{0.4124564, 0.3575761, 0.1804375},
                               {0.2126729, 0.7151522, 0.0721750},
                               {0.0193339, 0.1191920, 0.9503041}};
double const XyzToRgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                               {-0.9692660, 1.8760108, 0.0415560},
                               {0.0556434, -0.2040259, 1.0572252}};
double const White[3] = {0.95047, 1.0, 1.08883};

std::array<double, 3> applied(double const (&m)[3][3], double a, double b, double c)
{
    return {m[0][0] * a + m[0][1] * b + m[0][2] * c, m[1][0] * a + m[1][1] * b + m[1][2] * c,
            m[2][0] * a + m[2][1] * b + m[2][2] * c};
}

double labF(double t)
{
    double const delta = 6.0 / 29.0;
    return t > delta * delta * delta ? std::cbrt(t) : t / (3.0 * delta * delta) + 4.0 / 29.0;
}

double labInverse(double t)
{
    double const delta = 6.0 / 29.0;
    return t > delta ? t * t * t : 3.0 * delta * delta * (t - 4.0 / 29.0);
}

std::array<double, 3> labFromXyz(double x, double y, double z)
{
    double const fx = labF(x / White[0]), fy = labF(y / White[1]), fz = labF(z / White[2]);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

std::array<double, 3> xyzFromLab(double l, double a, double b)
{
    double const fy = (l + 16.0) / 116.0;
    return {White[0] * labInverse(fy + a / 500.0), White[1] * labInverse(fy),
            White[2] * labInverse(fy - b / 200.0)};
}

std::array<double, 3> toRgb(int model, double const (&c)[3])
{
    switch (model)
    {
    case KOM_Color::HSV: return rgbFromHsv(c[0], c[1], c[2]);
    case KOM_Color::HSL: return rgbFromHsl(c[0], c[1], c[2]);
    case KOM_Color::XYZ: return applied(XyzToRgb, c[0], c[1], c[2]);
    case KOM_Color::LAB:
    {
        auto const xyz = xyzFromLab(c[0], c[1], c[2]);
        return applied(XyzToRgb, xyz[0], xyz[1], xyz[2]);
    }
    default: return {c[0], c[1], c[2]};
    }
}

std::array<double, 3> fromRgb(int model, std::array<double, 3> const &rgb)
{
    switch (model)
    {
    case KOM_Color::HSV: return hsvFromRgb(rgb[0], rgb[1], rgb[2]);
    case KOM_Color::HSL: return hslFromRgb(rgb[0], rgb[1], rgb[2]);
    case KOM_Color::XYZ: return applied(RgbToXyz, rgb[0], rgb[1], rgb[2]);
    case KOM_Color::LAB:
    {
        auto const xyz = applied(RgbToXyz, rgb[0], rgb[1], rgb[2]);
        return labFromXyz(xyz[0], xyz[1], xyz[2]);
    }
    default: return rgb;
    }
}

// The components in `model`: as stored when the colour was set in it, converted otherwise.
std::vector<float> componentsIn(KOM_Color const &color, int model)
{
    if (color.model == model)
        return {color.components[0], color.components[1], color.components[2]};
    double const stored[3] = {color.components[0], color.components[1], color.components[2]};
    auto const converted = fromRgb(model, toRgb(color.model, stored));
    return {float(converted[0]), float(converted[1]), float(converted[2])};
}

void setComponents(KOM_Color &color, int model, std::vector<float> const &values)
{
    float components[3];
    copyExactly<3>(values, components, "A colour");
    color.model = model;
    std::copy(components, components + 3, color.components);
}

std::string colorText(KOM_Color const &color)
{
    static char const *const names[] = {"HSV", "HSL", "RGB", "XYZ", "LAB"};
    char const *name = color.model >= KOM_Color::HSV && color.model <= KOM_Color::LAB
                           ? names[color.model]
                           : "?";
    return std::string("<kal.Color ") + name + " " + listed(color.components, 3, true) + ">";
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
            throw KOM_ValueError(("Expected 3 values, not " + std::to_string(values.size())).c_str());
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

// --- journal forms ---

JournalValue JournalFormat<KOM_Vector2>::format(KOM_Vector2 const &value)
{
    return journalValue(std::vector<float>{value.x, value.y});
}

JournalValue JournalFormat<KOM_Vector3>::format(KOM_Vector3 const &value)
{
    return journalValue(std::vector<float>{value.x, value.y, value.z});
}

JournalValue JournalFormat<KOM_Vector4>::format(KOM_Vector4 const &value)
{
    return journalValue(std::vector<float>{value.x, value.y, value.z, value.w});
}

JournalValue JournalFormat<KOM_Quaternion>::format(KOM_Quaternion const &value)
{
    return journalValue(std::vector<float>{value.x, value.y, value.z, value.w});
}

JournalValue JournalFormat<KOM_BoundingBox>::format(KOM_BoundingBox const &value)
{
    return journalValue(
        std::vector<float>{value.xmin, value.ymin, value.zmin, value.xmax, value.ymax, value.zmax});
}

JournalValue JournalFormat<KOM_Matrix3>::format(KOM_Matrix3 const &value)
{
    return journalValue(rowsOf<3>(value));
}

JournalValue JournalFormat<KOM_Matrix4>::format(KOM_Matrix4 const &value)
{
    return journalValue(rowsOf<4>(value));
}

JournalValue JournalFormat<KOM_Color>::format(KOM_Color const &value)
{
    return JournalValue::ofText(colorText(value));
}

// --- helpers for other families ---

KOM_kmath &theKmath()
{
    static HostKmath kmath;
    return kmath;
}

std::array<float, 3> rgbOf(KOM_Color const &color)
{
    auto const rgb = componentsIn(color, KOM_Color::RGB);
    return {rgb[0], rgb[1], rgb[2]};
}

KOM_Color colorFromRGB(float red, float green, float blue)
{
    KOM_Color color;
    color.components[0] = red;
    color.components[1] = green;
    color.components[2] = blue;
    return color;
}

KOM_Vector3 transformPoint(KOM_Vector3 const &point, KOM_Matrix4 const &matrix)
{
    double const v[4] = {point.x, point.y, point.z, 1.0};
    double out[4];
    for (int j = 0; j < 4; ++j)
        out[j] = v[0] * matrix.m[0][j] + v[1] * matrix.m[1][j] + v[2] * matrix.m[2][j] +
                 v[3] * matrix.m[3][j];
    double const w = out[3] != 0.0 ? out[3] : 1.0;
    return KOM_Vector3(float(out[0] / w), float(out[1] / w), float(out[2] / w));
}

KOM_Matrix3 rotationMatrix(KOM_Quaternion const &q)
{
    double const length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z +
                                    double(q.w) * q.w);
    if (!(length > 0.0))
        return KOM_Matrix3(1.0);
    double const x = q.x / length, y = q.y / length, z = q.z / length, w = q.w / length;
    // The column-vector matrix of q, transposed.
    KOM_Matrix3 r;
    r.m[0][0] = 1 - 2 * (y * y + z * z), r.m[1][0] = 2 * (x * y - z * w), r.m[2][0] = 2 * (x * z + y * w);
    r.m[0][1] = 2 * (x * y + z * w), r.m[1][1] = 1 - 2 * (x * x + z * z), r.m[2][1] = 2 * (y * z - x * w);
    r.m[0][2] = 2 * (x * z - y * w), r.m[1][2] = 2 * (y * z + x * w), r.m[2][2] = 1 - 2 * (x * x + y * y);
    return r;
}

KOM_Quaternion rotationQuaternion(KOM_Matrix3 const &rotation)
{
    // Shepperd's method on the column-vector form, choosing the largest diagonal term.
    auto const at = [&](int row, int column) { return rotation.m[column][row]; };
    double const trace = at(0, 0) + at(1, 1) + at(2, 2);
    double x, y, z, w;
    if (trace > 0.0)
    {
        double const s = 2.0 * std::sqrt(1.0 + trace);
        w = s / 4, x = (at(2, 1) - at(1, 2)) / s, y = (at(0, 2) - at(2, 0)) / s, z = (at(1, 0) - at(0, 1)) / s;
    }
    else if (at(0, 0) > at(1, 1) && at(0, 0) > at(2, 2))
    {
        double const s = 2.0 * std::sqrt(1.0 + at(0, 0) - at(1, 1) - at(2, 2));
        w = (at(2, 1) - at(1, 2)) / s, x = s / 4, y = (at(0, 1) + at(1, 0)) / s, z = (at(0, 2) + at(2, 0)) / s;
    }
    else if (at(1, 1) > at(2, 2))
    {
        double const s = 2.0 * std::sqrt(1.0 + at(1, 1) - at(0, 0) - at(2, 2));
        w = (at(0, 2) - at(2, 0)) / s, x = (at(0, 1) + at(1, 0)) / s, y = s / 4, z = (at(1, 2) + at(2, 1)) / s;
    }
    else
    {
        double const s = 2.0 * std::sqrt(1.0 + at(2, 2) - at(0, 0) - at(1, 1));
        w = (at(1, 0) - at(0, 1)) / s, x = (at(0, 2) + at(2, 0)) / s, y = (at(1, 2) + at(2, 1)) / s, z = s / 4;
    }
    return KOM_Quaternion(float(x), float(y), float(z), float(w));
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

// --- Vector2 ---

bool KOM_Vector2::isAlmostEqual(KOM_Vector2 &other, float tolerance)
{
    hostOperation("Vector2.isAlmostEqual", other, tolerance);
    return allWithin(&x, &other.x, 2, tolerance);
}

int KOM_Vector2::__hash__()
{
    hostOperation("Vector2.__hash__");
    return hashOf(&x, 2);
}

std::string KOM_Vector2::__str__()
{
    hostOperation("Vector2.__str__");
    return listed(&x, 2, true);
}

std::string KOM_Vector2::__repr__()
{
    hostOperation("Vector2.__repr__");
    return "<kal.Vector2 " + listed(&x, 2, true) + ">";
}

float KOM_Vector2::__getitem__(int index)
{
    hostOperation("Vector2.__getitem__", index);
    return (&x)[checkedIndex(index, 2, "Vector2")];
}

void KOM_Vector2::__setitem__(int index, float value)
{
    hostOperation("Vector2.__setitem__", index, value);
    (&x)[checkedIndex(index, 2, "Vector2")] = value;
}

void KOM_Vector2::setTo(std::vector<float> const &values)
{
    hostOperation("Vector2.setTo", values);
    copyExactly<2>(values, &x, "A Vector2");
}

KOM_Vector2 KOM_Vector2::normalized()
{
    hostOperation("Vector2.normalized");
    return normalizedCopy(*this, 2);
}

double KOM_Vector2::distanceTo(KOM_Vector2 &other)
{
    hostOperation("Vector2.distanceTo", other);
    return distance(&x, &other.x, 2);
}

// --- Vector3 ---

bool KOM_Vector3::isAlmostEqual(KOM_Vector3 &other, float tolerance)
{
    hostOperation("Vector3.isAlmostEqual", other, tolerance);
    return allWithin(&x, &other.x, 3, tolerance);
}

int KOM_Vector3::__hash__()
{
    hostOperation("Vector3.__hash__");
    return hashOf(&x, 3);
}

std::string KOM_Vector3::__str__()
{
    hostOperation("Vector3.__str__");
    return listed(&x, 3, true);
}

std::string KOM_Vector3::__repr__()
{
    hostOperation("Vector3.__repr__");
    return "<kal.Vector3 " + listed(&x, 3, true) + ">";
}

float KOM_Vector3::__getitem__(int index)
{
    hostOperation("Vector3.__getitem__", index);
    return (&x)[checkedIndex(index, 3, "Vector3")];
}

void KOM_Vector3::__setitem__(int index, float value)
{
    hostOperation("Vector3.__setitem__", index, value);
    (&x)[checkedIndex(index, 3, "Vector3")] = value;
}

void KOM_Vector3::setTo(std::vector<float> const &values)
{
    hostOperation("Vector3.setTo", values);
    copyExactly<3>(values, &x, "A Vector3");
}

KOM_Vector3 KOM_Vector3::__mul__(KOM_Matrix4 &matrix)
{
    hostOperation("Vector3.__mul__", matrix);
    return transformPoint(*this, matrix);
}

KOM_Vector3 KOM_Vector3::normalized()
{
    hostOperation("Vector3.normalized");
    return normalizedCopy(*this, 3);
}

double KOM_Vector3::distanceTo(KOM_Vector3 &other)
{
    hostOperation("Vector3.distanceTo", other);
    return distance(&x, &other.x, 3);
}

// --- Vector4 ---

bool KOM_Vector4::isAlmostEqual(KOM_Vector4 &other, float tolerance)
{
    hostOperation("Vector4.isAlmostEqual", other, tolerance);
    return allWithin(&x, &other.x, 4, tolerance);
}

int KOM_Vector4::__hash__()
{
    hostOperation("Vector4.__hash__");
    return hashOf(&x, 4);
}

std::string KOM_Vector4::__str__()
{
    hostOperation("Vector4.__str__");
    return listed(&x, 4, true);
}

std::string KOM_Vector4::__repr__()
{
    hostOperation("Vector4.__repr__");
    return "<kal.Vector4 " + listed(&x, 4, true) + ">";
}

float KOM_Vector4::__getitem__(int index)
{
    hostOperation("Vector4.__getitem__", index);
    return (&x)[checkedIndex(index, 4, "Vector4")];
}

void KOM_Vector4::__setitem__(int index, float value)
{
    hostOperation("Vector4.__setitem__", index, value);
    (&x)[checkedIndex(index, 4, "Vector4")] = value;
}

void KOM_Vector4::setTo(std::vector<float> const &values)
{
    hostOperation("Vector4.setTo", values);
    copyExactly<4>(values, &x, "A Vector4");
}

KOM_Vector4 KOM_Vector4::__mul__(KOM_Matrix4 &matrix)
{
    hostOperation("Vector4.__mul__", matrix);
    double out[4];
    for (int j = 0; j < 4; ++j)
        out[j] = double(x) * matrix.m[0][j] + double(y) * matrix.m[1][j] +
                 double(z) * matrix.m[2][j] + double(w) * matrix.m[3][j];
    return KOM_Vector4(float(out[0]), float(out[1]), float(out[2]), float(out[3]));
}

KOM_Vector4 KOM_Vector4::normalized()
{
    hostOperation("Vector4.normalized");
    return normalizedCopy(*this, 4);
}

double KOM_Vector4::distanceTo(KOM_Vector4 &other)
{
    hostOperation("Vector4.distanceTo", other);
    return distance(&x, &other.x, 4);
}

KOM_Vector3 KOM_Vector4::cross(KOM_Vector4 &other)
{
    hostOperation("Vector4.cross", other);
    KOM_Vector3 self(x, y, z), with(other.x, other.y, other.z);
    return self.cross(with);
}

// --- Quaternion ---

bool KOM_Quaternion::__eq__(KOM_Quaternion &other)
{
    hostOperation("Quaternion.__eq__", other);
    return x == other.x && y == other.y && z == other.z && w == other.w;
}

bool KOM_Quaternion::__ne__(KOM_Quaternion &other)
{
    hostOperation("Quaternion.__ne__", other);
    return !(x == other.x && y == other.y && z == other.z && w == other.w);
}

bool KOM_Quaternion::isAlmostEqual(KOM_Quaternion &other, float tolerance)
{
    hostOperation("Quaternion.isAlmostEqual", other, tolerance);
    return allWithin(&x, &other.x, 4, tolerance);
}

int KOM_Quaternion::__hash__()
{
    hostOperation("Quaternion.__hash__");
    return hashOf(&x, 4);
}

std::string KOM_Quaternion::__str__()
{
    hostOperation("Quaternion.__str__");
    return listed(&x, 4, true);
}

std::string KOM_Quaternion::__repr__()
{
    hostOperation("Quaternion.__repr__");
    return "<kal.Quaternion " + listed(&x, 4, true) + ">";
}

float KOM_Quaternion::__getitem__(int index)
{
    hostOperation("Quaternion.__getitem__", index);
    return (&x)[checkedIndex(index, 4, "Quaternion")];
}

void KOM_Quaternion::__setitem__(int index, float value)
{
    hostOperation("Quaternion.__setitem__", index, value);
    (&x)[checkedIndex(index, 4, "Quaternion")] = value;
}

void KOM_Quaternion::setTo(std::vector<float> const &values)
{
    hostOperation("Quaternion.setTo", values);
    copyExactly<4>(values, &x, "A Quaternion");
}

KOM_Quaternion KOM_Quaternion::__mul__(KOM_Quaternion &other)
{
    hostOperation("Quaternion.__mul__", other);
    double const ax = x, ay = y, az = z, aw = w, bx = other.x, by = other.y, bz = other.z, bw = other.w;
    return KOM_Quaternion(float(aw * bx + ax * bw + ay * bz - az * by),
                          float(aw * by - ax * bz + ay * bw + az * bx),
                          float(aw * bz + ax * by - ay * bx + az * bw),
                          float(aw * bw - ax * bx - ay * by - az * bz));
}

KOM_Quaternion KOM_Quaternion::normalized()
{
    hostOperation("Quaternion.normalized");
    return normalizedCopy(*this, 4);
}

// --- BoundingBox ---

bool KOM_BoundingBox::isAlmostEqual(KOM_BoundingBox &other, float tolerance)
{
    hostOperation("BoundingBox.isAlmostEqual", other, tolerance);
    return allWithin(&xmin, &other.xmin, 6, tolerance);
}

int KOM_BoundingBox::__hash__()
{
    hostOperation("BoundingBox.__hash__");
    return hashOf(&xmin, 6);
}

std::string KOM_BoundingBox::__str__()
{
    hostOperation("BoundingBox.__str__");
    float const corners[6] = {xmin, ymin, zmin, xmax, ymax, zmax};
    return listed(corners, 6, true);
}

std::string KOM_BoundingBox::__repr__()
{
    hostOperation("BoundingBox.__repr__");
    float const corners[6] = {xmin, ymin, zmin, xmax, ymax, zmax};
    return "<kal.BoundingBox " + listed(corners, 6, true) + ">";
}

KOM_BoundingBox KOM_BoundingBox::__mul__(KOM_Matrix4 const &matrix)
{
    hostOperation("BoundingBox.__mul__", matrix);
    KOM_BoundingBox result;
    for (int corner = 0; corner < 8; ++corner)
    {
        KOM_Vector3 const point = transformPoint(
            KOM_Vector3(corner & 1 ? xmax : xmin, corner & 2 ? ymax : ymin, corner & 4 ? zmax : zmin),
            matrix);
        if (corner == 0)
            result = KOM_BoundingBox(point.x, point.y, point.z, point.x, point.y, point.z);
        else
            result.enlargeToContain(point);
    }
    return result;
}

void KOM_BoundingBox::setTo(std::vector<float> const &values)
{
    hostOperation("BoundingBox.setTo", values);
    float corners[6];
    copyExactly<6>(values, corners, "A BoundingBox");
    *this = KOM_BoundingBox(corners[0], corners[1], corners[2], corners[3], corners[4], corners[5]);
}

void KOM_BoundingBox::enlargeToContain(KOM_Vector3 const &point)
{
    hostOperation("BoundingBox.enlargeToContain", point);
    xmin = std::min(xmin, point.x), xmax = std::max(xmax, point.x);
    ymin = std::min(ymin, point.y), ymax = std::max(ymax, point.y);
    zmin = std::min(zmin, point.z), zmax = std::max(zmax, point.z);
}

void KOM_BoundingBox::enlargeToContain(KOM_BoundingBox const &box)
{
    hostOperation("BoundingBox.enlargeToContain", box);
    xmin = std::min(xmin, box.xmin), xmax = std::max(xmax, box.xmax);
    ymin = std::min(ymin, box.ymin), ymax = std::max(ymax, box.ymax);
    zmin = std::min(zmin, box.zmin), zmax = std::max(zmax, box.zmax);
}

// --- Matrix3 ---

bool KOM_Matrix3::__eq__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__eq__", other);
    return std::equal(&m[0][0], &m[0][0] + 9, &other.m[0][0]);
}

bool KOM_Matrix3::isAlmostEqual(KOM_Matrix3 &other, double tolerance)
{
    hostOperation("Matrix3.isAlmostEqual", other, tolerance);
    return allWithin(&m[0][0], &other.m[0][0], 9, tolerance);
}

int KOM_Matrix3::__hash__()
{
    hostOperation("Matrix3.__hash__");
    return hashOf(&m[0][0], 9);
}

std::string KOM_Matrix3::__str__()
{
    hostOperation("Matrix3.__str__");
    return listedRows(m);
}

std::string KOM_Matrix3::__repr__()
{
    hostOperation("Matrix3.__repr__");
    return "<kal.Matrix3 " + listedRows(m) + ">";
}

double KOM_Matrix3::at(int row, int column)
{
    hostOperation("Matrix3.at", row, column);
    checkRowColumn(row, column, 3);
    return m[row][column];
}

std::vector<double> KOM_Matrix3::asTuple()
{
    hostOperation("Matrix3.asTuple");
    return std::vector<double>(&m[0][0], &m[0][0] + 9);
}

std::vector<std::vector<double> > KOM_Matrix3::asTupleOfTuples()
{
    hostOperation("Matrix3.asTupleOfTuples");
    return rowsOf<3>(*this);
}

void KOM_Matrix3::setAt(int row, int column, double value)
{
    hostOperation("Matrix3.setAt", row, column, value);
    checkRowColumn(row, column, 3);
    m[row][column] = value;
}

void KOM_Matrix3::setTo(std::vector<double> const &values)
{
    hostOperation("Matrix3.setTo", values);
    copyExactly<9>(values, &m[0][0], "A Matrix3");
}

void KOM_Matrix3::setTo(std::vector<std::vector<double> > const &rows)
{
    hostOperation("Matrix3.setTo", rows);
    setRows<3>(*this, rows, "A Matrix3");
}

KOM_Matrix3 KOM_Matrix3::__add__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__add__", other);
    KOM_Matrix3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[i][j] = m[i][j] + other.m[i][j];
    return result;
}

KOM_Matrix3 KOM_Matrix3::__sub__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__sub__", other);
    KOM_Matrix3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[i][j] = m[i][j] - other.m[i][j];
    return result;
}

KOM_Matrix3 KOM_Matrix3::__mul__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__mul__", other);
    return product<3>(*this, other);
}

KOM_Matrix3 KOM_Matrix3::__mul__(double scalar)
{
    hostOperation("Matrix3.__mul__", scalar);
    KOM_Matrix3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[i][j] = m[i][j] * scalar;
    return result;
}

KOM_Matrix3 KOM_Matrix3::preMult(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.preMult", other);
    return product<3>(other, *this);
}

KOM_Matrix3 KOM_Matrix3::transposed()
{
    hostOperation("Matrix3.transposed");
    return transposedOf<3>(*this);
}

KOM_Matrix3 KOM_Matrix3::inverted()
{
    hostOperation("Matrix3.inverted");
    return inverseOf<3>(*this);
}

KOM_Vector3 KOM_Matrix3::extractRotates(char const *rotate_order)
{
    hostOperation("Matrix3.extractRotates", rotate_order);
    auto const order = rotateOrder(rotate_order);
    return eulerAngles(decompose(*this, true).rotation, order);
}

// --- Matrix4 ---

bool KOM_Matrix4::isAlmostEqual(KOM_Matrix4 &other, double tolerance)
{
    hostOperation("Matrix4.isAlmostEqual", other, tolerance);
    return allWithin(&m[0][0], &other.m[0][0], 16, tolerance);
}

int KOM_Matrix4::__hash__()
{
    hostOperation("Matrix4.__hash__");
    return hashOf(&m[0][0], 16);
}

std::string KOM_Matrix4::__str__()
{
    hostOperation("Matrix4.__str__");
    return listedRows(m);
}

std::string KOM_Matrix4::__repr__()
{
    hostOperation("Matrix4.__repr__");
    return "<kal.Matrix4 " + listedRows(m) + ">";
}

double KOM_Matrix4::at(int row, int column)
{
    hostOperation("Matrix4.at", row, column);
    checkRowColumn(row, column, 4);
    return m[row][column];
}

std::vector<double> KOM_Matrix4::asTuple()
{
    hostOperation("Matrix4.asTuple");
    return std::vector<double>(&m[0][0], &m[0][0] + 16);
}

std::vector<std::vector<double> > KOM_Matrix4::asTupleOfTuples()
{
    hostOperation("Matrix4.asTupleOfTuples");
    return rowsOf<4>(*this);
}

void KOM_Matrix4::setAt(int row, int column, double value)
{
    hostOperation("Matrix4.setAt", row, column, value);
    checkRowColumn(row, column, 4);
    m[row][column] = value;
}

void KOM_Matrix4::setTo(std::vector<double> const &values)
{
    hostOperation("Matrix4.setTo", values);
    copyExactly<16>(values, &m[0][0], "A Matrix4");
}

void KOM_Matrix4::setTo(std::vector<std::vector<double> > const &rows)
{
    hostOperation("Matrix4.setTo", rows);
    setRows<4>(*this, rows, "A Matrix4");
}

KOM_Matrix4 KOM_Matrix4::__add__(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.__add__", other);
    KOM_Matrix4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][j] + other.m[i][j];
    return result;
}

KOM_Matrix4 KOM_Matrix4::__sub__(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.__sub__", other);
    KOM_Matrix4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][j] - other.m[i][j];
    return result;
}

KOM_Matrix4 KOM_Matrix4::__mul__(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.__mul__", other);
    return product<4>(*this, other);
}

KOM_Matrix4 KOM_Matrix4::__mul__(double scalar)
{
    hostOperation("Matrix4.__mul__", scalar);
    KOM_Matrix4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][j] * scalar;
    return result;
}

KOM_Matrix4 KOM_Matrix4::preMult(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.preMult", other);
    return product<4>(other, *this);
}

KOM_Matrix4 KOM_Matrix4::transposed()
{
    hostOperation("Matrix4.transposed");
    return transposedOf<4>(*this);
}

KOM_Matrix4 KOM_Matrix4::inverted()
{
    hostOperation("Matrix4.inverted");
    return inverseOf<4>(*this);
}

double KOM_Matrix4::cofactor(int row, int column)
{
    hostOperation("Matrix4.cofactor", row, column);
    checkRowColumn(row, column, 4);
    KOM_Matrix3 minor;
    for (int i = 0, r = 0; i < 4; ++i)
    {
        if (i == row)
            continue;
        for (int j = 0, c = 0; j < 4; ++j)
            if (j != column)
                minor.m[r][c++] = m[i][j];
        ++r;
    }
    return ((row + column) % 2 ? -1.0 : 1.0) * minor.determinant();
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

// --- Color ---

KOM_Color::KOM_Color(std::vector<float> const &rgb) : model(RGB), components{}
{
    hostOperation("Module.Color", rgb);
    setComponents(*this, RGB, rgb);
}

bool KOM_Color::__eq__(KOM_Color &other)
{
    hostOperation("Color.__eq__", other);
    return rgbOf(*this) == rgbOf(other);
}

bool KOM_Color::__ne__(KOM_Color &other)
{
    hostOperation("Color.__ne__", other);
    return rgbOf(*this) != rgbOf(other);
}

int KOM_Color::__hash__()
{
    hostOperation("Color.__hash__");
    auto const rgb = rgbOf(*this);
    return hashOf(rgb.data(), 3);
}

std::string KOM_Color::__repr__()
{
    hostOperation("Color.__repr__");
    return colorText(*this);
}

KOM_Color KOM_Color::__add__(KOM_Color &other)
{
    hostOperation("Color.__add__", other);
    auto const a = rgbOf(*this), b = rgbOf(other);
    return colorFromRGB(float(double(a[0]) + b[0]), float(double(a[1]) + b[1]),
                        float(double(a[2]) + b[2]));
}

KOM_Color KOM_Color::__mul__(float scalar)
{
    hostOperation("Color.__mul__", scalar);
    auto const a = rgbOf(*this);
    return colorFromRGB(float(double(a[0]) * scalar), float(double(a[1]) * scalar),
                        float(double(a[2]) * scalar));
}

std::vector<float> KOM_Color::rgb()
{
    hostOperation("Color.rgb");
    return componentsIn(*this, RGB);
}

std::vector<float> KOM_Color::hsv()
{
    hostOperation("Color.hsv");
    return componentsIn(*this, HSV);
}

std::vector<float> KOM_Color::hsl()
{
    hostOperation("Color.hsl");
    return componentsIn(*this, HSL);
}

std::vector<float> KOM_Color::xyz()
{
    hostOperation("Color.xyz");
    return componentsIn(*this, XYZ);
}

std::vector<float> KOM_Color::lab()
{
    hostOperation("Color.lab");
    return componentsIn(*this, LAB);
}

void KOM_Color::setRGB(std::vector<float> const &values)
{
    hostOperation("Color.setRGB", values);
    setComponents(*this, RGB, values);
}

void KOM_Color::setHSV(std::vector<float> const &values)
{
    hostOperation("Color.setHSV", values);
    setComponents(*this, HSV, values);
}

void KOM_Color::setHSL(std::vector<float> const &values)
{
    hostOperation("Color.setHSL", values);
    setComponents(*this, HSL, values);
}

void KOM_Color::setXYZ(std::vector<float> const &values)
{
    hostOperation("Color.setXYZ", values);
    setComponents(*this, XYZ, values);
}

void KOM_Color::setLAB(std::vector<float> const &values)
{
    hostOperation("Color.setLAB", values);
    setComponents(*this, LAB, values);
}
