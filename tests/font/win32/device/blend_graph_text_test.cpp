// Text drawn while a blend graph is selected, on both roads: the glyphs do not go
// through it, and the program's blend graph, with its type and values, is
// selected again for the graph drawn after the text.

#include "core/public_api.h"
#include "font/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "tests/graphics/win32/device/library_session.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Korvo;

namespace {

constexpr int kShotWidth = 320;   // the text at (100, 100), the graph at (100, 200)
constexpr int kShotHeight = 240;
constexpr int kGraphWidth = 64;
constexpr int kBlendWidth = 128;
constexpr int kHeight = 16;
constexpr int kHiddenColumns = 24;

struct Shot {
    std::vector<uint32_t> text;   // the rows around the text
    std::vector<uint32_t> graph;  // one row through the graph
};

// Draw what is asked in blend mode 1/255 with the blend graph selected (blend > 0), then read it back.
Shot DrawAndRead(int blend, int type, int value0, int value1, int font, int graph)
{
    ClearDrawScreen();
    SetBlendModeAndParam(1, 255);
    if (blend > 0) {
        EXPECT_EQ(type == 2 ? SetBlendGraphByType(blend, 2) : SetBlendGraphByType(blend, type, value0, value1), 0);
    }
    if (font != -1) {
        EXPECT_EQ(DrawTextToHandle(100, 100, "HHHH", PackScreenColor(255, 255, 255), font, 0, 0), 0);
    }
    if (graph != -1) {
        EXPECT_EQ(DrawGraphAtPoint(100, 200, graph, 0), 0);
    }
    SetBlendGraphByType(0, 0);
    SetBlendModeAndParam(0, 0);
    const std::vector<uint32_t> screen = GraphicsTest::ReadScreenPixels(kShotWidth, kShotHeight, 0xDEADBEEF);
    Shot shot;
    shot.text.assign(screen.begin() + 80 * kShotWidth, screen.begin() + 140 * kShotWidth);
    shot.graph.assign(screen.begin() + 208 * kShotWidth + 100, screen.begin() + 208 * kShotWidth + 100 + kGraphWidth);
    return shot;
}

int DifferingPixels(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    int count = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

TEST(BlendGraphText, TextDoesNotGoThroughTheBlendGraphAndTheGraphAfterItDoes)
{
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    for (bool direct3D : {true, false}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D, "KorvoFontTest"), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        SetStandardFontPixelSize(20);
        const int fonts[2] = {GetStandardFontHandle(),
                              CreateFontHandleWithSettings(nullptr, nullptr, 20, -1, FontSmoothed, -1, -1, 0, -1, 0)};
        const int graph = GraphicsTest::MakeColourGraph(kGraphWidth, kHeight, 0xF0281E, 0);
        const int gate = GraphicsTest::MakeColourGraph(kBlendWidth, kHeight, 0xF0281E, kHiddenColumns);
        const int fade = GraphicsTest::MakeColourGraph(kBlendWidth, kHeight, 0x1428DC, 0);
        ASSERT_NE(fonts[1], -1);
        ASSERT_NE(graph, -1);
        ASSERT_NE(gate, -1);
        ASSERT_NE(fade, -1);
        const std::vector<uint32_t> unblendedGraph = DrawAndRead(-1, 0, 0, 0, -1, graph).graph;
        struct Case {
            const char *name;
            int blend, type, value0, value1;
        };
        const Case cases[] = {{"cross-fade", fade, 0, 255, 0}, {"threshold", gate, 1, 128, 0}, {"alpha masking", gate, 2, 0, 0}};
        for (int font : fonts) {
            SCOPED_TRACE(font == fonts[0] ? "standard font" : "smoothed font");
            const std::vector<uint32_t> text = DrawAndRead(-1, 0, 0, 0, font, -1).text;
            int ink = 0;
            for (uint32_t pixel : text) {
                ink += pixel != background ? 1 : 0;
            }
            ASSERT_GT(ink, 40);
            for (const Case &c : cases) {
                SCOPED_TRACE(c.name);
                const std::vector<uint32_t> blendedGraph = DrawAndRead(c.blend, c.type, c.value0, c.value1, -1, graph).graph;
                ASSERT_NE(DifferingPixels(blendedGraph, unblendedGraph), 0) << "the graph goes through the blend graph";
                const Shot both = DrawAndRead(c.blend, c.type, c.value0, c.value1, font, graph);
                EXPECT_EQ(DifferingPixels(both.text, text), 0) << "text as without a blend graph";
                EXPECT_EQ(DifferingPixels(both.graph, blendedGraph), 0)
                    << "the graph after the text still through the blend graph";
            }
        }
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace
