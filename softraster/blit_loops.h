// Internal: source pixel readers, the per-pixel step and the row walkers of the
// plain, run-table and stretched blits, plus the dispatch from the per-call
// switches to one instantiated loop.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "softraster/blit_rules.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// What decides, per pixel, whether and how a source pixel is drawn.
enum BlitPolicy : int {
    BLIT_DRAW_ALL = 0,          // no key, no alpha
    BLIT_KEY_FULL = 1,          // skip pixels equal to the whole transparent colour
    BLIT_KEY_LOW = 2,           // skip pixels equal to its low byte / low 16 bits
    BLIT_ALPHA_ALWAYS = 3,      // every pixel weighted by its alpha
    BLIT_ALPHA_SKIP_ZERO = 4,   // alpha 0 skipped, 255 unweighted, others weighted
    BLIT_ALPHA_KEEP_ZERO = 5,   // alpha 255 unweighted, others (0 included) weighted
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Source pixel readers: colour, alpha and the value compared with the key.
struct SrcPalette32 {
    static constexpr int kBytes = 1;
    static constexpr bool kWide = true;
    static constexpr bool kAlpha = false;
    static constexpr uint32_t kLowKeyMask = 0xFF;
    static uint32_t Color(const uint8_t *p, const BlitRuleContext &c) { return LoadU32(c.palette + 4 * p[0]); }
    static uint32_t KeyOf(const uint8_t *p) { return p[0]; }
    static uint32_t Alpha(const uint8_t *) { return 255; }
};
struct SrcDirect32 {
    static constexpr int kBytes = 4;
    static constexpr bool kWide = true;
    static constexpr bool kAlpha = false;
    static constexpr uint32_t kLowKeyMask = 0xFFFFFFFF;
    static uint32_t Color(const uint8_t *p, const BlitRuleContext &) { return LoadU32(p); }
    static uint32_t KeyOf(const uint8_t *p) { return LoadU32(p); }
    static uint32_t Alpha(const uint8_t *p) { return p[3]; }
};
struct SrcDirect32Alpha : SrcDirect32 {
    static constexpr bool kAlpha = true;
};
struct SrcPalette16 {
    static constexpr int kBytes = 1;
    static constexpr bool kWide = false;
    static constexpr bool kAlpha = false;
    static constexpr uint32_t kLowKeyMask = 0xFF;
    static uint32_t Color(const uint8_t *p, const BlitRuleContext &c) { return LoadU16(c.palette + 2 * p[0]); }
    static uint32_t KeyOf(const uint8_t *p) { return p[0]; }
    static uint32_t Alpha(const uint8_t *) { return 255; }
};
struct SrcDirect16 {
    static constexpr int kBytes = 2;
    static constexpr bool kWide = false;
    static constexpr bool kAlpha = false;
    static constexpr uint32_t kLowKeyMask = 0xFFFF;
    static uint32_t Color(const uint8_t *p, const BlitRuleContext &) { return LoadU16(p); }
    static uint32_t KeyOf(const uint8_t *p) { return LoadU16(p); }
    static uint32_t Alpha(const uint8_t *p) { return p[2]; }
};
// 16-bit colour in bytes 0-1 of a 4-byte pixel whose alpha is not used.
struct SrcDirect16Wide : SrcDirect16 {
    static constexpr int kBytes = 4;
};
// 16-bit colour in bytes 0-1, alpha in byte 2 of a 4-byte pixel.
struct SrcDirect16Alpha : SrcDirect16Wide {
    static constexpr bool kAlpha = true;
};

// Calls run.template operator()<Reader>() with the reader of the source's layout:
// 32- or 16-bit, paletted, with alpha, or plain. One dispatch for every blit family.
template <typename Run>
inline void WithSourceReader(bool wide, bool palette, bool alpha, Run &&run)
{
    if (wide) {
        if (palette)
            run.template operator()<SrcPalette32>();
        else if (alpha)
            run.template operator()<SrcDirect32Alpha>();
        else
            run.template operator()<SrcDirect32>();
    } else {
        if (palette)
            run.template operator()<SrcPalette16>();
        else if (alpha)
            run.template operator()<SrcDirect16Alpha>();
        else
            run.template operator()<SrcDirect16>();
    }
}

// Pointers and pitches of one clipped plain blit.
struct BlitRows {
    const uint8_t *source;
    int sourcePitch;
    uint8_t *destination;
    int destinationPitch;
    const uint8_t *blend;        // null without a blend image
    int blendPitch;
    int width;
    int height;
};

// Stepping state of one stretched blit.
struct StretchRows {
    const uint8_t *source;       // first source pixel
    int sourcePixelStep;         // +- bytes per pixel
    int sourceRowStep;           // +- pitch
    const uint8_t *blend;
    int blendPixelStep;
    int blendRowStep;
    uint8_t *destination;
    int destinationPitch;
    int width;                   // clipped
    int height;
    int xPhaseStart;
    int yPhaseStart;
    int xStep;
    int yStep;
};

// ---------------------------------------------------------------------------
// The per-pixel step
// ---------------------------------------------------------------------------

template <class Src, int Op, bool T, bool A, bool Bright, int Form>
inline void StorePixel(uint8_t *dst, uint32_t s, uint32_t t, uint32_t a, const BlitRuleContext &c)
{
    if constexpr (Src::kWide)
        StoreU32(dst, Rule32<Op, T, A, Bright>(s, LoadU32(dst), t, a, c));
    else
        StoreU16(dst, static_cast<uint16_t>(Rule16<Op, T, A, Bright, Form>(s, LoadU16(dst), t, a, c)));
}

// Draw one source pixel onto one destination pixel through the policy.
template <class Src, int Op, bool T, bool Bright, int Form, int Policy>
inline void BlitPixel(uint8_t *dst, const uint8_t *src, const uint8_t *blend, const BlitRuleContext &c)
{
    if constexpr (Policy == BLIT_KEY_FULL) {
        if (Src::KeyOf(src) == c.key)
            return;
    } else if constexpr (Policy == BLIT_KEY_LOW) {
        if (Src::KeyOf(src) == (c.key & Src::kLowKeyMask))
            return;
    }
    const uint32_t t = T ? c.threshold[*blend] : 0;
    const uint32_t s = Src::Color(src, c);
    if constexpr (Policy == BLIT_ALPHA_ALWAYS) {
        StorePixel<Src, Op, T, true, Bright, Form>(dst, s, t, Src::Alpha(src), c);
    } else if constexpr (Policy == BLIT_ALPHA_SKIP_ZERO || Policy == BLIT_ALPHA_KEEP_ZERO) {
        const uint32_t a = Src::Alpha(src);
        if (Policy == BLIT_ALPHA_SKIP_ZERO && a == 0)
            return;
        if (a == 255)
            StorePixel<Src, Op, T, false, Bright, Form>(dst, s, t, a, c);
        else
            StorePixel<Src, Op, T, true, Bright, Form>(dst, s, t, a, c);
    } else {
        StorePixel<Src, Op, T, false, Bright, Form>(dst, s, t, 255, c);
    }
}

// ---------------------------------------------------------------------------
// Row walkers
// ---------------------------------------------------------------------------

template <class Src>
constexpr int DestinationBytes() { return Src::kWide ? 4 : 2; }

// Plain blit: H rows of W pixels.
template <class Src, int Op, bool T, bool Bright, int Form, int Policy>
void PlainBlitLoop(const BlitRows &g, const BlitRuleContext &c)
{
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        const uint8_t *blend = T ? g.blend + y * g.blendPitch : nullptr;
        for (int x = 0; x < g.width; ++x) {
            BlitPixel<Src, Op, T, Bright, Form, Policy>(dst, src, blend, c);
            src += Src::kBytes;
            dst += DestinationBytes<Src>();
            if constexpr (T)
                ++blend;
        }
    }
}

// Length of the run a code describes, cut to the pixels left in the row (never
// walk past the row, whatever the table says); left is reduced by it.
inline int TakeRunLength(uint8_t code, int *left)
{
    const int n = (code & 0x3F) + 1 > *left ? *left : (code & 0x3F) + 1;
    *left -= n;
    return n;
}

// Run-table blit: skip transparent runs whole; partly transparent runs of
// alpha sources are weighted by their alpha, every other run drawn unweighted.
template <class Src, int Op, bool T, bool Bright, int Form>
void RunTableBlitLoop(const BlitRows &g, const uint8_t *runs, const BlitRuleContext &c)
{
    constexpr int partialPolicy = Src::kAlpha ? BLIT_ALPHA_ALWAYS : BLIT_DRAW_ALL;
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        const uint8_t *blend = T ? g.blend + y * g.blendPitch : nullptr;
        int left = g.width;
        for (uint8_t code = *runs++; code < MEMIMG_RUN_ROW_END; code = *runs++) {
            int n = TakeRunLength(code, &left);
            const int type = code >> 6;
            if (type == MEMIMG_RUN_SKIP) {
                src += n * Src::kBytes;
                dst += n * DestinationBytes<Src>();
                if constexpr (T)
                    blend += n;
                continue;
            }
            if constexpr (Op == BLIT_OP_COPY && !T && !Bright && Src::kBytes == DestinationBytes<Src>()) {
                // Opaque runs of a plain copy move as whole pixels.
                if (type == MEMIMG_RUN_OPAQUE || !Src::kAlpha) {
                    std::memcpy(dst, src, static_cast<size_t>(n * Src::kBytes));
                    src += n * Src::kBytes;
                    dst += n * Src::kBytes;
                    continue;
                }
            }
            for (; n > 0; --n) {
                if (type == MEMIMG_RUN_PARTIAL)
                    BlitPixel<Src, Op, T, Bright, Form, partialPolicy>(dst, src, blend, c);
                else
                    BlitPixel<Src, Op, T, Bright, Form, BLIT_DRAW_ALL>(dst, src, blend, c);
                src += Src::kBytes;
                dst += DestinationBytes<Src>();
                if constexpr (T)
                    ++blend;
            }
        }
    }
}

