// Selecting a screen as the draw target, clearing it, and the software screen.

#include "graphics/draw_target.h"

#include "core/log/fatal_error.h"
#include "graphics/d3d_call_wrappers.h"
#include "graphics/device_startup.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_front_end.h"
#include "graphics/draw_settings.h"
#include "graphics/graphics_state.h"
#include "graphics/masks.h"
#include "graphics/screen_request.h"
#include "graphics/transforms.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

MEMIMG SoftwareScreen = {};
static int TargetWidth = 0;
static int TargetHeight = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsScreenTarget(int target)
{
    return target >= -5 && target <= -2;
}

// The background colour as a pixel of the software screen.
static uint32_t PackBackgroundForScreen()
{
    uint32_t r = static_cast<uint32_t>(GraphicsState.backgroundRed);
    uint32_t g = static_cast<uint32_t>(GraphicsState.backgroundGreen);
    uint32_t b = static_cast<uint32_t>(GraphicsState.backgroundBlue);
    if (SoftwareScreen.body != nullptr && SoftwareScreen.body->pixelKind == MEMIMG_KIND_RGB565) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return (r << 16) | (g << 8) | b;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// A screen becomes the draw target; a refused target changes nothing
int SelectDrawTarget(int target)
{
    if (GraphicsState.started == 0 || !IsScreenTarget(target)) {
        return -1;
    }
    WaitWhileAppInactive();
    int masking = IsMaskScreenEnabled();
    if (masking != 0) {
        EnableMaskScreen(0);
    }
    int width = 0;
    int height = 0;
    GetMainScreenSize(&width, &height);
    Draw.selectedDrawTarget = target;
    if (GraphicsState.direct3DModeActive != 0 && G_D3D_HasDevice() != 0) {
        FlushStagedVertices(0);
        G_D3D_EndSceneIfBegun();
        D3DDev_SetRenderTarget(0, ScreenTargetSurface);
        D3DDev_SetDepthStencilSurface(ScreenDepthSurface);
        ApplyViewportRect(0, 0, width, height);
    }
    StartFrontScreenRefresh(target == -4 ? 1 : 0);
    bool sameSize = width == TargetWidth && height == TargetHeight;
    TargetWidth = width;
    TargetHeight = height;
    ResetTransformsForTarget(width, height);
    ApplyDrawArea(sameSize ? Draw.drawArea : RECT{0, 0, width, height});
    if (masking != 0) {
        EnableMaskScreen(masking);
    }
    return 0;
}

int GetSelectedDrawTarget()
{
    return Draw.selectedDrawTarget;
}

int GetDrawTargetSize(int *width, int *height)
{
    if (IsScreenTarget(Draw.selectedDrawTarget)) {
        return GetMainScreenSize(width, height);
    }
    *width = TargetWidth;
    *height = TargetHeight;
    return 0;
}

MEMIMG *GetDrawTargetGraphMemImg()
{
    return nullptr;
}

int SetDrawAreaToWholeTarget()
{
    GetMainScreenSize(&TargetWidth, &TargetHeight);
    return ApplyDrawArea(RECT{0, 0, TargetWidth, TargetHeight});
}

// Software: fill the screen image; Direct3D: clear the render target (and Z)
int FillDrawTargetWithBackground(const RECT *rect)
{
    if (rect != nullptr && (rect->left < 0 || rect->top < 0)) {
        rect = nullptr;
    }
    if (GraphicsState.direct3DModeActive == 0) {
        if (IsMemImgValid(&SoftwareScreen) != 0) {
            FillMemImgRectRaw(&SoftwareScreen, rect, PackBackgroundForScreen());
        }
        return 0;
    }
    if (G_D3D_HasDevice() == 0) {
        return 0;
    }
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    ApplyViewportRect(0, 0, TargetWidth, TargetHeight);
    K_D3DCOLOR colour = (static_cast<K_D3DCOLOR>(GraphicsState.backgroundRed) << 16) |
                        (static_cast<K_D3DCOLOR>(GraphicsState.backgroundGreen) << 8) |
                        static_cast<K_D3DCOLOR>(GraphicsState.backgroundBlue);
    D3DDev_Clear(rect != nullptr ? 1 : 0, rect, K_D3DCLEAR_TARGET, colour, 1.0f, 0);
    if (ScreenDepthSurface != nullptr) {
        D3DDev_Clear(rect != nullptr ? 1 : 0, rect, K_D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    }
    const RECT &area = Draw.drawArea;
    ApplyViewportRect(area.left, area.top, area.right, area.bottom);
    return 0;
}

int CreateSoftwareScreen()
{
    int width = 0;
    int height = 0;
    GetMainScreenSize(&width, &height);
    DisposeSoftwareScreen();
    if (CreateScreenMemImg(&SoftwareScreen, width, height, -1) != 0) {
        AbortWithFatalError("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    FillMemImgRectRaw(&SoftwareScreen, nullptr, PackBackgroundForScreen());
    return 0;
}

void DisposeSoftwareScreen()
{
    if (IsMemImgValid(&SoftwareScreen) != 0) {
        DisposeMemImg(&SoftwareScreen);
    }
}

} // namespace Korvo
