// A recording stand-in of D3DCallWrappers: the state setters are recorded as
// (kind, state, value) entries, draws as DRAW entries; everything else is
// recorded by name. It replaces the device in the front end's tests.

#include "tests/graphics/recording_device.h"

#include "graphics/device/d3d_call_wrappers.h"

#include <algorithm>
#include <map>
#include <memory>

namespace RecordingDevice {

std::vector<Call> Calls;
std::vector<DrawnBatch> DrawnVertices;
bool Present = true;
std::vector<uint32_t> SupportedFormats;
uint32_t MaxMultiSampleType = 0;
std::vector<uint16_t> StripIndices;
const void *StripVertices = nullptr;
std::vector<uint8_t> StripVertexBytes;
uint32_t ColourQualityLevels = 1;
uint32_t DepthQualityLevels = 1;
bool HandOutBuffers = false;
std::vector<const void *> ReleasedObjects;
void (*ReleaseListener)(const void *object) = nullptr;
void *(*TextureLockHook)(const void *texture, unsigned level, int *pitch) = nullptr;
static std::map<const void *, std::unique_ptr<HandedOutBuffer>> Buffers;
std::set<std::string> FailingCalls;
uint32_t SurfaceFormat = 0;
uint32_t SurfaceWidth = 0;
uint32_t SurfaceHeight = 0;
bool HandOutSurfaces = false;

// A distinct address per handed-out surface.
static Korvo::K_IDirect3DSurface9 *NextSurface()
{
    static char surfaces[256];
    static size_t next = 0;
    return reinterpret_cast<Korvo::K_IDirect3DSurface9 *>(&surfaces[next++ % sizeof(surfaces)]);
}
static std::map<const void *, std::unique_ptr<HandedOutVolume>> Volumes;

bool Fails(const char *name)
{
    return FailingCalls.count(name) != 0;
}

std::vector<const HandedOutVolume *> LiveVolumes()
{
    std::vector<const HandedOutVolume *> live;
    for (const auto &entry : Volumes) {
        live.push_back(entry.second.get());
    }
    return live;
}

const HandedOutBuffer *FindHandedOutBuffer(const void *object)
{
    auto found = Buffers.find(object);
    return found != Buffers.end() ? found->second.get() : nullptr;
}

// A new stand-in buffer, or null when none are handed out.
template <typename T> static T *HandOutBuffer(uint32_t length, uint32_t usage, uint32_t format)
{
    if (!HandOutBuffers) {
        return nullptr;
    }
    auto buffer = std::make_unique<HandedOutBuffer>(HandedOutBuffer{length, usage, format, std::vector<uint8_t>(length)});
    T *object = reinterpret_cast<T *>(buffer.get());
    Buffers[object] = std::move(buffer);
    return object;
}

void Record(const char *kind, uint32_t state, uint32_t value)
{
    Calls.push_back(Call{kind, state, value});
}

bool Supports(uint32_t format)
{
    return std::find(SupportedFormats.begin(), SupportedFormats.end(), format) != SupportedFormats.end();
}

void Reset()
{
    Calls.clear();
    DrawnVertices.clear();
    StripVertexBytes.clear();
    FailingCalls.clear();
    SurfaceFormat = 0;
    SurfaceWidth = 0;
    SurfaceHeight = 0;
    HandOutSurfaces = false;
    Present = true;
}

} // namespace RecordingDevice

