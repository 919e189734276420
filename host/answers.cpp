// The queue of scripted answers, by operation name, oldest first.
#include "host/answers.h"

#include <deque>
#include <unordered_map>

#include "model/errors.h"

namespace kalhost
{

namespace
{

std::unordered_map<std::string, std::deque<JournalValue>> theAnswers;

} // namespace

void queueAnswer(std::string const &operation, JournalValue value)
{
    theAnswers[operation].push_back(std::move(value));
}

void clearAnswers() { theAnswers.clear(); }

JournalValue takeAnswer(char const *operation)
{
    auto found = theAnswers.find(operation);
    if (found == theAnswers.end())
        throw KOM_OperationInterrupted(
            (std::string("No answer was given to ") + operation + ".").c_str());
    JournalValue answer = std::move(found->second.front());
    found->second.pop_front();
    if (found->second.empty())
        theAnswers.erase(found);
    return answer;
}

} // namespace kalhost
