// The API lock: a recursive lock with strict first-come hand-off.
//
// A critical section guards the fields for short moments only; each waiting
// place owns a manual-reset event. The events belong to the places, not to the
// threads, and move with their places when the queue shifts.

#include "core/threads/api_lock.h"

#include "core/threads/section_lock.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static ApiLockState ApiLock = {0, 0, -1, {}, 0, 0, {}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void CreateApiLockEvents()
{
    ApiLock.eventsCreated = 1;
    for (ApiLockWaitPlace &place : ApiLock.places) {
        place.threadId = 0;
        place.event = CreateManualResetEvent();
    }
    ApiLock.waiterCount = 0;
    InitSectionLock(&ApiLock.guard);
}

// The caller is at place 0 of a free lock: leave the queue, keeping place 0's
// event for the last used place.
static void LeaveQueueFromFront()
{
    if (ApiLock.waiterCount > 1) {
        HANDLE frontEvent = ApiLock.places[0].event;
        for (int i = 1; i < ApiLock.waiterCount; ++i) {
            ApiLock.places[i - 1] = ApiLock.places[i];
        }
        ApiLock.places[ApiLock.waiterCount - 1].event = frontEvent;
        ApiLock.places[ApiLock.waiterCount - 1].threadId = 0;
    }
    ApiLock.waiterCount -= 1;
}

// Under the guard: whether the calling thread may take the lock now (leaving
// the queue when it is at its front).
static bool MayTakeLock(int me)
{
    if (ApiLock.locked != 0) {
        return ApiLock.owner == me;
    }
    if (ApiLock.waiterCount == 0 || ApiLock.owner == me) {
        return true;
    }
    if (ApiLock.places[0].threadId == me) {
        LeaveQueueFromFront();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Take the lock, waiting in arrival order behind earlier waiters
void EnterApiLock()
{
    if (ApiLock.eventsCreated == 0) {
        CreateApiLockEvents();
    }
    const int me = static_cast<int>(GetCurrentThreadIdentifier());
    for (;;) {
        AcquireSectionLock(&ApiLock.guard);
        if (MayTakeLock(me)) {
            break;
        }
        if (ApiLock.waiterCount >= kApiLockWaitPlaces) {
            ReleaseSectionLock(&ApiLock.guard);
            SleepMilliseconds(1);
            continue;
        }
        ApiLockWaitPlace &place = ApiLock.places[ApiLock.waiterCount];
        place.threadId = me;
        HANDLE event = place.event;
        ApiLock.waiterCount += 1;
        ReleaseSectionLock(&ApiLock.guard);
        WaitForManualResetEvent(event);
        ResetManualResetEvent(event);
    }
    ApiLock.nestingDepth += 1;
    ApiLock.locked = 1;
    ApiLock.owner = me;
    ReleaseSectionLock(&ApiLock.guard);
}

// Give up one level; the outermost leave wakes the thread at place 0
void LeaveApiLock()
{
    AcquireSectionLock(&ApiLock.guard);
    bool wakeFront = false;
    HANDLE frontEvent = nullptr;
    if (ApiLock.nestingDepth == 1) {
        ApiLock.locked = 0;
        ApiLock.owner = -1;
        if (ApiLock.waiterCount > 0) {
            wakeFront = true;
            frontEvent = ApiLock.places[0].event;
        }
    }
    ApiLock.nestingDepth -= 1;
    ReleaseSectionLock(&ApiLock.guard);
    if (wakeFront) {
        SignalManualResetEvent(frontEvent);
        SleepMilliseconds(0);
    }
}

// Close every event and the guard
void EndApiLock()
{
    if (ApiLock.eventsCreated == 0) {
        return;
    }
    ApiLock.eventsCreated = 0;
    for (ApiLockWaitPlace &place : ApiLock.places) {
        CloseManualResetEvent(place.event);
        place.event = nullptr;
    }
    DeleteSectionLock(&ApiLock.guard);
}

// Waiting threads, read under the guard
int GetApiLockWaiterCount()
{
    if (ApiLock.eventsCreated == 0) {
        return 0;
    }
    AcquireSectionLock(&ApiLock.guard);
    int count = ApiLock.waiterCount;
    ReleaseSectionLock(&ApiLock.guard);
    return count;
}

} // namespace Korvo
