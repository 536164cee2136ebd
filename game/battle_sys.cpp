// The battle's life: set-up, the frame, the enemies' behaviour, the units'
// update and drawing, the result and the clean-up.
#include "game/battle_sys.h"

#include "game/game_globals.h"
#include "game/route_search.h"
#include "korvo.h"

using namespace Korvo;

static const int kResultFrames = 120;
static const int kCellSize = 32;
static const int kGoalBarWidth = 22;

// Where the six enemies start.
struct EnemyPlacement {
    int x;
    int y;
    int jobSlot;
    int aiMode;
    int facing;
    bool spotted;
};
static const EnemyPlacement kEnemyPlacements[] = {
    {11, 7, kEnemyAttaker, kAiHoldUntilHit, kMoveLeft, false},
    {17, 10, kEnemySearcher, kAiRandomWalk, kMoveDown, true},
    {5, 2, kEnemySearcher, kAiRandomWalk, kMoveLeft, true},
    {7, 3, kEnemyAttaker, kAiHold, kMoveUp, false},
    {14, 12, kEnemyAttaker, kAiHold, kMoveLeft, true},
    {18, 1, kEnemySearcher, kAiHold, kMoveDown, false},
};

// Cut each job's sheet (the enemy sheet for the enemies' jobs) and load the panel pictures
BattleSys::BattleSys()
    : mouseX(0), mouseY(0), stage(nullptr), state(kBattleWaiting), panelFrameGraph(-1), winGraph(-1),
      loseGraph(-1), resultCounter(0), selectedDeployPoint(-1), selectedUnit(-1), clickedCellX(0), clickedCellY(0),
      troopsLeft(0), timeLeft(0), goalsLeft(0), retreatConfirmation(false), routeSearchDone(false)
{
    for (int slot = 0; slot < kBattleJobCount; ++slot) {
        JobData &job = Job(slot);
        const char *sheet = slot < kEnemySearcher ? job.playerSheetFile : job.enemySheetFile;
        CreateDivGraphFromImageFile(sheet, kJobFrameCount, 3, 4, job.spriteWidth, job.spriteHeight, job.frameGraphs,
                                    0);
    }
    deployButtonGraphs[0] = CreateGraphFromImageFile("img/icon/button_searcher.png", 0);
    deployButtonGraphs[1] = CreateGraphFromImageFile("img/icon/button_attaker.png", 0);
    deployButtonGraphs[2] = CreateGraphFromImageFile("img/icon/button_taisen.png", 0);
    panelFrameGraph = CreateGraphFromImageFile("img/waku_metal.png", 0);
    winGraph = CreateGraphFromImageFile("img/win.png", 0);
    loseGraph = CreateGraphFromImageFile("img/lose.png", 0);
}

BattleSys::~BattleSys()
{
    DeleteAllUnits();
}

JobData &BattleSys::Job(int slot)
{
    JobData *jobs[kBattleJobCount] = {&playerSearcher, &playerAttaker, &playerBazooka, &enemySearcher,
                                      &enemyAttaker};
    return *jobs[slot];
}

Character *BattleSys::SelectedUnit()
{
    if (selectedUnit < 0 || selectedUnit >= static_cast<int>(playerUnits.size())) {
        return nullptr;
    }
    return playerUnits[static_cast<size_t>(selectedUnit)];
}

UnitList BattleSys::EnemyUnits() const
{
    return UnitList(enemies.begin(), enemies.end());
}

void BattleSys::ResetScene()
{
    state = kBattleWaiting;
    resultCounter = 0;
    selectedUnit = -1;
    selectedDeployPoint = -1;
    troopsLeft = stage->troopPoints;
    timeLeft = stage->timeLimitFrames;
    goalsLeft = stage->goalCount;
    retreatConfirmation = false;
    for (const EnemyPlacement &placement : kEnemyPlacements) {
        Enemy *enemy = new Enemy();
        enemy->BindJobAndCell(&Job(placement.jobSlot), placement.x, placement.y);
        enemy->aiMode = placement.aiMode;
        enemy->facing = placement.facing;
        enemy->spotted = placement.spotted;
        enemies.push_back(enemy);
    }
}

