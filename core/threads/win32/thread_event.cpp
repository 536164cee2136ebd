// Manual-reset events and thread ids over the kernel's events.

#include "core/threads/thread_event.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// CreateEventA: manual reset, unsignalled
HANDLE CreateManualResetEvent()
{
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

// SetEvent
void SignalManualResetEvent(HANDLE event)
{
    SetEvent(event);
}

// ResetEvent
void ResetManualResetEvent(HANDLE event)
{
    ResetEvent(event);
}

// WaitForSingleObject without time-out
void WaitForManualResetEvent(HANDLE event)
{
    WaitForSingleObject(event, INFINITE);
}

// CloseHandle
void CloseManualResetEvent(HANDLE event)
{
    if (event != nullptr) {
        CloseHandle(event);
    }
}

// GetCurrentThreadId
DWORD GetCurrentThreadIdentifier()
{
    return GetCurrentThreadId();
}

} // namespace Korvo
