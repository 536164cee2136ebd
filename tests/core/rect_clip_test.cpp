// Clipping of a rectangle against bounds.
#include <gtest/gtest.h>

#include "core/math/rect_clip.h"

using namespace Korvo;

namespace {

RECT Clip(RECT rect, RECT bounds)
{
    EXPECT_EQ(ClipRectToRect(&rect, &bounds), 0);
    return rect;
}

void ExpectRect(const RECT &r, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

const RECT kBounds = {0, 0, 100, 100};

TEST(ClipRectToRect, InsideAndOverlapping)
{
    ExpectRect(Clip({10, 20, 30, 40}, kBounds), 10, 20, 30, 40);
    ExpectRect(Clip({-10, -20, 50, 200}, kBounds), 0, 0, 50, 100);
    ExpectRect(Clip({90, 95, 150, 150}, kBounds), 90, 95, 100, 100);
    ExpectRect(Clip({-5, -5, 105, 105}, {10, 20, 30, 40}), 10, 20, 30, 40);
}

TEST(ClipRectToRect, InvertedRectangleBecomesEmptyFirst)
{
    ExpectRect(Clip({10, 10, 5, 20}, kBounds), 10, 10, 10, 20);
    ExpectRect(Clip({10, 30, 20, 5}, kBounds), 10, 30, 20, 30);
    // An inverted rectangle far outside still ends on the nearest edge.
    ExpectRect(Clip({150, 10, -50, 20}, kBounds), 100, 10, 100, 20);
}

TEST(ClipRectToRect, OutsideCollapsesOntoTheNearestEdge)
{
    ExpectRect(Clip({-50, -50, -10, -10}, kBounds), 0, 0, 0, 0);
    ExpectRect(Clip({120, 10, 150, 20}, kBounds), 100, 10, 100, 20);
    ExpectRect(Clip({10, 200, 20, 300}, kBounds), 10, 100, 20, 100);
    const RECT r = Clip({-30, 40, -1, 60}, {5, 5, 50, 50});
    EXPECT_LE(r.right, r.left);
    EXPECT_EQ(r.left, 5);
}

} // namespace
