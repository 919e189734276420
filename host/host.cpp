// The one place that knows every family of the reference host: the services the module relies
// on, and the reset that puts each family back, in an order chosen here rather than by
// registration (the scene first: the families' state hangs off its nodes).
#include "host/host.h"

#include <Python.h>

#include "host/answers.h"
#include "host/assets.h"
#include "host/journal.h"
#include "host/module.h"
#include "host/nodetypes.h"
#include "host/scene.h"
#include "host/ui.h"
#include "host/shelves.h"
#include "host/scenefile.h"
#include "host/shell.h"
#include "model/services.h"

namespace kalhost
{

void resetHost()
{
    theScene().reset();
    resetNodeTypes();
    resetAssets();
    resetModule();
    resetUi();
    resetShelves();
    resetSceneFile();
    resetShell();
    clearJournal();
    clearFaults();
    clearAnswers();
}

} // namespace kalhost

KOM_Module &KOM()
{
    kalhost::theScene();
    return kalhost::hostModule();
}

void KOMF_Module::ensureKalvaneInternalsExist() { kalhost::theScene(); }

pthread_mutex_t KOM_theKOMLock = PTHREAD_MUTEX_INITIALIZER;

KOM_PyInterpreterAutoUnlock::KOM_PyInterpreterAutoUnlock()
    : mySavedThreadState(PyEval_SaveThread())
{
}

KOM_PyInterpreterAutoUnlock::~KOM_PyInterpreterAutoUnlock() noexcept(false)
{
    PyEval_RestoreThread(static_cast<PyThreadState *>(mySavedThreadState));
}
