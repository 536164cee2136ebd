// The battle's mouse input: the map, the retreat question and the deploy bar
// (left button), and sending the selected unit (right button).
#include "game/battle_sys.h"
#include "game/game_globals.h"
#include "game/route_search.h"
#include "korvo.h"

using namespace Korvo;

static const int kCellSize = 32;
static const int kMapWidth = 640;
static const int kMapHeight = 480;

// Only the 20x15 cells of the map: a cursor left of or above the window, or on
// the panel's and the deploy bar's edge, is no map click
static bool IsOnMap(int x, int y)
{
    return x >= 0 && x < kMapWidth && y >= 0 && y < kMapHeight;
}

void BattleSys::HandleBattleInput()
{
    UpdateMouseClicks();
    if (MouseClicked[kMouseLeft]) {
        HandleLeftClick();
    } else if (MouseClicked[kMouseRight]) {
        HandleRightClick();
    }
}

void BattleSys::HandleLeftClick()
{
    GetCursorClientPosition(&mouseX, &mouseY);
    if (IsOnMap(mouseX, mouseY)) {
        clickedCellX = mouseX / kCellSize;
        clickedCellY = mouseY / kCellSize;
        state = kBattleRunning;
        PickUnitAtMouse();
        return;
    }
    if (mouseY >= 444 && mouseY <= 472) {
        if (retreatConfirmation) {
            if (mouseX >= 722 && mouseX <= 794) {
                retreatConfirmation = false;
            } else if (mouseX >= 650 && mouseX <= 698) {
                state = kBattleLost;
            }
        } else if (mouseX >= 692 && mouseX <= 748) {
            retreatConfirmation = true;
        }
        return;
    }
    if (mouseY >= 490 && mouseY <= 590 && selectedDeployPoint != -1) {
        for (int k = 0; k < kDeployButtonCount; ++k) {
            if (mouseX < 10 + 90 * k || mouseX >= 90 + 90 * k) {
                continue;
            }
            JobData &job = Job(kPlayerSearcher + k);
            if (troopsLeft < job.cost) {
                return;
            }
            const CellPoint &cell = stage->map->deployPoints[static_cast<size_t>(selectedDeployPoint)];
            Character *unit = new Character(&job, cell.x, cell.y);
            troopsLeft -= job.cost;
            unit->alpha = 255;
            playerUnits.push_back(unit);
            selectedDeployPoint = -1;
            selectedUnit = static_cast<int>(playerUnits.size()) - 1;
            return;
        }
    }
}

void BattleSys::HandleRightClick()
{
    Character *unit = SelectedUnit();
    if (unit == nullptr) {
        selectedUnit = -1;
        selectedDeployPoint = -1;
        return;
    }
    GetCursorClientPosition(&mouseX, &mouseY);
    if (!IsOnMap(mouseX, mouseY)) {
        return;
    }
    clickedCellX = mouseX / kCellSize;
    clickedCellY = mouseY / kCellSize;
    if (IsWalkableCell(CellValueAt(*stage->map, clickedCellX, clickedCellY))) {
        SearchRoute(this, unit->cellX, unit->cellY, clickedCellX, clickedCellY, unit);
    }
}
