// Library threads and section locks under Windows.

#include "core/threads/section_lock.h"
#include "core/threads/thread_record.h"
#include "tests/support/wait_backstop.h"

#include <windows.h>

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

volatile LONG RoutineRuns = 0;
volatile LONG SeenUserData = 0;

void CountingRoutine(ThreadRecord *, int userData)
{
    InterlockedExchange(&SeenUserData, userData);
    InterlockedIncrement(&RoutineRuns);
}

bool WaitForRuns(LONG wanted)
{
    KorvoTest::Backstop backstop("the thread's routine", KorvoTest::kWaitBackstopSeconds);
    while (RoutineRuns < wanted && !backstop.Passed()) {
        Sleep(2);
    }
    EXPECT_GE(RoutineRuns, wanted) << backstop.Report();
    return RoutineRuns >= wanted;
}

// A thread's end, within the backstop.
void ExpectThreadEnds(HANDLE thread)
{
    EXPECT_EQ(WaitForSingleObject(thread, KorvoTest::kWaitBackstopSeconds * 1000), WAIT_OBJECT_0)
        << "the thread did not end within the backstop of " << KorvoTest::kWaitBackstopSeconds << " s";
}

TEST(ThreadRecordTest, ThreadRunsOnlyAfterItIsResumed)
{
    RoutineRuns = 0;
    ThreadRecord record = {};
    ASSERT_EQ(CreateThreadRecord(&record, CountingRoutine, 77), 0);
    EXPECT_EQ(HasThreadHandle(&record), 1);
    EXPECT_NE(GetThreadRecordId(&record), 0u);
    SetThreadRecordPriority(&record, 1);
    EXPECT_EQ(GetThreadPriority(record.threadHandle), THREAD_PRIORITY_BELOW_NORMAL);
    SetThreadRecordPriority(&record, 4);
    EXPECT_EQ(GetThreadPriority(record.threadHandle), THREAD_PRIORITY_BELOW_NORMAL);

    Sleep(50);
    EXPECT_EQ(RoutineRuns, 0);
    EXPECT_EQ(ResumeThreadRecord(&record), 1);
    ASSERT_TRUE(WaitForRuns(1));
    EXPECT_EQ(SeenUserData, 77);
    ExpectThreadEnds(record.threadHandle);
    EXPECT_NE(CloseThreadRecord(&record), 0);
    EXPECT_EQ(HasThreadHandle(&record), 0);
}

TEST(ThreadRecordTest, FailedResumeIsReported)
{
    ThreadRecord record = {};
    record.threadHandle = nullptr;
    EXPECT_EQ(ResumeThreadRecord(&record), -1);
}

void ParkingRoutine(ThreadRecord *, int)
{
    InterlockedIncrement(&RoutineRuns);
    SuspendCurrentThread();
    InterlockedIncrement(&RoutineRuns);
}

TEST(ThreadRecordTest, WorkerParksItselfUntilResumedAgain)
{
    RoutineRuns = 0;
    ThreadRecord record = {};
    ASSERT_EQ(CreateThreadRecord(&record, ParkingRoutine, 0), 0);
    ResumeThreadRecord(&record);
    ASSERT_TRUE(WaitForRuns(1));
    // Wait until the worker has actually suspended itself.
    int previous = 0;
    KorvoTest::Backstop backstop("the worker suspending itself", KorvoTest::kWaitBackstopSeconds);
    while ((previous = ResumeThreadRecord(&record)) != 1 && !backstop.Passed()) {
        Sleep(2);
    }
    EXPECT_EQ(previous, 1) << backstop.Report();
    ASSERT_TRUE(WaitForRuns(2));
    ExpectThreadEnds(record.threadHandle);
    CloseThreadRecord(&record);
}

CRITICAL_SECTION SharedLock;
int SharedCounter = 0;

void IncrementUnderLock(ThreadRecord *, int times)
{
    for (int i = 0; i < times; ++i) {
        AcquireSectionLock(&SharedLock);
        AcquireSectionLock(&SharedLock); // recursive entry by the owner
        int value = SharedCounter;
        if ((i & 63) == 0) {
            Sleep(0);
        }
        SharedCounter = value + 1;
        ReleaseSectionLock(&SharedLock);
        ReleaseSectionLock(&SharedLock);
    }
}

TEST(SectionLockTest, LockKeepsIncrementsFromInterleaving)
{
    ASSERT_EQ(InitSectionLock(&SharedLock), 0);
    SharedCounter = 0;
    ThreadRecord workers[4] = {};
    for (ThreadRecord &worker : workers) {
        ASSERT_EQ(CreateThreadRecord(&worker, IncrementUnderLock, 5000), 0);
    }
    for (ThreadRecord &worker : workers) {
        ResumeThreadRecord(&worker);
    }
    for (ThreadRecord &worker : workers) {
        ExpectThreadEnds(worker.threadHandle);
        CloseThreadRecord(&worker);
    }
    EXPECT_EQ(SharedCounter, 20000);
    EXPECT_EQ(DeleteSectionLock(&SharedLock), 0);
}

} // namespace
