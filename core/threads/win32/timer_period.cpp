// The multimedia timer's resolution.
//
// Every timeBeginPeriod is counted and ended again at window end, so the
// system's timer resolution is given back however far the start-up got.

#include "core/threads/win32/timer_period.h"

#include "core/system/platform_libraries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int PeriodsInForce = 0;
static unsigned MinimumPeriod = 1;

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

// timeGetDevCaps, then timeBeginPeriod with the finest period
int BeginTimerPeriod()
{
    const WinmmEntries &winmm = PlatformLibraries.winmm;
    if (winmm.timeGetDevCaps == nullptr || winmm.timeBeginPeriod == nullptr || winmm.timeEndPeriod == nullptr) {
        return -1;
    }
    TIMECAPS caps = {};
    if (winmm.timeGetDevCaps(&caps, sizeof(caps)) == TIMERR_NOERROR && caps.wPeriodMin != 0) {
        MinimumPeriod = caps.wPeriodMin;
    }
    if (winmm.timeBeginPeriod(MinimumPeriod) != TIMERR_NOERROR) {
        return -1;
    }
    PeriodsInForce += 1;
    return 0;
}

// timeEndPeriod once for every period begun
int EndTimerPeriods()
{
    while (PeriodsInForce > 0 && PlatformLibraries.winmm.timeEndPeriod != nullptr) {
        PlatformLibraries.winmm.timeEndPeriod(MinimumPeriod);
        PeriodsInForce -= 1;
    }
    PeriodsInForce = 0;
    return 0;
}

// Periods begun and not yet ended
int GetTimerPeriodsInForce()
{
    return PeriodsInForce;
}

// The finest period
unsigned GetTimerMinimumPeriod()
{
    return MinimumPeriod;
}

} // namespace Korvo
