// Velmora's Windows entry point. The shipped game writes no log; the test build
// of the game (VELMORA_LOG_FILE_OUTPUT=1) writes Log.txt with the memory dump.
#include <windows.h>

#include "game/game_loop.h"

#ifndef VELMORA_LOG_FILE_OUTPUT
#define VELMORA_LOG_FILE_OUTPUT 0
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)showCommand;
    return RunVelmora(VELMORA_LOG_FILE_OUTPUT);
}
