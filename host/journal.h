// The record of what the host received, and faults injected into host operations.
// Every host operation starts with one call of hostOperation(); nothing else keeps books.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/errors.h"
#include "model/sequences.h"

class KOM_Attrib;
class KOM_BaseKeyframe;
class KOM_Node;
class KOM_NodeType;
class KOM_NodeTypeCategory;
class KOM_Parm;
class KOM_ParmTuple;
class KOM_Point;
class KOM_Prim;
class KOM_Vertex;
struct KOM_EnumValue;

namespace kalhost
{

// An argument as the host received it, in a form the test module turns into Python.
struct JournalValue
{
    enum class Kind { None, Bool, Int, Float, Text, Tuple, Dict };

    Kind kind = Kind::None;
    bool boolean = false;
    long long integer = 0;
    double real = 0.0;
    std::string text;
    std::vector<JournalValue> items; // a dict holds (key, value) tuples

    static JournalValue none() { return {}; }
    static JournalValue ofText(std::string text);
    static JournalValue ofTuple(std::vector<JournalValue> items);
};

JournalValue journalValue(char const *text);
JournalValue journalValue(std::string const &text);
JournalValue journalValue(bool value);
JournalValue journalValue(int value);
JournalValue journalValue(long value);
JournalValue journalValue(unsigned long value);
JournalValue journalValue(float value);
JournalValue journalValue(double value);
JournalValue journalValue(KOM_Node const *node);
JournalValue journalValue(KOM_Node const &node);
JournalValue journalValue(KOM_EnumValue const *value);
JournalValue journalValue(KOM_EnumValue const &value);
JournalValue journalValue(KOM_NodeType const &type);
JournalValue journalValue(KOM_NodeTypeCategory const &category);
JournalValue journalValue(KOM_Parm const *parm);
JournalValue journalValue(KOM_Parm const &parm);
JournalValue journalValue(KOM_ParmTuple const *tuple);
JournalValue journalValue(KOM_ParmTuple const &tuple);
JournalValue journalValue(KOM_BaseKeyframe const &keyframe);
JournalValue journalValue(KOM_Attrib const *attrib);
JournalValue journalValue(KOM_Attrib const &attrib);
JournalValue journalValue(KOM_Point const &point);
JournalValue journalValue(KOM_Prim const *prim);
JournalValue journalValue(KOM_Prim const &prim);
JournalValue journalValue(KOM_Vertex const &vertex);

// A handle shown by its path, or by `gone` when its scene object no longer exists.
template <class Describe>
JournalValue journalHandle(void const *handle, Describe describe, char const *gone)
{
    if (!handle)
        return JournalValue::none();
    try
    {
        return JournalValue::ofText(describe());
    }
    catch (KOM_ObjectWasDeleted const &)
    {
        return JournalValue::ofText(gone);
    }
}

template <class T>
JournalValue journalValue(KOM_ElemPtr<T> const &element)
{
    return journalValue(element.get());
}

template <class T>
JournalValue journalValue(std::vector<T> const &values)
{
    std::vector<JournalValue> items;
    items.reserve(values.size());
    for (auto const &value : values)
        items.push_back(journalValue(value));
    return JournalValue::ofTuple(std::move(items));
}

template <class K, class V>
JournalValue journalValue(std::map<K, V> const &values)
{
    JournalValue dict;
    dict.kind = JournalValue::Kind::Dict;
    for (auto const &[key, value] : values)
        dict.items.push_back(JournalValue::ofTuple({journalValue(key), journalValue(value)}));
    return dict;
}

struct JournalEntry
{
    std::string operation;
    std::vector<JournalValue> args;
};

void setJournalling(bool on);
bool isJournalling();
std::vector<JournalEntry> const &journalEntries();
void clearJournal();

// The next `times` calls of `operation` throw the named error ("Error", "OperationFailed",
// ..., "SystemExit" with the code as message, "out_of_range", "invalid_argument").
// Returns false for an unknown error name.
bool addFault(std::string const &operation, std::string const &error, std::string const &message,
              int times);
void clearFaults();

void record(char const *operation, std::vector<JournalValue> args);
void fireFault(char const *operation);

// Records the call (when journalling) and then throws a pending fault for it, if any.
template <class... Args>
void hostOperation(char const *operation, Args const &...args)
{
    if (isJournalling())
        record(operation, {journalValue(args)...});
    fireFault(operation);
}

} // namespace kalhost
