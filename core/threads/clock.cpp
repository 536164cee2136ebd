// Clock arithmetic shared by both builds: exact 128-bit scaling of counter values.

#include "core/threads/clock.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

MicrosecondClockSource MicrosecondClockState = {0, 0};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// out = a * b from four 32x32-bit partial products
void MultiplyUnsigned64To128(const uint64_t *a, const uint64_t *b, uint32_t out[4])
{
    const uint64_t aLow = *a & 0xFFFFFFFFu, aHigh = *a >> 32;
    const uint64_t bLow = *b & 0xFFFFFFFFu, bHigh = *b >> 32;
    const uint64_t lowLow = aLow * bLow;
    const uint64_t lowHigh = aLow * bHigh;
    const uint64_t highLow = aHigh * bLow;
    const uint64_t highHigh = aHigh * bHigh;
    const uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu);
    const uint64_t upper = highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
    out[0] = static_cast<uint32_t>(lowLow);
    out[1] = static_cast<uint32_t>(middle);
    out[2] = static_cast<uint32_t>(upper);
    out[3] = static_cast<uint32_t>(upper >> 32);
}

// out = low 64 bits of dividend / divisor, by shift-and-subtract long division
void DivideUnsigned128By64(const uint32_t dividend[4], const uint64_t *divisor, uint64_t *out)
{
    uint64_t remainderHigh = 0; // the remainder may need 65 bits: carry it separately
    uint64_t remainder = 0;
    uint64_t quotient = 0;
    for (int bit = 127; bit >= 0; --bit) {
        remainderHigh = remainder >> 63;
        remainder = (remainder << 1) | ((dividend[bit / 32] >> (bit % 32)) & 1u);
        quotient <<= 1;
        if (remainderHigh != 0 || remainder >= *divisor) {
            remainder -= *divisor;
            quotient |= 1;
        }
    }
    *out = quotient;
}

// counter * 1,000,000 / frequency through the 128-bit product
uint64_t ConvertCounterToMicroseconds(uint64_t counter, uint64_t frequency)
{
    const uint64_t scale = 1000000;
    uint32_t product[4];
    MultiplyUnsigned64To128(&counter, &scale, product);
    uint64_t microseconds = 0;
    DivideUnsigned128By64(product, &frequency, &microseconds);
    return microseconds;
}

} // namespace Korvo
