// The window and device of the plain Direct3D 9 programs that the Direct3D
// benchmarks time beside the library: the library's windowed presentation
// settings (copy swap effect, lockable back buffer, the desktop's format) on a
// window of their own that is never activated, since the library pauses while
// its own window is inactive.
#pragma once

#include <windows.h>

#include <d3d9.h>

namespace KorvoBench {

struct PlainD3D9Setup {
    HWND window = nullptr;
    HMODULE d3d9 = nullptr;
    IDirect3D9 *d3d = nullptr;
    IDirect3DDevice9 *device = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;  // the back buffer's
};

// Window and device of width x height; false when Direct3D 9 cannot be set up
// (what was made is left for StopPlainD3D9).
bool StartPlainD3D9(const char *title, int width, int height, bool waitForVerticalBlank, PlainD3D9Setup *setup);
// Release the device and Direct3D, close the window and free the library.
void StopPlainD3D9(PlainD3D9Setup *setup);

}  // namespace KorvoBench
