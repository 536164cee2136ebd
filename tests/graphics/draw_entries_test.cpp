// Draw entries on both roads: the software road against the rasteriser called
// directly, the Direct3D road against a recording device.

#include "tests/graphics/recording_device.h"

#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "graphics/device/screen_request.h"
#include "image/pixel_access.h"
#include "softraster/draw_state.h"
#include "softraster/shapes.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Graphics as a started library leaves it, on the software or the Direct3D road.
void StartGraphicsOnRoad(bool direct3D, int bits = 32)
{
    RecordingDevice::Reset();
    GraphicsState.started = 1;
    GraphicsState.direct3DModeActive = direct3D ? 1 : 0;
    StoreMainScreenSize(kWidth, kHeight);
    StoreScreenDepth(bits);
    BuildMemImgLookupTables();
    if (!direct3D) {
        CreateSoftwareScreen();
    }
    StateCache = DeviceStateCache{};
    DeviceCaps.blendOp = 1;
    ResetDrawSettings();
    FlushStagedVertices(0);
    RecordingDevice::Reset();
}

void StopGraphics()
{
    DisposeSoftwareScreen();
    GraphicsState.started = 0;
    GraphicsState.direct3DModeActive = 0;
}

// The back screen as LockDrawScreenBuffer shows it, row by row.
std::vector<uint32_t> ReadBackScreen()
{
    RasterImage image;
    RECT all = {0, 0, kWidth, kHeight};
    EXPECT_EQ(LockDrawScreenBuffer(&all, &image, -1, 1, 0), 0);
    std::vector<uint32_t> pixels(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(&pixels[y * kWidth], static_cast<uint8_t *>(image.pixels) + y * image.pitch, kWidth * 4);
    }
    UnlockDrawScreenBuffer();
    return pixels;
}

std::vector<uint32_t> ReadImage(const MEMIMG &image)
{
    std::vector<uint32_t> pixels(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(&pixels[y * kWidth], image.pixels + y * image.body->pitch, kWidth * 4);
    }
    return pixels;
}

// Plain vertices of every recorded draw, as (x, y) pairs.
std::vector<std::pair<float, float>> RecordedPositions()
{
    std::vector<std::pair<float, float>> out;
    for (const auto &batch : RecordingDevice::DrawnVertices) {
        for (size_t at = 0; at + batch.stride <= batch.bytes.size(); at += batch.stride) {
            float xy[2];
            std::memcpy(xy, &batch.bytes[at], sizeof(xy));
            out.emplace_back(xy[0], xy[1]);
        }
    }
    return out;
}

TEST(DrawEntriesTest, ScreenColoursPackForTheScreenAndFor32BitsBeforeStartUp)
{
    StopGraphics();
    EXPECT_EQ(static_cast<uint32_t>(PackScreenColor(255, 255, 255)), 0xFFFFFFFFu) << "before start-up";
    EXPECT_EQ(static_cast<uint32_t>(PackScreenColor(0x1FF, 0, 0x80)), 0xFFFF0080u) << "low 8 bits only";
    struct Case {
        int bits;
        int r, g, b;
        uint32_t packed;
    };
    const Case cases[] = {{32, 255, 255, 255, 0xFFFFFFFFu}, {32, 0, 128, 1, 0xFF008001u},
                          {16, 255, 255, 255, 0xFFFFu},     {16, 255, 0, 0, 0xF800u}};
    for (const Case &c : cases) {
        for (bool direct3D : {false, true}) {
            StartGraphicsOnRoad(direct3D, c.bits);
            EXPECT_EQ(static_cast<uint32_t>(PackScreenColor(c.r, c.g, c.b)), c.packed) << c.bits;
            int r = -1, g = -1, b = -1;
            UnpackScreenColor(static_cast<int>(c.packed), &r, &g, &b);
            if (c.bits == 32) {
                EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{c.r, c.g, c.b}));
            } else if (c.packed == 0xF800u) {
                EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{255, 0, 0}));
            }
            StopGraphics();
        }
    }
}

