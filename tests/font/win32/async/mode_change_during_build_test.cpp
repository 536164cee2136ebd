// A screen-mode change while a font is built on a load worker, on the Direct3D
// and the software road: the change is staged at every point where the build
// waits for the main thread (its checkpoints before it starts and once it is
// built, and each of its device calls between them), each in a fresh process.
// Nothing may crash, and the font then draws pixel for pixel as its twin built
// on the caller's thread.

#include "font/font_record.h"

#include "core/threads/thread_record.h"
#include "graphics/device/main_thread_call.h"
#include "tests/font/win32/async/async_font_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <vector>

// background_font_program.cpp, on korvo.h alone
int MakeFontInBackground(int size, int type, int edgeSize);
void WaitForBackgroundLoads();

using namespace Korvo;

namespace {

// How a staged process ends.
constexpr int kDrewAsTwin = 0;
constexpr int kDrewOtherwise = 1;
constexpr int kBuildEndedFirst = 3; // fewer waits than asked for: every point was staged
constexpr int kNoStart = 4;
constexpr int kNoModeChange = 5;
// A cap on the points tried, should a build never end.
constexpr int kMostWaits = 64;

// The build waits at its checkpoints as at a device call: until the main thread serves it.
void WaitForMainThreadAtCheckpoint(AsyncLoadJob *job, int)
{
    RunOnMainThread(job, [] {});
}

// True once the build waits for the main thread, false once it has ended.
bool BuildWaitsForMainThread()
{
    for (;;) {
        if (GetQueuedMainThreadRequestCount() > 0) {
            return true;
        }
        if (GetQueuedAsyncJobCount() == 0) {
            return false;
        }
        SleepMilliseconds(1);
    }
}

// In its own process: serve the build's first waits, change the screen mode
// while it waits once more, then draw it beside its twin; ends the process.
[[noreturn]] void ChangeModeAtWait(bool direct3D, int waitsServedFirst)
{
    if (AsyncFontTest::StartLibraryOnRoad(direct3D) != 0 || (GraphicsState.direct3DModeActive != 0) != direct3D) {
        std::exit(kNoStart);
    }
    SelectDrawTarget(-2);
    int twin = CreateFontHandleWithSettings(nullptr, nullptr, 22, -1, FontSmoothedEdge, -1, 2, 0, -1, 0);
    SetFontBuildCheckpoint(WaitForMainThreadAtCheckpoint);
    int font = MakeFontInBackground(22, FontSmoothedEdge, 2);
    // The one job waits at one request at a time, and a round serves the requests queued when it began.
    for (int served = 0; served < waitsServedFirst && BuildWaitsForMainThread(); ++served) {
        RunMainThreadRequests();
    }
    if (!BuildWaitsForMainThread()) {
        ShutdownLibrary();
        std::exit(kBuildEndedFirst);
    }
    if (SetScreenResolutionAndDepth(400, 300, 32, 60) != 0) {
        std::exit(kNoModeChange);
    }
    WaitForBackgroundLoads();
    std::vector<uint32_t> expected = AsyncFontTest::ScreenWithText(twin, 400, 300);
    std::vector<uint32_t> drawn = AsyncFontTest::ScreenWithText(font, 400, 300);
    std::vector<uint32_t> blank = AsyncFontTest::ScreenWithText(-1, 400, 300);
    size_t differing = 0;
    size_t lit = 0;
    for (size_t i = 0; i < drawn.size(); ++i) {
        differing += drawn[i] != expected[i] ? 1 : 0;
        lit += drawn[i] != blank[i] ? 1 : 0;
    }
    std::fprintf(stderr, "after %d waits: %zu pixels lit, %zu differ from the twin's\n", waitsServedFirst, lit,
                 differing);
    bool same = expected != blank && differing == 0;
    ShutdownLibrary();
    std::exit(same ? kDrewAsTwin : kDrewOtherwise);
}

// Every wait of a build staged in turn, until the build ends before the wait asked for.
// (A staged process runs this test again up to its own staging, skipping the
// earlier ones, so the loop goes on as long as none has ended it here.)
int StageTheChangeAtEveryWait(bool direct3D)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int waits = 0;
    for (int ended = kDrewAsTwin; waits < kMostWaits; ++waits) {
        SCOPED_TRACE(waits);
        auto drewAsTwinOrEndedFirst = [&ended](int code) {
            ended = code;
            return code == kDrewAsTwin || code == kBuildEndedFirst;
        };
        EXPECT_EXIT(ChangeModeAtWait(direct3D, waits), drewAsTwinOrEndedFirst, "");
        if (ended == kBuildEndedFirst || ended == kNoStart) {
            break;
        }
    }
    return waits;
}

// Both checkpoints, and on the Direct3D road the device calls between them.
TEST(ModeChangeDuringFontBuildDeathTest, Direct3DNoCrashAndTheFontDrawsAsItsTwin)
{
    EXPECT_GE(StageTheChangeAtEveryWait(true), 4);
}

TEST(ModeChangeDuringFontBuildDeathTest, SoftwareNoCrashAndTheFontDrawsAsItsTwin)
{
    EXPECT_GE(StageTheChangeAtEveryWait(false), 2);
}

} // namespace
