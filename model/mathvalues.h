// Math value types: plain values, constructible from Python, returned as owned copies.
#pragma once

class KOM_Vector2
{
public:
    virtual ~KOM_Vector2() {}
};

class KOM_Vector3
{
public:
    virtual ~KOM_Vector3() {}
};

class KOM_Vector4
{
public:
    virtual ~KOM_Vector4() {}
};

class KOM_Matrix3
{
public:
    virtual ~KOM_Matrix3() {}
};

class KOM_Matrix4
{
public:
    virtual ~KOM_Matrix4() {}
};

class KOM_Quaternion
{
public:
    virtual ~KOM_Quaternion() {}
};

class KOM_BoundingBox
{
public:
    virtual ~KOM_BoundingBox() {}
};

class KOM_Color
{
public:
    virtual ~KOM_Color() {}
};

// Host-owned singleton reached through kal.kmath.
class KOM_kmath
{
public:
    virtual ~KOM_kmath() {}
};
