// Handles on geometry, its elements and attributes, and the lists that make them on demand.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "host/geometry.h"
#include "host/nodes.h"
#include "model/errors.h"
#include "model/mathvalues.h"
#include "model/nodes.h"

namespace kalhost
{

namespace
{

char const *const ClassNames[AttribClassCount] = {"point", "primitive", "vertex", "global"};

KOM_EnumValue *attribTypeValue(AttribClass type)
{
    static KOM_EnumValue *const values[AttribClassCount] = {&KOM_attribType::Point, &KOM_attribType::Prim,
                                                            &KOM_attribType::Vertex, &KOM_attribType::Global};
    return values[int(type)];
}

KOM_EnumValue *dataTypeValue(int code)
{
    switch (code)
    {
    case KOM_IntAttribDataId: return &KOM_attribData::Int;
    case KOM_StringAttribDataId: return &KOM_attribData::String;
    default: return &KOM_attribData::Float;
    }
}

AttribClass attribClassOf(KOM_EnumValue const &value)
{
    if (std::string(value.enumType->name()) == typeid(KOM_attribType).name())
        for (int type = 0; type < AttribClassCount; ++type)
            if (attribTypeValue(AttribClass(type))->valueId == value.valueId)
                return AttribClass(type);
    throw KOM_TypeError(("Expected an attribType value, not " + std::string(value.reprText)).c_str());
}

// "3 floats", "1 int", "strings": what an attribute holds, for messages.
std::string holding(GeometryAttrib const &attrib)
{
    if (attrib.dataType == KOM_StringAttribDataId)
        return "strings";
    return std::to_string(attrib.size) + (attrib.dataType == KOM_FloatAttribDataId ? " float" : " int") +
           (attrib.size == 1 ? "" : "s");
}

[[noreturn]] void wrongKind(GeometryAttrib const &attrib, char const *wanted)
{
    throw KOM_OperationFailed(("Attribute " + attrib.name + " holds " + holding(attrib) + ", not " + wanted).c_str());
}

GeometryAttrib const &namedAttrib(GeometryData const &data, AttribClass type, char const *name)
{
    GeometryAttrib const *found = name ? data.find(type, name) : nullptr;
    if (!found)
        throw KOM_OperationFailed((std::string("No ") + ClassNames[int(type)] + " attribute named " +
                                   (name ? name : "None")).c_str());
    return *found;
}

// The typed reads: the scalar forms want exactly one component.
double readFloat(GeometryAttrib const &attrib, std::size_t element)
{
    if (attrib.dataType != KOM_FloatAttribDataId || attrib.size != 1)
        wrongKind(attrib, "one float");
    return attrib.floats[element];
}

std::vector<float> readFloats(GeometryAttrib const &attrib, std::size_t element)
{
    if (attrib.dataType != KOM_FloatAttribDataId)
        wrongKind(attrib, "floats");
    auto const first = attrib.floats.begin() + element * attrib.size;
    return std::vector<float>(first, first + attrib.size);
}

int readInt(GeometryAttrib const &attrib, std::size_t element)
{
    if (attrib.dataType != KOM_IntAttribDataId || attrib.size != 1)
        wrongKind(attrib, "one int");
    return attrib.ints[element];
}

std::vector<int> readInts(GeometryAttrib const &attrib, std::size_t element)
{
    if (attrib.dataType != KOM_IntAttribDataId)
        wrongKind(attrib, "ints");
    auto const first = attrib.ints.begin() + element * attrib.size;
    return std::vector<int>(first, first + attrib.size);
}

// The first component; an attribute of no components holds the empty string.
std::string readString(GeometryAttrib const &attrib, std::size_t element)
{
    if (attrib.dataType != KOM_StringAttribDataId)
        wrongKind(attrib, "strings");
    return attrib.size == 0 ? std::string() : attrib.strings[attrib.ints[element * attrib.size]];
}

GeometryAttrib const &givenAttrib(GeometrySource const &source, GeometryData const &data, AttribClass type,
                                  KOM_Attrib &attrib);

// An attribute a handle names; KOM_ObjectWasDeleted once its geometry no longer has it.
GeometryAttrib const &attribIn(GeometryData const &data, AttribClass type, std::string const &name)
{
    GeometryAttrib const *found = data.find(type, name);
    if (!found)
        throw KOM_ObjectWasDeleted("The attribute no longer exists");
    return *found;
}

std::string describeAttrib(GeometrySource const &source, AttribClass type, std::string const &name)
{
    GeometryAttrib const &attrib = attribIn(source.read(), type, name);
    return "<kal.Attrib " + std::string(ClassNames[int(type)]) + " " + name + " (" + holding(attrib) + ") of " +
           source.describe() + ">";
}

// What the value getters read: one element of a geometry.
struct Element
{
    GeometryData const &data;
    std::size_t index;
};

// The ten value getters, shared by the classes that have attribute values: Type is the
// class of attributes they read.
template <class Interface, AttribClass Type>
class ValueGetters : public Interface, private LiveCounted
{
public:
    explicit ValueGetters(GeometrySource source) : mySource(std::move(source)) {}
    GeometrySource const &source() const { return mySource; }

