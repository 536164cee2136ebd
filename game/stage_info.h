// The stage record and the list of stages the menu offers.
#pragma once

#include "game/map_data.h"

// One stage: its map, picture, briefing and battle limits.
struct StageInfo {
    const char *name;
    const char *mapFile;
    const char *pictureFile;
    MapData *map;
    const char *briefing;
    int troopPoints;
    int timeLimitFrames;
    int goalCount;
    int timeLimitSeconds;
};

static const int kStageCount = 1;
// The menu labels, by stage number.
extern const char *const StageLabels[kStageCount];
// The stage records, by stage number.
extern StageInfo *const StageList[kStageCount];
