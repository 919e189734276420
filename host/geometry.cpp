#include "host/geometry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <functional>
#include <numeric>
#include <stdexcept>

#include "host/nodes.h"
#include "host/parms.h"
#include "model/errors.h"
#include "model/mathvalues.h"

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
                floats.push_back(!present ? floatDefaults[component]
                                 : source.dataType == KOM_FloatAttribDataId ? source.floats[at]
                                                                       : float(source.ints[at]));
            else if (dataType == KOM_IntAttribDataId)
                ints.push_back(!present ? intDefaults[component]
                               : source.dataType == KOM_IntAttribDataId
                                   ? source.ints[at]
                                   : int(std::clamp(std::nearbyint(double(source.floats[at])),
                                                    -2147483648.0, 2147483647.0)));
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
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

char const *const ClassNames[AttribClassCount] = {"point", "primitive", "vertex", "global"};

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
                                        std::vector<int> const &intDefaults,
                                        std::string const &stringDefault)
{
    if (!isAttribName(name))
        throw KOM_OperationFailed(("Invalid attribute name: \"" + name + "\"").c_str());
    if (find(type, name))
        throw KOM_OperationFailed(
            (std::string("The geometry already has a ") + ClassNames[int(type)] + " attribute named " + name)
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

Transform Transform::fromComponents(double const translate[3], double const rotate[3],
                                    double const scale[3])
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
        result[column] = sign * (n[0] * cofactor[0][column] + n[1] * cofactor[1][column] + n[2] * cofactor[2][column]);
    double const length = std::sqrt(result[0] * result[0] + result[1] * result[1] + result[2] * result[2]);
    for (int column = 0; column < 3; ++column)
        xyz[column] = float(length > 0.0 ? result[column] / length : result[column]);
}

// --- Cooking -----------------------------------------------------------------------------

struct SceneGeometryCache
{
    SceneNode const *owner = nullptr; // a copied node's cache is not its own
    std::vector<double> parms;
    std::vector<std::shared_ptr<GeometryData const>> inputs;
    std::shared_ptr<GeometryData const> result;
};

namespace
{

using Inputs = std::vector<std::shared_ptr<GeometryData const>>;

// Beyond this, a cook refuses with an error instead of exhausting memory.
constexpr double MaxElements = 50e6;

void requireBuildable(double points, double vertices, SceneNode const &node)
{
    if (points > MaxElements || vertices > MaxElements)
        throw KOM_OperationFailed(("Too much geometry for " + node.path() + ": " +
                                   std::to_string(points) + " points, " + std::to_string(vertices) +
                                   " vertices").c_str());
}

// An integer parameter as a count: rounded, negative (or not a number) as none.
double countOf(double value) { return value >= 0.0 ? std::floor(value + 0.5) : 0.0; }

std::shared_ptr<GeometryData> makeBox(std::vector<double> const &parms, SceneNode const &node)
{
    double const size[3] = {parms[0], parms[1], parms[2]};
    double const divisions = std::max(1.0, countOf(parms[3])); // a box has at least one quad a side
    requireBuildable(6 * divisions * divisions + 2, 24 * divisions * divisions, node);
    int const n = static_cast<int>(divisions);
    auto box = std::make_shared<GeometryData>();
    box->positions().floats.reserve((6 * std::size_t(n) * n + 2) * 3);

    // The points of the (n+1)^3 lattice on the surface, layer by layer along z; a layer
    // between the caps holds only its ring of 4n points.
    for (int k = 0; k <= n; ++k)
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i)
                if (k == 0 || k == n || j == 0 || j == n || i == 0 || i == n)
                    box->addPoint(float(size[0] * (double(i) / n - 0.5)), float(size[1] * (double(j) / n - 0.5)),
                                  float(size[2] * (double(k) / n - 0.5)));
    auto const pointAt = [n](int i, int j, int k) {
        int const full = (n + 1) * (n + 1);
        int const layer = k == 0 ? 0 : full + (k - 1) * 4 * n;
        if (k == 0 || k == n)
            return layer + j * (n + 1) + i;
        if (j == 0)
            return layer + i;
        if (j == n)
            return layer + (n + 1) + 2 * (n - 1) + i;
        return layer + (n + 1) + 2 * (j - 1) + (i == n ? 1 : 0);
    };

    // Each side: a corner and two lattice directions whose cross product points outwards, so
    // that the quads turn counter-clockwise seen from outside.
    struct Side
    {
        int origin[3];
        int u[3];
        int v[3];
    };
    Side const sides[6] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 0, n}, {1, 0, 0}, {0, 1, 0}},
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{n, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, n, 0}, {0, 0, 1}, {1, 0, 0}},
    };
    for (Side const &side : sides)
        for (int b = 0; b < n; ++b)
            for (int a = 0; a < n; ++a)
            {
                int quad[4];
                int const corners[4][2] = {{a, b}, {a + 1, b}, {a + 1, b + 1}, {a, b + 1}};
                for (int corner = 0; corner < 4; ++corner)
                {
                    int at[3];
                    for (int axis = 0; axis < 3; ++axis)
                        at[axis] = side.origin[axis] + corners[corner][0] * side.u[axis] +
                                   corners[corner][1] * side.v[axis];
                    quad[corner] = pointAt(at[0], at[1], at[2]);
                }
                box->addPolygon(quad, 4);
            }
    return box;
}

