// Asynchronous loading: packed parameters, job order and concurrency, the
// main-thread requests and the pending loads of handles.

#include "core/threads/async_load.h"

#include "core/memory/handle_manager.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"
#include "tests/core/async_queue_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Korvo;

namespace {

using KorvoTest::WaitUntil;

// ---------------------------------------------------------------------------
// Packed parameters
// ---------------------------------------------------------------------------

TEST(AsyncParamsTest, ItemsReadBackInOrderAndMeasuringMatchesWriting)
{
    const unsigned char block[3] = {1, 2, 0xFF};
    auto putAll = [&](void *area, int *offset) {
        PutAsyncParamInt(area, offset, -123456);
        PutAsyncParamBytes(area, offset, block, 3);
        PutAsyncParamString(area, offset, "img/back.png");
        PutAsyncParamString(area, offset, nullptr);
        PutAsyncParamString(area, offset, "");
        PutAsyncParamInt(area, offset, 7);
    };
    int measured = 0;
    putAll(nullptr, &measured);
    EXPECT_EQ(measured, 4 + (2 + 3) + (2 + 13) + 2 + (2 + 1) + 4);

    std::vector<unsigned char> area(static_cast<size_t>(measured));
    int written = 0;
    putAll(area.data(), &written);
    EXPECT_EQ(written, measured);

    int offset = 0;
    EXPECT_EQ(TakeAsyncParamInt(area.data(), &offset), -123456);
    EXPECT_EQ(std::memcmp(TakeAsyncParamBytes(area.data(), &offset), block, 3), 0);
    EXPECT_STREQ(TakeAsyncParamString(area.data(), &offset), "img/back.png");
    EXPECT_EQ(TakeAsyncParamString(area.data(), &offset), nullptr);
    const char *empty = TakeAsyncParamString(area.data(), &offset);
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(TakeAsyncParamInt(area.data(), &offset), 7);
    EXPECT_EQ(offset, measured);
}

TEST(AsyncParamsTest, ItemTooLongForItsLengthWordIsRefused)
{
    std::string text(70000, 'x');
    int offset = 0;
    EXPECT_EQ(PutAsyncParamString(nullptr, &offset, text.c_str()), -1);
    EXPECT_EQ(PutAsyncParamBytes(nullptr, &offset, text.data(), 65534), -1);
    EXPECT_EQ(offset, 0);
    EXPECT_EQ(PutAsyncParamBytes(nullptr, &offset, text.data(), 65533), 0);
    EXPECT_EQ(offset, 65535);
}

// ---------------------------------------------------------------------------
// The queue
// ---------------------------------------------------------------------------

// Jobs of these tests: an id and the shared record of what ran.
struct JobLog {
    std::mutex mutex;
    std::vector<int> ran;
    std::atomic<int> running{0};
    std::atomic<int> mostRunning{0};
    std::atomic<int> gateOpen{0};
};
JobLog *CurrentLog = nullptr;

int RecordingJob(AsyncLoadJob *job)
{
    int offset = 0;
    int id = TakeAsyncParamInt(job->params, &offset);
    int waitForGate = TakeAsyncParamInt(job->params, &offset);
    int now = CurrentLog->running.fetch_add(1) + 1;
    int most = CurrentLog->mostRunning.load();
    while (now > most && !CurrentLog->mostRunning.compare_exchange_weak(most, now)) {
    }
    while (waitForGate && CurrentLog->gateOpen.load() == 0) {
        SleepMilliseconds(1);
    }
    {
        std::lock_guard<std::mutex> guard(CurrentLog->mutex);
        CurrentLog->ran.push_back(id);
    }
    CurrentLog->running.fetch_sub(1);
    return 0;
}

AsyncLoadJob *MakeRecordingJob(int id, int waitForGate)
{
    int size = 0;
    PutAsyncParamInt(nullptr, &size, id);
    PutAsyncParamInt(nullptr, &size, waitForGate);
    AsyncLoadJob *job = AllocAsyncLoadJob(size);
    job->callback = RecordingJob;
    int offset = 0;
    PutAsyncParamInt(job->params, &offset, id);
    PutAsyncParamInt(job->params, &offset, waitForGate);
    return job;
}

class AsyncQueueTest : public KorvoTest::AsyncQueueFixture {
protected:
    JobLog log;

