// Network's handling of socket events posted to the main window.
#pragma once

#include <windows.h>

namespace Korvo {

// Serve a socket event (message 0x0505) for its network handle; the window procedure's result
LRESULT HandleSocketEvent(HWND window, UINT message, WPARAM socket, LPARAM event);

} // namespace Korvo