// Software screens of every depth but 32 have a 16-bit screen image: colours are
// packed for it, and read back as drawn.
TEST(DrawEntriesTest, SoftwareScreensBelow32BitsPackAndDrawForTheirR5G6B5Image)
{
    struct Case {
        int bits;
        int r, g, b;
        uint32_t packed;
    };
    const Case cases[] = {{8, 255, 0, 0, 0xF800u}, {8, 0, 0, 255, 0x001Fu}, {24, 0, 255, 0, 0x07E0u}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bits);
        StartGraphicsOnRoad(false, c.bits);
        ASSERT_EQ(SoftwareScreen.body->pixelKind, MEMIMG_KIND_RGB565);
        const int colour = PackScreenColor(c.r, c.g, c.b);
        EXPECT_EQ(static_cast<uint32_t>(colour), c.packed);
        ASSERT_EQ(FillColorBox(0, 0, 10, 10, colour), 0);
        const uint8_t *row = SoftwareScreen.pixels + 5 * SoftwareScreen.body->pitch;
        EXPECT_EQ(reinterpret_cast<const uint16_t *>(row)[5], c.packed);
        StopGraphics();
    }
}

TEST(DrawEntriesTest, TheDrawSettingsResetLeavesAPerspectiveOfTheTargetsAspect)
{
    for (bool direct3D : {false, true}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        StartGraphicsOnRoad(direct3D);
        RowMatrix4 expected;
        ASSERT_EQ(BuildPerspectiveProjection(&expected, 1.0471976f, 10.0f, 10000.0f, 0.75f), 0);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                EXPECT_NEAR(StateCache.projection.m[row][column], expected.m[row][column], 1e-4f)
                    << row << ", " << column;
            }
        }
        StopGraphics();
    }
}

TEST(DrawEntriesTest, ARefusedDrawTargetLeavesTargetAndDrawAreaAsTheyWere)
{
    StartGraphicsOnRoad(true);
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    ASSERT_EQ(SetDrawClipArea(10, 20, 100, 90), 0);
    RecordingDevice::Reset();
    for (int refused : {-1, -6, 0, 12345}) {
        EXPECT_EQ(SelectDrawTarget(refused), -1);
        EXPECT_EQ(GetSelectedDrawTarget(), -2);
        EXPECT_EQ(Draw.drawArea.left, 10);
        EXPECT_EQ(Draw.drawArea.bottom, 90);
    }
    EXPECT_TRUE(RecordingDevice::Calls.empty()) << "no device call for a refused target";
    ASSERT_EQ(SelectDrawTarget(-4), 0);
    EXPECT_EQ(Draw.drawArea.left, 10) << "a target of the same size keeps the DrawArea";
    StopGraphics();
}

TEST(DrawEntriesTest, SettersClampStoreAndSkipRepeats)
{
    StartGraphicsOnRoad(true);
    EXPECT_EQ(SetBlendModeAndParam(1, 300), 0);
    EXPECT_EQ(Draw.blendParam, 255);
    EXPECT_EQ(MemImgState.blendParam, 255);
    EXPECT_EQ(DrawVertexColor, 0xFFFFFFFFu);
    SetDrawBrightRGB(10, 20, 300);
    EXPECT_EQ(Draw.brightColor, 0x0A14FFu);
    EXPECT_EQ(MemImgState.brightColor, 0x0A14FFu);
    SetBlendModeAndParam(2, 128);
    EXPECT_EQ(DrawVertexColor, 0x800A14FFu);
    SetBlendModeAndParam(1, 200);
    EXPECT_EQ(DrawVertexColor, 0xC80A14FFu) << "an alpha blend's vertex alpha is its parameter";
    SetBlendModeAndParam(0, 128);
    EXPECT_EQ(DrawVertexColor >> 24, 0xFFu) << "no blending: opaque vertices";

    EXPECT_EQ(SetDrawClipArea(200, 50, -5, 10), 0);
    EXPECT_EQ(Draw.drawArea.left, 0);
    EXPECT_EQ(Draw.drawArea.top, 10);
    EXPECT_EQ(Draw.drawArea.right, kWidth);
    EXPECT_EQ(Draw.drawArea.bottom, 50);
    EXPECT_EQ(MemImgState.clipRect.right, kWidth);
    StopGraphics();
}

