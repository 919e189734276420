// The reference host's math library: vectors, quaternions and bounding boxes.
#include "host/mathvalues.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "model/errors.h"

namespace kalhost
{
namespace
{

// Python's index rules: -n..n-1.
int checkedIndex(int index, int size, char const *what)
{
    int const at = index < 0 ? index + size : index;
    if (at < 0 || at >= size)
        throw std::out_of_range(std::string(what) + " index out of range");
    return at;
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

} // namespace

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
    double const ax = x, ay = y, az = z, aw = w;
    double const bx = other.x, by = other.y, bz = other.z, bw = other.w;
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
            KOM_Vector3(corner & 1 ? xmax : xmin, corner & 2 ? ymax : ymin,
                        corner & 4 ? zmax : zmin),
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