    double floatAttribValue(char const *name) override
    {
        hostOperation(name_(0), name);
        return readNamed(name, readFloat);
    }
    double floatAttribValue(KOM_Attrib &attrib) override
    {
        hostOperation(name_(0), attrib);
        return readGiven(attrib, readFloat);
    }
    std::vector<float> floatListAttribValue(char const *name) override
    {
        hostOperation(name_(1), name);
        return readNamed(name, readFloats);
    }
    std::vector<float> floatListAttribValue(KOM_Attrib &attrib) override
    {
        hostOperation(name_(1), attrib);
        return readGiven(attrib, readFloats);
    }
    int intAttribValue(char const *name) override
    {
        hostOperation(name_(2), name);
        return readNamed(name, readInt);
    }
    int intAttribValue(KOM_Attrib &attrib) override
    {
        hostOperation(name_(2), attrib);
        return readGiven(attrib, readInt);
    }
    std::vector<int> intListAttribValue(char const *name) override
    {
        hostOperation(name_(3), name);
        return readNamed(name, readInts);
    }
    std::vector<int> intListAttribValue(KOM_Attrib &attrib) override
    {
        hostOperation(name_(3), attrib);
        return readGiven(attrib, readInts);
    }
    std::string stringAttribValue(char const *name) override
    {
        hostOperation(name_(4), name);
        return readNamed(name, readString);
    }
    std::string stringAttribValue(KOM_Attrib &attrib) override
    {
        hostOperation(name_(4), attrib);
        return readGiven(attrib, readString);
    }

protected:
    // The element now; KOM_ObjectWasDeleted once it is gone.
    virtual Element element() const = 0;

    GeometrySource mySource;

private:
    static char const *name_(int getter)
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
    auto readNamed(char const *name, Read read) const
    {
        Element const at = element();
        return read(namedAttrib(at.data, Type, name), at.index);
    }

    template <class Read>
    auto readGiven(KOM_Attrib &attrib, Read read) const
    {
        Element const at = element();
        return read(givenAttrib(mySource, at.data, Type, attrib), at.index);
    }
};

// One point or primitive, by the id that stays with it while deletions shift its index.
class ElementRef
{
public:
    ElementRef(std::uint32_t id, long hint, char const *what) : myId(id), myHint(hint), myWhat(what) {}
    std::uint32_t id() const { return myId; }
    long hint() const { return myHint; }

    // KOM_ObjectWasDeleted once the element is gone.
    std::size_t indexIn(ElementIds const &ids) const
    {
        long const index = ids.indexOf(myId, myHint);
        if (index < 0)
            throw KOM_ObjectWasDeleted((std::string("The ") + myWhat + " no longer exists").c_str());
        myHint = index;
        return std::size_t(index);
    }

    bool operator==(ElementRef const &other) const { return myId == other.myId; }

private:
    std::uint32_t myId;
    mutable long myHint;
    char const *myWhat;
};

// The vertices of primitive `prim`: an offset range in vertexPoints.
std::pair<std::size_t, std::size_t> verticesOf(GeometryData const &data, ElementRef const &prim)
{
    std::size_t const index = prim.indexIn(data.primIds);
    return {data.primStarts[index], data.primStarts[index + 1]};
}

std::string primName(GeometryData const &data, ElementRef const &prim)
{
    return "#" + std::to_string(prim.indexIn(data.primIds));
}

int hashOf(void const *identity, std::uint32_t id, int salt)
{
    std::size_t const mixed = std::hash<void const *>()(identity) ^ (std::size_t(id) * 0x9E3779B1u + salt);
    return static_cast<int>(mixed ^ (mixed >> 32));
}

// --- Points ------------------------------------------------------------------------------

class PointHandle final : public ValueGetters<KOM_Point, AttribClass::Point>
{
public:
    PointHandle(GeometrySource source, std::uint32_t id, long hint)
        : ValueGetters(std::move(source)), myPoint(id, hint, "point")
    {
    }

    static PointHandle *at(GeometrySource const &source, GeometryData const &data, std::size_t index)
    {
        return new PointHandle(source, data.pointIds.idOf(index), long(index));
    }

    std::size_t indexIn(GeometryData const &data) const { return myPoint.indexIn(data.pointIds); }

    std::string describe() const
    {
        std::size_t const index = indexIn(mySource.read());
        return "<kal.Point #" + std::to_string(index) + " of " + mySource.describe() + ">";
    }

    bool __eq__(KOM_Point &other) override
    {
        hostOperation("Point.__eq__", other);
        return same(other);
    }
    bool __ne__(KOM_Point &other) override
    {
        hostOperation("Point.__ne__", other);
        return !same(other);
    }
    int __hash__() override
    {
        hostOperation("Point.__hash__");
        return hashOf(mySource.identity(), myPoint.id(), 1);
    }
    std::string __repr__() override
    {
        hostOperation("Point.__repr__");
        return describe();
    }
    KOM_Geometry *geometry() override;
    int number() override
    {
        hostOperation("Point.number");
        return int(indexIn(mySource.read()));
    }
    KOM_EnumValue *attribType() override
    {
        hostOperation("Point.attribType");
        return attribTypeValue(AttribClass::Point);
    }
    KOM_Vector4 *position() override
    {
        hostOperation("Point.position");
        Element const at = element();
        float const *p = &at.data.positions().floats[at.index * 3];
        GeometryAttrib const *weight = at.data.find(AttribClass::Point, "Pw");
        bool const weighted = weight && weight->dataType == KOM_FloatAttribDataId && weight->size == 1;
        return new KOM_Vector4(p[0], p[1], p[2], weighted ? weight->floats[at.index] : 1.0f);
    }
    // A weight other than 1 goes to the point attribute "Pw", made when first needed.
    void setPosition(std::vector<float> const &position) override
    {
        hostOperation("Point.setPosition", position);
        GeometryData &data = mySource.write();
        std::size_t const index = indexIn(data);
        if (position.size() != 3 && position.size() != 4)
            throw KOM_InvalidSize(("A position has 3 or 4 components, not " + std::to_string(position.size())).c_str());
        std::copy(position.begin(), position.begin() + 3, data.positions().floats.begin() + index * 3);
        if (position.size() == 4)
        {
            GeometryAttrib *weight = data.find(AttribClass::Point, "Pw");
            if (!weight && position[3] != 1.0f)
                weight = &data.addAttrib(AttribClass::Point, "Pw", KOM_FloatAttribDataId, {1.0f}, {}, "");
            if (weight && weight->dataType == KOM_FloatAttribDataId && weight->size == 1)
                weight->floats[index] = position[3];
        }
    }

protected:
    Element element() const override
    {
        GeometryData const &data = mySource.read();
        return {data, indexIn(data)};
    }

private:
    bool same(KOM_Point &other) const
    {
        auto const point = dynamic_cast<PointHandle *>(&other);
        return point && point->mySource.identity() == mySource.identity() && point->myPoint == myPoint;
    }

    ElementRef myPoint;
};

// --- Primitives and vertices -------------------------------------------------------------

// Every primitive of this host is a closed polygon.
class PrimHandle final : public ValueGetters<KOM_Polygon, AttribClass::Prim>
{
public:
    PrimHandle(GeometrySource source, std::uint32_t id, long hint)
        : ValueGetters(std::move(source)), myPrim(id, hint, "primitive")
    {
    }

    static PrimHandle *at(GeometrySource const &source, GeometryData const &data, std::size_t index)
    {
        return new PrimHandle(source, data.primIds.idOf(index), long(index));
    }

    std::size_t indexIn(GeometryData const &data) const { return myPrim.indexIn(data.primIds); }
    ElementRef const &ref() const { return myPrim; }

    std::string describe() const
    {
        return "<kal.Polygon " + primName(mySource.read(), myPrim) + " of " + mySource.describe() + ">";
    }

    bool __eq__(KOM_Prim &other) override
    {
        hostOperation("Prim.__eq__", other);
        return same(other);
    }
    bool __ne__(KOM_Prim &other) override
    {
        hostOperation("Prim.__ne__", other);
        return !same(other);
    }
    int __hash__() override
    {
        hostOperation("Prim.__hash__");
        return hashOf(mySource.identity(), myPrim.id(), 2);
    }
    std::string __repr__() override
    {
        hostOperation("Polygon.__repr__");
        return describe();
    }
    KOM_Geometry *geometry() override;
    int number() override
    {
        hostOperation("Prim.number");
        return int(indexIn(mySource.read()));
    }
    KOM_EnumValue *type() override
    {
        hostOperation("Prim.type");
        return &KOM_primType::Polygon;
    }
    KOM_EnumValue *attribType() override
    {
        hostOperation("Prim.attribType");
        return attribTypeValue(AttribClass::Prim);
    }
    bool closed() override
    {
        hostOperation("Face.closed");
        indexIn(mySource.read());
        return true;
    }
    KOM_IterableList<KOM_Vertex> *vertices() override;
    int numVertices() override
    {
        hostOperation("Face.numVertices");
        GeometryData const &data = mySource.read();
        std::size_t const index = indexIn(data);
        return int(data.primStarts[index + 1] - data.primStarts[index]);
    }
    KOM_Vertex *vertex(int index) override;

protected:
    Element element() const override
    {
        GeometryData const &data = mySource.read();
        return {data, indexIn(data)};
    }

private:
    bool same(KOM_Prim &other) const
    {
        auto const prim = dynamic_cast<PrimHandle *>(&other);
        return prim && prim->mySource.identity() == mySource.identity() && prim->myPrim == myPrim;
    }

    ElementRef myPrim;
};

class VertexHandle final : public ValueGetters<KOM_Vertex, AttribClass::Vertex>
{
public:
    VertexHandle(GeometrySource source, std::uint32_t primId, long primHint, int index)
        : ValueGetters(std::move(source)), myPrim(primId, primHint, "primitive"), myIndex(index)
    {
    }

    // The vertex's place among all the geometry's vertices.
    std::size_t offsetIn(GeometryData const &data) const
    {
        auto const [first, end] = verticesOf(data, myPrim);
        if (first + std::size_t(myIndex) >= end)
            throw KOM_ObjectWasDeleted("The vertex no longer exists");
        return first + std::size_t(myIndex);
    }

