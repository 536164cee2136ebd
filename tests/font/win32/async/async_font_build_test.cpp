// Fonts built on the load workers, on the Direct3D and the software road: the
// handle comes back while the build is still queued, a draw refuses it until
// the build has ended, and then its text is pixel for pixel that of the same
// font built on the caller's thread. A build that fails leaves no handle behind.

#include "font/font_record.h"

#include "tests/font/win32/async/async_font_session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

// background_font_program.cpp, on korvo.h alone
int MakeFontInBackground(int size, int type, int edgeSize);
void WaitForBackgroundLoads();

using namespace Korvo;
using AsyncFontTest::ScreenWithText;
using AsyncFontTest::StartLibraryOnRoad;

namespace {

TEST(AsyncFontBuild, PendingUntilBuiltThenDrawsAsOnTheCallersThreadAndAFailedBuildLeavesNoHandle)
{
    for (bool direct3D : {true, false}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        SelectDrawTarget(-2);
        for (auto [type, edgeSize] :
             {std::pair{FontPlain, -1}, std::pair{FontSmoothedEdge, 2}, std::pair{FontSmoothed4x, -1}}) {
            SCOPED_TRACE(type);
            int onCaller = CreateFontHandleWithSettings(nullptr, nullptr, 22, -1, type, -1, edgeSize, 0, -1, 0);
            // While this thread holds the font kind's lock the build cannot release its
            // handle, so it is found pending however fast the worker is.
            EnterCriticalSection(&HandleTypeTable[HANDLE_KIND_FONT].lock);
            int onWorker = MakeFontInBackground(22, type, edgeSize);
            int queued = GetQueuedAsyncJobCount();
            int drawnWhilePending = DrawTextToHandle(0, 0, "A", PackScreenColor(255, 255, 255), onWorker, 0, 0);
            LeaveCriticalSection(&HandleTypeTable[HANDLE_KIND_FONT].lock);
            ASSERT_NE(onWorker, -1);
            EXPECT_EQ(queued, 1);
            EXPECT_EQ(drawnWhilePending, -1);
            WaitForBackgroundLoads();
            std::vector<uint32_t> expected = ScreenWithText(onCaller);
            EXPECT_NE(expected, ScreenWithText(-1));
            EXPECT_EQ(ScreenWithText(onWorker), expected);
        }

        // A build that fails for a memory cache it cannot have: the cells of a
        // 1,500-pixel font counted to pass 4 GiB just, which 32-bit size arithmetic
        // would wrap round to a block of about one cell.
        const FontCacheSettings oneCell = {{1, 0, 1}};
        FontHandleRecord *probe = LookupFontRecord(
            CreateFontHandleWithSettings(&oneCell, nullptr, 1500, -1, FontSmoothed, -1, -1, 0, -1, 0));
        ASSERT_NE(probe, nullptr);
        int64_t cellBytes = static_cast<int64_t>(probe->cellSize) * probe->cellSize;
        const FontCacheSettings pastFourGiB = {{1, 0, static_cast<int>((int64_t{1} << 32) / cellBytes + 1)}};
        ASSERT_LE(pastFourGiB.values[2], kGlyphMaxSlots);
        int failing = CreateFontHandleWithSettings(&pastFourGiB, nullptr, 1500, -1, FontSmoothed, -1, -1, 0, -1, 1);
        ASSERT_NE(failing, -1);
        WaitForBackgroundLoads();
        EXPECT_EQ(LookupHandleRecord(failing), nullptr);
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace
