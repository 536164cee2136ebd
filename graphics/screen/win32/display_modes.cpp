// The desktop display mode: enumeration for the mode list and the change for
// full-screen operation.

#include "graphics/screen/device_startup.h"
#include "graphics/screen/screen_modes.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/system/window_state.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/device/shell_services.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static LONG TryDisplayMode(int width, int height, int bits, int rate, DWORD flags)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (rate != 0) {
        mode.dmDisplayFrequency = static_cast<DWORD>(rate);
        mode.dmFields |= DM_DISPLAYFREQUENCY;
    }
    return ChangeDisplaySettingsA(&mode, flags);
}

// Every return lowers the indent the step raised.
static int EndDisplayModeChange(int result)
{
    DecreaseLogIndent();
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

bool EnumeratePlatformDisplayMode(int index, DisplayModeEntry *mode)
{
    DEVMODEA devmode = {};
    devmode.dmSize = sizeof(DEVMODEA);
    if (!EnumDisplaySettingsA(nullptr, static_cast<DWORD>(index), &devmode)) {
        return false;
    }
    *mode = DisplayModeEntry{static_cast<int>(devmode.dmPelsWidth), static_cast<int>(devmode.dmPelsHeight),
                             static_cast<int>(devmode.dmBitsPerPel), static_cast<int>(devmode.dmDisplayFrequency)};
    return true;
}

int ChangeDisplayModeForScreen()
{
    int width = GraphicsState.mainWidth;
    int height = GraphicsState.mainHeight;
    int bits = GraphicsState.bitsPerPixel;
    AppendLogLineFormat("画面モードの変更処理を開始します %u x %u  %u bit", width, height, bits);
    IncreaseLogIndent();
    if (bits != 16 && bits != 32) {
        return EndDisplayModeChange(-1);
    }
    AppendLogText("画面解像度を変更します...");
    if (TryDisplayMode(width, height, bits, GraphicsState.refreshRate, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
        AppendLogText("成功しました\n");
        return EndDisplayModeChange(0);
    }
    StoreScreenRefreshRate(0);
    if (TryDisplayMode(width, height, bits, 0, 0) == DISP_CHANGE_SUCCESSFUL) {
        AppendLogText("成功しました\n");
        return EndDisplayModeChange(0);
    }
    if (width == 320 && height == 240) {
        StoreMainScreenSize(640, 480);
        Window640x480RequestFlag = 1;
        if (TryDisplayMode(640, 480, bits, 0, 0) == DISP_CHANGE_SUCCESSFUL) {
            ShellApplyWindowStyleForMode();
            AppendLogText("成功しました\n");
            return EndDisplayModeChange(0);
        }
    }
    AppendLogText("画面モードの変更に失敗しました\n");
    return EndDisplayModeChange(-1);
}

} // namespace Korvo