// Source offsets of the columns of one stretched row, from the x phase stepping;
// every row steps alike, so the walk is done once per call.
extern int StretchColumnOffsets[32768];

inline void FillStretchColumnOffsets(const StretchRows &g)
{
    int offset = 0;
    int xPhase = g.xPhaseStart;
    for (int i = 0;;) {
        StretchColumnOffsets[i] = offset;
        if (++i == g.width)
            break;
        for (xPhase -= 65536; xPhase <= 0; xPhase += g.xStep)
            offset += g.sourcePixelStep;
    }
}

// Stretched blit: nearest source pixel through 16.16 phase accumulators.
template <class Src, int Op, bool T, bool Bright, int Form, int Policy>
void StretchBlitLoop(const StretchRows &g, const BlitRuleContext &c)
{
    FillStretchColumnOffsets(g);
    // The blend image steps one byte where the source steps one pixel.
    const int blendShift = Src::kBytes == 4 ? 2 : Src::kBytes == 2 ? 1 : 0;
    const uint8_t *srcRow = g.source;
    const uint8_t *blendRow = g.blend;
    uint8_t *dstRow = g.destination;
    int yPhase = g.yPhaseStart;
    const int *offsets = StretchColumnOffsets;
    // A plain copy does not read the destination: a row that shows the same
    // source row as the one above it is a copy of that destination row.
    constexpr bool rowsRepeat = Op == BLIT_OP_COPY && !T && !Bright && Policy == BLIT_DRAW_ALL;
    const uint8_t *previousSource = nullptr;
    for (int y = 0;;) {
        uint8_t *dst = dstRow;
        if (rowsRepeat && srcRow == previousSource) {
            std::memcpy(dstRow, dstRow - g.destinationPitch, static_cast<size_t>(g.width * DestinationBytes<Src>()));
        } else {
            previousSource = srcRow;
            for (int i = 0; i < g.width; ++i, dst += DestinationBytes<Src>()) {
                const int offset = offsets[i];
                BlitPixel<Src, Op, T, Bright, Form, Policy>(dst, srcRow + offset,
                                                            T ? blendRow + (offset >> blendShift) : nullptr, c);
            }
        }
        if (++y == g.height)
            break;
        dstRow += g.destinationPitch;
        for (yPhase -= 65536; yPhase <= 0; yPhase += g.yStep) {
            srcRow += g.sourceRowStep;
            if constexpr (T)
                blendRow += g.blendRowStep;
        }
    }
}

// ---------------------------------------------------------------------------
// Dispatch helpers: runtime switches to template arguments
// ---------------------------------------------------------------------------

template <int V>
using IntC = std::integral_constant<int, V>;
template <bool V>
using BoolC = std::integral_constant<bool, V>;

template <class F>
inline void WithBool(bool value, F &&f)
{
    if (value)
        f(BoolC<true>{});
    else
        f(BoolC<false>{});
}

