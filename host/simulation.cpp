// Simulation handles: the simulation of a network and its data (objects, the relationship
// between them, their subdata); and what simulation nodes and networks answer.
#include "host/simulation.h"

#include <fnmatch.h>

#include <cstring>
#include <functional>
#include <iterator>

#include "host/identity.h"
#include "host/kept.h"
#include "host/nodes.h"
#include "host/parms.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

std::string text(char const *value) { return value ? value : ""; }

// --- Handle classes -----------------------------------------------------------------------

// One class answers for objects, relationships and subdata, so that a handle converts to
// whichever interface its data's type selects.
class DopDataHandle : public KOM_DopObject, public KOM_DopRelationship
{
public:
    DopDataHandle(std::shared_ptr<SceneNode> const &network, DopDataRef ref)
        : myNetwork(network), myRef(std::move(ref))
    {
    }

    std::weak_ptr<SceneNode> const &network() const { return myNetwork; }
    DopDataRef const &ref() const { return myRef; }
    std::string describe() const { return liveNetwork(myNetwork)->path() + ":" + myRef.id(); }

    std::tuple<SceneNode const *, std::string> identityKey() const
    {
        return {liveNetwork(myNetwork).get(), myRef.id()};
    }
    KALHOST_COMPARED_BY_IDENTITY(DopData)
    std::string __repr__() override
    {
        hostQuery(named("DopData.__repr__", "DopObject.__repr__", "DopRelationship.__repr__"));
        DopDataAt const at = resolve(myNetwork, myRef);
        char const *const what = named("DopData", "DopObject", "DopRelationship");
        return std::string("<kal.") + what + " " + label(at) + " of " + at.network->path() + ">";
    }
    KOM_Node *dopNetNode() override
    {
        hostQuery("DopData.dopNetNode");
        return NodeHandle::handleFor(resolve(myNetwork, myRef).network);
    }
    KOM_DopSimulation *simulation() override
    {
        hostQuery("DopData.simulation");
        return simulationHandle(resolve(myNetwork, myRef).network);
    }
    KOM_Node *creator() override
    {
        hostQuery("DopData.creator");
        DopDataAt const at = resolve(myNetwork, myRef);
        return NodeHandle::handleFor(myRef.relationship ? at.network : at.node());
    }
    std::string id() override
    {
        hostQuery("DopData.id");
        resolve(myNetwork, myRef);
        return myRef.id();
    }
    std::string dataType() override
    {
        hostQuery("DopData.dataType");
        resolve(myNetwork, myRef);
        return myRef.kind().typeName;
    }
    std::vector<std::string> recordTypes() override
    {
        hostQuery("DopData.recordTypes");
        return recordTypesOf(resolve(myNetwork, myRef), myRef);
    }
    KOM_DopRecord *record(char const *record_type, int record_index) override;
    KOM_IterableList<KOM_DopRecord> *records(char const *record_type) override;
    KOM_DopRecord *options() override;
    std::map<std::string, KOM_ElemPtr<KOM_DopData>> subData() override
    {
        hostQuery("DopData.subData");
        auto const network = resolve(myNetwork, myRef).network;
        std::map<std::string, KOM_ElemPtr<KOM_DopData>> found;
        if (myRef.sub.empty())
            for (char const *name : myRef.topKind().subDataNames)
                found.emplace(name, subHandle(network, name));
        return found;
    }
    KOM_DopData *findSubData(char const *data_path) override;
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllSubData(char const *data_path) override
    {
        hostQuery("DopData.findAllSubData", data_path);
        auto const network = resolve(myNetwork, myRef).network;
        std::vector<KOM_ElemPtr<KOM_DopData>> found;
        if (myRef.sub.empty())
            for (char const *name : myRef.topKind().subDataNames)
                if (matchesPattern(data_path, name))
                    found.emplace_back(subHandle(network, name));
        return found;
    }
    void const *dataHandle() override
    {
        hostQuery("DopData.dataHandle");
        return &myRef.kind();
    }
    std::string name() override
    {
        hostQuery(myRef.relationship ? "DopRelationship.name" : "DopObject.name");
        return label(resolve(myNetwork, myRef));
    }
    int objid() override
    {
        hostQuery("DopObject.objid");
        resolve(myNetwork, myRef);
        return myRef.objid;
    }
    bool matches(char const *pattern) override
    {
        hostQuery(myRef.relationship ? "DopRelationship.matches" : "DopObject.matches", pattern);
        return matchesPattern(pattern, label(resolve(myNetwork, myRef)));
    }

private:
    // The text for subdata, objects or relationships: the class a script sees the data as.
    char const *named(char const *data, char const *object, char const *relationship) const
    {
        return !myRef.sub.empty() ? data : myRef.relationship ? relationship : object;
    }
    // The name of the object or relationship, or of the subdata.
    std::string label(DopDataAt const &at) const
    {
        if (!myRef.sub.empty())
            return myRef.sub;
        if (myRef.relationship)
            return CollisionsName;
        auto const node = at.node();
        return node ? node->name : "";
    }
    KOM_DopData *subHandle(std::shared_ptr<SceneNode> const &network, std::string const &name) const;

