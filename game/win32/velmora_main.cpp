// Velmora's entry point: configure the library, run the frame loop, end.

#include "korvo.h"

#include <windows.h>

using namespace Korvo;

// Frame pacing wait (ms): 60 frames make one second of game time.
static const int kFrameWaitMs = 16;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)showCommand;

    SetAppWindowTitle("Velmora");
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    EnableLogFileOutput(0);
    ChangeWindowMode(1);
    if (StartLibrary() == -1) {
        return -1;
    }

    // The background draw, the scenes and the present join this loop with the
    // graphics subsystem and the game's scenes.
    for (;;) {
        if (ServiceMessageQueue() == -1) {
            break;
        }
        WaitMillisecondsPumping(kFrameWaitMs);
    }

    WaitForAnyInputPress();
    ShutdownLibrary();
    return 0;
}
