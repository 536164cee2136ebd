// The screen-mode change after start-up and the display-mode list.

#include "graphics/screen/screen_modes.h"
#include "core/system/message_pump_hooks.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/log/fatal_error.h"
#include "core/math/vector_math.h"
#include "core/threads/async_load.h"
#include "graphics/device/shell_services.h"
#include "core/system/window_state.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

struct ScreenMode {
    int width;
    int height;
    int bits;
    int rate;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static ScreenMode CurrentMode()
{
    return ScreenMode{GraphicsState.mainWidth, GraphicsState.mainHeight, GraphicsState.bitsPerPixel,
                      GraphicsState.refreshRate};
}

static void StoreMode(const ScreenMode &mode)
{
    StoreMainScreenSize(mode.width, mode.height);
    StoreScreenDepth(mode.bits);
    StoreScreenRefreshRate(mode.rate);
}

// 640x480 with the drawn size of the low-resolution emulation when it is on; the
// projection follows the drawn size.
static void StoreFallbackSize()
{
    bool emulated = Window640x480RequestFlag != 0 || DoubledScreenModeFlag != 0;
    StoreMainScreenSize(640, 480);
    if (emulated) {
        GraphicsState.virtualWidth = 320;
        GraphicsState.virtualHeight = 240;
        SetProjectionScreenSize(320, 240);
    }
}

// Restart graphics in the requested mode, else through the fallbacks; never without a screen.
static void RestartGraphicsForMode(const ScreenMode &requested, const ScreenMode &previous)
{
    if (GraphicsState.started != 0) {
        // The restart deletes every graph and the device: a load job still at work
        // may hold a graph it made (a font's cache) or wait to run its next device
        // call, so the jobs end first, their main-thread requests served meanwhile.
        FinishQueuedAsyncJobs();
        ShutdownGraphicsSystem();
    }
    StoreMode(requested);
    if (StartupGraphicsSystem() == 0) {
        return;
    }
    if (requested.width == 320 && requested.height == 240) {
        StoreFallbackSize();
        Window640x480RequestFlag = 1;
        if (StartupGraphicsSystem() == 0) {
            return;
        }
    }
    StoreMode(previous);
    if (StartupGraphicsSystem() == 0) {
        return;
    }
    static const int kFallbackDepths[2] = {16, 32};
    for (int bits : kFallbackDepths) {
        StoreFallbackSize();
        StoreScreenDepth(bits);
        StoreScreenRefreshRate(0);
        if (StartupGraphicsSystem() == 0) {
            return;
        }
    }
    AbortWithFatalError("予期せぬ画面モード変更不能現象が起きました2\n");
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ApplyScreenModeChange(int width, int height, int bitsPerPixel, int force, int refreshRate)
{
    FlushStagedVertices(0);
    bool windowed = GetWindowedModeState() != 0;
    if (!windowed && width == 320 && height == 240) {
        DoubledScreenModeFlag = 1;
        width = 640;
        height = 480;
    } else {
        if (windowed && force == 1 && DoubledScreenModeFlag != 0 && GraphicsState.mainWidth == 640 &&
            GraphicsState.mainHeight == 480) {
            width = 320;
            height = 240;
        }
        DoubledScreenModeFlag = 0;
        if (width == -1) {
            width = GraphicsState.mainWidth;
        }
        if (height == -1) {
            height = GraphicsState.mainHeight;
        }
    }
    ScreenMode requested = {width, height, bitsPerPixel == -1 ? GraphicsState.bitsPerPixel : bitsPerPixel,
                            refreshRate == -1 ? GraphicsState.refreshRate : refreshRate};
    ScreenMode previous = CurrentMode();
    if (requested.width == previous.width && requested.height == previous.height && requested.bits == previous.bits &&
        requested.rate == previous.rate && force == 0) {
        return 0;
    }
    AppendLogText("画面モード変更処理を開始します\n");
    IncreaseLogIndent();
    if (ShellLibraryStarted() == 0 && ShellStartupInProgress() == 0) {
        DecreaseLogIndent();
        return 0;
    }
    if (!windowed) {
        if (IsDisplayModeAvailable(requested.width, requested.height, requested.bits) == 0) {
            DecreaseLogIndent();
            return -1;
        }
    }
    RestartGraphicsForMode(requested, previous);
    if (windowed) {
        ShellApplyWindowStyleForMode();
    }
    DecreaseLogIndent();
    AppendLogText("画面モード変更処理は正常に終了しました\n");
    PumpMessagesOnce();
    SelectDrawTarget(GetSelectedDrawTarget());
    ShellApplyFileDropAcceptance();
    return 0;
}

} // namespace Korvo
