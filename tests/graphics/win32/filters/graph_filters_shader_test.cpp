// The shader road of the graph filters under Wine: each filter and blend drawn
// by its pixel shader lands within 2 per channel of the CPU routine on the same
// pixels (HSB within 10: its integer routine strays from the exact colour by a
// few steps, 0xAE comes back as 0xAB with no change asked, while the shader
// keeps an 8-bit hue between its passes), on loaded graphs and on drawable ones;
// a filter whose pass fails leaves its graph as it was; a library started again
// finds no stale work graphs.

#include "tests/graphics/win32/device/library_session.h"

#include "core/memory/handle_manager.h"

#include "graphics/shading/builtin_shader_archives.h"
#include "graphics/filters/graph_filters.h"
#include "graphics/graphs/graph_record.h"
#include "image/pixel_access.h"
#include "tests/graphics/png_sheet.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kWidth = 90;
constexpr int kHeight = 60;

uint32_t Smooth(int x, int y)
{
    return static_cast<uint32_t>((x * 2 + 20) & 255) << 16 | static_cast<uint32_t>((y * 3 + x) & 255) << 8 |
           static_cast<uint32_t>((200 - x - y) & 255);
}

uint32_t Other(int x, int y)
{
    return static_cast<uint32_t>((255 - y * 4) & 255) << 16 | static_cast<uint32_t>((x * 2) & 255) << 8 |
           static_cast<uint32_t>((x + y) & 255);
}

struct LibrarySession {
    ~LibrarySession() { ShutdownLibrary(); }
};

int Channel(const RasterImage &image, int x, int y, int c) { return FilterPixelAt(image, x, y)[c]; }

uint32_t PixelValue(const RasterImage &image, int x, int y)
{
    uint32_t v = 0;
    std::memcpy(&v, FilterPixelAt(image, x, y), 4);
    return v;
}

// The largest difference of a colour channel between two images of the test size.
int WorstColourDifference(const RasterImage &a, const RasterImage &b)
{
    int worst = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int ch = 0; ch < 3; ++ch) worst = std::max(worst, std::abs(Channel(a, x, y, ch) - Channel(b, x, y, ch)));
    return worst;
}

int LoadGraph(const char *file)
{
    int graph = CreateGraphFromImageFile(file, 0);
    EXPECT_NE(graph, -1) << file;
    return graph;
}

// A graph of the picture in a file: as loaded (its textures cannot be drawn
// into, so every pass goes through a work graph), or copied into a drawable
// graph with an alpha channel (which one-pass filters render into in place).
int MakeGraph(const char *file, bool drawable)
{
    const int loaded = LoadGraph(file);
    if (!drawable || loaded < 0) {
        return loaded;
    }
    int width = 0, height = 0;
    GetGraphOrScreenSize(loaded, &width, &height);
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    settings.drawableAlpha = 1;
    const int graph = CreateBlankGraphFromSettings(&settings, width, height, 0, 0, nullptr);
    RasterImage pixels = {};
    const RECT whole = {0, 0, width, height};
    EXPECT_EQ(ReadGraphRectToImage(loaded, &pixels, nullptr), 0);
    EXPECT_GE(TransferImageRectToGraph(graph, &whole, 0, 0, &pixels, nullptr, 0, 0, 0, nullptr), 0);
    FreeImageRecord(&pixels);
    DestroyGraphHandle(loaded, 0);
    return graph;
}

// Noise: a filter that reads texels it has already overwritten shows up here.
uint32_t Noise(int x, int y)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & 0xFFFFFF;
}

constexpr int kNoiseSide = 512;

struct ShaderCase {
    const char *name;
    int type;
    int params[5];
    int threshold;  // luminance the filter switches at, or -1
    int tolerance;  // per channel
    int blendFlag = 0;
};

// Blends run on the graph's bottom-right 384 x 384 pixels, from (128, 128),
// with the blend position at the top-left: a pass that renders into the graph
// while reading it there reads pixels it has already written.
constexpr int kBlendAt = 128;
constexpr int kBlendSide = kNoiseSide - kBlendAt;

