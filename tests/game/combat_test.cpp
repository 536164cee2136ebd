// Units fighting and moving: damage, fire intervals, step times, spotting and
// the fading of unseen enemies.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "korvo.h"

#include "tests/game/test_battle.h"

#include <new>

// The next non-throwing array allocation of this many bytes fails (0: none).
static size_t RefusedArrayNewBytes = 0;

void *operator new[](std::size_t bytes, const std::nothrow_t &) noexcept
{
    if (bytes != 0 && bytes == RefusedArrayNewBytes) {
        RefusedArrayNewBytes = 0;
        return nullptr;
    }
    try {
        return ::operator new[](bytes);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

namespace {

TEST(Combat, DamagePerHitWithAndWithoutCover)
{
    struct Case {
        int attacker, target, open, cover;
    };
    const Case cases[] = {
        {kPlayerSearcher, kPlayerSearcher, 5, 4}, {kPlayerAttaker, kPlayerSearcher, 4, 3},
        {kPlayerBazooka, kPlayerSearcher, 79, 78}, {kPlayerSearcher, kPlayerAttaker, 4, 3},
        {kPlayerSearcher, kPlayerBazooka, 3, 0},   {kPlayerAttaker, kPlayerBazooka, 2, 0},
        {kPlayerBazooka, kPlayerBazooka, 77, 74},
    };
    for (const Case &c : cases) {
        TestBattle test({"15"});
        Character *open = test.AddPlayer(c.target, 0, 0);
        Character *covered = test.AddPlayer(c.target, 1, 0);
        const JobData &attacker = test.battle->Job(c.attacker);
        EXPECT_EQ(c.open, open->TakeHit(&attacker, test.map)) << c.attacker << " -> " << c.target;
        EXPECT_EQ(c.cover, covered->TakeHit(&attacker, test.map)) << c.attacker << " -> " << c.target;
        EXPECT_EQ(open->job->maxHp - c.open, open->hp);
    }
}

TEST(Combat, FireIntervals)
{
    struct Case {
        int job;
        int interval;
    };
    const Case cases[] = {{kPlayerSearcher, 12}, {kPlayerAttaker, 8}, {kPlayerBazooka, 240}};
    for (const Case &c : cases) {
        TestBattle test(FilledRows('1'));
        Character *shooter = test.AddPlayer(c.job, 5, 5);
        Enemy *target = test.AddEnemy(kEnemyAttaker, 6, 5);
        target->hp = 1000000;
        target->spotted = true;
        const UnitList opponents = test.battle->EnemyUnits();
        std::vector<int> shots;
        for (int frame = 0; frame < 3 * c.interval + 1; ++frame) {
            const int before = target->hp;
            shooter->AttackNearestTarget(opponents, test.map);
            if (target->hp != before) {
                shots.push_back(frame);
            }
        }
        EXPECT_EQ((std::vector<int>{0, c.interval, 2 * c.interval, 3 * c.interval}), shots) << c.job;
        EXPECT_EQ(4u, target->effects.entries.size());
    }
}

TEST(Combat, NearestTargetFirstOfEquals)
{
    TestBattle test(FilledRows('1'));
    Character *shooter = test.AddPlayer(kPlayerSearcher, 5, 5);
    Enemy *left = test.AddEnemy(kEnemyAttaker, 4, 5);
    Enemy *right = test.AddEnemy(kEnemyAttaker, 6, 5);
    Enemy *unseen = test.AddEnemy(kEnemyAttaker, 5, 6);
    left->spotted = right->spotted = true;
    unseen->spotted = false;
    shooter->AttackNearestTarget(test.battle->EnemyUnits(), test.map);
    EXPECT_LT(left->hp, left->job->maxHp);
    EXPECT_EQ(right->job->maxHp, right->hp);
    EXPECT_EQ(unseen->job->maxHp, unseen->hp);
}

TEST(Movement, StepTimes)
{
    struct Case {
        int job;
        int frames;
    };
    // Single-precision speeds: 0.8 leaves a sliver of the cell for a 41st frame.
    const Case cases[] = {{kPlayerSearcher, 41}, {kPlayerAttaker, 54}, {kPlayerBazooka, 107}};
    for (const Case &c : cases) {
        TestBattle test(FilledRows('1'));
        Character *unit = test.AddPlayer(c.job, 5, 5);
        unit->route = {kMoveRight};
        int frames = 0;
        do {
            unit->StepAlongRoute(test.battle->playerUnits, UnitList());
            ++frames;
            EXPECT_EQ(6, unit->cellX);  // the cell changes in the first frame
        } while (unit->stepRemaining > 0.0f && frames < 1000);
        EXPECT_EQ(c.frames, frames) << c.job;
        EXPECT_EQ(6 * 32 + 4, static_cast<int>(unit->x));
    }
}

TEST(Movement, OnlyAnAliveOpponentOnTheNextCellBlocks)
{
    TestBattle test(FilledRows('1'));
    Character *unit = test.AddPlayer(kPlayerSearcher, 5, 5);
    test.AddPlayer(kPlayerSearcher, 6, 6);
    Enemy *enemy = test.AddEnemy(kEnemySearcher, 6, 5);
    unit->route = {kMoveRight};
    unit->StepAlongRoute(test.battle->playerUnits, test.battle->EnemyUnits());
    EXPECT_EQ(kMoveRight, unit->facing);
    EXPECT_EQ(1u, unit->route.size());
    EXPECT_EQ(5, unit->cellX);
    enemy->alive = false;  // a dead opponent stays in its list and on its cell
    unit->StepAlongRoute(test.battle->playerUnits, test.battle->EnemyUnits());
    EXPECT_EQ(6, unit->cellX);
    EXPECT_TRUE(unit->route.empty());
    while (unit->stepRemaining > 0.0f) {
        unit->StepAlongRoute(test.battle->playerUnits, test.battle->EnemyUnits());
    }
    unit->route = {kMoveDown};  // own units never block
    unit->StepAlongRoute(test.battle->playerUnits, test.battle->EnemyUnits());
    EXPECT_EQ(6, unit->cellY);
}

// Three cells apart (96 pixels): beyond a Searcher's 90, inside 90 x 1.2. The
// multiplier a frame sets is the one the next frame fires with.
TEST(Combat, PlayerUnitsOnCoverReachFurther)
{
    struct Case {
        const char *name;
        char shooterCell;
        bool enemyShoots;
        bool hits;
    };
    const Case cases[] = {
        {"player on cover", '5', false, true},
        {"player on open ground", '1', false, false},
        {"enemy on cover", '5', true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBattle test({std::string(1, c.shooterCell) + "444"});
        Character *player = test.AddPlayer(kPlayerSearcher, c.enemyShoots ? 3 : 0, 0);
        Enemy *enemy = test.AddEnemy(kEnemySearcher, c.enemyShoots ? 0 : 3, 0);
        Character *shooter = c.enemyShoots ? static_cast<Character *>(enemy) : player;
        Character *target = c.enemyShoots ? player : static_cast<Character *>(enemy);
        const UnitList own = c.enemyShoots ? test.battle->EnemyUnits() : test.battle->playerUnits;
        const UnitList opponents = c.enemyShoots ? test.battle->playerUnits : test.battle->EnemyUnits();
        for (int frame = 0; frame < 2; ++frame) {
            target->spotted = true;
            shooter->UpdateUnit(own, opponents, test.map);
        }
        EXPECT_EQ(c.hits, target->hp < target->job->maxHp);
        EXPECT_FLOAT_EQ(c.hits ? 1.2f : 1.0f, shooter->rangeMultiplier);
    }
}

// A job whose hit effect could not be made still fires; its hits run no effect.
TEST(Combat, HitWithoutAHitEffect)
{
    TestBattle test(FilledRows('1'));
    JobData &job = test.battle->Job(kPlayerSearcher);
    delete job.hitEffect;
    job.hitEffect = nullptr;
    Character *shooter = test.AddPlayer(kPlayerSearcher, 5, 5);
    Enemy *target = test.AddEnemy(kEnemyAttaker, 6, 5);
    target->spotted = true;
    shooter->AttackNearestTarget(test.battle->EnemyUnits(), test.map);
    EXPECT_LT(target->hp, target->job->maxHp);
    EXPECT_TRUE(target->effects.entries.empty());
    target->DrawUnit();
    EXPECT_EQ(0, Fake.soundStarts);
}

// A job whose hit effect has no memory for its frame table drops the effect
// whole, as when the effect itself could not be allocated.
TEST(Combat, JobWithoutRoomForItsHitEffectFramesHasNoHitEffect)
{
    ResetFakeLibrary();
    RefusedArrayNewBytes = 10 * sizeof(int);
    Searcher job;
    EXPECT_EQ(0u, RefusedArrayNewBytes) << "the frame table was asked for without throwing";
    EXPECT_EQ(nullptr, job.hitEffect);
}

TEST(Spotting, OpenGroundConcealmentAndCover)
{
    struct Case {
        const char *name;
        std::vector<std::string> rows;  // player at (0,0), enemy at (1,0)
        bool enemySpotted;
        bool playerSpotted;
    };
    const Case cases[] = {
        {"side by side", {"44"}, true, true},
        {"enemy on open ground", {"61"}, true, false},
        {"player on cover cannot see into concealment", {"54"}, false, true},
        {"enemy on cover cannot see into concealment", {"45"}, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBattle test(c.rows);
        Character *player = test.AddPlayer(kPlayerSearcher, 0, 0);
        Enemy *enemy = test.AddEnemy(kEnemySearcher, 1, 0);
        enemy->UpdateSpotted(test.battle->playerUnits, test.map);
        player->UpdateSpotted(test.battle->EnemyUnits(), test.map);
        EXPECT_EQ(c.enemySpotted, enemy->spotted);
        EXPECT_EQ(c.playerSpotted, player->spotted);
    }
    // Beyond every search range, open ground still shows the enemy
    TestBattle far(FilledRows('1'));
    far.AddPlayer(kPlayerSearcher, 0, 0);
    Enemy *enemy = far.AddEnemy(kEnemySearcher, 19, 14);
    enemy->UpdateSpotted(far.battle->playerUnits, far.map);
    EXPECT_TRUE(enemy->spotted);
}

TEST(Spotting, UnseenEnemyFadesIn51Frames)
{
    TestBattle test(FilledRows('4'));
    Enemy *enemy = test.AddEnemy(kEnemySearcher, 3, 3);
    enemy->spotted = true;
    enemy->DrawUnit();
    EXPECT_EQ(255, enemy->alpha);
    enemy->spotted = false;
    int frames = 0;
    while (enemy->alpha > 0 && frames < 1000) {
        enemy->DrawUnit();
        ++frames;
    }
    EXPECT_EQ(51, frames);
    EXPECT_EQ(0, Fake.draws.back().blendParam);  // drawn at alpha 0 from then on
}

TEST(Effects, TwoHitsRunSideBySideForTenFrames)
{
    TestBattle test(FilledRows('1'));
    Character *unit = test.AddPlayer(kPlayerSearcher, 2, 2);
    Effect *effect = test.battle->Job(kPlayerSearcher).hitEffect;
    AddEffect(effect, unit->effects);
    AddEffect(effect, unit->effects);
    Fake.randomValues = {8, -15};
    int bulletDraws = 0;
    for (int frame = 0; frame < 12; ++frame) {
        Fake.draws.clear();
        unit->DrawUnit();
        for (const RecordedDraw &draw : Fake.draws) {
            if (draw.what.rfind("img/effect/bullet.png#", 0) == 0) {
                EXPECT_EQ("img/effect/bullet.png#" + std::to_string(frame), draw.what);
                EXPECT_EQ(2, draw.blendMode);
                ++bulletDraws;
            }
        }
        if (frame == 0) {
            EXPECT_EQ(2, Fake.soundStarts);
            EXPECT_EQ(2 * 32 + 4 - 4 + 8, Fake.draws[1].x);
            EXPECT_EQ(2 * 32 + 8 - 15, Fake.draws[1].y);
        }
    }
    EXPECT_EQ(20, bulletDraws);
    EXPECT_TRUE(unit->effects.entries.empty());
}

// The stand-in gives a scripted number only where the library could: an effect
// jitter drawn with the wrong sign fails instead of passing.
TEST(FakeLibrary, RandomNumbersStayInsideTheirBound)
{
    struct Case {
        int bound;
        int scripted;
        bool possible;
    };
    const Case cases[] = {{8, 8, true},   {8, 9, false},  {8, -1, false},  {0, 0, true},  {0, 1, false},
                          {-16, -15, true}, {-16, 0, true}, {-16, -16, false}, {-16, 3, false}, {-1, 0, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "bound " << c.bound << ", scripted " << c.scripted);
        ResetFakeLibrary();
        Fake.randomValues = {c.scripted};
        int got = 0;
        if (c.possible) {
            got = Korvo::GetRandomUpTo(c.bound);
            EXPECT_EQ(c.scripted, got);
        } else {
            EXPECT_NONFATAL_FAILURE(got = Korvo::GetRandomUpTo(c.bound), "cannot give");
            EXPECT_LE(c.bound >= 0 ? 0 : c.bound + 1, got);
            EXPECT_GE(c.bound >= 0 ? c.bound : 0, got);
        }
    }
}

} // namespace
