// Geometry storage: attributes, element numbers, points and polygons, and transforms.
#include "host/geometry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numeric>

#include "model/errors.h"

namespace kalhost
{

// --- Attributes --------------------------------------------------------------------------

int GeometryAttrib::stringIndex(std::string const &text)
{
    auto const found = stringIndices.find(text);
    if (found != stringIndices.end())
        return found->second;
    strings.push_back(text);
    int const index = static_cast<int>(strings.size() - 1);
    stringIndices.emplace(text, index);
    return index;
}

void GeometryAttrib::appendDefaults(std::size_t count)
{
    this->count += count;
    for (std::size_t i = 0; i < count; ++i)
    {
        if (dataType == KOM_FloatAttribDataId)
            floats.insert(floats.end(), floatDefaults.begin(), floatDefaults.end());
        else
            ints.insert(ints.end(), intDefaults.begin(), intDefaults.end());
    }
}

void GeometryAttrib::appendFrom(GeometryAttrib const &source)
{
    std::size_t const count = source.count;
    bool const compatible = isNumeric() == source.isNumeric();
    if (!compatible)
    {
        appendDefaults(count);
        return;
    }
    this->count += count;
    // String indices are the source table's; each distinct one is looked up here once.
    std::vector<int> translated(dataType == KOM_StringAttribDataId ? source.strings.size() : 0);
    for (std::size_t i = 0; i < translated.size(); ++i)
        translated[i] = stringIndex(source.strings[i]);
    for (std::size_t element = 0; element < count; ++element)
        for (int component = 0; component < size; ++component)
        {
            bool const present = component < source.size;
            std::size_t const at = element * source.size + component;
            if (dataType == KOM_FloatAttribDataId)
                floats.push_back(!present                                   ? floatDefaults[component]
                                 : source.dataType == KOM_FloatAttribDataId ? source.floats[at]
                                                                            : float(source.ints[at]));
            else if (dataType == KOM_IntAttribDataId)
                ints.push_back(!present ? intDefaults[component]
                               : source.dataType == KOM_IntAttribDataId
                                   ? source.ints[at]
                                   : int(std::clamp(std::nearbyint(double(source.floats[at])), -2147483648.0,
                                                    2147483647.0)));
            else
                ints.push_back(present ? translated[source.ints[at]] : intDefaults[component]);
        }
}

void GeometryAttrib::keep(std::vector<char> const &kept)
{
    auto compact = [&](auto &values) {
        std::size_t to = 0;
        for (std::size_t element = 0; element < kept.size(); ++element)
            if (kept[element])
            {
                for (int component = 0; component < size; ++component)
                    values[to * size + component] = values[element * size + component];
                ++to;
            }
        values.resize(to * size);
    };
    if (dataType == KOM_FloatAttribDataId)
        compact(floats);
    else
        compact(ints);
    count = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), char(1)));
}

// --- Element numbers ---------------------------------------------------------------------

long ElementIds::indexOf(std::uint32_t id, long hint) const
{
    if (myIds.empty())
        return id < myCount ? long(id) : -1;
    if (hint >= 0 && std::size_t(hint) < myCount && myIds[hint] == id)
        return hint;
    auto const found = std::lower_bound(myIds.begin(), myIds.end(), id);
    return found != myIds.end() && *found == id ? long(found - myIds.begin()) : -1;
}

std::uint32_t ElementIds::add()
{
    ++myCount;
    if (myIds.empty() && myNext == myCount - 1)
        return myNext++;
    myIds.push_back(myNext);
    return myNext++;
}

void ElementIds::keep(std::vector<char> const &kept)
{
    if (myIds.empty())
    {
        myIds.resize(myCount);
        std::iota(myIds.begin(), myIds.end(), 0u);
    }
    std::size_t to = 0;
    for (std::size_t i = 0; i < myCount; ++i)
        if (kept[i])
            myIds[to++] = myIds[i];
    myIds.resize(to);
    myCount = to;
}

// --- Geometry ----------------------------------------------------------------------------

