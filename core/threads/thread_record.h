// Library threads.
//
// Every thread the library starts begins suspended and runs only once its owner
// has finished filling the record and calls ResumeThreadRecord. The host build
// has the same calls over POSIX threads (core/host/thread_record.cpp), so that
// portable code that starts threads (the asynchronous-load workers) runs in
// native tests.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

struct ThreadRecord;

// What a library thread runs: its record and the record's user data.
typedef void (*ThreadRoutine)(ThreadRecord *record, int userData);

// One library thread, owned by the caller.
struct ThreadRecord {
    ThreadRoutine routine;
    int userData;
    int reserved;        // not used by the wrappers
    HANDLE threadHandle; // null when closed
    DWORD threadId;
};

// Create the thread suspended; 0, or -1 when the thread cannot be created
int CreateThreadRecord(ThreadRecord *record, ThreadRoutine routine, int userData);
// Start or continue the thread: 1 when it had been suspended, 0 when it was running, -1 on failure
int ResumeThreadRecord(ThreadRecord *record);
// Suspend the calling thread until another thread resumes it
void SuspendCurrentThread();
// Set the priority: 0 lowest, 1 below normal, 2 normal, 3 highest; other levels change nothing
void SetThreadRecordPriority(ThreadRecord *record, unsigned level);
// The thread's id
DWORD GetThreadRecordId(const ThreadRecord *record);
// 1 when the record holds a thread handle
int HasThreadHandle(const ThreadRecord *record);
// Close the thread handle and clear it; the result of closing it
int CloseThreadRecord(ThreadRecord *record);
// Sleep the calling thread for ms milliseconds (0 gives up the time slice)
void SleepMilliseconds(unsigned ms);

} // namespace Korvo
