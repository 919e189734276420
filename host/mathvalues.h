// The reference host's math library: the out-of-line members of the value classes of
// model/mathvalues.h, kal.kmath, and the helpers other families and tests use directly (they do
// not journal). Vectors, quaternions and boxes are in mathvalues.cpp, matrix arithmetic in
// mathvalues_matrix.cpp, rotations, decomposition and kmath in mathvalues_transform.cpp, colour
// models in mathvalues_color.cpp.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "host/journal.h"
#include "model/errors.h"
#include "model/mathvalues.h"

namespace kalhost
{

// In the journal: vectors, quaternions and boxes as tuples of their components (boxes in
// constructor order), matrices as tuples of rows, colours as their repr.
KALHOST_JOURNAL_FORMAT(KOM_Vector2);
KALHOST_JOURNAL_FORMAT(KOM_Vector3);
KALHOST_JOURNAL_FORMAT(KOM_Vector4);
KALHOST_JOURNAL_FORMAT(KOM_Quaternion);
KALHOST_JOURNAL_FORMAT(KOM_BoundingBox);
KALHOST_JOURNAL_FORMAT(KOM_Matrix3);
KALHOST_JOURNAL_FORMAT(KOM_Matrix4);
KALHOST_JOURNAL_FORMAT(KOM_Color);

KOM_kmath &theKmath();

// The colour's red, green and blue, whatever model it was set in.
std::array<float, 3> rgbOf(KOM_Color const &color);
KOM_Color colorFromRGB(float red, float green, float blue);

// The point (x, y, z, 1) * matrix, divided by its w unless that is 0.
KOM_Vector3 transformPoint(KOM_Vector3 const &point, KOM_Matrix4 const &matrix);

// The rotation of a unit quaternion as a row-vector matrix, and back: v * rotation(q) rotates v
// as q v q* does.
KOM_Matrix3 rotationMatrix(KOM_Quaternion const &rotation);
KOM_Quaternion rotationQuaternion(KOM_Matrix3 const &rotation);

// Rotation and transform orders: a permutation of "xyz" (axes 0, 1, 2) and of "srt". Anything
// else throws KOM_ValueError.
std::array<int, 3> rotateOrder(char const *order);
std::string transformOrder(char const *order);

// A transform from its parts as an object's parameters hold them: scale, then rotate about x,
// y and z (degrees), then translate.
KOM_Matrix4 transformFromParts(double const (&translate)[3], double const (&rotate)[3],
                               double const (&scale)[3]);
// The parts of such a transform (a shear in it is dropped); KOM_OperationFailed for a transform
// with a zero scale.
struct TransformParts
{
    double translate[3];
    double rotate[3];
    double scale[3];
};
TransformParts partsOfTransform(KOM_Matrix4 const &matrix);

// --- Within the family (host/mathvalues*.cpp) ---

template <std::size_t N, class T>
void copyExactly(std::vector<T> const &values, T *into, char const *what)
{
    if (values.size() != N)
        throw KOM_InvalidSize((std::string(what) + " takes " + std::to_string(N) + " values, not " +
                               std::to_string(values.size()))
                                  .c_str());
    std::copy(values.begin(), values.end(), into);
}

// Shortest text that reads back as the same float (`single`) or double.
std::string number(double value, bool single);

template <class T>
std::string listed(T const *values, int count, bool single)
{
    std::string text = "[";
    for (int i = 0; i < count; ++i)
        text += (i ? ", " : "") + number(values[i], single);
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

// Matrices of either size, as rows of doubles.
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

} // namespace kalhost
