// The reference host's math library: the out-of-line members of the value classes of
// model/mathvalues.h, kal.kmath, and the helpers other families and tests use directly (they do
// not journal).
#pragma once

#include <array>
#include <string>

#include "host/journal.h"
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

} // namespace kalhost
