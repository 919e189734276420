// Handles on points, primitives, vertices and attributes, and the lists of a face's vertices.
#include <algorithm>
#include <functional>
#include <stdexcept>

#include "host/geometry.h"
#include "model/errors.h"
#include "model/mathvalues.h"

namespace kalhost
{

// --- Within the family ---------------------------------------------------------------------

char const *const AttribClassNames[AttribClassCount] = {"point", "primitive", "vertex", "global"};

KOM_EnumValue *attribTypeValue(AttribClass type)
{
    static KOM_EnumValue *const values[AttribClassCount] = {&KOM_attribType::Point, &KOM_attribType::Prim,
                                                            &KOM_attribType::Vertex, &KOM_attribType::Global};
    return values[int(type)];
}

AttribClass attribClassOf(KOM_EnumValue const &value)
{
    if (std::string(value.enumType->name()) == typeid(KOM_attribType).name())
        for (int type = 0; type < AttribClassCount; ++type)
            if (attribTypeValue(AttribClass(type))->valueId == value.valueId)
                return AttribClass(type);
    throw KOM_TypeError(("Expected an attribType value, not " + std::string(value.reprText)).c_str());
}

std::string holding(GeometryAttrib const &attrib)
{
    if (attrib.dataType == KOM_StringAttribDataId)
        return "strings";
    return std::to_string(attrib.size) + (attrib.dataType == KOM_FloatAttribDataId ? " float" : " int") +
           (attrib.size == 1 ? "" : "s");
}

GeometryAttrib const &namedAttrib(GeometryData const &data, AttribClass type, char const *name)
{
    GeometryAttrib const *found = name ? data.find(type, name) : nullptr;
    if (!found)
        throw KOM_OperationFailed(
            (std::string("No ") + AttribClassNames[int(type)] + " attribute named " + (name ? name : "None"))
                .c_str());
    return *found;
}

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
    return "<kal.Attrib " + std::string(AttribClassNames[int(type)]) + " " + name + " (" + holding(attrib) +
           ") of " + source.describe() + ">";
}

GeometryAttrib const &givenAttrib(GeometrySource const &source, GeometryData const &data, AttribClass type,
                                  KOM_Attrib &attrib)
{
    auto const handle = dynamic_cast<AttribHandle *>(&attrib);
    if (!handle)
        throw KOM_OperationFailed("Not an attribute of this application");
    if (handle->source().identity() != source.identity())
        throw KOM_OperationFailed(
            ("Attribute " + handle->attribName() + " belongs to other geometry").c_str());
    if (handle->attribClass() != type)
        throw KOM_OperationFailed(("Attribute " + handle->attribName() + " is a " +
                                   AttribClassNames[int(handle->attribClass())] + " attribute, not a " +
                                   AttribClassNames[int(type)] + " one")
                                      .c_str());
    return handle->in(data);
}

namespace
{

[[noreturn]] void wrongKind(GeometryAttrib const &attrib, char const *wanted)
{
    throw KOM_OperationFailed(
        ("Attribute " + attrib.name + " holds " + holding(attrib) + ", not " + wanted).c_str());
}

// The vertices of a primitive: an offset range in vertexPoints.
std::pair<std::size_t, std::size_t> verticesOf(GeometryData const &data, ElementRef const &prim)
{
    std::size_t const index = prim.indexIn(data.primIds);
    return {data.primStarts[index], data.primStarts[index + 1]};
}

std::string primName(GeometryData const &data, ElementRef const &prim)
{
    return "#" + std::to_string(prim.indexIn(data.primIds));
}

} // namespace

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

std::string readString(GeometryAttrib const &attrib, std::size_t element)
{
    if (attrib.dataType != KOM_StringAttribDataId)
        wrongKind(attrib, "strings");
    return attrib.size == 0 ? std::string() : attrib.strings[attrib.ints[element * attrib.size]];
}

std::size_t ElementRef::indexIn(ElementIds const &ids) const
{
    long const index = ids.indexOf(myId, myHint);
    if (index < 0)
        throw KOM_ObjectWasDeleted((std::string("The ") + myWhat + " no longer exists").c_str());
    myHint = index;
    return std::size_t(index);
}

// --- Points ----------------------------------------------------------------------------------

PointHandle::PointHandle(GeometrySource source, std::uint32_t id, long hint)
    : ValueGetters(std::move(source)), myPoint(id, hint, "point")
{
}

PointHandle *PointHandle::at(GeometrySource const &source, GeometryData const &data, std::size_t index)
{
    return new PointHandle(source, data.pointIds.idOf(index), long(index));
}

