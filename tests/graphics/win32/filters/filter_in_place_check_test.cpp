// The start-up check that lets one-pass filters render into the graph they
// read: it allows that only when its read-back came back inverted, and then a
// one-pass filter on a drawable graph makes no work graph.

#include "tests/graphics/win32/device/library_session.h"

#include "core/memory/handle_manager.h"
#include "graphics/filters/filter_in_place_check.h"
#include "graphics/filters/graph_filters.h"
#include "graphics/graphs/graph_record.h"

using namespace Korvo;

namespace {

struct LibrarySession {
    ~LibrarySession() { ShutdownLibrary(); }
};

// What the check wrote on the diagonal of its graph.
const int kDiagonal[4][3] = {{204, 168, 80}, {128, 100, 245}, {66, 222, 143}, {34, 255, 78}};

// How the read-back is replaced: each channel by its exact inverse, the green
// of pixel (2, 2) then moved by `greenStep`; or, uninverted, by what was written.
int GreenStep = 0;
bool Uninverted = false;

void ReplaceReadBack(RasterImage *image)
{
    for (int i = 0; i < 4; ++i) {
        int rgb[3];
        for (int c = 0; c < 3; ++c) {
            rgb[c] = Uninverted ? kDiagonal[i][c] : 255 - kDiagonal[i][c];
        }
        if (i == 2) {
            rgb[1] += GreenStep;
        }
        WriteImagePixelRgba(image, i, i, rgb[0], rgb[1], rgb[2], 255);
    }
}

TEST(FilterInPlaceCheckTest, StartUpAllowsInPlaceRenderingOnlyWhenItsReadBackIsInverted)
{
    struct Case {
        const char *name;
        bool replaced;  // else the device's own read-back
        int greenStep;
        bool uninverted;
        int usable;
    } cases[] = {
        {"as the device rendered it", false, 0, false, 1},
        {"one step over", true, 1, false, 1},
        {"one step under", true, -1, false, 1},
        {"two steps over", true, 2, false, 0},
        {"two steps under", true, -2, false, 0},
        {"not inverted", true, 0, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GreenStep = c.greenStep;
        Uninverted = c.uninverted;
        FilterInPlaceReadBackHook = c.replaced ? ReplaceReadBack : nullptr;
        {
            LibrarySession session;
            ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
            if (GraphicsState.programmableShader == 0) {
                FilterInPlaceReadBackHook = nullptr;
                GTEST_SKIP() << "this device has no pixel shaders";
            }
            EXPECT_EQ(GraphicsState.filterInPlaceUsable, c.usable);
        }
    }
    FilterInPlaceReadBackHook = nullptr;
}

// Where the check allows it, a one-pass filter that reads only its own texel
// renders into a drawable graph directly; one that samples neighbours, or runs
// two passes, still goes through a work graph.
TEST(FilterInPlaceCheckTest, OnlyOwnTexelFiltersRenderInPlace)
{
    LibrarySession session;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (GraphicsState.programmableShader == 0 || GraphicsState.filterInPlaceUsable == 0) {
        GTEST_SKIP() << "this device does not render filters in place";
    }
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    struct Case {
        const char *name;
        int side;  // a size class of its own: a work graph made now is this filter's
        int type;
        int params[4];
        bool inPlace;
    } cases[] = {
        {"invert", 20, GRAPH_FILTER_INVERT, {}, true},
        {"hsb fixed hue", 40, GRAPH_FILTER_HSB, {1, 30, 0, 0}, true},
        {"down scale 4", 100, GRAPH_FILTER_DOWN_SCALE, {4}, false},
        {"hsb hue shift", 200, GRAPH_FILTER_HSB, {0, 30, 0, 0}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int graph = CreateBlankGraphFromSettings(&settings, c.side, c.side, 0, 0, nullptr);
        ASSERT_GT(graph, 0);
        const int graphsBefore = HandleTypeTable[HANDLE_KIND_GRAPH].liveCount;
        EXPECT_EQ(RunGraphFilterOrBlend(0, graph, -1, graph, 0, c.type, 0, 0, c.side, c.side, 0, 0, 0, 0, 0, c.params),
                  0);
        EXPECT_EQ(HandleTypeTable[HANDLE_KIND_GRAPH].liveCount == graphsBefore, c.inPlace);
        DestroyGraphHandle(graph, 0);
    }
}

} // namespace
