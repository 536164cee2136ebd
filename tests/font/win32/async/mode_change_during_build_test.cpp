// A screen-mode change while a font is built on a load worker, on the Direct3D
// and the software road: the change is staged at every point where the build
// waits for the main thread (its checkpoints before it starts and once it is
// built, and each of its device calls between them), each in a fresh process.
// Nothing may crash, and the font then draws pixel for pixel as its twin built
// on the caller's thread.

#include "font/font_record.h"

#include "tests/font/win32/async/async_font_session.h"
#include "tests/graphics/win32/device/load_staging.h"

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

using LoadStaging::kLoadEndedFirst;
using LoadStaging::kNoStart;
constexpr int kNoModeChange = 5;

// In its own process: serve the build's first waits, change the screen mode
// while it waits once more, then draw it beside its twin; ends the process.
[[noreturn]] void ChangeModeAtWait(bool direct3D, int waitsServedFirst)
{
    if (AsyncFontTest::StartLibraryOnRoad(direct3D) != 0 || (GraphicsState.direct3DModeActive != 0) != direct3D) {
        std::exit(kNoStart);
    }
    SelectDrawTarget(-2);
    int twin = CreateFontHandleWithSettings(nullptr, nullptr, 22, -1, FontSmoothedEdge, -1, 2, 0, -1, 0);
    SetAsyncJobCheckpoint(LoadStaging::WaitForMainThreadAtCheckpoint);
    int font = MakeFontInBackground(22, FontSmoothedEdge, 2);
    if (!LoadStaging::ServeWaitsThenHold(waitsServedFirst)) {
        ShutdownLibrary();
        std::exit(kLoadEndedFirst);
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
    std::exit(same ? LoadStaging::kStagedRight : LoadStaging::kStagedWrong);
}

// Every wait of a build staged in turn, until the build ends before the wait asked for.
int StageTheChangeAtEveryWait(bool direct3D)
{
    return LoadStaging::StageAtEveryWait(0, [direct3D](int waits) { ChangeModeAtWait(direct3D, waits); });
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
