// The reference host's module object and the services the module relies on.
#include <Python.h>

#include "host/journal.h"
#include "host/nodes.h"
#include "model/module.h"

namespace kalhost
{
namespace
{

class HostModule : public KOM_Module
{
public:
    void exit(int exit_code, bool suppress_save_prompt) override
    {
        hostOperation("Module.exit", exit_code, suppress_save_prompt);
        myExiting = true;
        throw KOM_SystemExit(exit_code);
    }

    bool _isExiting() override
    {
        hostOperation("Module._isExiting");
        return myExiting;
    }

    KOM_Node *root() override
    {
        hostOperation("Module.root");
        return NodeHandle::handleFor(theScene().root());
    }

    KOM_Node *node(char const *path) override
    {
        hostOperation("Module.node", path);
        if (!path || path[0] != '/')
            return nullptr;
        return NodeHandle::handleFor(theScene().find(path, theScene().root()));
    }

    void reset() { myExiting = false; }

private:
    bool myExiting = false;
};

HostModule theModule;

} // namespace

// Restores the baseline scene and forgets the journal, faults and exit request.
void resetHost()
{
    theScene().reset();
    theModule.reset();
    clearJournal();
    clearFaults();
}

} // namespace kalhost

KOM_Module &KOM()
{
    kalhost::theScene();
    return kalhost::theModule;
}

void KOMF_Module::ensureKalvaneInternalsExist() { kalhost::theScene(); }

pthread_mutex_t KOM_theKOMLock = PTHREAD_MUTEX_INITIALIZER;

KOM_PyInterpreterAutoUnlock::KOM_PyInterpreterAutoUnlock()
    : mySavedThreadState(PyEval_SaveThread())
{
}

KOM_PyInterpreterAutoUnlock::~KOM_PyInterpreterAutoUnlock()
{
    PyEval_RestoreThread(static_cast<PyThreadState *>(mySavedThreadState));
}
