// Library threads of the host build: POSIX threads that keep the Windows
// suspend-count rules the library relies on.
//
// A thread starts suspended; SuspendCurrentThread raises its own count and
// sleeps until ResumeThreadRecord brings the count back to 0. Resuming a
// thread whose count is 0 reports 0, as ResumeThread does.

#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <pthread.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Shared by the record and its running thread; the last of the two frees it.
struct HostThreadControl {
    std::mutex mutex;
    std::condition_variable resumed;
    int suspendCount = 1;
    std::atomic<int> references{2};
    ThreadRecord *record = nullptr;
    DWORD threadId = 0;
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static std::atomic<DWORD> NextThreadId{1};
static thread_local DWORD CurrentThreadId = 0;
static thread_local HostThreadControl *CurrentThreadControl = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static HostThreadControl *ControlOf(const ThreadRecord *record)
{
    return static_cast<HostThreadControl *>(record->threadHandle);
}

static void DropReference(HostThreadControl *control)
{
    if (control->references.fetch_sub(1) == 1) {
        delete control;
    }
}

// Wait while the calling thread's suspend count is above 0.
static void WaitWhileSuspended(HostThreadControl *control)
{
    std::unique_lock<std::mutex> guard(control->mutex);
    control->resumed.wait(guard, [control] { return control->suspendCount == 0; });
}

static void *HostThreadStart(void *parameter)
{
    HostThreadControl *control = static_cast<HostThreadControl *>(parameter);
    CurrentThreadId = control->threadId;
    CurrentThreadControl = control;
    WaitWhileSuspended(control);
    ThreadRecord *record = control->record;
    record->routine(record, record->userData);
    CurrentThreadControl = nullptr;
    DropReference(control);
    return nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Start a detached thread that waits for its first resume
int CreateThreadRecord(ThreadRecord *record, ThreadRoutine routine, int userData)
{
    record->routine = routine;
    record->userData = userData;
    HostThreadControl *control = new HostThreadControl();
    control->record = record;
    control->threadId = NextThreadId.fetch_add(1);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, HostThreadStart, control) != 0) {
        delete control;
        record->threadHandle = nullptr;
        return -1;
    }
    pthread_detach(thread);
    record->threadHandle = control;
    record->threadId = control->threadId;
    return 0;
}

// Lower the suspend count: 1 when the thread had been suspended, else 0
int ResumeThreadRecord(ThreadRecord *record)
{
    HostThreadControl *control = ControlOf(record);
    std::lock_guard<std::mutex> guard(control->mutex);
    if (control->suspendCount == 0) {
        return 0;
    }
    control->suspendCount -= 1;
    control->resumed.notify_all();
    return 1;
}

// Raise the own suspend count and sleep until resumed (threads of this layer only)
void SuspendCurrentThread()
{
    HostThreadControl *control = CurrentThreadControl;
    if (control == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(control->mutex);
        control->suspendCount += 1;
    }
    WaitWhileSuspended(control);
}

// Host threads keep their priority
void SetThreadRecordPriority(ThreadRecord *record, unsigned level)
{
    (void)record;
    (void)level;
}

// The thread id
DWORD GetThreadRecordId(const ThreadRecord *record)
{
    return record->threadId;
}

// 1 when the handle is set
int HasThreadHandle(const ThreadRecord *record)
{
    return record->threadHandle != nullptr ? 1 : 0;
}

// Give up the record's hold on the thread (the thread runs on)
int CloseThreadRecord(ThreadRecord *record)
{
    if (record->threadHandle == nullptr) {
        return 0;
    }
    DropReference(ControlOf(record));
    record->threadHandle = nullptr;
    return 1;
}

// Id of the calling thread; threads not made here get one on first use
DWORD GetCurrentThreadIdentifier()
{
    if (CurrentThreadId == 0) {
        CurrentThreadId = NextThreadId.fetch_add(1);
    }
    return CurrentThreadId;
}

} // namespace Korvo
