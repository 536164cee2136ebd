// The stage menu and briefing scene.
#pragma once

#include "game/draw_window.h"
#include "game/map_data.h"

// Menu states.
enum SelectState { kSelectIdle = 0, kSelectPicked = 1, kSelectLaunching = 2 };

// The first scene: pick the stage, read its briefing, launch the battle.
class SelectWin : public DrawWindow {
public:
    explicit SelectWin(int textColour);
    ~SelectWin() override;
    SceneCode RunSceneFrame() override;
    void ResetScene() override;
    // Draw the preview and the texts of the selected stage
    void DrawBriefing();

    int mouseX;
    int mouseY;
    int selected;
    int cursorGraph;
    int launchGraph;
    int previewGraph;
    int launchCounter;
    int textColour;
    MapData *map;
    int state;

private:
    void HandleMenuClick();
    SelectWin(const SelectWin &);
    SelectWin &operator=(const SelectWin &);
};
