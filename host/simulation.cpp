// Simulation handles: the simulation of a network, its data (objects, the relationship between
// them, their subdata) and their records, read at the current frame; and what simulation nodes
// and networks answer.
#include "host/simulation.h"

#include <fnmatch.h>

#include <cstring>
#include <functional>
#include <iterator>

#include "host/nodes.h"
#include "host/parms.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// --- What data there is ---------------------------------------------------------------------

// The kind of a data item: its type name, and the subdata an item of this kind holds. The
// address of a kind is the data handle the module's type test reads.
struct DataKind
{
    char const *typeName;
    std::vector<DataKind const *> subData;
    std::vector<char const *> subDataNames;
};

DataKind const PositionKind{"SIM_Position", {}, {}};
DataKind const PhysicalKind{"SIM_PhysicalParms", {}, {}};
DataKind const CollideKind{"SIM_ConstraintCollide", {}, {}};
DataKind const ObjectKind{KOM_DopObjectTypeName, {&PositionKind, &PhysicalKind}, {"Position", "Physical"}};
DataKind const RelationshipKind{KOM_DopRelationshipTypeName, {&CollideKind}, {"Collide"}};

// Every body collides with the ground and with the others.
char const *const CollisionsName = "collisions";

// Which data item a handle refers to: an object (by its number) or the relationship, or one of
// their subdata by name.
struct DataRef
{
    bool relationship = false;
    int objid = -1;
    std::string sub;

    bool operator==(DataRef const &other) const
    {
        return relationship == other.relationship && objid == other.objid && sub == other.sub;
    }
    DataKind const &topKind() const { return relationship ? RelationshipKind : ObjectKind; }
    DataKind const &kind() const
    {
        DataKind const &top = topKind();
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
struct Resolved
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

std::shared_ptr<SceneNode> liveNetwork(std::weak_ptr<SceneNode> const &network)
{
    auto node = network.lock();
    if (!node || !node->isInScene())
        throw KOM_ObjectWasDeleted("The simulation network no longer exists");
    return node;
}

// The body of object `objid`, if it takes part now.
bool findBody(SceneSimulation const &simulation, int objid, std::size_t *body)
{
    for (std::size_t i = 0; i < simulation.bodies.size(); ++i)
        if (simulation.bodies[i].objid == objid)
        {
            *body = i;
            return true;
        }
    return false;
}

bool exists(Resolved const &at, DataRef const &ref, std::size_t *body)
{
    if (ref.relationship ? at.simulation->bodies.empty() : !findBody(*at.simulation, ref.objid, body))
        return false;
    return ref.sub.empty() || &ref.kind() != &ref.topKind();
}

Resolved resolve(std::weak_ptr<SceneNode> const &network, DataRef const &ref)
{
    Resolved at;
    at.network = liveNetwork(network);
    at.simulation = &simulationOf(at.network);
    if (!exists(at, ref, &at.body))
        throw KOM_ObjectWasDeleted(("The simulation data " + ref.id() + " no longer exists").c_str());
    at.frame = simulationFrame();
    at.states = &statesAt(*at.simulation, at.frame);
    return at;
}

// --- Records ------------------------------------------------------------------------------

struct Field
{
    std::string name;
    std::unique_ptr<KOM_DopField> value;
};

struct Record
{
    std::string type;
    std::vector<Field> fields;
};

template <class F>
Field field(char const *name, typename F::Stored const &value)
{
    return {name, std::make_unique<F>(value)};
}

std::array<float, 3> single(std::array<double, 3> const &value)
{
    return {float(value[0]), float(value[1]), float(value[2])};
}

Record positionRecord(Resolved const &at)
{
    auto const &p = at.state().position;
    std::array<std::array<float, 4>, 4> transform{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0},
                                                  {float(p[0]), float(p[1]), float(p[2]), 1}}};
    Record record{"Position", {}};
    record.fields.push_back(field<KOM_DopVector3Field>("t", single(p)));
    record.fields.push_back(field<KOM_DopVector3Field>("v", single(at.state().velocity)));
    record.fields.push_back(field<KOM_DopQuaternionField>("orient", {0.0f, 0.0f, 0.0f, 1.0f}));
    record.fields.push_back(field<KOM_DopMatrix4Field>("transform", transform));
    return record;
}

