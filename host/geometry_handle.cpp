// The handle on a whole geometry: its lists, attributes and global values, and the edits a
// frozen copy accepts.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "host/geometry.h"
#include "host/nodes.h"
#include "model/errors.h"
#include "model/mathvalues.h"

namespace kalhost
{

namespace
{

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

// A value for a global attribute: ints, floats or a string, one (scalar) or a sequence.
struct GlobalValue
{
    enum Kind
    {
        Ints,
        Floats,
        Text
    } kind;
    std::vector<int> ints;
    std::vector<float> floats;
    std::string text;
    bool scalar;

    std::size_t size() const { return kind == Text ? 1 : kind == Ints ? ints.size() : floats.size(); }
};

// By name, a value of the wrong type is a KOM_TypeError; by attribute a KOM_OperationFailed.
void assign(GeometryAttrib &attrib, GlobalValue const &value, bool byName)
{
    char const *const given = value.kind == GlobalValue::Text   ? "a string"
                              : value.kind == GlobalValue::Ints ? "ints"
                                                                : "floats";
    bool const fits = attrib.dataType == KOM_StringAttribDataId ? value.kind == GlobalValue::Text
                      : attrib.dataType == KOM_IntAttribDataId  ? value.kind == GlobalValue::Ints
                                                                : value.kind != GlobalValue::Text;
    if (!fits)
    {
        std::string const message =
            "Attribute " + attrib.name + " holds " + holding(attrib) + ": it takes no " + given;
        if (byName)
            throw KOM_TypeError(message.c_str());
        throw KOM_OperationFailed(message.c_str());
    }
    if (value.size() != std::size_t(attrib.size) || (value.scalar && attrib.size != 1))
        throw KOM_OperationFailed(("Attribute " + attrib.name + " has " + std::to_string(attrib.size) +
                                   " components, not " + std::to_string(value.size()))
                                      .c_str());
    if (attrib.dataType == KOM_StringAttribDataId)
        attrib.ints[0] = attrib.stringIndex(value.text);
    else if (attrib.dataType == KOM_IntAttribDataId)
        std::copy(value.ints.begin(), value.ints.end(), attrib.ints.begin());
    else if (value.kind == GlobalValue::Ints)
        std::transform(value.ints.begin(), value.ints.end(), attrib.floats.begin(),
                       [](int v) { return float(v); });
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

void setByName(GeometrySource const &source, char const *name, GlobalValue const &value)
{
    GeometryData &data = source.write();
    assign(*const_cast<GeometryAttrib *>(&namedAttrib(data, AttribClass::Global, name)), value, true);
}

void setGiven(GeometrySource const &source, KOM_Attrib &attrib, GlobalValue const &value)
{
    GeometryData &data = source.write();
    assign(*const_cast<GeometryAttrib *>(&givenAttrib(source, data, AttribClass::Global, attrib)), value,
           false);
}

} // namespace

std::string GeometryHandle::__repr__()
{
    hostOperation("Geometry.__repr__");
    return mySource.isFrozen() ? "<kal.Geometry (frozen)>"
                               : "<kal.Geometry of " + mySource.describe() + " (read-only)>";
}
KOM_SopNode *GeometryHandle::sopNode()
{
    hostOperation("Geometry.sopNode");
    auto const node = mySource.node();
    return node ? dynamic_cast<KOM_SopNode *>(NodeHandle::handleFor(node)) : nullptr;
}
KOM_Geometry *GeometryHandle::freeze()
{
    hostOperation("Geometry.freeze");
    return new GeometryHandle(GeometrySource(std::make_shared<GeometryData>(mySource.read())));
}
KOM_IterableList<KOM_Point> *GeometryHandle::iterPoints()
{
    hostOperation("Geometry.iterPoints");
    mySource.read();
    return new PointList(mySource);
}
std::vector<KOM_ElemPtr<KOM_Point>> GeometryHandle::points()
{
    hostOperation("Geometry.points");
    GeometryData const &data = mySource.read();
    std::vector<KOM_ElemPtr<KOM_Point>> points;
    points.reserve(data.pointCount());
    for (std::size_t index = 0; index < data.pointCount(); ++index)
        points.emplace_back(PointHandle::at(mySource, data, index));
    return points;
}
KOM_IterableList<KOM_Prim> *GeometryHandle::iterPrims()
{
    hostOperation("Geometry.iterPrims");
    mySource.read();
    return new PrimList(mySource);
}
std::vector<KOM_ElemPtr<KOM_Prim>> GeometryHandle::prims()
{
    hostOperation("Geometry.prims");
    GeometryData const &data = mySource.read();
    std::vector<KOM_ElemPtr<KOM_Prim>> prims;
    prims.reserve(data.primCount());
    for (std::size_t index = 0; index < data.primCount(); ++index)
        prims.emplace_back(PrimHandle::at(mySource, data, index));
    return prims;
}
std::vector<KOM_ElemPtr<KOM_Attrib>> GeometryHandle::pointAttribs()
{
    hostOperation("Geometry.pointAttribs");
    return attribHandles(mySource, AttribClass::Point);
}
std::vector<KOM_ElemPtr<KOM_Attrib>> GeometryHandle::primAttribs()
{
    hostOperation("Geometry.primAttribs");
    return attribHandles(mySource, AttribClass::Prim);
}
std::vector<KOM_ElemPtr<KOM_Attrib>> GeometryHandle::vertexAttribs()
{
    hostOperation("Geometry.vertexAttribs");
    return attribHandles(mySource, AttribClass::Vertex);
}
std::vector<KOM_ElemPtr<KOM_Attrib>> GeometryHandle::globalAttribs()
{
    hostOperation("Geometry.globalAttribs");
    return attribHandles(mySource, AttribClass::Global);
}
KOM_Attrib *GeometryHandle::findPointAttrib(char const *name)
{
    hostOperation("Geometry.findPointAttrib", name);
    return findAttrib(mySource, AttribClass::Point, name);
}
KOM_Attrib *GeometryHandle::findPrimAttrib(char const *name)
{
    hostOperation("Geometry.findPrimAttrib", name);
    return findAttrib(mySource, AttribClass::Prim, name);
}
KOM_Attrib *GeometryHandle::findVertexAttrib(char const *name)
{
    hostOperation("Geometry.findVertexAttrib", name);
    return findAttrib(mySource, AttribClass::Vertex, name);
}
KOM_Attrib *GeometryHandle::findGlobalAttrib(char const *name)
{
    hostOperation("Geometry.findGlobalAttrib", name);
    return findAttrib(mySource, AttribClass::Global, name);
}
KOM_EnumValue *GeometryHandle::attribType()
{
    hostOperation("Geometry.attribType");
    return attribTypeValue(AttribClass::Global);
}
KOM_Point *GeometryHandle::createPoint()
{
    hostOperation("Geometry.createPoint");
    GeometryData &data = mySource.write();
    return PointHandle::at(mySource, data, data.addPoint(0.0f, 0.0f, 0.0f));
}
KOM_Polygon *GeometryHandle::createPolygon()
{
    hostOperation("Geometry.createPolygon");
    GeometryData &data = mySource.write();
    return PrimHandle::at(mySource, data, data.addPolygon(nullptr, 0));
}
void GeometryHandle::deletePrims(std::vector<KOM_Prim *> const &prims, bool keep_points)
{
    hostOperation("Geometry.deletePrims", prims, keep_points);
    GeometryData &data = mySource.write();
    std::vector<char> doomed(data.primCount());
    for (KOM_Prim *prim : prims)
    {
        auto const handle = dynamic_cast<PrimHandle *>(prim);
        if (!handle || handle->source().identity() != mySource.identity())
            throw KOM_OperationFailed(prim ? "The primitive belongs to other geometry"
                                           : "None is no primitive");
        doomed[handle->indexIn(data)] = 1;
    }
    data.deletePrims(doomed, keep_points);
}
KOM_Attrib *GeometryHandle::addAttrib(KOM_EnumValue &type, char const *name, int default_value)
{
    hostOperation("Geometry.addAttrib", type, name, default_value);
    return add(type, name, KOM_IntAttribDataId, {}, {default_value}, "");
}
KOM_Attrib *GeometryHandle::addAttrib(KOM_EnumValue &type, char const *name, float default_value)
{
    hostOperation("Geometry.addAttrib", type, name, default_value);
    return add(type, name, KOM_FloatAttribDataId, {default_value}, {}, "");
}
KOM_Attrib *GeometryHandle::addAttrib(KOM_EnumValue &type, char const *name, char const *default_value)
{
    hostOperation("Geometry.addAttrib", type, name, default_value);
    return add(type, name, KOM_StringAttribDataId, {}, {}, default_value ? default_value : "");
}
KOM_Attrib *GeometryHandle::addAttrib(KOM_EnumValue &type, char const *name,
                                      std::vector<int> const &default_value)
{
    hostOperation("Geometry.addAttrib", type, name, default_value);
    return add(type, name, KOM_IntAttribDataId, {}, default_value, "");
}
KOM_Attrib *GeometryHandle::addAttrib(KOM_EnumValue &type, char const *name,
                                      std::vector<float> const &default_value, bool transform_as_normal)
{
    hostOperation("Geometry.addAttrib", type, name, default_value, transform_as_normal);
    KOM_Attrib *const added = add(type, name, KOM_FloatAttribDataId, default_value, {}, "");
    mySource.write().find(attribClassOf(type), name)->transformAsNormal = transform_as_normal;
    return added;
}
void GeometryHandle::setGlobalAttribValue(char const *name, int attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
    setByName(mySource, name, {GlobalValue::Ints, {attrib_value}, {}, "", true});
}
void GeometryHandle::setGlobalAttribValue(char const *name, float attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
    setByName(mySource, name, {GlobalValue::Floats, {}, {attrib_value}, "", true});
}
void GeometryHandle::setGlobalAttribValue(char const *name, char const *attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
    setByName(mySource, name, {GlobalValue::Text, {}, {}, attrib_value ? attrib_value : "", true});
}
void GeometryHandle::setGlobalAttribValue(char const *name, std::vector<int> const &attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
    setByName(mySource, name, {GlobalValue::Ints, attrib_value, {}, "", false});
}
void GeometryHandle::setGlobalAttribValue(char const *name, std::vector<float> const &attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", name, attrib_value);
    setByName(mySource, name, {GlobalValue::Floats, {}, attrib_value, "", false});
}
void GeometryHandle::setGlobalAttribValue(KOM_Attrib &attrib, int attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
    setGiven(mySource, attrib, {GlobalValue::Ints, {attrib_value}, {}, "", true});
}
void GeometryHandle::setGlobalAttribValue(KOM_Attrib &attrib, float attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
    setGiven(mySource, attrib, {GlobalValue::Floats, {}, {attrib_value}, "", true});
}
void GeometryHandle::setGlobalAttribValue(KOM_Attrib &attrib, char const *attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
    setGiven(mySource, attrib, {GlobalValue::Text, {}, {}, attrib_value ? attrib_value : "", true});
}
void GeometryHandle::setGlobalAttribValue(KOM_Attrib &attrib, std::vector<int> const &attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
    setGiven(mySource, attrib, {GlobalValue::Ints, attrib_value, {}, "", false});
}
void GeometryHandle::setGlobalAttribValue(KOM_Attrib &attrib, std::vector<float> const &attrib_value)
{
    hostOperation("Geometry.setGlobalAttribValue", attrib, attrib_value);
    setGiven(mySource, attrib, {GlobalValue::Floats, {}, attrib_value, "", false});
}
// A text file of every attribute of every element, in a form that reads back exactly.
void GeometryHandle::saveToFile(char const *file_name)
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
            out << AttribClassNames[type] << " attribute " << attrib.name << ' ' << holding(attrib)
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
KOM_BoundingBox *GeometryHandle::boundingBox()
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

KOM_Attrib *GeometryHandle::add(KOM_EnumValue &type, char const *name, int dataType,
                                std::vector<float> const &floats, std::vector<int> const &ints,
                                std::string const &text)
{
    GeometryData &data = mySource.write();
    AttribClass const attribClass = attribClassOf(type);
    data.addAttrib(attribClass, name ? name : "", dataType, floats, ints, text);
    return new AttribHandle(mySource, attribClass, name);
}

KOM_Geometry *geometryHandle(std::shared_ptr<SceneNode> const &node)
{
    cookedGeometry(node); // a failing cook fails here, where the script asked for the geometry
    return new GeometryHandle(GeometrySource(node));
}

} // namespace kalhost