// Rows along z, columns along x, flat on the ground plane and facing up.
std::shared_ptr<GeometryData> makeGrid(std::vector<double> const &parms, SceneNode const &node)
{
    double rows = countOf(parms[0]), columns = countOf(parms[1]);
    if (rows == 0.0 || columns == 0.0)
        rows = columns = 0.0; // a line of no points is no line
    requireBuildable(std::max(rows * columns, std::max(rows, columns)), 4 * rows * columns, node);
    int const rowCount = static_cast<int>(rows), columnCount = static_cast<int>(columns);
    double const width = parms[2], depth = parms[3];
    auto grid = std::make_shared<GeometryData>();
    grid->positions().floats.reserve(std::size_t(rowCount) * columnCount * 3);
    auto const along = [](int index, int count) { return count > 1 ? double(index) / (count - 1) - 0.5 : 0.0; };
    for (int row = 0; row < rowCount; ++row)
        for (int column = 0; column < columnCount; ++column)
            grid->addPoint(float(width * along(column, columnCount)), 0.0f, float(depth * along(row, rowCount)));
    for (int row = 0; row + 1 < rowCount; ++row)
        for (int column = 0; column + 1 < columnCount; ++column)
        {
            int const first = row * columnCount + column;
            int const quad[4] = {first, first + columnCount, first + columnCount + 1, first + 1};
            grid->addPolygon(quad, 4);
        }
    return grid;
}

// Unit radius: a pole at each end and rows - 2 rings of `cols` points between them; triangles
// at the poles, quads between the rings.
std::shared_ptr<GeometryData> makeSphere(std::vector<double> const &parms, SceneNode const &node)
{
    double const rows = std::max(3.0, countOf(parms[0])), columns = std::max(3.0, countOf(parms[1]));
    requireBuildable(rows * columns, 4 * rows * columns, node);
    int const rings = static_cast<int>(rows) - 2, columnCount = static_cast<int>(columns);
    auto sphere = std::make_shared<GeometryData>();
    sphere->addPoint(0.0f, 1.0f, 0.0f);
    for (int ring = 1; ring <= rings; ++ring)
    {
        double const polar = M_PI * ring / (rings + 1);
        for (int column = 0; column < columnCount; ++column)
        {
            double const azimuth = 2.0 * M_PI * column / columnCount;
            sphere->addPoint(float(std::sin(polar) * std::cos(azimuth)), float(std::cos(polar)),
                             float(std::sin(polar) * std::sin(azimuth)));
        }
    }
    int const south = static_cast<int>(sphere->addPoint(0.0f, -1.0f, 0.0f));
    auto const at = [columnCount](int ring, int column) { return 1 + (ring - 1) * columnCount + column % columnCount; };
    for (int column = 0; column < columnCount; ++column)
    {
        int const cap[3] = {0, at(1, column + 1), at(1, column)};
        sphere->addPolygon(cap, 3);
    }
    for (int ring = 1; ring < rings; ++ring)
        for (int column = 0; column < columnCount; ++column)
        {
            int const quad[4] = {at(ring, column), at(ring, column + 1), at(ring + 1, column + 1),
                                 at(ring + 1, column)};
            sphere->addPolygon(quad, 4);
        }
    for (int column = 0; column < columnCount; ++column)
    {
        int const cap[3] = {south, at(rings, column), at(rings, column + 1)};
        sphere->addPolygon(cap, 3);
    }
    return sphere;
}

