// The AVX2 row loops: eight 32-bit pixels a step, the same integer steps as
// the SSE2 forms in simd_pixels.h, the tails through the one-pixel rules.
#include "softraster/wide_vector_rows.h"

#include "softraster/packed_add_sub.h"
#include "softraster/pixel_channels.h"

#if KORVO_WIDE_VECTOR_FORMS
#include <immintrin.h>

// Only the functions marked with this attribute use 256-bit instructions; the
// rest of the file, and every caller, stays within the build's base set.
#define KORVO_AVX2 __attribute__((target("avx2")))

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// PackedAddMaskedPixels32x4 on eight pixels: the byte-saturating sums of d
// (low bits of green and red cleared) and the addend, the packed sum's
// carries, and d's low bits of green and red.
KORVO_AVX2 inline __m256i PackedAddMaskedPixels32x8(__m256i d, __m256i sMasked, __m256i sColor)
{
    const __m256i dMasked = _mm256_and_si256(d, _mm256_set1_epi32(0x00FEFEFF));
    const __m256i carries = _mm256_and_si256(_mm256_add_epi32(dMasked, sMasked), _mm256_set1_epi32(0x01010100));
    const __m256i low = _mm256_and_si256(d, _mm256_set1_epi32(0x00010100));
    return _mm256_or_si256(_mm256_or_si256(_mm256_adds_epu8(dMasked, sColor), carries), low);
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// PackedAddPixel32 of one addend onto count pixels, sixteen a step while they last.
KORVO_AVX2 void PackedAddRow32Avx2(uint8_t *row, int count, uint32_t addend)
{
    const __m256i sMasked = _mm256_set1_epi32(static_cast<int>(addend & 0x00FEFEFFu));
    const __m256i sColor = _mm256_set1_epi32(static_cast<int>(addend & 0x00FFFFFFu));
    for (; count >= 16; count -= 16, row += 64) {
        __m256i *at = reinterpret_cast<__m256i *>(row);
        const __m256i a = _mm256_loadu_si256(at);
        const __m256i b = _mm256_loadu_si256(at + 1);
        _mm256_storeu_si256(at, PackedAddMaskedPixels32x8(a, sMasked, sColor));
        _mm256_storeu_si256(at + 1, PackedAddMaskedPixels32x8(b, sMasked, sColor));
    }
    if (count >= 8) {
        __m256i *at = reinterpret_cast<__m256i *>(row);
        _mm256_storeu_si256(at, PackedAddMaskedPixels32x8(_mm256_loadu_si256(at), sMasked, sColor));
        count -= 8;
        row += 32;
    }
    for (; count > 0; --count, row += 4)
        StorePixel32(row, PackedAddPixel32(LoadPixel32(row), addend));
}

}  // namespace Korvo

#endif  // KORVO_WIDE_VECTOR_FORMS