    std::string describe() const
    {
        GeometryData const &data = mySource.read();
        offsetIn(data);
        return "<kal.Vertex #" + std::to_string(myIndex) + " of primitive " + primName(data, myPrim) + " of " +
               mySource.describe() + ">";
    }

    bool __eq__(KOM_Vertex &other) override
    {
        hostOperation("Vertex.__eq__", other);
        return same(other);
    }
    bool __ne__(KOM_Vertex &other) override
    {
        hostOperation("Vertex.__ne__", other);
        return !same(other);
    }
    int __hash__() override
    {
        hostOperation("Vertex.__hash__");
        return hashOf(mySource.identity(), myPrim.id(), 3 + 7 * myIndex);
    }
    std::string __repr__() override
    {
        hostOperation("Vertex.__repr__");
        return describe();
    }
    KOM_Geometry *geometry() override;
    KOM_Prim *prim() override
    {
        hostOperation("Vertex.prim");
        offsetIn(mySource.read());
        return new PrimHandle(mySource, myPrim.id(), myPrim.hint());
    }
    KOM_Point *point() override
    {
        hostOperation("Vertex.point");
        GeometryData const &data = mySource.read();
        return PointHandle::at(mySource, data, std::size_t(data.vertexPoints[offsetIn(data)]));
    }
    int number() override
    {
        hostOperation("Vertex.number");
        offsetIn(mySource.read());
        return myIndex;
    }
    KOM_EnumValue *attribType() override
    {
        hostOperation("Vertex.attribType");
        return attribTypeValue(AttribClass::Vertex);
    }

protected:
    Element element() const override
    {
        GeometryData const &data = mySource.read();
        return {data, offsetIn(data)};
    }

private:
    bool same(KOM_Vertex &other) const
    {
        auto const vertex = dynamic_cast<VertexHandle *>(&other);
        return vertex && vertex->mySource.identity() == mySource.identity() &&
               vertex->myPrim == myPrim && vertex->myIndex == myIndex;
    }

    ElementRef myPrim;
    int myIndex;
};

// --- Attributes --------------------------------------------------------------------------

class AttribHandle final : public KOM_Attrib, private LiveCounted
{
public:
    AttribHandle(GeometrySource source, AttribClass type, std::string name)
        : mySource(std::move(source)), myType(type), myName(std::move(name))
    {
    }

    GeometryAttrib const &in(GeometryData const &data) const { return attribIn(data, myType, myName); }

    GeometryAttrib const &attrib() const { return in(mySource.read()); }
    GeometrySource const &source() const { return mySource; }
    AttribClass attribClass() const { return myType; }
    std::string const &name_() const { return myName; }

    std::string describe() const { return describeAttrib(mySource, myType, myName); }

    bool __eq__(KOM_Attrib *other) override
    {
        hostOperation("Attrib.__eq__", other);
        return same(other);
    }
    bool __ne__(KOM_Attrib *other) override
    {
        hostOperation("Attrib.__ne__", other);
        return !same(other);
    }
    int __hash__() override
    {
        hostOperation("Attrib.__hash__");
        return hashOf(mySource.identity(), std::uint32_t(std::hash<std::string>()(myName)), 4 + int(myType));
    }
    std::string __repr__() override
    {
        hostOperation("Attrib.__repr__");
        return describe();
    }
    KOM_Geometry *geometry() override;
    std::string name() override
    {
        hostOperation("Attrib.name");
        attrib();
        return myName;
    }
    KOM_EnumValue *dataType() override
    {
        hostOperation("Attrib.dataType");
        return dataTypeValue(attrib().dataType);
    }
    KOM_EnumValue *type() override
    {
        hostOperation("Attrib.type");
        attrib();
        return attribTypeValue(myType);
    }
    int size() override
    {
        hostOperation("Attrib.size");
        return attrib().size;
    }
    bool isTransformedAsNormal() override
    {
        hostOperation("Attrib.isTransformedAsNormal");
        return attrib().transformAsNormal;
    }
    KOM_IterableList<std::string> *strings() override;

private:
    bool same(KOM_Attrib *other) const
    {
        auto const attrib = dynamic_cast<AttribHandle *>(other);
        return attrib && attrib->mySource.identity() == mySource.identity() && attrib->myType == myType &&
               attrib->myName == myName;
    }

