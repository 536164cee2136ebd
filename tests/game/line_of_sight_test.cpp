// Line of sight across walls and cover.
#include <gtest/gtest.h>

#include "game/line_of_sight.h"
#include "tests/game/test_battle.h"

namespace {

TEST(LineOfSight, WallsAndCover)
{
    struct Case {
        const char *name;
        std::vector<std::string> rows;
        int ax, ay, bx, by;
        bool seesAtoB;
        bool seesBtoA;
    };
    const Case cases[] = {
        {"same cell", {"6"}, 0, 0, 0, 0, true, true},
        {"wall between", {"161"}, 0, 0, 2, 0, false, false},
        {"wall outside the box", {"111", "666"}, 0, 0, 2, 0, true, true},
        {"wall on the diagonal", {"111", "161", "111"}, 0, 0, 2, 2, false, false},
        {"the far corner cell is left out", {"11", "16"}, 0, 0, 1, 1, true, true},
        {"order matters", {"111", "161"}, 0, 0, 2, 1, false, true},
        {"cover between open ground and concealment", {"154"}, 0, 0, 2, 0, false, false},
        {"cover between two on open ground", {"151"}, 0, 0, 2, 0, true, true},
        {"cover between two on concealment", {"454"}, 0, 0, 2, 0, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBattle test(c.rows);
        Character *a = test.AddPlayer(kPlayerSearcher, c.ax, c.ay);
        Character *b = test.AddPlayer(kPlayerSearcher, c.bx, c.by);
        EXPECT_EQ(c.seesAtoB, HasLineOfSight(*a, *b, test.map));
        EXPECT_EQ(c.seesBtoA, HasLineOfSight(*b, *a, test.map));
    }
}

TEST(LineOfSight, SegmentTests)
{
    struct Case {
        int p1x, p1y, p2x, p2y, q1x, q1y, q2x, q2y;
        bool meet;
    };
    const Case cases[] = {
        {0, 0, 10, 0, 5, -5, 5, 5, true},    // crossing
        {0, 0, 10, 0, 10, -5, 10, 5, true},  // touching an end
        {0, 0, 10, 0, 11, -5, 11, 5, false}, // just past the end
        {0, 0, 10, 0, 0, 0, 10, 0, false},   // along the edge: parallel
        {0, 0, 10, 0, 0, 1, 10, 1, false},   // parallel apart
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.meet, SegmentsIntersect(c.p1x, c.p1y, c.p2x, c.p2y, c.q1x, c.q1y, c.q2x, c.q2y));
    }
    // Only a corner of the square: blocked.
    EXPECT_TRUE(SegmentHitsCell(32, 32, 0, 64, 32, 32));
    EXPECT_TRUE(SegmentHitsCell(32, 32, 0, 0, 100, 100));
    EXPECT_FALSE(SegmentHitsCell(32, 32, 0, 0, 100, 0));
}

} // namespace
