// Presenting: the swap chain in Direct3D mode, GDI from the software screen
// otherwise; the vertical blank measured once with DirectDraw and waited for
// without spinning.

#include "graphics/screen/device_startup.h"
#include "graphics/screen/present_rects.h"

#include "core/public_api.h"
#include "core/threads/clock.h"
#include "core/system/window_state.h"
#include "core/system/win32/app_window.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/startup_entries.h"
#include "graphics/device/win32/d3d_objects.h"
#include "graphics/screen/win32/frame_latency.h"
#include "image/color_format.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr UINT_PTR kFrontRefreshTimerId = 0x7fff;
constexpr UINT kFrontRefreshPeriodMs = 32;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int64_t VerticalBlankPeriod = -1;
static uint64_t LastVerticalBlankWait = 0;
static RECT LastSourceRect = {};
static RECT LastDestRect = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void WaitForVerticalBlankNow()
{
    K_IDirectDraw7 *draw = D3DObjects.directDraw;
    if (draw != nullptr) {
        draw->lpVtbl->WaitForVerticalBlank(draw, K_DDWAITVB_BLOCKBEGIN, nullptr);
    }
    LastVerticalBlankWait = GetMicrosecondClock();
}

// Let the window system apply what it still has pending for the window (the
// moves and resizes of its set-up, say) before a picture goes into it: under
// some window systems a window reconfigured after the present loses the
// picture, and nothing asks for it again. Peeking takes no message, but it runs
// the messages other threads send, and an activation among them may rebuild
// the device or present: so this comes before the present takes anything of
// the device, and a present reached from inside it does not peek again.
static void CatchUpWithWindowSystem()
{
    static bool catchingUp = false;
    if (catchingUp || GraphicsState.direct3DModeActive == 0 || GetWindowedModeState() == 0 ||
        IsIconic(GetAppWindowHandle()) != 0) {
        return;
    }
    catchingUp = true;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
    catchingUp = false;
}

static bool VerticalSyncOn()
{
    return Draw.noVerticalSync == 0;
}

// Map a window rectangle back to screen pixels through the last whole present,
// or through this one's rectangles before there was any.
static bool MapToScreen(const RECT *rect, const RECT &source, const RECT &dest, RECT *out)
{
    bool presented = LastDestRect.right > LastDestRect.left && LastDestRect.bottom > LastDestRect.top;
    return MapWindowRectToScreen(*rect, presented ? LastSourceRect : source, presented ? LastDestRect : dest, out);
}

static int PresentThroughSwapChain(const RECT *rect, const RECT &source, const RECT &dest, bool doubled)
{
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    if (ScreenSubBackBuffer != nullptr &&
        D3DDev_StretchRect(ScreenSubBackBuffer, nullptr, D3DObjects.backBuffer, nullptr, K_D3DTEXF_NONE) < 0) {
        return -1;
    }
    K_IDirect3DSwapChain9 *chain = D3DObjects.swapChain;
    if (chain == nullptr) {
        return 0;
    }
    uint64_t start = GetMicrosecondClock();
    HWND window = GetRenderWindowHandle();
    HRESULT result = 0;
    bool windowed = GetWindowedModeState() != 0;
    if (IsIconic(GetAppWindowHandle()) == 0) {
        WaitForPreviousFrameDrawn();
        if (!windowed && !doubled) {
            result = chain->lpVtbl->Present(chain, nullptr, nullptr, window, nullptr, 0);
        } else if (!windowed || rect == nullptr) {
            LastSourceRect = source;
            LastDestRect = dest;
            result = chain->lpVtbl->Present(chain, &source, &dest, window, nullptr, 0);
        } else {
            RECT mapped;
            if (!MapToScreen(rect, source, dest, &mapped)) {
                return -1;
            }
            result = chain->lpVtbl->Present(chain, &mapped, rect, window, nullptr, 0);
        }
    }
    if (result < 0) {
        return -1;
    }
    MarkPresentedFrameEnd();
    if (GetRunWhileInactiveFlag() != 0 && VerticalSyncOn() && GetMicrosecondClock() - start < 500) {
        WaitForVerticalBlankPaced();
    }
    return 0;
}

