// The rigid-body solver behind simulation networks: what each body starts from, how it moves
// from one frame to the next, and the states cached per frame.
#include <algorithm>
#include <cmath>

#include "host/journal.h"
#include "host/parms.h"
#include "host/simulation.h"
#include "host/nodetypes.h"
#include "model/nodetypes.h"

namespace kalhost
{

namespace
{

// Below this speed (m/s) a bounce ends in rest: the bounces would otherwise never end.
constexpr double RestingSpeed = 1e-3;
// A step meets the ground at most this many times before the body is put to rest.
constexpr int MaxContactsPerStep = 16;

std::array<double, 3> tupleValue(std::shared_ptr<SceneNode> const &node, char const *name,
                                 std::array<double, 3> fallback)
{
    if (auto const tuple = findParmTuple(*node, name))
        for (std::size_t component = 0; component < 3 && component < tuple->parms.size(); ++component)
            fallback[component] = evalParmNumber(node, tuple, component);
    return fallback;
}

double scalarValue(std::shared_ptr<SceneNode> const &node, char const *name, double fallback)
{
    auto const tuple = findParmTuple(*node, name);
    return tuple && !tuple->parms.empty() ? evalParmNumber(node, tuple, 0) : fallback;
}

bool sameSetup(RigidBodySetup const &first, RigidBodySetup const &second)
{
    return first.node.lock() == second.node.lock() && first.objid == second.objid &&
           first.position == second.position && first.velocity == second.velocity &&
           first.mass == second.mass && first.bounce == second.bounce && first.radius == second.radius;
}

std::vector<RigidBodyState> startStates(std::vector<RigidBodySetup> const &bodies)
{
    std::vector<RigidBodyState> states(bodies.size());
    for (std::size_t i = 0; i < bodies.size(); ++i)
    {
        states[i].position = bodies[i].position;
        states[i].velocity = bodies[i].velocity;
        if (states[i].position[1] < bodies[i].radius) // starting in the ground: lifted onto it
        {
            states[i].position[1] = bodies[i].radius;
            states[i].velocity[1] = std::max(states[i].velocity[1], 0.0);
        }
    }
    return states;
}

} // namespace

void advance(RigidBodySetup const &body, RigidBodyState &state, double seconds)
{
    auto &p = state.position;
    auto &v = state.velocity;
    for (int contact = 0; seconds > 0.0 && !state.resting; ++contact)
    {
        // Height above resting on the ground: h(t) = h + v t - g t^2 / 2 reaches 0 at the
        // positive root, written so that it does not cancel when v is large.
        double const height = std::max(p[1] - body.radius, 0.0);
        double const discriminant = std::sqrt(v[1] * v[1] + 2.0 * Gravity * height);
        double const falling = discriminant - v[1]; // 0 only when resting on the ground already
        double const meets = v[1] > 0.0 ? (v[1] + discriminant) / Gravity
                                         : falling > 0.0 ? 2.0 * height / falling : 0.0;
        double const flight = std::min(meets, seconds);
        p[0] += v[0] * flight;
        p[2] += v[2] * flight;
        p[1] += v[1] * flight - 0.5 * Gravity * flight * flight;
        v[1] -= Gravity * flight;
        seconds -= flight;
        if (flight < meets)
            break;
        // On the ground: bounce, or rest where the ground holds it.
        p[1] = body.radius;
        double const rebound = -body.bounce * v[1];
        if (rebound < RestingSpeed || contact + 1 >= MaxContactsPerStep)
        {
            state.resting = true;
            v = {0.0, 0.0, 0.0};
        }
        else
            v[1] = rebound;
    }
}

int simulationFrame() { return static_cast<int>(std::lround(theScene().clock().frame())); }

bool isRigidObject(SceneNode const &node)
{
    return node.type->categoryCode == KOM_DopCategory && node.type->name == "rigidobject";
}

std::shared_ptr<SceneNode> simulationNetworkOf(std::shared_ptr<SceneNode> const &node)
{
    for (auto at = node; at; at = at->parent.lock())
        if (at->type->flagBits & KOM_SimulationNetworkFlag)
            return at;
    return nullptr;
}

SceneSimulation::NodeEntry &SceneSimulation::entryFor(std::shared_ptr<SceneNode> const &node)
{
    NodeEntry &entry = nodes[node.get()];
    if (entry.node.lock() != node)
        entry = NodeEntry{node};
    return entry;
}

RigidBodySetup const *SceneSimulation::bodyFor(int objid, std::size_t *index) const
{
    auto const found = bodyOf.find(objid);
    if (found == bodyOf.end())
        return nullptr;
    if (index)
        *index = found->second;
    return &bodies[found->second];
}

RigidBodySetup const *SceneSimulation::bodyFor(SceneNode const &node) const
{
    auto const entry = nodes.find(&node);
    if (entry == nodes.end() || entry->second.node.lock().get() != &node)
        return nullptr;
    return bodyFor(entry->second.objid);
}

namespace
{

// What each body starts from now, read from its node's parameters.
std::vector<RigidBodySetup> readBodies(SceneSimulation &simulation, SceneNode const &network)
{
    std::vector<RigidBodySetup> bodies;
    for (auto const &child : network.children)
    {
        if (!isRigidObject(*child))
            continue;
        if (child->flags & FlagBypass)
            continue;
        auto &entry = simulation.entryFor(child);
        if (entry.objid < 0)
            entry.objid = simulation.nextObjid++;
        RigidBodySetup body;
        body.node = child;
        body.objid = entry.objid;
        body.position = tupleValue(child, "t", body.position);
        body.velocity = tupleValue(child, "v", body.velocity);
        body.mass = scalarValue(child, "mass", body.mass);
        body.bounce = std::clamp(scalarValue(child, "bounce", body.bounce), 0.0, 1.0);
        body.radius = std::max(scalarValue(child, "radius", body.radius), 0.0);
        bodies.push_back(body);
    }
    return bodies;
}

} // namespace

SceneSimulation &simulationOf(std::shared_ptr<SceneNode> const &network)
{
    static std::uint64_t serials = 0;
    auto &simulation = network->simulation;
    if (!simulation || simulation->owner != network.get())
    {
        simulation = std::make_shared<SceneSimulation>();
        simulation->owner = network.get();
        simulation->serial = ++serials;
    }
    if (simulation->reads > 0 && simulation->readAt == sceneEdits())
        return *simulation;
    std::vector<RigidBodySetup> bodies = readBodies(*simulation, *network);
    ++simulation->reads;
    simulation->readAt = sceneEdits();
    double const fps = theScene().clock().fps;
    bool const same = fps == simulation->fps && bodies.size() == simulation->bodies.size() &&
                      std::equal(bodies.begin(), bodies.end(), simulation->bodies.begin(), sameSetup);
    if (!same)
    {
        simulation->fps = fps;
        simulation->bodies = std::move(bodies);
        simulation->bodyOf.clear();
        for (std::size_t i = 0; i < simulation->bodies.size(); ++i)
            simulation->bodyOf.emplace(simulation->bodies[i].objid, i);
        simulation->frames.clear();
        simulation->frames.emplace(1, startStates(simulation->bodies));
    }
    return *simulation;
}

std::vector<RigidBodyState> const &statesAt(SceneSimulation &simulation, int frame)
{
    auto at = std::prev(simulation.frames.upper_bound(std::max(frame, 1)));
    double const step = simulation.fps > 0.0 ? 1.0 / simulation.fps : 0.0;
    while (at->first < frame)
    {
        std::vector<RigidBodyState> next = at->second;
        for (std::size_t i = 0; i < next.size(); ++i)
            advance(simulation.bodies[i], next[i], step);
        ++simulation.steps;
        at = simulation.frames.emplace_hint(std::next(at), at->first + 1, std::move(next));
    }
    return at->second;
}

} // namespace kalhost
