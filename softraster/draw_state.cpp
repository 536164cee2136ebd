// Software rasteriser draw state, its setters and the fixed lookup tables.
#include "softraster/draw_state.h"

#include <algorithm>

#if defined(_WIN32)
#include "core/system/window_state.h"
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

MemImgDrawState MemImgState;

int MemImgProductTable[256][256];
int MemImgSignedLerpTable[256][512];
uint8_t MemImgLerp6Table[64][64][64];
uint8_t MemImgBlendThresholdTable[256];

namespace {
int MmxOverride = -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Fill the product, signed-lerp and 6-bit lerp tables.
int BuildMemImgLookupTables()
{
    for (int i = 0; i < 256; ++i) {
        for (int d = -255; d <= 255; ++d)
            MemImgSignedLerpTable[i][d + 255] = i * d / 255;   // C++ division truncates
        MemImgSignedLerpTable[i][511] = 0;
    }
    for (int i = 0; i < 256; ++i)
        for (int x = 0; x < 256; ++x)
            MemImgProductTable[i][x] = i * x / 255;
    for (int b = 0; b < 64; ++b)
        for (int s = 0; s < 64; ++s)
            for (int d = 0; d < 64; ++d)
                MemImgLerp6Table[b][s][d] = static_cast<uint8_t>((s * b + d * (63 - b)) / 63);
    return 0;
}

// Kind used by CreateScreenMemImg for kind -1.
int SetMemImgDefaultScreenKind(MemImgPixelKind kind)
{
    MemImgState.defaultScreenKind = kind;
    return 0;
}

// Copy the clip rectangle.
int SetMemImgClipRect(const RECT *rect)
{
    MemImgState.clipRect = *rect;
    return 0;
}

// The clip rectangle cut down to a view, so nothing drawn through it leaves the image.
RECT ClipRectWithinView(const MEMIMG *view)
{
    const RECT &clip = MemImgState.clipRect;
    RECT r;
    r.left = std::max<LONG>(clip.left, 0);
    r.top = std::max<LONG>(clip.top, 0);
    r.right = std::min<LONG>(clip.right, view->width);
    r.bottom = std::min<LONG>(clip.bottom, view->height);
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// Set blend mode and parameter.
int SetMemImgBlendState(MemImgBlendMode mode, int param)
{
    MemImgState.blendMode = mode;
    MemImgState.blendParam = param;
    return 0;
}

// Set the bright colour.
int SetMemImgBrightColor(uint32_t color)
{
    MemImgState.brightColor = color;
    return 0;
}

// Refill the blend-image weight table: a step at the border, or a ramp of about range + 1 values.
void BuildMemImgBlendImageTable(int border, int range)
{
    // A negative ramp width would divide by zero (-1) or invert the ramp: it is a hard step.
    if (range < 0)
        range = 0;
    const int q = 65536 / (range + 1);
    const int base = 256 - border * (q + 256) / 256;
    for (int v = 0; v < 256; ++v) {
        int entry = v * 256 / (range + 1) + base;
        if (entry > 255)
            entry = 255;
        if (base <= 0 && entry < 0)
            entry = 0;
        MemImgBlendThresholdTable[v] = static_cast<uint8_t>(entry);
    }
}

// Whether the bytewise saturating forms run.
int MemImgMmxEnabled()
{
    if (MmxOverride >= 0)
        return MmxOverride;
#if defined(_WIN32)
    return GetMmxAvailableFlag();   // recorded from the processor at start-up
#elif defined(__i386__) || defined(__x86_64__)
    return __builtin_cpu_supports("mmx") ? 1 : 0;
#else
    return 0;
#endif
}

// Force the bytewise forms on or off, or follow the processor (-1).
void SetMemImgMmxOverride(int mode)
{
    MmxOverride = mode < 0 ? -1 : (mode ? 1 : 0);
}

}  // namespace Korvo
