// The battle's right panel and deploy bar: clock, troops, the selected unit's
// values, the retreat question and the deploy buttons.
#include <string>

#include "game/battle_sys.h"
#include "game/game_globals.h"
#include "game/text_helpers.h"
#include "korvo.h"

using namespace Korvo;

static const int kPanelTextX = 650;
static const int kFramesPerSecond = 60;

void BattleSys::DrawBattlePanel()
{
    int size = 18;
    SetStandardFontPixelSize(size);
    DrawTextWithStandardFont(kPanelTextX, 50, "残り時間：", ColorBlack, 0);
    DrawTextWithStandardFont(kPanelTextX + 5 * size, 50, IntToString(timeLeft / kFramesPerSecond).c_str(), ColorBlack,
                             0);
    DrawTextWithStandardFont(kPanelTextX, 80, "残り兵力：", ColorBlack, 0);
    DrawTextWithStandardFont(kPanelTextX + 5 * size, 80, IntToString(troopsLeft).c_str(), ColorBlack, 0);

    DrawGraphAtPoint(640, 150, panelFrameGraph, 1);

    Character *unit = SelectedUnit();
    if (unit == nullptr) {
        SetStandardFontPixelSize(14);
        DrawMultiLineText("左クリック:\n選択・決定\n右クリック:\n移動先の指定", kPanelTextX, 186, ColorBlack);
    } else {
        DrawSelectedUnitPanel(*unit);
    }

    SetStandardFontPixelSize(28);
    if (retreatConfirmation) {
        SetStandardFontPixelSize(14);
        DrawMultiLineText("本当に撤退しますか？", 640, 416, ColorBlack);
        SetStandardFontPixelSize(24);
        DrawMultiLineText("はい", 650, 444, ColorBlack);
        DrawMultiLineText("いいえ", 722, 444, ColorBlack);
    } else {
        DrawMultiLineText("撤退", 692, 444, ColorBlack);
    }

    for (int k = 0; k < kDeployButtonCount; ++k) {
        DrawGraphAtPoint(10 + 90 * k, 490, deployButtonGraphs[k], 0);
        if (selectedDeployPoint == -1) {
            SetBlendModeAndParam(1, 128);
            DrawColorBox(10 + 90 * k, 490, 90 + 90 * k, 590, ColorBlack, 1);
            SetBlendModeAndParam(0, 0);
        }
    }
}

// Route and circles, then the unit's picture and values
void BattleSys::DrawSelectedUnitPanel(Character &unit)
{
    unit.DrawRouteAndRanges();
    if (!unit.alive) {
        return;
    }
    const JobData &job = *unit.job;
    SetStandardFontPixelSize(18);
    DrawGraphAtPoint(kPanelTextX, 186, job.frameGraphs[7], 1);
    const int top = job.spriteHeight;
    const std::string lines[] = {
        "HP:" + IntToString(unit.hp) + "/" + IntToString(job.maxHp),
        "攻撃力:" + IntToString(job.attack),
        "攻撃間隔" + IntToString(static_cast<int>(job.attackInterval)),
        "装甲:" + IntToString(static_cast<int>(job.armour)),
        "索敵範囲:" + IntToString(job.searchRange),
        "攻撃範囲:" + IntToString(job.attackRange),
    };
    for (int i = 0; i < 6; ++i) {
        DrawMultiLineText(lines[i].c_str(), kPanelTextX, top + 194 + 18 * i, ColorBlack);
    }
}