Record physicalRecord(Resolved const &at)
{
    RigidBodySetup const &body = at.setup();
    float const inertia = float(0.4 * body.mass * body.radius * body.radius); // a solid sphere
    Record record{"Physical", {}};
    record.fields.push_back(field<KOM_DopFloatField>("mass", float(body.mass)));
    record.fields.push_back(field<KOM_DopFloatField>("bounce", float(body.bounce)));
    record.fields.push_back(field<KOM_DopFloatField>("radius", float(body.radius)));
    record.fields.push_back(field<KOM_DopMatrix3Field>(
        "inertia", {{{inertia, 0, 0}, {0, inertia, 0}, {0, 0, inertia}}}));
    return record;
}

Record optionsRecord(DataRef const &ref)
{
    Record record{"Options", {}};
    record.fields.push_back(field<KOM_DopBooleanField>("active", 1));
    if (!ref.relationship && ref.sub.empty())
        record.fields.push_back(field<KOM_DopStringField>("solver", "rigidbody"));
    return record;
}

// The records of a data item now, in the order recordTypes gives their types.
std::vector<Record> recordsOf(Resolved const &at, DataRef const &ref)
{
    std::vector<Record> records;
    if (ref.relationship && ref.sub.empty())
    {
        records.push_back({"Basic", {}});
        records.back().fields.push_back(field<KOM_DopStringField>("name", CollisionsName));
        for (RigidBodySetup const &body : at.simulation->bodies)
        {
            auto const node = body.node.lock();
            records.push_back({"Objects", {}});
            records.back().fields.push_back(field<KOM_DopStringField>("name", node ? node->name : ""));
            records.back().fields.push_back(field<KOM_DopIntegerField>("objid", body.objid));
        }
    }
    else if (ref.relationship)
    {
        records.push_back({"Collide", {}});
        records.back().fields.push_back(field<KOM_DopFloatField>("friction", 1.0f));
    }
    else if (ref.sub == "Position")
        records.push_back(positionRecord(at));
    else if (ref.sub == "Physical")
        records.push_back(physicalRecord(at));
    else
    {
        auto const node = at.node();
        Record basic{"Basic", {}};
        basic.fields.push_back(field<KOM_DopStringField>("name", node ? node->name : ""));
        basic.fields.push_back(field<KOM_DopIntegerField>("objid", at.setup().objid));
        basic.fields.push_back(field<KOM_DopBooleanField>("resting", at.state().resting));
        basic.fields.push_back(field<KOM_DopVector2Field>("framerange", {1.0f, float(std::max(at.frame, 1))}));
        records.push_back(std::move(basic));
        records.push_back(positionRecord(at));
        records.push_back(physicalRecord(at));
        // How the object is drawn: a colour and the placement of its texture.
        Record render{"Render", {}};
        render.fields.push_back(field<KOM_DopVector4Field>("color", {0.8f, 0.3f, 0.2f, 1.0f}));
        render.fields.push_back(field<KOM_DopUVField>("uvoffset", {0.0f, 0.0f}));
        render.fields.push_back(field<KOM_DopUVWField>("uvscale", {1.0f, 1.0f, 1.0f}));
        records.push_back(std::move(render));
    }
    records.push_back(optionsRecord(ref));
    return records;
}

Record *findRecord(std::vector<Record> &records, std::string const &type, int index)
{
    for (Record &record : records)
        if (record.type == type && index-- == 0)
            return &record;
    return nullptr;
}

int countRecords(std::vector<Record> const &records, std::string const &type)
{
    int count = 0;
    for (Record const &record : records)
        count += record.type == type;
    return count;
}

KOM_EnumValue *fieldTypeOf(int code)
{
    static KOM_EnumValue *const types[] = {
        &KOM_fieldType::Integer, &KOM_fieldType::Boolean, &KOM_fieldType::Float,
        &KOM_fieldType::String,  &KOM_fieldType::Vector2, &KOM_fieldType::Vector3,
        &KOM_fieldType::Vector4, &KOM_fieldType::Quaternion, &KOM_fieldType::Matrix3,
        &KOM_fieldType::Matrix4, &KOM_fieldType::UV,      &KOM_fieldType::UVW};
    return code >= 0 && code < int(std::size(types)) ? types[code] : &KOM_fieldType::NoSuchField;
}

bool matches(char const *pattern, std::string const &name)
{
    return pattern && fnmatch(pattern, name.c_str(), 0) == 0;
}

