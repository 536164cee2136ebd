// Vertex staging: draws collect their vertices here and are drawn in one
// DrawPrimitiveUP when a state changes, the kind or primitive type changes, the
// buffer is full or the frame is presented. Also the scene bracket.

#include "graphics/state/device_state_cache.h"

#include "core/public_api.h"
#include "graphics/device/shell_services.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/main_thread_call.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

struct StagingKindInfo {
    DWORD fvf;
    int stride;
    int capacity;
    int buffer;     // the two 3-D kinds share one buffer
};

static const StagingKindInfo kStagingKinds[STAGING_KIND_COUNT] = {
    {0x44, 20, 3225, 0}, {0x144, 28, 2340, 1}, {0x2C4, 40, 1638, 2}, {0x42, 16, 4096, 3}, {0x142, 24, 2730, 3},
};

constexpr int kStagingBufferBytes = 65536;
constexpr int kPlainVertexBytes = 20;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

alignas(16) static unsigned char StagingBuffers[4][kStagingBufferBytes];
static int CurrentKind = STAGING_2D_PLAIN;
static uint32_t CurrentPrimitive = K_D3DPT_TRIANGLELIST;
static int StagedCount = 0;
static int WriteOffset = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsThreeDimensional(int kind)
{
    return kind == STAGING_3D_PLAIN || kind == STAGING_3D_TEXTURED;
}

// Primitives that n vertices make (0 for an unknown type).
static UINT CountPrimitives(uint32_t type, int n)
{
    switch (type) {
    case K_D3DPT_POINTLIST:
        return static_cast<UINT>(n);
    case K_D3DPT_LINELIST:
        return static_cast<UINT>(n / 2);
    case K_D3DPT_LINESTRIP:
        return n > 1 ? static_cast<UINT>(n - 1) : 0;
    case K_D3DPT_TRIANGLELIST:
        return static_cast<UINT>(n / 3);
    case K_D3DPT_TRIANGLESTRIP:
    case K_D3DPT_TRIANGLEFAN:
        return n > 2 ? static_cast<UINT>(n - 2) : 0;
    default:
        return 0;
    }
}

static void DrawStagedVertices()
{
    const StagingKindInfo &kind = kStagingKinds[CurrentKind];
    G_D3D_BeginSceneIfNeeded();
    if (StateCache.drawSuppress != 0) {
        return;
    }
    UINT primitives = CountPrimitives(CurrentPrimitive, StagedCount);
    if (primitives == 0) {
        return;
    }
    if (StateCache.fvf != kind.fvf || StateCache.vertexDeclaration != nullptr) {
        StateCache.fvf = kind.fvf;
        StateCache.vertexDeclaration = nullptr;
        D3DDev_SetFVF(kind.fvf);
    }
    // 3-D vertices are staged in world space already.
    bool threeD = IsThreeDimensional(CurrentKind);
    if (threeD) {
        RowMatrix4 identity;
        BuildIdentityMatrix(&identity);
        D3DDev_SetTransform(K_D3DTS_WORLD, reinterpret_cast<const K_D3DMATRIX *>(&identity));
    }
    D3DDev_DrawPrimitiveUP(CurrentPrimitive, primitives, StagingBuffers[kind.buffer], static_cast<UINT>(kind.stride));
    if (threeD) {
        D3DDev_SetTransform(K_D3DTS_WORLD, reinterpret_cast<const K_D3DMATRIX *>(&StateCache.world));
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw what is staged
int FlushStagedVertices(int async)
{
    if (async != 0) {
        static int mainThreadContext;
        return RunOnMainThread(&mainThreadContext, [] { return FlushStagedVertices(0); });
    }
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (StagedCount > 0 && GetShutdownRequestedFlag() == 0) {
        DrawStagedVertices();
    }
    StagedCount = 0;
    WriteOffset = 0;
    return 0;
}

int FlushStagedVerticesNow()
{
    return FlushStagedVertices(0);
}

// Room for count more vertices of this kind and type
void *ReserveStagedVertices(int kind, uint32_t primitiveType, int count)
{
    if (kind < 0 || kind >= STAGING_KIND_COUNT || count <= 0 || count > kStagingKinds[kind].capacity) {
        return nullptr;
    }
    const StagingKindInfo &info = kStagingKinds[kind];
    if (kind != CurrentKind || primitiveType != CurrentPrimitive ||
        WriteOffset + count * info.stride > info.capacity * info.stride) {
        FlushStagedVertices(0);
        CurrentKind = kind;
        CurrentPrimitive = primitiveType;
    }
    unsigned char *at = StagingBuffers[info.buffer] + WriteOffset;
    WriteOffset += count * info.stride;
    StagedCount += count;
    return at;
}

// The kind the next draw stages with (set by the blend set-up)
void SetStagingKind(int kind)
{
    if (kind != CurrentKind) {
        FlushStagedVertices(0);
        CurrentKind = kind;
    }
}

int GetStagedVertexCount()
{
    return StagedCount;
}

// Open the scene; the next draw re-runs its per-draw set-up
void G_D3D_BeginSceneIfNeeded()
{
    if (StateCache.sceneOpen == 0) {
        D3DDev_BeginScene();
        StateCache.sceneOpen = 1;
        StateCache.lastTexture = nullptr;
        StateCache.lastFlags = 0;
    }
}

// End the scene when open
void G_D3D_EndSceneIfBegun()
{
    if (StateCache.sceneOpen != 0 && G_D3D_HasDevice() != 0) {
        D3DDev_EndScene();
    }
    StateCache.sceneOpen = 0;
}

// Empty buffers; every 2-D vertex gets z 0 and rhw 1, the two-texture ones white specular
void PrepareStagingBuffers()
{
    std::memset(StagingBuffers, 0, sizeof(StagingBuffers));
    for (int kind = STAGING_2D_PLAIN; kind <= STAGING_2D_BLEND; ++kind) {
        const StagingKindInfo &info = kStagingKinds[kind];
        for (int i = 0; i < info.capacity; ++i) {
            unsigned char *vertex = StagingBuffers[info.buffer] + i * info.stride;
            const float z = 0.0f;
            const float rhw = 1.0f;
            std::memcpy(vertex + 8, &z, 4);
            std::memcpy(vertex + 12, &rhw, 4);
            if (kind == STAGING_2D_BLEND) {
                const uint32_t white = 0xFFFFFFFF;
                std::memcpy(vertex + 20, &white, 4);
            }
        }
    }
    StagedCount = 0;
    WriteOffset = 0;
}

// One point at the origin, advancing the write position by one plain vertex
// whatever kind is current (the device start-up has always staged it so).
void StageStartupPointVertex()
{
    if (StagedCount > 0 && (CurrentPrimitive != K_D3DPT_POINTLIST || IsThreeDimensional(CurrentKind))) {
        FlushStagedVertices(0);
    }
    CurrentPrimitive = K_D3DPT_POINTLIST;
    unsigned char *vertex = StagingBuffers[kStagingKinds[CurrentKind].buffer] + WriteOffset;
    std::memset(vertex, 0, 8);
    WriteOffset += kPlainVertexBytes;
    StagedCount += 1;
}

} // namespace Korvo
