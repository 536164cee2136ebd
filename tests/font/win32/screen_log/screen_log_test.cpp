// The on-screen log on both roads: its font (outlined, size 16, thickness 4) is
// made at start-up, kept through a device rebuild and made again once lost; with
// the draw flag up the flip draws its lines in white with a black edge, each line
// 16 pixels below the last, and nothing with the flag down.

#include "font/font_record.h"

#include "core/log/screen_log_state.h"
#include "core/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "tests/graphics/win32/device/library_session.h"
#include "graphics/startup_entries.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr uint32_t kBackground = (40u << 16) | (90u << 8) | 160u;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0;

std::vector<uint32_t> ReadScreen()
{
    return GraphicsTest::ReadScreenPixels(kWidth, kHeight, kBackground);
}

// What a flip left on the back screen with the same text in lines 0 and 2
struct LogInk {
    int white = 0;             // in line 0's rows (the run starts a little above its line)
    int black = 0;
    int other = 0;             // neither background, white nor black
    int lineTwoDiffers = 0;    // pixels of line 2 unlike those 32 rows above them
    int below = 0;             // ink under line 2
    int whiteOnBackground = 0; // white pixels touching the background: an edge missing
};

constexpr int kLineZeroRows = 24;
constexpr int kLineTwoTop = 2 * kScreenLogLineHeight;

LogInk PresentAndRead()
{
    ClearDrawScreen();
    EXPECT_EQ(PresentBackScreen(), 0);
    std::vector<uint32_t> screen = ReadScreen();
    auto at = [&](int x, int y) { return screen[y * kWidth + x]; };
    LogInk ink;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint32_t p = at(x, y);
            if (y >= kLineTwoTop && y < kLineTwoTop + kLineZeroRows) {
                ink.lineTwoDiffers += p != at(x, y - kLineTwoTop) ? 1 : 0;
            } else if (y >= kLineTwoTop + kLineZeroRows) {
                ink.below += p != kBackground ? 1 : 0;
            }
            if (y < kLineZeroRows) {
                ink.white += p == kWhite ? 1 : 0;
                ink.black += p == kBlack ? 1 : 0;
                ink.other += p != kWhite && p != kBlack && p != kBackground ? 1 : 0;
            }
            if (p != kWhite) {
                continue;
            }
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight && at(nx, ny) == kBackground) {
                        ++ink.whiteOnBackground;
                    }
                }
            }
        }
    }
    return ink;
}

void ExpectTheLogFont()
{
    ASSERT_EQ(ScreenLog.setUp, 1);
    ASSERT_EQ(ScreenLog.fontLost, 0);
    FontHandleRecord *font = LookupFontRecord(ScreenLog.font);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->size, 16);
    EXPECT_EQ(font->thickness, 4);
    EXPECT_EQ(font->type, FontEdge);
    EXPECT_EQ(font->edgeSize, 1);
    EXPECT_EQ(font->face[0], '\0');
}

// Lines 0 and 2 drawn alike, 16 pixels a line, line 1 and the rest empty
void ExpectLinesZeroAndTwo(const LogInk &ink)
{
    EXPECT_GT(ink.white, 20);
    EXPECT_GT(ink.black, ink.white);
    EXPECT_EQ(ink.other, 0);
    EXPECT_EQ(ink.lineTwoDiffers, 0);
    EXPECT_EQ(ink.below, 0);
    EXPECT_EQ(ink.whiteOnBackground, 0);
}

TEST(ScreenLog, LinesInWhiteWithABlackEdgeOnBothRoads)
{
    for (bool direct3D : {true, false}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        SelectDrawTarget(-2);
        ExpectTheLogFont();
        std::strcpy(ScreenLog.lines[0], "Log line: ログの行 gj");
        std::strcpy(ScreenLog.lines[2], ScreenLog.lines[0]);

        LogInk ink = PresentAndRead();
        EXPECT_EQ(ink.white + ink.black + ink.other + ink.below, 0) << "drawn with the flag down";
        ScreenLog.drawFlag = 1;
        {
            SCOPED_TRACE("at start-up");
            ExpectLinesZeroAndTwo(PresentAndRead());
        }

        if (direct3D) {
            // Full-screen deactivation: the device goes and comes back, every font is made again.
            int before = ScreenLog.font;
            ReleaseGraphicsDevice();
            ASSERT_EQ(RecreateGraphicsDevice(), 0);
            SelectDrawTarget(-2);
            EXPECT_EQ(ScreenLog.font, before);
            SCOPED_TRACE("after a device rebuild");
            ExpectTheLogFont();
            ExpectLinesZeroAndTwo(PresentAndRead());
        } else {
            // A lost font is made again by the next draw.
            DeleteHandleRecord(ScreenLog.font);
            EXPECT_EQ(ScreenLog.fontLost, 1);
            SCOPED_TRACE("after the font was lost");
            ExpectLinesZeroAndTwo(PresentAndRead());
            ExpectTheLogFont();
        }

        ScreenLog.drawFlag = 0;
        ASSERT_EQ(ShutdownLibrary(), 0);
        EXPECT_EQ(ScreenLog.setUp, 0);
        EXPECT_EQ(ScreenLog.font, -1);
    }
}

} // namespace