std::string text(char const *value) { return value ? value : ""; }

// --- Handle classes -----------------------------------------------------------------------

// One class answers for objects, relationships and subdata, so that a handle converts to
// whichever interface its data's type selects.
class DopDataHandle : public KOM_DopObject, public KOM_DopRelationship
{
public:
    DopDataHandle(std::shared_ptr<SceneNode> const &network, DataRef ref)
        : myNetwork(network), myRef(std::move(ref))
    {
    }

    std::weak_ptr<SceneNode> const &network() const { return myNetwork; }
    DataRef const &ref() const { return myRef; }
    std::string describe() const { return liveNetwork(myNetwork)->path() + ":" + myRef.id(); }

    bool __eq__(KOM_DopData *data) override
    {
        hostOperation("DopData.__eq__", data);
        return same(data);
    }
    bool __ne__(KOM_DopData *data) override
    {
        hostOperation("DopData.__ne__", data);
        return !same(data);
    }
    int __hash__() override
    {
        hostOperation("DopData.__hash__");
        std::size_t const network = std::hash<SceneNode const *>()(liveNetwork(myNetwork).get());
        return int(network ^ (std::hash<std::string>()(myRef.id()) * 31u));
    }
    std::string __repr__() override
    {
        hostOperation(className("__repr__"));
        Resolved const at = resolve(myNetwork, myRef);
        char const *const what = !myRef.sub.empty() ? "DopData" : myRef.relationship ? "DopRelationship" : "DopObject";
        return std::string("<") + what + " " + label(at) + " of " + at.network->path() + ">";
    }
    KOM_Node *dopNetNode() override
    {
        hostOperation("DopData.dopNetNode");
        return NodeHandle::handleFor(resolve(myNetwork, myRef).network);
    }
    KOM_DopSimulation *simulation() override
    {
        hostOperation("DopData.simulation");
        return simulationHandle(resolve(myNetwork, myRef).network);
    }
    KOM_Node *creator() override
    {
        hostOperation("DopData.creator");
        Resolved const at = resolve(myNetwork, myRef);
        return NodeHandle::handleFor(myRef.relationship ? at.network : at.node());
    }
    std::string id() override
    {
        hostOperation("DopData.id");
        resolve(myNetwork, myRef);
        return myRef.id();
    }
    std::string dataType() override
    {
        hostOperation("DopData.dataType");
        resolve(myNetwork, myRef);
        return myRef.kind().typeName;
    }
    std::vector<std::string> recordTypes() override
    {
        hostOperation("DopData.recordTypes");
        std::vector<std::string> types;
        for (Record const &record : recordsOf(resolve(myNetwork, myRef), myRef))
            if (types.empty() || types.back() != record.type)
                types.push_back(record.type);
        return types;
    }
    KOM_DopRecord *record(char const *record_type, int record_index) override;
    KOM_IterableList<KOM_DopRecord> *records(char const *record_type) override;
    KOM_DopRecord *options() override;
    std::map<std::string, KOM_ElemPtr<KOM_DopData>> subData() override
    {
        hostOperation("DopData.subData");
        auto const network = resolve(myNetwork, myRef).network;
        std::map<std::string, KOM_ElemPtr<KOM_DopData>> found;
        if (myRef.sub.empty())
            for (char const *name : myRef.topKind().subDataNames)
                found.emplace(name, subHandle(network, name));
        return found;
    }
    KOM_DopData *findSubData(char const *data_spec) override;
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllSubData(char const *data_spec) override
    {
        hostOperation("DopData.findAllSubData", data_spec);
        auto const network = resolve(myNetwork, myRef).network;
        std::vector<KOM_ElemPtr<KOM_DopData>> found;
        if (myRef.sub.empty())
            for (char const *name : myRef.topKind().subDataNames)
                if (kalhost::matches(data_spec, name))
                    found.emplace_back(subHandle(network, name));
        return found;
    }
    void const *dataHandle() override
    {
        hostOperation("DopData.dataHandle");
        return &myRef.kind();
    }
    std::string name() override
    {
        hostOperation(className("name"));
        return label(resolve(myNetwork, myRef));
    }
    int objid() override
    {
        hostOperation("DopObject.objid");
        resolve(myNetwork, myRef);
        return myRef.objid;
    }
    bool matches(char const *spec) override
    {
        hostOperation(className("matches"), spec);
        return kalhost::matches(spec, label(resolve(myNetwork, myRef)));
    }

private:
    // The operation's name under the interface a script sees this data as.
    char const *className(char const *operation) const
    {
        static std::map<std::string, std::string> names;
        std::string const prefix = !myRef.sub.empty() ? "DopData." : myRef.relationship ? "DopRelationship." : "DopObject.";
        return names.emplace(prefix + operation, prefix + operation).first->second.c_str();
    }
    // The name of the object or relationship, or of the subdata.
    std::string label(Resolved const &at) const
    {
        if (!myRef.sub.empty())
            return myRef.sub;
        if (myRef.relationship)
            return CollisionsName;
        auto const node = at.node();
        return node ? node->name : "";
    }
    bool same(KOM_DopData *data) const
    {
        auto const other = dynamic_cast<DopDataHandle const *>(data);
        return other && other->myRef == myRef && !myNetwork.owner_before(other->myNetwork) &&
               !other->myNetwork.owner_before(myNetwork) && !myNetwork.expired();
    }
    KOM_DopData *subHandle(std::shared_ptr<SceneNode> const &network, std::string const &name) const;

