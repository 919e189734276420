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

// Holds the host lock for its lifetime, taken in the one order that cannot deadlock against
// the interpreter lock: release the interpreter lock, wait for the host lock, take the
// interpreter lock back. The host lock is released on every path, also when taking the
// interpreter lock back ends the thread.
class KOM_HostLockHeld
{
public:
    KOM_HostLockHeld()
    {
        KOM_PyInterpreterAutoUnlock interpreterReleased;
        pthread_mutex_lock(&KOM_theKOMLock);
        myLock.held = true;
    }
    KOM_HostLockHeld(KOM_HostLockHeld const &) = delete;
    KOM_HostLockHeld &operator=(KOM_HostLockHeld const &) = delete;

private:
    // A member, so that it is released when the constructor unwinds.
    struct Lock
    {
        bool held = false;
        ~Lock()
        {
            if (held)
                pthread_mutex_unlock(&KOM_theKOMLock);
        }
    } myLock;
};
