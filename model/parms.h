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

    // Whether both refer to the same parameter.
    virtual bool __eq__(KOM_Parm *other) = 0;
    // Whether they refer to different parameters.
    virtual bool __ne__(KOM_Parm *other) = 0;
    // Not exposed: the full path of the parameter, which the host uses to name it.
    virtual std::string path() = 0;
    // A hash equal for every handle on the same parameter.
    virtual int __hash__() = 0;
    // How the parameter shows at the prompt.
    virtual std::string __repr__() = 0;
    // The node the parameter belongs to.
    virtual KOM_Node *node() = 0;
    // The parameter tuple this parameter is a component of.
    virtual KOM_ParmTuple *tuple() = 0;
    // The template describing the parameter (type, range, default ...).
    virtual KOM_ParmTemplate *parmTemplate() = 0;
    // The parameter's name, such as tx.
    virtual std::string name() = 0;
    // The parameter's label, as the parameter editor shows it.
    virtual std::string description() = 0;
    // The parameter's index within its tuple (0 for tx, 1 for ty ...).
    virtual int componentIndex() = 0;
    // The values a menu parameter offers.
    virtual std::vector<std::string> menuItems() = 0;
    // Presses a button parameter, running its callback.
    virtual void pressButton() = 0;
    // Sets a float value.
    virtual void set(float value) = 0;
    // Sets a float value as a pending change of an animated parameter, without a keyframe.
    virtual void setPending(float value) = 0;
    // Sets an integer value.
    virtual void set(int value) = 0;
    // Sets an integer value as a pending change, without a keyframe.
    virtual void setPending(int value) = 0;
    // Sets a string value.
    virtual void set(char const *value) = 0;
    // Sets a string value as a pending change, without a keyframe.
    virtual void setPending(char const *value) = 0;
    // Makes the parameter follow another one through a channel reference expression.
    virtual void set(KOM_Parm &parm, KOM_EnumValue *language = nullptr) = 0;
    // Sets the parameter back to its default value.
    virtual void revertToDefaults() = 0;
    // Sets the parameter back to its type's original default, which becomes its default again.
    virtual void revertToAndRestorePermanentDefaults() = 0;
    // Drives the parameter with an expression, in the node's language unless one is given.
    virtual void setExpression(char const *expression, KOM_EnumValue *language = nullptr) = 0;
    // The expression driving the parameter.
    virtual std::string expression() = 0;
    // The language of the parameter's expression.
    virtual KOM_EnumValue *expressionLanguage() = 0;
    // Adds a keyframe, or replaces the one at its time.
    virtual void setKeyframe(KOM_BaseKeyframe &keyframe) = 0;
    // The parameter's keyframes, in time order.
    virtual std::vector<KOM_ElemPtr<KOM_BaseKeyframe>> keyframes() = 0;
    // The parameter's value at the current frame, as a float.
    virtual float evalAsFloat() = 0;
    // The parameter's value at a frame, as a float.
    virtual float evalAsFloatAtFrame(float frame) = 0;
    // The parameter's value at the current frame, as an integer.
    virtual int evalAsInt() = 0;
    // The parameter's value at a frame, as an integer.
    virtual int evalAsIntAtFrame(float frame) = 0;
    // The parameter's value at the current frame, as text with variables expanded.
    virtual std::string evalAsString() = 0;
    // The parameter's value at a frame, as text with variables expanded.
    virtual std::string evalAsStringAtFrame(float frame) = 0;
    // A string parameter's text as typed, variables not expanded.
    virtual std::string unexpandedString() = 0;
    // Removes every keyframe, leaving the value at the current frame.
    virtual void deleteAllKeyframes() = 0;
    // The host keeps the returned parameter: it is not the caller's to delete.
    // The parameter this one follows through a channel reference, or itself.
    virtual KOM_Parm *getReferencedParm() = 0;
    // Whether the parameter is locked against changes.
    virtual bool isLocked() = 0;
    // Locks the parameter against changes, or unlocks it.
    virtual void lock(bool on) = 0;
    // Whether the parameter's channel shows in the channel editor when its node is selected.
    virtual bool isAutoscoped() = 0;
    // Sets whether the parameter's channel shows when its node is selected.
    virtual void setAutoscope(bool on) = 0;
    // The parameter's alias, or an empty string.
    virtual std::string alias() = 0;
    // Gives the parameter an alias it can also be found by (empty removes it).
    virtual void setAlias(char const *alias_name) = 0;
    // Whether the parameter is a spare one added to the node.
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

    // Whether both refer to the same parameter tuple.
    virtual bool __eq__(KOM_ParmTuple *other) = 0;
    // Whether they refer to different parameter tuples.
    virtual bool __ne__(KOM_ParmTuple *other) = 0;
    // A hash equal for every handle on the same tuple.
    virtual int __hash__() = 0;
    // How the tuple shows at the prompt.
    virtual std::string __repr__() = 0;
    // The node the tuple belongs to.
    virtual KOM_Node *node() = 0;
    // The template describing the tuple.
    virtual KOM_ParmTemplate *parmTemplate() = 0;
    // The tuple's name, such as t.
    virtual std::string name() = 0;
    // The tuple's label, as the parameter editor shows it.
    virtual std::string description() = 0;
    // Sets every component from a sequence of numbers.
    virtual void set(std::vector<float> const &values) = 0;
    // Sets every component as a pending change, without keyframes.
    virtual void setPending(std::vector<float> const &values) = 0;
    // Sets every component from a sequence of strings.
    virtual void set(std::vector<std::string> const &values) = 0;
    // Sets every string component as a pending change, without keyframes.
    virtual void setPending(std::vector<std::string> const &values) = 0;
    // Sets every component back to its default.
    virtual void revertToDefaults() = 0;
    // Sets every component back to its type's original default, which becomes its default again.
    virtual void revertToAndRestorePermanentDefaults() = 0;
    // The components' values at the current frame, as floats.
    virtual std::vector<float> evalAsFloats() = 0;
    // The components' values at a frame, as floats.
    virtual std::vector<float> evalAsFloatsAtFrame(float frame) = 0;
    // The components' values at the current frame, as integers.
    virtual std::vector<int> evalAsInts() = 0;
    // The components' values at a frame, as integers.
    virtual std::vector<int> evalAsIntsAtFrame(float frame) = 0;
    // The components' values at the current frame, as text.
    virtual std::vector<std::string> evalAsStrings() = 0;
    // The components' values at a frame, as text.
    virtual std::vector<std::string> evalAsStringsAtFrame(float frame) = 0;
    // Locks or unlocks each component (one bool per component).
    virtual void lock(std::vector<bool> const &on) = 0;
    // Sets per component whether its channel shows when the node is selected.
    virtual void setAutoscope(std::vector<bool> const &on) = 0;
    // Removes every keyframe of every component.
    virtual void deleteAllKeyframes() = 0;
    // Throws std::out_of_range for an index outside the tuple.
    // The component parameter at an index (negative counts from the end).
    virtual KOM_Parm *__getitem__(int index) = 0;
    // The number of components.
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

