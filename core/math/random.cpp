// Random numbers from a 32-bit Mersenne twister (MT19937, 1998 seeding).
#include "core/math/random.h"

#include "core/math/twister_refill.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Seed of the reference code, used when nothing seeded the generator.
constexpr uint32_t kDefaultTwisterSeed = 4357;

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static uint32_t g_twisterState[kTwisterStateWords];
static uint32_t g_twisterOutputs[kTwisterStateWords];
static int g_twisterIndex = 0;
static int g_twisterSeeded = 0;
static int g_twisterUsesMmx = 0;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// 1 when the processor reports MMX
int DetectMmxSupport()
{
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0)
        return 0;
    return (edx & bit_MMX) != 0 ? 1 : 0;
#else
    return 0;
#endif
}

// Seed the generator and prepare its first block
int SeedTwister(uint32_t seed)
{
    // Two steps of x <- 69069 x + 1 per word: the upper halves of both.
    uint32_t x = seed;
    for (int i = 0; i < kTwisterStateWords; ++i) {
        g_twisterState[i] = (x & 0xFFFF0000u) | ((69069u * x + 1u) >> 16);
        x = 475559465u * x + 69070u;
    }
    g_twisterUsesMmx = DetectMmxSupport();
    g_twisterSeeded = 1;
    return RefillTwisterBlock();
}

// Compute the next 624 state words and their outputs
int RefillTwisterBlock()
{
    if (g_twisterUsesMmx)
        RefillTwisterStateMmx(g_twisterState, g_twisterOutputs);
    else
        RefillTwisterStatePlain(g_twisterState, g_twisterOutputs);
    g_twisterIndex = 0;
    return 0;
}

// The next 32-bit output
uint32_t NextTwisterWord()
{
    if (!g_twisterSeeded)
        SeedTwister(kDefaultTwisterSeed);
    if (g_twisterIndex >= kTwisterStateWords)
        RefillTwisterBlock();
    return g_twisterOutputs[g_twisterIndex++];
}

// A random int in 0..max, spread by scaling
int GetRandomUpTo(int max)
{
    // NOTE: max + 1 in 64 bits, so INT_MAX does not overflow.
    const int64_t range = static_cast<int64_t>(max) + 1;
    const int64_t product = static_cast<int64_t>(NextTwisterWord()) * range;
    return static_cast<int>(product >> 32);
}

} // namespace Korvo
