// What the on-screen log needs from graphics and fonts. The log sits below them,
// so it reaches them through calls installed from above (the shell installs the
// real ones once those subsystems exist); until then nothing is drawn.
#pragma once

#include "core/memory/handle_manager.h"

namespace Korvo {

struct ScreenLogBackend {
    // 1 when the graphics system's display object and the main window exist
    int (*displayReady)();
    // Create the log's font (size lineHeight) and bind fontLost to it; the font handle or -1
    HandleValue (*createFont)(int lineHeight, int *fontLost);
    // Height of the screen the program draws, in pixels
    int (*screenHeight)();
    // Draw one line of white text with a black edge at (x, y)
    void (*drawLine)(int x, int y, const char *text, HandleValue font);
};

// Install the calls (copied; null restores the ones that draw nothing); 0
int InstallScreenLogBackend(const ScreenLogBackend *backend);

// The installed calls, as core/log/screen_log.cpp uses them.
int ScreenLogDisplayReady();
HandleValue ScreenLogCreateFont(int lineHeight, int *fontLost);
int ScreenLogScreenHeight();
void ScreenLogDrawLine(int x, int y, const char *text, HandleValue font);

} // namespace Korvo
