// Simulation in the reference host: a simulation network (`dopnet`) runs its `rigidobject` nodes
// as rigid bodies falling under gravity onto the ground plane y = 0, advancing with the global
// frame; the handles on the simulation, its data and their records.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/journal.h"
#include "host/scene.h"
#include "model/simulation.h"

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_DopData);   // its simulation network and data path
KALHOST_JOURNAL_FORMAT(KOM_DopObject); // as a KOM_DopData
KALHOST_JOURNAL_FORMAT(KOM_DopRecord); // its data, record type and index

// Metres per second squared, pulling towards -y.
inline constexpr double Gravity = 9.81;

// What a rigid object starts from, read from its node's parameters.
struct RigidBodySetup
{
    std::weak_ptr<SceneNode> node;
    int objid = 0;
    std::array<double, 3> position{};
    std::array<double, 3> velocity{};
    double mass = 1.0;
    double bounce = 0.0; // the share of its speed a body keeps when it meets the ground
    double radius = 0.5; // a body rests with its centre this high above the ground
};

struct RigidBodyState
{
    std::array<double, 3> position{};
    std::array<double, 3> velocity{};
    bool resting = false;
};

// Advances a body by `seconds`: free fall in closed form until the body meets the ground, then
// a bounce that keeps `bounce` of its speed, or rest once too little is left.
void advance(RigidBodySetup const &body, RigidBodyState &state, double seconds);

// A network's simulation, hung off its node. The bodies are read again only after a host
// operation that may have edited the scene (sceneEdits()), so that reading the data of each
// object in turn costs what it touches. States are cached per frame: a frame is reached by
// stepping from the nearest cached frame before it. Any change to what the bodies start from
// (parameters, objects, frame rate) drops the states.
struct SceneSimulation
{
    SceneNode const *owner = nullptr; // a copied network makes its own
    std::uint64_t serial = 0;         // never reused: names the simulation for kept handles
    double fps = 0.0;
    std::vector<RigidBodySetup> bodies; // in network order; bypassed nodes make none
    std::unordered_map<int, std::size_t> bodyOf; // by objid
    std::map<int, std::vector<RigidBodyState>> frames;
    std::uint64_t reads = 0;  // times the bodies were read; none yet on a new simulation
    std::uint64_t readAt = 0; // sceneEdits() at the last read
    std::uint64_t steps = 0; // frames stepped since the network was made, for the host tests

    // Objects are numbered from 0 in the order their nodes first took part. An entry whose
    // node is gone (its address since reused) counts as none.
    struct NodeEntry
    {
        std::weak_ptr<SceneNode> node;
        int objid = -1;
    };
    std::unordered_map<SceneNode const *, NodeEntry> nodes;
    int nextObjid = 0;

    NodeEntry &entryFor(std::shared_ptr<SceneNode> const &node);
    // The body of object `objid`, null when it takes no part now.
    RigidBodySetup const *bodyFor(int objid, std::size_t *index = nullptr) const;
    // The body `node` makes, null when it makes none now.
    RigidBodySetup const *bodyFor(SceneNode const &node) const;
};

// The frame the simulation shows now: the global frame, rounded to a whole frame.
int simulationFrame();
// The simulation `network` runs, brought up to date with its objects' parameters when an
// operation since the last call may have edited them.
SceneSimulation &simulationOf(std::shared_ptr<SceneNode> const &network);
// Every body's state at `frame`; frames before the first give the start.
std::vector<RigidBodyState> const &statesAt(SceneSimulation &simulation, int frame);
// The simulation network holding `node` (itself included), or null.
std::shared_ptr<SceneNode> simulationNetworkOf(std::shared_ptr<SceneNode> const &node);
bool isRigidObject(SceneNode const &node);

// Handles for the node family: new, owned by the caller.
KOM_DopSimulation *simulationHandle(std::shared_ptr<SceneNode> const &network);
// The object a rigid object node made, or null when it made none (bypassed, or no network).
KOM_DopData *objectHandleOf(std::shared_ptr<SceneNode> const &node);
// The node that made the object behind a handle, or null for other data.
std::shared_ptr<SceneNode> creatorOfObject(KOM_DopObject &object);

// --- Within the family: shared by host/simulation*.cpp -------------------------------------

// The kind of a data item: its type name, and the subdata an item of this kind holds. The
// address of a kind is the data handle the module's type test reads.
struct DopDataKind
{
    char const *typeName;
    std::vector<DopDataKind const *> subData;
    std::vector<char const *> subDataNames;
};

extern DopDataKind const ObjectKind;
extern DopDataKind const RelationshipKind;

// Every body collides with the ground and with the others: the simulation's one relationship.
inline constexpr char const *CollisionsName = "collisions";

// Which data item a handle refers to: an object (by its number) or the relationship, or one of
// their subdata by name.
struct DopDataRef
{
    bool relationship = false;
    int objid = -1;
    std::string sub;

    bool operator==(DopDataRef const &other) const
    {
        return relationship == other.relationship && objid == other.objid && sub == other.sub;
    }
    DopDataKind const &topKind() const { return relationship ? RelationshipKind : ObjectKind; }
    DopDataKind const &kind() const
    {
        DopDataKind const &top = topKind();
        for (std::size_t i = 0; i < top.subDataNames.size(); ++i)
            if (sub == top.subDataNames[i])
                return *top.subData[i];
        return top;
    }
    std::string id() const
    {
        std::string const top = relationship ? std::string("relationship:") + CollisionsName
                                              : "object:" + std::to_string(objid);
        return sub.empty() ? top : top + "/" + sub;
    }
};

// A data item as it is now: its network, simulation and, for an object, its body.
struct DopDataAt
{
    std::shared_ptr<SceneNode> network;
    SceneSimulation *simulation = nullptr;
    std::size_t body = 0;
    int frame = 1;
    std::vector<RigidBodyState> const *states = nullptr;

    RigidBodySetup const &setup() const { return simulation->bodies[body]; }
    RigidBodyState const &state() const { return (*states)[body]; }
    std::shared_ptr<SceneNode> node() const { return setup().node.lock(); }
};

// The network of a handle, KOM_ObjectWasDeleted once it is gone.
std::shared_ptr<SceneNode> liveNetwork(std::weak_ptr<SceneNode> const &network);
// The data item as it is now, KOM_ObjectWasDeleted once it is gone.
DopDataAt resolve(std::weak_ptr<SceneNode> const &network, DopDataRef const &ref);
bool matchesPattern(char const *pattern, std::string const &name);

// Records (host/simulation_records.cpp): the types of a data item's records in order, whether
// it has one, and new handles the caller owns.
std::vector<std::string> recordTypesOf(DopDataAt const &at, DopDataRef const &ref);
bool hasRecord(DopDataAt const &at, DopDataRef const &ref, std::string const &type, int index);
KOM_DopRecord *recordHandle(std::shared_ptr<SceneNode> const &network, DopDataRef const &ref,
                            std::string const &type, int index);
KOM_IterableList<KOM_DopRecord> *recordList(std::shared_ptr<SceneNode> const &network,
                                            DopDataRef const &ref, std::string const &type);

} // namespace kalhost
