// The draw-state setters that later draws read: blend mode, alpha test, bright
// colour, texture filter and the clip area (DrawArea).

#include "graphics/public_api.h"

#include "core/math/rect_clip.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/graphics_state.h"
#include "graphics/draw/masks.h"
#include "graphics/state/transforms.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ClampChannel(int value)
{
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

static void RefreshVertexColourOnDevice()
{
    if (GraphicsState.direct3DModeActive != 0) {
        ComputeDrawVertexColor();
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Set the blend mode and its parameter (kept in 0..255)
int SetBlendModeAndParam(int mode, int param)
{
    if (Draw.drawingSuspended != 0 || (mode == Draw.blendMode && param == Draw.blendParam)) {
        return 0;
    }
    WaitWhileAppInactive();
    if (mode != Draw.blendMode) {
        Draw.blendMode = mode;
        StateCache.drawStateDirty = 1;
    }
    Draw.blendParam = ClampChannel(param);
    SetMemImgBlendState(mode, Draw.blendParam);
    RefreshVertexColourOnDevice();
    return 0;
}

// Set the alpha-test mode and its parameter (kept in 0..255)
int SetAlphaTestModeAndParam(int mode, int param)
{
    if (Draw.drawingSuspended != 0 || (mode == Draw.alphaTestMode && param == Draw.alphaTestParam)) {
        return 0;
    }
    WaitWhileAppInactive();
    Draw.alphaTestMode = mode;
    Draw.alphaTestParam = ClampChannel(param);
    StateCache.drawStateDirty = 1;
    RefreshVertexColourOnDevice();
    return 0;
}

// Set the bright (modulation) colour from three channels
int SetDrawBrightRGB(int red, int green, int blue)
{
    uint32_t colour = (static_cast<uint32_t>(ClampChannel(red)) << 16) |
                      (static_cast<uint32_t>(ClampChannel(green)) << 8) | static_cast<uint32_t>(ClampChannel(blue));
    if (static_cast<int>((Draw.brightColor >> 16) & 0xFF) == red &&
        static_cast<int>((Draw.brightColor >> 8) & 0xFF) == green && static_cast<int>(Draw.brightColor & 0xFF) == blue) {
        return 0;
    }
    bool wasWhite = Draw.brightColor == 0xFFFFFF;
    Draw.brightColor = colour;
    SetMemImgBrightColor(colour);
    if (wasWhite != (colour == 0xFFFFFF)) {
        StateCache.drawStateDirty = 1;
    }
    RefreshVertexColourOnDevice();
    return 0;
}

// Set the bright colour from 0x00RRGGBB
int SetDrawBrightPackedRGB(unsigned int colour)
{
    StoreBrightColor(colour & 0xFFFFFF);
    return 0;
}

// Set the texture filter: 0 point, 1 bilinear, 2 anisotropic
int SetDrawFilterMode(int mode)
{
    if (Draw.drawingSuspended != 0 || mode == Draw.filterMode) {
        return 0;
    }
    Draw.filterMode = mode;
    StateCache.drawStateDirty = 1;
    if (GraphicsState.direct3DModeActive != 0) {
        ApplySamplerFilter(mode);
    }
    return 0;
}

// Set the clip area of drawing (right and bottom exclusive)
int SetDrawClipArea(int x1, int y1, int x2, int y2)
{
    if (Draw.drawingSuspended != 0) {
        return 0;
    }
    if (Masks.pendingPass != 0 && IsMaskScreenEnabled() != 0) {
        CompletePendingMaskPass();
    }
    Masks.pendingPass = 0;
    Draw.rawDrawArea = RECT{x1, y1, x2, y2};
    int width = 0;
    int height = 0;
    if (GetDrawTargetSize(&width, &height) != 0) {
        return -1;
    }
    RECT area = {x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
    RECT bounds = {0, 0, width, height};
    ClipRectToRect(&area, &bounds);
    return ApplyDrawArea(area);
}

// Write four floats into a colour record
FloatColor *BuildFloatColor(FloatColor *out, float red, float green, float blue, float alpha)
{
    out->r = red;
    out->g = green;
    out->b = blue;
    out->a = alpha;
    return out;
}

// A sorted area inside the target becomes the DrawArea: software clip, viewport,
// scissor and the area transform follow
void StoreDrawAreaForCpuClipping(const RECT &area)
{
    Draw.drawArea = area;
    Draw.drawAreaF[0] = static_cast<float>(area.left);
    Draw.drawAreaF[1] = static_cast<float>(area.top);
    Draw.drawAreaF[2] = static_cast<float>(area.right);
    Draw.drawAreaF[3] = static_cast<float>(area.bottom);
    SetMemImgClipRect(&area);
}

int ApplyDrawArea(const RECT &area)
{
    StoreDrawAreaForCpuClipping(area);
    if (area.left == area.right || area.top == area.bottom) {
        Draw.drawAreaEmpty = 1;
        return 0;
    }
    Draw.drawAreaEmpty = 0;
    if (GraphicsState.direct3DModeActive == 0) {
        return 0;
    }
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    FlushStagedVertices(0);
    ApplyViewportRect(area.left, area.top, area.right, area.bottom);
    ApplyScissorRect(&area);
    ApplyDrawAreaTransform(&area);
    return 0;
}

} // namespace Korvo
