// The on-screen log's graphics and font calls, installed from above.
//
// Without installed calls there is no display object, no font can be made and
// nothing can be drawn, and these entries report exactly that.

#include "core/log/screen_log_backend.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int NoDisplay()
{
    return 0;
}

static HandleValue NoFont(int, int *)
{
    return -1;
}

static int NoScreenHeight()
{
    return 0;
}

static void NoDrawing(int, int, const char *, HandleValue)
{
}

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static const ScreenLogBackend NothingInstalled = {NoDisplay, NoFont, NoScreenHeight, NoDrawing};
static ScreenLogBackend Installed = NothingInstalled;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Copy the calls; a missing one keeps its do-nothing form
int InstallScreenLogBackend(const ScreenLogBackend *backend)
{
    Installed = NothingInstalled;
    if (backend != nullptr) {
        if (backend->displayReady != nullptr) {
            Installed.displayReady = backend->displayReady;
        }
        if (backend->createFont != nullptr) {
            Installed.createFont = backend->createFont;
        }
        if (backend->screenHeight != nullptr) {
            Installed.screenHeight = backend->screenHeight;
        }
        if (backend->drawLine != nullptr) {
            Installed.drawLine = backend->drawLine;
        }
    }
    return 0;
}

int ScreenLogDisplayReady()
{
    return Installed.displayReady();
}

HandleValue ScreenLogCreateFont(int lineHeight, int *fontLost)
{
    return Installed.createFont(lineHeight, fontLost);
}

int ScreenLogScreenHeight()
{
    return Installed.screenHeight();
}

void ScreenLogDrawLine(int x, int y, const char *text, HandleValue font)
{
    Installed.drawLine(x, y, text, font);
}

} // namespace Korvo
