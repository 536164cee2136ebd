// The battle scene: deploy, select and send units; six enemies fight back.
#pragma once

#include <vector>

#include "game/character.h"
#include "game/draw_window.h"
#include "game/job_data.h"
#include "game/stage_info.h"

// Battle states.
enum BattleState { kBattleWaiting = 0, kBattleRunning = 1, kBattleWon = 2, kBattleLost = 3 };

// The jobs the battle holds, in order.
enum BattleJobSlot {
    kPlayerSearcher = 0,
    kPlayerAttaker = 1,
    kPlayerBazooka = 2,
    kEnemySearcher = 3,
    kEnemyAttaker = 4,
    kBattleJobCount = 5
};

static const int kDeployButtonCount = 3;

class BattleSys : public DrawWindow {
public:
    BattleSys();
    ~BattleSys() override;
    SceneCode RunSceneFrame() override;
    void ResetScene() override;

    void HandleBattleInput();
    void DrawBattlePanel();
    void UpdateAndDrawUnits();
    void PickUnitAtMouse();
    void DeleteAllUnits();

    // The selected player unit, or null
    Character *SelectedUnit();
    // The jobs by slot
    JobData &Job(int slot);
    // The enemies as a plain unit list
    UnitList EnemyUnits() const;

    int mouseX;
    int mouseY;
    StageInfo *stage;
    int state;
    Searcher playerSearcher;
    Attaker playerAttaker;
    Bazooka playerBazooka;
    Searcher enemySearcher;
    Attaker enemyAttaker;
    UnitList playerUnits;
    std::vector<Enemy *> enemies;
    int deployButtonGraphs[kDeployButtonCount];
    int panelFrameGraph;
    int winGraph;
    int loseGraph;
    int resultCounter;
    int selectedDeployPoint;
    int selectedUnit;
    int clickedCellX;
    int clickedCellY;
    int troopsLeft;
    int timeLeft;
    int goalsLeft;
    bool retreatConfirmation;
    bool routeSearchDone;

private:
    void RunEnemyBehaviour();
    void HandleLeftClick();
    void HandleRightClick();
    void DrawSelectedUnitPanel(Character &unit);
    BattleSys(const BattleSys &);
    BattleSys &operator=(const BattleSys &);
};
