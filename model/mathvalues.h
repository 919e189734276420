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

    KOM_Vector2() : x(0.0f), y(0.0f) {}
    KOM_Vector2(float x, float y) : x(x), y(y) {}
    // Filled by setTo: a sequence of the wrong length throws KOM_InvalidSize.
    KOM_Vector2(std::vector<float> const &values) : x(0.0f), y(0.0f) { setTo(values); }

    bool __eq__(KOM_Vector2 &other) { return x == other.x && y == other.y; }
    bool __ne__(KOM_Vector2 &other) { return !__eq__(other); }
    bool isAlmostEqual(KOM_Vector2 &other, float tolerance = 1e-05f);
    bool almostEqual(KOM_Vector2 &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    int __hash__();
    std::string __str__();
    std::string __repr__();
    // Indices outside 0..1 throw std::out_of_range.
    float __getitem__(int index);
    void __setitem__(int index, float value);
    int __len__() { return 2; }
    void setTo(std::vector<float> const &values);
    KOM_Vector2 __add__(KOM_Vector2 &other)
    {
        return KOM_Vector2(float(double(x) + double(other.x)), float(double(y) + double(other.y)));
    }
    KOM_Vector2 __sub__(KOM_Vector2 &other)
    {
        return KOM_Vector2(float(double(x) - double(other.x)), float(double(y) - double(other.y)));
    }
    KOM_Vector2 __neg__() { return KOM_Vector2(-x, -y); }
    KOM_Vector2 __mul__(float scalar)
    {
        return KOM_Vector2(float(double(x) * scalar), float(double(y) * scalar));
    }
    KOM_Vector2 normalized();
    double length() { return std::sqrt(lengthSquared()); }
    double lengthSquared() { return double(x) * x + double(y) * y; }
    double distanceTo(KOM_Vector2 &other);
    double dot(KOM_Vector2 &other) { return double(x) * other.x + double(y) * other.y; }
};

class KOM_Vector3
{
public:
    float x, y, z;

    KOM_Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    KOM_Vector3(float x, float y, float z) : x(x), y(y), z(z) {}
    KOM_Vector3(std::vector<float> const &values) : x(0.0f), y(0.0f), z(0.0f) { setTo(values); }

