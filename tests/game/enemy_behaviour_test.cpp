// The enemies: where the six start, and what each behaviour mode does with an
// empty route.
#include <gtest/gtest.h>

#include "tests/game/test_battle.h"

namespace {

TEST(Enemies, StartOnTheirCells)
{
    TestBattle test(FilledRows('1'));
    test.battle->ResetScene();
    const int expected[6][4] = {{11, 7, 2, 3}, {17, 10, 0, 2}, {5, 2, 0, 3}, {7, 3, 3, 0}, {14, 12, 3, 3}, {18, 1, 3, 2}};
    ASSERT_EQ(6u, test.battle->enemies.size());
    for (int i = 0; i < 6; ++i) {
        const Enemy &enemy = *test.battle->enemies[static_cast<size_t>(i)];
        EXPECT_EQ(expected[i][0], enemy.cellX);
        EXPECT_EQ(expected[i][1], enemy.cellY);
        EXPECT_EQ(expected[i][2], enemy.aiMode);
        EXPECT_EQ(expected[i][3], enemy.facing);
    }
    // A random walker steps where the random number points (up, right, down, left)
    Fake.randomValues = {2};
    test.battle->RunSceneFrame();
    EXPECT_EQ(11, test.battle->enemies[1]->cellY);
}

// One enemy at (5, 5) with an empty route; the battle's frame carries out its
// mode, and the step it starts moves it into the next cell at once.
TEST(Enemies, BehaviourModes)
{
    struct Case {
        const char *name;
        int mode;
        std::vector<std::string> rows;
        std::vector<int> random;         // scripted draws, each inside its bound
        std::vector<CellPoint> players;  // player units, standing still
        CellPoint cell;                  // the enemy's cell after one frame
        size_t routeLeft;
    };
    std::vector<std::string> walled = FilledRows('1');
    walled[4][5] = '0';  // up is blocked
    walled[5][6] = '5';  // open ground never steps into cover
    const Case cases[] = {
        {"random walk, third of four steps", kAiRandomWalk, FilledRows('1'), {2}, {}, {5, 6}, 0},
        {"random walk, only allowed steps count", kAiRandomWalk, walled, {1}, {}, {4, 5}, 0},
        {"random walk, no step allowed", kAiRandomWalk, FilledRows('0'), {}, {}, {5, 5}, 0},
        {"chase the second of two units", kAiChaseUnit, FilledRows('1'), {1}, {{5, 0}, {9, 5}}, {6, 5}, 3},
        {"chase with no player units", kAiChaseUnit, FilledRows('1'), {}, {}, {5, 5}, 0},
        {"hold until hit", kAiHoldUntilHit, FilledRows('1'), {}, {}, {5, 5}, 0},
        {"hold", kAiHold, FilledRows('1'), {}, {}, {5, 5}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBattle test(c.rows);
        Enemy *enemy = test.AddEnemy(kEnemyAttaker, 5, 5);
        enemy->aiMode = c.mode;
        for (const CellPoint &cell : c.players) {
            test.AddPlayer(kPlayerBazooka, cell.x, cell.y)->alive = false;  // neither fires nor blocks
        }
        Fake.randomValues.assign(c.random.begin(), c.random.end());
        test.battle->RunSceneFrame();
        EXPECT_TRUE(Fake.randomValues.empty()) << "every scripted draw taken";
        EXPECT_EQ(c.cell.x, enemy->cellX);
        EXPECT_EQ(c.cell.y, enemy->cellY);
        EXPECT_EQ(c.routeLeft, enemy->route.size());
    }
}

TEST(Enemies, HoldingUntilHitWalksOnceHit)
{
    struct Case {
        int mode;
        int modeAfterHit;
    };
    const Case cases[] = {{kAiHoldUntilHit, kAiRandomWalk}, {kAiHold, kAiHold}, {kAiChaseUnit, kAiChaseUnit}};
    for (const Case &c : cases) {
        TestBattle test(FilledRows('1'));
        Enemy *enemy = test.AddEnemy(kEnemyAttaker, 5, 5);
        enemy->aiMode = c.mode;
        enemy->TakeHit(&test.battle->Job(kPlayerSearcher), test.map);
        EXPECT_EQ(c.modeAfterHit, enemy->aiMode) << "mode " << c.mode;
    }
}

} // namespace