    std::weak_ptr<SceneNode> myNetwork;
    DataRef myRef;
};

using OwnedDataHandle = Counted<DopDataHandle>;

class DopRecordHandle : public KOM_DopRecord
{
public:
    DopRecordHandle(std::shared_ptr<SceneNode> const &network, DataRef ref, std::string type, int index)
        : myNetwork(network), myRef(std::move(ref)), myType(std::move(type)), myIndex(index)
    {
    }

    std::string describe() const
    {
        return liveNetwork(myNetwork)->path() + ":" + myRef.id() + " " + myType + " " + std::to_string(myIndex);
    }

    bool __eq__(KOM_DopRecord *record) override
    {
        hostOperation("DopRecord.__eq__", record);
        return same(record);
    }
    bool __ne__(KOM_DopRecord *record) override
    {
        hostOperation("DopRecord.__ne__", record);
        return !same(record);
    }
    int __hash__() override
    {
        hostOperation("DopRecord.__hash__");
        std::size_t const network = std::hash<SceneNode const *>()(liveNetwork(myNetwork).get());
        return int(network ^ (std::hash<std::string>()(myRef.id() + "\n" + myType) * 31u) ^ std::size_t(myIndex));
    }
    std::string __repr__() override
    {
        hostOperation("DopRecord.__repr__");
        read();
        return "<DopRecord " + myType + " " + std::to_string(myIndex) + " of " + describe() + ">";
    }
    std::string recordType() override
    {
        hostOperation("DopRecord.recordType");
        read();
        return myType;
    }
    int recordIndex() override
    {
        hostOperation("DopRecord.recordIndex");
        read();
        return myIndex;
    }
    std::vector<std::string> fieldNames() override
    {
        hostOperation("DopRecord.fieldNames");
        std::vector<std::string> names;
        for (Field const &field : read().fields)
            names.push_back(field.name);
        return names;
    }
    KOM_EnumValue *fieldType(char const *field_name) override
    {
        hostOperation("DopRecord.fieldType", field_name);
        Field *const found = find(field_name);
        return fieldTypeOf(found ? found->value->typeCode() : -1);
    }
    KOM_DopField *rawField(char const *field_name) override
    {
        hostOperation("DopRecord.rawField", field_name);
        Field *const found = find(field_name);
        return found ? found->value.release() : nullptr;
    }

private:
    // The record as it is now; KOM_ObjectWasDeleted once its data or the record itself is gone.
    Record &read()
    {
        myRecords = recordsOf(resolve(myNetwork, myRef), myRef);
        Record *const record = findRecord(myRecords, myType, myIndex);
        if (!record)
            throw KOM_ObjectWasDeleted(("The record " + myType + " no longer exists").c_str());
        return *record;
    }
    Field *find(char const *name)
    {
        for (Field &field : read().fields)
            if (name && field.name == name)
                return &field;
        return nullptr;
    }
    bool same(KOM_DopRecord *record) const
    {
        auto const other = dynamic_cast<DopRecordHandle const *>(record);
        return other && other->myRef == myRef && other->myType == myType && other->myIndex == myIndex &&
               !myNetwork.owner_before(other->myNetwork) && !other->myNetwork.owner_before(myNetwork) &&
               !myNetwork.expired();
    }

