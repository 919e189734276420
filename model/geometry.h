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

    // How the geometry shows at the prompt.
    virtual std::string __repr__() = 0;
    // Null for a frozen copy.
    // The surface node whose cooked geometry this is, or None for a frozen copy.
    virtual KOM_SopNode *sopNode() = 0;
    // An editable copy that no longer follows its node.
    virtual KOM_Geometry *freeze() = 0;
    // The points, made one at a time as they are read: cheaper than points() for large geometry.
    virtual KOM_IterableList<KOM_Point> *iterPoints() = 0;
    // Every point, as a tuple.
    virtual std::vector<KOM_ElemPtr<KOM_Point>> points() = 0;
    // The primitives, made one at a time as they are read.
    virtual KOM_IterableList<KOM_Prim> *iterPrims() = 0;
    // Every primitive, as a tuple.
    virtual std::vector<KOM_ElemPtr<KOM_Prim>> prims() = 0;
    // The attributes points have.
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> pointAttribs() = 0;
    // The attributes primitives have.
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> primAttribs() = 0;
    // The attributes vertices have.
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> vertexAttribs() = 0;
    // The attributes of the geometry as a whole.
    virtual std::vector<KOM_ElemPtr<KOM_Attrib>> globalAttribs() = 0;
    // Null when the geometry has no attribute of that name and class.
    // The point attribute with this name, or None.
    virtual KOM_Attrib *findPointAttrib(char const *name) = 0;
    // The primitive attribute with this name, or None.
    virtual KOM_Attrib *findPrimAttrib(char const *name) = 0;
    // The vertex attribute with this name, or None.
    virtual KOM_Attrib *findVertexAttrib(char const *name) = 0;
    // The global attribute with this name, or None.
    virtual KOM_Attrib *findGlobalAttrib(char const *name) = 0;
    // attribType.Global: the class of attributes the geometry itself holds.
    virtual KOM_EnumValue *attribType() = 0;
    // The value getters read global attributes; each throws KOM_OperationFailed for a missing
    // attribute or one of another data type (the scalar forms also for a size other than 1).
    // The value of a global float attribute.
    virtual double floatAttribValue(char const *name) = 0;
    // The value of a global float attribute.
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    // The values of a global float attribute of several components.
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    // The values of a global float attribute of several components.
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of a global integer attribute.
    virtual int intAttribValue(char const *name) = 0;
    // The value of a global integer attribute.
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    // The values of a global integer attribute of several components.
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    // The values of a global integer attribute of several components.
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of a global string attribute.
    virtual std::string stringAttribValue(char const *name) = 0;
    // The value of a global string attribute.
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
    // Adds a point at the origin and returns it.
    virtual KOM_Point *createPoint() = 0;
    // Adds an empty polygon and returns it.
    virtual KOM_Polygon *createPolygon() = 0;
    // Deletes primitives, and the points only they used unless keep_points.
    virtual void deletePrims(std::vector<KOM_Prim *> const &prims, bool keep_points = false) = 0;
    // The default value decides the attribute's data type and size.
    // Adds an attribute of a class (attribType) whose type and size follow its default value.
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, int default_value) = 0;
    // Adds an attribute of a class (attribType) whose type and size follow its default value.
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, float default_value) = 0;
    // Adds an attribute of a class (attribType) whose type and size follow its default value.
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                                  char const *default_value) = 0;
    // Adds an attribute of a class (attribType) whose type and size follow its default value.
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                                  std::vector<int> const &default_value) = 0;
    // Adds an attribute of a class (attribType) whose type and size follow its default value.
    virtual KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                                  std::vector<float> const &default_value,
                                  bool transform_as_normal = false) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(char const *name, int attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(char const *name, float attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(char const *name, char const *attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(char const *name, std::vector<int> const &attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(char const *name, std::vector<float> const &attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, int attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, float attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, char const *attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<int> const &attrib_value) = 0;
    // Sets the value of a global attribute.
    virtual void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<float> const &attrib_value) = 0;
    // Writes the geometry to a file.
    virtual void saveToFile(char const *file_name) = 0;
    // The box that holds every point.
    virtual KOM_BoundingBox *boundingBox() = 0;
};

class KOM_Point
{
public:
    virtual ~KOM_Point() {}

    // Whether both are the same point of the same geometry.
    virtual bool __eq__(KOM_Point &other) = 0;
    // Whether they are different points.
    virtual bool __ne__(KOM_Point &other) = 0;
    // A hash equal for the same point.
    virtual int __hash__() = 0;
    // How the point shows at the prompt.
    virtual std::string __repr__() = 0;
    // The geometry the point belongs to.
    virtual KOM_Geometry *geometry() = 0;
    // The point's index in its geometry.
    virtual int number() = 0;
    // Which class of attributes belongs here (attribType.Point, Prim, Vertex or Global).
    virtual KOM_EnumValue *attribType() = 0;
    // The value of a float attribute, by name or attribute, here.
    virtual double floatAttribValue(char const *name) = 0;
    // The value of a float attribute, by name or attribute, here.
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    // The values of a float attribute of several components here, such as a position.
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    // The values of a float attribute of several components here, such as a position.
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of an integer attribute here.
    virtual int intAttribValue(char const *name) = 0;
    // The value of an integer attribute here.
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    // The values of an integer attribute of several components here.
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    // The values of an integer attribute of several components here.
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of a string attribute here.
    virtual std::string stringAttribValue(char const *name) = 0;
    // The value of a string attribute here.
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
    // The point's position as a Vector4 (x, y, z, w).
    virtual KOM_Vector4 *position() = 0;
    // Three components, or four with the weight.
    // Moves the point to a position of three or four numbers.
    virtual void setPosition(std::vector<float> const &position) = 0;
};

class KOM_Prim
{
public:
    virtual ~KOM_Prim() {}

    // Whether both are the same primitive of the same geometry.
    virtual bool __eq__(KOM_Prim &other) = 0;
    // Whether they are different primitives.
    virtual bool __ne__(KOM_Prim &other) = 0;
    // A hash equal for the same primitive.
    virtual int __hash__() = 0;
    // How the primitive shows at the prompt.
    virtual std::string __repr__() = 0;
    // The geometry the primitive belongs to.
    virtual KOM_Geometry *geometry() = 0;
    // The primitive's index in its geometry.
    virtual int number() = 0;
    // A primType value; it also chooses the Python class.
    // The kind of primitive (a primType value).
    virtual KOM_EnumValue *type() = 0;
    // Which class of attributes belongs here (attribType.Point, Prim, Vertex or Global).
    virtual KOM_EnumValue *attribType() = 0;
    // The value of a float attribute, by name or attribute, here.
    virtual double floatAttribValue(char const *name) = 0;
    // The value of a float attribute, by name or attribute, here.
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    // The values of a float attribute of several components here, such as a position.
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    // The values of a float attribute of several components here, such as a position.
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of an integer attribute here.
    virtual int intAttribValue(char const *name) = 0;
    // The value of an integer attribute here.
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    // The values of an integer attribute of several components here.
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    // The values of an integer attribute of several components here.
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of a string attribute here.
    virtual std::string stringAttribValue(char const *name) = 0;
    // The value of a string attribute here.
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
};

class KOM_Face : public virtual KOM_Prim
{
public:
    // How the face shows at the prompt.
    virtual std::string __repr__() = 0;
    // Whether the face closes back on its first vertex.
    virtual bool closed() = 0;
    // The face's vertices, made as they are read.
    virtual KOM_IterableList<KOM_Vertex> *vertices() = 0;
    // The number of vertices.
    virtual int numVertices() = 0;
    // Throws std::out_of_range for an index outside the face's vertices.
    // The vertex at an index (negative counts from the end).
    virtual KOM_Vertex *vertex(int index) = 0;
};

class KOM_Polygon : public virtual KOM_Face
{
public:
    // How the polygon shows at the prompt.
    virtual std::string __repr__() = 0;
};

class KOM_Vertex
{
public:
    virtual ~KOM_Vertex() {}

    // Whether both are the same vertex.
    virtual bool __eq__(KOM_Vertex &other) = 0;
    // Whether they are different vertices.
    virtual bool __ne__(KOM_Vertex &other) = 0;
    // A hash equal for the same vertex.
    virtual int __hash__() = 0;
    // How the vertex shows at the prompt.
    virtual std::string __repr__() = 0;
    // The geometry the vertex belongs to.
    virtual KOM_Geometry *geometry() = 0;
    // The primitive the vertex belongs to.
    virtual KOM_Prim *prim() = 0;
    // The point the vertex uses.
    virtual KOM_Point *point() = 0;
    // The vertex's index within its primitive.
    virtual int number() = 0;
    // Which class of attributes belongs here (attribType.Point, Prim, Vertex or Global).
    virtual KOM_EnumValue *attribType() = 0;
    // The value of a float attribute, by name or attribute, here.
    virtual double floatAttribValue(char const *name) = 0;
    // The value of a float attribute, by name or attribute, here.
    virtual double floatAttribValue(KOM_Attrib &attrib) = 0;
    // The values of a float attribute of several components here, such as a position.
    virtual std::vector<float> floatListAttribValue(char const *name) = 0;
    // The values of a float attribute of several components here, such as a position.
    virtual std::vector<float> floatListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of an integer attribute here.
    virtual int intAttribValue(char const *name) = 0;
    // The value of an integer attribute here.
    virtual int intAttribValue(KOM_Attrib &attrib) = 0;
    // The values of an integer attribute of several components here.
    virtual std::vector<int> intListAttribValue(char const *name) = 0;
    // The values of an integer attribute of several components here.
    virtual std::vector<int> intListAttribValue(KOM_Attrib &attrib) = 0;
    // The value of a string attribute here.
    virtual std::string stringAttribValue(char const *name) = 0;
    // The value of a string attribute here.
    virtual std::string stringAttribValue(KOM_Attrib &attrib) = 0;
};

// One attribute of one geometry: its name, class (attribType), data type and size.
class KOM_Attrib
{
public:
    virtual ~KOM_Attrib() {}

    // Whether both are the same attribute of the same geometry.
    virtual bool __eq__(KOM_Attrib *other) = 0;
    // Whether they are different attributes.
    virtual bool __ne__(KOM_Attrib *other) = 0;
    // A hash equal for the same attribute.
    virtual int __hash__() = 0;
    // How the attribute shows at the prompt.
    virtual std::string __repr__() = 0;
    // The geometry the attribute belongs to.
    virtual KOM_Geometry *geometry() = 0;
    // The attribute's name, such as P or Cd.
    virtual std::string name() = 0;
    // The type of the attribute's values (an attribData value).
    virtual KOM_EnumValue *dataType() = 0;
    // Which elements have the attribute (an attribType value).
    virtual KOM_EnumValue *type() = 0;
    // The number of components of each value (3 for a position).
    virtual int size() = 0;
    // Whether transforms rotate the attribute as a normal, not move it as a position.
    virtual bool isTransformedAsNormal() = 0;
    // The distinct strings a string attribute holds; none for a numeric one.
    // The distinct texts a string attribute holds.
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
