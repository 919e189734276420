// The reference host assembled: its services (model/services.h) and the reset of every family.
#pragma once

namespace kalhost
{

// Restores the baseline scene and forgets every family's changes, the journal, the faults
// and the scripted answers.
void resetHost();

} // namespace kalhost