// A view of an image's side x side pixels from (x, y)
RasterImage ImageView(const RasterImage &image, int x, int y, int side)
{
    RasterImage view = image;
    view.pixels = FilterPixelAt(image, x, y);
    view.width = side;
    view.height = side;
    return view;
}

// Whether a graph keeps an alpha channel (what a filter writes there reads back)
bool HoldsAlpha(int graph)
{
    const GraphRecord *record = GetGraphRecord(graph, 0);
    return record != nullptr && record->imageSet != nullptr && record->imageSet->params.alpha != 0;
}

// Every filter, on a loaded and on a drawable graph, lands within a few steps of
// its CPU routine run on the graph's pixels. Before each case another picture of
// the same size is inverted, so the work graphs hold pixels of neither. The
// RGBAMix picks that take every colour from the blend graph draw with the two
// graphs exchanged: the graph itself is then read at the blend position, for
// the alpha it gives.
TEST(GraphFiltersShaderTest, ShaderPassesAgreeWithTheCpuRoutines)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (GraphicsState.programmableShader == 0) {
        GTEST_SKIP() << "this device has no pixel shaders";
    }
    ASSERT_TRUE(GraphTest::WriteRgbPng("noise.png", kNoiseSide, kNoiseSide, Noise));
    ASSERT_TRUE(GraphTest::WriteRgbPng("gradient.png", 256, 1, [](int x, int) { return 0x010101u * static_cast<uint32_t>(x / 2); }));
    const int gradient = LoadGraph("gradient.png");
    ASSERT_TRUE(GraphTest::WriteRgbPng("scratch.png", kNoiseSide, kNoiseSide, [](int x, int y) { return Noise(x + kNoiseSide, y); }));
    const int scratch = LoadGraph("scratch.png");
    ASSERT_TRUE(GraphTest::WriteRgbPng("blend.png", kNoiseSide, kNoiseSide, [](int x, int y) { return Noise(y, x + 7); }));
    const int blend = LoadGraph("blend.png");
    RasterImage blendPixels = {};
    ASSERT_EQ(ReadGraphRectToImage(blend, &blendPixels, nullptr), 0);
    const ShaderCase cases[] = {
        {"mono", GRAPH_FILTER_MONO, {0, 0}, -1, 2},
        {"mono tinted", GRAPH_FILTER_MONO, {-80, 60}, -1, 2},
        {"gauss 8", GRAPH_FILTER_GAUSS, {8, 200}, -1, 2},
        {"gauss 16", GRAPH_FILTER_GAUSS, {16, 600}, -1, 2},
        {"gauss 32", GRAPH_FILTER_GAUSS, {32, 1500}, -1, 2},
        {"gauss 0 copies", GRAPH_FILTER_GAUSS, {8, 0}, -1, 2},
        {"down scale 2", GRAPH_FILTER_DOWN_SCALE, {2}, -1, 2},
        {"down scale 4", GRAPH_FILTER_DOWN_SCALE, {4}, -1, 2},
        {"down scale 8", GRAPH_FILTER_DOWN_SCALE, {8}, -1, 2},
        {"bright clip less, fill", GRAPH_FILTER_BRIGHT_CLIP, {2, 100, 1, PackScreenColor(9, 200, 30), 255}, 100, 2},
        {"bright clip greater, fill", GRAPH_FILTER_BRIGHT_CLIP, {5, 160, 1, PackScreenColor(250, 0, 90), 255}, 160, 2},
        {"bright clip less", GRAPH_FILTER_BRIGHT_CLIP, {2, 100, 0}, 100, 2},
        {"bright clip greater", GRAPH_FILTER_BRIGHT_CLIP, {5, 100, 0}, 100, 2},
        {"invert", GRAPH_FILTER_INVERT, {}, -1, 2},
        {"hsb fixed hue", GRAPH_FILTER_HSB, {1, 200, 60, -30}, -1, 10},
        {"hsb fixed hue, more saturated", GRAPH_FILTER_HSB, {1, 40, 200, 50}, -1, 10},
        {"hsb hue shift", GRAPH_FILTER_HSB, {0, 60, 100, 20}, -1, 10},
        {"hsb unchanged", GRAPH_FILTER_HSB, {0, 0, 0, 0}, -1, 10},
        {"level", GRAPH_FILTER_LEVEL, {30, 220, 180, 10, 240}, -1, 2},
        {"level empty range", GRAPH_FILTER_LEVEL, {100, 100, 100, 0, 255}, -1, 2},
        {"two colour", GRAPH_FILTER_TWO_COLOR, {120, PackScreenColor(10, 20, 30), 255, PackScreenColor(200, 100, 50), 255}, 120, 2},
        {"gradient map", GRAPH_FILTER_GRADIENT_MAP, {gradient, 0}, -1, 2},
        {"gradient map reversed", GRAPH_FILTER_GRADIENT_MAP, {gradient, 1}, -1, 2},
        {"premultiplied", GRAPH_FILTER_PREMUL_ALPHA, {}, -1, 2},
        {"rgba mix, blend colours and source red as alpha", GRAPH_BLEND_RGBA_MIX, {4, 5, 6, 0}, -1, 1, 1},
    };
    for (const bool drawable : {false, true}) {
        for (const ShaderCase &c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (drawable ? ", drawable graph" : ", loaded graph"));
            ASSERT_EQ(ApplyGraphFilter(scratch, GRAPH_FILTER_INVERT), 0);
            const int graph = MakeGraph("noise.png", drawable);
            RasterImage before = {}, expected = {}, after = {};
            ASSERT_EQ(ReadGraphRectToImage(graph, &before, nullptr), 0);
            ASSERT_EQ(ReadGraphRectToImage(graph, &expected, nullptr), 0);
            FilterParameters params;
            ASSERT_EQ(DecodeFilterParameters(c.blendFlag, c.type, c.params, &params), 0);
            const int d = FilterOutputDivisor(c.blendFlag, c.type, params);
            const int side = c.blendFlag != 0 ? kBlendSide : kNoiseSide / d;
            const int at = c.blendFlag != 0 ? kBlendAt : 0;
            RasterImage region = ImageView(expected, at, at, side);
            uint32_t table[256];
            if (c.type == GRAPH_FILTER_GRADIENT_MAP) {
                RasterImage gradientImage = {};
                ASSERT_EQ(ReadGraphRectToImage(gradient, &gradientImage, nullptr), 0);
                BuildGradientTable(gradientImage, c.params[1], table);
                FreeImageRecord(&gradientImage);
            }
            if (c.blendFlag != 0) {
                const RasterImage blendRead = ImageView(blendPixels, at, at, side);
                ASSERT_EQ(RunCpuFilterPass(1, c.type, params, 1, ImageView(before, 0, 0, side), &blendRead, region,
                                           nullptr), 0);
                ASSERT_EQ(RunGraphFilterOrBlend(1, graph, blend, graph, 255, c.type, at, at, kNoiseSide, kNoiseSide,
                                                0, 0, 1, at, at, c.params), 0);
            } else {
                ASSERT_EQ(RunCpuFilterPass(0, c.type, params, 0, before, nullptr, region, table), 0);
                ASSERT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, c.type, 0, 0, kNoiseSide, kNoiseSide, 0, 0,
                                                0, 0, 0, c.params), 0);
            }
            ASSERT_EQ(ReadGraphRectToImage(graph, &after, nullptr), 0);
            const int channels = c.blendFlag != 0 && HoldsAlpha(graph) ? 4 : 3;
            int worst = 0, wx = 0, wy = 0, beyond = 0;
            for (int y = 0; y < kNoiseSide; ++y)
                for (int x = 0; x < kNoiseSide; ++x)
                    for (int ch = 0; ch < channels; ++ch) {
                        // Pixels within a level of the switch may fall either side of it.
                        const int luma = FilterLuma(FilterPixelAt(before, x, y));
                        if (c.threshold >= 0 && std::abs(luma - c.threshold * 4096) < 2 * 4096) continue;
                        const int diff = std::abs(Channel(after, x, y, ch) - Channel(expected, x, y, ch));
                        beyond += diff > c.tolerance ? 1 : 0;
                        if (diff > worst) { worst = diff; wx = x; wy = y; }
                    }
            EXPECT_LE(worst, c.tolerance) << beyond << " channel values beyond; worst at " << wx << "," << wy
                                          << std::hex << " in " << PixelValue(before, wx, wy) << " cpu "
                                          << PixelValue(expected, wx, wy) << " shader " << PixelValue(after, wx, wy);
            for (RasterImage *image : {&before, &expected, &after}) FreeImageRecord(image);
            DestroyGraphHandle(graph, 0);
        }
    }
    FreeImageRecord(&blendPixels);
}

