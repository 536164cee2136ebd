// Holding a background load where it waits for the main thread, for the tests
// that stage what the main thread does meanwhile: a load's checkpoints wait as a
// device call does, and the main thread serves one wait at a time.
#pragma once

#include "core/threads/async_load.h"
#include "core/threads/thread_record.h"
#include "graphics/device/main_thread_call.h"

#include <gtest/gtest.h>

namespace LoadStaging {

// How a staged process ends (a test may add codes of its own from 0x4B565305).
// No crash can end a process so: under Wine a stack overflow or a killed Unix
// side gives 0, abort() and std::terminate give 3, an exception its status code.
constexpr int kStagedRight = 0x4B565301;
constexpr int kStagedWrong = 0x4B565302;
constexpr int kLoadEndedFirst = 0x4B565303; // fewer waits than asked for: every point was staged
constexpr int kNoStart = 0x4B565304;
// A cap on the points tried, should a load never end.
constexpr int kMostWaits = 64;

// A checkpoint handler: the job waits there as at a device call, until the main thread serves it.
inline int WaitForMainThreadAtCheckpoint(Korvo::AsyncLoadJob *job, int)
{
    Korvo::RunOnMainThread(job, [] {});
    return 0;
}

// True once a job waits for the main thread, false once no job is queued.
inline bool JobWaitsForMainThread()
{
    for (;;) {
        if (Korvo::GetQueuedMainThreadRequestCount() > 0) {
            return true;
        }
        if (Korvo::GetQueuedAsyncJobCount() == 0) {
            return false;
        }
        Korvo::SleepMilliseconds(1);
    }
}

// Serve the first waits of the one job queued (a round serves the requests queued
// when it began); true when it then waits once more, false when it has ended.
inline bool ServeWaitsThenHold(int waits)
{
    for (int served = 0; served < waits && JobWaitsForMainThread(); ++served) {
        Korvo::RunMainThreadRequests();
    }
    return JobWaitsForMainThread();
}

// Runs act(waits) in a fresh process for waits = first, first + 1, ... until one
// ends with kLoadEndedFirst; every other end than kStagedRight fails. The waits
// reached. (A staged process runs its test again up to its own staging, skipping
// the earlier ones, so the loop goes on as long as none has ended it there: one
// such loop per test.)
template <typename Act>
int StageAtEveryWait(int first, Act act)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int waits = first;
    for (int ended = kStagedRight; waits < kMostWaits; ++waits) {
        SCOPED_TRACE(waits);
        auto rightOrEndedFirst = [&ended](int code) {
            ended = code;
            return code == kStagedRight || code == kLoadEndedFirst;
        };
        EXPECT_EXIT(act(waits), rightOrEndedFirst, "");
        if (ended == kLoadEndedFirst || ended == kNoStart) {
            break;
        }
    }
    return waits;
}

} // namespace LoadStaging