// Enemies without a route act by their mode
void BattleSys::RunEnemyBehaviour()
{
    const MapData &grid = *stage->map;
    for (Enemy *enemy : enemies) {
        if (!enemy->route.empty()) {
            continue;
        }
        if (enemy->aiMode == kAiRandomWalk) {
            int allowed[4];
            int count = 0;
            const int here = CellValueAt(grid, enemy->cellX, enemy->cellY);
            for (int direction = kMoveUp; direction <= kMoveLeft; ++direction) {
                const CellPoint next = NeighbourCell(enemy->cellX, enemy->cellY, direction);
                if (IsCellInGrid(grid, next.x, next.y) && IsStepAllowed(here, grid.grid[next.x][next.y])) {
                    allowed[count++] = direction;
                }
            }
            if (count > 0) {
                enemy->route.push_back(allowed[GetRandomUpTo(count - 1)]);
            }
        } else if (enemy->aiMode == kAiChaseUnit && !playerUnits.empty()) {
            const Character *target =
                playerUnits[static_cast<size_t>(GetRandomUpTo(static_cast<int>(playerUnits.size()) - 1))];
            SearchRoute(this, enemy->cellX, enemy->cellY, target->cellX, target->cellY, enemy);
        }
    }
}

// The clock runs from the first click on the map; running out of time is
// tested before the goals, so both in one frame lose
SceneCode BattleSys::RunSceneFrame()
{
    if (state == kBattleWaiting || state == kBattleRunning) {
        HandleBattleInput();
        RunEnemyBehaviour();
    }
    if (state == kBattleRunning) {
        --timeLeft;
    }
    DrawGraphAtPoint(0, 0, stage->map->background, 0);
    DrawBattlePanel();
    UpdateAndDrawUnits();
    if (timeLeft <= 0 && state == kBattleRunning) {
        state = kBattleLost;
    }
    if (goalsLeft <= 0 && state == kBattleRunning) {
        state = kBattleWon;
    }
    if (state == kBattleWon || state == kBattleLost) {
        DrawGraphAtPoint(0, 0, state == kBattleWon ? winGraph : loseGraph, 1);
        ++resultCounter;
    }
    if (resultCounter <= kResultFrames) {
        return kSceneBattle;
    }
    DeleteAllUnits();
    return kSceneSelect;
}

// Units update only while the battle runs (or waits for its first click)
void BattleSys::UpdateAndDrawUnits()
{
    const MapData &grid = *stage->map;
    const bool moving = state == kBattleWaiting || state == kBattleRunning;
    const UnitList enemyUnits = EnemyUnits();
    for (Character *unit : playerUnits) {
        if (moving) {
            unit->UpdateUnit(playerUnits, enemyUnits, grid);
        }
        if (unit->alive) {
            for (const CellPoint &goal : grid.goalPoints) {
                if (goal.x == unit->cellX && goal.y == unit->cellY) {
                    unit->alive = false;
                    --goalsLeft;
                    break;
                }
            }
        }
        unit->DrawUnit();
    }
    for (Enemy *enemy : enemies) {
        if (moving) {
            enemy->UpdateUnit(enemyUnits, playerUnits, grid);
        }
        enemy->DrawUnit();
    }
    if (goalsLeft < stage->goalCount && !grid.goalPoints.empty()) {
        const int gx = grid.goalPoints[0].x * kCellSize;
        const int gy = grid.goalPoints[0].y * kCellSize;
        DrawGraphAtPoint(gx + 2, gy, HpBarFrameGraph, 1);
        const int length = static_cast<int>(static_cast<float>(kGoalBarWidth) * static_cast<float>(goalsLeft) /
                                            static_cast<float>(stage->goalCount));
        DrawColorBox(gx + 3, gy + 1, gx + 3 + length, gy + 7, ColorBlue, 1);
    }
}

// A unit under the mouse, else the deploy point of the clicked cell
void BattleSys::PickUnitAtMouse()
{
    selectedUnit = -1;
    selectedDeployPoint = -1;
    for (size_t i = 0; i < playerUnits.size(); ++i) {
        const Character *unit = playerUnits[i];
        const int left = static_cast<int>(unit->x);
        const int top = static_cast<int>(unit->y);
        if (unit->alive && left < mouseX && mouseX < left + unit->job->spriteWidth && top < mouseY &&
            mouseY < top + unit->job->spriteHeight) {
            selectedUnit = static_cast<int>(i);
            return;
        }
    }
    const std::vector<CellPoint> &deploy = stage->map->deployPoints;
    for (size_t i = 0; i < deploy.size(); ++i) {
        if (deploy[i].x == clickedCellX && deploy[i].y == clickedCellY) {
            selectedDeployPoint = static_cast<int>(i);
            return;
        }
    }
}

// From the last entry to the first
void BattleSys::DeleteAllUnits()
{
    while (!playerUnits.empty()) {
        delete playerUnits.back();
        playerUnits.pop_back();
    }
    while (!enemies.empty()) {
        delete enemies.back();
        enemies.pop_back();
    }
}
