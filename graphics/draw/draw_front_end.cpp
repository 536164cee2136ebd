// The parts of the draw entries that every entry shares.

#include "graphics/draw/draw_front_end.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/draw/d3d_draw_back_ends.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/shell_services.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

K_D3DCOLOR DrawVertexColor = 0xFFFFFFFF;
static MEMIMG *BlendMemImg = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The emulation's white box through the Direct3D fill, bright colour white.
static void InvertRectOnDevice(const RECT &rect)
{
    uint32_t bright = Draw.brightColor;
    StoreBrightColor(0xFFFFFF);
    SetBlendModeAndParam(3, 255);
    G_D3D_FillBox(rect.left, rect.top, rect.right, rect.bottom, PackScreenColor(255, 255, 255));
    StoreBrightColor(bright);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void ComputeDrawVertexColor()
{
    // The device weighs by alpha / 255 where the software rasteriser's alpha blend
    // weighs by param / 256, so the two roads may differ by a step or two per channel.
    uint32_t alpha = Draw.blendMode != 0 ? static_cast<uint32_t>(Draw.blendParam) : 255u;
    DrawVertexColor = (alpha << 24) | (Draw.brightColor & 0xFFFFFF);
}

MEMIMG *GetDrawTargetMemImg()
{
    if (Masks.active != 0 && IsMemImgValid(&Masks.screen) != 0) {
        return &Masks.screen;
    }
    MEMIMG *graphImage = GetDrawTargetGraphMemImg();
    if (graphImage != nullptr) {
        return graphImage;
    }
    return IsMemImgValid(&SoftwareScreen) != 0 ? &SoftwareScreen : nullptr;
}

MEMIMG *GetBlendMemImg()
{
    return BlendMemImg;
}

void SetBlendMemImg(MEMIMG *image)
{
    BlendMemImg = image;
}

int DrawEntriesIdle()
{
    return Draw.drawingSuspended != 0 || Draw.drawAreaEmpty != 0 ? 1 : 0;
}

void StoreBrightColor(uint32_t colour)
{
    colour &= 0xFFFFFF;
    if (colour == Draw.brightColor) {
        return;
    }
    Draw.brightColor = colour;
    SetMemImgBrightColor(colour);
    StateCache.drawStateDirty = 1;
    if (GraphicsState.direct3DModeActive != 0) {
        ComputeDrawVertexColor();
    }
}

K_D3DCOLOR ModulatePrimitiveColor(int colour)
{
    int r = 0;
    int g = 0;
    int b = 0;
    UnpackScreenColor(colour, &r, &g, &b);
    uint32_t br = (DrawVertexColor >> 16) & 0xFF;
    uint32_t bg = (DrawVertexColor >> 8) & 0xFF;
    uint32_t bb = DrawVertexColor & 0xFF;
    return (DrawVertexColor & 0xFF000000u) | ((br * static_cast<uint32_t>(r) / 255u) << 16) |
           ((bg * static_cast<uint32_t>(g) / 255u) << 8) | (bb * static_cast<uint32_t>(b) / 255u);
}

bool SubtractEmulationNeeded(bool deviceDraw)
{
    return Draw.blendMode == 3 && DeviceCaps.blendOp == 0 && deviceDraw;
}

// Invert the target, and let the caller's draw add
void EmulateSubtractBlendBegin(const RECT &rect)
{
    int param = Draw.blendParam;
    InvertRectOnDevice(rect);
    SetBlendModeAndParam(5, param);
}

// Invert back and return to subtraction
void EmulateSubtractBlendEnd(const RECT &rect)
{
    int param = Draw.blendParam;
    InvertRectOnDevice(rect);
    SetBlendModeAndParam(3, param);
}

} // namespace Korvo
