// Masked drawing on both roads: with masking on, a box is drawn into the mask
// screen and written back onto the back screen where the mask passes (a clear
// mask passes everywhere; reversed, nowhere).

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/draw/masks.h"

using namespace Korvo;

namespace {

TEST(MaskPassTest, DrawingWithMaskingOnReachesTheScreenOnlyWhereTheMaskPasses)
{
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    const uint32_t red = 0xF0281E;
    for (bool direct3D : {false, true}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        EXPECT_EQ(EnableMaskScreen(1), -1) << "no mask screen yet";
        ASSERT_EQ(CreateMaskScreenSurfaces(1), 0);
        // Nothing in the library asks for a mask screen; the test does.
        Masks.created = 1;
        struct Case {
            int reverse;
            uint32_t inside;
        };
        const Case cases[] = {{0, red}, {1, background}};
        for (const Case &c : cases) {
            SCOPED_TRACE(c.reverse);
            ASSERT_EQ(FillColorBox(0, 0, 100, 100, PackScreenColor(0, 0, 0)), 0);
            Masks.reverse = c.reverse;
            ASSERT_EQ(EnableMaskScreen(1), 0);
            ASSERT_EQ(ClearDrawScreen(), 0) << "clears the screen itself, masking or not";
            EXPECT_EQ(FillColorBox(10, 10, 30, 30, PackScreenColor(240, 40, 30)), 0);
            EXPECT_EQ(SelectDrawTarget(-2), 0) << "selecting a target keeps masking on";
            EXPECT_EQ(IsMaskScreenEnabled(), 1);
            EXPECT_EQ(FillColorBox(40, 10, 50, 30, PackScreenColor(240, 40, 30)), 0);
            ASSERT_EQ(EnableMaskScreen(0), 0);
            EXPECT_EQ(GraphicsTest::ReadTargetPixel(20, 20), c.inside);
            EXPECT_EQ(GraphicsTest::ReadTargetPixel(45, 20), c.inside);
            EXPECT_EQ(GraphicsTest::ReadTargetPixel(35, 20), background);
        }
        Masks.reverse = 0;
        ASSERT_EQ(ShutdownLibrary(), 0);
        EXPECT_EQ(Masks.screenTexture, nullptr);
    }
}

} // namespace
