// Graphs drawn through a blend graph of each type, on both roads (Direct3D with
// its shaders and with its stage programmes), read back and compared pixel by
// pixel: a 128x96 blend graph whose colour and alpha vary across rows and
// columns (wider and taller than the drawn graph, so the two texture coordinate
// sets differ), drawn graphs opaque, with alpha and with a colour key, with and
// without the transparent flag, in blend mode 0 (the start-up mode) and mode 1
// at 128 and 255; where the software road's rule is simple, it is checked
// against that rule too.

#include "tests/graphics/win32/device/library_session.h"

#include "image/public_api.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kDrawnWidth = 64;
constexpr int kDrawnHeight = 48;
constexpr int kBlendWidth = 128;
constexpr int kBlendHeight = 96;
constexpr int kX = 100;
constexpr int kY = 50;

// The roads' arithmetic (rounding, float against integer steps) may differ by
// this much per channel.
constexpr int kTolerance = 3;

// Blend graph: alpha 0 at the top left rising to 255 at the bottom right,
// colour changing along both directions.
uint32_t BlendPixel(int x, int y)
{
    int alpha = (x + 2 * y) * 2 - 40;
    alpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    const uint32_t r = static_cast<uint32_t>(x * 2), g = static_cast<uint32_t>(y * 2 + 20),
                   b = static_cast<uint32_t>(255 - x - y);
    return static_cast<uint32_t>(alpha) << 24 | r << 16 | g << 8 | b;
}

enum Drawn { OPAQUE_GRAPH, ALPHA_GRAPH, KEYED_GRAPH, kDrawnKinds };

// Drawn graphs: opaque, with alpha (0 on the left, 255 on the right, a ramp
// between), and keyed (black pixels in a lattice, the default transparent colour).
uint32_t DrawnPixel(Drawn kind, int x, int y)
{
    const uint32_t colour = static_cast<uint32_t>((200 - 3 * y) << 16 | (30 + 3 * x) << 8 | (90 + ((x ^ y) & 63)));
    if (kind == ALPHA_GRAPH) {
        int alpha = x < 8 ? 0 : x >= 56 ? 255 : (x - 8) * 5 + y;
        alpha = alpha > 255 ? 255 : alpha;
        return static_cast<uint32_t>(alpha) << 24 | colour;
    }
    if (kind == KEYED_GRAPH && (x + 2 * y) % 5 == 0) {
        return 0xFF000000u;
    }
    return 0xFF000000u | colour;
}

int MakeGraph(int width, int height, bool alpha, uint32_t (*pixel)(int, int, int), int kind)
{
    RasterImage image = {};
    if ((alpha ? AllocArgb32Image(width, height, &image) : AllocXrgb32Image(width, height, &image)) != 0) {
        return -1;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixel(kind, x, y);
            WriteImagePixelRgba(&image, x, y, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, p >> 24);
        }
    }
    const int handle = BuildGraphFromBaseImages(&image, nullptr, 0);
    FreeImageRecord(&image);
    return handle;
}

uint32_t DrawnPixelOf(int kind, int x, int y) { return DrawnPixel(static_cast<Drawn>(kind), x, y); }
uint32_t BlendPixelOf(int, int x, int y) { return BlendPixel(x, y); }

struct Case {
    int type;          // 0 cross-fade, 1 threshold, 2 masking
    int values[2];     // weight, or border and ramp
    int mode, param;
    Drawn drawn;
    int transparent;
    int clipLeft;          // DrawArea left edge (the graph is drawn at x = 100)
    bool thresholdFirst;   // a threshold selection comes before this one
};

std::string NameOf(const Case &c)
{
    static const char *types[] = {"cross-fade", "threshold", "masking"};
    static const char *drawn[] = {"opaque", "alpha", "keyed"};
    return std::string(types[c.type]) + " " + std::to_string(c.values[0]) + "/" + std::to_string(c.values[1]) +
           ", mode " + std::to_string(c.mode) + "/" + std::to_string(c.param) + ", " + drawn[c.drawn] +
           " graph, transparent " + std::to_string(c.transparent) +
           (c.clipLeft != 0 ? ", clipped at " + std::to_string(c.clipLeft) : "") +
           (c.thresholdFirst ? ", after a threshold" : "");
}