// Every primitive entry in blend modes 0, 1 and 2 on the software road equals
// the rasteriser's own result on an image of the same size.
TEST(DrawEntriesTest, SoftwarePrimitivesEqualTheRasteriserCalledDirectly)
{
    for (int mode : {0, 1, 2}) {
        StartGraphicsOnRoad(false);
        MEMIMG expected = {};
        ASSERT_EQ(CreateScreenMemImg(&expected, kWidth, kHeight, 1), 0);
        FillMemImgRectRaw(&expected, nullptr, 0x203040);
        FillMemImgRectRaw(&SoftwareScreen, nullptr, 0x203040);
        SetBlendModeAndParam(mode, 160);
        SetDrawClipArea(5, 5, 150, 110);
        const int red = PackScreenColor(250, 40, 10);
        const int green = PackScreenColor(30, 240, 90);
        FillColorBox(10, 10, 60, 50, red);
        DrawColorBox(30, 30, 120, 100, green, 0);
        DrawColorCircle(80, 60, 30, green, 1);
        DrawColorCircle(20, 100, 25, red, 0);

        const RECT clip = {5, 5, 150, 110};
        SetMemImgClipRect(&clip);
        SetMemImgBlendState(mode, 160);
        const RECT box = {10, 10, 60, 50};
        FillBlendRectMemImg(&expected, &box, red);
        const MemImgLineRecord lines[4] = {{30, 30, 119, 30, green, 0},
                                           {119, 30, 119, 99, green, 0},
                                           {119, 99, 30, 99, green, 0},
                                           {30, 99, 30, 30, green, 0}};
        RasterLineListMemImg(&expected, lines, 4);
        RasterCircleMemImg(&expected, 80, 60, 30, green, 1);
        RasterCircleMemImg(&expected, 20, 100, 25, red, 0);

        EXPECT_EQ(ReadBackScreen(), ReadImage(expected)) << "blend mode " << mode;
        DisposeMemImg(&expected);
        StopGraphics();
    }
}

TEST(DrawEntriesTest, AnEmptyDrawAreaOrANegativeRadiusDrawsNothing)
{
    StartGraphicsOnRoad(false);
    FillMemImgRectRaw(&SoftwareScreen, nullptr, 0);
    const std::vector<uint32_t> before = ReadBackScreen();
    SetDrawClipArea(10, 10, 10, 50);
    EXPECT_EQ(FillColorBox(0, 0, 50, 50, PackScreenColor(255, 0, 0)), 0);
    EXPECT_EQ(DrawColorCircle(20, 20, 5, PackScreenColor(255, 0, 0), 1), 0);
    SetDrawClipArea(0, 0, kWidth, kHeight);
    EXPECT_EQ(DrawColorCircle(20, 20, -1, PackScreenColor(255, 0, 0), 1), 0);
    EXPECT_EQ(ReadBackScreen(), before);
    StopGraphics();
}

TEST(DrawEntriesTest, DeviceBoxesBatchAndOutlineCirclesStayInsideTheDrawArea)
{
    StartGraphicsOnRoad(true);
    SetDrawClipArea(50, 0, kWidth, kHeight);
    for (int i = 0; i < 20; ++i) {
        FillColorBox(40 + i, 10, 80 + i, 30, PackScreenColor(255, 0, 0));
    }
    EXPECT_EQ(GetStagedVertexCount(), 120) << "boxes wait in the staging buffer";
    FlushStagedVertices(0);
    ASSERT_EQ(RecordingDevice::DrawnVertices.size(), 1u) << "20 boxes, one draw call";
    for (const auto &[x, y] : RecordedPositions()) {
        EXPECT_GE(x, 50.0f) << "boxes are clipped to the DrawArea";
    }

    RecordingDevice::Reset();
    DrawColorCircle(52, 60, 20, PackScreenColor(0, 255, 0), 0);
    ASSERT_FALSE(RecordingDevice::DrawnVertices.empty());
    size_t points = 0;
    for (const auto &[x, y] : RecordedPositions()) {
        EXPECT_GE(x, 50.0f) << "outline point left of the DrawArea at y " << y;
        ++points;
    }
    EXPECT_GT(points, 20u);

    RecordingDevice::Reset();
    SetDrawClipArea(0, 0, kWidth, kHeight);
    DrawColorCircle(30, 30, 0, PackScreenColor(0, 255, 0), 1);
    const auto zero = RecordedPositions();
    ASSERT_EQ(zero.size(), 2u) << "radius 0 fills one pixel: one line";
    EXPECT_EQ(zero[0], std::make_pair(30.0f, 30.0f));
    EXPECT_EQ(zero[1], std::make_pair(31.0f, 30.0f));
    StopGraphics();
}

