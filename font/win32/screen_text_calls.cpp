// Text with the standard font, and the on-screen log's calls drawn with fonts.

#include "font/font_record.h"
#include "font/startup_entries.h"

#include "core/system/win32/app_window.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"

#include <windows.h>

namespace Korvo {

int DrawTextWithStandardFont(int x, int y, const char *text, int colour, int edgeColour)
{
    RefreshStandardFont();
    return DrawTextToHandle(x, y, text, colour, GetStandardFontHandle(), edgeColour, 0);
}

static int LogDisplayReady()
{
    return GraphicsState.started != 0 && GetAppWindowHandle() != nullptr ? 1 : 0;
}

// Outlined, and thinner than the standard font: the default face and character
// set at the line height
static HandleValue LogCreateFont(int lineHeight, int *fontLost)
{
    constexpr int kLogFontThickness = 4;
    FontCacheSettings settings;
    CopyFontCacheSettings(&settings);
    int handle = CreateFontHandleWithSettings(&settings, nullptr, lineHeight, kLogFontThickness, FontEdge, -1, -1, 0,
                                              -1, 0);
    if (handle != -1) {
        AttachFontDeleteFlagToHandle(handle, fontLost);
    }
    return handle;
}

static int LogScreenHeight()
{
    int height = 0;
    GetScreenSizeAndDepth(nullptr, &height, nullptr);
    return height;
}

static void LogDrawLine(int x, int y, const char *text, HandleValue font)
{
    DrawTextToHandle(x, y, text, PackScreenColor(255, 255, 255), font, PackScreenColor(0, 0, 0), 0);
}

const ScreenLogBackend *GetFontScreenLogBackend()
{
    static const ScreenLogBackend Calls = {LogDisplayReady, LogCreateFont, LogScreenHeight, LogDrawLine};
    return &Calls;
}

} // namespace Korvo
