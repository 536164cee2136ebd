// On-screen log: a line buffer and a font for drawing log lines over the screen.
//
// Nothing fills the buffer and the draw flag stays 0, so the screen flip never
// draws it; the state still follows the library's start-up and shut-down.

#include "core/log/error_log.h"

#include "core/memory/handle_manager.h"
#include "core/log/screen_log_backend.h"
#include "core/log/screen_log_state.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

ScreenLogState ScreenLog = {0, kScreenLogLineHeight, -1, 1, 0, {}};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Set up the state and the font once graphics and the main window exist
int SetupScreenLog()
{
    if (ScreenLogDisplayReady() == 0) {
        return -1;
    }
    if (ScreenLog.setUp != 0) {
        return 0;
    }
    ScreenLog.setUp = 1;
    ScreenLog.lineHeight = kScreenLogLineHeight;
    ScreenLog.font = -1;
    ScreenLog.fontLost = 1;
    EnsureScreenLogFont();
    ScreenLog.drawFlag = 0;
    std::memset(ScreenLog.lines, 0, sizeof(ScreenLog.lines));
    return 0;
}

// Create the font when it is lost
int EnsureScreenLogFont()
{
    if (ScreenLog.setUp == 0 && SetupScreenLog() != 0) {
        return 0;
    }
    if (ScreenLog.fontLost == 0) {
        return 0;
    }
    // Binding the font clears fontLost; a font that cannot be made leaves it set for the next try.
    ScreenLog.font = ScreenLogCreateFont(ScreenLog.lineHeight, &ScreenLog.fontLost);
    return 0;
}

// Delete the font and clear the set-up
int ShutdownScreenLog()
{
    if (ScreenLog.setUp == 0) {
        return 0;
    }
    if (ScreenLog.fontLost == 0) {
        DeleteHandleRecord(ScreenLog.font);
    }
    ScreenLog.fontLost = 1;
    ScreenLog.font = -1;
    ScreenLog.setUp = 0;
    return 0;
}

// The draw flag
int GetScreenLogDrawFlag()
{
    return ScreenLog.drawFlag;
}

// Draw as many stored lines as fit on the screen
int DrawScreenLogLines()
{
    if (ScreenLog.setUp == 0 && SetupScreenLog() != 0) {
        return 0;
    }
    EnsureScreenLogFont();
    int fitting = ScreenLogScreenHeight() / ScreenLog.lineHeight;
    for (int i = 0; i < kScreenLogLineCount && i < fitting; ++i) {
        ScreenLogDrawLine(0, i * ScreenLog.lineHeight, ScreenLog.lines[i], ScreenLog.font);
    }
    return 0;
}

} // namespace Korvo
