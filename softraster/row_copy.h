// Whole-row moves and fills with 16-byte stores: the plain copies and the
// copy-mode fills spend all their time here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "softraster/processor_forms.h"

namespace Korvo {

// Rows at least this long are worth the start-up of a string move.
constexpr size_t kStringMoveRowBytes = 2048;

// Copy bytes of one row (the rows never overlap).
inline void CopyRowBytes(uint8_t *dst, const uint8_t *src, size_t bytes)
{
#if defined(__SSE2__)
    for (; bytes >= 64; bytes -= 64, src += 64, dst += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), a);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 48), d);
    }
    for (; bytes >= 16; bytes -= 16, src += 16, dst += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i *>(src)));
#endif
    std::memcpy(dst, src, bytes);
}

// Copy one long row with the processor's string move, once the destination
// is aligned to a cache line (the first 64 bytes go by CopyRowBytes), so that
// the move writes whole lines.
inline void StringMoveRowBytes(uint8_t *dst, const uint8_t *src, size_t bytes)
{
#if KORVO_STRING_MOVES
    if (bytes >= 64) {
        const size_t head = (64 - (reinterpret_cast<uintptr_t>(dst) & 63)) & 63;
        CopyRowBytes(dst, src, 64);
        dst += head;
        src += head;
        bytes -= head;
        __asm__ volatile("rep movsb" : "+D"(dst), "+S"(src), "+c"(bytes) : : "memory");
        return;
    }
#endif
    CopyRowBytes(dst, src, bytes);
}

// The plain (cached) copy for rows of this length on this processor.
using RowCopyFunction = void (*)(uint8_t *, const uint8_t *, size_t);
inline RowCopyFunction ChooseRowCopy(size_t rowBytes)
{
    return rowBytes >= kStringMoveRowBytes && MemImgStringMovesEnabled() ? StringMoveRowBytes : CopyRowBytes;
}

// CopyRowBytes with streaming stores, for copies past the caches
// (MemImgStreamingBytes): the destination is not read first and the source
// stays cached. Call FinishStreamingStores after the last row.
inline void StreamRowBytes(uint8_t *dst, const uint8_t *src, size_t bytes)
{
#if defined(__SSE2__)
    const size_t head = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
    if (bytes >= head + 64) {
        std::memcpy(dst, src, head);
        dst += head;
        src += head;
        bytes -= head;
        for (; bytes >= 64; bytes -= 64, src += 64, dst += 64) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 16));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 32));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 48));
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst), a);
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst + 16), b);
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst + 32), c);
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst + 48), d);
        }
    }
#endif
    CopyRowBytes(dst, src, bytes);
}

// Order the streaming stores before anything that follows.
inline void FinishStreamingStores()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

// One row of 32-bit pixels picked from src at byte offsets (the stretched
// copy's columns).
inline void GatherRow32(uint8_t *dst, const uint8_t *src, const int *offsets, int count)
{
    auto word = [&](int i) {
        uint32_t v;
        std::memcpy(&v, src + offsets[i], 4);
        return v;
    };
    int i = 0;
    for (; i + 4 <= count; i += 4, dst += 16) {
        const uint32_t a = word(i), b = word(i + 1), c = word(i + 2), d = word(i + 3);
        std::memcpy(dst, &a, 4);
        std::memcpy(dst + 4, &b, 4);
        std::memcpy(dst + 8, &c, 4);
        std::memcpy(dst + 12, &d, 4);
    }
    for (; i < count; ++i, dst += 4) {
        const uint32_t v = word(i);
        std::memcpy(dst, &v, 4);
    }
}

// Store one 32-bit word count times from dst (any alignment); Streaming: with
// streaming stores (call FinishStreamingStores after the last row).
template <bool Streaming>
inline void FillRowWords32(uint8_t *dst, uint32_t word, size_t count)
{
#if defined(__SSE2__)
    const __m128i v = _mm_set1_epi32(static_cast<int>(word));
    if (Streaming && (reinterpret_cast<uintptr_t>(dst) & 3) == 0) {
        for (; count > 0 && (reinterpret_cast<uintptr_t>(dst) & 15) != 0; --count, dst += 4)
            std::memcpy(dst, &word, 4);
        for (; count >= 16; count -= 16, dst += 64) {
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst), v);
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst + 16), v);
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst + 32), v);
            _mm_stream_si128(reinterpret_cast<__m128i *>(dst + 48), v);
        }
    }
    for (; count >= 16; count -= 16, dst += 64) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 16), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 32), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 48), v);
    }
    for (; count >= 4; count -= 4, dst += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), v);
#endif
    for (; count > 0; --count, dst += 4)
        std::memcpy(dst, &word, 4);
}

}  // namespace Korvo
