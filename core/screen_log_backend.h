// What the on-screen log needs from graphics and fonts. Used by core/screen_log.cpp only.
#pragma once

#include "core/handle_manager.h"

namespace Korvo {

// 1 when the graphics system's display object and the main window exist
int ScreenLogDisplayReady();
// Create the on-screen log's font (size lineHeight) and bind fontLost to it; the font handle or -1
HandleValue ScreenLogCreateFont(int lineHeight, int *fontLost);
// Height of the screen the program draws, in pixels
int ScreenLogScreenHeight();
// Draw one line of white text with a black edge at (x, y)
void ScreenLogDrawLine(int x, int y, const char *text, HandleValue font);

} // namespace Korvo
