// Geometry, its elements and attributes, and the attribute values the binding reads itself.
#pragma once

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "model/enums.h"
#include "model/sequences.h"

#ifndef SWIG
// The attribData value ids (numbered from 1 in declaration order) that pick the Python type of
// an attribute's value. Not part of the Python API.
enum KOM_attribDataId
{
    KOM_IntAttribDataId = 1,
    KOM_FloatAttribDataId = 2,
    KOM_StringAttribDataId = 3,
};
#endif

typedef struct _object PyObject;
class KOM_Attrib;
class KOM_BoundingBox;
class KOM_Point;
class KOM_Polygon;
class KOM_Prim;
class KOM_SopNode;
class KOM_Vector4;
class KOM_Vertex;

// A handle on the geometry of a surface node, or on a standalone (frozen) copy of it. A node's
// geometry is read-only: writes throw KOM_GeometryPermissionError. Declaration order is the
// slot order the host is built against.
class KOM_Geometry
{
public:
    virtual ~KOM_Geometry() {}

    virtual std::string __repr__() = 0;
    // Null for a frozen copy.
    virtual KOM_SopNode *sopNode() = 0;
    virtual KOM_Geometry *freeze() = 0;
    virtual KOM_IterableList<KOM_Point> *iterPoints() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Point>> points() = 0;
    virtual KOM_IterableList<KOM_Prim> *iterPrims() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Prim>> prims() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> pointAttribs() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> primAttribs() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> vertexAttribs() = 0;
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> globalAttribs() = 0;
    // Null when the geometry has no attribute of that name and class.
    virtual KOM_Attrib *findPointAttrib(char const *name) = 0;
    virtual KOM_Attrib *findPrimAttrib(char const *name) = 0;
    virtual KOM_Attrib *findVertexAttrib(char const *name) = 0;
    virtual KOM_Attrib *findGlobalAttrib(char const *name) = 0;
    virtual KOM_EnumValue *attribType() = 0;
    // The value getters read global attributes; each throws KOM_OperationFailed for a missing
    // attribute or one of another data type (the scalar forms also for a size other than 1).
    virtual double floatAttribValue(char const *name) = 0;
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    virtual int intAttribValue(char const *name) = 0;
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::string stringAttribValue(char const *name) = 0;
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
    virtual KOM_Point *createPoint() = 0;
    virtual KOM_Polygon *createPolygon() = 0;
    virtual void deletePrims(std::vector<KOM_Prim *> const &prims, bool keep_points = false) = 0;
    // The default value decides the attribute's data type and size.
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, int default_value) = 0;
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, float default_value) = 0;
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                                  char const *default_value) = 0;
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                                  std::vector<int> const &default_value) = 0;
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                                  std::vector<float> const &default_value,
                                  bool transform_as_normal = false) = 0;
    virtual void setGlobalAttribValue(char const *name, int attrib_value) = 0;
    virtual void setGlobalAttribValue(char const *name, float attrib_value) = 0;
    virtual void setGlobalAttribValue(char const *name, char const *attrib_value) = 0;
    virtual void setGlobalAttribValue(char const *name, std::vector<int> const &attrib_value) = 0;
    virtual void setGlobalAttribValue(char const *name, std::vector<float> const &attrib_value) = 0;
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, int attrib_value) = 0;
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, float attrib_value) = 0;
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, char const *attrib_value) = 0;
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<int> const &attrib_value) = 0;
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<float> const &attrib_value) = 0;
    virtual void saveToFile(char const *file_name) = 0;
    virtual KOM_BoundingBox *boundingBox() = 0;
};

class KOM_Point
{
public:
    virtual ~KOM_Point() {}

    virtual bool __eq__(KOM_Point &other) = 0;
    virtual bool __ne__(KOM_Point &other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_Geometry *geometry() = 0;
    virtual int number() = 0;
    virtual KOM_EnumValue *attribType() = 0;
    virtual double floatAttribValue(char const *name) = 0;
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    virtual int intAttribValue(char const *name) = 0;
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::string stringAttribValue(char const *name) = 0;
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
    virtual KOM_Vector4 *position() = 0;
    // Three components, or four with the weight.
    virtual void setPosition(std::vector<float> const &position) = 0;
};

class KOM_Prim
{
public:
    virtual ~KOM_Prim() {}

    virtual bool __eq__(KOM_Prim &other) = 0;
    virtual bool __ne__(KOM_Prim &other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_Geometry *geometry() = 0;
    virtual int number() = 0;
    // A primType value; it also chooses the Python class.
    virtual KOM_EnumValue *type() = 0;
    virtual KOM_EnumValue *attribType() = 0;
    virtual double floatAttribValue(char const *name) = 0;
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    virtual int intAttribValue(char const *name) = 0;
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::string stringAttribValue(char const *name) = 0;
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
};

class KOM_Face : public virtual KOM_Prim
{
public:
    virtual std::string __repr__() = 0;
    virtual bool closed() = 0;
    virtual KOM_IterableList<KOM_Vertex> *vertices() = 0;
    virtual int numVertices() = 0;
    // Throws std::out_of_range for an index outside the face's vertices.
    virtual KOM_Vertex *vertex(int index) = 0;
};

class KOM_Polygon : public virtual KOM_Face
{
public:
    virtual std::string __repr__() = 0;
};

class KOM_Vertex
{
public:
    virtual ~KOM_Vertex() {}

    virtual bool __eq__(KOM_Vertex &other) = 0;
    virtual bool __ne__(KOM_Vertex &other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_Geometry *geometry() = 0;
    virtual KOM_Prim *prim() = 0;
    virtual KOM_Point *point() = 0;
    // The vertex's index within its primitive.
    virtual int number() = 0;
    virtual KOM_EnumValue *attribType() = 0;
    virtual double floatAttribValue(char const *name) = 0;
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    virtual int intAttribValue(char const *name) = 0;
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    virtual std::string stringAttribValue(char const *name) = 0;
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
};

// One attribute of one geometry: its name, class (attribType), data type and size.
class KOM_Attrib
{
public:
    virtual ~KOM_Attrib() {}

    virtual bool __eq__(KOM_Attrib *other) = 0;
    virtual bool __ne__(KOM_Attrib *other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_Geometry *geometry() = 0;
    virtual std::string name() = 0;
    virtual KOM_EnumValue *dataType() = 0;
    virtual KOM_EnumValue *type() = 0;
    virtual int size() = 0;
    virtual bool isTransformedAsNormal() = 0;
    // The distinct strings a string attribute holds; none for a numeric one.
    virtual KOM_IterableList<std::string> *strings() = 0;
};

// Attribute values written for the binding, for T one of KOM_Point, KOM_Prim, KOM_Vertex and
// KOM_Geometry (whose attributes are the global ones).

// The attribute of T's class named `name`, owned by the caller, or null when there is none.
template <class T>
KOM_Attrib *KOMlookUpAttrib(T &element, char const *name);

// The value as a new reference: its Python type follows the attribute's data type and size
// (a size-1 number is a scalar, any other size a tuple; a string is always one str). By name,
// a missing attribute throws KOM_OperationFailed with an empty message.
template <class T>
PyObject *KOMattribValue(T &element, char const *name);
template <class T>
PyObject *KOMattribValue(T &element, KOM_Attrib &attrib);

// Shared ownership of a host object, destroyed when the last owner goes; should the owner
// itself fail to allocate, the object is destroyed at once and the failure propagates.
template <class T>
boost::shared_ptr<T> KOMdel(T *object)
{
    return boost::shared_ptr<T>(object); // deletes `object` itself when it throws
}
