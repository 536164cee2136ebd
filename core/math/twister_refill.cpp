// The Mersenne twister's block step: next state words and tempered outputs.
//
// The MMX form needs a processor with MMX; the caller checks for it.
#include "core/math/twister_refill.h"

#include <cstring>
#if defined(__MMX__)
#include <mmintrin.h>
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kN = kTwisterStateWords;
constexpr int kM = 397;
constexpr uint32_t kMatrixA = 0x9908B0DFu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;
constexpr uint32_t kTemperingB = 0x9D2C5680u;
constexpr uint32_t kTemperingC = 0xEFC60000u;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// One block step, one word at a time
void RefillTwisterStatePlain(uint32_t *state, uint32_t *outputs)
{
    // Indices wrap, so words past N - M already see the new values, as in the
    // reference recurrence.
    for (int i = 0; i < kN; ++i) {
        const uint32_t y = (state[i] & kUpperMask) | (state[(i + 1) % kN] & kLowerMask);
        state[i] = state[(i + kM) % kN] ^ (y >> 1) ^ ((0u - (y & 1u)) & kMatrixA);
    }
    for (int i = 0; i < kN; ++i) {
        uint32_t y = state[i];
        y ^= y >> 11;
        y ^= (y << 7) & kTemperingB;
        y ^= (y << 15) & kTemperingC;
        y ^= y >> 18;
        outputs[i] = y;
    }
}

#if defined(__MMX__)

// Two state words as one MMX value (first in the low half).
static __m64 LoadPair(const uint32_t *state, int first, int second)
{
    return _mm_set_pi32(static_cast<int>(state[second]), static_cast<int>(state[first]));
}

// One block step, two words at a time with MMX
void RefillTwisterStateMmx(uint32_t *state, uint32_t *outputs)
{
    const __m64 upper = _mm_set1_pi32(static_cast<int>(kUpperMask));
    const __m64 lower = _mm_set1_pi32(static_cast<int>(kLowerMask));
    const __m64 matrix = _mm_set1_pi32(static_cast<int>(kMatrixA));
    const __m64 one = _mm_set1_pi32(1);
    const __m64 zero = _mm_setzero_si64();
    // N is even and neither word of a pair reads the other's result.
    for (int i = 0; i < kN; i += 2) {
        const __m64 current = LoadPair(state, i, i + 1);
        const __m64 next = LoadPair(state, i + 1, (i + 2) % kN);
        const __m64 far = LoadPair(state, (i + kM) % kN, (i + 1 + kM) % kN);
        const __m64 y = _mm_or_si64(_mm_and_si64(current, upper), _mm_and_si64(next, lower));
        const __m64 oddMask = _mm_sub_pi32(zero, _mm_and_si64(y, one));
        const __m64 word = _mm_xor_si64(_mm_xor_si64(far, _mm_srli_pi32(y, 1)), _mm_and_si64(oddMask, matrix));
        state[i] = static_cast<uint32_t>(_mm_cvtsi64_si32(word));
        state[i + 1] = static_cast<uint32_t>(_mm_cvtsi64_si32(_mm_srli_si64(word, 32)));
    }
    const __m64 temperingB = _mm_set1_pi32(static_cast<int>(kTemperingB));
    const __m64 temperingC = _mm_set1_pi32(static_cast<int>(kTemperingC));
    for (int i = 0; i < kN; i += 2) {
        __m64 y;
        std::memcpy(&y, state + i, sizeof y);
        y = _mm_xor_si64(y, _mm_srli_pi32(y, 11));
        y = _mm_xor_si64(y, _mm_and_si64(_mm_slli_pi32(y, 7), temperingB));
        y = _mm_xor_si64(y, _mm_and_si64(_mm_slli_pi32(y, 15), temperingC));
        y = _mm_xor_si64(y, _mm_srli_pi32(y, 18));
        std::memcpy(outputs + i, &y, sizeof y);
    }
    _mm_empty();
}

#else

// One block step (built without MMX: the plain step)
void RefillTwisterStateMmx(uint32_t *state, uint32_t *outputs)
{
    RefillTwisterStatePlain(state, outputs);
}

#endif

} // namespace Korvo
