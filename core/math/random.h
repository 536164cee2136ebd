// Random numbers from a 32-bit Mersenne twister (MT19937, 1998 seeding).
//
// The main window's start-up seeds it from the millisecond clock; used before
// any seeding, it behaves as if seeded with 4357.
#pragma once

#include "core/public_api.h"

#include <cstdint>

namespace Korvo {

// The next 32-bit output
uint32_t NextTwisterWord();
// 1 when the processor reports MMX, else 0
int DetectMmxSupport();
// Compute the next 624 state words and their outputs; 0
int RefillTwisterBlock();

} // namespace Korvo
