// DeviceStateCache: the mirror of every device state last sent, the per-draw
// set-up, the vertex staging buffers and the scene bracket.
//
// Every setter compares with the cache and sends nothing for a value already in
// force (unless ForceStateReapply); a real change first flushes the staged
// vertices, so that they are drawn with the states they were staged under.
#pragma once

#include "core/math/vector_math.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// DrawStateFlags
enum : uint32_t {
    DRAW_FLAG_TRANSPARENT = 0x1,
    DRAW_FLAG_NO_BILINEAR_ALPHA_TEST = 0x2,
    DRAW_FLAG_GOURAUD = 0x8,
    DRAW_FLAG_VERTEX_COLOR = 0x20,
    DRAW_FLAG_ALPHA_BLEND = 0x40,
    DRAW_FLAG_FOG = 0x80,
    DRAW_FLAG_SKIP_BLEND = 0x100,
    DRAW_FLAG_LIGHTING = 0x200,
    DRAW_FLAG_SPECULAR = 0x400,
    DRAW_FLAG_DEPTH_3D = 0x800,
    DRAW_FLAG_USER_ADDRESSING = 0x1000,
    DRAW_FLAG_KEEP_SHADERS = 0x2000,
    DRAW_FLAG_CULLING = 0x4000,
    DRAW_FLAG_TEXTURE_ALPHA = 0x8000,
    DRAW_FLAG_COLOR_KEY_ALPHA = 0x10000,
    DRAW_FLAG_EXTRA_STAGE = 0x20000,
};

// Vertex staging kinds.
enum StagingKind {
    STAGING_2D_PLAIN = 0,     // FVF 0x44, 20 bytes
    STAGING_2D_TEXTURED = 1,  // FVF 0x144, 28 bytes
    STAGING_2D_BLEND = 2,     // FVF 0x2C4, 40 bytes (two textures, specular)
    STAGING_3D_PLAIN = 3,     // FVF 0x42, 16 bytes
    STAGING_3D_TEXTURED = 4,  // FVF 0x142, 24 bytes
    STAGING_KIND_COUNT = 5,
};

constexpr int kStageCount = 8;
constexpr int kSamplerCount = 8;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One texture stage as sent (a field of -1 in a template means leave it).
struct StageRecord {
    K_IDirect3DBaseTexture9 *texture;
    int texCoordIndex;
    int result;         // 0 current, else temporary
    int alphaArg1;
    int alphaArg2;
    int alphaOp;
    int colorArg1;
    int colorArg2;
    int colorOp;
};

struct SamplerRecord {
    int addressU;
    int addressV;
    int addressW;
    int magFilter;
    int minFilter;
    int mipFilter;
    int maxAnisotropy;
};

struct DeviceStateCache {
    // Render states
    int zEnableMode;
    int zWrite;
    int zFunc;
    int depthBias;
    int fillMode;
    int shadeMode;
    int cullMode;       // as sent (D3DCULL)
    int lighting;
    int specular;
    int diffuseMaterialSource;
    int specularMaterialSource;
    K_D3DCOLOR ambient;
    float ambientF[4];
    int fogEnable;
    int fogVertexMode;
    K_D3DCOLOR fogColor;
    float fogStart;
    float fogEnd;
    float fogDensity;
    // Blend render states
    int alphaBlendEnable;
    int srcBlend;
    int destBlend;
    int blendOp;
    int alphaTestEnable;
    int alphaRef;
    int alphaFunc;
    K_D3DCOLOR textureFactor;
    float textureFactorF[4];
    // Samplers and stages
    SamplerRecord samplers[kSamplerCount];
    int filterMode;     // the mode last applied (3: none yet)
    int maxAnisotropy;
    int stageCount;
    StageRecord stages[kStageCount];
    int textureTransformOn[4];
    RowMatrix4 textureTransform[4];
    // Transforms, viewport, scissor, material
    RowMatrix4 world;
    RowMatrix4 view;
    RowMatrix4 projection;
    RowMatrix4 viewportMatrix;
    K_D3DVIEWPORT9 viewport;
    RECT scissor;
    K_D3DMATERIAL9 material;
    // Shaders and vertex format
    K_IDirect3DVertexShader9 *vertexShader;
    K_IDirect3DPixelShader9 *pixelShader;
    K_IDirect3DVertexDeclaration9 *vertexDeclaration;
    DWORD fvf;
    int blendPixelShaderBound;  // the bound pixel shader is the blend set-up's
    int shaderKeys[2];
    int lightingKeys[2];        // the lit vertex shader's keys (lighting, light types, fog)
    // Blend keys
    int vertexColorKey;
    int alphaBlendKey;
    K_IDirect3DBaseTexture9 *drawTexture;
    K_IDirect3DBaseTexture9 *blendTexture;
    int blendTextureKind;       // 0 cross-fade, 1 threshold, 2 masked
    int blendValues[2];
    float blendTextureSize[4];  // width, height, 1 / width, 1 / height
    int alphaTestKeySetting;
    int blendMode;
    int alphaTestKey;
    int colorKeyKey;
    int textureAlphaKey;        // with a blend texture: the drawn texture's alpha is its own, not its colour key
    int extraStageKey;
    int alphaTestMode;
    int alphaTestParam;
    // Flags
    int sceneOpen;
    K_IDirect3DBaseTexture9 *lastTexture;
    uint32_t lastFlags;
    int drawStateDirty;         // DrawStateDirty
    int forceReapply;           // ForceStateReapply
    int stageSetupNeeded;
    int textureChanged;
    int drawSuppress;
};

