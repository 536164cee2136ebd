// Millisecond and microsecond clocks.
//
// The millisecond clock is the multimedia timer (usable once the platform
// libraries are loaded); the microsecond clock is the performance counter when
// the main window's start-up chose it, else the multimedia timer.
#pragma once

#include "core/public_api.h"

#include <cstdint>

namespace Korvo {

// Microsecond clock source, filled by the main window's start-up.
struct MicrosecondClockSource {
    int usePerformanceCounter;   // 1 when the performance counter is used
    uint64_t counterFrequency;   // counts per second (QueryPerformanceFrequency)
};
extern MicrosecondClockSource MicrosecondClockState;

// out = a * b, exact; out holds four 32-bit words, least significant first
void MultiplyUnsigned64To128(const uint64_t *a, const uint64_t *b, uint32_t out[4]);
// out = low 64 bits of dividend / divisor (divisor not 0)
void DivideUnsigned128By64(const uint32_t dividend[4], const uint64_t *divisor, uint64_t *out);
// counter * 1,000,000 / frequency without overflow for any counter value
uint64_t ConvertCounterToMicroseconds(uint64_t counter, uint64_t frequency);

} // namespace Korvo
