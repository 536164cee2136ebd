// Fonts built on the load workers, on the Direct3D and the software road: the
// handle comes back while the build is still queued, a draw refuses it until
// the build has ended, and then its text is pixel for pixel that of the same
// font built on the caller's thread. A build that fails leaves no handle behind.

#include "font/font_record.h"

#include "korvo.h"
#include "tests/graphics/win32/device/library_session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace BackgroundFontProgram {
// background_font_program.cpp, which includes korvo.h alone
int MakeFontInBackground(int size, int type, int edgeSize);
void WaitForBackgroundLoads();
} // namespace BackgroundFontProgram

using namespace Korvo;
using namespace BackgroundFontProgram;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const char kText[] = "背景Ag字";

// The screen after the text alone is drawn with the font
std::vector<uint32_t> TextPixels(int font)
{
    ClearDrawScreen();
    EXPECT_EQ(DrawTextToHandle(20, 30, kText, PackScreenColor(250, 220, 40), font, PackScreenColor(20, 60, 10), 0),
              0);
    return GraphicsTest::ReadScreenPixels(kWidth, kHeight, 0);
}

int CountDifferentPixels(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    int different = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        different += a[i] != b[i] ? 1 : 0;
    }
    return different;
}

TEST(AsyncFontBuild, PendingUntilBuiltThenDrawsAsOnTheCallersThreadAndAFailedBuildLeavesNoHandle)
{
    for (bool direct3D : {true, false}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        SelectDrawTarget(-2);

        struct Form {
            int size, type, edgeSize;
        };
        for (Form form : {Form{24, FontPlain, -1}, Form{20, FontSmoothedEdge, 2}, Form{18, FontSmoothed4x, -1}}) {
            SCOPED_TRACE(form.type);
            int onCaller = CreateFontHandleWithSettings(nullptr, nullptr, form.size, -1, form.type, -1,
                                                        form.edgeSize, 0, -1, 0);
            ASSERT_NE(onCaller, -1);
            // While this thread holds the font kind's lock the build cannot release its
            // handle, so the checks below find it pending however fast the worker is.
            CRITICAL_SECTION &fontKindLock = HandleTypeTable[HANDLE_KIND_FONT].lock;
            EnterCriticalSection(&fontKindLock);
            int onWorker = MakeFontInBackground(form.size, form.type, form.edgeSize);
            int queued = GetQueuedAsyncJobCount();
            int validWhilePending = IsFontHandleValid(onWorker);
            int drawnWhilePending = DrawTextToHandle(0, 0, kText, PackScreenColor(255, 255, 255), onWorker, 0, 0);
            LeaveCriticalSection(&fontKindLock);
            ASSERT_NE(onWorker, -1);
            EXPECT_EQ(queued, 1);
            EXPECT_EQ(validWhilePending, 0);
            EXPECT_EQ(drawnWhilePending, -1);

            WaitForBackgroundLoads();
            ASSERT_EQ(IsFontHandleValid(onWorker), 1);
            std::vector<uint32_t> expected = TextPixels(onCaller);
            const uint32_t background = (GraphicsTest::kBackgroundRed << 16) |
                                        (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
            EXPECT_GT(CountDifferentPixels(expected, std::vector<uint32_t>(expected.size(), background)), 100);
            EXPECT_EQ(CountDifferentPixels(TextPixels(onWorker), expected), 0);
            EXPECT_EQ(LookupFontRecord(onWorker)->textureCache, direct3D ? 1 : 0);
        }

        // Builds that fail for a memory cache they cannot have: 2,024 cells of a
        // 1,100-pixel font are more than the allocator gives; the cells of a
        // 1,500-pixel font are counted to pass 4 GiB just, which 32-bit size
        // arithmetic would wrap round to a block of about one cell.
        const FontCacheSettings oneCell = {{1, 0, 1}};
        int probe = CreateFontHandleWithSettings(&oneCell, nullptr, 1500, -1, FontSmoothed, -1, -1, 0, -1, 0);
        ASSERT_NE(probe, -1);
        int64_t cellBytes = static_cast<int64_t>(LookupFontRecord(probe)->cellSize) * LookupFontRecord(probe)->cellSize;
        int cellsPastFourGiB = static_cast<int>((int64_t{1} << 32) / cellBytes + 1);
        ASSERT_LE(cellsPastFourGiB, kGlyphMaxSlots);
        struct Failing {
            int size, cells;
        };
        for (Failing f : {Failing{1100, kGlyphMaxSlots}, Failing{1500, cellsPastFourGiB}}) {
            SCOPED_TRACE(f.size);
            const FontCacheSettings inMemory = {{1, 0, f.cells}};
            int failing = CreateFontHandleWithSettings(&inMemory, nullptr, f.size, -1, FontSmoothed, -1, -1, 0, -1, 1);
            ASSERT_NE(failing, -1);
            WaitForBackgroundLoads();
            EXPECT_EQ(LookupHandleRecord(failing), nullptr);
        }
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace
