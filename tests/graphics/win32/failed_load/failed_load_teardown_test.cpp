// A graph loaded in the background whose load fails once its image set is made
// (a failure staged where the job ends its load), while the program deletes the
// graph or shuts the library down. Staged, each in a fresh process, at the
// staged failure's own wait (the deletion or shut-down then waits for the job
// while it fails) and at every wait after it (on the Direct3D road the releases
// of the failed graph's textures). Nothing may crash; a deleted graph is gone;
// the shut-down succeeds and its memory dump lists no live block.

#include "core/memory/handle_manager.h"
#include "tests/graphics/png_sheet.h"
#include "tests/graphics/win32/device/library_session.h"
#include "tests/graphics/win32/device/load_staging.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace Korvo;

namespace {

using LoadStaging::kLoadEndedFirst;
using LoadStaging::kNoStart;

constexpr int kWidth = 40;
constexpr int kHeight = 24;

enum Action { kShutDown, kDelete };

int FailureStaged = 0;

bool IsFailureStaged()
{
    return __atomic_load_n(&FailureStaged, __ATOMIC_ACQUIRE) != 0;
}

// The graph load (the one job here) waits for the main thread as at a device
// call, then its load fails.
int WaitThenFail(AsyncLoadJob *job, int stage)
{
    __atomic_store_n(&FailureStaged, 1, __ATOMIC_RELEASE);
    LoadStaging::WaitForMainThreadAtCheckpoint(job, stage);
    return -1;
}

// Serve the job's waits (on the Direct3D road its device calls) up to its staged
// failure's own, then waitsAfter more; true when it then waits once more. (While
// the job waits, it has not gone on to stage its failure.)
bool HoldAfterFailure(int waitsAfter)
{
    while (LoadStaging::JobWaitsForMainThread() && !IsFailureStaged()) {
        RunMainThreadRequests();
    }
    return IsFailureStaged() && LoadStaging::ServeWaitsThenHold(waitsAfter);
}

// In its own process: start the load, hold the job at the staging point, then
// act and look; ends the process.
[[noreturn]] void ActAtWait(bool direct3D, Action action, int staging)
{
    if (GraphicsTest::StartLibraryOnRoad(direct3D) != 0 || (GraphicsState.direct3DModeActive != 0) != direct3D ||
        !GraphTest::WriteRgbPng("picture.png", kWidth, kHeight, GraphTest::DistinctColour)) {
        std::exit(kNoStart);
    }
    SetAsyncJobCheckpoint(WaitThenFail);
    SetLoadInBackgroundFlag(1);
    int handle = CreateGraphFromImageFile("picture.png", 0);
    SetLoadInBackgroundFlag(0);
    if (handle == -1) {
        std::exit(kNoStart);
    }
    if (!HoldAfterFailure(staging)) {
        ShutdownLibrary();
        std::exit(kLoadEndedFirst);
    }
    bool right = true;
    if (action == kDelete) {
        // -1 when the failing job took the graph with it meanwhile.
        DestroyGraphHandle(handle, 0);
        while (GetQueuedAsyncJobCount() > 0 && ServiceMessageQueue() == 0) {
        }
        right = LookupHandleRecord(handle) == nullptr;
    }
    right = ShutdownLibrary() == 0 && right;
    int alive = KorvoTest::BlocksAliveInLastDump();
    std::fprintf(stderr, "staged at %d: %s, %d blocks alive after the shut-down\n", staging,
                 right ? "right" : "wrong", alive);
    std::exit(right && alive == 0 ? LoadStaging::kStagedRight : LoadStaging::kStagedWrong);
}

struct TeardownCase {
    const char *name;
    bool direct3D;
    Action action;
    int leastEnd; // where the load ends at least: after the failure's wait and the releases after it
};

const TeardownCase kCases[] = {
    {"Direct3DShutDown", true, kShutDown, 3},
    {"Direct3DDeleted", true, kDelete, 3},
    {"SoftwareDeleted", false, kDelete, 1},
};

// One test per case: a staged process finds its staging by counting the death
// tests of its own test, which only a loop of the same length can repeat.
class FailedLoadTeardownDeathTest : public ::testing::TestWithParam<TeardownCase> {};

// Every staging point in turn, until the load ends before the one asked for.
TEST_P(FailedLoadTeardownDeathTest, NoCrashNoLeakAndTheGraphIsGone)
{
    const TeardownCase &c = GetParam();
    EXPECT_GE(LoadStaging::StageAtEveryWait(
                  0, [&c](int staging) { ActAtWait(c.direct3D, c.action, staging); }),
              c.leastEnd);
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedLoadTeardownDeathTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TeardownCase> &info) { return info.param.name; });

} // namespace