std::shared_ptr<GeometryData const> empty()
{
    static auto const nothing = std::make_shared<GeometryData const>();
    return nothing;
}

std::shared_ptr<GeometryData const> transformed(std::vector<double> const &parms, Inputs const &inputs)
{
    if (inputs.empty() || !inputs[0])
        return empty();
    auto result = std::make_shared<GeometryData>(*inputs[0]);
    Transform const transform = Transform::fromComponents(&parms[0], &parms[3], &parms[6]);
    float *const positions = result->positions().floats.data();
    for (std::size_t point = 0; point < result->pointCount(); ++point)
        transform.applyToPoint(positions + 3 * point);
    for (int type = 0; type < int(AttribClass::Global); ++type)
        for (auto &attrib : result->attribs[type])
            if (attrib.transformAsNormal && attrib.dataType == KOM_FloatAttribDataId && attrib.size == 3)
                for (std::size_t element = 0; element < attrib.count; ++element)
                    transform.applyToNormal(attrib.floats.data() + 3 * element);
    return result;
}

std::shared_ptr<GeometryData const> merged(Inputs const &inputs, SceneNode const &node)
{
    double points = 0, vertices = 0;
    for (auto const &input : inputs)
        if (input)
        {
            points += double(input->pointCount());
            vertices += double(input->vertexCount());
        }
    requireBuildable(points, vertices, node);
    auto result = std::make_shared<GeometryData>();
    for (auto const &input : inputs)
        if (input)
            result->append(*input);
    return result;
}

// How each surface node type cooks: the parameter tuples it reads, in order, and what it
// makes of their values and of its inputs.
struct Cooker
{
    std::vector<std::string> parms;
    std::function<std::shared_ptr<GeometryData const>(std::vector<double> const &, Inputs const &,
                                                      SceneNode const &)>
        cook;
};

Cooker const &cookerFor(SceneNode const &node)
{
    static std::map<std::string, Cooker> const cookers = {
        {"box", {{"size", "divisions"}, [](auto const &parms, auto const &, auto const &node) {
             return std::shared_ptr<GeometryData const>(makeBox(parms, node));
         }}},
        {"grid", {{"rows", "cols", "size"}, [](auto const &parms, auto const &, auto const &node) {
             return std::shared_ptr<GeometryData const>(makeGrid(parms, node));
         }}},
        {"sphere", {{"rows", "cols"}, [](auto const &parms, auto const &, auto const &node) {
             return std::shared_ptr<GeometryData const>(makeSphere(parms, node));
         }}},
        {"xform", {{"t", "r", "s"}, [](auto const &parms, auto const &inputs, auto const &) {
             return transformed(parms, inputs);
         }}},
        {"merge", {{}, [](auto const &, auto const &inputs, auto const &node) { return merged(inputs, node); }}},
        {"null", {{}, [](auto const &, auto const &inputs, auto const &) {
             return inputs.empty() || !inputs[0] ? empty() : inputs[0];
         }}},
    };
    static Cooker const nothing = {{}, [](auto const &, auto const &, auto const &) { return empty(); }};
    // Asked at every read of a node's geometry: the types found once are remembered.
    static std::map<NodeTypeInfo const *, Cooker const *> byType;
    auto const known = byType.find(node.type);
    if (known != byType.end())
        return *known->second;
    if (node.type->categoryCode != SopCategory)
        throw KOM_OperationFailed(("Not a surface node: " + node.path()).c_str());
    auto const found = cookers.find(node.type->name);
    return *byType.emplace(node.type, found == cookers.end() ? &nothing : &found->second).first->second;
}

