// Faults injected into host operations: a test asks that the next calls of an operation throw.
#pragma once

#include <string>

namespace kalhost
{

// The next `times` calls of `operation` throw the named error ("Error", "OperationFailed",
// ..., "SystemExit" with the code as message, "out_of_range", "invalid_argument").
// Returns false for an unknown error name.
bool addFault(std::string const &operation, std::string const &error, std::string const &message,
              int times);
void clearFaults();

// Throws the pending fault of `operation`, if any (hostOperation calls it).
void fireFault(char const *operation);

// Why host operations must look at the journal and the faults: a bit while the journal records,
// a bit while a fault is pending. With neither, an operation pays one test (hostOperation).
enum HostWatch : unsigned char { WatchedByJournal = 1, WatchedByFaults = 2 };
extern unsigned char theHostWatch;

} // namespace kalhost
