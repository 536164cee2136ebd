// Starting the library in this test process on the Direct3D or the software
// road, with a known background colour, and reading the screen back.
#pragma once

#include "core/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "tests/core/log_capture.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace GraphicsTest {

constexpr int kBackgroundRed = 40;
constexpr int kBackgroundGreen = 90;
constexpr int kBackgroundBlue = 160;

// Start a 640x480 window; Direct3D when asked for, else the software road.
inline int StartLibraryOnRoad(bool direct3D, const char *title = "KorvoGraphicsTest")
{
    Korvo::SetAppWindowTitle(title);
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

// A graph of one colour 0x00RRGGBB; with hiddenColumns > 0 an ARGB one whose
// alpha is 0 left of them (a blend graph that gates), else XRGB. -1 on failure.
inline int MakeColourGraph(int width, int height, uint32_t colour, int hiddenColumns)
{
    Korvo::RasterImage image = {};
    if ((hiddenColumns > 0 ? Korvo::AllocArgb32Image(width, height, &image)
                           : Korvo::AllocXrgb32Image(width, height, &image)) != 0) {
        return -1;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Korvo::WriteImagePixelRgba(&image, x, y, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF,
                                       x < hiddenColumns ? 0 : 255);
        }
    }
    int handle = Korvo::BuildGraphFromBaseImages(&image, nullptr, 0);
    Korvo::FreeImageRecord(&image);
    return handle;
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

// The width x height pixels of the screen from (left, top) through
// LockDrawScreenBuffer, row by row as 0x00RRGGBB (all `fill` when the lock is refused).
inline std::vector<uint32_t> ReadScreenPixels(int width, int height, uint32_t fill, int left = 0, int top = 0)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, fill);
    const RECT all = {left, top, left + width, top + height};
    Korvo::RasterImage image = {};
    EXPECT_EQ(Korvo::LockDrawScreenBuffer(&all, &image, -1, 1, 0), 0);
    if (image.pixels == nullptr) {
        return pixels;
    }
    for (int y = 0; y < height; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) + y * image.pitch);
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y) * width + x] = row[x] & 0xFFFFFF;
        }
    }
    Korvo::UnlockDrawScreenBuffer();
    return pixels;
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
