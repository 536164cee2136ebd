// The frame loop: background, the current scene, the scene switch, present,
// message service and the 16 ms pacing wait.
#include "game/game_loop.h"

#include "game/battle_sys.h"
#include "game/game_globals.h"
#include "game/select_win.h"
#include "game/stage_info.h"
#include "korvo.h"

using namespace Korvo;

// Frame pacing wait (ms): 60 frames make one second of game time.
static const int kFrameWaitMs = 16;

int RunVelmora(int logFileOutput)
{
    SetAppWindowTitle("Velmora");
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    EnableLogFileOutput(logFileOutput);
    ChangeWindowMode(1);
    if (StartLibrary() == -1) {
        return -1;
    }
    SelectDrawTarget(-2);

    SelectWin select(ColorBlack);
    BattleSys battle;
    const int background = CreateGraphFromImageFile("img/back.png", 0);
    DrawWindow *scene = &select;
    SceneCode previous = kSceneSelect;

    for (;;) {
        DrawGraphAtPoint(0, 0, background, 1);
        SceneCode code = scene->RunSceneFrame();
        if (code != previous) {
            if (code == kSceneSelect || code == kSceneSelectAlias) {
                code = kSceneSelect;
                select.ResetScene();
                scene = &select;
                ForgetMouseClicksAtSceneChange();
            } else if (code == kSceneBattle) {
                battle.stage = StageList[select.selected];
                battle.ResetScene();
                scene = &battle;
                ForgetMouseClicksAtSceneChange();
            }
        }
        PresentBackScreen();
        if (ServiceMessageQueue() == -1) {
            break;
        }
        WaitMillisecondsPumping(kFrameWaitMs);
        previous = code;
    }

    WaitForAnyInputPress();
    ShutdownLibrary();
    return 0;
}