TEST(GraphFiltersShaderTest, BlendsAgreeWithTheCpuRoutines)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (GraphicsState.programmableShader == 0) {
        GTEST_SKIP() << "this device has no pixel shaders";
    }
    ASSERT_TRUE(GraphTest::WriteRgbPng("smooth.png", kWidth, kHeight, Smooth));
    ASSERT_TRUE(GraphTest::WriteRgbPng("other.png", kWidth, kHeight, Other));
    for (int type = 0; type < GRAPH_BLEND_TYPE_COUNT; ++type) {
        if (type == GRAPH_BLEND_RGBA_MIX) continue;
        SCOPED_TRACE(type);
        const int graph = LoadGraph("smooth.png");
        const int blend = LoadGraph("other.png");
        RasterImage p = {}, q = {}, expected = {}, after = {};
        ASSERT_EQ(ReadGraphRectToImage(graph, &p, nullptr), 0);
        ASSERT_EQ(ReadGraphRectToImage(blend, &q, nullptr), 0);
        ASSERT_EQ(AllocArgb32Image(kWidth, kHeight, &expected), 0);
        ASSERT_EQ(BasicBlendPixels(p, q, expected, type, 180 / 255.0f), 0);
        ASSERT_EQ(RunGraphFilterOrBlend(1, graph, blend, graph, 180, type, 0, 0, kWidth, kHeight, 0, 0, 0, 0, 0, nullptr), 0);
        ASSERT_EQ(ReadGraphRectToImage(graph, &after, nullptr), 0);
        EXPECT_LE(WorstColourDifference(after, expected), 2);
        for (RasterImage *image : {&p, &q, &expected, &after}) FreeImageRecord(image);
        DestroyGraphHandle(graph, 0);
        DestroyGraphHandle(blend, 0);
    }
}