    std::weak_ptr<SceneNode> myNetwork;
    DataRef myRef;
    std::string myType;
    int myIndex;
    std::vector<Record> myRecords; // what the last read made
};

class DopRecordList : public KOM_IterableList<KOM_DopRecord>, private LiveCounted
{
public:
    DopRecordList(std::shared_ptr<SceneNode> const &network, DataRef ref, std::string type)
        : myNetwork(network), myRef(std::move(ref)), myType(std::move(type))
    {
    }
    int __len__() override
    {
        hostOperation("_DopRecordTupleGenerator.__len__");
        return countRecords(recordsOf(resolve(myNetwork, myRef), myRef), myType);
    }
    std::string __repr__() override
    {
        hostOperation("_DopRecordTupleGenerator.__repr__");
        auto const network = resolve(myNetwork, myRef).network;
        return "<" + myType + " records of " + network->path() + ":" + myRef.id() + ">";
    }
    KOM_DopRecord *itemAt(int index) override
    {
        hostOperation("_DopRecordTupleGenerator.itemAt", index);
        return new Counted<DopRecordHandle>(resolve(myNetwork, myRef).network, myRef, myType, index);
    }

private:
    std::weak_ptr<SceneNode> myNetwork;
    DataRef myRef;
    std::string myType;
};

// The objects of a simulation, or its relationships, as they are at each call.
class DopDataList : public KOM_IterableList<KOM_DopData>, private LiveCounted
{
public:
    DopDataList(std::shared_ptr<SceneNode> const &network, bool relationships)
        : myNetwork(network), myRelationships(relationships)
    {
    }
    int __len__() override
    {
        hostOperation("_DopDataTupleGenerator.__len__");
        return int(refs().size());
    }
    std::string __repr__() override
    {
        hostOperation("_DopDataTupleGenerator.__repr__");
        return std::string("<") + (myRelationships ? "relationships" : "objects") + " of " +
               liveNetwork(myNetwork)->path() + ">";
    }
    KOM_DopData *itemAt(int index) override
    {
        hostOperation("_DopDataTupleGenerator.itemAt", index);
        auto const all = refs();
        if (index < 0 || std::size_t(index) >= all.size())
            throw KOM_OperationFailed("No simulation data at that index");
        return new OwnedDataHandle(liveNetwork(myNetwork), all[std::size_t(index)]);
    }

private:
    std::vector<DataRef> refs() const
    {
        SceneSimulation const &simulation = simulationOf(liveNetwork(myNetwork));
        std::vector<DataRef> all;
        if (myRelationships)
        {
            if (!simulation.bodies.empty())
                all.push_back({true, -1, ""});
        }
        else
            for (RigidBodySetup const &body : simulation.bodies)
                all.push_back({false, body.objid, ""});
        return all;
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
        hostOperation("DopSimulation.__repr__");
        return "<DopSimulation of " + liveNetwork(myNetwork)->path() + " at frame " +
               std::to_string(simulationFrame()) + ">";
    }
    KOM_Node *dopNetNode() override
    {
        hostOperation("DopSimulation.dopNetNode");
        return NodeHandle::handleFor(liveNetwork(myNetwork));
    }
    KOM_IterableList<KOM_DopData> *objects() override
    {
        hostOperation("DopSimulation.objects");
        return new DopDataList(liveNetwork(myNetwork), false);
    }
    KOM_IterableList<KOM_DopData> *relationships() override
    {
        hostOperation("DopSimulation.relationships");
        return new DopDataList(liveNetwork(myNetwork), true);
    }
    KOM_DopData *findObject(char const *obj_name) override
    {
        hostOperation("DopSimulation.findObject", obj_name);
        return handleOrNull(findTop(text(obj_name), false));
    }
    KOM_DopData *findRelationship(char const *rel_name) override
    {
        hostOperation("DopSimulation.findRelationship", rel_name);
        return handleOrNull(findTop(text(rel_name), true));
    }
    KOM_DopData *findData(char const *data_spec) override
    {
        hostOperation("DopSimulation.findData", data_spec);
        std::string const spec = text(data_spec);
        std::size_t const slash = spec.find('/');
        auto found = findTop(spec.substr(0, slash), false);
        if (!found.first)
            found = findTop(spec.substr(0, slash), true);
        if (found.first && slash != std::string::npos)
        {
            found.second.sub = spec.substr(slash + 1);
            if (&found.second.kind() == &found.second.topKind())
                found.first = false;
        }
        return handleOrNull(found);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllObjects(char const *obj_spec) override
    {
        hostOperation("DopSimulation.findAllObjects", obj_spec);
        return findAll(obj_spec, false, false);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllRelationships(char const *rel_spec) override
    {
        hostOperation("DopSimulation.findAllRelationships", rel_spec);
        return findAll(rel_spec, true, false);
    }
    std::vector<KOM_ElemPtr<KOM_DopData>> findAllData(char const *data_spec) override
    {
        hostOperation("DopSimulation.findAllData", data_spec);
        auto found = findAll(data_spec, false, true);
        auto relationships = findAll(data_spec, true, true);
        found.insert(found.end(), relationships.begin(), relationships.end());
        return found;
    }

private:
    // Every object or relationship with its name.
    std::vector<std::pair<std::string, DataRef>> tops(bool relationships) const
    {
        SceneSimulation const &simulation = simulationOf(liveNetwork(myNetwork));
        std::vector<std::pair<std::string, DataRef>> all;
        if (relationships && !simulation.bodies.empty())
            all.push_back({CollisionsName, {true, -1, ""}});
        if (!relationships)
            for (RigidBodySetup const &body : simulation.bodies)
                if (auto const node = body.node.lock())
                    all.push_back({node->name, {false, body.objid, ""}});
        return all;
    }
    std::pair<bool, DataRef> findTop(std::string const &name, bool relationship) const
    {
        for (auto const &[found, ref] : tops(relationship))
            if (found == name)
                return {true, ref};
        return {false, {}};
    }
    KOM_DopData *handleOrNull(std::pair<bool, DataRef> const &found) const
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
            if (matches(pattern, name))
                found.emplace_back(new OwnedDataHandle(network, ref));
            if (withSubData)
                for (char const *sub : ref.topKind().subDataNames)
                    if (matches(pattern, name + "/" + sub))
                        found.emplace_back(new OwnedDataHandle(network, DataRef{ref.relationship, ref.objid, sub}));
        }
        return found;
    }

