// The game's one stage.
#include "game/stage_info.h"

static StageInfo StageOne = {
    "物資強奪作戦",
    "map/map01.txt",
    "img/map/map1.png",
    nullptr,
    "孤立した敵部隊を発見した。速やかにこれを強襲し敵物資を鹵獲せよ。\n予想敵戦力： 偵察兵, 突撃兵\n制限時間：１５０秒 自軍戦力：１００",
    100,
    9000,
    3,
    150,
};

const char *const StageLabels[kStageCount] = {"ステージ1"};
StageInfo *const StageList[kStageCount] = {&StageOne};
