// The library-wide API lock.
//
// StartLibrary, ShutdownLibrary and ServiceMessageQueue hold it around their
// work. It is recursive for its owner, and waiting threads are served strictly
// in arrival order: a newcomer never overtakes a waiting thread, even when the
// lock happens to be free at that moment.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Number of waiting places; more waiters retry every millisecond.
constexpr int kApiLockWaitPlaces = 4096;

// One waiting place: the waiting thread and the event it sleeps on.
struct ApiLockWaitPlace {
    int threadId;
    HANDLE event;
};

struct ApiLockState {
    int nestingDepth;
    int locked;
    int owner; // thread id, -1 after the outermost leave
    ApiLockWaitPlace places[kApiLockWaitPlaces]; // oldest waiter at place 0
    int eventsCreated;
    int waiterCount;
    CRITICAL_SECTION guard;
};

// Return once the calling thread holds the lock (creates the events on first use)
void EnterApiLock();
// Give up one level of the lock; the outermost leave wakes the oldest waiter
void LeaveApiLock();
// Close the events and the guard; the next EnterApiLock creates them anew
void EndApiLock();
// Number of threads waiting for the lock (0 before the lock exists)
int GetApiLockWaiterCount();

} // namespace Korvo
