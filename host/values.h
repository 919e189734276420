// Math values the reference host returns: plain copies owned by whoever receives them.
#pragma once

#include "host/scene.h"
#include "model/mathvalues.h"

namespace kalhost
{

class Vector2Value : public KOM_Vector2, private LiveCounted
{
public:
    Vector2Value(float x, float y) : myX(x), myY(y) {}
    float x() const { return myX; }
    float y() const { return myY; }

private:
    float myX;
    float myY;
};

class ColorValue : public KOM_Color, private LiveCounted
{
public:
    ColorValue(float red, float green, float blue) : myRgb{red, green, blue} {}
    float const *rgb() const { return myRgb; }

private:
    float myRgb[3];
};

} // namespace kalhost
