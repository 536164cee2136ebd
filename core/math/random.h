// Random numbers from a 32-bit Mersenne twister (MT19937, 1998 seeding).
//
// The main window's start-up seeds it from the millisecond clock; used before
// any seeding, it behaves as if seeded with 4357.
#pragma once

#include <cstdint>

namespace Korvo {

// Seed the generator and prepare its first block of outputs; 0
int SeedTwister(uint32_t seed);
// The next 32-bit output
uint32_t NextTwisterWord();
// A random int in 0..max (max + 1..0 for a negative max), spread by scaling
int GetRandomUpTo(int max);
// 1 when the processor reports MMX, else 0
int DetectMmxSupport();
// Compute the next 624 state words and their outputs; 0
int RefillTwisterBlock();

} // namespace Korvo
