// Geometry in the reference host: what surface nodes cook, frozen copies, and the handles on
// their points, primitives, vertices and attributes.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/identity.h"
#include "host/journal.h"
#include "host/scene.h"
#include "model/geometry.h"

namespace kalhost
{

// The classes of attributes, in the order of the attribType enumeration.
enum class AttribClass
{
    Point,
    Prim,
    Vertex,
    Global,
};
constexpr int AttribClassCount = 4;

// One attribute: `size` components per element, floats or ints by data type. A string
// attribute keeps its distinct strings once, in a table, and its elements' indices in `ints`.
struct GeometryAttrib
{
    std::string name;
    int dataType = KOM_FloatAttribDataId;
    int size = 0;
    std::size_t count = 0; // elements
    bool transformAsNormal = false;
    std::vector<float> floats;
    std::vector<int> ints;
    std::vector<float> floatDefaults; // one per component, also for new elements
    std::vector<int> intDefaults;     // ints, or string indices
    std::vector<std::string> strings;
    std::unordered_map<std::string, int> stringIndices;

    bool isNumeric() const { return dataType != KOM_StringAttribDataId; }
    // The index of `text` in the string table, added when new.
    int stringIndex(std::string const &text);
    // New elements at the end, holding the defaults.
    void appendDefaults(std::size_t count);
    // Appends every element of `source`, an attribute of the same name from other geometry:
    // numbers convert between int and float, components beyond either size are dropped or
    // defaulted, and an attribute that holds strings where this one holds numbers (or the
    // reverse) gives the defaults.
    void appendFrom(GeometryAttrib const &source);
    // Keeps the elements whose flag is set, in order.
    void keep(std::vector<char> const &kept);
};

// Element numbers that survive deletions: an id stays with its element while the indices
// after a deleted element shift down. Ids rise with the index, so a look-up is a binary search
// at worst; until something is deleted, ids are the indices and nothing is stored.
class ElementIds
{
public:
    std::size_t count() const { return myCount; }
    std::uint32_t idOf(std::size_t index) const { return myIds.empty() ? index : myIds[index]; }
    // The index of `id`, -1 when its element is gone; `hint` is where it was last.
    long indexOf(std::uint32_t id, long hint) const;
    std::uint32_t add();
    void keep(std::vector<char> const &kept);

private:
    std::vector<std::uint32_t> myIds; // empty while every id equals its index
    std::size_t myCount = 0;
    std::uint32_t myNext = 0;
};

// Points, polygons and attributes. Point attribute "P" (Float, size 3) is always there, first.
struct GeometryData
{
    GeometryData();

    ElementIds pointIds;
    ElementIds primIds;
    // The vertices of primitive i are vertexPoints[primStarts[i]] up to primStarts[i + 1].
    std::vector<std::uint32_t> primStarts = {0};
    std::vector<int> vertexPoints;
    std::vector<GeometryAttrib> attribs[AttribClassCount];

    std::size_t pointCount() const { return pointIds.count(); }
    std::size_t primCount() const { return primIds.count(); }
    std::size_t vertexCount() const { return vertexPoints.size(); }
    std::size_t elementCount(AttribClass type) const;
    std::vector<GeometryAttrib> &attribsOf(AttribClass type) { return attribs[int(type)]; }
    std::vector<GeometryAttrib> const &attribsOf(AttribClass type) const { return attribs[int(type)]; }
    GeometryAttrib *find(AttribClass type, std::string const &name);
    GeometryAttrib const *find(AttribClass type, std::string const &name) const;
    GeometryAttrib &positions() { return attribs[int(AttribClass::Point)].front(); }
    GeometryAttrib const &positions() const { return attribs[int(AttribClass::Point)].front(); }

