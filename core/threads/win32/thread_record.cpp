// Library threads over CreateThread.
//
// The thread is created suspended by CreateThread itself, so it cannot run (or
// miss its resume) before the owner calls ResumeThreadRecord.

#include "core/threads/thread_record.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Entry of every library thread: run the record's routine, then end the thread.
static DWORD WINAPI ThreadStartRoutine(LPVOID parameter)
{
    ThreadRecord *record = static_cast<ThreadRecord *>(parameter);
    record->routine(record, record->userData);
    ExitThread(0);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Create the thread suspended and keep its handle and id
int CreateThreadRecord(ThreadRecord *record, ThreadRoutine routine, int userData)
{
    record->routine = routine;
    record->userData = userData;
    record->threadHandle = CreateThread(nullptr, 0, ThreadStartRoutine, record, CREATE_SUSPENDED, &record->threadId);
    return record->threadHandle != nullptr ? 0 : -1;
}

// ResumeThread: 1 when it was suspended, 0 when it was running, -1 when resuming failed
int ResumeThreadRecord(ThreadRecord *record)
{
    DWORD previousCount = ResumeThread(record->threadHandle);
    if (previousCount == static_cast<DWORD>(-1)) {
        return -1;
    }
    return previousCount != 0 ? 1 : 0;
}

// Suspend the calling thread
void SuspendCurrentThread()
{
    SuspendThread(GetCurrentThread());
}

// Map the level to a thread priority; other levels change nothing
void SetThreadRecordPriority(ThreadRecord *record, unsigned level)
{
    static const int kPriorities[] = {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                      THREAD_PRIORITY_HIGHEST};
    if (level < sizeof(kPriorities) / sizeof(kPriorities[0])) {
        SetThreadPriority(record->threadHandle, kPriorities[level]);
    }
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

// Close the handle and clear it
int CloseThreadRecord(ThreadRecord *record)
{
    int result = CloseHandle(record->threadHandle);
    record->threadHandle = nullptr;
    return result;
}

// Sleep
void SleepMilliseconds(unsigned ms)
{
    Sleep(ms);
}

} // namespace Korvo