namespace Korvo {

K_HRESULT D3D_GetAdapterIdentifier(UINT adapter, DWORD flags, K_D3DADAPTER_IDENTIFIER9 *out)
{
    (void)adapter; (void)flags; (void)out; 
    RecordingDevice::Record("D3D_GetAdapterIdentifier", 0, 0);
    return 0;
}

K_HRESULT D3D_CheckDeviceFormat(UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat, DWORD usage, UINT resourceType, K_D3DFORMAT checkFormat)
{
    (void)adapter; (void)deviceType; (void)adapterFormat; (void)usage; (void)resourceType;
    return RecordingDevice::Supports(checkFormat) ? 0 : -1;
}

K_HRESULT D3D_CheckDepthStencilMatch(UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat, K_D3DFORMAT renderTargetFormat, K_D3DFORMAT depthFormat)
{
    (void)adapter; (void)deviceType; (void)adapterFormat; (void)renderTargetFormat;
    return RecordingDevice::Supports(depthFormat) ? 0 : -1;
}

K_HRESULT D3D_CheckDeviceMultiSampleType(UINT adapter, UINT deviceType, K_D3DFORMAT format, BOOL windowed, UINT type, DWORD *qualityLevels)
{
    (void)adapter;
    (void)deviceType;
    (void)windowed;
    RecordingDevice::Record("D3D_CheckDeviceMultiSampleType", format, type);
    if (type > RecordingDevice::MaxMultiSampleType) {
        return -1;
    }
    *qualityLevels = format == K_D3DFMT_D16 ? RecordingDevice::DepthQualityLevels : RecordingDevice::ColourQualityLevels;
    return 0;
}

K_HRESULT D3D_GetDeviceCaps(UINT adapter, UINT deviceType, K_D3DCAPS9 *caps)
{
    (void)adapter; (void)deviceType; (void)caps; 
    RecordingDevice::Record("D3D_GetDeviceCaps", 0, 0);
    return 0;
}

int D3D_HasObject()
{
    return RecordingDevice::Present ? 1 : 0;
}

int D3D_HasExObject()
{
    return 0;
}

int G_D3D_HasDevice()
{
    return RecordingDevice::Present ? 1 : 0;
}

int G_D3D_IsDeviceLost()
{
    return 0;
}

void ForgetDeviceLostState() {}

K_HRESULT D3DDev_GetDeviceCaps(K_D3DCAPS9 *caps)
{
    (void)caps; 
    RecordingDevice::Record("D3DDev_GetDeviceCaps", 0, 0);
    return 0;
}

K_HRESULT D3DDev_GetBackBuffer(UINT chain, UINT index, K_IDirect3DSurface9 **out)
{
    (void)chain; (void)index; (void)out; 
    RecordingDevice::Record("D3DDev_GetBackBuffer", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetDialogBoxMode(BOOL enable)
{
    (void)enable; 
    RecordingDevice::Record("D3DDev_SetDialogBoxMode", 0, 0);
    return 0;
}

K_HRESULT D3DDev_CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, K_D3DFORMAT format, UINT pool, K_IDirect3DTexture9 **out)
{
    (void)width; (void)height; (void)levels; (void)usage; (void)format; (void)pool;
    // A distinct address per texture, so that code comparing textures can tell them apart.
    static char textures[4096];
    static size_t next = 0;
    if (out != nullptr) {
        *out = reinterpret_cast<K_IDirect3DTexture9 *>(&textures[next++ % sizeof(textures)]);
    }
    RecordingDevice::Record("D3DDev_CreateTexture", 0, 0);
    return 0;
}

K_HRESULT D3DDev_CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, K_D3DFORMAT format, UINT pool, K_IDirect3DVolumeTexture9 **out)
{
    (void)levels; (void)usage; (void)format;
    RecordingDevice::Record("D3DDev_CreateVolumeTexture", pool, 0);
    *out = nullptr;
    // Named with the pool: "D3DDev_CreateVolumeTexture:2" fails the system-memory ones.
    if (RecordingDevice::Fails(("D3DDev_CreateVolumeTexture:" + std::to_string(pool)).c_str())) {
        return -1;
    }
    auto volume = std::make_unique<RecordingDevice::HandedOutVolume>(RecordingDevice::HandedOutVolume{
        pool, width, height, depth, std::vector<uint8_t>(static_cast<size_t>(width) * height * depth * 4)});
    *out = reinterpret_cast<K_IDirect3DVolumeTexture9 *>(volume.get());
    RecordingDevice::Volumes[*out] = std::move(volume);
    return 0;
}

K_HRESULT D3DDev_CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, UINT pool, K_IDirect3DVertexBuffer9 **out)
{
    (void)pool;
    RecordingDevice::Record("D3DDev_CreateVertexBuffer", 0, 0);
    if (RecordingDevice::Fails("D3DDev_CreateVertexBuffer")) {
        *out = nullptr;
        return -1;
    }
    *out = RecordingDevice::HandOutBuffer<K_IDirect3DVertexBuffer9>(length, usage, fvf);
    return 0;
}

