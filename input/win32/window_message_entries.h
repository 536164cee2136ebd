// Input's handling of the main window's IME: its messages, switching it on and
// off, and restoring it after an activation.
#pragma once

#include "input/public_api.h"

#include <windows.h>

namespace Korvo {

// Handle an IME composition, context or notify message; the window procedure's result
LRESULT HandleImeWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Run the IME restore steps an activation asked for; 0
int RunImeRestoreSteps();
// Free the kept candidate list (the window is ending); 0
int DropImeCandidateList();

} // namespace Korvo
