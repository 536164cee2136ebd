// Software rasteriser draw state and the fixed lookup tables of its pixel rules.
//
// Every software routine takes its images as arguments and everything else
// (clip, blend mode and parameter, bright colour) from MemImgState, which the
// graphics subsystem sets before each draw. The tables replace per-pixel
// divisions; they are built once by BuildMemImgLookupTables.
#pragma once

#include <cstdint>

#include "core/korvo_types.h"
#include "softraster/memimg.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

typedef int MemImgBlendMode;
constexpr MemImgBlendMode MEMIMG_BLEND_COPY = 0;
constexpr MemImgBlendMode MEMIMG_BLEND_ALPHA = 1;
constexpr MemImgBlendMode MEMIMG_BLEND_ADD = 2;
constexpr MemImgBlendMode MEMIMG_BLEND_SUBTRACT = 3;
constexpr MemImgBlendMode MEMIMG_BLEND_MULTIPLY = 4;
constexpr MemImgBlendMode MEMIMG_BLEND_INVERT = 10;       // toward the inverted source
constexpr MemImgBlendMode MEMIMG_BLEND_MULTIPLY_WEIGHTED = 11;

constexpr uint32_t MEMIMG_BRIGHT_NONE = 0xFFFFFF;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct MemImgDrawState {
    MemImgPixelKind defaultScreenKind;
    RECT clipRect;                      // right and bottom exclusive
    MemImgBlendMode blendMode;
    int blendParam;                     // 0..255, clamped by the caller
    uint32_t brightColor;               // 0x00RRGGBB; low 24 bits 0xFFFFFF = none
};

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

extern MemImgDrawState MemImgState;

// [i][x] = floor(i * x / 255)
extern int MemImgProductTable[256][256];
// [i][d + 255] = trunc(i * d / 255) for d = -255..255; index 511 stays 0
extern int MemImgSignedLerpTable[256][512];
// [b][s][d] = floor((s * b + d * (63 - b)) / 63)
extern uint8_t MemImgLerp6Table[64][64][64];
// blend-image byte -> weight 0..255
extern uint8_t MemImgBlendThresholdTable[256];

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Fill the product, signed-lerp and 6-bit lerp tables; 0.
int BuildMemImgLookupTables();

// Kind used by CreateScreenMemImg for kind -1; 0.
int SetMemImgDefaultScreenKind(MemImgPixelKind kind);

// Copy the clip rectangle; 0.
int SetMemImgClipRect(const RECT *rect);

// The clip rectangle intersected with a view's own bounds (empty when they miss).
RECT ClipRectWithinView(const MEMIMG *view);

// Set blend mode and parameter; 0.
int SetMemImgBlendState(MemImgBlendMode mode, int param);

// Set the bright colour 0x00RRGGBB; 0.
int SetMemImgBrightColor(uint32_t color);

// Refill the blend-image weight table from a border and ramp width (0..255 each).
void BuildMemImgBlendImageTable(int border, int range);

// Row of MemImgSignedLerpTable addressed from its d = 0 entry.
inline const int *MemImgSignedLerpRow(int param) { return &MemImgSignedLerpTable[param][255]; }

// Whether the bytewise saturating (MMX) forms run: the processor's flag unless forced.
int MemImgMmxEnabled();

// Force the bytewise forms on (1) or off (0), or follow the processor again (-1).
void SetMemImgMmxOverride(int mode);

}  // namespace Korvo