// Call f with the operation as a compile-time constant.
template <class F>
inline void WithOp(int op, F &&f)
{
    switch (op) {
    case BLIT_OP_COPY: f(IntC<BLIT_OP_COPY>{}); break;
    case BLIT_OP_ALPHA: f(IntC<BLIT_OP_ALPHA>{}); break;
    case BLIT_OP_ADD: f(IntC<BLIT_OP_ADD>{}); break;
    case BLIT_OP_SUBTRACT: f(IntC<BLIT_OP_SUBTRACT>{}); break;
    case BLIT_OP_MULTIPLY: f(IntC<BLIT_OP_MULTIPLY>{}); break;
    case BLIT_OP_INVERT: f(IntC<BLIT_OP_INVERT>{}); break;
    case BLIT_OP_MULTIPLY_WEIGHTED: f(IntC<BLIT_OP_MULTIPLY_WEIGHTED>{}); break;
    case BLIT_OP_HALVE: f(IntC<BLIT_OP_HALVE>{}); break;
    case BLIT_OP_ADD_NO_LOW: f(IntC<BLIT_OP_ADD_NO_LOW>{}); break;
    case BLIT_OP_ADD_BYTES: f(IntC<BLIT_OP_ADD_BYTES>{}); break;
    case BLIT_OP_SUBTRACT_BYTES: f(IntC<BLIT_OP_SUBTRACT_BYTES>{}); break;
    default: break;
    }
}

// Call f with the policy as a compile-time constant (only those the source can have).
template <class Src, class F>
inline void WithPolicy(int policy, F &&f)
{
    if constexpr (Src::kAlpha) {
        switch (policy) {
        case BLIT_ALPHA_ALWAYS: f(IntC<BLIT_ALPHA_ALWAYS>{}); break;
        case BLIT_ALPHA_SKIP_ZERO: f(IntC<BLIT_ALPHA_SKIP_ZERO>{}); break;
        case BLIT_ALPHA_KEEP_ZERO: f(IntC<BLIT_ALPHA_KEEP_ZERO>{}); break;
        default: break;
        }
    } else {
        switch (policy) {
        case BLIT_DRAW_ALL: f(IntC<BLIT_DRAW_ALL>{}); break;
        case BLIT_KEY_FULL: f(IntC<BLIT_KEY_FULL>{}); break;
        case BLIT_KEY_LOW: f(IntC<BLIT_KEY_LOW>{}); break;
        default: break;
        }
    }
}

// The choice of one loop.
struct BlitVariant {
    int op;
    bool blend;
    bool bright;
    int form;
    int policy;
};

// Instantiate the loop that fits a variant and hand it to call(Src, Op, T, Bright, Form, Policy).
template <class Src, class F>
inline void DispatchVariant(const BlitVariant &v, F &&call)
{
    WithOp(v.op, [&](auto op) {
        constexpr int Op = decltype(op)::value;
        WithBool(v.blend, [&](auto t) {
            WithBool(v.bright, [&](auto bright) {
                constexpr bool T = decltype(t)::value;
                constexpr bool B = decltype(bright)::value;
                if constexpr (Op >= BLIT_OP_HALVE && (T || B)) {
                    return;   // whole-word forms exist only without modifiers
                } else if constexpr (Op >= BLIT_OP_HALVE && !Src::kWide &&
                                     (Op == BLIT_OP_ADD_BYTES || Op == BLIT_OP_SUBTRACT_BYTES)) {
                    return;
                } else {
                    WithPolicy<Src>(v.policy, [&](auto policy) {
                        constexpr int P = decltype(policy)::value;
                        if constexpr (Op == BLIT_OP_ALPHA && !Src::kWide && !T && !B && !Src::kAlpha) {
                            if (v.form == MODE1_LERP6)
                                call(Src{}, IntC<Op>{}, BoolC<T>{}, BoolC<B>{}, IntC<MODE1_LERP6>{}, IntC<P>{});
                            else
                                call(Src{}, IntC<Op>{}, BoolC<T>{}, BoolC<B>{}, IntC<MODE1_SIGNED_LERP>{}, IntC<P>{});
                        } else {
                            call(Src{}, IntC<Op>{}, BoolC<T>{}, BoolC<B>{}, IntC<MODE1_SIGNED_LERP>{}, IntC<P>{});
                        }
                    });
                }
            });
        });
    });
}

}  // namespace Korvo