    // Throws KOM_OperationFailed for a name in use or not an identifier; the defaults give
    // the size, `dataType` which of them count.
    GeometryAttrib &addAttrib(AttribClass type, std::string const &name, int dataType,
                              std::vector<float> const &floatDefaults, std::vector<int> const &intDefaults,
                              std::string const &stringDefault);
    std::size_t addPoint(float x, float y, float z);
    // A closed polygon through the given points.
    std::size_t addPolygon(int const *points, std::size_t count);
    // Deletes the primitives flagged in `doomed`; unless `keepPoints`, also the points that only
    // they used.
    void deletePrims(std::vector<char> const &doomed, bool keepPoints);
    // Appends another geometry's elements; attributes are matched by name and class, and the
    // global values already here win.
    void append(GeometryData const &other);
};

// A row-vector transform: p' = p * m (translation in the last row).
struct Transform
{
    double m[4][4];

    // Scale, then rotate about x, y and z (degrees), then translate.
    static Transform fromComponents(double const translate[3], double const rotate[3], double const scale[3]);
    void applyToPoint(float *xyz) const;
    // Directions normal to a surface: by the inverse transpose, then made unit length.
    void applyToNormal(float *xyz) const;
};

struct SceneGeometryCache; // what a surface node cooked last, and from what

// The geometry `node` cooks now (cooking on demand; cached until a parameter or input
// upstream changes). Valid until the scene changes. Throws KOM_OperationFailed for inputs that
// form a cycle or geometry too large to build.
GeometryData const &cookedGeometry(std::shared_ptr<SceneNode> const &node);

// Where a handle's geometry lives: a surface node's cooked geometry (read-only), or a frozen
// copy that the handles share.
class GeometrySource
{
public:
    explicit GeometrySource(std::shared_ptr<SceneNode> const &node) : myNode(node), myIdentity(node.get()) {}
    explicit GeometrySource(std::shared_ptr<GeometryData> frozen)
        : myFrozen(std::move(frozen)), myIdentity(myFrozen.get())
    {
    }