    GeometrySource mySource;
    AttribClass myType;
    std::string myName;
};

GeometryAttrib const &givenAttrib(GeometrySource const &source, GeometryData const &data, AttribClass type,
                                  KOM_Attrib &attrib)
{
    auto const handle = dynamic_cast<AttribHandle *>(&attrib);
    if (!handle)
        throw KOM_OperationFailed("Not an attribute of this application");
    if (handle->source().identity() != source.identity())
        throw KOM_OperationFailed(("Attribute " + handle->name_() + " belongs to other geometry").c_str());
    if (handle->attribClass() != type)
        throw KOM_OperationFailed(("Attribute " + handle->name_() + " is a " + ClassNames[int(handle->attribClass())] +
                                   " attribute, not a " + ClassNames[int(type)] + " one").c_str());
    return handle->in(data);
}

std::vector<KOM_ElemPtr<KOM_Attrib>> attribHandles(GeometrySource const &source, AttribClass type)
{
    std::vector<KOM_ElemPtr<KOM_Attrib>> handles;
    for (auto const &attrib : source.read().attribsOf(type))
        handles.emplace_back(new AttribHandle(source, type, attrib.name));
    return handles;
}

KOM_Attrib *findAttrib(GeometrySource const &source, AttribClass type, char const *name)
{
    return name && source.read().find(type, name) ? new AttribHandle(source, type, name) : nullptr;
}

// --- Lazy lists --------------------------------------------------------------------------

// The items of a list are read when asked for, so the list follows its geometry's changes.
template <class Item, class Derived>
class GeometryList : public KOM_IterableList<Item>, private LiveCounted
{
public:
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
    using Result = decltype(std::declval<KOM_IterableList<Item> &>().itemAt(0));

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
    static constexpr char const *Operations[3] = {"_PointTupleGenerator.__len__", "_PointTupleGenerator.__repr__",
                                                  "_PointTupleGenerator.itemAt"};
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
    static constexpr char const *Operations[3] = {"_PrimTupleGenerator.__len__", "_PrimTupleGenerator.__repr__",
                                                  "_PrimTupleGenerator.itemAt"};
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
    static constexpr char const *Operations[3] = {"_VertexTupleGenerator.__len__",
                                                  "_VertexTupleGenerator.__repr__", "_VertexTupleGenerator.itemAt"};
    VertexList(GeometrySource source, ElementRef prim) : GeometryList(std::move(source)), myPrim(prim) {}
    std::size_t length(GeometryData const &data) const
    {
        auto const [first, end] = verticesOf(data, myPrim);
        return end - first;
    }
    std::string describe() const
    {
        return "<vertices of primitive " + primName(mySource.read(), myPrim) + " of " + mySource.describe() + ">";
    }
    KOM_Vertex *item(GeometryData const &, std::size_t index) const
    {
        return new VertexHandle(mySource, myPrim.id(), myPrim.hint(), int(index));
    }

private:
    ElementRef myPrim;
};

class StringList final : public GeometryList<std::string, StringList>
{
public:
    static constexpr char const *Operations[3] = {"_StringTupleGenerator.__len__",
                                                  "_StringTupleGenerator.__repr__", "_StringTupleGenerator.itemAt"};
    StringList(GeometrySource source, AttribClass type, std::string name)
        : GeometryList(std::move(source)), myType(type), myName(std::move(name))
    {
    }
    std::size_t length(GeometryData const &data) const { return attribIn(data, myType, myName).strings.size(); }
    std::string describe() const { return "<strings of " + describeAttrib(mySource, myType, myName) + ">"; }
    std::string item(GeometryData const &data, std::size_t index) const
    {
        return attribIn(data, myType, myName).strings[index];
    }

private:
    AttribClass myType;
    std::string myName;
};

// --- Geometry ----------------------------------------------------------------------------

// A value for a global attribute: ints, floats or a string, one (scalar) or a sequence.
struct GlobalValue
{
    enum Kind { Ints, Floats, Text } kind;
    std::vector<int> ints;
    std::vector<float> floats;
    std::string text;
    bool scalar;

    std::size_t size() const { return kind == Text ? 1 : kind == Ints ? ints.size() : floats.size(); }
};

// By name, a value of the wrong type is a KOM_TypeError; by attribute a KOM_OperationFailed.
void assign(GeometryAttrib &attrib, GlobalValue const &value, bool byName)
{
    char const *const given = value.kind == GlobalValue::Text ? "a string" : value.kind == GlobalValue::Ints ? "ints" : "floats";
    bool const fits = attrib.dataType == KOM_StringAttribDataId ? value.kind == GlobalValue::Text
                      : attrib.dataType == KOM_IntAttribDataId  ? value.kind == GlobalValue::Ints
                                                          : value.kind != GlobalValue::Text;
    if (!fits)
    {
        std::string const message = "Attribute " + attrib.name + " holds " + holding(attrib) + ": it takes no " + given;
        if (byName)
            throw KOM_TypeError(message.c_str());
        throw KOM_OperationFailed(message.c_str());
    }
    if (value.size() != std::size_t(attrib.size) || (value.scalar && attrib.size != 1))
        throw KOM_OperationFailed(("Attribute " + attrib.name + " has " + std::to_string(attrib.size) +
                                   " components, not " + std::to_string(value.size())).c_str());
    if (attrib.dataType == KOM_StringAttribDataId)
        attrib.ints[0] = attrib.stringIndex(value.text);
    else if (attrib.dataType == KOM_IntAttribDataId)
        std::copy(value.ints.begin(), value.ints.end(), attrib.ints.begin());
    else if (value.kind == GlobalValue::Ints)
        std::transform(value.ints.begin(), value.ints.end(), attrib.floats.begin(), [](int v) { return float(v); });
    else
        std::copy(value.floats.begin(), value.floats.end(), attrib.floats.begin());
}

void writeQuoted(std::ostream &out, std::string const &text)
{
    out << '"';
    for (char c : text)
    {
        if (c == '"' || c == '\\')
            out << '\\' << c;
        else if (c == '\n')
            out << "\\n";
        else
            out << c;
    }
    out << '"';
}

// Text every value of which reads back exactly: floats with nine significant digits.
void writeValues(std::ostream &out, GeometryAttrib const &attrib, std::size_t element)
{
    for (int component = 0; component < attrib.size; ++component)
    {
        std::size_t const at = element * attrib.size + component;
        out << ' ';
        if (attrib.dataType == KOM_FloatAttribDataId)
        {
            char number[32];
            std::snprintf(number, sizeof number, "%.9g", double(attrib.floats[at]));
            out << number;
        }
        else if (attrib.dataType == KOM_IntAttribDataId)
            out << attrib.ints[at];
        else
            writeQuoted(out, attrib.strings[attrib.ints[at]]);
    }
}

class GeometryHandle final : public ValueGetters<KOM_Geometry, AttribClass::Global>
{
public:
    explicit GeometryHandle(GeometrySource source) : ValueGetters(std::move(source)) {}

