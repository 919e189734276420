// Parameters and parameter tuples.
#pragma once

#include <string>
#include <vector>

#include "model/sequences.h"

#ifndef SWIG
// The codes of KOM_Parm::dataTypeCode and KOM_ParmTuple::dataTypeCode: evaluation chooses the
// Python type of its result by them. Not part of the Python API.
enum KOM_ParmDataType
{
    KOM_IntParmData = 1,
    KOM_FloatParmData = 2,
    KOM_StringParmData = 3,
};
#endif

typedef struct _object PyObject;
struct KOM_EnumValue;
class KOM_BaseKeyframe;
class KOM_Node;
class KOM_ParmTuple;
class KOM_ParmTemplate;

class KOM_Parm
{
public:
    virtual ~KOM_Parm() {}

    virtual bool __eq__(KOM_Parm *other) = 0;
    virtual bool __ne__(KOM_Parm *other) = 0;
    // Not exposed: the full path of the parameter, which the host uses to name it.
    virtual std::string path() = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_Node *node() = 0;
    virtual KOM_ParmTuple *tuple() = 0;
    virtual KOM_ParmTemplate *parmTemplate() = 0;
    virtual std::string name() = 0;
    virtual std::string description() = 0;
    virtual int componentIndex() = 0;
    virtual std::vector<std::string> menuItems() = 0;
    virtual void pressButton() = 0;
    virtual void set(float value) = 0;
    virtual void setPending(float value) = 0;
    virtual void set(int value) = 0;
    virtual void setPending(int value) = 0;
    virtual void set(char const *value) = 0;
    virtual void setPending(char const *value) = 0;
    virtual void set(KOM_Parm &parm, KOM_EnumValue *language = nullptr) = 0;
    virtual void revertToDefaults() = 0;
    virtual void revertToAndRestorePermanentDefaults() = 0;
    virtual void setExpression(char const *expression, KOM_EnumValue *language = nullptr) = 0;
    virtual std::string expression() = 0;
    virtual KOM_EnumValue *expressionLanguage() = 0;
    virtual void setKeyframe(KOM_BaseKeyframe &keyframe) = 0;
    virtual std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> keyframes() = 0;
    virtual float evalAsFloat() = 0;
    virtual float evalAsFloatAtFrame(float frame) = 0;
    virtual int evalAsInt() = 0;
    virtual int evalAsIntAtFrame(float frame) = 0;
    virtual std::string evalAsString() = 0;
    virtual std::string evalAsStringAtFrame(float frame) = 0;
    virtual std::string unexpandedString() = 0;
    virtual void deleteAllKeyframes() = 0;
    // The host keeps the returned parameter: it is not the caller's to delete.
    virtual KOM_Parm *getReferencedParm() = 0;
    virtual bool isLocked() = 0;
    virtual void lock(bool on) = 0;
    virtual bool isAutoscoped() = 0;
    virtual void setAutoscope(bool on) = 0;
    virtual std::string alias() = 0;
    virtual void setAlias(char const *alias_name) = 0;
    virtual bool isSpare() = 0;
    // Not exposed: whether an expression drives the value.
    virtual bool hasExpression() = 0;
    // Not exposed: 1 integer, 2 floating point, 3 string; evaluation picks its result by it.
    virtual int dataTypeCode() = 0;
};

class KOM_ParmTuple
{
public:
    virtual ~KOM_ParmTuple() {}

    virtual bool __eq__(KOM_ParmTuple *other) = 0;
    virtual bool __ne__(KOM_ParmTuple *other) = 0;
    virtual int __hash__() = 0;
    virtual std::string __repr__() = 0;
    virtual KOM_Node *node() = 0;
    virtual KOM_ParmTemplate *parmTemplate() = 0;
    virtual std::string name() = 0;
    virtual std::string description() = 0;
    virtual void set(std::vector<float> const &values) = 0;
    virtual void setPending(std::vector<float> const &values) = 0;
    virtual void set(std::vector<std::string> const &values) = 0;
    virtual void setPending(std::vector<std::string> const &values) = 0;
    virtual void revertToDefaults() = 0;
    virtual void revertToAndRestorePermanentDefaults() = 0;
    virtual std::vector<float> evalAsFloats() = 0;
    virtual std::vector<float> evalAsFloatsAtFrame(float frame) = 0;
    virtual std::vector<int> evalAsInts() = 0;
    virtual std::vector<int> evalAsIntsAtFrame(float frame) = 0;
    virtual std::vector<std::string> evalAsStrings() = 0;
    virtual std::vector<std::string> evalAsStringsAtFrame(float frame) = 0;
    virtual void lock(std::vector<bool> const &on) = 0;
    virtual void setAutoscope(std::vector<bool> const &on) = 0;
    virtual void deleteAllKeyframes() = 0;
    // Throws std::out_of_range for an index outside the tuple.
    virtual KOM_Parm *__getitem__(int index) = 0;
    virtual int __len__() = 0;
    // Not exposed: the full path of the tuple, which the host uses to name it.
    virtual std::string path() = 0;
    // Not exposed: as KOM_Parm::dataTypeCode.
    virtual int dataTypeCode() = 0;
};

// Evaluation written for the binding: the parameter's data type code alone picks the Python
// result (int, float, str, or None for any other code). Each returns a new reference, or
// null with a Python error set; host errors propagate as thrown.
PyObject *KOMevalParm(KOM_Parm &parm);
PyObject *KOMevalParmAtFrame(KOM_Parm &parm, float frame);
PyObject *KOMevalParmTuple(KOM_ParmTuple &tuple);
PyObject *KOMevalParmTupleAtFrame(KOM_ParmTuple &tuple, float frame);

PyObject *KOM_Parm_eval(KOM_Parm *self);
PyObject *KOM_Parm_evalAtFrame(KOM_Parm *self, float frame);
PyObject *KOM_ParmTuple_eval(KOM_ParmTuple *self);
PyObject *KOM_ParmTuple_evalAtFrame(KOM_ParmTuple *self, float frame);
// A name that finds no parameter throws KOM_OperationFailed with an empty message.
PyObject *KOM_Node_evalParm(KOM_Node *self, char const *parm_name);
PyObject *KOM_Node_evalParmTuple(KOM_Node *self, char const *parm_name);

namespace kom
{
PyObject *evalParm(char const *path);
PyObject *evalParmTuple(char const *path);
PyObject *ch(char const *path);
} // namespace kom