    // KOM_ObjectWasDeleted once the node is gone.
    GeometryData const &read() const;
    // KOM_GeometryPermissionError for a node's geometry.
    GeometryData &write() const;
    bool isFrozen() const { return myFrozen != nullptr; }
    // The node, or null for a frozen copy; KOM_ObjectWasDeleted once the node is gone.
    std::shared_ptr<SceneNode> node() const;
    // The same geometry: the same node, or the same frozen copy.
    void const *identity() const { return myIdentity; }
    std::string describe() const;

private:
    std::weak_ptr<SceneNode> myNode;
    std::shared_ptr<GeometryData> myFrozen;
    // Nodes are made together with their control block, which the weak pointer keeps: the
    // address of a gone node is never reused while a source names it.
    void const *myIdentity;
};

// A new handle on the geometry of a surface node.
KOM_Geometry *geometryHandle(std::shared_ptr<SceneNode> const &node);

KALHOST_JOURNAL_FORMAT(KOM_Attrib); // their descriptions, as __repr__ gives them
KALHOST_JOURNAL_FORMAT(KOM_Point);
KALHOST_JOURNAL_FORMAT(KOM_Prim);
KALHOST_JOURNAL_FORMAT(KOM_Vertex);

// --- Within the family: shared by host/geometry*.cpp ------------------------------------------

extern char const *const AttribClassNames[AttribClassCount]; // "point", "primitive" ...
KOM_EnumValue *attribTypeValue(AttribClass type);
// KOM_TypeError for a value of another enumeration.
AttribClass attribClassOf(KOM_EnumValue const &value);
// "3 floats", "1 int", "strings": what an attribute holds, for messages.
std::string holding(GeometryAttrib const &attrib);
// KOM_OperationFailed when the geometry has no attribute of that class and name.
GeometryAttrib const &namedAttrib(GeometryData const &data, AttribClass type, char const *name);
// The attribute an Attrib handle names: KOM_OperationFailed for one of other geometry or of
// another class, KOM_ObjectWasDeleted for one the geometry no longer has.
GeometryAttrib const &givenAttrib(GeometrySource const &source, GeometryData const &data, AttribClass type,
                                  KOM_Attrib &attrib);

// The attribute of that class and name, KOM_ObjectWasDeleted once the geometry no longer has
// it; and its description.
GeometryAttrib const &attribIn(GeometryData const &data, AttribClass type, std::string const &name);
std::string describeAttrib(GeometrySource const &source, AttribClass type, std::string const &name);

// The typed reads of one element's value: KOM_OperationFailed unless the attribute holds that
// type (the scalar forms: exactly one component of it). A string attribute of no components
// reads as the empty string.
double readFloat(GeometryAttrib const &attrib, std::size_t element);
std::vector<float> readFloats(GeometryAttrib const &attrib, std::size_t element);
int readInt(GeometryAttrib const &attrib, std::size_t element);
std::vector<int> readInts(GeometryAttrib const &attrib, std::size_t element);
std::string readString(GeometryAttrib const &attrib, std::size_t element);

// --- Handles (host/geometry_elements.cpp, host/geometry_handle.cpp) ---------------------------

// One point or primitive, by the id that stays with it while deletions shift its index.
class ElementRef
{
public:
    ElementRef(std::uint32_t id, long hint, char const *what) : myId(id), myHint(hint), myWhat(what) {}
    std::uint32_t id() const { return myId; }
    long hint() const { return myHint; }
    bool operator==(ElementRef const &other) const { return myId == other.myId; }
    // KOM_ObjectWasDeleted once the element is gone.
    std::size_t indexIn(ElementIds const &ids) const;

private:
    std::uint32_t myId;
    mutable long myHint;
    char const *myWhat;
};

// What the value getters read: one element of a geometry.
struct Element
{
    GeometryData const &data;
    std::size_t index;
};

// The ten value getters of the classes that have attribute values; Type is the class of
// attributes they read.
template <class Interface, AttribClass Type>
class ValueGetters : public Interface, private LiveCounted
{
public:
    explicit ValueGetters(GeometrySource source) : mySource(std::move(source)) {}
    GeometrySource const &source() const { return mySource; }

    double floatAttribValue(char const *name) override { return readNamed(0, name, readFloat); }
    double floatAttribValue(KOM_Attrib &attrib) override { return readGiven(0, attrib, readFloat); }
    std::vector<float> floatListAttribValue(char const *name) override
    {
        return readNamed(1, name, readFloats);
    }
    std::vector<float> floatListAttribValue(KOM_Attrib &attrib) override
    {
        return readGiven(1, attrib, readFloats);
    }
    int intAttribValue(char const *name) override { return readNamed(2, name, readInt); }
    int intAttribValue(KOM_Attrib &attrib) override { return readGiven(2, attrib, readInt); }
    std::vector<int> intListAttribValue(char const *name) override { return readNamed(3, name, readInts); }
    std::vector<int> intListAttribValue(KOM_Attrib &attrib) override
    {
        return readGiven(3, attrib, readInts);
    }
    std::string stringAttribValue(char const *name) override { return readNamed(4, name, readString); }
    std::string stringAttribValue(KOM_Attrib &attrib) override { return readGiven(4, attrib, readString); }

protected:
    // The element now; KOM_ObjectWasDeleted once it is gone.
    virtual Element element() const = 0;

    GeometrySource mySource;

private:
    static char const *operation(int getter)
    {
        static char const *const names[AttribClassCount][5] = {
            {"Point.floatAttribValue", "Point.floatListAttribValue", "Point.intAttribValue",
             "Point.intListAttribValue", "Point.stringAttribValue"},
            {"Prim.floatAttribValue", "Prim.floatListAttribValue", "Prim.intAttribValue",
             "Prim.intListAttribValue", "Prim.stringAttribValue"},
            {"Vertex.floatAttribValue", "Vertex.floatListAttribValue", "Vertex.intAttribValue",
             "Vertex.intListAttribValue", "Vertex.stringAttribValue"},
            {"Geometry.floatAttribValue", "Geometry.floatListAttribValue", "Geometry.intAttribValue",
             "Geometry.intListAttribValue", "Geometry.stringAttribValue"},
        };
        return names[int(Type)][getter];
    }

