// The network module's hidden window: its message queue.

#include "network/network_window.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Dispatch every message waiting for the window
void DispatchNetworkWindowMessages(void *window)
{
    MSG message;
    while (PeekMessageA(&message, static_cast<HWND>(window), 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Post the window a close request and dispatch its messages once
void CloseNetworkWindow(void *window)
{
    PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0);
    DispatchNetworkWindowMessages(window);
}

} // namespace Korvo