    std::string __repr__() override
    {
        hostOperation("Geometry.__repr__");
        return mySource.isFrozen() ? "<kal.Geometry (frozen)>"
                                   : "<kal.Geometry of " + mySource.describe() + " (read-only)>";
    }
    KOM_SopNode *sopNode() override
    {
        hostOperation("Geometry.sopNode");
        auto const node = mySource.node();
        return node ? dynamic_cast<KOM_SopNode *>(NodeHandle::handleFor(node)) : nullptr;
    }
    KOM_Geometry *freeze() override
    {
        hostOperation("Geometry.freeze");
        return new GeometryHandle(GeometrySource(std::make_shared<GeometryData>(mySource.read())));
    }
    KOM_IterableList<KOM_Point> *iterPoints() override
    {
        hostOperation("Geometry.iterPoints");
        mySource.read();
        return new PointList(mySource);
    }
    std::vector<KOM_ElemPtr<KOM_Point>> points() override
    {
        hostOperation("Geometry.points");
        GeometryData const &data = mySource.read();
        std::vector<KOM_ElemPtr<KOM_Point>> points;
        points.reserve(data.pointCount());
        for (std::size_t index = 0; index < data.pointCount(); ++index)
            points.emplace_back(PointHandle::at(mySource, data, index));
        return points;
    }
    KOM_IterableList<KOM_Prim> *iterPrims() override
    {
        hostOperation("Geometry.iterPrims");
        mySource.read();
        return new PrimList(mySource);
    }
    std::vector<KOM_ElemPtr<KOM_Prim>> prims() override
    {
        hostOperation("Geometry.prims");
        GeometryData const &data = mySource.read();
        std::vector<KOM_ElemPtr<KOM_Prim>> prims;
        prims.reserve(data.primCount());
        for (std::size_t index = 0; index < data.primCount(); ++index)
            prims.emplace_back(PrimHandle::at(mySource, data, index));
        return prims;
    }
    std::vector<KOM_ElemPtr<KOM_Attrib>> pointAttribs() override
    {
        hostOperation("Geometry.pointAttribs");
        return attribHandles(mySource, AttribClass::Point);
    }
    std::vector<KOM_ElemPtr<KOM_Attrib>> primAttribs() override
    {
        hostOperation("Geometry.primAttribs");
        return attribHandles(mySource, AttribClass::Prim);
    }
    std::vector<KOM_ElemPtr<KOM_Attrib>> vertexAttribs() override
    {
        hostOperation("Geometry.vertexAttribs");
        return attribHandles(mySource, AttribClass::Vertex);
    }
    std::vector<KOM_ElemPtr<KOM_Attrib>> globalAttribs() override
    {
        hostOperation("Geometry.globalAttribs");
        return attribHandles(mySource, AttribClass::Global);
    }
    KOM_Attrib *findPointAttrib(char const *name) override
    {
        hostOperation("Geometry.findPointAttrib", name);
        return findAttrib(mySource, AttribClass::Point, name);
    }
    KOM_Attrib *findPrimAttrib(char const *name) override
    {
        hostOperation("Geometry.findPrimAttrib", name);
        return findAttrib(mySource, AttribClass::Prim, name);
    }
    KOM_Attrib *findVertexAttrib(char const *name) override
    {
        hostOperation("Geometry.findVertexAttrib", name);
        return findAttrib(mySource, AttribClass::Vertex, name);
    }
    KOM_Attrib *findGlobalAttrib(char const *name) override
    {
        hostOperation("Geometry.findGlobalAttrib", name);
        return findAttrib(mySource, AttribClass::Global, name);
    }
    KOM_EnumValue *attribType() override
    {
        hostOperation("Geometry.attribType");
        return attribTypeValue(AttribClass::Global);
    }
    KOM_Point *createPoint() override
    {
        hostOperation("Geometry.createPoint");
        GeometryData &data = mySource.write();
        return PointHandle::at(mySource, data, data.addPoint(0.0f, 0.0f, 0.0f));
    }
    KOM_Polygon *createPolygon() override
    {
        hostOperation("Geometry.createPolygon");
        GeometryData &data = mySource.write();
        return PrimHandle::at(mySource, data, data.addPolygon(nullptr, 0));
    }
    void deletePrims(std::vector<KOM_Prim *> const &prims, bool keep_points) override
    {
        hostOperation("Geometry.deletePrims", prims, keep_points);
        GeometryData &data = mySource.write();
        std::vector<char> doomed(data.primCount());
        for (KOM_Prim *prim : prims)
        {
            auto const handle = dynamic_cast<PrimHandle *>(prim);
            if (!handle || handle->source().identity() != mySource.identity())
                throw KOM_OperationFailed(prim ? "The primitive belongs to other geometry" : "None is no primitive");
            doomed[handle->indexIn(data)] = 1;
        }
        data.deletePrims(doomed, keep_points);
    }
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, int default_value) override
    {
        hostOperation("Geometry.addAttrib", type, name, default_value);
        return add(type, name, KOM_IntAttribDataId, {}, {default_value}, "");
    }
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, float default_value) override
    {
        hostOperation("Geometry.addAttrib", type, name, default_value);
        return add(type, name, KOM_FloatAttribDataId, {default_value}, {}, "");
    }
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, char const *default_value) override
    {
        hostOperation("Geometry.addAttrib", type, name, default_value);
        return add(type, name, KOM_StringAttribDataId, {}, {}, default_value ? default_value : "");
    }
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, std::vector<int> const &default_value) override
    {
        hostOperation("Geometry.addAttrib", type, name, default_value);
        return add(type, name, KOM_IntAttribDataId, {}, default_value, "");
    }
    KOM_Attrib *addAttrib(KOM_EnumValue &type, char const *name, std::vector<float> const &default_value,
                          bool transform_as_normal) override
    {
        hostOperation("Geometry.addAttrib", type, name, default_value, transform_as_normal);
        KOM_Attrib *const added = add(type, name, KOM_FloatAttribDataId, default_value, {}, "");
        mySource.write().find(attribClassOf(type), name)->transformAsNormal = transform_as_normal;
        return added;
    }
    void setGlobalAttribValue(char const *name, int attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
        setByName(name, {GlobalValue::Ints, {attrib_value}, {}, "", true});
    }
    void setGlobalAttribValue(char const *name, float attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
        setByName(name, {GlobalValue::Floats, {}, {attrib_value}, "", true});
    }
    void setGlobalAttribValue(char const *name, char const *attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
        setByName(name, {GlobalValue::Text, {}, {}, attrib_value ? attrib_value : "", true});
    }
    void setGlobalAttribValue(char const *name, std::vector<int> const &attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
        setByName(name, {GlobalValue::Ints, attrib_value, {}, "", false});
    }
    void setGlobalAttribValue(char const *name, std::vector<float> const &attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
        setByName(name, {GlobalValue::Floats, {}, attrib_value, "", false});
    }
    void setGlobalAttribValue(KOM_Attrib &attrib, int attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
        setGiven(attrib, {GlobalValue::Ints, {attrib_value}, {}, "", true});
    }
    void setGlobalAttribValue(KOM_Attrib &attrib, float attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
        setGiven(attrib, {GlobalValue::Floats, {}, {attrib_value}, "", true});
    }
    void setGlobalAttribValue(KOM_Attrib &attrib, char const *attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
        setGiven(attrib, {GlobalValue::Text, {}, {}, attrib_value ? attrib_value : "", true});
    }
    void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<int> const &attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
        setGiven(attrib, {GlobalValue::Ints, attrib_value, {}, "", false});
    }
    void setGlobalAttribValue(KOM_Attrib &attrib, std::vector<float> const &attrib_value) override
    {
        hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
        setGiven(attrib, {GlobalValue::Floats, {}, attrib_value, "", false});
    }
    // A text file of every attribute of every element, in a form that reads back exactly.
    void saveToFile(char const *file_name) override
    {
        hostOperation("Geometry.saveToFile", file_name);
        GeometryData const &data = mySource.read();
        if (!file_name || !*file_name)
            throw KOM_OperationFailed("No file name");
        std::ofstream out(file_name);
        if (!out)
            throw KOM_OperationFailed((std::string("Cannot write ") + file_name).c_str());
        out << "kalvane geometry 1\n"
            << data.pointCount() << " points " << data.primCount() << " primitives " << data.vertexCount()
            << " vertices\n";
        for (int type = 0; type < AttribClassCount; ++type)
            for (auto const &attrib : data.attribs[type])
            {
                out << ClassNames[type] << " attribute " << attrib.name << ' ' << holding(attrib)
                    << (attrib.transformAsNormal ? " normal" : "") << '\n';
                for (std::size_t element = 0; element < attrib.count; ++element)
                {
                    writeValues(out, attrib, element);
                    out << '\n';
                }
            }
        for (std::size_t prim = 0; prim < data.primCount(); ++prim)
        {
            out << "polygon";
            for (auto vertex = data.primStarts[prim]; vertex < data.primStarts[prim + 1]; ++vertex)
                out << ' ' << data.vertexPoints[vertex];
            out << '\n';
        }
        out.close();
        if (!out)
            throw KOM_OperationFailed((std::string("Cannot write ") + file_name).c_str());
    }
    // The box around every point; an empty geometry's is empty at the origin.
    KOM_BoundingBox *boundingBox() override
    {
        hostOperation("Geometry.boundingBox");
        GeometryData const &data = mySource.read();
        if (data.pointCount() == 0)
            return new KOM_BoundingBox();
        float const *p = data.positions().floats.data();
        float low[3] = {p[0], p[1], p[2]}, high[3] = {p[0], p[1], p[2]};
        for (std::size_t point = 1; point < data.pointCount(); ++point)
            for (int axis = 0; axis < 3; ++axis)
            {
                low[axis] = std::min(low[axis], p[3 * point + axis]);
                high[axis] = std::max(high[axis], p[3 * point + axis]);
            }
        return new KOM_BoundingBox(low[0], low[1], low[2], high[0], high[1], high[2]);
    }