    template <class Read>
    auto readNamed(int getter, char const *name, Read read) const
    {
        hostOperation(operation(getter), name);
        Element const at = element();
        return read(namedAttrib(at.data, Type, name), at.index);
    }

    template <class Read>
    auto readGiven(int getter, KOM_Attrib &attrib, Read read) const
    {
        hostOperation(operation(getter), attrib);
        Element const at = element();
        return read(givenAttrib(mySource, at.data, Type, attrib), at.index);
    }
};

class PointHandle final : public ValueGetters<KOM_Point, AttribClass::Point>
{
public:
    PointHandle(GeometrySource source, std::uint32_t id, long hint);
    // The point at `index` of `data`, the geometry of `source` now.
    static PointHandle *at(GeometrySource const &source, GeometryData const &data, std::size_t index);
    std::size_t indexIn(GeometryData const &data) const { return myPoint.indexIn(data.pointIds); }
    std::string describe() const;

    std::tuple<void const *, std::uint32_t> identityKey() const { return {mySource.identity(), myPoint.id()}; }
    KALHOST_COMPARED_BY_IDENTITY(Point)
    std::string __repr__() override;
    KOM_Geometry *geometry() override;
    int number() override;
    KOM_EnumValue *attribType() override;
    KOM_Vector4 *position() override;
    // A weight other than 1 goes to the point attribute "Pw", made when first needed.
    void setPosition(std::vector<float> const &position) override;

protected:
    Element element() const override;

private:
    ElementRef myPoint;
};

// Every primitive of this host is a closed polygon.
class PrimHandle final : public ValueGetters<KOM_Polygon, AttribClass::Prim>
{
public:
    PrimHandle(GeometrySource source, std::uint32_t id, long hint);
    static PrimHandle *at(GeometrySource const &source, GeometryData const &data, std::size_t index);
    std::size_t indexIn(GeometryData const &data) const { return myPrim.indexIn(data.primIds); }
    std::string describe() const;

    std::tuple<void const *, std::uint32_t> identityKey() const { return {mySource.identity(), myPrim.id()}; }
    KALHOST_COMPARED_BY_IDENTITY(Prim)
    std::string __repr__() override;
    KOM_Geometry *geometry() override;
    int number() override;
    KOM_EnumValue *type() override;
    KOM_EnumValue *attribType() override;
    bool closed() override;
    KOM_IterableList<KOM_Vertex> *vertices() override;
    int numVertices() override;
    KOM_Vertex *vertex(int index) override;

protected:
    Element element() const override;

private:
    ElementRef myPrim;
};

class VertexHandle final : public ValueGetters<KOM_Vertex, AttribClass::Vertex>
{
public:
    VertexHandle(GeometrySource source, ElementRef prim, int index);
    // The vertex's place among all the geometry's vertices.
    std::size_t offsetIn(GeometryData const &data) const;
    std::string describe() const;

    std::tuple<void const *, std::uint32_t, int> identityKey() const
    {
        return {mySource.identity(), myPrim.id(), myIndex};
    }
    KALHOST_COMPARED_BY_IDENTITY(Vertex)
    std::string __repr__() override;
    KOM_Geometry *geometry() override;
    KOM_Prim *prim() override;
    KOM_Point *point() override;
    int number() override;
    KOM_EnumValue *attribType() override;

protected:
    Element element() const override;

private:
    ElementRef myPrim;
    int myIndex;
};

// An attribute by its class and name.
class AttribHandle final : public KOM_Attrib, private LiveCounted
{
public:
    AttribHandle(GeometrySource source, AttribClass type, std::string name);
    // KOM_ObjectWasDeleted once the geometry no longer has it.
    GeometryAttrib const &in(GeometryData const &data) const;
    GeometryAttrib const &attrib() const { return in(mySource.read()); }
    GeometrySource const &source() const { return mySource; }
    AttribClass attribClass() const { return myType; }
    std::string const &attribName() const { return myName; }
    std::string describe() const;

    std::tuple<void const *, AttribClass, std::string const &> identityKey() const
    {
        return {mySource.identity(), myType, myName};
    }
    KALHOST_COMPARED_BY_IDENTITY(Attrib)
    std::string __repr__() override;
    KOM_Geometry *geometry() override;
    std::string name() override;
    KOM_EnumValue *dataType() override;
    KOM_EnumValue *type() override;
    int size() override;
    bool isTransformedAsNormal() override;
    KOM_IterableList<std::string> *strings() override;

private:
    GeometrySource mySource;
    AttribClass myType;
    std::string myName;
};

class GeometryHandle final : public ValueGetters<KOM_Geometry, AttribClass::Global>
{
public:
    explicit GeometryHandle(GeometrySource source) : ValueGetters(std::move(source)) {}

    std::string __repr__() override;
    KOM_SopNode *sopNode() override;
    KOM_Geometry *freeze() override;
    KOM_IterableList<KOM_Point> *iterPoints() override;
    std::vector<KOM_ElemPtr<KOM_Point>> points() override;
    KOM_IterableList<KOM_Prim> *iterPrims() override;
    std::vector<KOM_ElemPtr<KOM_Prim>> prims() override;
    std::vector<KOM_ElemPtr<KOM_Attrib>> pointAttribs() override;
    std::vector<KOM_ElemPtr<KOM_Attrib>> primAttribs() override;
    std::vector<KOM_ElemPtr<KOM_Attrib>> vertexAttribs() override;
    std::vector<KOM_ElemPtr<KOM_Attrib>> globalAttribs() override;
    KOM_Attrib *findPointAttrib(char const *name) override;
    KOM_Attrib *findPrimAttrib(char const *name) override;
    KOM_Attrib *findVertexAttrib(char const *name) override;
    KOM_Attrib *findGlobalAttrib(char const *name) override;
    KOM_EnumValue *attribType() override;
    KOM_Point *createPoint() override;
    KOM_Polygon *createPolygon() override;
    void deletePrims(std::vector<KOM_Prim *> const &prims, bool keep_points) override;
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, int default_value) override;
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, float default_value) override;
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, char const *default_value) override;
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name,
                          std::vector<int> const &default_value) override;
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, std::vector<float> const &default_value,
                          bool transform_as_normal) override;
    void setGlobalAttribValue(char const *name, int attrib_value) override;
    void setGlobalAttribValue(char const *name, float attrib_value) override;
    void setGlobalAttribValue(char const *name, char const *attrib_value) override;
    void setGlobalAttribValue(char const *name, std::vector<int> const &attrib_value) override;
    void setGlobalAttribValue(char const *name, std::vector<float> const &attrib_value) override;
    void setGlobalAttribValue(KOM_Attrib &attrib, int attrib_value) override;
    void setGlobalAttribValue(KOM_Attrib &attrib, float attrib_value) override;
    void setGlobalAttribValue(KOM_Attrib &attrib, char const *attrib_value) override;
    void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<int> const &attrib_value) override;
    void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<float> const &attrib_value) override;
    // A text file of every attribute of every element, in a form that reads back exactly.
    void saveToFile(char const *file_name) override;
    // The box around every point; an empty geometry's is empty at the origin.
    KOM_BoundingBox *boundingBox() override;

protected:
    Element element() const override { return {mySource.read(), 0}; }

private:
    KOM_Attrib *add(KOM_EnumValue &type, char const *name, int dataType, std::vector<float> const &floats,
                    std::vector<int> const &ints, std::string const &text);
};

// Lists read their items when asked for them, so they follow their geometry's changes.
// Derived names its three operations and says how long it is, how it reads, and its items.
template <class Item, class Derived>
class GeometryList : public KOM_IterableList<Item>, private LiveCounted
{
public:
    using Result = decltype(std::declval<KOM_IterableList<Item> &>().itemAt(0));

    int __len__() override
    {
        hostOperation(Derived::Operations[0]);
        return int(self().length(mySource.read()));
    }
    std::string __repr__() override
    {
        hostOperation(Derived::Operations[1]);
        return self().describe();
    }
    Result itemAt(int index) override
    {
        hostOperation(Derived::Operations[2], index);
        GeometryData const &data = mySource.read();
        if (index < 0 || std::size_t(index) >= self().length(data))
            throw std::out_of_range("Invalid index");
        return self().item(data, std::size_t(index));
    }

protected:
    explicit GeometryList(GeometrySource source) : mySource(std::move(source)) {}
    GeometrySource mySource;

private:
    Derived &self() { return static_cast<Derived &>(*this); }
};

class PointList final : public GeometryList<KOM_Point, PointList>
{
public:
    static constexpr char const *Operations[3] = {
        "_PointTupleGenerator.__len__", "_PointTupleGenerator.__repr__", "_PointTupleGenerator.itemAt"};
    explicit PointList(GeometrySource source) : GeometryList(std::move(source)) {}
    std::size_t length(GeometryData const &data) const { return data.pointCount(); }
    std::string describe() const { return "<points of " + mySource.describe() + ">"; }
    KOM_Point *item(GeometryData const &data, std::size_t index) const
    {
        return PointHandle::at(mySource, data, index);
    }
};

class PrimList final : public GeometryList<KOM_Prim, PrimList>
{
public:
    static constexpr char const *Operations[3] = {
        "_PrimTupleGenerator.__len__", "_PrimTupleGenerator.__repr__", "_PrimTupleGenerator.itemAt"};
    explicit PrimList(GeometrySource source) : GeometryList(std::move(source)) {}
    std::size_t length(GeometryData const &data) const { return data.primCount(); }
    std::string describe() const { return "<primitives of " + mySource.describe() + ">"; }
    KOM_Prim *item(GeometryData const &data, std::size_t index) const
    {
        return PrimHandle::at(mySource, data, index);
    }
};

class VertexList final : public GeometryList<KOM_Vertex, VertexList>
{
public:
    static constexpr char const *Operations[3] = {
        "_VertexTupleGenerator.__len__", "_VertexTupleGenerator.__repr__", "_VertexTupleGenerator.itemAt"};
    VertexList(GeometrySource source, ElementRef prim) : GeometryList(std::move(source)), myPrim(prim) {}
    std::size_t length(GeometryData const &data) const;
    std::string describe() const;
    KOM_Vertex *item(GeometryData const &, std::size_t index) const
    {
        return new VertexHandle(mySource, myPrim, int(index));
    }

private:
    ElementRef myPrim;
};

// The distinct strings of a string attribute.
class StringList final : public GeometryList<std::string, StringList>
{
public:
    static constexpr char const *Operations[3] = {
        "_StringTupleGenerator.__len__", "_StringTupleGenerator.__repr__", "_StringTupleGenerator.itemAt"};
    StringList(GeometrySource source, AttribClass type, std::string name)
        : GeometryList(std::move(source)), myType(type), myName(std::move(name))
    {
    }
    std::size_t length(GeometryData const &data) const
    {
        return attribIn(data, myType, myName).strings.size();
    }
    std::string describe() const { return "<strings of " + describeAttrib(mySource, myType, myName) + ">"; }
    std::string item(GeometryData const &data, std::size_t index) const
    {
        return attribIn(data, myType, myName).strings[index];
    }

private:
    AttribClass myType;
    std::string myName;
};

} // namespace kalhost
