// Shader passes of the graph filters: the filter shaders, the draw-state
// bracket around an operation, the textured quad of one pass and the loop that
// runs an operation's passes.

#include "graphics/filters/filter_device_passes.h"

#include "core/memory/handle_manager.h"
#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/filters/filter_work_targets.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"

#include <cstdio>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines, types and module globals
// ---------------------------------------------------------------------------

constexpr int kFilterShaderSlots = 64;  // every filter shader name, with room to spare
constexpr DWORD kFilterVertexFormat = 0x2C4;  // XYZRHW | DIFFUSE | SPECULAR | TEX2

struct FilterVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    uint32_t specular;
    float u0, v0, u1, v1;
};

// Filter shaders by file name; handles are -1 while not made (owner-bound, so a
// deleted shader reads -1 again).
struct FilterShaderSlot {
    char name[32];
    int handle;
};
static FilterShaderSlot ShaderSlots[kFilterShaderSlots];
static int ShaderSlotCount = 0;

// What the bracket saved.
struct FilterDrawStateSave {
    K_IDirect3DSurface9 *depthSurface;
    int alphaBlendEnable;
    int alphaTestEnable;
    int zEnableMode;
    int lighting;
    int fogEnable;
    int filterMode;
    int addressU[2];
    int addressV[2];
    int extraTargets[kRenderTargetSlotCount];  // the caller's targets of slots 1 and above
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void LogShaderFailure(const char *name, const char *line)
{
    char text[160];
    std::snprintf(text, sizeof(text), line != nullptr ? line : "フィルター用シェーダーの作成に失敗しました %s\n", name);
    AppendLogText(text);
}

// The one texture piece of a graph that sits at the origin of its texture, or null
static GraphTexturePiece *SinglePieceAtOrigin(int graph, const GraphDrawPiece **drawPiece)
{
    GraphRecord *record = GetGraphRecord(graph, 0);
    if (record == nullptr || IsGraphDeviceTextured(record) == 0 || record->x != 0 || record->y != 0) {
        return nullptr;
    }
    int count = 0;
    const GraphDrawPiece *pieces = GetGraphDrawPieces(record, &count);
    if (count != 1 || pieces[0].sourceX != 0 || pieces[0].sourceY != 0 || pieces[0].piece == nullptr ||
        pieces[0].piece->texture == nullptr) {
        return nullptr;
    }
    if (drawPiece != nullptr) {
        *drawPiece = &pieces[0];
    }
    return pieces[0].piece;
}

static int IsDrawableSinglePiece(int graph)
{
    GraphRecord *record = GetGraphRecord(graph, 0);
    return record != nullptr && record->imageSet != nullptr && record->imageSet->params.drawable != 0 &&
                   SinglePieceAtOrigin(graph, nullptr) != nullptr
               ? 1
               : 0;
}

static void EnterFilterDrawState(FilterDrawStateSave *save)
{
    DeviceStateCache &c = StateCache;
    FlushStagedVertices(0);
    save->alphaBlendEnable = c.alphaBlendEnable;
    save->alphaTestEnable = c.alphaTestEnable;
    save->zEnableMode = c.zEnableMode;
    save->lighting = c.lighting;
    save->fogEnable = c.fogEnable;
    save->filterMode = c.filterMode;
    for (int s = 0; s < 2; ++s) {
        save->addressU[s] = c.samplers[s].addressU;
        save->addressV[s] = c.samplers[s].addressV;
        ApplySamplerAddressU(s, K_D3DTADDRESS_CLAMP);
        ApplySamplerAddressV(s, K_D3DTADDRESS_CLAMP);
    }
    ApplyCachedRenderState(&c.alphaBlendEnable, K_D3DRS_ALPHABLENDENABLE, 0);
    ApplyCachedRenderState(&c.alphaTestEnable, K_D3DRS_ALPHATESTENABLE, 0);
    ApplyZEnable(0);
    SetLightingEnabled(0);
    ApplyFogEnable(0);
    ApplySamplerFilter(1);
    save->depthSurface = nullptr;
    D3DDev_GetDepthStencilSurface(&save->depthSurface);
    D3DDev_SetDepthStencilSurface(nullptr);
    // A pass writes one colour: the caller's extra render targets are set aside.
    for (int slot = 1; slot < kRenderTargetSlotCount; ++slot) {
        save->extraTargets[slot] = GetRenderTargetSlot(slot);
        if (save->extraTargets[slot] >= 0) {
            SetRenderTargetSurface(nullptr, slot);
        }
    }
}

static void LeaveFilterDrawState(const FilterDrawStateSave &save)
{
    DeviceStateCache &c = StateCache;
    D3DDev_SetDepthStencilSurface(save.depthSurface);
    if (save.depthSurface != nullptr) {
        D3DRes_Release(save.depthSurface);
    }
    SetRenderTargetSurface(GetDrawTargetSurface(GetSelectedDrawTarget(), 0), 0);
    for (int slot = 1; slot < kRenderTargetSlotCount; ++slot) {
        if (save.extraTargets[slot] >= 0) {
            SetRenderTargetSurface(GetDrawTargetSurface(save.extraTargets[slot], 0), slot);
        }
    }
    ApplyDrawArea(Draw.drawArea);
    ApplyCachedRenderState(&c.alphaBlendEnable, K_D3DRS_ALPHABLENDENABLE, save.alphaBlendEnable);
    ApplyCachedRenderState(&c.alphaTestEnable, K_D3DRS_ALPHATESTENABLE, save.alphaTestEnable);
    ApplyZEnable(save.zEnableMode);
    SetLightingEnabled(save.lighting);
    ApplyFogEnable(save.fogEnable);
    ApplySamplerFilter(save.filterMode >= 0 && save.filterMode <= 2 ? save.filterMode : Draw.filterMode);
    for (int s = 0; s < 2; ++s) {
        ApplySamplerAddressU(s, save.addressU[s]);
        ApplySamplerAddressV(s, save.addressV[s]);
        D3DDev_SetTexture(static_cast<DWORD>(s), c.stages[s].texture);
    }
    // The passes bound shaders, format and constants past the cache: send its values again.
    D3DDev_SetVertexShader(c.vertexShader);
    D3DDev_SetPixelShader(c.pixelShader);
    c.fvf = 0;
    c.vertexDeclaration = nullptr;
    c.lastTexture = nullptr;
    c.drawStateDirty = 1;
    UploadAllShaderConstants();
}

// A copy of the source rectangle at the same place in a work graph, its first and
// last columns repeated out to the work graph's left and right edges, so that a
// horizontal pass reads the rectangle's edge pixels beyond it; 0 or -1
static int CopyWithExtendedColumns(const GraphFilterPass &pass, int work)
{
    GraphTexturePiece *source = SinglePieceAtOrigin(pass.source, nullptr);
    GraphTexturePiece *target = SinglePieceAtOrigin(work, nullptr);
    K_IDirect3DSurface9 *surface = GetDrawTargetSurface(work, 0);
    ShaderRecord *record = LookupShaderRecord(FindFilterShader("FilterCopy.pso"));
    if (source == nullptr || target == nullptr || surface == nullptr || record == nullptr || record->object == nullptr) {
        return -1;
    }
    G_D3D_BeginSceneIfNeeded();
    SetRenderTargetSurface(surface, 0);
    ApplySamplerFilter(0);
    D3DDev_SetVertexShader(nullptr);
    D3DDev_SetPixelShader(static_cast<K_IDirect3DPixelShader9 *>(record->object));
    D3DDev_SetFVF(kFilterVertexFormat);
    D3DDev_SetTexture(0, reinterpret_cast<K_IDirect3DBaseTexture9 *>(source->texture));
    D3DDev_SetTexture(1, nullptr);
    const FilterRects &r = pass.rects;
    const float tw = static_cast<float>(source->textureWidth);
    const float th = static_cast<float>(source->textureHeight);
    const float v1 = static_cast<float>(r.y1) / th;
    const float v2 = static_cast<float>(r.y2) / th;
    const float y1 = static_cast<float>(r.y1) - 0.5f;
    const float y2 = static_cast<float>(r.y2) - 0.5f;
    const float firstColumn = (static_cast<float>(r.x1) + 0.5f) / tw;
    const float lastColumn = (static_cast<float>(r.x2) - 0.5f) / tw;
    // Bands: left of the rectangle, the rectangle itself, right of it.
    const float bands[3][4] = {
        {-0.5f, static_cast<float>(r.x1) - 0.5f, firstColumn, firstColumn},
        {static_cast<float>(r.x1) - 0.5f, static_cast<float>(r.x2) - 0.5f, static_cast<float>(r.x1) / tw,
         static_cast<float>(r.x2) / tw},
        {static_cast<float>(r.x2) - 0.5f, static_cast<float>(target->textureWidth) - 0.5f, lastColumn, lastColumn},
    };
    int result = 0;
    for (const auto &band : bands) {
        if (band[1] <= band[0]) {
            continue;
        }
        const FilterVertex quad[4] = {{band[0], y1, 0, 1, 0xFFFFFFFF, 0, band[2], v1, 0, 0},
                                      {band[1], y1, 0, 1, 0xFFFFFFFF, 0, band[3], v1, 0, 0},
                                      {band[0], y2, 0, 1, 0xFFFFFFFF, 0, band[2], v2, 0, 0},
                                      {band[1], y2, 0, 1, 0xFFFFFFFF, 0, band[3], v2, 0, 0}};
        if (D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, quad, sizeof(FilterVertex)) < 0) {
            result = -1;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int FindFilterShader(const char *name)
{
    for (int i = 0; i < ShaderSlotCount; ++i) {
        if (std::strcmp(ShaderSlots[i].name, name) == 0) {
            if (ShaderSlots[i].handle > 0) {
                return ShaderSlots[i].handle;
            }
            int handle = CreateShaderFromBuiltinArchive(0, name);
            if (handle > 0) {
                ShaderSlots[i].handle = handle;
                BindHandleOwnerVariable(handle, &ShaderSlots[i].handle);
            }
            return handle > 0 ? handle : -1;
        }
    }
    if (ShaderSlotCount == kFilterShaderSlots) {
        return -1;
    }
    FilterShaderSlot &slot = ShaderSlots[ShaderSlotCount++];
    std::snprintf(slot.name, sizeof(slot.name), "%s", name);
    slot.handle = -1;
    return FindFilterShader(name);
}

int GetGraphTextureSize(int graph, int *width, int *height)
{
    GraphTexturePiece *piece = SinglePieceAtOrigin(graph, nullptr);
    if (piece == nullptr) {
        return -1;
    }
    *width = piece->textureWidth;
    *height = piece->textureHeight;
    return 0;
}

int FilterShaderRoadAvailable(const GraphFilterPass &pass, int destination)
{
    if (GraphicsState.direct3DModeActive == 0 || GraphicsState.programmableShader == 0 || G_D3D_HasDevice() == 0) {
        return 0;
    }
    GraphRecord *dest = GetGraphRecord(destination, 0);
    if (dest == nullptr || IsGraphDeviceTextured(dest) == 0 || SinglePieceAtOrigin(pass.source, nullptr) == nullptr) {
        return 0;
    }
    if (pass.blendFlag != 0 && SinglePieceAtOrigin(pass.blendGraph, nullptr) == nullptr) {
        return 0;
    }
    if (pass.blendFlag == 0 && pass.type == GRAPH_FILTER_GRADIENT_MAP &&
        SinglePieceAtOrigin(pass.params.ints[0], nullptr) == nullptr) {
        return 0;
    }
    return 1;
}

int DrawFilterShaderPass(const GraphFilterPass &pass, const FilterShaderDraw &draw)
{
    const GraphDrawPiece *sourceDraw = nullptr;
    GraphTexturePiece *source = SinglePieceAtOrigin(pass.source, &sourceDraw);
    GraphTexturePiece *target = SinglePieceAtOrigin(pass.target, nullptr);
    K_IDirect3DSurface9 *surface = GetDrawTargetSurface(pass.target, 0);
    if (source == nullptr || target == nullptr || surface == nullptr) {
        return -1;
    }
    const int shader = FindFilterShader(draw.shaderName);
    ShaderRecord *record = LookupShaderRecord(shader);
    if (record == nullptr || record->object == nullptr) {
        LogShaderFailure(draw.shaderName, draw.failureLine);
        return -1;
    }
    GraphTexturePiece *second = draw.secondGraph >= 0 ? SinglePieceAtOrigin(draw.secondGraph, nullptr) : nullptr;
    if (draw.secondGraph >= 0 && second == nullptr) {
        return -1;
    }
    G_D3D_BeginSceneIfNeeded();
    SetRenderTargetSurface(surface, 0);
    ApplySamplerFilter(draw.pointSampling != 0 ? 0 : 1);
    D3DDev_SetVertexShader(nullptr);
    D3DDev_SetPixelShader(static_cast<K_IDirect3DPixelShader9 *>(record->object));
    D3DDev_SetFVF(kFilterVertexFormat);
    D3DDev_SetTexture(0, reinterpret_cast<K_IDirect3DBaseTexture9 *>(source->texture));
    D3DDev_SetTexture(1, second != nullptr ? reinterpret_cast<K_IDirect3DBaseTexture9 *>(second->texture) : nullptr);
    if (draw.constantCount > 0) {
        D3DDev_SetPixelShaderConstantF(0, draw.constants, static_cast<UINT>(draw.constantCount));
    }
    const FilterRects &r = pass.rects;
    const int d = draw.divisor > 0 ? draw.divisor : 1;
    const int outW = (r.x2 - r.x1) / d;
    const int outH = (r.y2 - r.y1) / d;
    const float tw = static_cast<float>(source->textureWidth);
    const float th = static_cast<float>(source->textureHeight);
    const float x1 = static_cast<float>(r.destX) - 0.5f;
    const float y1 = static_cast<float>(r.destY) - 0.5f;
    const float x2 = x1 + static_cast<float>(outW);
    const float y2 = y1 + static_cast<float>(outH);
    const float u1 = static_cast<float>(r.x1) / tw;
    const float v1 = static_cast<float>(r.y1) / th;
    const float u2 = static_cast<float>(r.x1 + outW * d) / tw;
    const float v2 = static_cast<float>(r.y1 + outH * d) / th;
    float s1 = 0, t1 = 0, s2 = 1, t2 = 1;
    if (second != nullptr) {
        const float bw = static_cast<float>(second->textureWidth);
        const float bh = static_cast<float>(second->textureHeight);
        if (draw.useBlendCoords != 0 && pass.useBlendPosition != 0) {
            s1 = static_cast<float>(r.blendX) / bw;
            t1 = static_cast<float>(r.blendY) / bh;
            s2 = static_cast<float>(r.blendX + outW) / bw;
            t2 = static_cast<float>(r.blendY + outH) / bh;
        } else {
            GraphRecord *graph = GetGraphRecord(draw.secondGraph, 0);
            s2 = static_cast<float>(graph->width) / bw;
            t2 = static_cast<float>(graph->height) / bh;
        }
    }
    const FilterVertex quad[4] = {{x1, y1, 0, 1, 0xFFFFFFFF, 0, u1, v1, s1, t1},
                                  {x2, y1, 0, 1, 0xFFFFFFFF, 0, u2, v1, s2, t1},
                                  {x1, y2, 0, 1, 0xFFFFFFFF, 0, u1, v2, s1, t2},
                                  {x2, y2, 0, 1, 0xFFFFFFFF, 0, u2, v2, s2, t2}};
    int result = D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, quad, sizeof(FilterVertex)) < 0 ? -1 : 0;
    const float bottom = static_cast<float>(target->textureHeight) - 0.5f;
    if (result == 0 && draw.extendLastRow != 0 && bottom > y2) {
        // Rows below the rectangle repeat its last row, for a vertical pass to read past the edge.
        const float v = (static_cast<float>(r.y2 - 1) + 0.5f) / th;
        const FilterVertex below[4] = {{x1, y2, 0, 1, 0xFFFFFFFF, 0, u1, v, 0, 0},
                                       {x2, y2, 0, 1, 0xFFFFFFFF, 0, u2, v, 0, 0},
                                       {x1, bottom, 0, 1, 0xFFFFFFFF, 0, u1, v, 0, 0},
                                       {x2, bottom, 0, 1, 0xFFFFFFFF, 0, u2, v, 0, 0}};
        result = D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, below, sizeof(FilterVertex)) < 0 ? -1 : 0;
    }
    if (target->multiSampleSurface != nullptr) {
        G_D3D_EndSceneIfBegun();
        ResolveMultisampleSurface(target);
    }
    return result;
}

int RunFilterShaderPasses(GraphFilterPass *pass, int destination)
{
    const int source = pass->source;
    const int count = FilterPassCount(pass->blendFlag, pass->type, pass->params);
    const int separate = FilterRendersApartFromSource(*pass, destination);
    const int divisor = FilterOutputDivisor(pass->blendFlag, pass->type, pass->params);
    const int outW = (pass->rects.x2 - pass->rects.x1) / divisor;
    const int outH = (pass->rects.y2 - pass->rects.y1) / divisor;
    FilterDrawStateSave save;
    EnterFilterDrawState(&save);
    const FilterRects sourceRects = pass->rects;
    int passSource = source;
    int lastResult = 0;
    int completed = 0;
    for (int i = 0; i < count; ++i) {
        int tw = 0, th = 0;
        if (GetGraphTextureSize(passSource, &tw, &th) != 0) {
            break;
        }
        const bool newNeeded =
            (separate != 0 && FilterPassReadsDestination(*pass, passSource, i, destination) != 0) ||
            IsDrawableSinglePiece(destination) == 0;
        const bool parity = separate != 0 && (i & 1) == (count & 1);
        int target = destination;
        if (newNeeded || parity) {
            int side = tw > th ? tw : th;
            side = side > pass->rects.destX + outW ? side : pass->rects.destX + outW;
            side = side > pass->rects.destY + outH ? side : pass->rects.destY + outH;
            target = AcquireFilterWorkGraph(side, parity ? 0 : 1);
        }
        if (target <= 0 || GetGraphRecord(target, 0) == nullptr) {
            break;
        }
        // The work graph the final copy reads starts as the destination where the
        // pass may leave pixels alone; every other pass writes its whole rectangle.
        if (i == count - 1 && target != destination &&
            FilterKeepsUnwrittenPixels(pass->blendFlag, pass->type) != 0 &&
            SeedWorkGraphFromDestination(*pass, target, destination, outW, outH) != 0) {
            break;
        }
        if (i == 0 && pass->blendFlag == 0 && pass->type == GRAPH_FILTER_GAUSS && pass->params.floats[0] >= 1e-7f) {
            // The horizontal pass reads a copy whose edge columns go on past the rectangle.
            pass->source = passSource;
            int sideSource = tw > th ? tw : th;
            const int assembled = AcquireFilterWorkGraph(sideSource, parity ? 1 : 0);
            if (assembled <= 0 || assembled == target || CopyWithExtendedColumns(*pass, assembled) != 0) {
                break;
            }
            passSource = assembled;
        }
        if (i > 0) {
            // Later passes read what the pass before wrote, at the destination position.
            pass->rects.x1 = sourceRects.destX;
            pass->rects.y1 = sourceRects.destY;
            pass->rects.x2 = sourceRects.destX + (sourceRects.x2 - sourceRects.x1);
            pass->rects.y2 = sourceRects.destY + (sourceRects.y2 - sourceRects.y1);
        }
        pass->source = passSource;
        pass->target = target;
        pass->passIndex = i;
        lastResult = RunFilterShaderPass(pass);
        passSource = target;
        ++completed;
        if (lastResult != 0) {
            // A later pass would read what this one did not write.
            break;
        }
    }
    LeaveFilterDrawState(save);
    pass->rects = sourceRects;
    pass->source = source;
    pass->target = destination;
    if (completed != count || lastResult != 0) {
        return -1;
    }
    if (passSource != destination) {
        const FilterRects &r = pass->rects;
        if (CopyDrawTargetToGraph(passSource, r.destX, r.destY, r.destX + outW, r.destY + outH, r.destX, r.destY,
                                  destination) != 0) {
            return -1;
        }
    }
    return 0;
}

void ClearFilterDeviceCaches()
{
    ClearFilterWorkGraphs();
    for (int i = 0; i < ShaderSlotCount; ++i) {
        ShaderSlots[i].handle = -1;
    }
}

} // namespace Korvo
