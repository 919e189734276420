// The record of what the host received. It knows no family: each family teaches it to show its
// own objects by specialising JournalFormat in its host header (KALHOST_JOURNAL_FORMAT).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/faults.h"
#include "model/errors.h"
#include "model/sequences.h"

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
    static JournalValue ofBool(bool value);
    static JournalValue ofInt(long long value);
    static JournalValue ofFloat(double value);
    static JournalValue ofText(std::string text);
    static JournalValue ofTuple(std::vector<JournalValue> items);
};

// How the journal shows a T. Left undefined, so that an argument of a type nobody taught the
// journal fails to compile instead of being recorded wrongly.
template <class T, class Enable = void>
struct JournalFormat;

template <class T>
JournalValue journalValue(T const &value)
{
    return JournalFormat<T>::format(value);
}

// Declares the journal's format of one object-model class; the family defines `format` in its
// .cpp. A pointer to the class is shown the same way, null as None.
#define KALHOST_JOURNAL_FORMAT(TYPE)                   \
    template <>                                        \
    struct JournalFormat<TYPE>                         \
    {                                                  \
        static JournalValue format(TYPE const &value); \
    }

// A handle shown by `describe()`, or by `gone` when its scene object no longer exists.
template <class Describe>
JournalValue journalHandle(Describe describe, char const *gone)
{
    try
    {
        return JournalValue::ofText(describe());
    }
    catch (KOM_ObjectWasDeleted const &)
    {
        return JournalValue::ofText(gone);
    }
}

// --- Scalars and text ------------------------------------------------------------------------

template <>
struct JournalFormat<bool>
{
    static JournalValue format(bool value) { return JournalValue::ofBool(value); }
};

template <class T>
struct JournalFormat<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>>
{
    static JournalValue format(T value) { return JournalValue::ofInt(static_cast<long long>(value)); }
};

template <class T>
struct JournalFormat<T, std::enable_if_t<std::is_floating_point_v<T>>>
{
    static JournalValue format(T value) { return JournalValue::ofFloat(static_cast<double>(value)); }
};

template <>
struct JournalFormat<std::string>
{
    static JournalValue format(std::string const &text) { return JournalValue::ofText(text); }
};

template <>
struct JournalFormat<char const *>
{
    static JournalValue format(char const *text)
    {
        return text ? JournalValue::ofText(text) : JournalValue::none();
    }
};

template <>
struct JournalFormat<char *> : JournalFormat<char const *>
{
};

template <std::size_t N>
struct JournalFormat<char[N]> : JournalFormat<char const *>
{
};

// Enumeration values belong to every family: "enumeration.Value".
KALHOST_JOURNAL_FORMAT(KOM_EnumValue);

// --- Pointers and containers -----------------------------------------------------------------

template <class T>
struct JournalFormat<T *, std::enable_if_t<!std::is_same_v<std::remove_cv_t<T>, char>>>
{
    static JournalValue format(T const *value)
    {
        return value ? journalValue(*value) : JournalValue::none();
    }
};

template <class T>
struct JournalFormat<KOM_ElemPtr<T>>
{
    static JournalValue format(KOM_ElemPtr<T> const &element) { return journalValue(element.get()); }
};

template <class T>
struct JournalFormat<std::vector<T>>
{
    static JournalValue format(std::vector<T> const &values)
    {
        std::vector<JournalValue> items;
        items.reserve(values.size());
        for (auto const &value : values)
            items.push_back(journalValue(value));
        return JournalValue::ofTuple(std::move(items));
    }
};

template <class K, class V>
struct JournalFormat<std::map<K, V>>
{
    static JournalValue format(std::map<K, V> const &values)
    {
        JournalValue dict;
        dict.kind = JournalValue::Kind::Dict;
        for (auto const &[key, value] : values)
            dict.items.push_back(JournalValue::ofTuple({journalValue(key), journalValue(value)}));
        return dict;
    }
};

// --- The record ------------------------------------------------------------------------------

struct JournalEntry
{
    std::string operation;
    std::vector<JournalValue> args;
};

void setJournalling(bool on);
bool isJournalling();
std::vector<JournalEntry> const &journalEntries();
void clearJournal();
void record(char const *operation, std::vector<JournalValue> args);

// The host operations so far that may have edited the scene. What the host derives from the
// scene and keeps (a simulation's bodies) holds while this count stands: every edit reaches the
// host through an operation, so counting them all, and leaving out only those known to read,
// misses none. Host code that edits the scene outside any operation does not count.
extern std::uint64_t theSceneEdits;
inline std::uint64_t sceneEdits() { return theSceneEdits; }

// An operation that only reads the scene starts with this call, and nothing else keeps books: it
// records the call with its arguments (when journalling), then throws a pending fault for it, if
// any. With the journal off and no fault pending, that is one test.
template <class... Args>
inline void hostQuery(char const *operation, Args const &...args)
{
    if (__builtin_expect(theHostWatch == 0, 1))
        return;
    if (isJournalling())
        record(operation, {journalValue(args)...});
    fireFault(operation);
}

// Every other host operation starts with this call: as hostQuery, and counted as an edit.
template <class... Args>
inline void hostOperation(char const *operation, Args const &...args)
{
    ++theSceneEdits;
    hostQuery(operation, args...);
}

} // namespace kalhost