    std::weak_ptr<SceneNode> myNetwork;
};

// Subdata that findSubData returned: the host keeps it for the rest of the process, one
// handle per simulation and data item, since the proxies that hold it never delete it.
std::map<std::string, std::unique_ptr<DopDataHandle>> theKeptData;

KOM_DopData *DopDataHandle::subHandle(std::shared_ptr<SceneNode> const &network, std::string const &name) const
{
    return new OwnedDataHandle(network, DataRef{myRef.relationship, myRef.objid, name});
}

KOM_DopRecord *DopDataHandle::record(char const *record_type, int record_index)
{
    hostOperation("DopData.record", record_type, record_index);
    Resolved const at = resolve(myNetwork, myRef);
    auto records = recordsOf(at, myRef);
    if (!findRecord(records, text(record_type), record_index))
        return nullptr;
    return new Counted<DopRecordHandle>(at.network, myRef, text(record_type), record_index);
}

KOM_IterableList<KOM_DopRecord> *DopDataHandle::records(char const *record_type)
{
    hostOperation("DopData.records", record_type);
    return new DopRecordList(resolve(myNetwork, myRef).network, myRef, text(record_type));
}

KOM_DopRecord *DopDataHandle::options()
{
    hostOperation("DopData.options");
    return new Counted<DopRecordHandle>(resolve(myNetwork, myRef).network, myRef, "Options", 0);
}

