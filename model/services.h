// What the module requires of the application that implements the object model.
#pragma once

#include <pthread.h>

class KOM_Module;

// The application's one module object; never null.
KOM_Module &KOM();

struct KOMF_Module
{
    // Starts the application's internals when Python runs outside the application.
    static void ensureKalvaneInternalsExist();
};

// Guards the object model. Take it only while the interpreter lock is released.
extern pthread_mutex_t KOM_theKOMLock;

// Releases the interpreter lock for its lifetime. Taking it back may end the thread instead
// (a daemon thread at interpreter exit), by unwinding the thread's stack: the destructor lets
// that unwinding through, and holders of other resources release them on the way.
class KOM_PyInterpreterAutoUnlock
{
public:
    KOM_PyInterpreterAutoUnlock();
    ~KOM_PyInterpreterAutoUnlock() noexcept(false);
    KOM_PyInterpreterAutoUnlock(KOM_PyInterpreterAutoUnlock const &) = delete;
    KOM_PyInterpreterAutoUnlock &operator=(KOM_PyInterpreterAutoUnlock const &) = delete;

private:
    void *mySavedThreadState;
};