    void StartQueue(int processors)
    {
        CurrentLog = &log;
        AsyncQueueFixture::StartQueue(processors);
    }
    void TearDown() override
    {
        log.gateOpen = 1;
        AsyncQueueFixture::TearDown();
        CurrentLog = nullptr;
    }
    size_t RanCount()
    {
        std::lock_guard<std::mutex> guard(log.mutex);
        return log.ran.size();
    }
};

TEST_F(AsyncQueueTest, RunningLimitIsOneLessThanTheProcessorsButAtLeastOne)
{
    StartQueue(4);
    EXPECT_EQ(GetAsyncRunningLimit(), 3);
    StopAsyncLoadWorkers();
    DeleteAsyncLoadLock();
    StartQueue(1);
    EXPECT_EQ(GetAsyncRunningLimit(), 1);
}

TEST_F(AsyncQueueTest, JobsRunOldestFirstOneAtATimeWithOneProcessor)
{
    StartQueue(1);
    QueueAsyncLoadJob(MakeRecordingJob(0, 1));
    WaitUntil([&] { return log.running.load() == 1; });
    for (int id = 1; id <= 4; ++id) {
        SleepMilliseconds(2); // distinct queue times
        QueueAsyncLoadJob(MakeRecordingJob(id, 0));
    }
    EXPECT_EQ(GetQueuedAsyncJobCount(), 5);
    log.gateOpen = 1;
    WaitUntil([&] { return RanCount() == 5; });
    EXPECT_EQ(log.ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(log.mostRunning.load(), 1);
}

TEST_F(AsyncQueueTest, NoMoreThanTheRunningLimitRunAtOnce)
{
    StartQueue(3); // limit 2
    for (int id = 0; id < 6; ++id) {
        QueueAsyncLoadJob(MakeRecordingJob(id, 1));
    }
    WaitUntil([&] { return log.running.load() == 2; });
    SleepMilliseconds(50);
    EXPECT_EQ(log.running.load(), 2);
    log.gateOpen = 1;
    WaitUntil([&] { return RanCount() == 6; });
    EXPECT_LE(log.mostRunning.load(), 2);
}

TEST_F(AsyncQueueTest, RemovingAnUnstartedJobFreesItAndItNeverRuns)
{
    StartQueue(1);
    QueueAsyncLoadJob(MakeRecordingJob(0, 1));
    WaitUntil([&] { return log.running.load() == 1; });
    AsyncLoadJob *waiting = MakeRecordingJob(1, 0);
    QueueAsyncLoadJob(waiting);
    int slot = waiting->queueSlot;
    EXPECT_EQ(RemoveAsyncLoadJob(0, 1), -2); // the gate job has started
    EXPECT_EQ(RemoveAsyncLoadJob(slot, 1), 0);
    EXPECT_EQ(RemoveAsyncLoadJob(slot, 1), -1);
    log.gateOpen = 1;
    WaitUntil([] { return GetQueuedAsyncJobCount() == 0; });
    EXPECT_EQ(log.ran, (std::vector<int>{0}));
}

// ---------------------------------------------------------------------------
// Main-thread requests
// ---------------------------------------------------------------------------

struct ProbeRequest {
    MainThreadRequest base;
    DWORD ranOnThread;
    int ranInsideRun;
    int lockFreeWhileRunning;
};
std::atomic<int> InsideRunMainThreadRequests{0};
std::atomic<int> RequestJobResult{-100};

int ProbeCallback(MainThreadRequest *request)
{
    ProbeRequest *probe = reinterpret_cast<ProbeRequest *>(request);
    probe->ranOnThread = GetCurrentThreadIdentifier();
    probe->ranInsideRun = InsideRunMainThreadRequests.load();
    // Another thread must be able to take the queue's lock meanwhile: the
    // callback may take a handle kind's lock, which others hold before it.
    std::thread other([] { GetQueuedAsyncJobCount(); });
    other.join();
    probe->lockFreeWhileRunning = 1;
    return 41;
}

ProbeRequest LastProbe;

int RequestingJob(AsyncLoadJob *)
{
    LastProbe = ProbeRequest{};
    LastProbe.base.callback = ProbeCallback;
    RequestJobResult = RequestMainThreadCall(&LastProbe.base) + 1;
    return 0;
}

TEST_F(AsyncQueueTest, RequestRunsOnTheMainThreadInsideRunMainThreadRequestsOnly)
{
    StartQueue(2);
    RequestJobResult = -100;
    AsyncLoadJob *job = AllocAsyncLoadJob(0);
    job->callback = RequestingJob;
    QueueAsyncLoadJob(job);
    std::atomic<int> otherThreadAnswer{0};
    std::thread other([&] { otherThreadAnswer = RunMainThreadRequests(); });
    other.join();
    EXPECT_EQ(otherThreadAnswer.load(), -1);
    while (RequestJobResult.load() == -100) {
        InsideRunMainThreadRequests = 1;
        RunMainThreadRequests();
        InsideRunMainThreadRequests = 0;
        SleepMilliseconds(1);
    }
    EXPECT_EQ(RequestJobResult.load(), 42);
    EXPECT_EQ(LastProbe.ranOnThread, GetCurrentThreadIdentifier());
    EXPECT_EQ(LastProbe.ranInsideRun, 1);
    EXPECT_EQ(LastProbe.lockFreeWhileRunning, 1);
}

// A short job with one main-thread round trip, counting how many run at once.
std::atomic<int> RoundTripsDone{0};

int RoundTripJob(AsyncLoadJob *)
{
    int now = CurrentLog->running.fetch_add(1) + 1;
    int most = CurrentLog->mostRunning.load();
    while (now > most && !CurrentLog->mostRunning.compare_exchange_weak(most, now)) {
    }
    CurrentLog->running.fetch_sub(1);
    MainThreadRequest request = {};
    request.callback = [](MainThreadRequest *) { return 1; };
    int result = RequestMainThreadCall(&request);
    RoundTripsDone.fetch_add(result);
    return 0;
}

// Workers park and hand their places over thousands of times; every wake-up
// must arrive (or the queue stalls) and be counted once (or fewer than the
// limit run afterwards).
TEST_F(AsyncQueueTest, WakeUpsAreNeitherLostNorCountedTwice)
{
    StartQueue(3); // limit 2
    RoundTripsDone = 0;
    const int kJobs = 600;
    for (int i = 0; i < kJobs; ++i) {
        AsyncLoadJob *job = AllocAsyncLoadJob(0);
        job->callback = RoundTripJob;
        QueueAsyncLoadJob(job);
        if (i % 3 == 2) {
            WaitUntil([&] { return RoundTripsDone.load() == i + 1; });
        }
    }
    EXPECT_LE(log.mostRunning.load(), 2);
    for (int id = 0; id < 4; ++id) {
        QueueAsyncLoadJob(MakeRecordingJob(id, 1));
    }
    WaitUntil([&] { return log.running.load() == 2; });
    log.gateOpen = 1;
    WaitUntil([&] { return RanCount() == 4; });
}

// ---------------------------------------------------------------------------
// Pending loads of handles
// ---------------------------------------------------------------------------

constexpr int kTestKind = 30;
std::atomic<int> HandleJobRan{0};
std::atomic<int> HandleJobFinished{0};
std::atomic<HandleValue> HandleOfJob{-1};

// Holds the gate, asks the main thread for a round trip, then releases its load.
int HandleLoadJob(AsyncLoadJob *job)
{
    int offset = 0;
    HandleValue handle = TakeAsyncParamInt(job->params, &offset);
    HandleJobRan = 1;
    while (CurrentLog->gateOpen.load() == 0) {
        SleepMilliseconds(1);
    }
    MainThreadRequest request = {};
    request.callback = [](MainThreadRequest *) { return 5; };
    RequestMainThreadCall(&request);
    HandleJobFinished = 1;
    ReleasePendingLoadJob(handle);
    return 0;
}

AsyncLoadJob *MakeHandleJob(HandleValue handle)
{
    AsyncLoadJob *job = AllocAsyncLoadJob(4);
    job->callback = HandleLoadJob;
    int offset = 0;
    PutAsyncParamInt(job->params, &offset, handle);
    return job;
}

class AsyncHandleTest : public AsyncQueueTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegisterHandleType(kTestKind, sizeof(HandleRecordHeader) + 16, 8, nullptr, nullptr, "test"), 0);
        HandleJobRan = 0;
        HandleJobFinished = 0;
    }
    void TearDown() override
    {
        AsyncQueueTest::TearDown();
        UnregisterHandleType(kTestKind);
    }
};

