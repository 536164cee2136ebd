// Manual-reset events of the host build: a flag under a mutex and a condition
// variable. Thread ids come from the host thread layer (core/host/thread_record.cpp).

#include "core/threads/thread_event.h"

#include <condition_variable>
#include <mutex>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct HostManualResetEvent {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static HostManualResetEvent *EventOf(HANDLE event)
{
    return static_cast<HostManualResetEvent *>(event);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// A new unsignalled event
HANDLE CreateManualResetEvent()
{
    return new HostManualResetEvent();
}

// Set the flag and wake every waiter
void SignalManualResetEvent(HANDLE event)
{
    HostManualResetEvent *host = EventOf(event);
    std::lock_guard<std::mutex> guard(host->mutex);
    host->signalled = true;
    host->changed.notify_all();
}

// Clear the flag
void ResetManualResetEvent(HANDLE event)
{
    HostManualResetEvent *host = EventOf(event);
    std::lock_guard<std::mutex> guard(host->mutex);
    host->signalled = false;
}

// Wait until the flag is set
void WaitForManualResetEvent(HANDLE event)
{
    HostManualResetEvent *host = EventOf(event);
    std::unique_lock<std::mutex> guard(host->mutex);
    host->changed.wait(guard, [host] { return host->signalled; });
}

// Free the event
void CloseManualResetEvent(HANDLE event)
{
    delete EventOf(event);
}

} // namespace Korvo
