// Scalar reference of one textured triangle pixel in every blend mode,
// written channel by channel from the rules.
#pragma once

#include <cstdint>
#include <optional>

#include "shape_flat_reference.h"

namespace shape_test {

struct TexelCase {
    int kind = 1;              // destination and source kind
    int mode = 0;
    int p = 255;
    uint32_t bright = 0xFFFFFF;
    bool paletted = false;
    bool alphaFlag = false;    // source body's alpha flag
    bool key = false;          // transparent flag
    bool blend = false;
    int gate = 255;            // blend-image weight when blend is set
    uint32_t raw = 0;          // texel as stored (index for a paletted source)
    uint32_t paletteEntry = 0; // entry at raw for a paletted source
    uint32_t transparent = 0;
};

inline int64_t FloorShift(int64_t value, int shift) { return value >> shift; }   // arithmetic: floor

inline int ScaleEntry(int row, int x) { return x * row / 255; }

// New destination pixel, or nothing when the pixel is left unchanged.
inline std::optional<uint32_t> ReferenceTexelPixel(const TexelCase &c, uint32_t d)
{
    const int kind = c.kind;
    int mode = c.mode;
    const int p = c.p;
    if (mode == 1 && p == 255)
        mode = 0;
    if ((mode == 1 || mode == 2) && p == 0)
        return std::nullopt;
    if (mode == 3 && p == 0 && !c.paletted)
        return std::nullopt;
    if (!(mode <= 4 && mode >= 0) && mode != 10 && mode != 11)
        return std::nullopt;

    if (c.key && (c.paletted || !c.alphaFlag) && c.raw == c.transparent)
        return std::nullopt;
    const uint32_t word = c.paletted ? c.paletteEntry : (kind == 1 ? c.raw : (c.raw & 0xFFFF));
    bool useAlpha = c.alphaFlag && !c.paletted;
    const int a = useAlpha ? static_cast<int>(kind == 1 ? c.raw >> 24 : (c.raw >> 16) & 255) : 0;
    if (c.key && useAlpha) {
        if (a == 0 && mode != 4)
            return std::nullopt;
        if (a == 255)
            useAlpha = false;
    }
    const bool brightOn = (c.bright & 0xFFFFFF) != 0xFFFFFF;
    const int brightByte[3] = {static_cast<int>(c.bright & 255), static_cast<int>((c.bright >> 8) & 255),
                               static_cast<int>((c.bright >> 16) & 255)};
    const Channels sc = SplitPixel(kind, word), dc = SplitPixel(kind, d);
    const int s[3] = {sc.b, sc.g, sc.r}, dv[3] = {dc.b, dc.g, dc.r};
    const int width[3] = {kind == 1 ? 8 : 5, kind == 1 ? 8 : 6, kind == 1 ? 8 : 5};
    const int maxv[3] = {(1 << width[0]) - 1, (1 << width[1]) - 1, (1 << width[2]) - 1};
    auto mod = [&](int i, int v) { return brightOn ? ScaleEntry(brightByte[i], v) : v; };
    const int g = c.blend ? c.gate : 0;
    int out[3];

    if (mode == 0) {
        if (!c.blend && !useAlpha) {
            if (!brightOn)
                return word;
            for (int i = 0; i < 3; ++i)
                out[i] = mod(i, s[i]);
        } else {
            for (int i = 0; i < 3; ++i) {
                const int sp = mod(i, s[i]);
                if (c.blend && useAlpha)
                    out[i] = static_cast<int>(FloorShift((int64_t)(sp - dv[i]) * g * a + (int64_t)dv[i] * 65536, 16));
                else
                    out[i] = ((sp - dv[i]) * (c.blend ? g : a) + dv[i] * 256) >> 8;
            }
        }
    } else if (mode == 1 || mode == 10) {
        for (int i = 0; i < 3; ++i) {
            int target;
            if (mode == 1)
                target = mod(i, s[i]);
            else
                target = mod(i, maxv[i] - s[i]);
            if (kind == 0 && !c.blend && !useAlpha) {
                out[i] = dv[i] + (target - dv[i]) * p / 255;
            } else {
                int64_t w = p;
                int n = 8;
                if (c.blend)
                    w *= g, n += 8;
                if (useAlpha)
                    w *= a, n += 8;
                out[i] = static_cast<int>(dv[i] + FloorShift((int64_t)(target - dv[i]) * w, n));
            }
        }
    } else if (mode == 2 || mode == 3) {
        int sv[3];
        for (int i = 0; i < 3; ++i) {
            const int64_t m = mod(i, s[i]);
            if (kind == 1) {
                if (c.blend && useAlpha)
                    sv[i] = static_cast<int>((m * g * a * p) >> 24);
                else if (c.blend)
                    sv[i] = static_cast<int>((m * g * p) >> 16);
                else if (useAlpha)
                    sv[i] = static_cast<int>((m * a * p) >> 16);
                else
                    sv[i] = ScaleEntry(p, static_cast<int>(m));
            } else {
                int64_t index;
                if (c.blend && useAlpha)
                    index = (m * g * a) >> 16;
                else if (c.blend)
                    index = (m * g) >> 8;
                else if (useAlpha)
                    index = mod(i, (s[i] * a) >> 8);
                else
                    index = m;
                sv[i] = ScaleEntry(p, static_cast<int>(index));
            }
        }
        const uint32_t sw = JoinPixel(kind, {sv[0], sv[1], sv[2]}, 0);
        return mode == 2 ? ReferencePackedAdd(kind, d, sw) : ReferencePackedSubtract(kind, d, sw);
    } else if (mode == 4) {
        for (int i = 0; i < 3; ++i) {
            int64_t prod = (int64_t)dv[i] * mod(i, s[i]);
            int shift = width[i];
            if (c.blend)
                prod *= g, shift += 8;
            if (useAlpha)
                prod *= a, shift += 8;
            out[i] = static_cast<int>(prod >> shift);
        }
    } else {   // 11
        for (int i = 0; i < 3; ++i) {
            const int sp = mod(i, s[i]);
            const int prod = (dv[i] * sp) >> width[i];
            if (kind == 0 && !c.blend && !useAlpha) {
                out[i] = dv[i] - (dv[i] - prod) * p / 255;
                continue;
            }
            int64_t w = p;
            int k = 8;
            if (c.blend)
                w *= g, k += 8;
            if (useAlpha)
                w *= a, k += 8;
            if (kind == 0 && !c.blend && useAlpha && !brightOn && i == 1) {
                const int64_t q = (int64_t)sp * dv[i] / 2;
                const int64_t num = (32 * dv[i] - q) * w;
                out[i] = static_cast<int>(dv[i] - (num + (1 << 21) - 1) / (1 << 21));   // reduction rounded up
                continue;
            }
            const int64_t num = (int64_t)(dv[i] - prod) * w;
            out[i] = static_cast<int>(dv[i] - (num + (int64_t(1) << k) - 1) / (int64_t(1) << k));
        }
    }
    return JoinPixel(kind, {out[0], out[1], out[2]}, d);
}

}  // namespace shape_test
