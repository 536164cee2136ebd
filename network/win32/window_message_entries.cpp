// Network's socket-event entry of the window procedure.

#include "network/win32/window_message_entries.h"

#include "network/network_handle.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Serve a socket event: the event in the low word, its error in the high word
LRESULT HandleSocketEvent(HWND window, UINT message, WPARAM socket, LPARAM event)
{
    (void)window;
    (void)message;
    return ServeSocketEvent(static_cast<NetworkSocket>(socket), LOWORD(event), HIWORD(event));
}

} // namespace Korvo
