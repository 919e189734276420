// Math value types: plain values, constructible from Python, returned as owned copies.
//
// The classes have no virtual operations, so their layout is exactly their fields, which the
// host's math library reads and writes in place. Members defined here are the binding's own
// arithmetic, compiled into the wrapper; members only declared here are the host's (defined by
// the application, host/mathvalues.cpp in the reference host). Intermediate results are double
// precision, stored back into the element type.
//
// Transforms act on row vectors (v * M) and compose as scale * rotate * translate; angles are
// in degrees everywhere except degToRad and radToDeg.
#pragma once

#include <cmath>
#include <map>
#include <string>
#include <vector>

class KOM_Matrix4;
class KOM_Vector3;

class KOM_Vector2
{
public:
    float x, y;

    // A new vector2: zero, from its components, or from a sequence of them.
    KOM_Vector2() : x(0.0f), y(0.0f) {}
    // A new vector2: zero, from its components, or from a sequence of them.
    KOM_Vector2(float x, float y) : x(x), y(y) {}
    // Filled by setTo: a sequence of the wrong length throws KOM_InvalidSize.
    // A new vector2: zero, from its components, or from a sequence of them.
    KOM_Vector2(std::vector<float> const &values) : x(0.0f), y(0.0f) { setTo(values); }

    // Whether every component is exactly equal.
    bool __eq__(KOM_Vector2 &other) { return x == other.x && y == other.y; }
    // Whether any component differs.
    bool __ne__(KOM_Vector2 &other) { return !__eq__(other); }
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_Vector2 &other, float tolerance = 1e-05f);
    // Whether every component is within a tolerance of the other's (as isAlmostEqual).
    bool almostEqual(KOM_Vector2 &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // Indices outside 0..1 throw std::out_of_range.
    // The component at an index (negative counts from the end).
    float __getitem__(int index);
    // Sets the component at an index.
    void __setitem__(int index, float value);
    // The number of components.
    int __len__() { return 2; }
    // Sets every component from a sequence.
    void setTo(std::vector<float> const &values);
    // The sum, component by component.
    KOM_Vector2 __add__(KOM_Vector2 &other)
    {
        return KOM_Vector2(float(double(x) + double(other.x)), float(double(y) + double(other.y)));
    }
    // The difference, component by component.
    KOM_Vector2 __sub__(KOM_Vector2 &other)
    {
        return KOM_Vector2(float(double(x) - double(other.x)), float(double(y) - double(other.y)));
    }
    // The value with every component negated.
    KOM_Vector2 __neg__() { return KOM_Vector2(-x, -y); }
    // The vector scaled by a number.
    KOM_Vector2 __mul__(float scalar)
    {
        return KOM_Vector2(float(double(x) * scalar), float(double(y) * scalar));
    }
    // The same direction with length 1.
    KOM_Vector2 normalized();
    // The length.
    double length() { return std::sqrt(lengthSquared()); }
    // The length squared, cheaper than length().
    double lengthSquared() { return double(x) * x + double(y) * y; }
    // The distance to another point.
    double distanceTo(KOM_Vector2 &other);
    // The dot product.
    double dot(KOM_Vector2 &other) { return double(x) * other.x + double(y) * other.y; }
};

class KOM_Vector3
{
public:
    float x, y, z;

    // A new vector3: zero, from its components, or from a sequence of them.
    KOM_Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    // A new vector3: zero, from its components, or from a sequence of them.
    KOM_Vector3(float x, float y, float z) : x(x), y(y), z(z) {}
    // A new vector3: zero, from its components, or from a sequence of them.
    KOM_Vector3(std::vector<float> const &values) : x(0.0f), y(0.0f), z(0.0f) { setTo(values); }

