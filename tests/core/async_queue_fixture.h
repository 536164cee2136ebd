// Test helpers of the load queue: its workers run for one test and are stopped
// at its end, once every job has left the queue; waits serve the main thread.
#pragma once

#include "core/threads/async_load.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"

#include <gtest/gtest.h>

#include <functional>

namespace KorvoTest {

// Wait for the condition, running the jobs' main-thread requests meanwhile.
inline void WaitUntil(const std::function<bool()> &condition)
{
    while (!condition()) {
        Korvo::RunMainThreadRequests();
        Korvo::SleepMilliseconds(1);
    }
}

// A test whose queue and workers StartQueue starts (this thread is the main thread).
class AsyncQueueFixture : public ::testing::Test {
protected:
    void StartQueue(int processors)
    {
        ASSERT_EQ(Korvo::InitAsyncLoadLock(Korvo::GetCurrentThreadIdentifier()), 0);
        ASSERT_EQ(Korvo::StartAsyncLoadWorkers(processors), 0);
    }
    void TearDown() override
    {
        WaitUntil([] { return Korvo::GetQueuedAsyncJobCount() == 0; });
        Korvo::StopAsyncLoadWorkers();
        Korvo::DeleteAsyncLoadLock();
    }
};

} // namespace KorvoTest