TEST(GraphFiltersShaderTest, RgbaMixPicksTheSameChannelsAsTheCpuRoutine)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (GraphicsState.programmableShader == 0) {
        GTEST_SKIP() << "this device has no pixel shaders";
    }
    ASSERT_TRUE(GraphTest::WriteRgbPng("mix_source.png", kWidth, kHeight, Smooth));
    ASSERT_TRUE(GraphTest::WriteRgbPng("mix_blend.png", kWidth, kHeight, Other));
    std::vector<std::array<int, 4>> selections = {{0, 1, 2, 3}, {4, 5, 6, 7}, {5, 5, 5, 1}, {4, 5, 6, 0},
                                                  {3, 0, 7, 4}, {6, 4, 1, 3}};
    // Every named shader: one source channel three times, or all three, with each blend channel as alpha.
    for (int alpha = 4; alpha < 8; ++alpha) {
        for (int colour = 0; colour < 3; ++colour) selections.push_back({colour, colour, colour, alpha});
        selections.push_back({0, 1, 2, alpha});
    }
    for (const auto &pick : selections) {
        const int *sel = pick.data();
        SCOPED_TRACE(testing::Message() << sel[0] << sel[1] << sel[2] << sel[3]);
        const int graph = LoadGraph("mix_source.png");
        const int blend = LoadGraph("mix_blend.png");
        RasterImage p = {}, q = {}, expected = {}, after = {};
        ASSERT_EQ(ReadGraphRectToImage(graph, &p, nullptr), 0);
        ASSERT_EQ(ReadGraphRectToImage(blend, &q, nullptr), 0);
        ASSERT_EQ(AllocArgb32Image(kWidth, kHeight, &expected), 0);
        ASSERT_EQ(RgbaMixPixels(p, q, expected, sel), 0);
        ASSERT_EQ(RunGraphFilterOrBlend(1, graph, blend, graph, 255, GRAPH_BLEND_RGBA_MIX, 0, 0, kWidth, kHeight, 0, 0,
                                        0, 0, 0, sel), 0);
        ASSERT_EQ(ReadGraphRectToImage(graph, &after, nullptr), 0);
        EXPECT_LE(WorstColourDifference(after, expected), 1);
        for (RasterImage *image : {&p, &q, &expected, &after}) FreeImageRecord(image);
        DestroyGraphHandle(graph, 0);
        DestroyGraphHandle(blend, 0);
    }
    // A pass that fails (a selector out of range) fails the operation and writes nothing.
    const int graph = LoadGraph("mix_source.png");
    const int blend = LoadGraph("mix_blend.png");
    const int bad[4] = {0, 1, 2, 8};
    RasterImage before = {}, after = {};
    ASSERT_EQ(ReadGraphRectToImage(graph, &before, nullptr), 0);
    EXPECT_EQ(RunGraphFilterOrBlend(1, graph, blend, graph, 255, GRAPH_BLEND_RGBA_MIX, 0, 0, kWidth, kHeight, 0, 0, 0,
                                    0, 0, bad), -1);
    ASSERT_EQ(ReadGraphRectToImage(graph, &after, nullptr), 0);
    EXPECT_EQ(std::memcmp(before.pixels, after.pixels, static_cast<size_t>(before.pitch) * kHeight), 0);
    FreeImageRecord(&before);
    FreeImageRecord(&after);
}