    std::weak_ptr<SceneNode> myNetwork;
    DopDataRef myRef;
};

using OwnedDataHandle = Counted<DopDataHandle>;

class DopDataList : public KOM_IterableList<KOM_DopData>, private LiveCounted
{
public:
    DopDataList(std::shared_ptr<SceneNode> const &network, bool relationships)
        : myNetwork(network), myRelationships(relationships)
    {
    }
    int __len__() override
    {
        hostQuery("_DopDataTupleGenerator.__len__");
        return int(count(simulationOf(liveNetwork(myNetwork))));
    }
    std::string __repr__() override
    {
        hostQuery("_DopDataTupleGenerator.__repr__");
        return std::string("<") + (myRelationships ? "relationships" : "objects") + " of " +
               liveNetwork(myNetwork)->path() + ">";
    }
    KOM_DopData *itemAt(int index) override
    {
        hostQuery("_DopDataTupleGenerator.itemAt", index);
        auto const network = liveNetwork(myNetwork);
        SceneSimulation const &simulation = simulationOf(network);
        if (index < 0 || std::size_t(index) >= count(simulation))
            throw KOM_OperationFailed("No simulation data at that index");
        DopDataRef ref{true, -1, ""};
        if (!myRelationships)
            ref = {false, simulation.bodies[std::size_t(index)].objid, ""};
        return new OwnedDataHandle(network, std::move(ref));
    }

private:
    // The relationship is there while any body is.
    std::size_t count(SceneSimulation const &simulation) const
    {
        return myRelationships ? std::size_t(!simulation.bodies.empty()) : simulation.bodies.size();
    }

    std::weak_ptr<SceneNode> myNetwork;
    bool myRelationships;
};

class DopSimulationHandle : public KOM_DopSimulation, private LiveCounted
{
public:
    explicit DopSimulationHandle(std::shared_ptr<SceneNode> const &network) : myNetwork(network) {}

