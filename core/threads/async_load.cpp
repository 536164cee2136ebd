// Asynchronous loading: the job queue, its workers and the main-thread requests.
//
// One lock guards the queue, the worker slots, the counts and the request list.
// Job and request callbacks always run outside it: a request may create or
// delete handles, which takes a kind's lock, and the kinds take this lock after
// their own.
//
// Workers park on an event of their own and are woken by signalling it; at most
// "running limit" of them are awake. The event keeps a signal that comes before
// the worker has parked, so a waker never waits for the worker nor retries, and
// holds the lock only for the signal. A worker waiting for the main thread gives
// up its place until its request has run.

#include "core/threads/async_load.h"

#include "core/threads/clock.h"
#include "core/log/error_log.h"
#include "core/log/fatal_error.h"
#include "core/threads/section_lock.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"
#include "core/memory/tracked_alloc.h"

#include <cstddef>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Spare bytes after the packed parameters.
constexpr int kJobSpareBytes = 4;
// Time the main thread spends on requests per call before it stops (ms).
constexpr uint32_t kRequestBudgetMs = 2;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct AsyncWorkerSlot {
    ThreadRecord thread;
    HANDLE wakeEvent; // signalled once per wake-up; the worker resets it on waking
    int exited;
    int runningJob;
    int waitingForMainThread;
    int asleep;
    uint32_t sleepTime;
    AsyncLoadJob *currentJob;
};

struct AsyncLoadQueue {
    AsyncLoadJob *slots[kAsyncJobSlotCount];
    int queuedCount;
    int highWaterMark; // one past the highest slot used since the queue last emptied;
                       // written under the lock, read by idle workers without it
    CRITICAL_SECTION lock;
    int lockCreated;
    DWORD mainThreadId;
    AsyncWorkerSlot workers[kAsyncWorkerCount];
    int threadCount;
    int processorCount;
    int runningLimit;
    int runningCount;
    int stopRequested;
    MainThreadRequest *requests[kMainThreadRequestCapacity]; // ring, oldest at requestHead
    int requestHead;
    int requestCount;
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static AsyncLoadQueue Queue;
// Set on the main thread before the jobs it is to see are queued.
static AsyncJobCheckpoint JobCheckpoint = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t NowMs()
{
    return static_cast<uint32_t>(GetMillisecondClock());
}

static void LockQueue()
{
    AcquireSectionLock(&Queue.lock);
}

static void UnlockQueue()
{
    ReleaseSectionLock(&Queue.lock);
}

// Under the lock.
static void SetHighWaterMark(int mark)
{
    __atomic_store_n(&Queue.highWaterMark, mark, __ATOMIC_RELEASE);
}

// Outside the lock: sleep until a waker signals, then take the signal.
static void ParkWorker(AsyncWorkerSlot &worker)
{
    WaitForManualResetEvent(worker.wakeEvent);
    ResetManualResetEvent(worker.wakeEvent);
}

// The worker whose current job was queued first among those that went to
// sleep in the middle of a job; -1 when none.
static int PickWorkerAsleepInJob()
{
    int chosen = -1;
    for (int i = 0; i < Queue.threadCount; ++i) {
        const AsyncWorkerSlot &w = Queue.workers[i];
        if (w.exited || !w.asleep || !w.runningJob || w.waitingForMainThread || w.currentJob == nullptr) {
            continue;
        }
        if (chosen < 0 || w.currentJob->queueTime < Queue.workers[chosen].currentJob->queueTime) {
            chosen = i;
        }
    }
    return chosen;
}

// The idle worker that went to sleep first; -1 when none.
static int PickLongestSleepingWorker()
{
    int chosen = -1;
    for (int i = 0; i < Queue.threadCount; ++i) {
        const AsyncWorkerSlot &w = Queue.workers[i];
        if (w.exited || !w.asleep || w.waitingForMainThread) {
            continue;
        }
        if (chosen < 0 || w.sleepTime < Queue.workers[chosen].sleepTime) {
            chosen = i;
        }
    }
    return chosen;
}

// Under the lock: the unstarted job queued first (the later slot on equal times), or -1.
static int PickOldestUnstartedJob()
{
    int chosen = -1;
    for (int slot = 0; slot < Queue.highWaterMark; ++slot) {
        AsyncLoadJob *job = Queue.slots[slot];
        if (job == nullptr || job->started) {
            continue;
        }
        if (chosen < 0 || job->queueTime <= Queue.slots[chosen]->queueTime) {
            chosen = slot;
        }
    }
    return chosen;
}

// Under the lock: mark the worker asleep and leave its place to others.
static void MarkWorkerAsleep(AsyncWorkerSlot &worker)
{
    worker.asleep = 1;
    worker.sleepTime = NowMs();
    Queue.runningCount -= 1;
}

// The body of every worker thread.
static void AsyncWorkerLoop(ThreadRecord *record, int workerIndex)
{
    (void)record;
    AsyncWorkerSlot &worker = Queue.workers[workerIndex];
    // Workers start asleep.
    ParkWorker(worker);
    for (;;) {
        if (__atomic_load_n(&Queue.stopRequested, __ATOMIC_ACQUIRE)) {
            LockQueue();
            worker.exited = 1;
            Queue.runningCount -= 1;
            UnlockQueue();
            return;
        }
        if (__atomic_load_n(&Queue.highWaterMark, __ATOMIC_ACQUIRE) != 0) {
            LockQueue();
            int slot = PickOldestUnstartedJob();
            if (slot >= 0) {
                AsyncLoadJob *job = Queue.slots[slot];
                job->started = 1;
                worker.runningJob = 1;
                worker.currentJob = job;
                UnlockQueue();
                job->callback(job);
                LockQueue();
                RemoveAsyncLoadJob(slot, 0);
                worker.runningJob = 0;
                worker.currentJob = nullptr;
                UnlockQueue();
                continue;
            }
            UnlockQueue();
            WakeAsyncWorker(1);
        }
        LockQueue();
        MarkWorkerAsleep(worker);
        UnlockQueue();
        ParkWorker(worker);
    }
}

// The calling worker's index, or -1 on any other thread.
static int FindCallingWorker()
{
    DWORD me = GetCurrentThreadIdentifier();
    for (int i = 0; i < Queue.threadCount; ++i) {
        if (Queue.workers[i].thread.threadHandle != nullptr && Queue.workers[i].thread.threadId == me) {
            return i;
        }
    }
    return -1;
}

// Under the lock: the oldest request, taken off the list.
static MainThreadRequest *TakeOldestRequest()
{
    MainThreadRequest *request = Queue.requests[Queue.requestHead];
    Queue.requests[Queue.requestHead] = nullptr;
    Queue.requestHead = (Queue.requestHead + 1) % kMainThreadRequestCapacity;
    Queue.requestCount -= 1;
    return request;
}

// A count of the queue as it stands (0 before the queue exists).
static int ReadCountUnderLock(const int &count)
{
    if (!Queue.lockCreated) {
        return 0;
    }
    LockQueue();
    int value = count;
    UnlockQueue();
    return value;
}

// Under the lock: wake workers until the target number runs.
static void KeepWorkersBusy()
{
    int target = Queue.runningLimit > 1 ? Queue.runningLimit - 1 : 1;
    if (target > Queue.queuedCount) {
        target = Queue.queuedCount;
    }
    for (int missing = target - Queue.runningCount; Queue.queuedCount > 0 && missing > 0; --missing) {
        WakeAsyncWorker(0);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Reset the queue, remember the main thread and create the lock
int InitAsyncLoadLock(DWORD mainThreadId)
{
    if (Queue.lockCreated) {
        return -1;
    }
    for (AsyncLoadJob *&slot : Queue.slots) {
        slot = nullptr;
    }
    for (AsyncWorkerSlot &worker : Queue.workers) {
        worker = AsyncWorkerSlot{};
    }
    for (MainThreadRequest *&request : Queue.requests) {
        request = nullptr;
    }
    Queue.queuedCount = 0;
    SetHighWaterMark(0);
    Queue.threadCount = 0;
    Queue.processorCount = 1;
    Queue.runningLimit = 1;
    Queue.runningCount = 0;
    Queue.stopRequested = 0;
    Queue.requestHead = 0;
    Queue.requestCount = 0;
    Queue.mainThreadId = mainThreadId;
    InitSectionLock(&Queue.lock);
    Queue.lockCreated = 1;
    return 0;
}

// Delete the lock
int DeleteAsyncLoadLock()
{
    if (!Queue.lockCreated) {
        return -1;
    }
    Queue.lockCreated = 0;
    DeleteSectionLock(&Queue.lock);
    return 0;
}

// Create the 32 workers, all asleep
int StartAsyncLoadWorkers(int logicalProcessorCount)
{
    Queue.threadCount = kAsyncWorkerCount;
    Queue.processorCount = logicalProcessorCount;
    Queue.runningLimit = logicalProcessorCount - 1 < 1 ? 1 : logicalProcessorCount - 1;
    Queue.runningCount = 0;
    Queue.stopRequested = 0;
    for (int i = 0; i < kAsyncWorkerCount; ++i) {
        AsyncWorkerSlot &worker = Queue.workers[i];
        worker = AsyncWorkerSlot{};
        worker.wakeEvent = CreateManualResetEvent();
        if (worker.wakeEvent == nullptr || CreateThreadRecord(&worker.thread, AsyncWorkerLoop, i) != 0) {
            worker.thread.threadHandle = nullptr;
            return -1;
        }
        SetThreadRecordPriority(&worker.thread, 0);
        worker.asleep = 1;
        worker.sleepTime = NowMs();
        // It parks on its event at once; a wake-up may already wait there.
        ResumeThreadRecord(&worker.thread);
    }
    SleepMilliseconds(16);
    return 0;
}

// Stop every worker, serving its main-thread requests until it has left
int StopAsyncLoadWorkers()
{
    if (!Queue.lockCreated) {
        return 0;
    }
    __atomic_store_n(&Queue.stopRequested, 1, __ATOMIC_RELEASE);
    for (int i = 0; i < Queue.threadCount; ++i) {
        AsyncWorkerSlot &worker = Queue.workers[i];
        if (!HasThreadHandle(&worker.thread)) {
            continue;
        }
        for (;;) {
            LockQueue();
            int exited = worker.exited;
            int running = Queue.runningCount;
            UnlockQueue();
            if (exited) {
                break;
            }
            RunMainThreadRequests();
            if (running == 0) {
                WakeAsyncWorker(0);
            }
            SleepMilliseconds(1);
        }
        // Workers still at a job look through every worker's thread under the lock
        // (which worker is calling), so the record is cleared under it too.
        LockQueue();
        CloseThreadRecord(&worker.thread);
        UnlockQueue();
    }
    for (int i = 0; i < Queue.threadCount; ++i) {
        CloseManualResetEvent(Queue.workers[i].wakeEvent);
        Queue.workers[i].wakeEvent = nullptr;
    }
    return 0;
}

// The running limit
int GetAsyncRunningLimit()
{
    return Queue.runningLimit;
}

// A zero-filled job with room for the parameters and 4 spare bytes
AsyncLoadJob *AllocAsyncLoadJob(int parameterBytes)
{
    int total = static_cast<int>(offsetof(AsyncLoadJob, params)) + parameterBytes + kJobSpareBytes;
    void *memory = parameterBytes < 0 ? nullptr : TrackedAllocZeroed(static_cast<size_t>(total), nullptr, 0);
    if (memory == nullptr) {
        AppendLogLineFormat("非同期読み込みデータを格納するメモリ領域 %dByte の確保に失敗しました", total);
        return nullptr;
    }
    return static_cast<AsyncLoadJob *>(memory);
}

// Under the lock: put the job at the high-water mark (or the first free slot
// once the mark is at the end); -1, nothing changed, when every slot is taken.
static int PlaceQueuedJob(AsyncLoadJob *job)
{
    if (Queue.queuedCount >= kAsyncJobSlotCount) {
        return -1;
    }
    int slot = Queue.highWaterMark;
    if (slot >= kAsyncJobSlotCount) {
        slot = 0;
        while (Queue.slots[slot] != nullptr) {
            ++slot;
        }
    }
    job->queueSlot = slot;
    job->started = 0;
    job->queueTime = NowMs();
    if (slot == Queue.highWaterMark) {
        SetHighWaterMark(slot + 1);
    }
    Queue.slots[slot] = job;
    Queue.queuedCount += 1;
    WakeAsyncWorker(0);
    return 0;
}

[[noreturn]] static void AbortOnFullQueue()
{
    AbortWithFatalError("非同期読み込みデータの数が許容量を越えました終了します");
}

// Queue the job; a full queue ends the program
int QueueAsyncLoadJob(AsyncLoadJob *job)
{
    LockQueue();
    int placed = PlaceQueuedJob(job);
    UnlockQueue();
    if (placed != 0) {
        AbortOnFullQueue();
    }
    return 0;
}

// Queue the job and count it on the handle in one step under the kind's lock
int QueueAsyncLoadJobForHandle(AsyncLoadJob *job, HandleValue handle)
{
    return QueueAsyncLoadJobForHandles(job, handle, nullptr, 0);
}

// Queue the job and count it on every handle in one step under the kind's lock
int QueueAsyncLoadJobForHandles(AsyncLoadJob *job, HandleValue first, const HandleValue *more, int moreCount)
{
    if (first < 0 || HandleTypeTable[HandleKindOf(first)].registered == 0) {
        TrackedFree(job);
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[HandleKindOf(first)];
    AcquireSectionLock(&entry.lock);
    bool valid = LookupHandleRecord(first) != nullptr;
    for (int i = 0; valid && i < moreCount; ++i) {
        valid = HandleKindOf(more[i]) == HandleKindOf(first) && LookupHandleRecord(more[i]) != nullptr;
    }
    if (!valid) {
        ReleaseSectionLock(&entry.lock);
        TrackedFree(job);
        return -1;
    }
    // The counts go up before the job can run, so neither a deletion nor the
    // job's own release can see a record without it; the slot follows under the
    // same lock, before anyone may look at it.
    AttachPendingLoadJob(first, -1);
    for (int i = 0; i < moreCount; ++i) {
        AttachPendingLoadJob(more[i], -1);
    }
    LockQueue();
    int placed = PlaceQueuedJob(job);
    UnlockQueue();
    if (placed != 0) {
        // The fatal exit's shut-down waits for this kind's running jobs, which
        // take the kind's lock to end: it is raised with the lock free.
        ReleasePendingLoadJob(first);
        for (int i = 0; i < moreCount; ++i) {
            ReleasePendingLoadJob(more[i]);
        }
        ReleaseSectionLock(&entry.lock);
        TrackedFree(job);
        AbortOnFullQueue();
    }
    static_cast<HandleRecordHeader *>(LookupHandleRecord(first))->loadJobSlot = job->queueSlot;
    for (int i = 0; i < moreCount; ++i) {
        static_cast<HandleRecordHeader *>(LookupHandleRecord(more[i]))->loadJobSlot = job->queueSlot;
    }
    ReleaseSectionLock(&entry.lock);
    return 0;
}

// Remove and free a job, lowering the high-water mark past empty slots
int RemoveAsyncLoadJob(int jobSlot, int onlyIfNotStarted)
{
    if (!Queue.lockCreated || jobSlot < 0 || jobSlot >= kAsyncJobSlotCount) {
        return -1;
    }
    LockQueue();
    AsyncLoadJob *job = Queue.slots[jobSlot];
    if (job == nullptr) {
        UnlockQueue();
        return -1;
    }
    if (onlyIfNotStarted && job->started) {
        UnlockQueue();
        return -2;
    }
    Queue.queuedCount -= 1;
    Queue.slots[jobSlot] = nullptr;
    if (jobSlot == Queue.highWaterMark - 1) {
        int mark = Queue.highWaterMark;
        if (Queue.queuedCount == 0) {
            mark = 0;
        } else {
            while (mark > 0 && Queue.slots[mark - 1] == nullptr) {
                mark -= 1;
            }
        }
        SetHighWaterMark(mark);
    }
    TrackedFree(job);
    UnlockQueue();
    return 0;
}

// Whether the slot holds a job, under the lock
int IsAsyncJobQueued(int jobSlot)
{
    if (!Queue.lockCreated || jobSlot < 0 || jobSlot >= kAsyncJobSlotCount) {
        return 0;
    }
    LockQueue();
    int queued = Queue.slots[jobSlot] != nullptr ? 1 : 0;
    UnlockQueue();
    return queued;
}

// The queued count under the lock
int GetQueuedAsyncJobCount()
{
    return ReadCountUnderLock(Queue.queuedCount);
}

// Wake one sleeping worker: first one that slept in the middle of a job, else the longest sleeper
int WakeAsyncWorker(int extraAllowance)
{
    if (!Queue.lockCreated) {
        return 0;
    }
    LockQueue();
    if (Queue.runningCount >= Queue.runningLimit + extraAllowance) {
        UnlockQueue();
        return 0;
    }
    int chosen = PickWorkerAsleepInJob();
    if (chosen < 0) {
        chosen = PickLongestSleepingWorker();
    }
    if (chosen >= 0) {
        // Whether or not the worker has parked yet, the signal waits for it.
        Queue.workers[chosen].asleep = 0;
        Queue.runningCount += 1;
        SignalManualResetEvent(Queue.workers[chosen].wakeEvent);
    }
    UnlockQueue();
    return 0;
}

// Queue the request, give up the worker's place and sleep until the main thread ran it
int RequestMainThreadCall(MainThreadRequest *request)
{
    LockQueue();
    if (Queue.requestCount >= kMainThreadRequestCapacity) {
        UnlockQueue();
        AbortWithFatalError("非同期読み込みスレッドからメインスレッドへの処理依頼数が許容量を越えました終了します");
    }
    int workerIndex = FindCallingWorker();
    if (workerIndex < 0) {
        UnlockQueue();
        AbortWithFatalError("非同期読み込みスレッド以外からメインスレッドへの処理依頼が行われました");
    }
    AsyncWorkerSlot &worker = Queue.workers[workerIndex];
    request->result = 0;
    request->workerIndex = workerIndex;
    Queue.requests[(Queue.requestHead + Queue.requestCount) % kMainThreadRequestCapacity] = request;
    Queue.requestCount += 1;
    worker.waitingForMainThread = 1;
    WakeAsyncWorker(1);
    MarkWorkerAsleep(worker);
    UnlockQueue();
    ParkWorker(worker);
    return request->result;
}

// Run queued requests oldest first for about 2 ms, each outside the lock; then keep workers busy
int RunMainThreadRequests()
{
    if (!Queue.lockCreated) {
        return 0;
    }
    if (GetCurrentThreadIdentifier() != Queue.mainThreadId) {
        return -1;
    }
    LockQueue();
    if (Queue.requestCount > 0) {
        const uint32_t start = NowMs();
        const int total = Queue.requestCount;
        for (int ran = 0; ran < total && Queue.requestCount > 0; ++ran) {
            if (ran > 0 && NowMs() - start > kRequestBudgetMs) {
                break;
            }
            MainThreadRequest *request = TakeOldestRequest();
            UnlockQueue();
            int result = request->callback(request);
            LockQueue();
            request->result = result;
            Queue.workers[request->workerIndex].waitingForMainThread = 0;
            WakeAsyncWorker(0);
        }
    }
    KeepWorkersBusy();
    UnlockQueue();
    return 0;
}

// The calling worker's current job's slot, under the lock
int GetCallingWorkerJobSlot()
{
    if (!Queue.lockCreated) {
        return -1;
    }
    LockQueue();
    int worker = FindCallingWorker();
    const AsyncLoadJob *job = worker >= 0 ? Queue.workers[worker].currentJob : nullptr;
    int slot = job != nullptr ? job->queueSlot : -1;
    UnlockQueue();
    return slot;
}

// The request count under the lock
int GetQueuedMainThreadRequestCount()
{
    return ReadCountUnderLock(Queue.requestCount);
}

void SetAsyncJobCheckpoint(AsyncJobCheckpoint checkpoint)
{
    JobCheckpoint = checkpoint;
}

int PassAsyncJobCheckpoint(AsyncLoadJob *job, int stage)
{
    return JobCheckpoint != nullptr ? JobCheckpoint(job, stage) : 0;
}

// Serve the jobs' requests until the queue is empty: a job may need the main
// thread several times before it ends. With one processor the workers get time
// to run between the rounds.
int FinishQueuedAsyncJobs()
{
    while (GetQueuedAsyncJobCount() > 0) {
        RunMainThreadRequests();
        SleepMilliseconds(Queue.processorCount > 1 ? 0 : 2);
    }
    return 0;
}

} // namespace Korvo