// After the passes the screen is the render target again, with its own viewport.
TEST(GraphFiltersShaderTest, DrawingAfterAFilterLandsOnTheScreen)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_TRUE(GraphTest::WriteRgbPng("after.png", 40, 30, Smooth));
    const int graph = LoadGraph("after.png");
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(ApplyGraphFilter(graph, GRAPH_FILTER_GAUSS, 16, 300), 0);
    ASSERT_EQ(FillColorBox(600, 400, 620, 420, PackScreenColor(250, 10, 20)), 0);
    RasterImage screen = {};
    const RECT area = {0, 0, 640, 480};
    ASSERT_EQ(LockDrawScreenBuffer(&area, &screen, -1, 1, 0), 0);
    uint32_t inside = 0, outside = 0;
    std::memcpy(&inside, static_cast<uint8_t *>(screen.pixels) + 410 * screen.pitch + 610 * 4, 4);
    std::memcpy(&outside, static_cast<uint8_t *>(screen.pixels) + 300 * screen.pitch + 300 * 4, 4);
    UnlockDrawScreenBuffer();
    EXPECT_EQ(inside & 0xFFFFFF, 0xFA0A14u);
    EXPECT_EQ(outside & 0xFFFFFF, static_cast<uint32_t>(GraphicsTest::kBackgroundRed << 16 |
                                                        GraphicsTest::kBackgroundGreen << 8 |
                                                        GraphicsTest::kBackgroundBlue));
}

// Without its shader a filter fails, says so in the log, and leaves the graph as it was.
TEST(GraphFiltersShaderTest, AMissingShaderFailsTheFilter)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (GraphicsState.programmableShader == 0) {
        GTEST_SKIP() << "this device has no pixel shaders";
    }
    ASSERT_TRUE(GraphTest::WriteRgbPng("missing.png", kWidth, kHeight, Smooth));
    const int graph = LoadGraph("missing.png");
    RasterImage before = {}, after = {};
    ASSERT_EQ(ReadGraphRectToImage(graph, &before, nullptr), 0);
    CloseBuiltinShaderArchives();
    EXPECT_EQ(ApplyGraphFilter(graph, GRAPH_FILTER_MONO, 0, 0), -1);
    ASSERT_EQ(ReadGraphRectToImage(graph, &after, nullptr), 0);
    EXPECT_EQ(WorstColourDifference(before, after), 0);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Mono.pso"), std::string::npos);
    FreeImageRecord(&before);
    FreeImageRecord(&after);
}