    // Whether every component is exactly equal.
    bool __eq__(KOM_Vector3 &other) { return x == other.x && y == other.y && z == other.z; }
    // Whether any component differs.
    bool __ne__(KOM_Vector3 &other) { return !__eq__(other); }
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_Vector3 &other, float tolerance = 1e-05f);
    // Whether every component is within a tolerance of the other's (as isAlmostEqual).
    bool almostEqual(KOM_Vector3 &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // The component at an index (negative counts from the end).
    float __getitem__(int index);
    // Sets the component at an index.
    void __setitem__(int index, float value);
    // The number of components.
    int __len__() { return 3; }
    // Sets every component from a sequence.
    void setTo(std::vector<float> const &values);
    // The sum, component by component.
    KOM_Vector3 __add__(KOM_Vector3 &other)
    {
        return KOM_Vector3(float(double(x) + double(other.x)), float(double(y) + double(other.y)),
                           float(double(z) + double(other.z)));
    }
    // The difference, component by component.
    KOM_Vector3 __sub__(KOM_Vector3 &other)
    {
        return KOM_Vector3(float(double(x) - double(other.x)), float(double(y) - double(other.y)),
                           float(double(z) - double(other.z)));
    }
    // The value with every component negated.
    KOM_Vector3 __neg__() { return KOM_Vector3(-x, -y, -z); }
    // The point transformed by the matrix: (x, y, z, 1) * M, divided by the resulting w.
    // The row vector transformed by a matrix (vector * matrix).
    KOM_Vector3 __mul__(KOM_Matrix4 &matrix);
    // The value scaled by a number.
    KOM_Vector3 __mul__(float scalar)
    {
        return KOM_Vector3(float(double(x) * scalar), float(double(y) * scalar),
                           float(double(z) * scalar));
    }
    // The same direction with length 1.
    KOM_Vector3 normalized();
    // The length.
    double length() { return std::sqrt(lengthSquared()); }
    // The length squared, cheaper than length().
    double lengthSquared() { return double(x) * x + double(y) * y + double(z) * z; }
    // The distance to another point.
    double distanceTo(KOM_Vector3 &other);
    // The dot product.
    double dot(KOM_Vector3 &other)
    {
        return double(x) * other.x + double(y) * other.y + double(z) * other.z;
    }
    // The cross product.
    KOM_Vector3 cross(KOM_Vector3 &other)
    {
        return KOM_Vector3(float(double(y) * other.z - double(z) * other.y),
                           float(double(z) * other.x - double(x) * other.z),
                           float(double(x) * other.y - double(y) * other.x));
    }
};

class KOM_Vector4
{
public:
    float x, y, z, w;

    // A new vector4: zero, from its components, or from a sequence of them.
    KOM_Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    // A new vector4: zero, from its components, or from a sequence of them.
    KOM_Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    // A new vector4: zero, from its components, or from a sequence of them.
    KOM_Vector4(std::vector<float> const &values) : x(0.0f), y(0.0f), z(0.0f), w(0.0f)
    {
        setTo(values);
    }

    // Whether every component is exactly equal.
    bool __eq__(KOM_Vector4 &other)
    {
        return x == other.x && y == other.y && z == other.z && w == other.w;
    }
    // Whether any component differs.
    bool __ne__(KOM_Vector4 &other) { return !__eq__(other); }
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_Vector4 &other, float tolerance = 1e-05f);
    // Whether every component is within a tolerance of the other's (as isAlmostEqual).
    bool almostEqual(KOM_Vector4 &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // The component at an index (negative counts from the end).
    float __getitem__(int index);
    // Sets the component at an index.
    void __setitem__(int index, float value);
    // The number of components.
    int __len__() { return 4; }
    // Sets every component from a sequence.
    void setTo(std::vector<float> const &values);
    // The sum, component by component.
    KOM_Vector4 __add__(KOM_Vector4 &other)
    {
        return KOM_Vector4(float(double(x) + double(other.x)), float(double(y) + double(other.y)),
                           float(double(z) + double(other.z)), float(double(w) + double(other.w)));
    }
    // The difference, component by component.
    KOM_Vector4 __sub__(KOM_Vector4 &other)
    {
        return KOM_Vector4(float(double(x) - double(other.x)), float(double(y) - double(other.y)),
                           float(double(z) - double(other.z)), float(double(w) - double(other.w)));
    }
    // (x, y, z, w) * M.
    // The row vector transformed by a matrix (vector * matrix).
    KOM_Vector4 __mul__(KOM_Matrix4 &matrix);
    // The value scaled by a number.
    KOM_Vector4 __mul__(float scalar)
    {
        return KOM_Vector4(float(double(x) * scalar), float(double(y) * scalar),
                           float(double(z) * scalar), float(double(w) * scalar));
    }
    // The same direction with length 1.
    KOM_Vector4 normalized();
    // The length.
    double length() { return std::sqrt(lengthSquared()); }
    // The length squared, cheaper than length().
    double lengthSquared()
    {
        return double(x) * x + double(y) * y + double(z) * z + double(w) * w;
    }
    // The distance to another point.
    double distanceTo(KOM_Vector4 &other);
    // The dot product.
    double dot(KOM_Vector4 &other)
    {
        return double(x) * other.x + double(y) * other.y + double(z) * other.z +
               double(w) * other.w;
    }
    // The cross product of the x, y, z parts; w takes no part.
    // The cross product.
    KOM_Vector3 cross(KOM_Vector4 &other);
};

