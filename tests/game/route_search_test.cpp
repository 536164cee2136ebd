// Route search: fewest steps, ties broken up-right-down-left, the step rule,
// and targets that cannot be reached.
#include <gtest/gtest.h>

#include "game/route_search.h"
#include "tests/game/test_battle.h"

namespace {

// The route as letters, first step first.
std::string RouteText(const Character &unit)
{
    std::string text;
    for (auto step = unit.route.rbegin(); step != unit.route.rend(); ++step) {
        text += "URDL"[*step];
    }
    return text;
}

TEST(RouteSearch, StepsAndTies)
{
    struct Case {
        const char *name;
        std::vector<std::string> rows;
        int fromX, fromY, toX, toY;
        const char *route;  // "?" is the route the unit had before
    };
    const Case cases[] = {
        {"next cell", {"111"}, 0, 0, 1, 0, "R"},
        {"right before down", {"111", "111", "111"}, 0, 0, 1, 1, "RD"},
        {"up before left", {"111", "111", "111"}, 1, 1, 0, 0, "UL"},
        {"around a wall", {"161", "111"}, 0, 0, 2, 0, "DRRU"},
        {"start cell never tested", {"01"}, 0, 0, 1, 0, "R"},
        {"root may step from open ground onto cover", {"15"}, 0, 0, 1, 0, "R"},
        {"later steps may not", {"115"}, 0, 0, 2, 0, "?"},
        {"cover to open ground refused", {"151"}, 0, 0, 2, 0, "?"},
        {"root onto cover, then by concealment", {"151", "141"}, 0, 0, 2, 0, "RDRU"},
        {"walled-off target", {"1061"}, 0, 0, 3, 0, "?"},
        {"same cell", {"11"}, 1, 0, 1, 0, "?"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBattle test(c.rows);
        Character *unit = test.AddPlayer(kPlayerSearcher, c.fromX, c.fromY);
        unit->route = {kMoveLeft};  // shows as "?" when left alone
        SearchRoute(test.battle, c.fromX, c.fromY, c.toX, c.toY, unit);
        const std::string route = RouteText(*unit);
        EXPECT_EQ(c.route, route == "L" ? "?" : route);
    }
}

TEST(RouteSearch, NullUnitMeansTheSelectedOne)
{
    TestBattle test(FilledRows('1'));
    test.AddPlayer(kPlayerSearcher, 0, 0);
    Character *second = test.AddPlayer(kPlayerSearcher, 5, 5);
    test.battle->selectedUnit = 1;
    SearchRoute(test.battle, 5, 5, 5, 8, nullptr);
    EXPECT_EQ("DDD", RouteText(*second));
    EXPECT_TRUE(test.battle->playerUnits[0]->route.empty());
}

TEST(RouteSearch, WholeGrid)
{
    TestBattle open(FilledRows('1'));
    Character *unit = open.AddPlayer(kPlayerSearcher, 0, 0);
    SearchRoute(open.battle, 0, 0, 19, 14, unit);
    EXPECT_EQ(std::string(19, 'R') + std::string(14, 'D'), RouteText(*unit));

    // Every other cell reachable, the target boxed in: the search ends with the queue
    std::vector<std::string> rows = FilledRows('1');
    rows[13][19] = '6';
    rows[14][18] = '0';
    TestBattle boxed(rows);
    Character *walker = boxed.AddPlayer(kPlayerSearcher, 0, 0);
    SearchRoute(boxed.battle, 0, 0, 19, 14, walker);
    EXPECT_TRUE(walker->route.empty());
}

} // namespace