protected:
    Element element() const override { return {mySource.read(), 0}; }

private:
    KOM_Attrib *add(KOM_EnumValue &type, char const *name, int dataType, std::vector<float> const &floats,
                    std::vector<int> const &ints, std::string const &text)
    {
        GeometryData &data = mySource.write();
        AttribClass const attribClass = attribClassOf(type);
        data.addAttrib(attribClass, name ? name : "", dataType, floats, ints, text);
        return new AttribHandle(mySource, attribClass, name);
    }

    void setByName(char const *name, GlobalValue const &value)
    {
        GeometryData &data = mySource.write();
        assign(*const_cast<GeometryAttrib *>(&namedAttrib(data, AttribClass::Global, name)), value, true);
    }

    void setGiven(KOM_Attrib &attrib, GlobalValue const &value)
    {
        GeometryData &data = mySource.write();
        assign(*const_cast<GeometryAttrib *>(&givenAttrib(mySource, data, AttribClass::Global, attrib)), value, false);
    }
};

// --- Operations that make handles of other classes ---------------------------------------

KOM_Geometry *PointHandle::geometry()
{
    hostOperation("Point.geometry");
    indexIn(mySource.read());
    return new GeometryHandle(mySource);
}

KOM_Geometry *PrimHandle::geometry()
{
    hostOperation("Prim.geometry");
    indexIn(mySource.read());
    return new GeometryHandle(mySource);
}