// The value at the current frame as the parameter's own type: float, int or str.
PyObject *KOM_Parm_eval(KOM_Parm *self);
// The value at a frame as the parameter's own type: float, int or str.
PyObject *KOM_Parm_evalAtFrame(KOM_Parm *self, float frame);
// The components' values at the current frame, as a tuple of the tuple's own type.
PyObject *KOM_ParmTuple_eval(KOM_ParmTuple *self);
// The components' values at a frame, as a tuple of the tuple's own type.
PyObject *KOM_ParmTuple_evalAtFrame(KOM_ParmTuple *self, float frame);
// A name that finds no parameter throws KOM_OperationFailed with an empty message.
// The value of the node's parameter with this name, as the parameter's own type.
PyObject *KOM_Node_evalParm(KOM_Node *self, char const *parm_name);
// The values of the node's parameter tuple with this name, as a tuple.
PyObject *KOM_Node_evalParmTuple(KOM_Node *self, char const *parm_name);

namespace kom
{
// The value of the parameter at a path, as the parameter's own type.
PyObject *evalParm(char const *path);
// The values of the parameter tuple at a path, as a tuple.
PyObject *evalParmTuple(char const *path);
// The value of the parameter at a path: evalParm under its kscript name.
PyObject *ch(char const *path);
} // namespace kom
