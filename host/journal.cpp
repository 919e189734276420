#include "host/journal.h"

#include <deque>
#include <functional>
#include <stdexcept>
#include <unordered_map>

#include "model/enums.h"
#include "model/errors.h"
#include "host/nodes.h"

namespace kalhost
{

namespace
{

struct Fault
{
    std::function<void()> raise;
    int remaining;
};

bool theJournalling = false;
std::vector<JournalEntry> theEntries;
std::unordered_map<std::string, std::deque<Fault>> theFaults;

template <class E>
std::function<void()> thrower(std::string const &message)
{
    return [message] { throw E(message.c_str()); };
}

std::function<void()> errorThrower(std::string const &error, std::string const &message)
{
#define KALHOST_ERROR_THROWER(NAME, DESCRIPTION) \
    if (error == #NAME)                          \
        return thrower<KOM_##NAME>(message);
    KOM_FOR_EACH_ERROR_SUBCLASS(KALHOST_ERROR_THROWER)
#undef KALHOST_ERROR_THROWER
    if (error == "Error")
        return thrower<KOM_Error>(message);
    if (error == "SystemExit")
    {
        int code = 0;
        try
        {
            code = message.empty() ? 0 : std::stoi(message);
        }
        catch (std::exception const &)
        {
            return nullptr;
        }
        return [code] { throw KOM_SystemExit(code); };
    }
    if (error == "out_of_range")
        return [message] { throw std::out_of_range(message); };
    if (error == "invalid_argument")
        return [message] { throw std::invalid_argument(message); };
    return nullptr;
}

} // namespace

JournalValue JournalValue::ofText(std::string text)
{
    JournalValue value;
    value.kind = Kind::Text;
    value.text = std::move(text);
    return value;
}

JournalValue JournalValue::ofTuple(std::vector<JournalValue> items)
{
    JournalValue value;
    value.kind = Kind::Tuple;
    value.items = std::move(items);
    return value;
}

JournalValue journalValue(char const *text)
{
    return text ? JournalValue::ofText(text) : JournalValue::none();
}

JournalValue journalValue(std::string const &text) { return JournalValue::ofText(text); }

JournalValue journalValue(bool flag)
{
    JournalValue value;
    value.kind = JournalValue::Kind::Bool;
    value.boolean = flag;
    return value;
}

JournalValue journalValue(long number)
{
    JournalValue value;
    value.kind = JournalValue::Kind::Int;
    value.integer = number;
    return value;
}

JournalValue journalValue(int number) { return journalValue(static_cast<long>(number)); }

JournalValue journalValue(unsigned long number)
{
    return journalValue(static_cast<long>(number));
}

JournalValue journalValue(double number)
{
    JournalValue value;
    value.kind = JournalValue::Kind::Float;
    value.real = number;
    return value;
}

JournalValue journalValue(float number) { return journalValue(static_cast<double>(number)); }

JournalValue journalValue(KOM_Node const *node)
{
    return journalHandle(node, [node] {
        auto const scene = NodeHandle::sceneOf(const_cast<KOM_Node *>(node));
        return scene ? scene->path() : "<foreign node>";
    }, "<deleted node>");
}

JournalValue journalValue(KOM_Node const &node) { return journalValue(&node); }

JournalValue journalValue(KOM_EnumValue const *value)
{
    return value ? journalValue(*value) : JournalValue::none();
}

JournalValue journalValue(KOM_EnumValue const &value)
{
    // reprText is "<kal.enumeration.Value>"; the journal shows "enumeration.Value".
    std::string text = value.reprText;
    if (text.size() > 6 && text.compare(0, 5, "<kal.") == 0)
        text = text.substr(5, text.size() - 6);
    return JournalValue::ofText(text);
}

void setJournalling(bool on) { theJournalling = on; }
bool isJournalling() { return theJournalling; }
std::vector<JournalEntry> const &journalEntries() { return theEntries; }
void clearJournal() { theEntries.clear(); }

bool addFault(std::string const &operation, std::string const &error, std::string const &message,
              int times)
{
    auto raise = errorThrower(error, message);
    if (!raise)
        return false;
    if (times > 0)
        theFaults[operation].push_back({std::move(raise), times});
    return true;
}

void clearFaults() { theFaults.clear(); }

void record(char const *operation, std::vector<JournalValue> args)
{
    theEntries.push_back({operation, std::move(args)});
}

void fireFault(char const *operation)
{
    if (theFaults.empty())
        return;
    auto found = theFaults.find(operation);
    if (found == theFaults.end())
        return;
    auto &pending = found->second;
    auto raise = pending.front().raise;
    if (--pending.front().remaining == 0)
        pending.pop_front();
    if (pending.empty())
        theFaults.erase(found);
    raise();
}

} // namespace kalhost