KOM_IterableList<KOM_Vertex> *PrimHandle::vertices()
{
    hostOperation("Face.vertices");
    indexIn(mySource.read());
    return new VertexList(mySource, myPrim);
}

KOM_Vertex *PrimHandle::vertex(int index)
{
    hostOperation("Face.vertex", index);
    GeometryData const &data = mySource.read();
    auto const [first, end] = verticesOf(data, myPrim);
    if (index < 0 || std::size_t(index) >= end - first)
        throw std::out_of_range("Vertex index " + std::to_string(index) + " is outside the " +
                                std::to_string(end - first) + " vertices of the polygon");
    return new VertexHandle(mySource, myPrim.id(), myPrim.hint(), index);
}

KOM_Geometry *VertexHandle::geometry()
{
    hostOperation("Vertex.geometry");
    offsetIn(mySource.read());
    return new GeometryHandle(mySource);
}

KOM_Geometry *AttribHandle::geometry()
{
    hostOperation("Attrib.geometry");
    attrib();
    return new GeometryHandle(mySource);
}

KOM_IterableList<std::string> *AttribHandle::strings()
{
    hostOperation("Attrib.strings");
    attrib();
    return new StringList(mySource, myType, myName);
}

// What the journal shows of an argument: the handle's text, or what it was when it is gone.
template <class Handle, class Interface>
JournalValue journalOf(Interface const *object, char const *gone)
{
    return journalHandle(object, [object] {
        auto const handle = dynamic_cast<Handle const *>(object);
        return handle ? handle->describe() : std::string("<foreign object>");
    }, gone);
}

} // namespace

KOM_Geometry *geometryHandle(std::shared_ptr<SceneNode> const &node)
{
    cookedGeometry(node); // a failing cook fails here, where the script asked for the geometry
    return new GeometryHandle(GeometrySource(node));
}

JournalValue journalValue(KOM_Attrib const *attrib) { return journalOf<AttribHandle>(attrib, "<deleted attribute>"); }
JournalValue journalValue(KOM_Attrib const &attrib) { return journalValue(&attrib); }
JournalValue journalValue(KOM_Point const &point) { return journalOf<PointHandle>(&point, "<deleted point>"); }
JournalValue journalValue(KOM_Prim const *prim) { return journalOf<PrimHandle>(prim, "<deleted primitive>"); }
JournalValue journalValue(KOM_Prim const &prim) { return journalValue(&prim); }
JournalValue journalValue(KOM_Vertex const &vertex) { return journalOf<VertexHandle>(&vertex, "<deleted vertex>"); }

} // namespace kalhost