// x, y, z (the imaginary part), then w (the real part).
class KOM_Quaternion
{
public:
    float x, y, z, w;

    // A new quaternion: zero, or from x, y, z and w.
    KOM_Quaternion() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    // A new quaternion: zero, or from x, y, z and w.
    KOM_Quaternion(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

    // Whether every component is exactly equal.
    bool __eq__(KOM_Quaternion &other);
    // Whether any component differs.
    bool __ne__(KOM_Quaternion &other);
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_Quaternion &other, float tolerance = 1e-05f);
    // Whether every component is within a tolerance of the other's (as isAlmostEqual).
    bool almostEqual(KOM_Quaternion &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // The component at an index (negative counts from the end).
    float __getitem__(int index);
    // Sets the component at an index.
    void __setitem__(int index, float value);
    // The number of components.
    int __len__() { return 4; }
    // Sets every component from a sequence.
    void setTo(std::vector<float> const &values);
    // The sum, component by component.
    KOM_Quaternion __add__(KOM_Quaternion &other)
    {
        return KOM_Quaternion(float(double(x) + double(other.x)), float(double(y) + double(other.y)),
                              float(double(z) + double(other.z)), float(double(w) + double(other.w)));
    }
    // The difference, component by component.
    KOM_Quaternion __sub__(KOM_Quaternion &other)
    {
        return KOM_Quaternion(float(double(x) - double(other.x)), float(double(y) - double(other.y)),
                              float(double(z) - double(other.z)), float(double(w) - double(other.w)));
    }
    // The Hamilton product self * other: as a rotation, other first, then self.
    // The product of two rotations: this one after the other.
    KOM_Quaternion __mul__(KOM_Quaternion &other);
    // The quaternion scaled by a number.
    KOM_Quaternion __mul__(float scalar)
    {
        return KOM_Quaternion(float(double(x) * scalar), float(double(y) * scalar),
                              float(double(z) * scalar), float(double(w) * scalar));
    }
    // The same direction with length 1.
    KOM_Quaternion normalized();
    // The quaternion's length (1 for a rotation).
    double length()
    {
        return std::sqrt(double(x) * x + double(y) * y + double(z) * z + double(w) * w);
    }
};

class KOM_BoundingBox
{
public:
    float xmin, xmax, ymin, ymax, zmin, zmax;

    // A new box: empty at the origin, or from its minimum and maximum corners.
    KOM_BoundingBox() : xmin(0.0f), xmax(0.0f), ymin(0.0f), ymax(0.0f), zmin(0.0f), zmax(0.0f) {}
    // A new box: empty at the origin, or from its minimum and maximum corners.
    KOM_BoundingBox(float xmin, float ymin, float zmin, float xmax, float ymax, float zmax)
        : xmin(xmin), xmax(xmax), ymin(ymin), ymax(ymax), zmin(zmin), zmax(zmax)
    {
    }

