// Asynchronous loading: the job queue, its 32 workers and the main-thread requests.
//
// A loader packs its arguments into an AsyncLoadJob and queues it for its target
// handle (QueueAsyncLoadJobForHandle); a worker runs the job's callback, which
// ends with ReleasePendingLoadJob on the handle. Work that must happen on the
// main thread is handed over as a MainThreadRequest, which the main thread runs
// inside RunMainThreadRequests (message pump, waits, window procedure).
#pragma once

#include "core/memory/handle_manager.h"
#include "core/korvo_types.h"
#include "core/public_api.h" // GetQueuedAsyncJobCount

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kAsyncJobSlotCount = 32768;
constexpr int kAsyncWorkerCount = 32;
constexpr int kMainThreadRequestCapacity = 32768;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct AsyncLoadJob;
// Runs a job on a worker; its result is not used.
typedef int (*AsyncLoadCallback)(AsyncLoadJob *job);

struct AsyncLoadJob {
    int queueSlot;      // set by QueueAsyncLoadJob
    int started;        // 1 once a worker took the job
    uint32_t queueTime; // millisecond clock at queueing
    AsyncLoadCallback callback;
    unsigned char params[4]; // packed parameters; the allocation extends it
};

// Called on a worker where a job passes a checkpoint of its own (stage: the job
// kind's own numbering), for callers that must find jobs at those points. A
// non-zero answer stages a failure there, which the jobs that can fail at that
// point act on; 0 lets the job go on.
typedef int (*AsyncJobCheckpoint)(AsyncLoadJob *job, int stage);

struct MainThreadRequest;
// Runs a request on the main thread; the result goes back to the worker.
typedef int (*MainThreadCallback)(MainThreadRequest *request);

// Built by the worker on its stack; the call's own arguments follow in a larger record.
struct MainThreadRequest {
    MainThreadCallback callback;
    int workerIndex; // filled when queued
    int result;      // 0 when queued, then the callback's result
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Remember the main thread and create the queue's lock; -1 when it exists, else 0
int InitAsyncLoadLock(DWORD mainThreadId);
// Delete the queue's lock; -1 when it does not exist, else 0
int DeleteAsyncLoadLock();
// Set the running limit (processors - 1, at least 1) and create the 32 workers; 0 or -1
int StartAsyncLoadWorkers(int logicalProcessorCount);
// Stop every worker (a running job is finished first; queued jobs stay); 0
int StopAsyncLoadWorkers();
// How many workers may run at once
int GetAsyncRunningLimit();

// A job with room for parameterBytes of packed parameters, or null (logged)
AsyncLoadJob *AllocAsyncLoadJob(int parameterBytes);
// Pack an int at *offset (null area: only measure); 0
int PutAsyncParamInt(void *area, int *offset, int value);
// Pack a block of bytes (null area: only measure); -1 when it is too long for its length word
int PutAsyncParamBytes(void *area, int *offset, const void *data, int size);
// Pack a text or null (null area: only measure); -1 when it is too long for its length word
int PutAsyncParamString(void *area, int *offset, const char *text);
// Unpack an int
int TakeAsyncParamInt(const void *area, int *offset);
// Unpack a block: a pointer to its bytes inside the area
const void *TakeAsyncParamBytes(const void *area, int *offset);
// Unpack a text: a pointer inside the area, or null for a packed null
const char *TakeAsyncParamString(const void *area, int *offset);

// Queue a job (the queue owns it from now on); 0. All slots taken is fatal.
int QueueAsyncLoadJob(AsyncLoadJob *job);
// Queue a job that loads into a handle: the handle's pending-load count and job
// slot are set under the kind's lock together with the queueing; 0, or -1 (job freed)
int QueueAsyncLoadJobForHandle(AsyncLoadJob *job, HandleValue handle);
// The same for a job that loads into several handles of first's kind (first and
// the moreCount handles of more): each counts the job and records its slot; 0, or
// -1 (job freed, nothing counted). A full queue is fatal, raised with the kind's
// lock free.
int QueueAsyncLoadJobForHandles(AsyncLoadJob *job, HandleValue first, const HandleValue *more, int moreCount);
// The queue slot of the job the calling worker runs, or -1 (no job, or not a worker)
int GetCallingWorkerJobSlot();
// Remove a job: -1 slot empty, -2 started (with onlyIfNotStarted), else freed and 0
int RemoveAsyncLoadJob(int jobSlot, int onlyIfNotStarted);
// 1 while a job (started or not) holds the queue slot, else 0
int IsAsyncJobQueued(int jobSlot);
// Wake one sleeping worker when fewer than running limit + extraAllowance run; 0
int WakeAsyncWorker(int extraAllowance);
// The handler every job's checkpoints call (what the main thread does meanwhile,
// staged by a test); null, the default, for none. Set before the jobs are queued.
void SetAsyncJobCheckpoint(AsyncJobCheckpoint checkpoint);
// On a worker: call the checkpoint handler, if any; its answer (0 without one)
int PassAsyncJobCheckpoint(AsyncLoadJob *job, int stage);

// From a worker: run the request on the main thread and return its result
int RequestMainThreadCall(MainThreadRequest *request);
// On the main thread: run queued requests for about 2 ms (at least one); 0, -1 on other threads
int RunMainThreadRequests();
// On the main thread: run the requests until no job is queued or running; 0
int FinishQueuedAsyncJobs();
// How many requests wait for the main thread now
int GetQueuedMainThreadRequestCount();

} // namespace Korvo
