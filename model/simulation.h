// Simulation data: the simulation a simulation network runs, the data it holds (objects,
// relationships and their subdata), the records of named fields each data item carries, and the
// simulation nodes that reach them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/nodes.h"
#include "model/sequences.h"

struct KOM_EnumValue;
class KOM_DopData;
class KOM_DopObject;
class KOM_DopRecord;
class KOM_DopSimulation;

#ifndef SWIG
// A field's value as the host stores it: the type code says which KOM_DopFieldOf it is.
// The caller owns it and deletes it through this class.
class KOM_DopField
{
public:
    virtual ~KOM_DopField() {}
    virtual int typeCode() const = 0;
};

// The codes follow the fieldType values after NoSuchField; any other code has no value.
enum KOM_DopFieldCode
{
    KOM_IntegerFieldCode = 0,
    KOM_BooleanFieldCode = 1,
    KOM_FloatFieldCode = 2,
    KOM_StringFieldCode = 3,
    KOM_Vector2FieldCode = 4,
    KOM_Vector3FieldCode = 5,
    KOM_Vector4FieldCode = 6,
    KOM_QuaternionFieldCode = 7,
    KOM_Matrix3FieldCode = 8,
    KOM_Matrix4FieldCode = 9,
    KOM_UVFieldCode = 10,
    KOM_UVWFieldCode = 11,
};

template <class T, int Code>
class KOM_DopFieldOf : public KOM_DopField
{
public:
    using Stored = T;
    explicit KOM_DopFieldOf(T const &stored) : value(stored) {}
    int typeCode() const override { return Code; }
    T value;
};

using KOM_DopIntegerField = KOM_DopFieldOf<std::int32_t, KOM_IntegerFieldCode>;
using KOM_DopBooleanField = KOM_DopFieldOf<unsigned char, KOM_BooleanFieldCode>; // non-zero: true
using KOM_DopFloatField = KOM_DopFieldOf<float, KOM_FloatFieldCode>;
using KOM_DopStringField = KOM_DopFieldOf<std::string, KOM_StringFieldCode>;
using KOM_DopVector2Field = KOM_DopFieldOf<std::array<float, 2>, KOM_Vector2FieldCode>;
using KOM_DopVector3Field = KOM_DopFieldOf<std::array<float, 3>, KOM_Vector3FieldCode>;
using KOM_DopVector4Field = KOM_DopFieldOf<std::array<float, 4>, KOM_Vector4FieldCode>;
using KOM_DopQuaternionField = KOM_DopFieldOf<std::array<float, 4>, KOM_QuaternionFieldCode>; // x y z w
using KOM_DopMatrix3Field = KOM_DopFieldOf<std::array<std::array<float, 3>, 3>, KOM_Matrix3FieldCode>;
using KOM_DopMatrix4Field = KOM_DopFieldOf<std::array<std::array<float, 4>, 4>, KOM_Matrix4FieldCode>;
using KOM_DopUVField = KOM_DopFieldOf<std::array<float, 2>, KOM_UVFieldCode>;
using KOM_DopUVWField = KOM_DopFieldOf<std::array<float, 3>, KOM_UVWFieldCode>;

// The host's type names the class of returned simulation data is chosen by, and its test of
// the data behind a data handle (KOM_DopData::dataHandle) against one of them.
inline constexpr char const *KOM_DopObjectTypeName = "SIM_Object";
inline constexpr char const *KOM_DopRelationshipTypeName = "SIM_Relationship";
bool KOM_isDopDataOfType(void const *data_handle, char const *type_name);
#endif

// A simulation node: one step of the simulation its network runs.
class KOM_DopNode : public virtual KOM_Node
{
public:
    // The node's text, as Node's.
    std::string __repr__() override = 0;
    // The simulation network holding this node, or None.
    virtual KOM_Node *dopNetNode() = 0;
    // The simulation this node takes part in.
    virtual KOM_DopSimulation *simulation() = 0;
    // The simulation objects this node processed at the current frame.
    virtual std::vector<KOM_ElemPtr<KOM_DopData>> processedObjects() = 0;
    // Whether the node is bypassed: its objects pass through it unchanged.
    virtual bool isBypassed() = 0;
    // Bypasses the node, or stops bypassing it.
    virtual void bypass(bool on) = 0;
    // Whether this node's result is what the network displays.
    virtual bool isDisplayFlagSet() = 0;
    // Makes this node the one the network displays (or not).
    virtual void setDisplayFlag(bool on) = 0;
    // The node of this node's network whose result is displayed, or None.
    virtual KOM_Node *displayNode() = 0;
};

// An object-level network that runs a simulation as the global frame advances.
class KOM_DopNetNode : public virtual KOM_ObjNode
{
public:
    // The node's text, as Node's.
    std::string __repr__() override = 0;
    // The simulation this network runs.
    virtual KOM_DopSimulation *simulation() = 0;
    // The nodes inside this network that processed the given object at the current frame.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> findNodesThatProcessedObject(KOM_DopObject &dop_object) = 0;
};

// A simulation at the current frame: its objects, the relationships between them, and every
// data item they hold.
class KOM_DopSimulation
{
public:
    virtual ~KOM_DopSimulation() {}

