// The on-screen log's graphics and font calls.
//
// The graphics and font subsystems are not built yet: no display object exists,
// no font can be made and nothing can be drawn, so these entries report exactly
// that. They take the real calls once those subsystems exist.

#include "core/screen_log_backend.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Graphics not built yet: there is no display object, so never ready.
int ScreenLogDisplayReady()
{
    return 0;
}

// Fonts not built yet: no font is made (-1) and fontLost stays as it is.
HandleValue ScreenLogCreateFont(int lineHeight, int *fontLost)
{
    (void)lineHeight;
    (void)fontLost;
    return -1;
}

// Graphics not built yet: no screen, so no line fits.
int ScreenLogScreenHeight()
{
    return 0;
}

// Graphics not built yet: draws nothing.
void ScreenLogDrawLine(int x, int y, const char *text, HandleValue font)
{
    (void)x;
    (void)y;
    (void)text;
    (void)font;
}

} // namespace Korvo