    bool __eq__(KOM_Vector3 &other) { return x == other.x && y == other.y && z == other.z; }
    bool __ne__(KOM_Vector3 &other) { return !__eq__(other); }
    bool isAlmostEqual(KOM_Vector3 &other, float tolerance = 1e-05f);
    bool almostEqual(KOM_Vector3 &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    int __hash__();
    std::string __str__();
    std::string __repr__();
    float __getitem__(int index);
    void __setitem__(int index, float value);
    int __len__() { return 3; }
    void setTo(std::vector<float> const &values);
    KOM_Vector3 __add__(KOM_Vector3 &other)
    {
        return KOM_Vector3(float(double(x) + double(other.x)), float(double(y) + double(other.y)),
                           float(double(z) + double(other.z)));
    }
    KOM_Vector3 __sub__(KOM_Vector3 &other)
    {
        return KOM_Vector3(float(double(x) - double(other.x)), float(double(y) - double(other.y)),
                           float(double(z) - double(other.z)));
    }
    KOM_Vector3 __neg__() { return KOM_Vector3(-x, -y, -z); }
    // The point transformed by the matrix: (x, y, z, 1) * M, divided by the resulting w.
    KOM_Vector3 __mul__(KOM_Matrix4 &matrix);
    KOM_Vector3 __mul__(float scalar)
    {
        return KOM_Vector3(float(double(x) * scalar), float(double(y) * scalar),
                           float(double(z) * scalar));
    }
    KOM_Vector3 normalized();
    double length() { return std::sqrt(lengthSquared()); }
    double lengthSquared() { return double(x) * x + double(y) * y + double(z) * z; }
    double distanceTo(KOM_Vector3 &other);
    double dot(KOM_Vector3 &other)
    {
        return double(x) * other.x + double(y) * other.y + double(z) * other.z;
    }
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

    KOM_Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    KOM_Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    KOM_Vector4(std::vector<float> const &values) : x(0.0f), y(0.0f), z(0.0f), w(0.0f)
    {
        setTo(values);
    }

    bool __eq__(KOM_Vector4 &other)
    {
        return x == other.x && y == other.y && z == other.z && w == other.w;
    }
    bool __ne__(KOM_Vector4 &other) { return !__eq__(other); }
    bool isAlmostEqual(KOM_Vector4 &other, float tolerance = 1e-05f);
    bool almostEqual(KOM_Vector4 &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    int __hash__();
    std::string __str__();
    std::string __repr__();
    float __getitem__(int index);
    void __setitem__(int index, float value);
    int __len__() { return 4; }
    void setTo(std::vector<float> const &values);
    KOM_Vector4 __add__(KOM_Vector4 &other)
    {
        return KOM_Vector4(float(double(x) + double(other.x)), float(double(y) + double(other.y)),
                           float(double(z) + double(other.z)), float(double(w) + double(other.w)));
    }
    KOM_Vector4 __sub__(KOM_Vector4 &other)
    {
        return KOM_Vector4(float(double(x) - double(other.x)), float(double(y) - double(other.y)),
                           float(double(z) - double(other.z)), float(double(w) - double(other.w)));
    }
    // (x, y, z, w) * M.
    KOM_Vector4 __mul__(KOM_Matrix4 &matrix);
    KOM_Vector4 __mul__(float scalar)
    {
        return KOM_Vector4(float(double(x) * scalar), float(double(y) * scalar),
                           float(double(z) * scalar), float(double(w) * scalar));
    }
    KOM_Vector4 normalized();
    double length() { return std::sqrt(lengthSquared()); }
    double lengthSquared()
    {
        return double(x) * x + double(y) * y + double(z) * z + double(w) * w;
    }
    double distanceTo(KOM_Vector4 &other);
    double dot(KOM_Vector4 &other)
    {
        return double(x) * other.x + double(y) * other.y + double(z) * other.z +
               double(w) * other.w;
    }
    // The cross product of the x, y, z parts; w takes no part.
    KOM_Vector3 cross(KOM_Vector4 &other);
};

// x, y, z (the imaginary part), then w (the real part).
class KOM_Quaternion
{
public:
    float x, y, z, w;

    KOM_Quaternion() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    KOM_Quaternion(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

    bool __eq__(KOM_Quaternion &other);
    bool __ne__(KOM_Quaternion &other);
    bool isAlmostEqual(KOM_Quaternion &other, float tolerance = 1e-05f);
    bool almostEqual(KOM_Quaternion &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    int __hash__();
    std::string __str__();
    std::string __repr__();
    float __getitem__(int index);
    void __setitem__(int index, float value);
    int __len__() { return 4; }
    void setTo(std::vector<float> const &values);
    KOM_Quaternion __add__(KOM_Quaternion &other)
    {
        return KOM_Quaternion(float(double(x) + double(other.x)), float(double(y) + double(other.y)),
                              float(double(z) + double(other.z)), float(double(w) + double(other.w)));
    }
    KOM_Quaternion __sub__(KOM_Quaternion &other)
    {
        return KOM_Quaternion(float(double(x) - double(other.x)), float(double(y) - double(other.y)),
                              float(double(z) - double(other.z)), float(double(w) - double(other.w)));
    }
    // The Hamilton product self * other: as a rotation, other first, then self.
    KOM_Quaternion __mul__(KOM_Quaternion &other);
    KOM_Quaternion __mul__(float scalar)
    {
        return KOM_Quaternion(float(double(x) * scalar), float(double(y) * scalar),
                              float(double(z) * scalar), float(double(w) * scalar));
    }
    KOM_Quaternion normalized();
    double length()
    {
        return std::sqrt(double(x) * x + double(y) * y + double(z) * z + double(w) * w);
    }
};

class KOM_BoundingBox
{
public:
    float xmin, xmax, ymin, ymax, zmin, zmax;

    KOM_BoundingBox() : xmin(0.0f), xmax(0.0f), ymin(0.0f), ymax(0.0f), zmin(0.0f), zmax(0.0f) {}
    KOM_BoundingBox(float xmin, float ymin, float zmin, float xmax, float ymax, float zmax)
        : xmin(xmin), xmax(xmax), ymin(ymin), ymax(ymax), zmin(zmin), zmax(zmax)
    {
    }

    bool __eq__(KOM_BoundingBox &other)
    {
        return xmin == other.xmin && xmax == other.xmax && ymin == other.ymin &&
               ymax == other.ymax && zmin == other.zmin && zmax == other.zmax;
    }
    bool __ne__(KOM_BoundingBox &other) { return !__eq__(other); }
    bool isAlmostEqual(KOM_BoundingBox &other, float tolerance = 1e-05f);
    bool almostEqual(KOM_BoundingBox &other, float tolerance = 1e-05f)
    {
        return isAlmostEqual(other, tolerance);
    }
    int __hash__();
    std::string __str__();
    std::string __repr__();
    // The box around the eight transformed corners.
    KOM_BoundingBox __mul__(KOM_Matrix4 const &matrix);
    // xmin, ymin, zmin, xmax, ymax, zmax, as the constructor takes them.
    void setTo(std::vector<float> const &values);
    KOM_Vector3 minvec() { return KOM_Vector3(xmin, ymin, zmin); }
    KOM_Vector3 maxvec() { return KOM_Vector3(xmax, ymax, zmax); }
    KOM_Vector3 sizevec()
    {
        return KOM_Vector3(float(double(xmax) - xmin), float(double(ymax) - ymin),
                           float(double(zmax) - zmin));
    }
    KOM_Vector3 center()
    {
        return KOM_Vector3(float((double(xmin) + xmax) * 0.5), float((double(ymin) + ymax) * 0.5),
                           float((double(zmin) + zmax) * 0.5));
    }
    // The point form is declared first, so that a kal.Vector3 picks it.
    void enlargeToContain(KOM_Vector3 const &point);
    void enlargeToContain(KOM_BoundingBox const &box);
};

class KOM_Matrix3
{
public:
    double m[3][3];

    KOM_Matrix3() : m{} {}
    KOM_Matrix3(double diagonal) : m{{diagonal, 0.0, 0.0}, {0.0, diagonal, 0.0}, {0.0, 0.0, diagonal}}
    {
    }
    KOM_Matrix3(std::vector<double> const &values) : m{} { setTo(values); }

    bool __eq__(KOM_Matrix3 &other);
    bool __ne__(KOM_Matrix3 &other) { return !__eq__(other); }
    bool isAlmostEqual(KOM_Matrix3 &other, double tolerance = 1e-05);
    int __hash__();
    std::string __str__();
    std::string __repr__();
    // Rows and columns outside 0..2 throw std::out_of_range.
    double at(int row, int column);
    std::vector<double> asTuple();
    std::vector<std::vector<double> > asTupleOfTuples();
    void setAt(int row, int column, double value);
    // Nine numbers row by row, or three rows of three; anything else throws KOM_InvalidSize.
    void setTo(std::vector<double> const &values);
    void setTo(std::vector<std::vector<double> > const &rows);
    void setToIdentity()
    {
        setToZero();
        m[0][0] = m[1][1] = m[2][2] = 1.0;
    }
    void setToZero()
    {
        for (auto &row : m)
            for (double &entry : row)
                entry = 0.0;
    }
    KOM_Matrix3 __add__(KOM_Matrix3 &other);
    KOM_Matrix3 __sub__(KOM_Matrix3 &other);
    // self * other; the matrix form is declared first, so that a matrix operand picks it.
    KOM_Matrix3 __mul__(KOM_Matrix3 &other);
    KOM_Matrix3 __mul__(double scalar);
    // other * self.
    KOM_Matrix3 preMult(KOM_Matrix3 &other);
    KOM_Matrix3 transposed();
    // A singular matrix throws KOM_OperationFailed.
    KOM_Matrix3 inverted();
    double determinant()
    {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) +
               m[0][1] * (m[1][2] * m[2][0] - m[1][0] * m[2][2]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    }
    // The rotation, in degrees, of a rotation-and-scale matrix; a bad order throws
    // KOM_ValueError, a degenerate matrix KOM_OperationFailed.
    KOM_Vector3 extractRotates(char const *rotate_order = "xyz");
};

class KOM_Matrix4
{
public:
    double m[4][4];

    KOM_Matrix4() : m{} {}
    // The diagonal passes through single precision first.
    KOM_Matrix4(double diagonal) : m{}
    {
        double const value = float(diagonal);
        m[0][0] = m[1][1] = m[2][2] = m[3][3] = value;
    }
    KOM_Matrix4(std::vector<double> const &values) : m{} { setTo(values); }
    KOM_Matrix4(std::vector<std::vector<double> > const &rows) : m{} { setTo(rows); }

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
    bool __ne__(KOM_Matrix4 &other) { return !__eq__(other); }
    bool isAlmostEqual(KOM_Matrix4 &other, double tolerance = 1e-05);
    int __hash__();
    std::string __str__();
    std::string __repr__();
    double at(int row, int column);
    std::vector<double> asTuple();
    std::vector<std::vector<double> > asTupleOfTuples();
    void setAt(int row, int column, double value);
    void setTo(std::vector<double> const &values);
    void setTo(std::vector<std::vector<double> > const &rows);
    void setToIdentity()
    {
        setToZero();
        m[0][0] = m[1][1] = m[2][2] = m[3][3] = 1.0;
    }
    void setToZero()
    {
        for (auto &row : m)
            for (double &entry : row)
                entry = 0.0;
    }
    KOM_Matrix4 __add__(KOM_Matrix4 &other);
    KOM_Matrix4 __sub__(KOM_Matrix4 &other);
    KOM_Matrix4 __mul__(KOM_Matrix4 &other);
    KOM_Matrix4 __mul__(double scalar);
    KOM_Matrix4 preMult(KOM_Matrix4 &other);
    KOM_Matrix4 transposed();
    KOM_Matrix4 inverted();
    double determinant()
    {
        double sum = 0.0;
        for (int j = 0; j < 4; ++j)
            sum += m[0][j] * cofactor(0, j);
        return sum;
    }
    // (-1)^(row + column) times the minor without that row and column; not exposed.
    double cofactor(int row, int column);

    // Decomposition of a transform built as the transform order says (each letter of "srt":
    // scale-and-shear, rotate, translate, leftmost applied first) about the pivot, with the
    // rotation in the rotate order; angles in degrees. A bad order throws KOM_ValueError, a
    // matrix with no such decomposition KOM_OperationFailed.
    KOM_Vector3 extractRotates(char const *transform_order = "srt", char const *rotate_order = "xyz",
                               KOM_Vector3 const &pivot = KOM_Vector3());
    // Keys "translate", "rotate", "scale" and "shear".
    std::map<std::string, KOM_Vector3> explode(char const *transform_order = "srt",
                                               char const *rotate_order = "xyz",
                                               KOM_Vector3 const &pivot = KOM_Vector3());
    KOM_Vector3 extractTranslates(char const *transform_order = "srt");
    KOM_Vector3 extractScales(char const *transform_order = "srt",
                              KOM_Vector3 const &pivot = KOM_Vector3());
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

    KOM_Color() : model(RGB), components{0.0f, 0.0f, 0.0f} {}
    // Red, green and blue; any other length throws KOM_InvalidSize.
    KOM_Color(std::vector<float> const &rgb);

    bool __eq__(KOM_Color &other);
    bool __ne__(KOM_Color &other);
    int __hash__();
    std::string __repr__();
    // Sum and product in RGB; an RGB colour's components are added and scaled as set.
    KOM_Color __add__(KOM_Color &other);
    KOM_Color __mul__(float scalar);
    std::vector<float> rgb();
    std::vector<float> hsv();
    std::vector<float> hsl();
    std::vector<float> xyz();
    std::vector<float> lab();
    void setRGB(std::vector<float> const &values);
    void setHSV(std::vector<float> const &values);
    void setHSL(std::vector<float> const &values);
    void setXYZ(std::vector<float> const &values);
    void setLAB(std::vector<float> const &values);
};

// Builds transformation matrices; the host keeps the one object kal.kmath reaches.
class KOM_kmath
{
public:
    virtual ~KOM_kmath() {}

    virtual std::string __repr__() = 0;
    virtual KOM_Matrix4 identityTransform() = 0;
    virtual KOM_Matrix4 buildTranslate(double x, double y, double z) = 0;
    virtual KOM_Matrix4 buildTranslate(std::vector<double> const &values) = 0;
    virtual KOM_Matrix4 buildTranslate(KOM_Vector3 const &values) = 0;
    virtual KOM_Matrix4 buildScale(double x, double y, double z) = 0;
    virtual KOM_Matrix4 buildScale(std::vector<double> const &values) = 0;
    virtual KOM_Matrix4 buildScale(KOM_Vector3 const &values) = 0;
    virtual KOM_Matrix4 buildShear(double x, double y, double z) = 0;
    virtual KOM_Matrix4 buildShear(std::vector<double> const &values) = 0;
    virtual KOM_Matrix4 buildShear(KOM_Vector3 const &values) = 0;
    // Angles in degrees about x, y and z, applied in the order given ("xyz": x first).
    virtual KOM_Matrix4 buildRotate(double x, double y, double z, char const *order = "xyz") = 0;
    virtual KOM_Matrix4 buildRotate(std::vector<double> const &values, char const *order = "xyz") = 0;
    virtual KOM_Matrix4 buildRotate(KOM_Vector3 const &values, char const *order = "xyz") = 0;
    virtual KOM_Matrix4 buildRotateAboutAxis(std::vector<double> const &axis, double angle) = 0;
    virtual KOM_Matrix4 buildRotateAboutAxis(KOM_Vector3 const &axis, double angle) = 0;
    virtual double degToRad(double degrees) = 0;
    virtual double radToDeg(double radians) = 0;
};
