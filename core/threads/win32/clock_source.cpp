// Clocks on Windows: the multimedia timer and the performance counter.

#include "core/threads/clock.h"

#include "core/system/platform_libraries.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// timeGetTime with bit 31 cleared; -1 before "winmm.dll" is loaded
int GetMillisecondClock()
{
    if (PlatformLibraries.winmm.timeGetTime == nullptr) {
        return -1;
    }
    return static_cast<int>(PlatformLibraries.winmm.timeGetTime() & 0x7FFFFFFFu);
}

// Performance counter in microseconds when chosen, else the multimedia timer × 1,000
uint64_t GetMicrosecondClock()
{
    if (MicrosecondClockState.usePerformanceCounter != 0 && MicrosecondClockState.counterFrequency != 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        return ConvertCounterToMicroseconds(static_cast<uint64_t>(counter.QuadPart),
                                            MicrosecondClockState.counterFrequency);
    }
    if (PlatformLibraries.winmm.timeGetTime != nullptr) {
        return static_cast<uint64_t>(PlatformLibraries.winmm.timeGetTime()) * 1000u;
    }
    return ~static_cast<uint64_t>(0);
}

} // namespace Korvo