TEST(DrawEntriesTest, DeviceOutlineBoxesCoverEachBorderPixelOnce)
{
    StartGraphicsOnRoad(true);
    DrawColorBoxOutline(10, 10, 12, 12, PackScreenColor(255, 255, 255));
    FlushStagedVertices(0);
    const auto v = RecordedPositions();
    ASSERT_EQ(v.size(), 24u);
    // Top strip 10..12 x 10..11, right 11..12 x 11..12, left 10..11 x 11..12, bottom of zero width.
    EXPECT_EQ(v[0], std::make_pair(10.0f, 10.0f));
    EXPECT_EQ(v[3], std::make_pair(12.0f, 11.0f));
    EXPECT_EQ(v[6], std::make_pair(11.0f, 11.0f));
    EXPECT_EQ(v[12], std::make_pair(10.0f, 11.0f));
    EXPECT_EQ(v[18].first, v[19].first) << "the bottom strip is empty";
    StopGraphics();
}

// A software graph of solid colour.
int MakeSolidGraph(int width, int height, uint32_t colour)
{
    RasterImage image = {};
    AllocXrgb32Image(width, height, &image);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(image.pixels) + y * image.pitch)[x] = colour;
        }
    }
    int handle = BuildGraphFromBaseImages(&image, nullptr, 0);
    FreeImageRecord(&image);
    return handle;
}

TEST(DrawEntriesTest, SourceRectStretchedDrawsReportARefusedDrawAsAFailure)
{
    StartGraphicsOnRoad(false);
    InitGraphHandleType();
    const int graph = MakeSolidGraph(16, 16, 0xFF2040);
    const int smallBlend = MakeSolidGraph(4, 4, 0x808080);
    ASSERT_GE(graph, 0);
    ASSERT_GE(smallBlend, 0);
    EXPECT_EQ(DrawGraphSourceRectStretchedF(0, 0, 32, 32, 4, 4, 8, 8, graph, 0), 0);
    EXPECT_EQ(ReadBackScreen()[5 * kWidth + 5], 0xFF2040u);
    EXPECT_EQ(DrawGraphSourceRectStretchedF(0, 0, 32, 32, 4, 4, 0, 8, graph, 0), -1) << "empty part";
    EXPECT_EQ(DrawGraphSourceRectStretchedF(0, 0, 32, 32, 16, 0, 4, 4, graph, 0), -1) << "part starts outside";
    // A part reaching past the edge is cut there: its 4x4 texels fill the rectangle.
    EXPECT_EQ(DrawGraphSourceRectStretchedF(40, 0, 72, 32, 12, 12, 8, 8, graph, 0), 0);
    EXPECT_EQ(ReadBackScreen()[30 * kWidth + 70], 0xFF2040u);
    Draw.blendGraph = smallBlend;
    EXPECT_EQ(DrawGraphSourceRectStretchedF(0, 0, 32, 32, 0, 0, 8, 8, graph, 0), -1)
        << "the blend graph is smaller than the part: the draw is refused";
    Draw.blendGraph = -1;
    EXPECT_EQ(DrawGraphSourceRectStretchedF(0, 0, 32, 32, 0, 0, 8, 8, 12345, 0), -1) << "invalid graph";
    DestroyGraphHandle(graph, 0);
    DestroyGraphHandle(smallBlend, 0);
    TermGraphHandleType();
    StopGraphics();
}

} // namespace