extern DeviceStateCache StateCache;

// ---------------------------------------------------------------------------
// Scene and staging
// ---------------------------------------------------------------------------

// Draw what is staged (non-zero async: on the main thread); -1 without a device, else 0
int FlushStagedVertices(int async);
// FlushStagedVertices(0)
int FlushStagedVerticesNow();
// Room for count vertices of a kind and primitive type (flushing first when needed), or null
void *ReserveStagedVertices(int kind, uint32_t primitiveType, int count);
// The kind the next textured draw stages with
void SetStagingKind(int kind);
// Vertices staged and not drawn yet
int GetStagedVertexCount();
// Open the scene when it is not open
void G_D3D_BeginSceneIfNeeded();
// End the scene when it is open
void G_D3D_EndSceneIfBegun();
// Empty the staging buffers and give every 2-D vertex z 0 and rhw 1 (device start)
void PrepareStagingBuffers();
// Stage the one point vertex of the device start-up at the origin
void StageStartupPointVertex();

// ---------------------------------------------------------------------------
// Cached setters (0, or -1 when the device call fails or there is no device)
// ---------------------------------------------------------------------------

int ApplyZEnable(int mode);
int ApplyZEnableForward(int mode);
int ApplyZWriteEnable(int enable);
int ApplyZFunc(int function);
int ApplyDepthBias(int bias);
int ApplyFillMode(int mode);
int ApplyShadeMode(int mode);
int ApplyCullMode(int mode);
int ApplySpecularEnable(int enable);
int ApplyDiffuseMaterialSource(int fromVertex);
int ApplySpecularMaterialSource(int fromVertex);
int SetLightingEnabled(int enable);
int ApplyFogEnable(int enable);
int ApplySamplerFilter(int mode);
int ApplyMaxAnisotropy(int value);
int ApplySamplerAddressU(int sampler, int mode);
int ApplySamplerAddressV(int sampler, int mode);
int ApplySamplerAddressW(int sampler, int mode);
int ApplySamplerAddressUVW(int sampler, int u, int v, int w);
int ApplyTextureTransform(int stage, int enable, const RowMatrix4 *matrix);
int ResetTexCoordIndexes();
int ResetShaderBindingCache();
// Store the 3-D Z enable mode of DrawSettings; 0
int SetDepthEnable3D(int mode);

// A render state through the cache: compare, flush, store, send
int ApplyCachedRenderState(int *cached, UINT state, int value);

// ---------------------------------------------------------------------------
// Per-draw set-up and the re-send paths
// ---------------------------------------------------------------------------

// Bring the device states to what a draw with this texture and these flags needs
int PrepareDrawStates(K_IDirect3DBaseTexture9 *texture, uint32_t flags);
// The draw-side rule: PrepareDrawStates when dirty or when texture or flags changed
void PrepareDrawStatesIfNeeded(K_IDirect3DBaseTexture9 *texture, uint32_t flags);
// First states after device creation
void InitDeviceStates();
// Send every cached state again
void ReapplyDeviceStates();
// Re-send everything after a device reset; 0 or -1 without a device
int RestoreDeviceStates();

} // namespace Korvo
