// Geometry, its elements and attributes.
#pragma once

#include "model/enums.h"

class KOM_Geometry
{
public:
    virtual ~KOM_Geometry() {}
};

class KOM_Point
{
public:
    virtual ~KOM_Point() {}
};

class KOM_Prim
{
public:
    virtual ~KOM_Prim() {}
    // A primType value; it chooses the Python class.
    virtual KOM_EnumValue type() = 0;
};

class KOM_Face : public virtual KOM_Prim {};
class KOM_Polygon : public virtual KOM_Face {};

class KOM_Vertex
{
public:
    virtual ~KOM_Vertex() {}
};

class KOM_Attrib
{
public:
    virtual ~KOM_Attrib() {}
};
