// A partial present maps the window rectangle it is given back to the screen
// pixels shown there: through the doubling of the low-resolution request and
// through a plain window alike.

#include "graphics/screen/present_rects.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

struct MappingCase {
    const char *what;
    bool lowResolutionRequest;
    RECT window;
    bool mapped;
    RECT screen;
};

TEST(PresentRectsTest, WindowRectanglesMapBackToTheScreenPixelsShownThere)
{
    const MappingCase cases[] = {
        {"doubled: half the window coordinates", true, {100, 50, 300, 250}, true, {50, 25, 150, 125}},
        {"doubled: the whole window", true, {0, 0, 640, 480}, true, {0, 0, 320, 240}},
        {"doubled: one window pixel is no screen pixel", true, {100, 50, 101, 250}, false, {}},
        {"plain window: the same coordinates", false, {100, 50, 300, 250}, true, {100, 50, 300, 250}},
        {"plain window: one pixel", false, {639, 479, 640, 480}, true, {639, 479, 640, 480}},
    };
    for (const MappingCase &c : cases) {
        const PresentRects rects = ComputePresentRects(640, 480, 640, 480, c.lowResolutionRequest, true, 1.0, 1.0);
        EXPECT_EQ(rects.doubled, c.lowResolutionRequest) << c.what;
        RECT out = {};
        EXPECT_EQ(MapWindowRectToScreen(c.window, rects.source, rects.dest, &out), c.mapped) << c.what;
        if (c.mapped) {
            EXPECT_EQ(out.left, c.screen.left) << c.what;
            EXPECT_EQ(out.top, c.screen.top) << c.what;
            EXPECT_EQ(out.right, c.screen.right) << c.what;
            EXPECT_EQ(out.bottom, c.screen.bottom) << c.what;
        }
    }
}

} // namespace