TEST_F(AsyncHandleTest, DeletingAHandleDropsItsUnstartedJob)
{
    StartQueue(1);
    QueueAsyncLoadJob(MakeRecordingJob(0, 1));
    WaitUntil([&] { return log.running.load() == 1; });
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(QueueAsyncLoadJobForHandle(MakeHandleJob(handle), handle), 0);
    EXPECT_EQ(HasPendingLoadJob(handle), 1);
    EXPECT_EQ(GetQueuedAsyncJobCount(), 2);
    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(GetQueuedAsyncJobCount(), 1);
    log.gateOpen = 1;
    WaitUntil([] { return GetQueuedAsyncJobCount() == 0; });
    EXPECT_EQ(HandleJobRan.load(), 0);
}

TEST_F(AsyncHandleTest, DeletingAHandleWaitsForItsRunningJobAndServesItsRequests)
{
    StartQueue(2);
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    ASSERT_EQ(QueueAsyncLoadJobForHandle(MakeHandleJob(handle), handle), 0);
    WaitUntil([] { return HandleJobRan.load() == 1; });
    log.gateOpen = 1;
    // The job needs a main-thread round trip, which the deletion's wait serves.
    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(HandleJobFinished.load(), 1);
    EXPECT_EQ(LookupHandleRecord(handle), nullptr);
}

TEST_F(AsyncHandleTest, QueueingForAnInvalidHandleFailsAndFreesTheJob)
{
    StartQueue(1);
    EXPECT_EQ(QueueAsyncLoadJobForHandle(MakeHandleJob(-1), -1), -1);
    HandleValue handle = CreateHandleRecord(kTestKind, -1);
    DeleteHandleRecord(handle);
    EXPECT_EQ(QueueAsyncLoadJobForHandle(MakeHandleJob(handle), handle), -1);
    EXPECT_EQ(GetQueuedAsyncJobCount(), 0);
}

} // namespace
