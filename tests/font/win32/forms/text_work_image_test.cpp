// A software text draw that composes its run in a work image: when that image
// cannot be made, the draw fails and leaves nothing allocated.

#include "font/font_record.h"
#include "font/public_api.h"

#include "graphics/public_api.h"
#include "software_road_session.h"
#include "tests/sound/refusing_heap.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

TEST(TextWorkImage, ARefusedWorkImageFailsTheDrawAndKeepsNoBlock)
{
    ASSERT_EQ(StartSoftwareRoadSession("KorvoTextWorkImageTest"), 0);
    FontCacheSettings settings;
    CopyFontCacheSettings(&settings);
    // A smoothed font draws through the work image in every blend mode.
    const int handle = CreateFontHandleWithSettings(&settings, nullptr, 24, -1, FontSmoothed4x, -1, -1, 0, -1, 0);
    ASSERT_NE(handle, -1);
    const char text[] = "Work";
    const int colour = PackScreenColor(250, 250, 250);
    ASSERT_EQ(DrawTextToHandle(20, 20, text, colour, handle, 0, 0), 0);

    int box[2] = {0, 0};
    RenderTextRun(0, 0, 0, 0, 1.0, 1.0, text, colour, nullptr, nullptr, 1, handle, 0, -1, 0, box);
    ASSERT_GT(box[0], 0);
    // Packed 32-bit rows rounded up to 16 bytes.
    const size_t pixelBytes = static_cast<size_t>((box[0] * 4 + 15) & ~15) * static_cast<size_t>(box[1]);
    RefusingHeap::TakeRefusalCount();
    const int before = RefusingHeap::LiveBlockCount();
    RefusingHeap::RefuseNextTrackedBlock(pixelBytes);
    EXPECT_EQ(DrawTextToHandle(20, 20, text, colour, handle, 0, 0), -1);
    EXPECT_EQ(RefusingHeap::TakeRefusalCount(), 1);
    EXPECT_EQ(RefusingHeap::LiveBlockCount(), before);
    EXPECT_EQ(DrawTextToHandle(20, 20, text, colour, handle, 0, 0), 0);
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace
