// Filters and blends on software-mode graphs: whole-graph filters, argument
// checks, clipped rectangles and failing passes.

#include "tests/graphics/recording_device.h"

#include "core/streams/stream_table.h"
#include "graphics/filters/graph_filters.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "image/pixel_access.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;

namespace {

class GraphFiltersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallStreamFunctionTable(nullptr);
        RecordingDevice::Reset();
        GraphicsState.direct3DModeActive = 0;
        GraphicsState.bitsPerPixel = 32;
        KorvoTest::StartFreshLog();
        ASSERT_EQ(InitGraphHandleType(), 0);
    }
    void TearDown() override { TermGraphHandleType(); }

    // A w x h graph whose pixel (x, y) is colour(x, y) as 0x00RRGGBB
    template <typename Colour>
    int MakeGraph(int w, int h, Colour colour)
    {
        RasterImage image = {};
        AllocXrgb32Image(w, h, &image);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t c = colour(x, y);
                std::memcpy(static_cast<uint8_t *>(image.pixels) + y * image.pitch + x * 4, &c, 4);
            }
        int handle = BuildGraphFromBaseImages(&image, nullptr, 0);
        FreeImageRecord(&image);
        return handle;
    }
    static uint32_t Pixel(int graph, int x, int y)
    {
        MEMIMG *image = GetGraphMemImg(GetGraphRecord(graph, 0));
        uint32_t value = 0;
        std::memcpy(&value, image->pixels + static_cast<ptrdiff_t>(y) * image->body->pitch + x * 4, 4);
        return value & 0xFFFFFF;
    }
};

TEST_F(GraphFiltersTest, WholeGraphFiltersGiveTheirWorkedValues)
{
    struct Case {
        const char *name;
        uint32_t in, out;
        int (*apply)(int graph);
    } cases[] = {
        {"mono of white", 0xFFFFFF, 0xFEFEFE, [](int g) { return ApplyGraphFilter(g, 0, 0, 0); }},
        {"invert", 0x10FF00, 0xEF00FF, [](int g) { return ApplyGraphFilter(g, 5); }},
        {"level full range", 0xFF0080, 0xFE007F, [](int g) { return ApplyGraphFilter(g, 6, 0, 255, 100, 0, 255); }},
        {"gauss parameter 0 copies", 0x123456, 0x123456, [](int g) { return ApplyGraphFilter(g, 1, 8, 0); }},
        {"gauss of a flat graph (two truncations)", 0x808080, 0x7E7E7E, [](int g) { return ApplyGraphFilter(g, 1, 32, 400); }},
        {"hsb brightness -255", 0x123456, 0x000000, [](int g) { return ApplyGraphFilter(g, 4, 0, 0, 0, -255); }},
        {"bright clip fill below", 0x101010, 0x00FF00,
         [](int g) { return ApplyGraphFilter(g, 3, 2, 128, 1, PackScreenColor(0, 255, 0), 255); }},
    };
    for (const Case &c : cases) {
        uint32_t in = c.in;
        int graph = MakeGraph(6, 5, [&](int, int) { return in; });
        ASSERT_NE(graph, -1);
        ASSERT_EQ(c.apply(graph), 0) << c.name;
        EXPECT_EQ(Pixel(graph, 3, 2), c.out) << c.name << std::hex << " got " << Pixel(graph, 3, 2);
        DestroyGraphHandle(graph, 0);
    }
}

TEST_F(GraphFiltersTest, RefusedArgumentsAndFailingPassesReturnMinusOne)
{
    int graph = MakeGraph(4, 4, [](int x, int) { return x * 0x101010u; });
    const int noDivisor[] = {0};
    const int badGradient[] = {-1, 0};
    EXPECT_EQ(ApplyGraphFilter(graph, -1), -1) << "negative type";
    EXPECT_EQ(ApplyGraphFilter(graph, 10), -1);
    EXPECT_EQ(ApplyGraphFilter(-1, 5), -1);
    EXPECT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, 2, 0, 0, 4, 4, 0, 0, 0, 0, 0, noDivisor), -1);
    EXPECT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, 5, 2, 0, 2, 4, 0, 0, 0, 0, 0, nullptr), -1)
        << "empty rectangle before clipping";
    EXPECT_EQ(RunGraphFilterOrBlend(1, graph, -1, graph, 0, 0, 0, 0, 4, 4, 0, 0, 0, 0, 0, nullptr), -1)
        << "blend without a blend graph";
    EXPECT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, 8, 0, 0, 4, 4, 0, 0, 0, 0, 0, badGradient), -1)
        << "the pass failed: no gradient graph";
    EXPECT_EQ(Pixel(graph, 3, 0), 0x303030u) << "a failed pass leaves the graph as it was";
    EXPECT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, 5, 0, 0, 4, 4, 0, 0, 0, 10, 0, nullptr), 0)
        << "clipped away: nothing to do";
}

TEST_F(GraphFiltersTest, RectanglesAreClippedAndBlendsReadTheSameRectangle)
{
    int source = MakeGraph(8, 4, [](int x, int) { return 0x000010u * x; });
    int dest = MakeGraph(8, 4, [](int, int) { return 0xFFFFFFu; });
    ASSERT_EQ(RunGraphFilterOrBlend(0, source, -1, dest, 0, 5, -2, 0, 4, 4, 0, 0, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(Pixel(dest, 2, 1), 0xFFFFFFu) << "left of the shifted destination";
    EXPECT_EQ(Pixel(dest, 3, 1), 0xFFFFFFu - 0x00u) << "source x 0 lands at 1 + 2";
    EXPECT_EQ(Pixel(dest, 4, 3), 0xFFFFFFu - 0x10u);
    EXPECT_EQ(Pixel(dest, 6, 1), 0xFFFFFFu - 0x30u) << "four columns: source 0..3";
    EXPECT_EQ(Pixel(dest, 7, 1), 0xFFFFFFu);

    int blend = MakeGraph(8, 4, [](int, int) { return 0x204060u; });
    ASSERT_EQ(RunGraphFilterOrBlend(1, source, blend, dest, 255, 0, 0, 0, 8, 4, 0, 0, 0, 0, 0, nullptr), 0);
    // Software graphs of this kind hold no alpha channel; the blend's alpha reads as opaque or clear.
    const uint32_t got = Pixel(dest, 5, 2);
    EXPECT_TRUE(got == 0x1F3F5Fu || got == 0x000050u) << std::hex << got;
}

} // namespace
