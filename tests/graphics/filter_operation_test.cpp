// The device-independent steps of a filter operation: type checks, pass
// tables, parameter decoding and the clipping of its rectangles.

#include "graphics/filters/filter_operation.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

TEST(FilterOperationTest, TypeChecksAndPassTables)
{
    struct Case {
        int blend, type, known, passes, separate;
        int list[4];
    } cases[] = {
        {0, -1, 0, 1, 0, {}},        {0, 10, 0, 1, 0, {}},       {1, -1, 0, 1, 0, {}},
        {1, 17, 0, 1, 0, {}},        {1, 16, 1, 1, 0, {}},       {0, 1, 1, 2, 1, {8, 100}},
        {0, 2, 1, 1, 1, {4}},        {0, 3, 1, 1, 0, {2, 9, 0}}, {0, 5, 1, 1, 0, {}},
        {0, 4, 1, 2, 1, {0, 0, 0}},  {0, 4, 1, 1, 0, {1, 0, 0}}, {0, 9, 1, 1, 0, {}},
    };
    for (const Case &c : cases) {
        FilterParameters params;
        int list[8] = {c.list[0], c.list[1], c.list[2], c.list[3]};
        EXPECT_EQ(IsFilterTypeKnown(c.blend, c.type), c.known) << c.blend << "/" << c.type;
        if (c.known) {
            ASSERT_EQ(DecodeFilterParameters(c.blend, c.type, list, &params), 0);
            EXPECT_EQ(FilterPassCount(c.blend, c.type, params), c.passes) << c.type;
            EXPECT_EQ(FilterNeedsSeparateTarget(c.blend, c.type, params), c.separate) << c.type;
        }
    }
}

TEST(FilterOperationTest, DecodingScalesTheCallersValues)
{
    FilterParameters p;
    int gauss[] = {16, 250};
    ASSERT_EQ(DecodeFilterParameters(0, GRAPH_FILTER_GAUSS, gauss, &p), 0);
    EXPECT_EQ(p.ints[0], 16);
    EXPECT_FLOAT_EQ(p.floats[0], 2.5f);
    int hsb[] = {0, 90, 255, -255};
    ASSERT_EQ(DecodeFilterParameters(0, GRAPH_FILTER_HSB, hsb, &p), 0);
    EXPECT_FLOAT_EQ(p.floats[1], 100.0f);
    EXPECT_FLOAT_EQ(p.floats[2], -100.0f);
    for (int divisor : {0, -2}) {
        int list[] = {divisor};
        EXPECT_EQ(DecodeFilterParameters(0, GRAPH_FILTER_DOWN_SCALE, list, &p), -1) << divisor;
    }
    int three[] = {3};
    ASSERT_EQ(DecodeFilterParameters(0, GRAPH_FILTER_DOWN_SCALE, three, &p), 0);
    EXPECT_EQ(FilterOutputDivisor(0, GRAPH_FILTER_DOWN_SCALE, p), 4) << "the divisor used, not the one asked";
}

TEST(FilterOperationTest, ClippingShiftsPositionsAndKeepsTheFarCornerInStep)
{
    struct Case {
        const char *name;
        FilterRects in;
        int srcW, srcH, dstW, dstH, divisor;
        int left;
        FilterRects out;
    } cases[] = {
        {"inside", {2, 3, 10, 12, 0, 0, 2, 3}, 20, 20, 20, 20, 1, 1, {2, 3, 10, 12, 0, 0, 2, 3}},
        {"negative x shifts blend and dest", {-4, 0, 10, 5, 1, 1, 0, 0}, 20, 20, 20, 20, 1, 1,
         {0, 0, 10, 5, 5, 1, 4, 0}},
        {"negative dest shifts source and blend", {0, 0, 10, 5, 0, 0, -3, -2}, 20, 20, 20, 20, 1, 1,
         {3, 2, 10, 5, 3, 2, 0, 0}},
        {"limited by the destination", {0, 0, 16, 16, 0, 0, 10, 12}, 20, 20, 16, 16, 1, 1,
         {0, 0, 6, 4, 0, 0, 10, 12}},
        {"downscale limits by its divisor", {0, 0, 16, 16, 0, 0, 6, 0}, 16, 16, 8, 8, 4, 1,
         {0, 0, 8, 16, 0, 0, 6, 0}},
        {"beyond the source", {20, 0, 30, 5, 0, 0, 0, 0}, 20, 20, 20, 20, 1, 0, {}},
        {"beyond the destination", {0, 0, 5, 5, 0, 0, 20, 0}, 20, 20, 20, 20, 1, 0, {}},
        {"nothing left after the shift", {0, 0, 5, 5, 0, 0, -10, 0}, 20, 20, 20, 20, 1, 0, {}},
    };
    for (const Case &c : cases) {
        FilterRects r = c.in;
        ASSERT_EQ(ClipFilterRects(&r, c.srcW, c.srcH, c.dstW, c.dstH, c.divisor), c.left) << c.name;
        if (c.left == 0) continue;
        const int got[] = {r.x1, r.y1, r.x2, r.y2, r.blendX, r.blendY, r.destX, r.destY};
        const int want[] = {c.out.x1, c.out.y1, c.out.x2, c.out.y2, c.out.blendX, c.out.blendY, c.out.destX, c.out.destY};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << c.name << " field " << i;
    }
}

} // namespace