K_HRESULT D3DDev_CreateIndexBuffer(UINT length, DWORD usage, K_D3DFORMAT format, UINT pool, K_IDirect3DIndexBuffer9 **out)
{
    (void)pool;
    RecordingDevice::Record("D3DDev_CreateIndexBuffer", 0, 0);
    if (RecordingDevice::Fails("D3DDev_CreateIndexBuffer")) {
        *out = nullptr;
        return -1;
    }
    *out = RecordingDevice::HandOutBuffer<K_IDirect3DIndexBuffer9>(length, usage, static_cast<uint32_t>(format));
    return 0;
}

K_HRESULT D3DDev_CreateRenderTarget(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample, DWORD quality, BOOL lockable, K_IDirect3DSurface9 **out)
{
    (void)format; (void)multiSample; (void)quality; (void)lockable;
    RecordingDevice::Record("D3DDev_CreateRenderTarget", width, height);
    if (RecordingDevice::HandOutSurfaces) {
        *out = RecordingDevice::NextSurface();
    }
    return 0;
}

K_HRESULT D3DDev_CreateDepthStencilSurface(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample, DWORD quality, BOOL discard, K_IDirect3DSurface9 **out)
{
    (void)width; (void)height; (void)format; (void)multiSample; (void)quality; (void)discard; (void)out; 
    RecordingDevice::Record("D3DDev_CreateDepthStencilSurface", 0, 0);
    return 0;
}

K_HRESULT D3DDev_UpdateSurface(K_IDirect3DSurface9 *source, const RECT *sourceRect, K_IDirect3DSurface9 *dest, const POINT *destPoint)
{
    (void)source; (void)sourceRect; (void)dest; (void)destPoint; 
    RecordingDevice::Record("D3DDev_UpdateSurface", 0, 0);
    return 0;
}

K_HRESULT D3DDev_UpdateTexture(K_IDirect3DBaseTexture9 *source, K_IDirect3DBaseTexture9 *dest)
{
    RecordingDevice::Record("D3DDev_UpdateTexture", 0, 0);
    // Volume textures copy their bytes, as the device would.
    auto from = RecordingDevice::Volumes.find(source);
    auto to = RecordingDevice::Volumes.find(dest);
    if (from != RecordingDevice::Volumes.end() && to != RecordingDevice::Volumes.end()) {
        to->second->bytes = from->second->bytes;
    }
    return 0;
}

K_HRESULT D3DDev_GetRenderTargetData(K_IDirect3DSurface9 *target, K_IDirect3DSurface9 *dest)
{
    (void)target; (void)dest;
    RecordingDevice::Record("D3DDev_GetRenderTargetData", 0, 0);
    return RecordingDevice::Fails("D3DDev_GetRenderTargetData") ? -1 : 0;
}

K_HRESULT D3DDev_StretchRect(K_IDirect3DSurface9 *source, const RECT *sourceRect, K_IDirect3DSurface9 *dest, const RECT *destRect, UINT filter)
{
    (void)source; (void)sourceRect; (void)dest; (void)destRect; (void)filter;
    RecordingDevice::Record("D3DDev_StretchRect", 0, 0);
    return RecordingDevice::Fails("D3DDev_StretchRect") ? -1 : 0;
}

K_HRESULT D3DDev_ColorFill(K_IDirect3DSurface9 *surface, const RECT *rect, K_D3DCOLOR colour)
{
    (void)surface; (void)rect; (void)colour; 
    RecordingDevice::Record("D3DDev_ColorFill", 0, 0);
    return 0;
}

K_HRESULT D3DDev_CreateOffscreenPlainSurface(UINT width, UINT height, K_D3DFORMAT format, UINT pool, K_IDirect3DSurface9 **out)
{
    (void)format; (void)pool;
    RecordingDevice::Record("D3DDev_CreateOffscreenPlainSurface", width, height);
    if (RecordingDevice::HandOutSurfaces) {
        *out = RecordingDevice::NextSurface();
    }
    return 0;
}

K_HRESULT D3DDev_SetRenderTarget(DWORD index, K_IDirect3DSurface9 *surface)
{
    (void)index; (void)surface; 
    RecordingDevice::Record("D3DDev_SetRenderTarget", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetDepthStencilSurface(K_IDirect3DSurface9 *surface)
{
    (void)surface; 
    RecordingDevice::Record("D3DDev_SetDepthStencilSurface", 0, 0);
    return 0;
}

K_HRESULT D3DDev_GetDepthStencilSurface(K_IDirect3DSurface9 **out)
{
    (void)out; 
    RecordingDevice::Record("D3DDev_GetDepthStencilSurface", 0, 0);
    return 0;
}

K_HRESULT D3DDev_BeginScene()
{
    RecordingDevice::Record("D3DDev_BeginScene", 0, 0);
    return 0;
}

K_HRESULT D3DDev_EndScene()
{
    RecordingDevice::Record("D3DDev_EndScene", 0, 0);
    return 0;
}

K_HRESULT D3DDev_Clear(DWORD count, const RECT *rects, DWORD flags, K_D3DCOLOR colour, float z, DWORD stencil)
{
    (void)count; (void)rects; (void)flags; (void)colour; (void)z; (void)stencil; 
    RecordingDevice::Record("D3DDev_Clear", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetTransform(UINT state, const K_D3DMATRIX *matrix)
{
    (void)state; (void)matrix; 
    RecordingDevice::Record("D3DDev_SetTransform", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetViewport(const K_D3DVIEWPORT9 *viewport)
{
    (void)viewport; 
    RecordingDevice::Record("D3DDev_SetViewport", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetMaterial(const K_D3DMATERIAL9 *material)
{
    (void)material; 
    RecordingDevice::Record("D3DDev_SetMaterial", 0, 0);
    return 0;
}

K_HRESULT D3DDev_GetMaterial(K_D3DMATERIAL9 *material)
{
    (void)material; 
    RecordingDevice::Record("D3DDev_GetMaterial", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetLight(DWORD index, const K_D3DLIGHT9 *light)
{
    (void)index; (void)light; 
    RecordingDevice::Record("D3DDev_SetLight", 0, 0);
    return 0;
}

K_HRESULT D3DDev_LightEnable(DWORD index, BOOL enable)
{
    (void)index; (void)enable; 
    RecordingDevice::Record("D3DDev_LightEnable", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetRenderState(UINT state, DWORD value)
{
    RecordingDevice::Record("RS", state, value);
    return 0;
}

K_HRESULT D3DDev_SetTexture(DWORD stage, K_IDirect3DBaseTexture9 *texture)
{
    RecordingDevice::Record("TEX", stage, texture != nullptr ? 1u : 0u);
    return 0;
}

K_HRESULT D3DDev_SetTextureStageState(DWORD stage, UINT type, DWORD value)
{
    RecordingDevice::Record("TSS", stage * 1000 + type, value);
    return 0;
}

K_HRESULT D3DDev_SetSamplerState(DWORD sampler, UINT type, DWORD value)
{
    RecordingDevice::Record("SAMP", sampler * 1000 + type, value);
    return 0;
}

K_HRESULT D3DDev_SetScissorRect(const RECT *rect)
{
    (void)rect; 
    RecordingDevice::Record("D3DDev_SetScissorRect", 0, 0);
    return 0;
}

K_HRESULT D3DDev_DrawPrimitiveUP(UINT type, UINT count, const void *data, UINT stride)
{
    RecordingDevice::Record("DRAW", type, count);
    UINT vertices = type == K_D3DPT_POINTLIST ? count
                    : type == K_D3DPT_LINELIST ? count * 2
                    : type == K_D3DPT_TRIANGLELIST ? count * 3
                    : count + 2;
    const auto *bytes = static_cast<const uint8_t *>(data);
    RecordingDevice::DrawnVertices.push_back(
        RecordingDevice::DrawnBatch{type, stride, std::vector<uint8_t>(bytes, bytes + vertices * stride)});
    return 0;
}

K_HRESULT D3DDev_DrawIndexedPrimitiveUP(UINT type, UINT minIndex, UINT vertexCount, UINT count, const void *indices, K_D3DFORMAT indexFormat, const void *vertices, UINT stride)
{
    (void)type;
    (void)minIndex;
    (void)indexFormat;
    RecordingDevice::StripVertices = vertices;
    const auto *bytes = static_cast<const uint8_t *>(vertices);
    RecordingDevice::StripVertexBytes.assign(bytes, bytes + static_cast<size_t>(vertexCount) * stride);
    const uint16_t *list = static_cast<const uint16_t *>(indices);
    RecordingDevice::StripIndices.assign(list, list + count + 2);
    RecordingDevice::Record("DIP", vertexCount, count);
    return 0;
}

K_HRESULT D3DDev_CreateVertexDeclaration(const K_D3DVERTEXELEMENT9 *elements, K_IDirect3DVertexDeclaration9 **out)
{
    (void)elements; (void)out; 
    RecordingDevice::Record("D3DDev_CreateVertexDeclaration", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetVertexDeclaration(K_IDirect3DVertexDeclaration9 *declaration)
{
    (void)declaration; 
    RecordingDevice::Record("D3DDev_SetVertexDeclaration", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetFVF(DWORD fvf)
{
    (void)fvf; 
    RecordingDevice::Record("D3DDev_SetFVF", 0, 0);
    return 0;
}

K_HRESULT D3DDev_CreateVertexShader(const DWORD *code, K_IDirect3DVertexShader9 **out)
{
    (void)code; (void)out; 
    RecordingDevice::Record("D3DDev_CreateVertexShader", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetVertexShader(K_IDirect3DVertexShader9 *shader)
{
    (void)shader; 
    RecordingDevice::Record("D3DDev_SetVertexShader", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetVertexShaderConstantF(UINT first, const float *values, UINT count)
{
    (void)first; (void)values; (void)count; 
    RecordingDevice::Record("D3DDev_SetVertexShaderConstantF", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetVertexShaderConstantI(UINT first, const int *values, UINT count)
{
    (void)first; (void)values; (void)count; 
    RecordingDevice::Record("D3DDev_SetVertexShaderConstantI", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetVertexShaderConstantB(UINT first, const BOOL *values, UINT count)
{
    (void)first; (void)values; (void)count; 
    RecordingDevice::Record("D3DDev_SetVertexShaderConstantB", 0, 0);
    return 0;
}

K_HRESULT D3DDev_CreatePixelShader(const DWORD *code, K_IDirect3DPixelShader9 **out)
{
    (void)code; (void)out; 
    RecordingDevice::Record("D3DDev_CreatePixelShader", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetPixelShader(K_IDirect3DPixelShader9 *shader)
{
    (void)shader; 
    RecordingDevice::Record("D3DDev_SetPixelShader", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetPixelShaderConstantF(UINT first, const float *values, UINT count)
{
    (void)first; (void)values; (void)count; 
    RecordingDevice::Record("D3DDev_SetPixelShaderConstantF", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetPixelShaderConstantI(UINT first, const int *values, UINT count)
{
    (void)first; (void)values; (void)count; 
    RecordingDevice::Record("D3DDev_SetPixelShaderConstantI", 0, 0);
    return 0;
}

K_HRESULT D3DDev_SetPixelShaderConstantB(UINT first, const BOOL *values, UINT count)
{
    (void)first; (void)values; (void)count; 
    RecordingDevice::Record("D3DDev_SetPixelShaderConstantB", 0, 0);
    return 0;
}

uint32_t D3DRes_Release(const void *object)
{
    RecordingDevice::ReleasedObjects.push_back(object);
    if (RecordingDevice::ReleaseListener != nullptr) {
        RecordingDevice::ReleaseListener(object);
    }
    RecordingDevice::Buffers.erase(object);
    RecordingDevice::Volumes.erase(object);
    RecordingDevice::Record("D3DRes_Release", 0, 0);
    return 0;
}

K_HRESULT D3DTex_GetSurfaceLevel(K_IDirect3DTexture9 *texture, UINT level, K_IDirect3DSurface9 **out)
{
    (void)texture; (void)level;
    // A distinct address per surface, so that code comparing surfaces can tell them apart.
    static char surfaces[4096];
    static size_t next = 0;
    if (out != nullptr) {
        *out = reinterpret_cast<K_IDirect3DSurface9 *>(&surfaces[next++ % sizeof(surfaces)]);
    }
    RecordingDevice::Record("D3DTex_GetSurfaceLevel", 0, 0);
    return 0;
}

K_HRESULT D3DTex_LockRect(K_IDirect3DTexture9 *texture, UINT level, K_D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags)
{
    (void)rect; (void)flags;
    RecordingDevice::Record("D3DTex_LockRect", 0, rect != nullptr ? 1u : 0u);
    if (RecordingDevice::TextureLockHook != nullptr) {
        int pitch = 0;
        void *bytes = RecordingDevice::TextureLockHook(texture, level, &pitch);
        if (bytes == nullptr) {
            return static_cast<K_HRESULT>(0x8876086Cu);  // invalid call
        }
        locked->pBits = bytes;
        locked->Pitch = pitch;
    }
    return 0;
}

K_HRESULT D3DTex_UnlockRect(K_IDirect3DTexture9 *texture, UINT level)
{
    (void)texture; (void)level; 
    RecordingDevice::Record("D3DTex_UnlockRect", 0, 0);
    return 0;
}

K_HRESULT D3DVolTex_LockBox(K_IDirect3DVolumeTexture9 *texture, UINT level, K_D3DLOCKED_BOX *locked, const K_D3DBOX *box, DWORD flags)
{
    (void)level; (void)box; (void)flags;
    RecordingDevice::Record("D3DVolTex_LockBox", 0, 0);
    auto found = RecordingDevice::Volumes.find(texture);
    if (RecordingDevice::Fails("D3DVolTex_LockBox") || found == RecordingDevice::Volumes.end()) {
        return -1;
    }
    RecordingDevice::HandedOutVolume &volume = *found->second;
    locked->RowPitch = static_cast<int32_t>(volume.width * 4);
    locked->SlicePitch = static_cast<int32_t>(volume.width * volume.height * 4);
    locked->pBits = volume.bytes.data();
    return 0;
}

K_HRESULT D3DVolTex_UnlockBox(K_IDirect3DVolumeTexture9 *texture, UINT level)
{
    (void)texture; (void)level;
    RecordingDevice::Record("D3DVolTex_UnlockBox", 0, 0);
    return 0;
}

K_HRESULT D3DSurf_GetDesc(K_IDirect3DSurface9 *surface, K_D3DSURFACE_DESC *desc)
{
    (void)surface;
    RecordingDevice::Record("D3DSurf_GetDesc", 0, 0);
    desc->Format = static_cast<K_D3DFORMAT>(RecordingDevice::SurfaceFormat);
    desc->Width = RecordingDevice::SurfaceWidth;
    desc->Height = RecordingDevice::SurfaceHeight;
    return 0;
}

K_HRESULT D3DSurf_LockRect(K_IDirect3DSurface9 *surface, K_D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags)
{
    (void)surface; (void)locked; (void)rect; (void)flags; 
    RecordingDevice::Record("D3DSurf_LockRect", 0, 0);
    return 0;
}

K_HRESULT D3DSurf_UnlockRect(K_IDirect3DSurface9 *surface)
{
    (void)surface; 
    RecordingDevice::Record("D3DSurf_UnlockRect", 0, 0);
    return 0;
}

K_HRESULT D3DBuf_Lock(const void *buffer, UINT offset, UINT size, void **data, DWORD flags)
{
    (void)flags;
    if (RecordingDevice::Fails("D3DBuf_Lock")) {
        RecordingDevice::Record("D3DBuf_Lock", 0, 0);
        return -1;
    }
    auto found = RecordingDevice::Buffers.find(buffer);
    if (found != RecordingDevice::Buffers.end() && offset + size <= found->second->bytes.size()) {
        *data = found->second->bytes.data() + offset;
    }
    RecordingDevice::Record("D3DBuf_Lock", 0, 0);
    return 0;
}

K_HRESULT D3DBuf_Unlock(const void *buffer)
{
    (void)buffer; 
    RecordingDevice::Record("D3DBuf_Unlock", 0, 0);
    return 0;
}

} // namespace Korvo
