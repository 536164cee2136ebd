// Starting the library in this test process on the Direct3D or the software
// road, with a known background colour, and reading the screen back.
#pragma once

#include "core/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "tests/core/log_capture.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace GraphicsTest {

constexpr int kBackgroundRed = 40;
constexpr int kBackgroundGreen = 90;
constexpr int kBackgroundBlue = 160;

// Start a 640x480 window; Direct3D when asked for, else the software road.
inline int StartLibraryOnRoad(bool direct3D)
{
    Korvo::SetAppWindowTitle("KorvoGraphicsTest");
    Korvo::SetScreenResolutionAndDepth(640, 480, 32, 60);
    Korvo::EnableLogFileOutput(1);
    Korvo::SetLogFolder(".");
    Korvo::ChangeWindowMode(1);
    Korvo::SetHardwareRenderingWanted(direct3D ? 1 : 0);
    Korvo::GraphicsState.backgroundRed = kBackgroundRed;
    Korvo::GraphicsState.backgroundGreen = kBackgroundGreen;
    Korvo::GraphicsState.backgroundBlue = kBackgroundBlue;
    return Korvo::StartLibrary();
}

// One pixel of the current draw target through LockDrawScreenBuffer, as 0x00RRGGBB
// (0xDEADBEEF when the lock is refused).
inline uint32_t ReadTargetPixel(int x, int y)
{
    Korvo::RasterImage image = {};
    const RECT one = {x, y, x + 1, y + 1};
    uint32_t pixel = 0xDEADBEEF;
    if (Korvo::LockDrawScreenBuffer(&one, &image, -1, 1, 0) == 0) {
        pixel = *static_cast<const uint32_t *>(image.pixels) & 0xFFFFFF;
        Korvo::UnlockDrawScreenBuffer();
    }
    return pixel;
}

// The colour of a client pixel of the window as the desktop shows it.
inline COLORREF ReadWindowPixelFromScreen(HWND window, int x, int y)
{
    POINT at = {x, y};
    ClientToScreen(window, &at);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP shot = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, 1, 1, screen, at.x, at.y, SRCCOPY);
    COLORREF colour = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(shot);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

} // namespace GraphicsTest
