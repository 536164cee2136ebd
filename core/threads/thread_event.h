// Manual-reset events and the calling thread's id, for the library's own locks.
//
// The API lock parks waiting threads on these events. On Windows they are
// kernel events; the host build backs them with a mutex and a condition
// variable so that the lock's hand-off logic runs in native tests.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// A new unsignalled manual-reset event, or null
HANDLE CreateManualResetEvent();
// Signal the event: every waiter (present and future) passes until it is reset
void SignalManualResetEvent(HANDLE event);
// Return the event to unsignalled
void ResetManualResetEvent(HANDLE event);
// Wait without time-out until the event is signalled
void WaitForManualResetEvent(HANDLE event);
// Release the event; null is ignored
void CloseManualResetEvent(HANDLE event);
// Id of the calling thread (never 0)
DWORD GetCurrentThreadIdentifier();

} // namespace Korvo
