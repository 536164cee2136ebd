// Sleeping in the host build (the thread wrappers themselves are Windows only).
//
// POSIX calls rather than <chrono>: its literals do not convert to the cp932
// execution character set this project compiles with.

#include "core/threads/thread_record.h"

#include <sched.h>
#include <time.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Sleep, or give up the time slice for 0
void SleepMilliseconds(unsigned ms)
{
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec wait = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

} // namespace Korvo