KOM_DopData *DopDataHandle::findSubData(char const *data_spec)
{
    hostOperation("DopData.findSubData", data_spec);
    Resolved const at = resolve(myNetwork, myRef);
    DataRef sub{myRef.relationship, myRef.objid, text(data_spec)};
    if (!myRef.sub.empty() || sub.sub.empty() || &sub.kind() == &sub.topKind())
        return nullptr;
    auto &kept = theKeptData[std::to_string(at.simulation->serial) + "\n" + sub.id()];
    if (!kept)
        kept = std::make_unique<DopDataHandle>(at.network, sub);
    return kept.get();
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

JournalValue JournalFormat<KOM_DopRecord>::format(KOM_DopRecord const &record)
{
    auto const handle = dynamic_cast<DopRecordHandle const *>(&record);
    return journalHandle([handle] { return handle ? handle->describe() : "<record>"; }, "<deleted record>");
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
    for (RigidBodySetup const &body : simulationOf(network).bodies)
        if (body.node.lock() == node)
            return new OwnedDataHandle(network, DataRef{false, body.objid, ""});
    return nullptr;
}

std::shared_ptr<SceneNode> creatorOfObject(KOM_DopObject &object)
{
    auto const handle = dataHandleOf(object);
    if (!handle || handle->ref().relationship || !handle->ref().sub.empty())
        return nullptr;
    Resolved const at = resolve(handle->network(), handle->ref());
    return at.node();
}

bool isDopBypassed(std::shared_ptr<SceneNode> const &node)
{
    auto const network = simulationNetworkOf(node->parent.lock());
    return network && simulationOf(network).entryFor(node).bypassed;
}

void setDopBypassed(std::shared_ptr<SceneNode> const &node, bool on)
{
    if (auto const network = simulationNetworkOf(node->parent.lock()))
        simulationOf(network).entryFor(node).bypassed = on;
}

std::shared_ptr<SceneNode> dopDisplayNode(std::shared_ptr<SceneNode> const &network)
{
    if (!network)
        return nullptr;
    auto const displayed = simulationOf(network).displayed.lock();
    if (displayed && displayed->isInScene() && displayed->parent.lock() == network)
        return displayed;
    std::shared_ptr<SceneNode> last;
    for (auto const &child : network->children)
        if (child->type->categoryCode == KOM_DopCategory)
            last = child;
    return last;
}

void setDopDisplayed(std::shared_ptr<SceneNode> const &node, bool on)
{
    auto const network = simulationNetworkOf(node->parent.lock());
    if (!network)
        return;
    auto &displayed = simulationOf(network).displayed;
    if (on)
        displayed = node;
    else if (displayed.lock() == node)
        displayed.reset();
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
    hostOperation("DopNode.dopNetNode");
    return handleFor(simulationNetworkOf(scene()->parent.lock()));
}

KOM_DopSimulation *NodeHandle::simulation()
{
    auto const self = scene();
    hostOperation(simulationOperation(*self, "DopNode.simulation", "DopNetNode.simulation"));
    return simulationHandle(simulationNetworkOf(self));
}

std::vector<KOM_ElemPtr<KOM_DopData>> NodeHandle::processedObjects()
{
    hostOperation("DopNode.processedObjects");
    std::vector<KOM_ElemPtr<KOM_DopData>> objects;
    if (KOM_DopData *object = objectHandleOf(scene()))
        objects.emplace_back(object);
    return objects;
}

bool NodeHandle::isBypassed()
{
    hostOperation("DopNode.isBypassed");
    return isDopBypassed(scene());
}

void NodeHandle::bypass(bool on)
{
    hostOperation("DopNode.bypass", on);
    setDopBypassed(editableScene(), on);
}

bool NodeHandle::isDisplayFlagSet()
{
    hostOperation("DopNode.isDisplayFlagSet");
    auto const self = scene();
    return dopDisplayNode(simulationNetworkOf(self->parent.lock())) == self;
}

void NodeHandle::setDisplayFlag(bool on)
{
    hostOperation("DopNode.setDisplayFlag", on);
    setDopDisplayed(editableScene(), on);
}

KOM_Node *NodeHandle::displayNode()
{
    hostOperation("DopNode.displayNode");
    return handleFor(dopDisplayNode(simulationNetworkOf(scene()->parent.lock())));
}

std::vector<KOM_ElemPtr<KOM_Node>> NodeHandle::findNodesThatProcessedObject(KOM_DopObject &dop_object)
{
    hostOperation("DopNetNode.findNodesThatProcessedObject", dop_object);
    auto const self = scene();
    auto const creator = creatorOfObject(dop_object);
    if (creator && simulationNetworkOf(creator->parent.lock()) == self)
        return handlesFor(std::vector<std::shared_ptr<SceneNode>>{creator});
    return {};
}

} // namespace kalhost

bool KOM_isDopDataOfType(void const *data_handle, char const *type_name)
{
    auto const kind = static_cast<kalhost::DataKind const *>(data_handle);
    return kind && type_name && std::strcmp(kind->typeName, type_name) == 0;
}
