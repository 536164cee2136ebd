// Selecting the blend graph later graph draws mix with: a cross-fade (type 0),
// a threshold with an edge ramp (type 1) or alpha masking (type 2). Software
// draws read the graph's image; Direct3D draws bind its first texture beside
// the drawn graph's.

#include "graphics/public_api.h"

#include "core/system/message_pump_hooks.h"
#include "graphics/shading/blend_stages.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "softraster/draw_state.h"

#include <cstdarg>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ClampByte(int value)
{
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// The number of extra values a selection type takes.
static int ExtraValueCount(int type)
{
    return type == 0 ? 1 : (type == 1 ? 2 : 0);
}

// Drop the device's blend texture (staged vertices drawn first).
static void ClearDeviceBlendTexture()
{
    if (StateCache.blendTexture != nullptr) {
        StoreBlendTextureKey(nullptr, 0, 0);
        StateCache.stageSetupNeeded = 1;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ApplyBlendGraphSelection(int handle, int type, const int *extra)
{
    GraphRecord *record = nullptr;
    if (handle > 0) {
        record = GetGraphRecord(handle, 0);
        if (record == nullptr || record->imageSet == nullptr) {
            return -1;
        }
    }
    Draw.blendGraph = record != nullptr ? handle : -1;
    WaitWhileAppInactive();
    int values[2] = {0, 0};
    if (record != nullptr) {
        for (int i = 0; i < ExtraValueCount(type) && extra != nullptr; ++i) {
            values[i] = ClampByte(extra[i]);
        }
        Draw.blendGraphType = type;
        if (type == 0) {
            Draw.blendGraphFade = values[0];
        }
        if (type == 1) {
            Draw.blendGraphBorder = values[0];
            Draw.blendGraphRamp = values[1];
            if (GraphicsState.direct3DModeActive == 0) {
                BuildMemImgBlendImageTable(values[0], values[1]);
            }
        }
    }
    if (GraphicsState.direct3DModeActive == 0) {
        SetBlendMemImg(record != nullptr ? GetGraphMemImg(record) : nullptr);
        return 0;
    }
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (record == nullptr || IsGraphDeviceTextured(record) == 0 || record->imageSet->pieceCount <= 0) {
        Draw.blendGraph = -1;
        ClearDeviceBlendTexture();
        return 0;
    }
    const GraphTexturePiece &piece = record->imageSet->pieces[0];
    StoreBlendTextureKey(reinterpret_cast<K_IDirect3DBaseTexture9 *>(piece.texture), piece.textureWidth,
                         piece.textureHeight);
    StoreBlendTextureMode(values, type);
    StateCache.drawStateDirty = 1;
    return 0;
}

BlendGraphSelection SuspendBlendGraph()
{
    BlendGraphSelection saved = {Draw.blendGraph, Draw.blendGraphType, {0, 0}};
    if (saved.handle > 0) {
        saved.values[0] = saved.type == 0 ? Draw.blendGraphFade : Draw.blendGraphBorder;
        saved.values[1] = Draw.blendGraphRamp;
        // As selecting none: the device's blend texture goes too.
        ApplyBlendGraphSelection(-1, 1, nullptr);
    }
    return saved;
}

void ResumeBlendGraph(const BlendGraphSelection &saved)
{
    if (saved.handle > 0) {
        ApplyBlendGraphSelection(saved.handle, saved.type, saved.values);
    }
}

// The extra ints follow the type: type 0 the border, type 1 border and ramp
int SetBlendGraphByType(int handle, int type, ...)
{
    int extra[2] = {0, 0};
    va_list list;
    va_start(list, type);
    for (int i = 0; i < ExtraValueCount(type); ++i) {
        extra[i] = va_arg(list, int);
    }
    va_end(list);
    return ApplyBlendGraphSelection(handle, type, extra);
}

int SetBlendGraphThreshold(int handle, int border, int ramp)
{
    return SetBlendGraphByType(handle, 1, border, ramp);
}

} // namespace Korvo
