// Input's IME message entry, until text input is built.

#include "input/win32/window_message_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: the message gets the window's default handling.
LRESULT HandleImeWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace Korvo
