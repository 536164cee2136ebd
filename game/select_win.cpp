// The stage menu: a stage list on the right, the briefing over the map picture,
// the launch button and the launch picture.
#include "game/select_win.h"

#include <cstdio>

#include "game/game_globals.h"
#include "game/stage_info.h"
#include "game/text_helpers.h"
#include "korvo.h"

using namespace Korvo;

static const int kListLeft = 640;
static const int kListRight = 800;
static const int kRowTop = 100;
static const int kRowHeight = 50;
static const int kLaunchTop = 400;
static const int kLaunchBottom = 450;
static const int kLaunchFrames = 60;

SelectWin::SelectWin(int colour)
    : mouseX(0), mouseY(0), selected(-1), cursorGraph(CreateGraphFromImageFile("img/cursor.png", 0)),
      launchGraph(CreateGraphFromImageFile("img/syutugeki.png", 0)), previewGraph(-1), launchCounter(0),
      textColour(colour), map(new MapData()), state(kSelectIdle)
{
}

SelectWin::~SelectWin()
{
    delete map;
}

void SelectWin::ResetScene()
{
    DestroyGraphHandle(previewGraph, 0);
    previewGraph = -1;
    state = kSelectIdle;
    mouseX = 0;
    mouseY = 0;
    selected = -1;
    launchCounter = 0;
}

// The stage row picks the stage; the launch button reads its map and launches,
// with the grid the map already has when its file cannot be read.
void SelectWin::HandleMenuClick()
{
    GetCursorClientPosition(&mouseX, &mouseY);
    const int previous = selected;
    if (mouseX < kListLeft || mouseX > kListRight) {
        return;
    }
    if (mouseY >= kRowTop && (mouseY - kRowTop) / kRowHeight == 0) {
        selected = 0;
        state = kSelectPicked;
        if (previous != 0) {
            DestroyGraphHandle(previewGraph, 0);
            previewGraph = CreateGraphFromImageFile(StageList[selected]->pictureFile, 0);
        }
    }
    if (state == kSelectPicked && mouseY >= kLaunchTop && mouseY <= kLaunchBottom) {
        StageInfo *stage = StageList[selected];
        stage->map = map;
        ReadMapFile(*map, stage->mapFile);
        map->background = previewGraph;
        state = kSelectLaunching;
    }
}

SceneCode SelectWin::RunSceneFrame()
{
    if (state != kSelectLaunching) {
        UpdateMouseClicks();
        if (MouseClicked[kMouseLeft]) {
            HandleMenuClick();
        }
    }

    const int black = PackScreenColor(0, 0, 0);
    SetStandardFontPixelSize(30);
    DrawTextWithStandardFont(645, 110, StageLabels[0], black, 0);
    if (state != kSelectIdle) {
        DrawGraphAtPoint(645, selected * kRowHeight + kRowTop, cursorGraph, 1);
        DrawBriefing();
        SetStandardFontPixelSize(30);
        DrawTextWithStandardFont(645, 410, "作戦開始", textColour, 0);
    }
    if (state == kSelectLaunching) {
        DrawGraphAtPoint(200, 225, launchGraph, 1);
        ++launchCounter;
        if (launchCounter > kLaunchFrames) {
            return kSceneBattle;
        }
    }
    return kSceneSelect;
}

void SelectWin::DrawBriefing()
{
    const StageInfo *stage = StageList[selected];
    DrawGraphAtPoint(0, 0, previewGraph, 0);
    SetStandardFontPixelSize(22);
    char title[256];
    std::snprintf(title, sizeof title, "作戦名:%s", stage->name);
    DrawTextWithStandardFont(5, 485, title, textColour, 0);
    DrawMultiLineText(stage->briefing, 5, 510, textColour);
}
