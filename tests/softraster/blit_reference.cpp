// Scalar reference of the blit pixel rules.
#include "blit_reference.h"

#include <cstring>

using namespace Korvo;

namespace RefBlit {

namespace {

uint32_t Get32(const uint8_t *p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
uint32_t Get16(const uint8_t *p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
void Put32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }
void Put16(uint8_t *p, uint32_t v) { uint16_t w = static_cast<uint16_t>(v); std::memcpy(p, &w, 2); }

int64_t Prod(int64_t i, int64_t x) { return i * x / 255; }              // both non-negative: floor
int64_t SLerp(int64_t i, int64_t x) { return i * x / 255; }             // C++ truncates toward zero
int64_t Lerp6(int64_t b, int64_t s, int64_t d) { return (s * b + d * (63 - b)) / 63; }
// floor((d * 2^bits + (x - d) * w) / 2^bits); the sum is never negative
int64_t Lerp(int64_t d, int64_t x, int64_t w, int bits) { return ((d << bits) + (x - d) * w) >> bits; }

int ThresholdBorder = 0;
int ThresholdRange = 0;

// Blend-image weight of a byte, from the border and range formula.
uint32_t ThresholdOf(uint8_t v)
{
    const int64_t q = 65536 / (ThresholdRange + 1);
    const int64_t b = ThresholdBorder * (q + 256) / 256;
    const int64_t base = 256 - b;
    int64_t e = v * 256 / (ThresholdRange + 1) + base;
    if (e > 255)
        e = 255;
    if (base <= 0 && e < 0)
        e = 0;
    return static_cast<uint32_t>(e);
}

struct Pixel {
    bool skip = false;
    bool useA = false;
    uint32_t color = 0;   // source colour word (palette entry or pixel)
    uint32_t a = 255;
    bool hasT = false;
    uint32_t t = 0;
};

// Source facts.
struct Source {
    const MemImgBody *body;
    bool wide;
    bool palette;
    bool alpha;
    int bytes;
};

Source Describe(const MEMIMG &src)
{
    Source s;
    s.body = src.body;
    s.wide = src.body->pixelKind == MEMIMG_KIND_XRGB32;
    s.palette = src.body->hasPalette != 0;
    s.alpha = src.body->hasAlpha != 0 && !s.palette;
    s.bytes = s.palette ? 1 : (s.wide || s.alpha) ? 4 : 2;
    return s;
}

uint32_t ColorAt(const Source &s, const uint8_t *p)
{
    if (s.palette)
        return s.wide ? Get32(s.body->paletteBlock + 4 * p[0]) : Get16(s.body->paletteBlock + 2 * p[0]);
    return s.wide ? Get32(p) : Get16(p);
}
uint32_t AlphaAt(const Source &s, const uint8_t *p) { return s.wide ? p[3] : p[2]; }
uint32_t KeyValueAt(const Source &s, const uint8_t *p) { return s.palette ? p[0] : s.wide ? Get32(p) : Get16(p); }

int RunType(const Source &s, const uint8_t *p)
{
    if (s.alpha) {
        uint32_t a = AlphaAt(s, p);
        return a == 0 ? 0 : a == 255 ? 1 : 2;
    }
    return KeyValueAt(s, p) == s.body->transparentColor ? 0 : 1;
}

bool BrightOn(const Settings &s) { return (s.bright & 0xFFFFFF) != 0xFFFFFF; }
int EffectiveMode(const Settings &s) { return s.mode == 1 && s.p == 255 ? 0 : s.mode; }

// Plain-blit loops without modifiers that compare only the key's low part.
bool PlainComparesLowKey(const Source &src, const Settings &s, bool hasT)
{
    if (hasT || BrightOn(s) || src.alpha)
        return false;
    const int m = EffectiveMode(s);
    if (m == 0 || (m == 1 && s.p == 128) || ((m == 2 || m == 3) && s.p == 255))
        return true;
    return m == 1 && !src.wide && !src.palette;   // the 16-bit Lerp6 loop
}

// Decide skip and whether the alpha weighs the pixel.
Pixel Fetch(Path path, const Source &src, const uint8_t *sp, const uint8_t *bp, const Settings &s)
{
    Pixel px;
    px.color = ColorAt(src, sp);
    px.hasT = bp != nullptr;
    if (px.hasT)
        px.t = ThresholdOf(*bp);
    const bool keyed = s.transparentFlag != 0;
    const int m = EffectiveMode(s);
    if (path == Path::Runs) {
        const int type = RunType(src, sp);
        px.skip = type == 0;
        if (src.alpha) {
            px.a = AlphaAt(src, sp);
            px.useA = type == 2;
        }
        return px;
    }
    if (src.alpha) {
        px.a = AlphaAt(src, sp);
        if (!keyed) {
            px.useA = !(path == Path::Plain && m == 0 && !px.hasT && !BrightOn(s));
            return px;
        }
        const bool skipsZero = path == Path::Stretch || m <= 3;
        px.skip = px.a == 0 && skipsZero;
        px.useA = px.a != 255;
        return px;
    }
    if (keyed) {
        uint32_t key = src.body->transparentColor;
        if (path == Path::Plain && PlainComparesLowKey(src, s, px.hasT))
            key &= src.palette ? 0xFFu : src.wide ? 0xFFFFFFFFu : 0xFFFFu;
        px.skip = KeyValueAt(src, sp) == key;
    }
    return px;
}

// ---- 32-bit ----

uint32_t PackedAdd32(uint32_t S, uint32_t D, bool low)
{
    uint32_t K = (S & 0xFEFEFF) + (D & 0xFEFEFF);
    uint32_t Q = K & 0x1010100;
    return (Q - (Q >> 8)) | (low ? ((S | D) & 0x10100) : 0) | K;
}
uint32_t PackedSub32(uint32_t S, uint32_t D)
{
    uint32_t E = (D | 0x1010100) - (S & 0xFEFEFF);
    uint32_t M = E & 0x1010100;
    return E & (M - (M >> 8));
}
uint32_t Bytes(uint32_t S, uint32_t D, bool add)
{
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i) {
        int sv = (S >> (8 * i)) & 0xFF, dv = (D >> (8 * i)) & 0xFF;
        int v = add ? sv + dv : dv - sv;
        v = v < 0 ? 0 : v > 255 ? 255 : v;
        r |= static_cast<uint32_t>(v) << (8 * i);
    }
    return r;
}

uint32_t Rule32(Path path, const Source &src, const Pixel &px, uint32_t D, const Settings &s)
{
    const int m = EffectiveMode(s);
    const int p = s.p;
    const bool bright = BrightOn(s);
    const uint32_t S = px.color;
    const bool plainNoMods = !px.hasT && !bright && !src.alpha;
    if (path == Path::Plain && plainNoMods) {
        if (m == 1 && p == 128)
            return ((S >> 1) & 0x7F7F7F) + ((D >> 1) & 0x7F7F7F);
        if (m == 2 && p == 255)
            return s.mmx ? Bytes(S, D, true) : PackedAdd32(S, D, false);
        if (m == 3 && p == 255 && s.mmx)
            return Bytes(S, D, false);
    }
    if (path == Path::Stretch && plainNoMods && m == 3 && p == 255 && s.mmx)
        return Bytes(S, D, false);
    const bool useT = px.hasT, useA = px.useA;
    if (m == 0 && !useT && !useA && !bright)
        return S;
    int64_t W = 1;
    int k = 0;
    if (useT) { W *= px.t; ++k; }
    if (useA) { W *= px.a; ++k; }
    uint32_t out = D & 0xFF000000, terms = 0;
    for (int i = 0; i < 3; ++i) {
        const int sh = 8 * i;
        const int64_t raw = (S >> sh) & 0xFF, d = (D >> sh) & 0xFF;
        const int64_t bc = (s.bright >> sh) & 0xFF;
        const int64_t sc = bright ? Prod(bc, raw) : raw;
        int64_t v = 0;
        switch (m) {
        case 0: v = k == 0 ? sc : Lerp(d, sc, W, 8 * k); break;
        case 1: v = Lerp(d, sc, W * p, 8 * (k + 1)); break;
        case 2:
        case 3: terms |= static_cast<uint32_t>(k == 0 ? Prod(p, sc) : (sc * p * W) >> (8 * (k + 1))) << sh; continue;
        case 4: v = (sc * d * W) >> (8 * (1 + k)); break;
        case 10: { int64_t x = bright ? Prod(bc, 255 - raw) : 255 - raw; v = Lerp(d, x, W * p, 8 * (k + 1)); break; }
        case 11: { int64_t mm = ((sc * d) >> 8) & 0xFF; v = Lerp(d, mm, W * p, 8 * (k + 1)); break; }
        }
        out |= static_cast<uint32_t>(v & 0xFF) << sh;
    }
    if (m == 2)
        return PackedAdd32(terms, D, true);
    if (m == 3)
        return PackedSub32(terms, D);
    return out;
}

// ---- 16-bit ----

uint32_t PackedAdd16(uint32_t S, uint32_t D, bool low)
{
    uint32_t K = (S & 0xF7DF) + (D & 0xF7DF);
    uint32_t Q = K & 0x10820;
    return ((Q - (Q >> 5)) | (low ? ((S | D) & 0x0820) : 0) | K) & 0xFFFF;
}
uint32_t PackedSub16(uint32_t S, uint32_t D)
{
    uint32_t E = (D | 0x10820) - (S & 0xF7DF);
    uint32_t M = E & 0x10820;
    return E & (M - (M >> 5)) & 0xFFFF;
}

uint32_t Rule16(Path path, const Source &src, const Pixel &px, uint32_t D, const Settings &s)
{
    const int m = EffectiveMode(s);
    const int p = s.p;
    const bool bright = BrightOn(s);
    const uint32_t S = px.color;
    const bool useT = px.hasT, useA = px.useA;
    if (m == 0 && !useT && !useA && !bright)
        return S;
    const bool plainNoMods = path == Path::Plain && !useT && !bright && !src.alpha;
    if (m == 1 && plainNoMods && p == 128)
        return ((S >> 1) & 0x7BEF) + ((D >> 1) & 0x7BEF);
    int64_t W = 1;
    int k = 0;
    if (useT) { W *= px.t; ++k; }
    if (useA) { W *= px.a; ++k; }
    static const int shifts[3] = {11, 5, 0}, widths[3] = {5, 6, 5};
    static const int brightShift[3] = {16, 8, 0};
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const int w = widths[i];
        const int64_t max = (1 << w) - 1;
        const int64_t raw = (S >> shifts[i]) & max, d = (D >> shifts[i]) & max;
        const int64_t bc = (s.bright >> brightShift[i]) & 0xFF;
        const int64_t sc = bright ? Prod(bc, raw) : raw;
        int64_t v = 0;
        switch (m) {
        case 0: v = k == 0 ? sc : Lerp(d, sc, W, 8 * k); break;
        case 1:
            if (k > 0)
                v = Lerp(d, sc, W * p, 8 * (k + 1));
            else if (plainNoMods)
                v = Lerp6(p / 4, raw, d);
            else
                v = d + SLerp(p, sc - d);
            break;
        case 2:
        case 3: {
            int64_t base;
            if (!useT && !useA)
                base = sc;
            else if (!useT)
                base = bright ? Prod(bc, (raw * px.a) >> 8) : (raw * px.a) >> 8;
            else
                base = (sc * W) >> (8 * k);
            v = Prod(p, base);
            break;
        }
        case 4: v = (sc * d * W) >> (w + 8 * k); break;
        case 10: {
            const int64_t x = bright ? Prod(bc, max - raw) : max - raw;
            v = k == 0 ? d + SLerp(p, x - d) : Lerp(d, x, W * p, 8 * (k + 1));
            break;
        }
        case 11: {
            const int64_t mm = (sc * d) >> w;
            if (k == 0)
                v = d + SLerp(p, mm - d);
            else if (useA && !useT && !bright && i == 1)
                v = ((d << 21) + (((sc * d) >> 1) - 32 * d) * px.a * p) >> 21;
            else
                v = Lerp(d, mm, W * p, 8 * (k + 1));
            break;
        }
        }
        out |= static_cast<uint32_t>(v & max) << shifts[i];
    }
    if (m == 2)
        return PackedAdd16(out, D, true);
    if (m == 3)
        return PackedSub16(out, D);
    return out;
}

bool Refused(Path path, const Source &src, const Settings &s)
{
    const int m = s.mode;
    if (m < 0 || m > 11 || (m >= 5 && m <= 9))
        return true;
    if ((m == 1 || m == 2) && s.p == 0)
        return true;
    (void)path;
    return m == 3 && s.p == 0 && !src.palette;
}

void DrawOne(Path path, const Source &src, const uint8_t *sp, const uint8_t *bp, uint8_t *dp, const Settings &s)
{
    const Pixel px = Fetch(path, src, sp, bp, s);
    if (px.skip)
        return;
    if (src.wide)
        Put32(dp, Rule32(path, src, px, Get32(dp), s));
    else
        Put16(dp, Rule16(path, src, px, Get16(dp), s));
}

// The 16-bit pair loops of the plain blit: saturating add/subtract with p = 255, no modifiers.
bool PairCase(Path path, const Source &src, const Settings &s, bool hasT)
{
    const int m = EffectiveMode(s);
    return path == Path::Plain && !src.wide && !src.alpha && !hasT && !BrightOn(s) && (m == 2 || m == 3) &&
           s.p == 255;
}

uint32_t PairAdd(uint32_t S, uint32_t D)
{
    uint64_t wide = static_cast<uint64_t>(S & 0xF7DEF7DF) + (D & 0xF7DEF7DF);
    uint32_t K = static_cast<uint32_t>(wide), c = static_cast<uint32_t>(wide >> 32);
    uint32_t Q = K & 0x08210820;
    return (Q - ((Q >> 5) | (c << 27))) | K;
}
uint32_t PairSub(uint32_t S, uint32_t D)
{
    int64_t e = static_cast<int64_t>(D | 0x08210820) - static_cast<int64_t>(S & 0xF7DEF7DF);
    bool borrow = e < 0;
    uint32_t E = static_cast<uint32_t>(e);
    uint32_t M = E & 0x08210820;
    return E & ((M - (M >> 5)) | (borrow ? 0 : 0xF8000000u));
}

void PairRow(const Source &src, const uint8_t *sp, uint8_t *dp, int n, const Settings &s)
{
    const bool add = EffectiveMode(s) == 2;
    const bool keyed = s.transparentFlag != 0;
    const uint32_t key = src.body->transparentColor & (src.palette ? 0xFFu : 0xFFFFu);
    auto isKey = [&](const uint8_t *q) { return keyed && KeyValueAt(src, q) == key; };
    auto one = [&](const uint8_t *q, uint8_t *o) {
        uint32_t S = ColorAt(src, q), D = Get16(o);
        Put16(o, add ? PackedAdd16(S, D, false) : PackedSub16(S, D));
    };
    int x = 0;
    for (; x + 1 < n; x += 2) {
        const uint8_t *q0 = sp + x * src.bytes, *q1 = q0 + src.bytes;
        uint8_t *o = dp + 2 * x;
        bool k0 = isKey(q0), k1 = isKey(q1);
        if (k0 && k1)
            continue;
        if (k0) { one(q1, o + 2); continue; }
        if (k1) { one(q0, o); continue; }
        uint32_t S = ColorAt(src, q0) | ColorAt(src, q1) << 16, D = Get32(o);
        Put32(o, add ? PairAdd(S, D) : PairSub(S, D));
    }
    if (x < n && !isKey(sp + x * src.bytes))
        one(sp + x * src.bytes, dp + 2 * x);
}

void ClipTo(RECT &r, const RECT &b)
{
    if (r.left < b.left) r.left = b.left;
    if (r.top < b.top) r.top = b.top;
    if (r.right > b.right) r.right = b.right;
    if (r.bottom > b.bottom) r.bottom = b.bottom;
}

}  // namespace

