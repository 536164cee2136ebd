// Network's socket-event entry, until the network side is built.

#include "network/win32/window_message_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: no socket is bound to the window; the message is not handled.
LRESULT HandleSocketEvent(HWND window, UINT message, WPARAM socket, LPARAM event)
{
    (void)window;
    (void)message;
    (void)socket;
    (void)event;
    return 0;
}

} // namespace Korvo
