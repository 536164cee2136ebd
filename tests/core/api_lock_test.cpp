// The API lock: recursion for its owner and first-come hand-off to waiters.

#include "core/threads/api_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/threads/thread_record.h"

using namespace Korvo;

namespace {

void WaitUntil(const std::function<bool()> &condition)
{
    while (!condition()) {
        SleepMilliseconds(1);
    }
}

class ApiLockTest : public ::testing::Test {
protected:
    void TearDown() override { EndApiLock(); }

    std::mutex orderMutex;
    std::vector<int> order;

    void Record(int who)
    {
        std::lock_guard<std::mutex> guard(orderMutex);
        order.push_back(who);
    }
    size_t Recorded()
    {
        std::lock_guard<std::mutex> guard(orderMutex);
        return order.size();
    }
};

TEST_F(ApiLockTest, WaitersGetTheLockInArrivalOrderAndLateComersQueueBehind)
{
    std::atomic<bool> releaseSecond{false};
    EnterApiLock();
    std::thread second([&] {
        EnterApiLock();
        Record(2);
        WaitUntil([&] { return releaseSecond.load(); });
        LeaveApiLock();
    });
    WaitUntil([] { return GetApiLockWaiterCount() == 1; });
    std::thread third([&] {
        EnterApiLock();
        Record(3);
        LeaveApiLock();
    });
    WaitUntil([] { return GetApiLockWaiterCount() == 2; });

    LeaveApiLock();
    WaitUntil([&] { return Recorded() == 1; });
    // The fourth thread arrives after the first one left: it queues behind the third.
    std::thread fourth([&] {
        EnterApiLock();
        Record(4);
        LeaveApiLock();
    });
    WaitUntil([] { return GetApiLockWaiterCount() == 2; });
    releaseSecond = true;
    second.join();
    third.join();
    fourth.join();
    EXPECT_EQ(order, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(GetApiLockWaiterCount(), 0);
}

TEST_F(ApiLockTest, OwnerMayEnterAgainAndWaiterIsWokenOnlyAtTheOutermostLeave)
{
    std::atomic<int> leaves{0};
    std::atomic<int> leavesSeenByWaiter{-1};
    EnterApiLock();
    EnterApiLock();
    EnterApiLock();
    std::thread waiter([&] {
        EnterApiLock();
        leavesSeenByWaiter = leaves.load();
        LeaveApiLock();
    });
    WaitUntil([] { return GetApiLockWaiterCount() == 1; });
    for (int i = 1; i <= 3; ++i) {
        leaves = i;
        LeaveApiLock();
    }
    waiter.join();
    EXPECT_EQ(leavesSeenByWaiter.load(), 3);
}

TEST_F(ApiLockTest, LockCanBeEndedAndCreatedAgain)
{
    EnterApiLock();
    LeaveApiLock();
    EndApiLock();
    EXPECT_EQ(GetApiLockWaiterCount(), 0);
    std::atomic<bool> taken{false};
    EnterApiLock();
    std::thread other([&] {
        EnterApiLock();
        taken = true;
        LeaveApiLock();
    });
    WaitUntil([] { return GetApiLockWaiterCount() == 1; });
    EXPECT_FALSE(taken.load());
    LeaveApiLock();
    other.join();
    EXPECT_TRUE(taken.load());
}

} // namespace
