// The plain Direct3D 9 programs' window and device.
#include "bench/win32/plain_d3d9_setup.h"

namespace KorvoBench {

static LRESULT CALLBACK PlainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

static HWND CreatePlainWindow(const char *title, int width, int height)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = PlainWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = "KorvoBenchPlainD3D9";
    RegisterClassExA(&windowClass);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_NOACTIVATE;
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    HWND window = CreateWindowExA(exStyle, windowClass.lpszClassName, title, style, 0, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
    }
    return window;
}

bool StartPlainD3D9(const char *title, int width, int height, bool waitForVerticalBlank, PlainD3D9Setup *setup)
{
    setup->window = CreatePlainWindow(title, width, height);
    setup->d3d9 = LoadLibraryA("d3d9.dll");
    using Create = IDirect3D9 *(WINAPI *)(UINT);
    auto create = setup->d3d9 != nullptr ? reinterpret_cast<Create>(reinterpret_cast<void *>(
                                               GetProcAddress(setup->d3d9, "Direct3DCreate9")))
                                         : nullptr;
    setup->d3d = create != nullptr ? create(D3D_SDK_VERSION) : nullptr;
    if (setup->window == nullptr || setup->d3d == nullptr) {
        return false;
    }
    D3DDISPLAYMODE desktop = {};
    setup->d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop);
    setup->format = desktop.Format;
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = static_cast<UINT>(width);
    parameters.BackBufferHeight = static_cast<UINT>(height);
    parameters.BackBufferFormat = desktop.Format;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY;
    parameters.hDeviceWindow = setup->window;
    parameters.Windowed = TRUE;
    parameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    parameters.PresentationInterval = waitForVerticalBlank ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    return SUCCEEDED(setup->d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, setup->window,
                                              D3DCREATE_MIXED_VERTEXPROCESSING, &parameters, &setup->device));
}

void StopPlainD3D9(PlainD3D9Setup *setup)
{
    if (setup->device != nullptr) {
        setup->device->Release();
    }
    if (setup->d3d != nullptr) {
        setup->d3d->Release();
    }
    if (setup->window != nullptr) {
        DestroyWindow(setup->window);
    }
    if (setup->d3d9 != nullptr) {
        FreeLibrary(setup->d3d9);
    }
    *setup = PlainD3D9Setup{};
}

}  // namespace KorvoBench
