// Input's handling of the main window's IME messages.
#pragma once

#include <windows.h>

namespace Korvo {

// Handle an IME composition, context or notify message; the window procedure's result
LRESULT HandleImeWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace Korvo
