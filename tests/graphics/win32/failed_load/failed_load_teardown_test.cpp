// A graph loaded in the background (from an image file, or a blank graph) whose
// load fails once its image set is made (a failure staged where the job ends its
// load), while the program deletes the graph or shuts the library down. Staged,
// each in a fresh process, at the staged failure's own wait (the deletion or
// shut-down then waits for the job while it fails) and at every wait after it (on
// the Direct3D road the releases of the failed graph's textures). Nothing may
// crash; a deleted graph is gone and its deletion succeeded (the failing job
// deleted it while the deletion waited); the shut-down succeeds and its memory
// dump lists no live block.

#include "core/memory/handle_manager.h"
#include "graphics/graphs/graph_record.h"
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
enum Source { kImageFile, kBlank };

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
[[noreturn]] void ActAtWait(bool direct3D, Source source, Action action, int staging)
{
    if (GraphicsTest::StartLibraryOnRoad(direct3D) != 0 || (GraphicsState.direct3DModeActive != 0) != direct3D ||
        !GraphTest::WriteRgbPng("picture.png", kWidth, kHeight, GraphTest::DistinctColour)) {
        std::exit(kNoStart);
    }
    SetAsyncJobCheckpoint(WaitThenFail);
    int handle = -1;
    if (source == kImageFile) {
        SetLoadInBackgroundFlag(1);
        handle = CreateGraphFromImageFile("picture.png", 0);
        SetLoadInBackgroundFlag(0);
    } else {
        GraphCreateSettings settings;
        CaptureGraphCreateSettings(&settings);
        handle = CreateBlankGraphFromSettings(&settings, kWidth, kHeight, 0, 1, nullptr);
    }
    if (handle == -1) {
        std::exit(kNoStart);
    }
    if (!HoldAfterFailure(staging)) {
        ShutdownLibrary();
        std::exit(kLoadEndedFirst);
    }
    bool right = true;
    int deleted = 0;
    if (action == kDelete) {
        // The handle was valid when the deletion began: 0, also when the failing
        // job deleted the graph while the deletion waited for it.
        deleted = DestroyGraphHandle(handle, 0);
        while (GetQueuedAsyncJobCount() > 0 && ServiceMessageQueue() == 0) {
        }
        right = deleted == 0 && LookupHandleRecord(handle) == nullptr;
    }
    right = ShutdownLibrary() == 0 && right;
    int alive = KorvoTest::BlocksAliveInLastDump();
    std::fprintf(stderr, "staged at %d: %s (deletion %d), %d blocks alive after the shut-down\n", staging,
                 right ? "right" : "wrong", deleted, alive);
    std::exit(right && alive == 0 ? LoadStaging::kStagedRight : LoadStaging::kStagedWrong);
}

struct TeardownCase {
    const char *name;
    bool direct3D;
    Source source;
    Action action;
    int leastEnd; // where the load ends at least: after the failure's wait and the releases after it
};

const TeardownCase kCases[] = {
    {"Direct3DShutDown", true, kImageFile, kShutDown, 3},
    {"Direct3DDeleted", true, kImageFile, kDelete, 3},
    {"SoftwareDeleted", false, kImageFile, kDelete, 1},
    {"Direct3DBlankDeleted", true, kBlank, kDelete, 3},
    {"SoftwareBlankDeleted", false, kBlank, kDelete, 1},
};

// One test per case: a staged process finds its staging by counting the death
// tests of its own test, which only a loop of the same length can repeat.
class FailedLoadTeardownDeathTest : public ::testing::TestWithParam<TeardownCase> {};

// Every staging point in turn, until the load ends before the one asked for.
TEST_P(FailedLoadTeardownDeathTest, NoCrashNoLeakAndTheGraphIsGone)
{
    const TeardownCase &c = GetParam();
    EXPECT_GE(LoadStaging::StageAtEveryWait(
                  0, [&c](int staging) { ActAtWait(c.direct3D, c.source, c.action, staging); }),
              c.leastEnd);
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedLoadTeardownDeathTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TeardownCase> &info) { return info.param.name; });

} // namespace
