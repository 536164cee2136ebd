// Clocks of the host build: the monotonic clock stands in for both timers.

#include "core/threads/clock.h"

#include <time.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint64_t MonotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Monotonic milliseconds with bit 31 cleared
int GetMillisecondClock()
{
    return static_cast<int>((MonotonicNanoseconds() / 1000000u) & 0x7FFFFFFFu);
}

// Monotonic microseconds
uint64_t GetMicrosecondClock()
{
    return MonotonicNanoseconds() / 1000u;
}

} // namespace Korvo