    // Whether every component is exactly equal.
    bool __eq__(KOM_BoundingBox &other)
    {
        return xmin == other.xmin && xmax == other.xmax && ymin == other.ymin &&
               ymax == other.ymax && zmin == other.zmin && zmax == other.zmax;
    }
    // Whether any component differs.
    bool __ne__(KOM_BoundingBox &other) { return !__eq__(other); }
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_BoundingBox &other, float tolerance = 1e-05f);
    // Whether every component is within a tolerance of the other's (as isAlmostEqual).
    bool almostEqual(KOM_BoundingBox &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // The box around the eight transformed corners.
    // The box that holds this one transformed by a matrix.
    KOM_BoundingBox __mul__(KOM_Matrix4 const &matrix);
    // xmin, ymin, zmin, xmax, ymax, zmax, as the constructor takes them.
    // Sets the corners from six numbers: xmin, ymin, zmin, xmax, ymax, zmax.
    void setTo(std::vector<float> const &values);
    // The corner with the lowest coordinates.
    KOM_Vector3 minvec() { return KOM_Vector3(xmin, ymin, zmin); }
    // The corner with the highest coordinates.
    KOM_Vector3 maxvec() { return KOM_Vector3(xmax, ymax, zmax); }
    // The box's size along each axis.
    KOM_Vector3 sizevec()
    {
        return KOM_Vector3(float(double(xmax) - xmin), float(double(ymax) - ymin),
                           float(double(zmax) - zmin));
    }
    // The box's centre.
    KOM_Vector3 center()
    {
        return KOM_Vector3(float((double(xmin) + xmax) * 0.5), float((double(ymin) + ymax) * 0.5),
                           float((double(zmin) + zmax) * 0.5));
    }
    // The point form is declared first, so that a kal.Vector3 picks it.
    // Grows the box to hold a point.
    void enlargeToContain(KOM_Vector3 const &point);
    // Grows the box to hold another box.
    void enlargeToContain(KOM_BoundingBox const &box);
};

class KOM_Matrix3
{
public:
    double m[3][3];

    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix3() : m{} {}
    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix3(double diagonal) : m{{diagonal, 0.0, 0.0}, {0.0, diagonal, 0.0}, {0.0, 0.0, diagonal}}
    {
    }
    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix3(std::vector<double> const &values) : m{} { setTo(values); }

    // Whether every component is exactly equal.
    bool __eq__(KOM_Matrix3 &other);
    // Whether any component differs.
    bool __ne__(KOM_Matrix3 &other) { return !__eq__(other); }
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_Matrix3 &other, double tolerance = 1e-05);
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // Rows and columns outside 0..2 throw std::out_of_range.
    // The entry at a row and column.
    double at(int row, int column);
    // Every entry, row after row.
    std::vector<double> asTuple();
    // The rows, each a tuple of entries.
    std::vector<std::vector<double> > asTupleOfTuples();
    // Sets the entry at a row and column.
    void setAt(int row, int column, double value);
    // Nine numbers row by row, or three rows of three; anything else throws KOM_InvalidSize.
    // Sets every entry from a sequence, row after row.
    void setTo(std::vector<double> const &values);
    // Sets the entries from a sequence of rows.
    void setTo(std::vector<std::vector<double> > const &rows);
    // Makes the matrix the identity.
    void setToIdentity()
    {
        setToZero();
        m[0][0] = m[1][1] = m[2][2] = 1.0;
    }
    // Sets every entry to zero.
    void setToZero()
    {
        for (auto &row : m)
            for (double &entry : row)
                entry = 0.0;
    }
    // The sum, entry by entry.
    KOM_Matrix3 __add__(KOM_Matrix3 &other);
    // The difference, entry by entry.
    KOM_Matrix3 __sub__(KOM_Matrix3 &other);
    // self * other; the matrix form is declared first, so that a matrix operand picks it.
    // The product: this transform followed by the other.
    KOM_Matrix3 __mul__(KOM_Matrix3 &other);
    // The matrix scaled by a number.
    KOM_Matrix3 __mul__(double scalar);
    // other * self.
    // The product the other way round: the other transform followed by this one.
    KOM_Matrix3 preMult(KOM_Matrix3 &other);
    // The matrix with rows and columns swapped.
    KOM_Matrix3 transposed();
    // A singular matrix throws KOM_OperationFailed.
    // The inverse matrix.
    KOM_Matrix3 inverted();
    // The determinant.
    double determinant()
    {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) +
               m[0][1] * (m[1][2] * m[2][0] - m[1][0] * m[2][2]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    }
    // The rotation, in degrees, of a rotation-and-scale matrix; a bad order throws
    // KOM_ValueError, a degenerate matrix KOM_OperationFailed.
    // The rotation angles in degrees that the matrix applies, in a rotation order.
    KOM_Vector3 extractRotates(char const *rotate_order = "xyz");
};

class KOM_Matrix4
{
public:
    double m[4][4];

    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix4() : m{} {}
    // The diagonal passes through single precision first.
    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix4(double diagonal) : m{}
    {
        double const value = float(diagonal);
        m[0][0] = m[1][1] = m[2][2] = m[3][3] = value;
    }
    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix4(std::vector<double> const &values) : m{} { setTo(values); }
    // A new matrix: zero, the identity scaled by a number, or from its entries or rows.
    KOM_Matrix4(std::vector<std::vector<double> > const &rows) : m{} { setTo(rows); }