// The live shader handles, lowest slot first.
std::vector<int> LiveShaderHandles()
{
    std::vector<int> handles;
    const HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_SHADER];
    for (int slot = entry.lowestSlot; entry.slots != nullptr && slot <= entry.highestSlot; ++slot) {
        if (entry.slots[slot] != nullptr) {
            handles.push_back(static_cast<HandleRecordHeader *>(entry.slots[slot])->handle);
        }
    }
    return handles;
}

// HSB runs two passes. When either cannot draw, the filter fails and the graph
// keeps its pixels: neither what the first pass made of them nor whatever the
// second pass's source held. Each pass's shader is taken away in turn (with the
// archives closed it cannot be made again), on a loaded and on a drawable graph.
TEST(GraphFiltersShaderTest, AFailedHsbPassFailsTheFilterAndLeavesTheGraph)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (GraphicsState.programmableShader == 0) {
        GTEST_SKIP() << "this device has no pixel shaders";
    }
    ASSERT_TRUE(GraphTest::WriteRgbPng("hsb.png", kWidth, kHeight, Smooth));
    // Whatever a filter draws with beside its own shaders is made here, before the count.
    const int warm = LoadGraph("hsb.png");
    ASSERT_EQ(ApplyGraphFilter(warm, GRAPH_FILTER_INVERT), 0);
    std::vector<int> made;
    for (const bool drawable : {false, true}) {
        for (const int missing : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "pass " << missing << " fails on a "
                                            << (drawable ? "drawable graph" : "loaded graph"));
            // The last case's shaders go, so that this run makes both again, pass 0's first.
            for (int handle : made) DeleteHandleRecord(handle);
            const int graph = MakeGraph("hsb.png", drawable);
            const std::vector<int> before = LiveShaderHandles();
            ASSERT_EQ(ApplyGraphFilter(graph, GRAPH_FILTER_HSB, 0, 90, 0, 0), 0);
            made.clear();
            for (int handle : LiveShaderHandles()) {
                if (std::find(before.begin(), before.end(), handle) == before.end()) {
                    made.push_back(handle);
                }
            }
            ASSERT_EQ(made.size(), 2u) << "one shader per pass";
            // Check values grow with each record made: this is the order of the passes.
            std::sort(made.begin(), made.end(),
                      [](int a, int b) { return HandleCheckOf(a) < HandleCheckOf(b); });
            RasterImage was = {}, now = {};
            ASSERT_EQ(ReadGraphRectToImage(graph, &was, nullptr), 0);
            ASSERT_EQ(DeleteHandleRecord(made[missing]), 0);
            CloseBuiltinShaderArchives();
            EXPECT_EQ(ApplyGraphFilter(graph, GRAPH_FILTER_HSB, 0, 90, 0, 0), -1);
            ASSERT_EQ(OpenBuiltinShaderArchives(), 1);
            ASSERT_EQ(ReadGraphRectToImage(graph, &now, nullptr), 0);
            EXPECT_EQ(WorstColourDifference(was, now), 0);
            FreeImageRecord(&was);
            FreeImageRecord(&now);
            DestroyGraphHandle(graph, 0);
        }
    }
}

TEST(GraphFiltersShaderTest, ARestartedLibraryMakesItsWorkGraphsAgain)
{
    ASSERT_TRUE(GraphTest::WriteRgbPng("restart.png", 40, 30, Smooth));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        LibrarySession session;
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
        const int graph = LoadGraph("restart.png");
        EXPECT_EQ(ApplyGraphFilter(graph, GRAPH_FILTER_GAUSS, 16, 300), 0);
        EXPECT_EQ(ApplyGraphFilter(graph, GRAPH_FILTER_LEVEL, 0, 255, 150, 0, 255), 0);
    }
}

} // namespace
