// The window and system facts that services and subsystems read: the active
// flag, window mode, processor facts, desktop mode, cursor and clipboard. The
// shell writes them as the window lives; nothing here needs <windows.h>.
#pragma once

#include "core/public_api.h"

#include "core/korvo_types.h"

namespace Korvo {

// The library always pauses while inactive: 0
int GetRunWhileInactiveFlag();
// Processor and system facts recorded at start-up
int GetMmxAvailableFlag();
int GetLogicalProcessorCount();
int GetWindowsVersionCode();
// 1 once the user closed the window
int GetForcedCloseFlag();
// The client area's screen rectangle; 0
int GetClientScreenRect(RECT *rect);
// Local year, month, day, hour, minute and second of a file time
void ConvertFileTimeToDateFields(const FILETIME *time, int out[6]);

} // namespace Korvo
