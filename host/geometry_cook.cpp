// Cooking: what each surface node type makes of its parameters and inputs, cached per node,
// and where handles find the geometry they name.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "host/geometry.h"
#include "host/parms.h"
#include "model/errors.h"

namespace kalhost
{

// --- Cooking -----------------------------------------------------------------------------

struct SceneGeometryCache
{
    SceneNode const *owner = nullptr; // a copied node's cache is not its own
    std::vector<double> parms;
    std::vector<std::shared_ptr<GeometryData const>> inputs;
    std::shared_ptr<GeometryData const> result;
    bool bypassed = false;
};

namespace
{

using Inputs = std::vector<std::shared_ptr<GeometryData const>>;

// Beyond this, a cook refuses with an error instead of exhausting memory.
constexpr double MaxElements = 50e6;

void requireBuildable(double points, double vertices, SceneNode const &node)
{
    if (points > MaxElements || vertices > MaxElements)
        throw KOM_OperationFailed(("Too much geometry for " + node.path() + ": " + std::to_string(points) +
                                   " points, " + std::to_string(vertices) + " vertices")
                                      .c_str());
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
                    box->addPoint(float(size[0] * (double(i) / n - 0.5)),
                                  float(size[1] * (double(j) / n - 0.5)),
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
    auto const along = [](int index, int count) {
        return count > 1 ? double(index) / (count - 1) - 0.5 : 0.0;
    };
    for (int row = 0; row < rowCount; ++row)
        for (int column = 0; column < columnCount; ++column)
            grid->addPoint(float(width * along(column, columnCount)), 0.0f,
                           float(depth * along(row, rowCount)));
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
    auto const at = [columnCount](int ring, int column) {
        return 1 + (ring - 1) * columnCount + column % columnCount;
    };
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
        {"box",
         {{"size", "divisions"},
          [](auto const &parms, auto const &, auto const &node) {
              return std::shared_ptr<GeometryData const>(makeBox(parms, node));
          }}},
        {"grid",
         {{"rows", "cols", "size"},
          [](auto const &parms, auto const &, auto const &node) {
              return std::shared_ptr<GeometryData const>(makeGrid(parms, node));
          }}},
        {"sphere",
         {{"rows", "cols"},
          [](auto const &parms, auto const &, auto const &node) {
              return std::shared_ptr<GeometryData const>(makeSphere(parms, node));
          }}},
        {"xform",
         {{"t", "r", "s"},
          [](auto const &parms, auto const &inputs, auto const &) { return transformed(parms, inputs); }}},
        {"merge",
         {{}, [](auto const &, auto const &inputs, auto const &node) { return merged(inputs, node); }}},
        {"null",
         {{},
          [](auto const &, auto const &inputs, auto const &) {
              return inputs.empty() || !inputs[0] ? empty() : inputs[0];
          }}},
    };
    static Cooker const nothing = {{}, [](auto const &, auto const &, auto const &) { return empty(); }};
    // Asked at every read of a node's geometry: the types found once are remembered.
    static std::map<NodeTypeInfo const *, Cooker const *> byType;
    auto const known = byType.find(node.type);
    if (known != byType.end())
        return *known->second;
    if (node.type->categoryCode != KOM_SopCategory)
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

// Brings `node`'s cache up to date; its inputs' caches already are.
void refresh(std::shared_ptr<SceneNode> const &node, CookSources &sources)
{
    Cooker const &cooker = cookerFor(*node);
    sources.parms.clear();
    for (std::string const &name : cooker.parms)
        if (auto const tuple = findParmTuple(*node, name))
            for (std::size_t component = 0; component < tuple->parms.size(); ++component)
                sources.parms.push_back(evalParmNumber(node, tuple, component));
    sources.inputs.clear();
    for (auto const &input : node->inputs())
    {
        auto const source = input.indirect ? nullptr : input.node.lock();
        sources.inputs.push_back(source ? source->cookCache->result : nullptr);
    }

    auto &cache = node->cookCache;
    bool const own = cache && cache->owner == node.get();
    // A hard-locked node keeps what it has; a bypassed one passes its first input on.
    bool const bypassed = (node->flags & FlagBypass) != 0;
    bool const current = own && (((node->flags & FlagHardLock) && cache->result) ||
                                 (cache->bypassed == bypassed && cache->parms == sources.parms &&
                                  cache->inputs == sources.inputs));
    if (!current)
    {
        auto result = !bypassed ? cooker.cook(sources.parms, sources.inputs, *node)
                      : sources.inputs.empty() || !sources.inputs[0] ? empty()
                                                                     : sources.inputs[0];
        if (!cache || cache->owner != node.get())
        {
            cache = std::make_shared<SceneGeometryCache>();
            cache->owner = node.get();
        }
        cache->parms = sources.parms;
        cache->inputs = sources.inputs;
        cache->bypassed = bypassed;
        cache->result = std::move(result);
    }
    sources.inputs.clear(); // the buffer holds on to no geometry between reads
}

// Brings `top` and everything upstream of it up to date, inputs first. Iterative, so that a
// long chain of nodes does not exhaust the stack; each node is refreshed once per cook.
void cook(std::shared_ptr<SceneNode> const &top)
{
    enum : int { Pending, Done };
    struct Step
    {
        std::shared_ptr<SceneNode> node;
        std::size_t nextInput = 0;
    };
    static std::vector<Step> stack; // reused: read at every access of a node's geometry
    static CookSources sources;
    stack.clear();
    std::uint64_t const pass = Scene::newPass();
    top->mark = {pass, Pending};
    stack.push_back({top});
    try
    {
        while (!stack.empty())
        {
            Step &step = stack.back();
            auto const &inputs = step.node->inputs();
            if (step.nextInput < inputs.size())
            {
                auto const &input = inputs[step.nextInput++];
                auto source = input.indirect ? nullptr : input.node.lock();
                if (!source || (source->mark.pass == pass && source->mark.value == Done))
                    continue;
                if (source->mark.pass == pass) // still waiting for its own inputs
                    throw KOM_OperationFailed(
                        ("The inputs of " + step.node->path() + " form a cycle").c_str());
                source->mark = {pass, Pending};
                stack.push_back({std::move(source)});
                continue;
            }
            refresh(step.node, sources);
            step.node->mark.value = Done;
            stack.pop_back();
        }
    }
    catch (...)
    {
        stack.clear();
        throw;
    }
}

} // namespace

GeometryData const &cookedGeometry(std::shared_ptr<SceneNode> const &node)
{
    cook(node);
    return *node->cookCache->result;
}

// --- Where handles find their geometry ----------------------------------------------------

std::shared_ptr<SceneNode> GeometrySource::node() const
{
    return myFrozen ? nullptr : liveNode(myNode);
}

GeometryData const &GeometrySource::read() const { return myFrozen ? *myFrozen : cookedGeometry(node()); }

GeometryData &GeometrySource::write() const
{
    if (!myFrozen)
    {
        node(); // a gone node's geometry is gone, not read-only
        throw KOM_GeometryPermissionError("The geometry of a node is read-only: freeze() it to edit a copy");
    }
    return *myFrozen;
}

std::string GeometrySource::describe() const { return myFrozen ? "frozen geometry" : node()->path(); }

} // namespace kalhost
