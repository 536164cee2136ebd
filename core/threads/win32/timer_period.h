// The multimedia timer's resolution, begun and ended in balanced pairs.
#pragma once

namespace Korvo {

// Begin the multimedia timer's finest period (counted so that ends balance); 0 or -1 without winmm
int BeginTimerPeriod();
// End every period begun; 0
int EndTimerPeriods();
// Periods begun and not yet ended
int GetTimerPeriodsInForce();
// The finest period of the multimedia timer in ms (1 when unknown)
unsigned GetTimerMinimumPeriod();

} // namespace Korvo
