// Deleting records whose background load is queued or running: a job shared by
// several records (as a divided graph's pieces and its whole sheet), a job that
// deletes records it loads, and the deletion of a whole kind, with stand-in jobs
// on a stand-in kind and one running place, so queued jobs wait their turn.

#include "core/memory/handle_manager.h"
#include "core/threads/async_load.h"
#include "core/threads/section_lock.h"
#include "tests/core/async_queue_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <ostream>

using namespace Korvo;

namespace {

using KorvoTest::WaitUntil;

constexpr int kStandInKind = 29;
constexpr int kRecords = 8;
constexpr int kJobs = 3;
constexpr int kNotYet = -100;

struct StandInRecord {
    HandleRecordHeader header;
    int loadedBy; // the loading job's id + 1
};

// The test's records, and the variables bound to them: -1 once their deletion begins.
HandleValue Records[kRecords];
int Owners[kRecords];

// What a stand-in job did. Relaxed on purpose: these signals order nothing, so
// the records pass between the threads only through the library's own locks,
// and one missing there is a race ThreadSanitizer reports.
struct JobTrace {
    std::atomic<int> started{0};
    std::atomic<int> gatesReached{0};
    std::atomic<int> ownDeletionResult{kNotYet};
    std::atomic<int> recordsMissing{0};
};
JobTrace Jobs[kJobs];

int Seen(const std::atomic<int> &value)
{
    return value.load(std::memory_order_relaxed);
}

// Waits touching no lock (these jobs need no main-thread requests), for the same
// reason: what a job did before is ordered only by what the library locked.
void WaitFor(const std::atomic<int> &value, int wanted)
{
    while (Seen(value) != wanted) {
        SleepMilliseconds(1);
    }
}

// Holds the job until the deletion of the record has begun (none: -1); the
// library writes the variable under the kind's lock.
void WaitForDeletionToBegin(JobTrace &trace, int index)
{
    if (index < 0) {
        return;
    }
    trace.gatesReached.fetch_add(1, std::memory_order_relaxed);
    for (;;) {
        AcquireSectionLock(&HandleTypeTable[kStandInKind].lock);
        int owner = Owners[index];
        ReleaseSectionLock(&HandleTypeTable[kStandInKind].lock);
        if (owner == -1) {
            return;
        }
        SleepMilliseconds(1);
    }
}

// How a stand-in job runs: held at its first gate, deleting its first record
// itself (as a divided load does its whole sheet) if told, held at its second
// gate, then loading and releasing its other records. A gate is a record whose
// deletion must have begun, or -1 for none.
struct JobPlan {
    int first;
    int count;
    bool deletesFirst;
    int gates[2];
};

int StandInLoadJob(AsyncLoadJob *job)
{
    int offset = 0;
    const int id = TakeAsyncParamInt(job->params, &offset);
    JobPlan plan; // packed items are not aligned
    std::memcpy(&plan, TakeAsyncParamBytes(job->params, &offset), sizeof(plan));
    JobTrace &trace = Jobs[id];
    trace.started.store(1, std::memory_order_relaxed);
    WaitForDeletionToBegin(trace, plan.gates[0]);
    if (plan.deletesFirst) {
        trace.ownDeletionResult.store(DeleteHandleRecord(Records[plan.first]), std::memory_order_relaxed);
    }
    WaitForDeletionToBegin(trace, plan.gates[1]);
    for (int i = plan.first + (plan.deletesFirst ? 1 : 0); i < plan.first + plan.count; ++i) {
        StandInRecord *record = static_cast<StandInRecord *>(LookupHandleRecord(Records[i]));
        if (record == nullptr) {
            trace.recordsMissing.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        record->loadedBy = id + 1;
        ReleasePendingLoadJob(Records[i]);
    }
    return 0;
}

// Queues job id for the plan's records (a job with none holds only its running place); 0 or -1
int QueueStandInJob(int id, const JobPlan &plan)
{
    int size = 0;
    PutAsyncParamInt(nullptr, &size, id);
    PutAsyncParamBytes(nullptr, &size, &plan, sizeof(plan));
    AsyncLoadJob *job = AllocAsyncLoadJob(size);
    if (job == nullptr) {
        return -1;
    }
    job->callback = StandInLoadJob;
    int offset = 0;
    PutAsyncParamInt(job->params, &offset, id);
    PutAsyncParamBytes(job->params, &offset, &plan, sizeof(plan));
    if (plan.count == 0) {
        return QueueAsyncLoadJob(job);
    }
    return QueueAsyncLoadJobForHandles(job, Records[plan.first], Records + plan.first + 1, plan.count - 1);
}

class PendingLoadDeletionTest : public KorvoTest::AsyncQueueFixture {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegisterHandleType(kStandInKind, sizeof(StandInRecord), kRecords, nullptr, nullptr, "代役"), 0);
        for (int i = 0; i < kRecords; ++i) {
            Records[i] = CreateHandleRecord(kStandInKind, -1);
            Owners[i] = Records[i];
            BindHandleOwnerVariable(Records[i], &Owners[i]);
        }
        for (JobTrace &trace : Jobs) {
            trace.started = 0;
            trace.gatesReached = 0;
            trace.ownDeletionResult = kNotYet;
            trace.recordsMissing = 0;
        }
        StartQueue(1); // one running place
    }
    void TearDown() override
    {
        DeleteHandlesOfType(kStandInKind, nullptr); // also lets every held job go on
        AsyncQueueFixture::TearDown();
        UnregisterHandleType(kStandInKind);
    }
};