static int PresentThroughGdi(const RECT *rect, const RECT &source, const RECT &dest, bool doubled)
{
    if (IsMemImgValid(&SoftwareScreen) == 0) {
        return 0;
    }
    if (VerticalSyncOn()) {
        WaitForVerticalBlankPaced();
    }
    const MemImgBody *body = SoftwareScreen.body;
    const ColorFormatDesc *format = body->format;
    int bits = body->pixelKind == MEMIMG_KIND_RGB565 ? 16 : 32;
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = body->pitch / (bits / 8);
    info.header.biHeight = -GraphicsState.mainHeight;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bits);
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = format->maskR;
    info.masks[1] = format->maskG;
    info.masks[2] = format->maskB;
    HWND window = GetRenderWindowHandle();
    HDC dc = GetDC(window);
    if (dc == nullptr) {
        return 0;
    }
    const BITMAPINFO *bitmap = reinterpret_cast<const BITMAPINFO *>(&info);
    int width = GraphicsState.mainWidth;
    int height = GraphicsState.mainHeight;
    if (doubled) {
        LastSourceRect = source;
        LastDestRect = dest;
        StretchDIBits(dc, 0, 0, 640, 480, 0, 0, 320, 240, body->pixels, bitmap, DIB_RGB_COLORS, SRCCOPY);
    } else if (rect != nullptr) {
        RECT mapped;
        if (!MapToScreen(rect, source, dest, &mapped)) {
            ReleaseDC(window, dc);
            return -1;
        }
        StretchDIBits(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, mapped.left,
                      mapped.top, mapped.right - mapped.left, mapped.bottom - mapped.top, body->pixels, bitmap,
                      DIB_RGB_COLORS, SRCCOPY);
    } else {
        LastSourceRect = source;
        LastDestRect = dest;
        if (dest.right - dest.left == width && dest.bottom - dest.top == height) {
            SetDIBitsToDevice(dc, dest.left, dest.top, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                              static_cast<UINT>(height), body->pixels, bitmap, DIB_RGB_COLORS);
        } else {
            StretchDIBits(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0, width,
                          height, body->pixels, bitmap, DIB_RGB_COLORS, SRCCOPY);
        }
    }
    ReleaseDC(window, dc);
    return 0;
}

// While the front screen is the draw target, show it again every 32 ms.
static void CALLBACK RefreshTimerProc(HWND window, UINT, UINT_PTR, DWORD)
{
    KillTimer(window, kFrontRefreshTimerId);
    if (Draw.selectedDrawTarget != -4) {
        return;
    }
    if (GetAppActiveState() != 0) {
        RefreshPresentedScreen();
    }
    SetTimer(window, kFrontRefreshTimerId, kFrontRefreshPeriodMs, RefreshTimerProc);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int StartFrontScreenRefresh(int flag)
{
    HWND window = GetAppWindowHandle();
    if (flag != 0 && window != nullptr) {
        SetTimer(window, kFrontRefreshTimerId, kFrontRefreshPeriodMs, RefreshTimerProc);
    }
    return 0;
}

int PresentScreen(const RECT *rect)
{
    ForgetDeviceLostState();
    if (rect != nullptr && (rect->right <= rect->left || rect->bottom <= rect->top)) {
        return -1;
    }
    // Everything below reads the device and the mode after this.
    CatchUpWithWindowSystem();
    double scaleX = 1.0;
    double scaleY = 1.0;
    GetWindowScaleFactors(&scaleX, &scaleY);
    const PresentRects rects =
        ComputePresentRects(GraphicsState.mainWidth, GraphicsState.mainHeight, GraphicsState.virtualWidth,
                            GraphicsState.virtualHeight, DoubledScreenModeFlag != 0 || Window640x480RequestFlag != 0,
                            GetWindowedModeState() != 0, scaleX, scaleY);
    const RECT &source = rects.source;
    const RECT &dest = rects.dest;
    const bool doubled = rects.doubled;
    if (GraphicsState.direct3DModeActive != 0) {
        return PresentThroughSwapChain(rect, source, dest, doubled);
    }
    return PresentThroughGdi(rect, source, dest, doubled);
}

void MeasureVerticalBlankPeriod()
{
    VerticalBlankPeriod = -1;
    if (D3DObjects.directDraw != nullptr) {
        WaitForVerticalBlankNow();
        uint64_t last = LastVerticalBlankWait;
        int64_t previous = -1;
        int64_t sum = 0;
        int run = 0;
        for (int i = 0; i < 60; ++i) {
            WaitForVerticalBlankNow();
            int64_t d = static_cast<int64_t>(LastVerticalBlankWait - last);
            last = LastVerticalBlankWait;
            if (previous >= 0 && (d - previous > 999 || previous - d > 999)) {
                run = 0;
                sum = 0;
            } else {
                run += 1;
                sum += d;
            }
            previous = d;
            if (run == 10) {
                VerticalBlankPeriod = sum / 10;
                break;
            }
            Sleep(5);
        }
    }
    WaitForVerticalBlankPaced();
}

void WaitForVerticalBlankPaced()
{
    int64_t threshold = VerticalBlankPeriod >= 0 ? VerticalBlankPeriod - 3000 : 4000;
    int64_t since = static_cast<int64_t>(GetMicrosecondClock() - LastVerticalBlankWait);
    if (since >= threshold) {
        WaitForVerticalBlankNow();
        Sleep(0);
        return;
    }
    Sleep(0);
    while (static_cast<int64_t>(GetMicrosecondClock() - LastVerticalBlankWait) < threshold) {
        Sleep(1);
    }
    WaitForVerticalBlankNow();
}

} // namespace Korvo
