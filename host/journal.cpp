// The journal's record and the formats of the values every family shares.
#include "host/journal.h"

#include "model/enums.h"

namespace kalhost
{

namespace
{

bool theJournalling = false;
std::vector<JournalEntry> theEntries;

} // namespace

JournalValue JournalValue::ofBool(bool flag)
{
    JournalValue value;
    value.kind = Kind::Bool;
    value.boolean = flag;
    return value;
}

JournalValue JournalValue::ofInt(long long number)
{
    JournalValue value;
    value.kind = Kind::Int;
    value.integer = number;
    return value;
}

JournalValue JournalValue::ofFloat(double number)
{
    JournalValue value;
    value.kind = Kind::Float;
    value.real = number;
    return value;
}

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

JournalValue JournalFormat<KOM_EnumValue>::format(KOM_EnumValue const &value)
{
    // reprText is "<kal.enumeration.Value>"; the journal shows "enumeration.Value".
    std::string text = value.reprText;
    if (text.size() > 6 && text.compare(0, 5, "<kal.") == 0)
        text = text.substr(5, text.size() - 6);
    return JournalValue::ofText(text);
}

std::uint64_t theSceneEdits = 0;

void setJournalling(bool on)
{
    theJournalling = on;
    theHostWatch = on ? theHostWatch | WatchedByJournal : theHostWatch & ~WatchedByJournal;
}
bool isJournalling() { return theJournalling; }
std::vector<JournalEntry> const &journalEntries() { return theEntries; }
void clearJournal() { theEntries.clear(); }

void record(char const *operation, std::vector<JournalValue> args)
{
    theEntries.push_back({operation, std::move(args)});
}

} // namespace kalhost
