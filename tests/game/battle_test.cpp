// The battle scene: the clock, the result, the deploy bar and map clicks.
#include <gtest/gtest.h>

#include "game/game_globals.h"
#include "tests/game/test_battle.h"

namespace {

// One left or right click at (x, y) as the battle sees it in its next frame.
void ClickNextFrame(int button, int x, int y)
{
    Fake.cursorX = x;
    Fake.cursorY = y;
    Fake.mouseMask = 0;
    MouseClicked[button] = 0;
    MouseHoldFrames[button] = 1;
}

std::vector<std::string> DeployMap()
{
    std::vector<std::string> rows = FilledRows('1');
    rows[14] = "21130000000000000000";
    return rows;
}

TEST(Battle, ClockRunsFromTheFirstMapClickAndEndsIn150Seconds)
{
    TestBattle test(DeployMap());
    test.battle->ResetScene();
    for (int frame = 0; frame < 10; ++frame) {
        test.battle->RunSceneFrame();
    }
    EXPECT_EQ(9000, test.battle->timeLeft);
    EXPECT_TRUE(DrewAt("150", 740, 50));
    ClickNextFrame(kMouseLeft, 300, 100);
    int frames = 0;
    while (test.battle->state == kBattleRunning || frames == 0) {
        Fake.draws.clear();
        test.battle->RunSceneFrame();
        ++frames;
        ASSERT_LT(frames, 10000);
        if (test.battle->timeLeft == 59) {
            EXPECT_TRUE(DrewAt("0", 740, 50));
        }
    }
    EXPECT_EQ(9000, frames);
    EXPECT_EQ(kBattleLost, test.battle->state);
    EXPECT_EQ(1, CountDraws("img/lose.png"));
    // The result shows for 121 frames in all; in the last the units go
    for (int frame = 1; frame < 120; ++frame) {
        EXPECT_EQ(kSceneBattle, test.battle->RunSceneFrame());
    }
    EXPECT_EQ(kSceneSelect, test.battle->RunSceneFrame());
    EXPECT_TRUE(test.battle->enemies.empty());
}

TEST(Battle, TimeRunningOutBeatsTheLastGoal)
{
    TestBattle test(DeployMap());
    test.battle->ResetScene();
    test.battle->state = kBattleRunning;
    test.battle->timeLeft = 1;
    test.battle->goalsLeft = 1;
    test.AddPlayer(kPlayerSearcher, 3, 14);  // on the goal
    test.battle->RunSceneFrame();
    EXPECT_EQ(0, test.battle->goalsLeft);
    EXPECT_EQ(kBattleLost, test.battle->state);
}

TEST(Battle, DeployBarAndTroops)
{
    struct Case {
        int x;
        std::vector<int> clicks;  // more x positions after the first
        int troopsLeft;
        size_t units;
    };
    const Case cases[] = {
        {10, {}, 90, 1},   {89, {}, 90, 1},  {95, {}, 100, 0}, {100, {}, 75, 1},
        {189, {}, 100, 0}, {190, {}, 60, 1}, {269, {}, 60, 1},  {270, {}, 100, 0},
        {50, {50, 50, 50, 50, 50, 50, 50, 50, 50}, 0, 10},
        {120, {120, 120, 120, 120}, 0, 4},
        {200, {200, 50, 50, 50}, 0, 4},
    };
    for (const Case &c : cases) {
        TestBattle test(DeployMap());
        test.battle->ResetScene();
        std::vector<int> xs = {c.x};
        xs.insert(xs.end(), c.clicks.begin(), c.clicks.end());
        for (int x : xs) {
            ClickNextFrame(kMouseLeft, 2, 14 * 32 + 2);  // the deploy cell, beside any sprite
            test.battle->RunSceneFrame();
            ClickNextFrame(kMouseLeft, x, 540);
            test.battle->RunSceneFrame();
        }
        EXPECT_EQ(c.troopsLeft, test.battle->troopsLeft) << c.x;
        EXPECT_EQ(c.units, test.battle->playerUnits.size()) << c.x;
    }
}

TEST(Battle, MapClicksStayInsideTheGrid)
{
    struct Case {
        int x, y;
        bool starts;
        int cellX, cellY;
    };
    const Case cases[] = {
        {0, 0, true, 0, 0},     {639, 479, true, 19, 14}, {640, 100, false, 0, 0},
        {100, 480, false, 0, 0}, {-5, 100, false, 0, 0},   {100, -1, false, 0, 0},
    };
    for (const Case &c : cases) {
        TestBattle test(DeployMap());
        test.battle->ResetScene();
        test.battle->selectedDeployPoint = 0;
        ClickNextFrame(kMouseLeft, c.x, c.y);
        test.battle->RunSceneFrame();
        EXPECT_EQ(c.starts, test.battle->state == kBattleRunning) << c.x << "," << c.y;
        EXPECT_EQ(c.starts ? -1 : 0, test.battle->selectedDeployPoint) << c.x << "," << c.y;
        EXPECT_EQ(c.cellX, test.battle->clickedCellX);
        EXPECT_EQ(c.cellY, test.battle->clickedCellY);
    }
}

TEST(Battle, RightClickSendsOnlyToWalkableMapCells)
{
    struct Case {
        int x, y;
        size_t steps;
    };
    // The first step starts in the frame of the click
    const Case cases[] = {{3 * 32 + 5, 14 * 32 + 5, 2}, {5 * 32, 14 * 32, 0}, {-20, 14 * 32 + 5, 0},
                          {700, 14 * 32 + 5, 0}};
    for (const Case &c : cases) {
        TestBattle test(DeployMap());
        test.battle->ResetScene();
        test.AddPlayer(kPlayerSearcher, 0, 14);
        test.battle->selectedUnit = 0;
        ClickNextFrame(kMouseRight, c.x, c.y);
        test.battle->RunSceneFrame();
        EXPECT_EQ(c.steps, test.battle->playerUnits[0]->route.size()) << c.x;
    }
    // Without a selected unit a right click clears the deploy selection
    TestBattle test(DeployMap());
    test.battle->ResetScene();
    test.battle->selectedDeployPoint = 0;
    ClickNextFrame(kMouseRight, 10, 10);
    test.battle->RunSceneFrame();
    EXPECT_EQ(-1, test.battle->selectedDeployPoint);
}

TEST(Battle, RetreatQuestion)
{
    struct Case {
        std::vector<int> xs;  // clicks on the retreat row, in order
        bool asking;
        int state;
    };
    const Case cases[] = {{{700}, true, kBattleWaiting}, {{700, 760}, false, kBattleWaiting},
                          {{700, 660}, true, kBattleLost}, {{660}, false, kBattleWaiting}};
    for (const Case &c : cases) {
        TestBattle test(DeployMap());
        test.battle->ResetScene();
        for (int x : c.xs) {
            ClickNextFrame(kMouseLeft, x, 450);
            test.battle->RunSceneFrame();
        }
        EXPECT_EQ(c.asking, test.battle->retreatConfirmation);
        EXPECT_EQ(c.state, test.battle->state);
    }
}

} // namespace