std::string PointHandle::describe() const
{
    std::size_t const index = indexIn(mySource.read());
    return "<kal.Point #" + std::to_string(index) + " of " + mySource.describe() + ">";
}

std::string PointHandle::__repr__()
{
    hostOperation("Point.__repr__");
    return describe();
}

KOM_Geometry *PointHandle::geometry()
{
    hostOperation("Point.geometry");
    indexIn(mySource.read());
    return new GeometryHandle(mySource);
}

int PointHandle::number()
{
    hostOperation("Point.number");
    return int(indexIn(mySource.read()));
}

KOM_EnumValue *PointHandle::attribType()
{
    hostOperation("Point.attribType");
    return attribTypeValue(AttribClass::Point);
}

KOM_Vector4 *PointHandle::position()
{
    hostOperation("Point.position");
    Element const at = element();
    float const *p = &at.data.positions().floats[at.index * 3];
    GeometryAttrib const *weight = at.data.find(AttribClass::Point, "Pw");
    bool const weighted = weight && weight->dataType == KOM_FloatAttribDataId && weight->size == 1;
    return new KOM_Vector4(p[0], p[1], p[2], weighted ? weight->floats[at.index] : 1.0f);
}

void PointHandle::setPosition(std::vector<float> const &position)
{
    hostOperation("Point.setPosition", position);
    GeometryData &data = mySource.write();
    std::size_t const index = indexIn(data);
    if (position.size() != 3 && position.size() != 4)
        throw KOM_InvalidSize(
            ("A position has 3 or 4 components, not " + std::to_string(position.size())).c_str());
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

Element PointHandle::element() const
{
    GeometryData const &data = mySource.read();
    return {data, indexIn(data)};
}

// --- Primitives ------------------------------------------------------------------------------

PrimHandle::PrimHandle(GeometrySource source, std::uint32_t id, long hint)
    : ValueGetters(std::move(source)), myPrim(id, hint, "primitive")
{
}

PrimHandle *PrimHandle::at(GeometrySource const &source, GeometryData const &data, std::size_t index)
{
    return new PrimHandle(source, data.primIds.idOf(index), long(index));
}

std::string PrimHandle::describe() const
{
    return "<kal.Polygon " + primName(mySource.read(), myPrim) + " of " + mySource.describe() + ">";
}

std::string PrimHandle::__repr__()
{
    hostOperation("Polygon.__repr__");
    return describe();
}

KOM_Geometry *PrimHandle::geometry()
{
    hostOperation("Prim.geometry");
    indexIn(mySource.read());
    return new GeometryHandle(mySource);
}

int PrimHandle::number()
{
    hostOperation("Prim.number");
    return int(indexIn(mySource.read()));
}

KOM_EnumValue *PrimHandle::type()
{
    hostOperation("Prim.type");
    return &KOM_primType::Polygon;
}

KOM_EnumValue *PrimHandle::attribType()
{
    hostOperation("Prim.attribType");
    return attribTypeValue(AttribClass::Prim);
}

bool PrimHandle::closed()
{
    hostOperation("Face.closed");
    indexIn(mySource.read());
    return true;
}

KOM_IterableList<KOM_Vertex> *PrimHandle::vertices()
{
    hostOperation("Face.vertices");
    indexIn(mySource.read());
    return new VertexList(mySource, myPrim);
}

int PrimHandle::numVertices()
{
    hostOperation("Face.numVertices");
    auto const [first, end] = verticesOf(mySource.read(), myPrim);
    return int(end - first);
}

KOM_Vertex *PrimHandle::vertex(int index)
{
    hostOperation("Face.vertex", index);
    auto const [first, end] = verticesOf(mySource.read(), myPrim);
    if (index < 0 || std::size_t(index) >= end - first)
        throw std::out_of_range("Vertex index " + std::to_string(index) + " is outside the " +
                                std::to_string(end - first) + " vertices of the polygon");
    return new VertexHandle(mySource, myPrim, index);
}

Element PrimHandle::element() const
{
    GeometryData const &data = mySource.read();
    return {data, indexIn(data)};
}

// --- Vertices --------------------------------------------------------------------------------

VertexHandle::VertexHandle(GeometrySource source, ElementRef prim, int index)
    : ValueGetters(std::move(source)), myPrim(prim), myIndex(index)
{
}

std::size_t VertexHandle::offsetIn(GeometryData const &data) const
{
    auto const [first, end] = verticesOf(data, myPrim);
    if (first + std::size_t(myIndex) >= end)
        throw KOM_ObjectWasDeleted("The vertex no longer exists");
    return first + std::size_t(myIndex);
}

std::string VertexHandle::describe() const
{
    GeometryData const &data = mySource.read();
    offsetIn(data);
    return "<kal.Vertex #" + std::to_string(myIndex) + " of primitive " + primName(data, myPrim) + " of " +
           mySource.describe() + ">";
}

std::string VertexHandle::__repr__()
{
    hostOperation("Vertex.__repr__");
    return describe();
}

KOM_Geometry *VertexHandle::geometry()
{
    hostOperation("Vertex.geometry");
    offsetIn(mySource.read());
    return new GeometryHandle(mySource);
}

KOM_Prim *VertexHandle::prim()
{
    hostOperation("Vertex.prim");
    offsetIn(mySource.read());
    return new PrimHandle(mySource, myPrim.id(), myPrim.hint());
}

KOM_Point *VertexHandle::point()
{
    hostOperation("Vertex.point");
    GeometryData const &data = mySource.read();
    return PointHandle::at(mySource, data, std::size_t(data.vertexPoints[offsetIn(data)]));
}

int VertexHandle::number()
{
    hostOperation("Vertex.number");
    offsetIn(mySource.read());
    return myIndex;
}

KOM_EnumValue *VertexHandle::attribType()
{
    hostOperation("Vertex.attribType");
    return attribTypeValue(AttribClass::Vertex);
}

Element VertexHandle::element() const
{
    GeometryData const &data = mySource.read();
    return {data, offsetIn(data)};
}

std::size_t VertexList::length(GeometryData const &data) const
{
    auto const [first, end] = verticesOf(data, myPrim);
    return end - first;
}

std::string VertexList::describe() const
{
    return "<vertices of primitive " + primName(mySource.read(), myPrim) + " of " + mySource.describe() + ">";
}

// --- Attributes ------------------------------------------------------------------------------

AttribHandle::AttribHandle(GeometrySource source, AttribClass type, std::string name)
    : mySource(std::move(source)), myType(type), myName(std::move(name))
{
}

GeometryAttrib const &AttribHandle::in(GeometryData const &data) const
{
    return attribIn(data, myType, myName);
}

std::string AttribHandle::describe() const { return describeAttrib(mySource, myType, myName); }

std::string AttribHandle::__repr__()
{
    hostOperation("Attrib.__repr__");
    return describe();
}

KOM_Geometry *AttribHandle::geometry()
{
    hostOperation("Attrib.geometry");
    attrib();
    return new GeometryHandle(mySource);
}

std::string AttribHandle::name()
{
    hostOperation("Attrib.name");
    attrib();
    return myName;
}

KOM_EnumValue *AttribHandle::dataType()
{
    hostOperation("Attrib.dataType");
    switch (attrib().dataType)
    {
    case KOM_IntAttribDataId: return &KOM_attribData::Int;
    case KOM_StringAttribDataId: return &KOM_attribData::String;
    default: return &KOM_attribData::Float;
    }
}

KOM_EnumValue *AttribHandle::type()
{
    hostOperation("Attrib.type");
    attrib();
    return attribTypeValue(myType);
}

int AttribHandle::size()
{
    hostOperation("Attrib.size");
    return attrib().size;
}

bool AttribHandle::isTransformedAsNormal()
{
    hostOperation("Attrib.isTransformedAsNormal");
    return attrib().transformAsNormal;
}

KOM_IterableList<std::string> *AttribHandle::strings()
{
    hostOperation("Attrib.strings");
    attrib();
    return new StringList(mySource, myType, myName);
}

// --- What the journal shows ------------------------------------------------------------------

namespace
{

// The handle's text, or what it was when it is gone.
template <class Handle, class Interface>
JournalValue journalOf(Interface const &object, char const *gone)
{
    return journalHandle(
        [&object] {
            auto const handle = dynamic_cast<Handle const *>(&object);
            return handle ? handle->describe() : std::string("<foreign object>");
        },
        gone);
}

} // namespace

JournalValue JournalFormat<KOM_Attrib>::format(KOM_Attrib const &value)
{
    return journalOf<AttribHandle>(value, "<deleted attribute>");
}

JournalValue JournalFormat<KOM_Point>::format(KOM_Point const &value)
{
    return journalOf<PointHandle>(value, "<deleted point>");
}

JournalValue JournalFormat<KOM_Prim>::format(KOM_Prim const &value)
{
    return journalOf<PrimHandle>(value, "<deleted primitive>");
}

JournalValue JournalFormat<KOM_Vertex>::format(KOM_Vertex const &value)
{
    return journalOf<VertexHandle>(value, "<deleted vertex>");
}

} // namespace kalhost