// What a node's geometry is made from now: its parameters' values and its inputs' geometry.
// Read at every access, so kept in buffers that are reused instead of allocated each time.
struct CookSources
{
    std::vector<double> parms;
    Inputs inputs;
};

std::shared_ptr<GeometryData const> cook(std::shared_ptr<SceneNode> const &node, std::size_t depth);

void readSources(std::shared_ptr<SceneNode> const &node, Cooker const &cooker, std::size_t depth,
                 CookSources &sources)
{
    sources.parms.clear();
    for (std::string const &name : cooker.parms)
        if (auto const tuple = findParmTuple(*node, name))
            for (std::size_t component = 0; component < tuple->parms.size(); ++component)
                sources.parms.push_back(evalParmNumber(node, tuple, component));
    sources.inputs.clear();
    for (auto const &input : node->inputs)
    {
        auto const source = input.indirect ? nullptr : input.node.lock();
        sources.inputs.push_back(source ? cook(source, depth + 1) : nullptr);
    }
}

std::shared_ptr<GeometryData const> cook(std::shared_ptr<SceneNode> const &node, std::size_t depth)
{
    // A chain longer than the network holds nodes passes some node twice: a cycle.
    auto const network = node->parent.lock();
    if (depth > (network ? network->children.size() : 0))
        throw KOM_OperationFailed(("The inputs of " + node->path() + " form a cycle").c_str());
    Cooker const &cooker = cookerFor(*node);
    static std::vector<std::unique_ptr<CookSources>> buffers; // one per depth
    while (buffers.size() <= depth)
        buffers.push_back(std::make_unique<CookSources>());
    CookSources &sources = *buffers[depth];
    readSources(node, cooker, depth, sources);

    auto &cache = node->cookCache;
    bool const current = cache && cache->owner == node.get() && cache->parms == sources.parms &&
                         cache->inputs == sources.inputs;
    if (!current)
    {
        auto result = cooker.cook(sources.parms, sources.inputs, *node);
        if (!cache || cache->owner != node.get())
        {
            cache = std::make_shared<SceneGeometryCache>();
            cache->owner = node.get();
        }
        cache->parms = sources.parms;
        cache->inputs = sources.inputs;
        cache->result = std::move(result);
    }
    sources.inputs.clear(); // the buffer holds on to no geometry between reads
    return cache->result;
}

} // namespace

GeometryData const &cookedGeometry(std::shared_ptr<SceneNode> const &node)
{
    cook(node, 0);
    return *node->cookCache->result;
}

// --- Where handles find their geometry ----------------------------------------------------

std::shared_ptr<SceneNode> GeometrySource::node() const
{
    if (myFrozen)
        return nullptr;
    auto node = myNode.lock();
    if (!node || !node->isInScene())
        throw KOM_ObjectWasDeleted();
    return node;
}

GeometryData const &GeometrySource::read() const
{
    return myFrozen ? *myFrozen : cookedGeometry(node());
}

GeometryData &GeometrySource::write() const
{
    if (!myFrozen)
    {
        node(); // a gone node's geometry is gone, not read-only
        throw KOM_GeometryPermissionError("The geometry of a node is read-only: freeze() it to edit a copy");
    }
    return *myFrozen;
}

std::string GeometrySource::describe() const
{
    return myFrozen ? "frozen geometry" : node()->path();
}

} // namespace kalhost
