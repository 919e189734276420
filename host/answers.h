// Scripted answers: what the user would answer to the host's interactive operations (dialogs,
// viewport selections, file choosers). A test queues them; it knows no family.
#pragma once

#include <string>

#include "host/journal.h"

namespace kalhost
{

// Queues `value` (in the journal's value form: None, bool, int, float, text or tuple) as the
// answer the next call of `operation` ("ui.displayMessage", "SceneViewer.selectObjects") gives.
void queueAnswer(std::string const &operation, JournalValue value);
void clearAnswers();

// The oldest answer queued for `operation`, removed from the queue. With none queued the user
// cannot answer: throws KOM_OperationInterrupted. None is a cancelled answer, for the operation
// to interpret.
JournalValue takeAnswer(char const *operation);

} // namespace kalhost
