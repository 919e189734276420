// Pending faults, by operation name, each firing a given number of times.
#include "host/faults.h"

#include <deque>
#include <functional>
#include <stdexcept>
#include <unordered_map>

#include "model/errors.h"

namespace kalhost
{

namespace
{

struct Fault
{
    std::function<void()> raise;
    int remaining;
};

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

unsigned char theHostWatch = 0;

bool addFault(std::string const &operation, std::string const &error, std::string const &message,
              int times)
{
    auto raise = errorThrower(error, message);
    if (!raise)
        return false;
    if (times > 0)
    {
        theFaults[operation].push_back({std::move(raise), times});
        theHostWatch |= WatchedByFaults;
    }
    return true;
}

void clearFaults()
{
    theFaults.clear();
    theHostWatch &= ~WatchedByFaults;
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
    if (theFaults.empty())
        theHostWatch &= ~WatchedByFaults;
    raise();
}

} // namespace kalhost