void SetThresholdShape(int border, int range)
{
    ThresholdBorder = border;
    ThresholdRange = range;
}

std::vector<uint8_t> ViewBytes(const MEMIMG &image)
{
    const int bpp = MemImgBytesPerPixel(image.body);
    std::vector<uint8_t> out(static_cast<size_t>(image.width * image.height * bpp));
    for (int y = 0; y < image.height; ++y)
        std::memcpy(out.data() + y * image.width * bpp, image.pixels + y * image.body->pitch,
                    static_cast<size_t>(image.width * bpp));
    return out;
}

std::vector<uint8_t> PlainBlit(const MEMIMG &dst, const MEMIMG &src, int x, int y, const MEMIMG *blend,
                               const Settings &s)
{
    std::vector<uint8_t> out = ViewBytes(dst);
    const Source source = Describe(src);
    const MemImgBody *db = dst.body;
    if (db->pixelKind != source.body->pixelKind || db->hasPalette || db->hasAlpha)
        return out;
    if (source.body->pixelKind > 1 || Refused(Path::Plain, source, s))
        return out;
    RECT r = {x, y, x + src.width, y + src.height};
    ClipTo(r, s.clip);
    if (r.right <= r.left || r.bottom <= r.top)
        return out;
    const bool unclipped = r.left == x && r.top == y && r.right == x + src.width && r.bottom == y + src.height;
    const bool runs = s.transparentFlag == 1 && unclipped && source.body->runTableValid &&
                      src.width == source.body->width && src.height == source.body->height;
    const Path path = runs ? Path::Runs : Path::Plain;
    const int dbpp = source.wide ? 4 : 2;
    for (int row = r.top; row < r.bottom; ++row) {
        const int sy = row - y;
        const uint8_t *sp = src.pixels + sy * source.body->pitch + (r.left - x) * source.bytes;
        uint8_t *dp = out.data() + (row * dst.width + r.left) * dbpp;
        const uint8_t *bp = blend ? blend->pixels + sy * blend->body->pitch + (r.left - x) : nullptr;
        if (path == Path::Plain && PairCase(path, source, s, blend != nullptr)) {
            PairRow(source, sp, dp, r.right - r.left, s);
            continue;
        }
        for (int col = r.left; col < r.right; ++col) {
            DrawOne(path, source, sp, bp, dp, s);
            sp += source.bytes;
            dp += dbpp;
            if (bp)
                ++bp;
        }
    }
    return out;
}