    // Whether every component is exactly equal.
    bool __eq__(KOM_Matrix4 &other)
    {
        if (this == &other)
            return true;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                if (!(m[i][j] == other.m[i][j]))
                    return false;
        return true;
    }
    // Whether any component differs.
    bool __ne__(KOM_Matrix4 &other) { return !__eq__(other); }
    // Whether every component is within a tolerance of the other's.
    bool isAlmostEqual(KOM_Matrix4 &other, double tolerance = 1e-05);
    // A hash equal for equal values.
    int __hash__();
    // The components as print shows them.
    std::string __str__();
    // How the value shows at the prompt.
    std::string __repr__();
    // The entry at a row and column.
    double at(int row, int column);
    // Every entry, row after row.
    std::vector<double> asTuple();
    // The rows, each a tuple of entries.
    std::vector<std::vector<double> > asTupleOfTuples();
    // Sets the entry at a row and column.
    void setAt(int row, int column, double value);
    // Sets every entry from a sequence, row after row.
    void setTo(std::vector<double> const &values);
    // Sets the entries from a sequence of rows.
    void setTo(std::vector<std::vector<double> > const &rows);
    // Makes the matrix the identity.
    void setToIdentity()
    {
        setToZero();
        m[0][0] = m[1][1] = m[2][2] = m[3][3] = 1.0;
    }
    // Sets every entry to zero.
    void setToZero()
    {
        for (auto &row : m)
            for (double &entry : row)
                entry = 0.0;
    }
    // The sum, entry by entry.
    KOM_Matrix4 __add__(KOM_Matrix4 &other);
    // The difference, entry by entry.
    KOM_Matrix4 __sub__(KOM_Matrix4 &other);
    // The product: this transform followed by the other.
    KOM_Matrix4 __mul__(KOM_Matrix4 &other);
    // The matrix scaled by a number.
    KOM_Matrix4 __mul__(double scalar);
    // The product the other way round: the other transform followed by this one.
    KOM_Matrix4 preMult(KOM_Matrix4 &other);
    // The matrix with rows and columns swapped.
    KOM_Matrix4 transposed();
    // The inverse matrix.
    KOM_Matrix4 inverted();
    // The determinant.
    double determinant()
    {
        double sum = 0.0;
        for (int j = 0; j < 4; ++j)
            sum += m[0][j] * cofactor(0, j);
        return sum;
    }
    // (-1)^(row + column) times the minor without that row and column; not exposed.
    // The cofactor of an entry.
    double cofactor(int row, int column);

    // Decomposition of a transform built as the transform order says (each letter of "srt":
    // scale-and-shear, rotate, translate, leftmost applied first) about the pivot, with the
    // rotation in the rotate order; angles in degrees. A bad order throws KOM_ValueError, a
    // matrix with no such decomposition KOM_OperationFailed.
    // The rotation angles in degrees that the matrix applies, in a rotation order.
    KOM_Vector3 extractRotates(char const *transform_order = "srt", char const *rotate_order = "xyz",
                               KOM_Vector3 const &pivot = KOM_Vector3());
    // Keys "translate", "rotate", "scale" and "shear".
    // The translate, rotate, scale and shear the matrix applies, by name.
    std::map<std::string, KOM_Vector3> explode(char const *transform_order = "srt",
                                               char const *rotate_order = "xyz",
                                               KOM_Vector3 const &pivot = KOM_Vector3());
    // The translation the matrix applies.
    KOM_Vector3 extractTranslates(char const *transform_order = "srt");
    // The scale the matrix applies.
    KOM_Vector3 extractScales(char const *transform_order = "srt",
                              KOM_Vector3 const &pivot = KOM_Vector3());
    // The shear the matrix applies.
    KOM_Vector3 extractShears(char const *transform_order = "srt",
                              KOM_Vector3 const &pivot = KOM_Vector3());
};

// The host's colour value: a colour model and that model's three components, kept as set.
class KOM_Color
{
public:
    // Colour-model codes.
    enum Model { HSV = 0, HSL = 1, RGB = 2, XYZ = 3, LAB = 4 };

    int model;
    float components[3];