// Records 0-3 share one job, which deletes record 0 itself.
struct SharedJobCase {
    const char *name;
    int placeHolder;     // a job with no records holding the one running place until the deletion, or -1
    JobPlan sharedJob;
    int deleted; // whose deletion returns 0, also when the job deleted it while the deletion waited
};

const SharedJobCase kSharedJobCases[] = {
    {"PieceBeforeTheJobStarts", 2, {0, 4, true, {-1, -1}}, 2},
    // The job deletes record 0 as soon as it starts: its job slot is already set.
    {"PieceWhileTheJobRuns", -1, {0, 4, true, {-1, 2}}, 2},
    {"RecordTheJobDeletesItselfWhileItRuns", -1, {0, 4, true, {0, -1}}, 0},
};

void PrintTo(const SharedJobCase &c, std::ostream *out)
{
    *out << c.name;
}

class SharedLoadJobDeletionTest : public PendingLoadDeletionTest,
                                  public ::testing::WithParamInterface<SharedJobCase> {};

TEST_P(SharedLoadJobDeletionTest, TheOtherRecordsLoadAndNoneIsFreedUnderTheJob)
{
    const SharedJobCase &c = GetParam();
    JobTrace &holding = Jobs[c.placeHolder >= 0 ? 1 : 0];
    if (c.placeHolder >= 0) {
        ASSERT_EQ(QueueStandInJob(1, {0, 0, false, {c.placeHolder, -1}}), 0);
        WaitFor(Jobs[1].started, 1); // jobs queued in the same millisecond start newest first
    }
    ASSERT_EQ(QueueStandInJob(0, c.sharedJob), 0);
    WaitFor(holding.gatesReached, 1);
    EXPECT_EQ(DeleteHandleRecord(Records[c.deleted]), 0);
    WaitUntil([] { return GetQueuedAsyncJobCount() == 0; });
    EXPECT_EQ(Seen(Jobs[0].ownDeletionResult), 0);
    EXPECT_EQ(Seen(Jobs[0].recordsMissing), 0);
    for (int i = 0; i < 4; ++i) {
        const bool gone = i == 0 || i == c.deleted;
        ASSERT_EQ(LookupHandleRecord(Records[i]) == nullptr, gone) << i;
        if (!gone) {
            EXPECT_EQ(HasPendingLoadJob(Records[i]), 0) << i;
            EXPECT_EQ(static_cast<StandInRecord *>(LookupHandleRecord(Records[i]))->loadedBy, 1) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedLoadJobDeletionTest, ::testing::ValuesIn(kSharedJobCases),
                         [](const ::testing::TestParamInfo<SharedJobCase> &info) { return info.param.name; });

// Records 0-2 share the running job, which deletes record 0 once all jobs are
// queued (record 7's deletion has begun) and goes on once record 1's deletion
// has; 3-4 share a queued job, 5 has one of its own, 6 none.
TEST_F(PendingLoadDeletionTest, DeletingAKindDropsQueuedJobsAndWaitsForTheRunningOne)
{
    ASSERT_EQ(QueueStandInJob(0, {0, 3, true, {7, 1}}), 0);
    WaitFor(Jobs[0].started, 1);
    ASSERT_EQ(QueueStandInJob(1, {3, 2, false, {-1, -1}}), 0);
    ASSERT_EQ(QueueStandInJob(2, {5, 1, false, {-1, -1}}), 0);
    EXPECT_EQ(DeleteHandleRecord(Records[7]), 0);
    WaitFor(Jobs[0].gatesReached, 2);
    EXPECT_EQ(DeleteHandlesOfType(kStandInKind, nullptr), 0);
    EXPECT_EQ(HandleTypeTable[kStandInKind].liveCount, 0);
    WaitUntil([] { return GetQueuedAsyncJobCount() == 0; });
    EXPECT_EQ(Seen(Jobs[0].ownDeletionResult), 0);
    EXPECT_EQ(Seen(Jobs[0].recordsMissing), 0);
    EXPECT_EQ(Seen(Jobs[1].started), 0);
    EXPECT_EQ(Seen(Jobs[2].started), 0);
}

} // namespace