std::vector<uint8_t> StretchBlit(const MEMIMG &dst, const MEMIMG &src, const int *rect, const MEMIMG *blend,
                                 const Settings &s)
{
    std::vector<uint8_t> out = ViewBytes(dst);
    const Source source = Describe(src);
    const int left = rect[0] < rect[2] ? rect[0] : rect[2], right = rect[0] < rect[2] ? rect[2] : rect[0];
    const int top = rect[1] < rect[3] ? rect[1] : rect[3], bottom = rect[1] < rect[3] ? rect[3] : rect[1];
    const bool mirrorX = rect[0] > rect[2], mirrorY = rect[1] > rect[3];
    const int w = right - left, h = bottom - top;
    if (w == 0 || h == 0)
        return out;
    const MemImgBody *db = dst.body;
    if (db->pixelKind != source.body->pixelKind || db->hasPalette || db->hasAlpha || source.body->pixelKind > 1)
        return out;
    if (w == src.width && h == src.height && !mirrorX && !mirrorY)
        return PlainBlit(dst, src, left, top, blend, s);
    if (Refused(Path::Stretch, source, s))
        return out;
    const int64_t xStep = static_cast<int64_t>(w) * 65536 / src.width;
    const int64_t yStep = static_cast<int64_t>(h) * 65536 / src.height;
    RECT r = {left, top, right, bottom};
    ClipTo(r, s.clip);
    const int dbpp = source.wide ? 4 : 2;
    for (int row = r.top; row < r.bottom; ++row) {
        int sy = static_cast<int>((row - top) * 65536LL / yStep);
        if (mirrorY)
            sy = src.height - 1 - sy;
        for (int col = r.left; col < r.right; ++col) {
            int sx = static_cast<int>((col - left) * 65536LL / xStep);
            if (mirrorX)
                sx = src.width - 1 - sx;
            const uint8_t *sp = src.pixels + sy * source.body->pitch + sx * source.bytes;
            const uint8_t *bp = blend ? blend->pixels + sy * blend->body->pitch + sx : nullptr;
            DrawOne(Path::Stretch, source, sp, bp, out.data() + (row * dst.width + col) * dbpp, s);
        }
    }
    return out;
}

}  // namespace RefBlit
