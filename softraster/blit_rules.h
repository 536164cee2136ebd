// Internal: per-pixel blend rules shared by the plain, run-table and stretched blits.
//
// Each rule is a template on the operation and the factors in force (blend
// image weight t, source alpha a, bright colour), so that every loop that
// instantiates it holds only the arithmetic of one variant.
#pragma once

#include <cstdint>

#include "softraster/blit_common.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Operations: the blend modes plus the special whole-word forms some loops use.
enum BlitOp : int {
    BLIT_OP_COPY = 0,
    BLIT_OP_ALPHA = 1,
    BLIT_OP_ADD = 2,
    BLIT_OP_SUBTRACT = 3,
    BLIT_OP_MULTIPLY = 4,
    BLIT_OP_INVERT = 10,
    BLIT_OP_MULTIPLY_WEIGHTED = 11,
    BLIT_OP_HALVE = 20,          // p = 128 without modifiers: average of the halves
    BLIT_OP_ADD_NO_LOW = 21,     // packed add without the low-bit term
    BLIT_OP_ADD_BYTES = 22,      // bytewise saturating add, byte 3 included
    BLIT_OP_SUBTRACT_BYTES = 23, // bytewise saturating subtract, byte 3 included
};

// How a 16-bit rule without factors interpolates by the parameter in mode 1.
enum Mode1Form : int {
    MODE1_SIGNED_LERP = 0,   // d + SLerp(p, s - d)
    MODE1_LERP6 = 1,         // Lerp6(p / 4, s, d)
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Table rows and values chosen once per call.
struct BlitRuleContext {
    int p;
    const int *prodP;            // MemImgProductTable[p]
    const int *slerpP;           // MemImgSignedLerpTable[p], from d = 0
    const uint8_t *lerp6;        // MemImgLerp6Table[p / 4], [s * 64 + d]
    const int *brightB;
    const int *brightG;
    const int *brightR;
    const uint8_t *threshold;    // MemImgBlendThresholdTable
    uint32_t key;                // transparent colour
    const uint8_t *palette;      // source palette block, or null
};

// Fill the per-call table rows from the draw state.
inline BlitRuleContext MakeBlitRuleContext(const MemImgBody *source)
{
    BlitRuleContext c;
    int p = MemImgState.blendParam;
    if (p < 0)
        p = 0;
    if (p > 255)
        p = 255;
    c.p = p;
    c.prodP = MemImgProductTable[p];
    c.slerpP = MemImgSignedLerpRow(p);
    c.lerp6 = &MemImgLerp6Table[p / 4][0][0];
    const uint32_t bright = MemImgState.brightColor;
    c.brightB = MemImgProductTable[bright & 0xFF];
    c.brightG = MemImgProductTable[(bright >> 8) & 0xFF];
    c.brightR = MemImgProductTable[(bright >> 16) & 0xFF];
    c.threshold = MemImgBlendThresholdTable;
    c.key = source->transparentColor;
    c.palette = source->paletteBlock;
    return c;
}

inline bool MemImgBrightOn() { return (MemImgState.brightColor & 0xFFFFFF) != MEMIMG_BRIGHT_NONE; }

// ---------------------------------------------------------------------------
// Packed saturating forms
// ---------------------------------------------------------------------------

inline uint32_t PackedAdd32(uint32_t s, uint32_t d)
{
    const uint32_t k = (s & 0xFEFEFF) + (d & 0xFEFEFF);
    const uint32_t q = k & 0x1010100;
    return (q - (q >> 8)) | ((s | d) & 0x10100) | k;
}

inline uint32_t PackedAddNoLow32(uint32_t s, uint32_t d)
{
    const uint32_t k = (s & 0xFEFEFF) + (d & 0xFEFEFF);
    const uint32_t q = k & 0x1010100;
    return (q - (q >> 8)) | k;
}

inline uint32_t PackedSubtract32(uint32_t s, uint32_t d)
{
    const uint32_t e = (d | 0x1010100) - (s & 0xFEFEFF);
    const uint32_t m = e & 0x1010100;
    return e & (m - (m >> 8));
}

inline uint32_t BytewiseAdd32(uint32_t s, uint32_t d)
{
    uint32_t r = 0;
    for (int i = 0; i < 32; i += 8) {
        uint32_t v = ((s >> i) & 0xFF) + ((d >> i) & 0xFF);
        r |= (v > 255 ? 255u : v) << i;
    }
    return r;
}

inline uint32_t BytewiseSubtract32(uint32_t s, uint32_t d)
{
    uint32_t r = 0;
    for (int i = 0; i < 32; i += 8) {
        const int v = static_cast<int>((d >> i) & 0xFF) - static_cast<int>((s >> i) & 0xFF);
        r |= static_cast<uint32_t>(v < 0 ? 0 : v) << i;
    }
    return r;
}

inline uint32_t PackedAdd16(uint32_t s, uint32_t d)
{
    const uint32_t k = (s & 0xF7DF) + (d & 0xF7DF);
    const uint32_t q = k & 0x10820;
    return ((q - (q >> 5)) | ((s | d) & 0x0820) | k) & 0xFFFF;
}

inline uint32_t PackedAddNoLow16(uint32_t s, uint32_t d)
{
    const uint32_t k = (s & 0xF7DF) + (d & 0xF7DF);
    const uint32_t q = k & 0x10820;
    return ((q - (q >> 5)) | k) & 0xFFFF;
}

inline uint32_t PackedSubtract16(uint32_t s, uint32_t d)
{
    const uint32_t e = (d | 0x10820) - (s & 0xF7DF);
    const uint32_t m = e & 0x10820;
    return e & (m - (m >> 5)) & 0xFFFF;
}

// Two neighbouring 16-bit pixels in one word (left one low): saturating add.
inline uint32_t PackedAddPair16(uint32_t s, uint32_t d)
{
    const uint64_t wide = static_cast<uint64_t>(s & 0xF7DEF7DF) + (d & 0xF7DEF7DF);
    const uint32_t k = static_cast<uint32_t>(wide);
    const uint32_t carry = static_cast<uint32_t>(wide >> 32);
    const uint32_t q = k & 0x08210820;
    return (q - ((q >> 5) | (carry << 27))) | k;
}

// Two neighbouring 16-bit pixels in one word: saturating subtract.
inline uint32_t PackedSubtractPair16(uint32_t s, uint32_t d)
{
    const uint32_t minuend = d | 0x08210820;
    const uint32_t subtrahend = s & 0xF7DEF7DF;
    const uint32_t e = minuend - subtrahend;
    const bool borrow = subtrahend > minuend;
    const uint32_t m = e & 0x08210820;
    return e & ((m - (m >> 5)) | (borrow ? 0u : 0xF8000000u));
}

// ---------------------------------------------------------------------------
// 32-bit rules
// ---------------------------------------------------------------------------

// (d * 256^k + (x - d) * w) >> 8k, computed without loss.
template <int K>
inline uint32_t Lerp8(uint32_t d, uint32_t x, uint32_t w)
{
    const int64_t sum = (static_cast<int64_t>(d) << (8 * K)) +
                        (static_cast<int64_t>(x) - static_cast<int64_t>(d)) * static_cast<int64_t>(w);
    return static_cast<uint32_t>(sum >> (8 * K)) & 0xFF;
}

// New value of a 32-bit destination pixel d for source colour s (bytes 0-2 blue, green, red).
template <int Op, bool T, bool A, bool Bright>
inline uint32_t Rule32(uint32_t s, uint32_t d, uint32_t t, uint32_t a, const BlitRuleContext &c)
{
    if constexpr (Op == BLIT_OP_HALVE)
        return ((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F);
    else if constexpr (Op == BLIT_OP_ADD_NO_LOW)
        return PackedAddNoLow32(s, d);
    else if constexpr (Op == BLIT_OP_ADD_BYTES)
        return BytewiseAdd32(s, d);
    else if constexpr (Op == BLIT_OP_SUBTRACT_BYTES)
        return BytewiseSubtract32(s, d);
    else if constexpr (Op == BLIT_OP_COPY && !T && !A && !Bright)
        return s;
    else {
        constexpr int factors = (T ? 1 : 0) + (A ? 1 : 0);
        const uint32_t weight = (T ? t : 1) * (A ? a : 1);
        const int *rows[3] = {c.brightB, c.brightG, c.brightR};
        uint32_t out = d & 0xFF000000;
        uint32_t terms = 0;
        for (int i = 0; i < 3; ++i) {
            const int shift = 8 * i;
            const uint32_t sr = (s >> shift) & 0xFF;
            const uint32_t dc = (d >> shift) & 0xFF;
            const uint32_t sc = Bright ? static_cast<uint32_t>(rows[i][sr]) : sr;
            uint32_t v = 0;
            if constexpr (Op == BLIT_OP_COPY) {
                v = factors == 0 ? sc : Lerp8<factors>(dc, sc, weight);
            } else if constexpr (Op == BLIT_OP_ALPHA) {
                v = Lerp8<factors + 1>(dc, sc, weight * static_cast<uint32_t>(c.p));
            } else if constexpr (Op == BLIT_OP_ADD || Op == BLIT_OP_SUBTRACT) {
                if constexpr (factors == 0)
                    v = static_cast<uint32_t>(c.prodP[sc]);
                else
                    v = static_cast<uint32_t>((static_cast<uint64_t>(sc) * static_cast<uint32_t>(c.p) * weight) >>
                                              (8 * (factors + 1)));
                terms |= v << shift;
                continue;
            } else if constexpr (Op == BLIT_OP_MULTIPLY) {
                v = static_cast<uint32_t>((static_cast<uint64_t>(sc) * dc * weight) >> (8 * (1 + factors)));
            } else if constexpr (Op == BLIT_OP_INVERT) {
                const uint32_t x = Bright ? static_cast<uint32_t>(rows[i][255 - sr]) : 255 - sr;
                v = Lerp8<factors + 1>(dc, x, weight * static_cast<uint32_t>(c.p));
            } else if constexpr (Op == BLIT_OP_MULTIPLY_WEIGHTED) {
                const uint32_t m = ((sc * dc) >> 8) & 0xFF;
                v = Lerp8<factors + 1>(dc, m, weight * static_cast<uint32_t>(c.p));
            }
            out |= (v & 0xFF) << shift;
        }
        if constexpr (Op == BLIT_OP_ADD)
            return PackedAdd32(terms, d);
        else if constexpr (Op == BLIT_OP_SUBTRACT)
            return PackedSubtract32(terms, d);
        else
            return out;
    }
}

// ---------------------------------------------------------------------------
// 16-bit rules
// ---------------------------------------------------------------------------

// floor((d * 2^8k + (x - d) * w) / 2^8k) for a 5- or 6-bit field.
template <int K>
inline uint32_t Lerp16Field(uint32_t d, uint32_t x, uint32_t w)
{
    const int64_t sum = (static_cast<int64_t>(d) << (8 * K)) +
                        (static_cast<int64_t>(x) - static_cast<int64_t>(d)) * static_cast<int64_t>(w);
    return static_cast<uint32_t>(sum >> (8 * K));
}

// New value of a 16-bit R5G6B5 destination pixel d for source colour s.
template <int Op, bool T, bool A, bool Bright, int Form>
inline uint32_t Rule16(uint32_t s, uint32_t d, uint32_t t, uint32_t a, const BlitRuleContext &c)
{
    if constexpr (Op == BLIT_OP_HALVE)
        return ((s >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF);
    else if constexpr (Op == BLIT_OP_ADD_NO_LOW)
        return PackedAddNoLow16(s, d);
    else if constexpr (Op == BLIT_OP_COPY && !T && !A && !Bright)
        return s & 0xFFFF;
    else if constexpr (Op == BLIT_OP_ALPHA && !T && !A && !Bright && Form == MODE1_LERP6) {
        const uint8_t *block = c.lerp6;
        const uint32_t r = block[(s >> 11) * 64 + (d >> 11)];
        const uint32_t g = block[((s >> 5) & 63) * 64 + ((d >> 5) & 63)];
        const uint32_t b = block[(s & 31) * 64 + (d & 31)];
        return r << 11 | g << 5 | b;
    } else {
        constexpr int factors = (T ? 1 : 0) + (A ? 1 : 0);
        const uint32_t weight = (T ? t : 1) * (A ? a : 1);
        const int *rows[3] = {c.brightB, c.brightG, c.brightR};
        constexpr int shifts[3] = {0, 5, 11};
        constexpr int widths[3] = {5, 6, 5};
        uint32_t out = 0;
        for (int i = 0; i < 3; ++i) {
            const int shift = shifts[i];
            const int width = widths[i];
            const uint32_t max = (1u << width) - 1;
            const uint32_t sr = (s >> shift) & max;
            const uint32_t dc = (d >> shift) & max;
            const uint32_t sc = Bright ? static_cast<uint32_t>(rows[i][sr]) : sr;
            uint32_t v = 0;
            if constexpr (Op == BLIT_OP_COPY) {
                v = factors == 0 ? sc : Lerp16Field<factors>(dc, sc, weight);
            } else if constexpr (Op == BLIT_OP_ALPHA) {
                if constexpr (factors == 0)
                    v = static_cast<uint32_t>(static_cast<int>(dc) + c.slerpP[static_cast<int>(sc) - static_cast<int>(dc)]);
                else
                    v = Lerp16Field<factors + 1>(dc, sc, weight * static_cast<uint32_t>(c.p));
            } else if constexpr (Op == BLIT_OP_ADD || Op == BLIT_OP_SUBTRACT) {
                uint32_t base;
                if constexpr (!T && !A)
                    base = sc;
                else if constexpr (A && !T)
                    base = Bright ? static_cast<uint32_t>(rows[i][(sr * a) >> 8]) : (sr * a) >> 8;
                else
                    base = (sc * weight) >> (8 * factors);
                v = static_cast<uint32_t>(c.prodP[base]);
            } else if constexpr (Op == BLIT_OP_MULTIPLY) {
                v = static_cast<uint32_t>((static_cast<uint64_t>(sc) * dc * weight) >> (width + 8 * factors));
            } else if constexpr (Op == BLIT_OP_INVERT) {
                const uint32_t x = Bright ? static_cast<uint32_t>(rows[i][max - sr]) : max - sr;
                if constexpr (factors == 0)
                    v = static_cast<uint32_t>(static_cast<int>(dc) + c.slerpP[static_cast<int>(x) - static_cast<int>(dc)]);
                else
                    v = Lerp16Field<factors + 1>(dc, x, weight * static_cast<uint32_t>(c.p));
            } else if constexpr (Op == BLIT_OP_MULTIPLY_WEIGHTED) {
                const uint32_t m = (sc * dc) >> width;
                if constexpr (factors == 0) {
                    v = static_cast<uint32_t>(static_cast<int>(dc) + c.slerpP[static_cast<int>(m) - static_cast<int>(dc)]);
                } else if (A && !T && !Bright && i == 1) {
                    // Green keeps five more bits of its product here.
                    const int64_t sum = (static_cast<int64_t>(dc) << 21) +
                                        (static_cast<int64_t>((sc * dc) >> 1) - 32 * static_cast<int64_t>(dc)) *
                                            a * c.p;
                    v = static_cast<uint32_t>(sum >> 21);
                } else {
                    v = Lerp16Field<factors + 1>(dc, m, weight * static_cast<uint32_t>(c.p));
                }
            }
            out |= (v & max) << shift;
        }
        if constexpr (Op == BLIT_OP_ADD)
            return PackedAdd16(out, d);
        else if constexpr (Op == BLIT_OP_SUBTRACT)
            return PackedSubtract16(out, d);
        else
            return out;
    }
}

}  // namespace Korvo