    // A new colour: black, or from red, green and blue.
    KOM_Color() : model(RGB), components{0.0f, 0.0f, 0.0f} {}
    // Red, green and blue; any other length throws KOM_InvalidSize.
    // A new colour: black, or from red, green and blue.
    KOM_Color(std::vector<float> const &rgb);

    // Whether every component is exactly equal.
    bool __eq__(KOM_Color &other);
    // Whether any component differs.
    bool __ne__(KOM_Color &other);
    // A hash equal for equal values.
    int __hash__();
    // How the value shows at the prompt.
    std::string __repr__();
    // Sum and product in RGB; an RGB colour's components are added and scaled as set.
    // The sum of two colours, channel by channel.
    KOM_Color __add__(KOM_Color &other);
    // The colour scaled by a number.
    KOM_Color __mul__(float scalar);
    // The colour as (red, green, blue).
    std::vector<float> rgb();
    // The colour as (hue, saturation, value).
    std::vector<float> hsv();
    // The colour as (hue, saturation, lightness).
    std::vector<float> hsl();
    // The colour in CIE XYZ.
    std::vector<float> xyz();
    // The colour in CIE Lab.
    std::vector<float> lab();
    // Sets the colour from (red, green, blue).
    void setRGB(std::vector<float> const &values);
    // Sets the colour from (hue, saturation, value).
    void setHSV(std::vector<float> const &values);
    // Sets the colour from (hue, saturation, lightness).
    void setHSL(std::vector<float> const &values);
    // Sets the colour from CIE XYZ.
    void setXYZ(std::vector<float> const &values);
    // Sets the colour from CIE Lab.
    void setLAB(std::vector<float> const &values);
};

// Builds transformation matrices; the host keeps the one object kal.kmath reaches.
class KOM_kmath
{
public:
    virtual ~KOM_kmath() {}

    // How the namespace shows at the prompt.
    virtual std::string __repr__() = 0;
    // The identity transform.
    virtual KOM_Matrix4 identityTransform() = 0;
    // A transform moving by x, y and z.
    virtual KOM_Matrix4 buildTranslate(double x, double y, double z) = 0;
    // A transform moving by x, y and z.
    virtual KOM_Matrix4 buildTranslate(std::vector<double> const &values) = 0;
    // A transform moving by x, y and z.
    virtual KOM_Matrix4 buildTranslate(KOM_Vector3 const &values) = 0;
    // A transform scaling by x, y and z.
    virtual KOM_Matrix4 buildScale(double x, double y, double z) = 0;
    // A transform scaling by x, y and z.
    virtual KOM_Matrix4 buildScale(std::vector<double> const &values) = 0;
    // A transform scaling by x, y and z.
    virtual KOM_Matrix4 buildScale(KOM_Vector3 const &values) = 0;
    // A transform shearing by xy, xz and yz.
    virtual KOM_Matrix4 buildShear(double x, double y, double z) = 0;
    // A transform shearing by xy, xz and yz.
    virtual KOM_Matrix4 buildShear(std::vector<double> const &values) = 0;
    // A transform shearing by xy, xz and yz.
    virtual KOM_Matrix4 buildShear(KOM_Vector3 const &values) = 0;
    // Angles in degrees about x, y and z, applied in the order given ("xyz": x first).
    // A transform rotating by angles in degrees about x, y and z, in a rotation order.
    virtual KOM_Matrix4 buildRotate(double x, double y, double z, char const *order = "xyz") = 0;
    // A transform rotating by angles in degrees about x, y and z, in a rotation order.
    virtual KOM_Matrix4 buildRotate(std::vector<double> const &values, char const *order = "xyz") = 0;
    // A transform rotating by angles in degrees about x, y and z, in a rotation order.
    virtual KOM_Matrix4 buildRotate(KOM_Vector3 const &values, char const *order = "xyz") = 0;
    // A transform rotating by an angle in degrees about an axis.
    virtual KOM_Matrix4 buildRotateAboutAxis(std::vector<double> const &axis, double angle) = 0;
    // A transform rotating by an angle in degrees about an axis.
    virtual KOM_Matrix4 buildRotateAboutAxis(KOM_Vector3 const &axis, double angle) = 0;
    // An angle in degrees, in radians.
    virtual double degToRad(double degrees) = 0;
    // An angle in radians, in degrees.
    virtual double radToDeg(double radians) = 0;
};