    std::string __repr__() override
    {
        hostQuery("DopSimulation.__repr__");
        return "<kal.DopSimulation of " + liveNetwork(myNetwork)->path() + " at frame " +
               std::to_string(simulationFrame()) + ">";
    }
    KOM_Node *dopNetNode() override
    {
        hostQuery("DopSimulation.dopNetNode");
        return NodeHandle::handleFor(liveNetwork(myNetwork));
    }
    KOM_IterableList<KOM_DopData> *objects() override
    {
        hostQuery("DopSimulation.objects");
        return new DopDataList(liveNetwork(myNetwork), false);
    }
    KOM_IterableList<KOM_DopData> *relationships() override
    {
        hostQuery("DopSimulation.relationships");
        return new DopDataList(liveNetwork(myNetwork), true);
    }
    KOM_DopData *findObject(char const *obj_name) override
    {
        hostQuery("DopSimulation.findObject", obj_name);
        return handleOrNull(findTop(text(obj_name), false));
    }
    KOM_DopData *findRelationship(char const *rel_name) override
    {
        hostQuery("DopSimulation.findRelationship", rel_name);
        return handleOrNull(findTop(text(rel_name), true));
    }
    KOM_DopData *findData(char const *data_path) override
    {
        hostQuery("DopSimulation.findData", data_path);
        std::string const path = text(data_path);
        std::size_t const slash = path.find('/');
        auto found = findTop(path.substr(0, slash), false);
        if (!found.first)
            found = findTop(path.substr(0, slash), true);
        if (found.first && slash != std::string::npos)
        {
            found.second.sub = path.substr(slash + 1);
            if (&found.second.kind() == &found.second.topKind())
                found.first = false;
        }
        return handleOrNull(found);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllObjects(char const *obj_spec) override
    {
        hostQuery("DopSimulation.findAllObjects", obj_spec);
        return findAll(obj_spec, false, false);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllRelationships(char const *rel_spec) override
    {
        hostQuery("DopSimulation.findAllRelationships", rel_spec);
        return findAll(rel_spec, true, false);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllData(char const *data_path) override
    {
        hostQuery("DopSimulation.findAllData", data_path);
        auto found = findAll(data_path, false, true);
        auto relationships = findAll(data_path, true, true);
        found.insert(found.end(), relationships.begin(), relationships.end());
        return found;
    }

private:
    // Every object or relationship with its name.
    std::vector<std::pair<std::string, DopDataRef>> tops(bool relationships) const
    {
        SceneSimulation const &simulation = simulationOf(liveNetwork(myNetwork));
        std::vector<std::pair<std::string, DopDataRef>> all;
        if (relationships && !simulation.bodies.empty())
            all.push_back({CollisionsName, {true, -1, ""}});
        if (!relationships)
            for (RigidBodySetup const &body : simulation.bodies)
                if (auto const node = body.node.lock())
                    all.push_back({node->name, {false, body.objid, ""}});
        return all;
    }
    // An object is found through its node, by name among the network's children.
    std::pair<bool, DopDataRef> findTop(std::string const &name, bool relationship) const
    {
        auto const network = liveNetwork(myNetwork);
        SceneSimulation const &simulation = simulationOf(network);
        if (relationship)
            return {name == CollisionsName && !simulation.bodies.empty(), {true, -1, ""}};
        auto const node = network->child(name);
        RigidBodySetup const *const body = node ? simulation.bodyFor(*node) : nullptr;
        return {body != nullptr, {false, body ? body->objid : -1, ""}};
    }
    KOM_DopData *handleOrNull(std::pair<bool, DopDataRef> const &found) const
    {
        return found.first ? new OwnedDataHandle(liveNetwork(myNetwork), found.second) : nullptr;
    }
    // Data whose name matches, and with `withSubData` subdata whose path ("obj1/Position") does.
    std::vector<KOM_ElemPtr<KOM_DopData>> findAll(char const *pattern, bool relationships,
                                                  bool withSubData) const
    {
        auto const network = liveNetwork(myNetwork);
        std::vector<KOM_ElemPtr<KOM_DopData>> found;
        for (auto const &[name, ref] : tops(relationships))
        {
            if (matchesPattern(pattern, name))
                found.emplace_back(new OwnedDataHandle(network, ref));
            if (withSubData)
                for (char const *sub : ref.topKind().subDataNames)
                    if (matchesPattern(pattern, name + "/" + sub))
                        found.emplace_back(new OwnedDataHandle(network, DopDataRef{ref.relationship, ref.objid, sub}));
        }
        return found;
    }

    std::weak_ptr<SceneNode> myNetwork;
};

KOM_DopData *DopDataHandle::subHandle(std::shared_ptr<SceneNode> const &network, std::string const &name) const
{
    return new OwnedDataHandle(network, DopDataRef{myRef.relationship, myRef.objid, name});
}

KOM_DopRecord *DopDataHandle::record(char const *record_type, int record_index)
{
    hostQuery("DopData.record", record_type, record_index);
    DopDataAt const at = resolve(myNetwork, myRef);
    if (!hasRecord(at, myRef, text(record_type), record_index))
        return nullptr;
    return recordHandle(at.network, myRef, text(record_type), record_index);
}

KOM_IterableList<KOM_DopRecord> *DopDataHandle::records(char const *record_type)
{
    hostQuery("DopData.records", record_type);
    return recordList(resolve(myNetwork, myRef).network, myRef, text(record_type));
}

KOM_DopRecord *DopDataHandle::options()
{
    hostQuery("DopData.options");
    return recordHandle(resolve(myNetwork, myRef).network, myRef, "Options", 0);
}

KOM_DopData *DopDataHandle::findSubData(char const *data_path)
{
    hostQuery("DopData.findSubData", data_path);
    DopDataAt const at = resolve(myNetwork, myRef);
    DopDataRef sub{myRef.relationship, myRef.objid, text(data_path)};
    if (!myRef.sub.empty() || sub.sub.empty() || &sub.kind() == &sub.topKind())
        return nullptr;
    // Kept (host/kept.h): one handle per simulation and data item.
    static KeptHandles<std::string, KOM_DopData> kept;
    return kept(std::to_string(at.simulation->serial) + "\n" + sub.id(),
                [&] { return new DopDataHandle(at.network, sub); });
}

DopDataHandle const *dataHandleOf(KOM_DopData const &data)
{
    return dynamic_cast<DopDataHandle const *>(&data);
}

} // namespace

// --- Journal formats ------------------------------------------------------------------------

JournalValue JournalFormat<KOM_DopData>::format(KOM_DopData const &data)
{
    auto const handle = dataHandleOf(data);
    return journalHandle([handle] { return handle ? handle->describe() : "<simulation data>"; },
                         "<deleted simulation data>");
}

JournalValue JournalFormat<KOM_DopObject>::format(KOM_DopObject const &object)
{
    return JournalFormat<KOM_DopData>::format(object);
}

// --- For the node family --------------------------------------------------------------------

KOM_DopSimulation *simulationHandle(std::shared_ptr<SceneNode> const &network)
{
    return network ? new DopSimulationHandle(network) : nullptr;
}

KOM_DopData *objectHandleOf(std::shared_ptr<SceneNode> const &node)
{
    auto const network = simulationNetworkOf(node->parent.lock());
    if (!network || !isRigidObject(*node))
        return nullptr;
    RigidBodySetup const *const body = simulationOf(network).bodyFor(*node);
    return body ? new OwnedDataHandle(network, DopDataRef{false, body->objid, ""}) : nullptr;
}

std::shared_ptr<SceneNode> creatorOfObject(KOM_DopObject &object)
{
    auto const handle = dataHandleOf(object);
    if (!handle || handle->ref().relationship || !handle->ref().sub.empty())
        return nullptr;
    DopDataAt const at = resolve(handle->network(), handle->ref());
    return at.node();
}

// --- Simulation nodes and networks ----------------------------------------------------------

namespace
{
// The operation's name under the interface that declares it for this node.
char const *simulationOperation(SceneNode const &node, char const *dopNode, char const *dopNetNode)
{
    return node.type->flagBits & KOM_SimulationNetworkFlag ? dopNetNode : dopNode;
}
} // namespace

KOM_Node *NodeHandle::dopNetNode()
{
    hostQuery("DopNode.dopNetNode");
    return handleFor(simulationNetworkOf(scene()->parent.lock()));
}

KOM_DopSimulation *NodeHandle::simulation()
{
    auto const self = scene();
    hostQuery(simulationOperation(*self, "DopNode.simulation", "DopNetNode.simulation"));
    return simulationHandle(simulationNetworkOf(self));
}

std::vector<KOM_ElemPtr<KOM_DopData>> NodeHandle::processedObjects()
{
    hostQuery("DopNode.processedObjects");
    std::vector<KOM_ElemPtr<KOM_DopData>> objects;
    if (KOM_DopData *object = objectHandleOf(scene()))
        objects.emplace_back(object);
    return objects;
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::findNodesThatProcessedObject(KOM_DopObject &dop_object)
{
    hostQuery("DopNetNode.findNodesThatProcessedObject", dop_object);
    auto const self = scene();
    auto const creator = creatorOfObject(dop_object);
    if (creator && simulationNetworkOf(creator->parent.lock()) == self)
        return handlesFor(std::vector<std::shared_ptr<SceneNode>>{creator});
    return {};
}

} // namespace kalhost

bool KOM_isDopDataOfType(void const *data_handle, char const *type_name)
{
    auto const kind = static_cast<kalhost::DopDataKind const *>(data_handle);
    return kind && type_name && std::strcmp(kind->typeName, type_name) == 0;
}