std::vector<Case> AllCases()
{
    struct Kind {
        int type, values[2];
    };
    const Kind kinds[] = {{0, {77, 0}}, {0, {128, 0}}, {0, {255, 0}}, {2, {0, 0}}, {1, {128, 0}}, {1, {100, 255}}};
    const int modes[][2] = {{0, 0}, {1, 128}, {1, 255}};
    const std::pair<Drawn, int> drawn[] = {
        {OPAQUE_GRAPH, 0}, {ALPHA_GRAPH, 1}, {KEYED_GRAPH, 1}, {ALPHA_GRAPH, 0}, {KEYED_GRAPH, 0}};
    std::vector<Case> cases;
    for (const Kind &k : kinds) {
        for (const auto &m : modes) {
            for (const auto &d : drawn) {
                cases.push_back(Case{k.type, {k.values[0], k.values[1]}, m[0], m[1], d.first, d.second, 0, false});
            }
        }
    }
    // Clipped through the blend graph's hidden part and past it; a cross-fade
    // after a threshold selection (whose table and stages must not linger).
    cases.push_back(Case{2, {0, 0}, 1, 255, OPAQUE_GRAPH, 0, 110, false});
    cases.push_back(Case{2, {0, 0}, 1, 255, OPAQUE_GRAPH, 0, 130, false});
    cases.push_back(Case{0, {255, 0}, 1, 255, OPAQUE_GRAPH, 0, 0, true});
    return cases;
}

// Every case drawn on one road, its drawn area read back; the Direct3D road with
// its built-in shaders, or (stages) with the fixed-function stage programmes.
std::vector<std::vector<uint32_t>> DrawEveryCase(bool direct3D, bool stages, const std::vector<Case> &cases)
{
    std::vector<std::vector<uint32_t>> shots;
    DeviceSettings.forceSoftwareVertexProcessing = stages ? 1 : 0;
    EXPECT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
    if (direct3D) {
        EXPECT_EQ(GraphicsState.programmableShader != 0, !stages);
    }
    EXPECT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
    const int blend = MakeGraph(kBlendWidth, kBlendHeight, true, BlendPixelOf, 0);
    int drawn[kDrawnKinds];
    for (int kind = 0; kind < kDrawnKinds; ++kind) {
        drawn[kind] = MakeGraph(kDrawnWidth, kDrawnHeight, kind == ALPHA_GRAPH, DrawnPixelOf, kind);
        EXPECT_NE(drawn[kind], -1);
    }
    EXPECT_NE(blend, -1);
    for (const Case &c : cases) {
        SCOPED_TRACE(NameOf(c));
        EXPECT_EQ(SetDrawClipArea(0, 0, 640, 480), 0);
        EXPECT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(SetDrawClipArea(c.clipLeft, 0, 640, 480), 0);
        EXPECT_EQ(SetBlendModeAndParam(c.mode, c.param), 0);
        if (c.thresholdFirst) {
            EXPECT_EQ(SetBlendGraphThreshold(blend, 10, 10), 0);
        }
        EXPECT_EQ(c.type == 2 ? SetBlendGraphByType(blend, 2)
                              : SetBlendGraphByType(blend, c.type, c.values[0], c.values[1]),
                  0);
        EXPECT_EQ(DrawGraphAtPoint(kX, kY, drawn[c.drawn], c.transparent), 0);
        EXPECT_EQ(SetBlendGraphByType(0, 0), 0);
        SetBlendModeAndParam(0, 0);
        shots.push_back(GraphicsTest::ReadScreenPixels(kDrawnWidth, kDrawnHeight, 0xDEADBEEF, kX, kY));
    }
    for (int handle : drawn) {
        EXPECT_EQ(DestroyGraphHandle(handle, 0), 0);
    }
    EXPECT_EQ(DestroyGraphHandle(blend, 0), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
    DeviceSettings.forceSoftwareVertexProcessing = 0;
    return shots;
}

int ChannelDistance(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        most = d > most ? d : most;
    }
    return most;
}

// The software threshold's weight of a blend graph alpha: a ramp of about range
// + 1 values from near the border (a step at range 0), limited to 0..255.
int ThresholdWeight(int alpha, int border, int range)
{
    const int q = 65536 / (range + 1);
    const int base = 256 - border * (q + 256) / 256;
    const int weight = alpha * 256 / (range + 1) + base;
    return weight > 255 ? 255 : weight < 0 && base <= 0 ? 0 : weight;
}

// Each channel of d moved toward s by w / 256, as the software road's weighted rules do.
uint32_t MoveToward(uint32_t d, uint32_t s, int w)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int dc = static_cast<int>((d >> shift) & 0xFF), sc = static_cast<int>((s >> shift) & 0xFF);
        out |= static_cast<uint32_t>((dc * 256 + (sc - dc) * w) >> 8) << shift;
    }
    return out;
}

// The software road for an opaque graph in mode 1 at 255 (no parameter, no source
// alpha), from the rules: masking and threshold weigh by the blend graph's alpha
// through their tables; a cross-fade mixes colour and alpha, then blends by that alpha.
uint32_t SoftwareRule(const Case &c, uint32_t background, int x, int y)
{
    if (kX + x < c.clipLeft) {
        return background;
    }
    const uint32_t s = DrawnPixel(OPAQUE_GRAPH, x, y) & 0xFFFFFF;
    const uint32_t b = BlendPixel(x, y);
    const int alpha = static_cast<int>(b >> 24);
    if (c.type == 2) {
        return MoveToward(background, s, alpha);
    }
    if (c.type == 1) {
        return MoveToward(background, s, ThresholdWeight(alpha, c.values[0], c.values[1]));
    }
    const int w = c.values[0];
    uint32_t mixed = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int from = shift < 24 ? static_cast<int>((s >> shift) & 0xFF) : 255;
        const int to = static_cast<int>((b >> shift) & 0xFF);
        mixed |= static_cast<uint32_t>((to * w + from * (255 - w) + 127) / 255) << shift;
    }
    const int a = static_cast<int>(mixed >> 24);
    return a == 0 ? background : a == 255 ? mixed & 0xFFFFFF : MoveToward(background, mixed, a);
}

// The cases the stage programmes draw otherwise, by their own rule: a hard edge
// tests the blend graph's alpha times the drawn alpha and draws opaque, so
// neither a drawn graph's partial alpha nor the blend parameter blends there.
bool StagesDrawOtherwise(const Case &c)
{
    return c.type == 1 && c.values[1] == 0 && (c.drawn == ALPHA_GRAPH || (c.mode == 1 && c.param != 255));
}

// Pixels of one case more than the tolerance apart (the border pixels of a hard
// edge left out: there each road weighs by its own rule, 256 - border or 255).
int PixelsApart(const Case &c, const std::vector<uint32_t> &device, const std::vector<uint32_t> &software, int *worstAt)
{
    int off = 0, worst = -1;
    for (int y = 0; y < kDrawnHeight; ++y) {
        for (int x = 0; x < kDrawnWidth; ++x) {
            const int at = y * kDrawnWidth + x;
            if (c.type == 1 && c.values[1] == 0 && static_cast<int>(BlendPixel(x, y) >> 24) == c.values[0]) {
                continue;
            }
            const int distance = ChannelDistance(device[at], software[at]);
            off += distance > kTolerance ? 1 : 0;
            if (distance > worst) {
                worst = distance, *worstAt = at;
            }
        }
    }
    return off;
}

TEST(BlendGraphReadbackTest, EachBlendGraphTypeDrawsAlikeOnBothRoads)
{
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    const std::vector<Case> cases = AllCases();
    const std::vector<std::vector<uint32_t>> software = DrawEveryCase(false, false, cases);
    ASSERT_EQ(software.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        if (c.drawn != OPAQUE_GRAPH || c.mode != 1 || c.param != 255) {
            continue;
        }
        int ruleOff = 0;
        for (int y = 0; y < kDrawnHeight; ++y) {
            for (int x = 0; x < kDrawnWidth; ++x) {
                ruleOff += software[i][y * kDrawnWidth + x] != SoftwareRule(c, background, x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(ruleOff, 0) << NameOf(c) << ": software pixels off the rule";
    }
    for (bool stages : {false, true}) {
        SCOPED_TRACE(stages ? "Direct3D stage programmes" : "Direct3D shaders");
        const std::vector<std::vector<uint32_t>> device = DrawEveryCase(true, stages, cases);
        ASSERT_EQ(device.size(), cases.size());
        int failures = 0;
        for (size_t i = 0; i < cases.size(); ++i) {
            const Case &c = cases[i];
            if (stages && StagesDrawOtherwise(c)) {
                continue;
            }
            int worstAt = 0;
            const int off = PixelsApart(c, device[i], software[i], &worstAt);
            if (off != 0) {
                ++failures;
                ADD_FAILURE() << NameOf(c) << ": " << off << " pixels more than " << kTolerance << " apart (worst at "
                              << worstAt % kDrawnWidth << "," << worstAt / kDrawnWidth << std::hex << ": Direct3D "
                              << device[i][worstAt] << ", software " << software[i][worstAt] << ")";
            }
        }
        EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
    }
}

} // namespace
