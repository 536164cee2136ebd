// Graph filters on the CPU road under Wine: a loaded graph (device textures on
// the Direct3D road with pixel shaders off, a MEMIMG on the software road)
// filtered in place equals the per-pixel routine run on its pixels read before.

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/filters/graph_filters.h"
#include "graphics/graphs/graph_record.h"
#include "image/pixel_access.h"
#include "tests/graphics/png_sheet.h"

#include <cstring>

using namespace Korvo;

namespace {

constexpr int kWidth = 70;
constexpr int kHeight = 45;

uint32_t Pattern(int x, int y)
{
    return static_cast<uint32_t>(((x * 7) & 255) << 16 | ((y * 5 + x) & 255) << 8 | ((x ^ y) * 3 & 255));
}

uint32_t ImagePixel(const RasterImage &image, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, FilterPixelAt(image, x, y), 4);
    return v;
}

struct FilterCase {
    const char *name;
    int type;
    int params[5];
};

const FilterCase kCases[] = {
    {"mono", GRAPH_FILTER_MONO, {0, 0}},
    {"mono tinted", GRAPH_FILTER_MONO, {-60, 90}},
    {"gauss 16", GRAPH_FILTER_GAUSS, {16, 300}},
    {"gauss 32", GRAPH_FILTER_GAUSS, {32, 900}},
    {"down scale 4", GRAPH_FILTER_DOWN_SCALE, {4}},
    {"bright clip", GRAPH_FILTER_BRIGHT_CLIP, {5, 120, 0}},
    {"hsb shift", GRAPH_FILTER_HSB, {0, 60, 100, 20}},
    {"hsb fixed hue", GRAPH_FILTER_HSB, {1, 200, -50, -30}},
    {"invert", GRAPH_FILTER_INVERT, {}},
    {"level", GRAPH_FILTER_LEVEL, {20, 230, 150, 10, 240}},
    {"premultiplied alpha", GRAPH_FILTER_PREMUL_ALPHA, {}},
};

// Shuts the library down however the test ends; filters run on the CPU road meanwhile.
struct LibrarySession {
    ~LibrarySession() { ShutdownLibrary(); }
};

// A Direct3D device without pixel shaders, as far as the filters can tell.
void TurnShadersOff()
{
    GraphicsState.programmableShader = 0;
}

void FilterEqualsThePerPixelRoutine(bool direct3D)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, direct3D ? 1 : 0);
    TurnShadersOff();
    ASSERT_TRUE(GraphTest::WriteRgbPng("filter.png", kWidth, kHeight, Pattern));
    for (const FilterCase &c : kCases) {
        SCOPED_TRACE(c.name);
        int graph = CreateGraphFromImageFile("filter.png", 0);
        ASSERT_NE(graph, -1);
        ASSERT_EQ(IsGraphDeviceTextured(GetGraphRecord(graph, 0)), direct3D ? 1 : 0);
        RasterImage before = {}, after = {}, expected = {};
        ASSERT_EQ(ReadGraphRectToImage(graph, &before, nullptr), 0);
        FilterParameters params;
        ASSERT_EQ(DecodeFilterParameters(0, c.type, c.params, &params), 0);
        const int divisor = FilterOutputDivisor(0, c.type, params);
        RECT out = {0, 0, kWidth / divisor, kHeight / divisor};
        ASSERT_EQ(ReadGraphRectToImage(graph, &expected, &out), 0);
        ASSERT_EQ(RunCpuFilterPass(0, c.type, params, 0, before, nullptr, expected, nullptr), 0);

        ASSERT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, c.type, 0, 0, kWidth, kHeight, 0, 0, 0, 0, 0,
                                        c.params), 0);
        ASSERT_EQ(ReadGraphRectToImage(graph, &after, nullptr), 0);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool written = x < out.right && y < out.bottom;
                const uint32_t want = written ? ImagePixel(expected, x, y) : ImagePixel(before, x, y);
                wrong += (ImagePixel(after, x, y) & 0xFFFFFF) != (want & 0xFFFFFF) ? 1 : 0;
            }
        EXPECT_EQ(wrong, 0);
        FreeImageRecord(&before);
        FreeImageRecord(&after);
        FreeImageRecord(&expected);
        DestroyGraphHandle(graph, 0);
    }
}

TEST(GraphFiltersRoadsTest, DeviceTexturedGraphsFilterLikeTheirPixels)
{
    FilterEqualsThePerPixelRoutine(true);
}

TEST(GraphFiltersRoadsTest, SoftwareGraphsFilterLikeTheirPixels)
{
    FilterEqualsThePerPixelRoutine(false);
}

TEST(GraphFiltersRoadsTest, BlendsOfTwoLoadedGraphsMixTheirPixels)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    TurnShadersOff();
    ASSERT_TRUE(GraphTest::WriteRgbPng("source.png", kWidth, kHeight, Pattern));
    ASSERT_TRUE(GraphTest::WriteRgbPng("blend.png", kWidth, kHeight, [](int x, int y) { return Pattern(y, x) ^ 0x00FF00u; }));
    for (int type : {0, 2, 4, 6, 8, 11, 13}) {
        SCOPED_TRACE(type);
        int source = CreateGraphFromImageFile("source.png", 0);
        int blend = CreateGraphFromImageFile("blend.png", 0);
        RasterImage p = {}, q = {}, expected = {}, after = {};
        ASSERT_EQ(ReadGraphRectToImage(source, &p, nullptr), 0);
        ASSERT_EQ(ReadGraphRectToImage(blend, &q, nullptr), 0);
        ASSERT_EQ(AllocArgb32Image(kWidth, kHeight, &expected), 0);
        ASSERT_EQ(BasicBlendPixels(p, q, expected, type, 200 / 255.0f), 0);
        ASSERT_EQ(RunGraphFilterOrBlend(1, source, blend, source, 200, type, 0, 0, kWidth, kHeight, 0, 0, 0, 0, 0,
                                        nullptr), 0);
        ASSERT_EQ(ReadGraphRectToImage(source, &after, nullptr), 0);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                wrong += (ImagePixel(after, x, y) & 0xFFFFFF) != (ImagePixel(expected, x, y) & 0xFFFFFF) ? 1 : 0;
        EXPECT_EQ(wrong, 0);
        for (RasterImage *image : {&p, &q, &expected, &after}) FreeImageRecord(image);
        DestroyGraphHandle(source, 0);
        DestroyGraphHandle(blend, 0);
    }
}

} // namespace
