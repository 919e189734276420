// Simulation data, the simulation nodes that reach it, and record fields whose Python type the
// stored field decides.

%{
#include <memory>

// Simulation data comes back as an object or a relationship when the host's type test of its
// data says so, else as plain kal.DopData.
inline PyObject *KOMconvertValueForInterpreter(KOM_DopData *const &data, int own)
{
    if (!data)
        Py_RETURN_NONE;
    void const *handle = nullptr;
    if (!kal::ask(data, own, [&] { return data->dataHandle(); }, &handle))
        return nullptr;
    bool isObject = false;
    if (!kal::ask(data, own, [&] { return KOM_isDopDataOfType(handle, KOM_DopObjectTypeName); }, &isObject))
        return nullptr;
    if (isObject)
        return kal::wrapAs<KOM_DopObject>(data, SWIGTYPE_p_KOM_DopObject, own);
    bool isRelationship = false;
    if (!kal::ask(data, own, [&] { return KOM_isDopDataOfType(handle, KOM_DopRelationshipTypeName); },
                  &isRelationship))
        return nullptr;
    if (isRelationship)
        return kal::wrapAs<KOM_DopRelationship>(data, SWIGTYPE_p_KOM_DopRelationship, own);
    return SWIG_NewPointerObj(data, SWIGTYPE_p_KOM_DopData, own);
}

namespace kal
{
// A math value the result owns; still the caller's when no proxy could be made.
template <class T>
PyObject *ownedValue(std::unique_ptr<T> value)
{
    PyObject *const result = KOMconvertValueForInterpreter(value.get(), SWIG_POINTER_OWN);
    if (result)
        value.release();
    return result;
}

template <class Field>
auto const &storedValue(KOM_DopField const &field)
{
    return static_cast<Field const &>(field).value;
}
} // namespace kal

// The one place where a field's stored type picks the Python type of its value. The field
// value goes once converted, whatever the conversion gives.
inline PyObject *KOMfieldFromRecord(KOM_DopRecord &record, char const *name)
{
    std::unique_ptr<KOM_DopField const> const field(record.rawField(name));
    if (!field)
        Py_RETURN_NONE;
    switch (field->typeCode())
    {
    case KOM_IntegerFieldCode: return kal::toPython(int(kal::storedValue<KOM_DopIntegerField>(*field)));
    case KOM_BooleanFieldCode: return kal::toPython(kal::storedValue<KOM_DopBooleanField>(*field) != 0);
    case KOM_FloatFieldCode: return kal::toPython(kal::storedValue<KOM_DopFloatField>(*field));
    case KOM_StringFieldCode: return kal::toPython(kal::storedValue<KOM_DopStringField>(*field));
    case KOM_Vector2FieldCode:
    case KOM_UVFieldCode:
    {
        auto const &v = field->typeCode() == KOM_UVFieldCode ? kal::storedValue<KOM_DopUVField>(*field)
                                                             : kal::storedValue<KOM_DopVector2Field>(*field);
        return kal::ownedValue(std::make_unique<KOM_Vector2>(v[0], v[1]));
    }
    case KOM_Vector3FieldCode:
    case KOM_UVWFieldCode:
    {
        auto const &v = field->typeCode() == KOM_UVWFieldCode ? kal::storedValue<KOM_DopUVWField>(*field)
                                                              : kal::storedValue<KOM_DopVector3Field>(*field);
        return kal::ownedValue(std::make_unique<KOM_Vector3>(v[0], v[1], v[2]));
    }
    case KOM_Vector4FieldCode:
    {
        auto const &v = kal::storedValue<KOM_DopVector4Field>(*field);
        return kal::ownedValue(std::make_unique<KOM_Vector4>(v[0], v[1], v[2], v[3]));
    }
    case KOM_QuaternionFieldCode:
    {
        auto const &q = kal::storedValue<KOM_DopQuaternionField>(*field);
        return kal::ownedValue(std::make_unique<KOM_Quaternion>(q[0], q[1], q[2], q[3]));
    }
    case KOM_Matrix3FieldCode:
    {
        auto matrix = std::make_unique<KOM_Matrix3>();
        auto const &stored = kal::storedValue<KOM_DopMatrix3Field>(*field);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                matrix->m[row][column] = stored[row][column];
        return kal::ownedValue(std::move(matrix));
    }
    case KOM_Matrix4FieldCode:
    {
        auto matrix = std::make_unique<KOM_Matrix4>();
        auto const &stored = kal::storedValue<KOM_DopMatrix4Field>(*field);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                matrix->m[row][column] = stored[row][column];
        return kal::ownedValue(std::move(matrix));
    }
    default: Py_RETURN_NONE;
    }
}
%}

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_DopNode::bypass;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) KOM_DopNode::setDisplayFlag;
%catches(KOM_Error) KOM_DopData::__hash__;
%catches(KOM_Error) KOM_DopRecord::__hash__;

// None when there is no such data, record or node.
%feature("kal:maybenone") KOM_DopNode::dopNetNode;
%feature("kal:maybenone") KOM_DopNode::displayNode;
%feature("kal:maybenone") KOM_DopSimulation::findObject;
%feature("kal:maybenone") KOM_DopSimulation::findRelationship;
%feature("kal:maybenone") KOM_DopSimulation::findData;
%feature("kal:maybenone") KOM_DopData::record;
%feature("kal:maybenone") KOM_DopData::findSubData;

// Subdata stays with the data that holds it.
%typemap(out, noblock=1) KOM_DopData *KOM_DopData::findSubData {
  $result = KOMconvertValueForInterpreter($1, 0);
}

// Used only to choose the Python class of returned data.
%ignore KOM_DopData::dataHandle;

%include "model/simulation.h"

%extend KOM_DopRecord {
    // The named field's value as a Python value of its type; None when the record has no such field.
    PyObject *field(char const *field_name) { return KOMfieldFromRecord(*$self, field_name); }
}

%catches();
