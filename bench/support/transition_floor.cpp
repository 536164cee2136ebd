// The floor loops of the screen-transition rows: eight pixels a step in 16-bit
// lanes with AVX2, a pixel at a time elsewhere.
#include "bench/support/transition_floor.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KORVO_BENCH_AVX2 1
#else
#define KORVO_BENCH_AVX2 0
#endif

namespace KorvoBench {

namespace {

// (d * (256 - w) + s * w) >> 8 per byte.
uint32_t MixPixel(uint32_t d, uint32_t s, uint32_t w)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= ((((d >> shift) & 0xFF) * (256 - w) + ((s >> shift) & 0xFF) * w) >> 8) << shift;
    return out;
}

#if KORVO_BENCH_AVX2
#define FLOOR_AVX2 __attribute__((target("avx2")))

FLOOR_AVX2 inline __m256i Mix(__m256i d, __m256i s, __m256i w)
{
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d, _mm256_sub_epi16(_mm256_set1_epi16(256), w)),
                                              _mm256_mullo_epi16(s, w)),
                             8);
}

// The alpha lane of each widened pixel over its four lanes.
FLOOR_AVX2 inline __m256i AlphaLanes(__m256i half)
{
    return _mm256_shuffle_epi8(half, _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6,
                                                      7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15));
}

template <bool CrossFade>
FLOOR_AVX2 void FloorRows(uint32_t *screen, const uint32_t *drawn, const uint32_t *picture, int pixels, int weight)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i w = _mm256_set1_epi16(static_cast<short>(weight));
    int i = 0;
    for (; i + 8 <= pixels; i += 8) {
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(screen + i));
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(drawn + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(picture + i));
        __m256i lo, hi;
        if (CrossFade) {
            lo = Mix(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(b, zero), w);
            hi = Mix(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(b, zero), w);
        } else {
            lo = _mm256_unpacklo_epi8(s, zero);
            hi = _mm256_unpackhi_epi8(s, zero);
        }
        const __m256i alphaLo = AlphaLanes(CrossFade ? lo : _mm256_unpacklo_epi8(b, zero));
        const __m256i alphaHi = AlphaLanes(CrossFade ? hi : _mm256_unpackhi_epi8(b, zero));
        const __m256i outLo = Mix(_mm256_unpacklo_epi8(d, zero), lo, alphaLo);
        const __m256i outHi = Mix(_mm256_unpackhi_epi8(d, zero), hi, alphaHi);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(screen + i), _mm256_packus_epi16(outLo, outHi));
    }
    for (; i < pixels; ++i) {
        const uint32_t m = CrossFade ? MixPixel(drawn[i], picture[i], static_cast<uint32_t>(weight)) : drawn[i];
        screen[i] = MixPixel(screen[i], m, (CrossFade ? m : picture[i]) >> 24);
    }
}

bool RunsAvx2() { return __builtin_cpu_supports("avx2"); }
#else
bool RunsAvx2() { return false; }
#endif

}  // namespace

void FloorCrossFade(uint32_t *screen, const uint32_t *drawn, const uint32_t *picture, int pixels, int weight)
{
#if KORVO_BENCH_AVX2
    if (RunsAvx2()) {
        FloorRows<true>(screen, drawn, picture, pixels, weight);
        return;
    }
#endif
    for (int i = 0; i < pixels; ++i) {
        const uint32_t m = MixPixel(drawn[i], picture[i], static_cast<uint32_t>(weight));
        screen[i] = MixPixel(screen[i], m, m >> 24);
    }
}

void FloorMasking(uint32_t *screen, const uint32_t *drawn, const uint32_t *picture, int pixels)
{
#if KORVO_BENCH_AVX2
    if (RunsAvx2()) {
        FloorRows<false>(screen, drawn, picture, pixels, 0);
        return;
    }
#endif
    for (int i = 0; i < pixels; ++i)
        screen[i] = MixPixel(screen[i], drawn[i], picture[i] >> 24);
}

const char *FloorFormName()
{
    return RunsAvx2() ? "AVX2" : "scalar";
}

}  // namespace KorvoBench
