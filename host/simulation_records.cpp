// Simulation data as it is now, and the records of named, typed fields each data item carries:
// what an object, the relationship and their subdata hold at the current frame.
#include <fnmatch.h>

#include <algorithm>
#include <iterator>

#include "host/identity.h"
#include "host/parms.h"
#include "host/simulation.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

// --- What data there is ---------------------------------------------------------------------

namespace
{
DopDataKind const PositionKind{"SIM_Position", {}, {}};
DopDataKind const PhysicalKind{"SIM_PhysicalParms", {}, {}};
DopDataKind const CollideKind{"SIM_ConstraintCollide", {}, {}};
} // namespace

DopDataKind const ObjectKind{KOM_DopObjectTypeName, {&PositionKind, &PhysicalKind}, {"Position", "Physical"}};
DopDataKind const RelationshipKind{KOM_DopRelationshipTypeName, {&CollideKind}, {"Collide"}};

namespace
{

bool exists(DopDataAt const &at, DopDataRef const &ref, std::size_t *body)
{
    if (ref.relationship ? at.simulation->bodies.empty() : !at.simulation->bodyFor(ref.objid, body))
        return false;
    return ref.sub.empty() || &ref.kind() != &ref.topKind();
}

} // namespace

std::shared_ptr<SceneNode> liveNetwork(std::weak_ptr<SceneNode> const &network)
{
    return liveNode(network, "The simulation network no longer exists");
}

DopDataAt resolve(std::weak_ptr<SceneNode> const &network, DopDataRef const &ref)
{
    DopDataAt at;
    at.network = liveNetwork(network);
    at.simulation = &simulationOf(at.network);
    if (!exists(at, ref, &at.body))
        throw KOM_ObjectWasDeleted(("The simulation data " + ref.id() + " no longer exists").c_str());
    at.frame = simulationFrame();
    at.states = &statesAt(*at.simulation, at.frame);
    return at;
}

bool matchesPattern(char const *pattern, std::string const &name)
{
    return pattern && fnmatch(pattern, name.c_str(), 0) == 0;
}

namespace
{

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

Record positionRecord(DopDataAt const &at)
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

Record physicalRecord(DopDataAt const &at)
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

Record optionsRecord(DopDataRef const &ref)
{
    Record record{"Options", {}};
    record.fields.push_back(field<KOM_DopBooleanField>("active", 1));
    if (!ref.relationship && ref.sub.empty())
        record.fields.push_back(field<KOM_DopStringField>("solver", "rigidbody"));
    return record;
}

// The records of a data item now, in the order recordTypes gives their types.
std::vector<Record> recordsOf(DopDataAt const &at, DopDataRef const &ref)
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

class DopRecordHandle : public KOM_DopRecord
{
public:
    DopRecordHandle(std::shared_ptr<SceneNode> const &network, DopDataRef ref, std::string type, int index)
        : myNetwork(network), myRef(std::move(ref)), myType(std::move(type)), myIndex(index)
    {
    }

    std::string describe() const
    {
        return liveNetwork(myNetwork)->path() + ":" + myRef.id() + " " + myType + " " + std::to_string(myIndex);
    }

    std::tuple<SceneNode const *, std::string, std::string const &, int> identityKey() const
    {
        return {liveNetwork(myNetwork).get(), myRef.id(), myType, myIndex};
    }
    KALHOST_COMPARED_BY_IDENTITY(DopRecord)
    std::string __repr__() override
    {
        hostQuery("DopRecord.__repr__");
        read();
        return "<kal.DopRecord " + myType + " " + std::to_string(myIndex) + " of " +
               liveNetwork(myNetwork)->path() + ":" + myRef.id() + ">";
    }
    std::string recordType() override
    {
        hostQuery("DopRecord.recordType");
        read();
        return myType;
    }
    int recordIndex() override
    {
        hostQuery("DopRecord.recordIndex");
        read();
        return myIndex;
    }
    std::vector<std::string> fieldNames() override
    {
        hostQuery("DopRecord.fieldNames");
        std::vector<std::string> names;
        for (Field const &field : read().fields)
            names.push_back(field.name);
        return names;
    }
    KOM_EnumValue *fieldType(char const *field_name) override
    {
        hostQuery("DopRecord.fieldType", field_name);
        Field *const found = find(field_name);
        return fieldTypeOf(found ? found->value->typeCode() : -1);
    }
    KOM_DopField *rawField(char const *field_name) override
    {
        hostQuery("DopRecord.rawField", field_name);
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
    std::weak_ptr<SceneNode> myNetwork;
    DopDataRef myRef;
    std::string myType;
    int myIndex;
    std::vector<Record> myRecords; // what the last read made
};

class DopRecordList : public KOM_IterableList<KOM_DopRecord>, private LiveCounted
{
public:
    DopRecordList(std::shared_ptr<SceneNode> const &network, DopDataRef ref, std::string type)
        : myNetwork(network), myRef(std::move(ref)), myType(std::move(type))
    {
    }
    int __len__() override
    {
        hostQuery("_DopRecordTupleGenerator.__len__");
        return countRecords(recordsOf(resolve(myNetwork, myRef), myRef), myType);
    }
    std::string __repr__() override
    {
        hostQuery("_DopRecordTupleGenerator.__repr__");
        auto const network = resolve(myNetwork, myRef).network;
        return "<" + myType + " records of " + network->path() + ":" + myRef.id() + ">";
    }
    KOM_DopRecord *itemAt(int index) override
    {
        hostQuery("_DopRecordTupleGenerator.itemAt", index);
        return new Counted<DopRecordHandle>(resolve(myNetwork, myRef).network, myRef, myType, index);
    }

private:
    std::weak_ptr<SceneNode> myNetwork;
    DopDataRef myRef;
    std::string myType;
};

} // namespace

std::vector<std::string> recordTypesOf(DopDataAt const &at, DopDataRef const &ref)
{
    std::vector<std::string> types;
    for (Record const &record : recordsOf(at, ref))
        if (types.empty() || types.back() != record.type)
            types.push_back(record.type);
    return types;
}

bool hasRecord(DopDataAt const &at, DopDataRef const &ref, std::string const &type, int index)
{
    auto records = recordsOf(at, ref);
    return findRecord(records, type, index) != nullptr;
}

KOM_DopRecord *recordHandle(std::shared_ptr<SceneNode> const &network, DopDataRef const &ref,
                            std::string const &type, int index)
{
    return new Counted<DopRecordHandle>(network, ref, type, index);
}

KOM_IterableList<KOM_DopRecord> *recordList(std::shared_ptr<SceneNode> const &network,
                                            DopDataRef const &ref, std::string const &type)
{
    return new DopRecordList(network, ref, type);
}

JournalValue JournalFormat<KOM_DopRecord>::format(KOM_DopRecord const &record)
{
    auto const handle = dynamic_cast<DopRecordHandle const *>(&record);
    return journalHandle([handle] { return handle ? handle->describe() : "<record>"; }, "<deleted record>");
}

} // namespace kalhost