    // A short description of the simulation.
    virtual std::string __repr__() = 0;
    // The simulation network that runs this simulation.
    virtual KOM_Node *dopNetNode() = 0;
    // Every simulation object, made one per index.
    virtual KOM_IterableList<KOM_DopData> *objects() = 0;
    // Every relationship between objects, made one per index.
    virtual KOM_IterableList<KOM_DopData> *relationships() = 0;
    // The object of that name, or None.
    virtual KOM_DopData *findObject(char const *obj_name) = 0;
    // The relationship of that name, or None.
    virtual KOM_DopData *findRelationship(char const *rel_name) = 0;
    // The data at a path such as "obj1/Position" (an object or relationship, then subdata),
    // or None.
    virtual KOM_DopData *findData(char const *data_spec) = 0;
    // The objects whose names match a pattern such as "obj*".
    virtual std::vector<KOM_ElemPtr<KOM_DopData>> findAllObjects(char const *obj_spec) = 0;
    // The relationships whose names match a pattern.
    virtual std::vector<KOM_ElemPtr<KOM_DopData>> findAllRelationships(char const *rel_spec) = 0;
    // Every data item whose path matches a pattern.
    virtual std::vector<KOM_ElemPtr<KOM_DopData>> findAllData(char const *data_spec) = 0;
};

// One data item of a simulation: an object, a relationship, or the subdata they hold.
class KOM_DopData
{
public:
    virtual ~KOM_DopData() {}

    // Whether both handles refer to the same data item.
    virtual bool __eq__(KOM_DopData *data) = 0;
    // Whether the handles refer to different data items.
    virtual bool __ne__(KOM_DopData *data) = 0;
    // A hash that equal data items share.
    virtual int __hash__() = 0;
    // A short description of the data item.
    virtual std::string __repr__() = 0;
    // The simulation network the data belongs to.
    virtual KOM_Node *dopNetNode() = 0;
    // The simulation holding the data.
    virtual KOM_DopSimulation *simulation() = 0;
    // The node that created the data.
    virtual KOM_Node *creator() = 0;
    // The data item's identifier, unique within its simulation.
    virtual std::string id() = 0;
    // The name of the data item's type, such as "SIM_Object".
    virtual std::string dataType() = 0;
    // The types of the records the data item carries.
    virtual std::vector<std::string> recordTypes() = 0;
    // The record of that type at that index (0 by default), or None.
    virtual KOM_DopRecord *record(char const *record_type, int record_index = 0) = 0;
    // Every record of that type, made one per index.
    virtual KOM_IterableList<KOM_DopRecord> *records(char const *record_type) = 0;
    // The record of the data item's options.
    virtual KOM_DopRecord *options() = 0;
    // The subdata items, by name.
    virtual std::map<std::string, KOM_ElemPtr<KOM_DopData>> subData() = 0;
    // The subdata at a path of subdata names, or None. The host keeps what it returns.
    virtual KOM_DopData *findSubData(char const *data_spec) = 0;
    // The subdata items whose paths match a pattern.
    virtual std::vector<KOM_ElemPtr<KOM_DopData>> findAllSubData(char const *data_spec) = 0;
    // Not exposed: the host's handle on the data, which chooses the Python class of returned data.
    virtual void const *dataHandle() = 0;
};

// A simulation object: the data item a simulation moves.
class KOM_DopObject : public virtual KOM_DopData
{
public:
    // A short description of the object.
    virtual std::string __repr__() = 0;
    // The object's name.
    virtual std::string name() = 0;
    // The object's number, unique within its simulation.
    virtual int objid() = 0;
    // Whether the object's name matches a pattern.
    virtual bool matches(char const *obj_spec) = 0;
};

// A relationship between simulation objects, such as which of them collide.
class KOM_DopRelationship : public virtual KOM_DopData
{
public:
    // A short description of the relationship.
    virtual std::string __repr__() = 0;
    // The relationship's name.
    virtual std::string name() = 0;
    // Whether the relationship's name matches a pattern.
    virtual bool matches(char const *rel_spec) = 0;
};

// A record of named, typed fields that a data item carries.
class KOM_DopRecord
{
public:
    virtual ~KOM_DopRecord() {}

    // Whether both handles refer to the same record.
    virtual bool __eq__(KOM_DopRecord *record) = 0;
    // Whether the handles refer to different records.
    virtual bool __ne__(KOM_DopRecord *record) = 0;
    // A hash that equal records share.
    virtual int __hash__() = 0;
    // A short description of the record.
    virtual std::string __repr__() = 0;
    // The record's type, such as "Position".
    virtual std::string recordType() = 0;
    // The record's index among the records of its type.
    virtual int recordIndex() = 0;
    // The names of the record's fields.
    virtual std::vector<std::string> fieldNames() = 0;
    // The type of a field, kal.fieldType.NoSuchField when the record has none of that name.
    virtual KOM_EnumValue *fieldType(char const *field_name) = 0;
#ifndef SWIG
    // The named field's value, owned by the caller, or null when the record has no such field.
    virtual KOM_DopField *rawField(char const *field_name) = 0;
#endif
};
