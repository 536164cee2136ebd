// Untextured boxes in blend modes 12 and 13 through the fixed-function stages,
// which multiply the vertex colour by the library's white stage texture: the
// texture stays white when the program has switched to other graph kinds before
// it is made, and after a device rebuild with the program's own restore routine.

#include "library_session.h"

#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/shading/white_stage_texture.h"
#include "graphics/startup_entries.h"

#include <algorithm>
#include <string>

using namespace Korvo;

namespace {

constexpr int kRed = 48;
constexpr int kGreen = 20;
constexpr int kBlue = 60;

// A restore routine that knows only the program's own graphs (here none).
void ProgramRestoreRoutine() {}

// Fill a box in the mode through the stages and read its middle back; the stage
// colour is four times the box colour, over the background in mode 13.
void ExpectModeDrawnFourTimesTheColour(int mode)
{
    SCOPED_TRACE("mode " + std::to_string(mode));
    GraphicsState.programmableShader = 0;
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(SetBlendModeAndParam(mode, 255), 0);
    ASSERT_EQ(FillColorBox(100, 100, 200, 200, PackScreenColor(kRed, kGreen, kBlue)), 0);
    SetBlendModeAndParam(0, 0);
    const uint32_t got = GraphicsTest::ReadTargetPixel(150, 150);
    const int colour[3] = {kRed, kGreen, kBlue};
    const int background[3] = {GraphicsTest::kBackgroundRed, GraphicsTest::kBackgroundGreen,
                               GraphicsTest::kBackgroundBlue};
    for (int c = 0; c < 3; ++c) {
        const int expected = std::min(255, 4 * colour[c] + (mode == 13 ? background[c] : 0));
        EXPECT_NEAR(static_cast<int>((got >> (16 - 8 * c)) & 0xFF), expected, 1)
            << "channel " << c << " pixel " << std::hex << got;
    }
}

TEST(WhiteStageTextureTest, StaysWhiteUnderOtherGraphSettingsAndAfterARebuildWithTheProgramsRestore)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    ASSERT_EQ(GetWhiteStageGraph(), -1);

    // The program makes two-channel drawable graphs from now on.
    GraphCreateSettings other;
    CaptureGraphCreateSettings(&other);
    other.drawable = 1;
    other.drawableParam12 = 2;
    StoreGraphCreateSettings(&other);
    ExpectModeDrawnFourTimesTheColour(12);
    ASSERT_NE(GetWhiteStageGraph(), -1);

    SetGraphRestoreCallback(ProgramRestoreRoutine);
    EXPECT_EQ(RecreateGraphicsDevice(), 0);
    SetGraphRestoreCallback(nullptr);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    ExpectModeDrawnFourTimesTheColour(13);
    ExpectModeDrawnFourTimesTheColour(12);

    ResetGraphCreateSettings();
    GraphicsState.programmableShader = 1;
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
