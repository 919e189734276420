// Geometry in the reference host: what surface nodes cook, frozen copies, and the handles on
// their points, primitives, vertices and attributes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

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
                              std::vector<float> const &floatDefaults,
                              std::vector<int> const &intDefaults, std::string const &stringDefault);
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
    static Transform fromComponents(double const translate[3], double const rotate[3],
                                    double const scale[3]);
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

} // namespace kalhost