namespace
{

bool isAttribName(std::string const &name)
{
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

} // namespace

GeometryData::GeometryData()
{
    addAttrib(AttribClass::Point, "P", KOM_FloatAttribDataId, {0.0f, 0.0f, 0.0f}, {}, "");
}

std::size_t GeometryData::elementCount(AttribClass type) const
{
    switch (type)
    {
    case AttribClass::Point: return pointCount();
    case AttribClass::Prim: return primCount();
    case AttribClass::Vertex: return vertexCount();
    case AttribClass::Global: break;
    }
    return 1;
}

GeometryAttrib *GeometryData::find(AttribClass type, std::string const &name)
{
    for (auto &attrib : attribsOf(type))
        if (attrib.name == name)
            return &attrib;
    return nullptr;
}

GeometryAttrib const *GeometryData::find(AttribClass type, std::string const &name) const
{
    return const_cast<GeometryData *>(this)->find(type, name);
}

GeometryAttrib &GeometryData::addAttrib(AttribClass type, std::string const &name, int dataType,
                                        std::vector<float> const &floatDefaults,
                                        std::vector<int> const &intDefaults, std::string const &stringDefault)
{
    if (!isAttribName(name))
        throw KOM_OperationFailed(("Invalid attribute name: \"" + name + "\"").c_str());
    if (find(type, name))
        throw KOM_OperationFailed((std::string("The geometry already has a ") + AttribClassNames[int(type)] +
                                   " attribute named " + name)
                                      .c_str());
    GeometryAttrib attrib;
    attrib.name = name;
    attrib.dataType = dataType;
    if (dataType == KOM_FloatAttribDataId)
        attrib.floatDefaults = floatDefaults;
    else if (dataType == KOM_IntAttribDataId)
        attrib.intDefaults = intDefaults;
    else
        attrib.intDefaults = {attrib.stringIndex(stringDefault)};
    attrib.size = static_cast<int>(dataType == KOM_FloatAttribDataId ? attrib.floatDefaults.size()
                                                                     : attrib.intDefaults.size());
    attrib.appendDefaults(elementCount(type));
    auto &list = attribsOf(type);
    list.push_back(std::move(attrib));
    return list.back();
}

std::size_t GeometryData::addPoint(float x, float y, float z)
{
    pointIds.add();
    for (auto &attrib : attribsOf(AttribClass::Point))
        attrib.appendDefaults(1);
    float *const position = &positions().floats[(pointCount() - 1) * 3];
    position[0] = x;
    position[1] = y;
    position[2] = z;
    return pointCount() - 1;
}

std::size_t GeometryData::addPolygon(int const *points, std::size_t count)
{
    primIds.add();
    vertexPoints.insert(vertexPoints.end(), points, points + count);
    primStarts.push_back(static_cast<std::uint32_t>(vertexPoints.size()));
    for (auto &attrib : attribsOf(AttribClass::Prim))
        attrib.appendDefaults(1);
    for (auto &attrib : attribsOf(AttribClass::Vertex))
        attrib.appendDefaults(count);
    return primCount() - 1;
}

void GeometryData::deletePrims(std::vector<char> const &doomed, bool keepPoints)
{
    std::vector<char> keptPrims(primCount()), keptVertices(vertexCount());
    std::vector<char> usedByKept(pointCount()), usedByDoomed(pointCount());
    std::vector<std::uint32_t> starts = {0};
    std::vector<int> points;
    for (std::size_t prim = 0; prim < primCount(); ++prim)
    {
        bool const keep = !doomed[prim];
        keptPrims[prim] = keep;
        for (std::uint32_t vertex = primStarts[prim]; vertex < primStarts[prim + 1]; ++vertex)
        {
            keptVertices[vertex] = keep;
            (keep ? usedByKept : usedByDoomed)[vertexPoints[vertex]] = 1;
            if (keep)
                points.push_back(vertexPoints[vertex]);
        }
        if (keep)
            starts.push_back(static_cast<std::uint32_t>(points.size()));
    }
    primIds.keep(keptPrims);
    for (auto &attrib : attribsOf(AttribClass::Prim))
        attrib.keep(keptPrims);
    for (auto &attrib : attribsOf(AttribClass::Vertex))
        attrib.keep(keptVertices);
    primStarts = std::move(starts);
    vertexPoints = std::move(points);
    if (keepPoints)
        return;

    // Points that only deleted primitives used go with them; the rest are renumbered.
    std::vector<char> keptPoints(pointCount());
    std::vector<int> renumbered(pointCount(), -1);
    int next = 0;
    for (std::size_t point = 0; point < pointCount(); ++point)
    {
        keptPoints[point] = usedByKept[point] || !usedByDoomed[point];
        if (keptPoints[point])
            renumbered[point] = next++;
    }
    pointIds.keep(keptPoints);
    for (auto &attrib : attribsOf(AttribClass::Point))
        attrib.keep(keptPoints);
    for (int &point : vertexPoints)
        point = renumbered[point];
}

void GeometryData::append(GeometryData const &other)
{
    int const pointBase = static_cast<int>(pointCount());
    for (int type = 0; type < AttribClassCount; ++type)
        for (auto const &attrib : other.attribs[type])
            if (!find(AttribClass(type), attrib.name))
            {
                GeometryAttrib added = attrib;
                added.floats.clear();
                added.ints.clear();
                added.count = 0;
                // A global attribute new here takes its value; new elements take defaults.
                added.appendDefaults(type == int(AttribClass::Global) ? 0 : elementCount(AttribClass(type)));
                if (type == int(AttribClass::Global))
                    added.appendFrom(attrib);
                attribs[type].push_back(std::move(added));
            }
    for (int type = 0; type < int(AttribClass::Global); ++type)
        for (auto &attrib : attribs[type])
        {
            GeometryAttrib const *source = other.find(AttribClass(type), attrib.name);
            if (source)
                attrib.appendFrom(*source);
            else
                attrib.appendDefaults(other.elementCount(AttribClass(type)));
        }
    for (std::size_t i = 0; i < other.pointCount(); ++i)
        pointIds.add();
    for (std::size_t prim = 0; prim < other.primCount(); ++prim)
    {
        primIds.add();
        primStarts.push_back(static_cast<std::uint32_t>(vertexPoints.size() + other.primStarts[prim + 1]));
    }
    for (int point : other.vertexPoints)
        vertexPoints.push_back(point + pointBase);
}

// --- Transforms --------------------------------------------------------------------------

Transform Transform::fromComponents(double const translate[3], double const rotate[3], double const scale[3])
{
    // Row vectors: p * S * Rx * Ry * Rz, then the translation.
    double linear[3][3] = {{scale[0], 0, 0}, {0, scale[1], 0}, {0, 0, scale[2]}};
    for (int axis = 0; axis < 3; ++axis)
    {
        double const angle = rotate[axis] * M_PI / 180.0;
        double const c = std::cos(angle), s = std::sin(angle);
        int const a = (axis + 1) % 3, b = (axis + 2) % 3; // the plane the rotation turns
        for (auto &row : linear)
        {
            double const first = row[a], second = row[b];
            row[a] = first * c - second * s;
            row[b] = first * s + second * c;
        }
    }
    Transform transform{};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            transform.m[row][column] = linear[row][column];
    for (int column = 0; column < 3; ++column)
        transform.m[3][column] = translate[column];
    transform.m[3][3] = 1.0;
    return transform;
}

void Transform::applyToPoint(float *xyz) const
{
    double const p[3] = {xyz[0], xyz[1], xyz[2]};
    for (int column = 0; column < 3; ++column)
        xyz[column] = float(p[0] * m[0][column] + p[1] * m[1][column] + p[2] * m[2][column] + m[3][column]);
}

void Transform::applyToNormal(float *xyz) const
{
    // The cofactors are the inverse transpose scaled by the determinant; its sign keeps the
    // side a normal faces, and a singular transform still gives the best direction it can.
    double cofactor[3][3];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
        {
            int const r1 = (row + 1) % 3, r2 = (row + 2) % 3;
            int const c1 = (column + 1) % 3, c2 = (column + 2) % 3;
            cofactor[row][column] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
        }
    double const determinant = m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] + m[0][2] * cofactor[0][2];
    double const sign = determinant < 0.0 ? -1.0 : 1.0;
    double const n[3] = {xyz[0], xyz[1], xyz[2]};
    double result[3];
    for (int column = 0; column < 3; ++column)
        result[column] =
            sign * (n[0] * cofactor[0][column] + n[1] * cofactor[1][column] + n[2] * cofactor[2][column]);
    double const length = std::sqrt(result[0] * result[0] + result[1] * result[1] + result[2] * result[2]);
    for (int column = 0; column < 3; ++column)
        xyz[column] = float(length > 0.0 ? result[column] / length : result[column]);
}

} // namespace kalhost
