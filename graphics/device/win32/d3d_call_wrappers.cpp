// D3DCallWrappers over the library's own interface declarations, and the
// Direct3D objects they reach.

#include "graphics/device/d3d_call_wrappers.h"

#include "graphics/device/win32/d3d_objects.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// A method of the device, of the Direct3D object, or of an object passed in.
#define DEVICE_CALL(method, ...) D3DObjects.device->lpVtbl->method(D3DObjects.device __VA_OPT__(,) __VA_ARGS__)
#define D3D_CALL(method, ...) D3DObjects.d3d->lpVtbl->method(D3DObjects.d3d __VA_OPT__(,) __VA_ARGS__)
#define OBJECT_CALL(object, method, ...) (object)->lpVtbl->method((object) __VA_OPT__(,) __VA_ARGS__)

// ---------------------------------------------------------------------------
// Direct3D object
// ---------------------------------------------------------------------------

K_HRESULT D3D_GetAdapterIdentifier(UINT adapter, DWORD flags, K_D3DADAPTER_IDENTIFIER9 *out)
{
    return D3D_CALL(GetAdapterIdentifier, adapter, flags, out);
}

K_HRESULT D3D_CheckDeviceFormat(UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat, DWORD usage,
                                UINT resourceType, K_D3DFORMAT checkFormat)
{
    return D3D_CALL(CheckDeviceFormat, adapter, deviceType, adapterFormat, usage, resourceType, checkFormat);
}

K_HRESULT D3D_CheckDepthStencilMatch(UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat,
                                     K_D3DFORMAT renderTargetFormat, K_D3DFORMAT depthFormat)
{
    return D3D_CALL(CheckDepthStencilMatch, adapter, deviceType, adapterFormat, renderTargetFormat, depthFormat);
}

K_HRESULT D3D_CheckDeviceMultiSampleType(UINT adapter, UINT deviceType, K_D3DFORMAT format, BOOL windowed,
                                         UINT type, DWORD *qualityLevels)
{
    return D3D_CALL(CheckDeviceMultiSampleType, adapter, deviceType, format, windowed, type, qualityLevels);
}

K_HRESULT D3D_GetDeviceCaps(UINT adapter, UINT deviceType, K_D3DCAPS9 *caps)
{
    return D3D_CALL(GetDeviceCaps, adapter, deviceType, caps);
}

int D3D_HasObject()
{
    return D3DObjects.d3d != nullptr ? 1 : 0;
}

int D3D_HasExObject()
{
    return D3DObjects.d3dEx != nullptr ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Device
// ---------------------------------------------------------------------------

int G_D3D_HasDevice()
{
    return D3DObjects.device != nullptr ? 1 : 0;
}

// -1 until the device has been asked since the last present or device change
static int DeviceLostAnswer = -1;

int G_D3D_IsDeviceLost()
{
    if (D3DObjects.device == nullptr) {
        return 0;
    }
    if (DeviceLostAnswer < 0) {
        DeviceLostAnswer = OBJECT_CALL(D3DObjects.device, TestCooperativeLevel) < 0 ? 1 : 0;
    }
    return DeviceLostAnswer;
}

void ForgetDeviceLostState()
{
    DeviceLostAnswer = -1;
}

K_HRESULT D3DDev_GetDeviceCaps(K_D3DCAPS9 *caps)
{
    return DEVICE_CALL(GetDeviceCaps, caps);
}

K_HRESULT D3DDev_GetBackBuffer(UINT chain, UINT index, K_IDirect3DSurface9 **out)
{
    return DEVICE_CALL(GetBackBuffer, chain, index, 0, out);
}

K_HRESULT D3DDev_SetDialogBoxMode(BOOL enable)
{
    return DEVICE_CALL(SetDialogBoxMode, enable);
}

K_HRESULT D3DDev_CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, K_D3DFORMAT format, UINT pool, K_IDirect3DTexture9 **out)
{
    return DEVICE_CALL(CreateTexture, width, height, levels, usage, format, pool, out, nullptr);
}

K_HRESULT D3DDev_CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, K_D3DFORMAT format, UINT pool, K_IDirect3DVolumeTexture9 **out)
{
    return DEVICE_CALL(CreateVolumeTexture, width, height, depth, levels, usage, format, pool, out, nullptr);
}

K_HRESULT D3DDev_CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, UINT pool, K_IDirect3DVertexBuffer9 **out)
{
    return DEVICE_CALL(CreateVertexBuffer, length, usage, fvf, pool, out, nullptr);
}

K_HRESULT D3DDev_CreateIndexBuffer(UINT length, DWORD usage, K_D3DFORMAT format, UINT pool, K_IDirect3DIndexBuffer9 **out)
{
    return DEVICE_CALL(CreateIndexBuffer, length, usage, format, pool, out, nullptr);
}

K_HRESULT D3DDev_CreateRenderTarget(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample, DWORD quality, BOOL lockable, K_IDirect3DSurface9 **out)
{
    return DEVICE_CALL(CreateRenderTarget, width, height, format, multiSample, quality, lockable, out, nullptr);
}

K_HRESULT D3DDev_CreateDepthStencilSurface(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample, DWORD quality, BOOL discard, K_IDirect3DSurface9 **out)
{
    return DEVICE_CALL(CreateDepthStencilSurface, width, height, format, multiSample, quality, discard, out, nullptr);
}

K_HRESULT D3DDev_UpdateSurface(K_IDirect3DSurface9 *source, const RECT *sourceRect, K_IDirect3DSurface9 *dest, const POINT *destPoint)
{
    return DEVICE_CALL(UpdateSurface, source, sourceRect, dest, destPoint);
}

K_HRESULT D3DDev_UpdateTexture(K_IDirect3DBaseTexture9 *source, K_IDirect3DBaseTexture9 *dest)
{
    return DEVICE_CALL(UpdateTexture, source, dest);
}

K_HRESULT D3DDev_GetRenderTargetData(K_IDirect3DSurface9 *target, K_IDirect3DSurface9 *dest)
{
    return DEVICE_CALL(GetRenderTargetData, target, dest);
}

K_HRESULT D3DDev_StretchRect(K_IDirect3DSurface9 *source, const RECT *sourceRect, K_IDirect3DSurface9 *dest, const RECT *destRect, UINT filter)
{
    return DEVICE_CALL(StretchRect, source, sourceRect, dest, destRect, filter);
}

K_HRESULT D3DDev_ColorFill(K_IDirect3DSurface9 *surface, const RECT *rect, K_D3DCOLOR colour)
{
    return DEVICE_CALL(ColorFill, surface, rect, colour);
}

K_HRESULT D3DDev_CreateOffscreenPlainSurface(UINT width, UINT height, K_D3DFORMAT format, UINT pool, K_IDirect3DSurface9 **out)
{
    return DEVICE_CALL(CreateOffscreenPlainSurface, width, height, format, pool, out, nullptr);
}

K_HRESULT D3DDev_SetRenderTarget(DWORD index, K_IDirect3DSurface9 *surface)
{
    return DEVICE_CALL(SetRenderTarget, index, surface);
}

K_HRESULT D3DDev_GetRenderTarget(DWORD index, K_IDirect3DSurface9 **out)
{
    return DEVICE_CALL(GetRenderTarget, index, out);
}

K_HRESULT D3DDev_SetDepthStencilSurface(K_IDirect3DSurface9 *surface)
{
    return DEVICE_CALL(SetDepthStencilSurface, surface);
}

K_HRESULT D3DDev_GetDepthStencilSurface(K_IDirect3DSurface9 **out)
{
    return DEVICE_CALL(GetDepthStencilSurface, out);
}

K_HRESULT D3DDev_BeginScene()
{
    return DEVICE_CALL(BeginScene);
}

K_HRESULT D3DDev_EndScene()
{
    return DEVICE_CALL(EndScene);
}

K_HRESULT D3DDev_Clear(DWORD count, const RECT *rects, DWORD flags, K_D3DCOLOR colour, float z, DWORD stencil)
{
    return DEVICE_CALL(Clear, count, rects, flags, colour, z, stencil);
}

K_HRESULT D3DDev_SetTransform(UINT state, const K_D3DMATRIX *matrix)
{
    return DEVICE_CALL(SetTransform, state, matrix);
}

K_HRESULT D3DDev_SetViewport(const K_D3DVIEWPORT9 *viewport)
{
    return DEVICE_CALL(SetViewport, viewport);
}

K_HRESULT D3DDev_SetMaterial(const K_D3DMATERIAL9 *material)
{
    return DEVICE_CALL(SetMaterial, material);
}

K_HRESULT D3DDev_GetMaterial(K_D3DMATERIAL9 *material)
{
    return DEVICE_CALL(GetMaterial, material);
}

K_HRESULT D3DDev_SetLight(DWORD index, const K_D3DLIGHT9 *light)
{
    return DEVICE_CALL(SetLight, index, light);
}

K_HRESULT D3DDev_LightEnable(DWORD index, BOOL enable)
{
    return DEVICE_CALL(LightEnable, index, enable);
}

K_HRESULT D3DDev_SetRenderState(UINT state, DWORD value)
{
    return DEVICE_CALL(SetRenderState, state, value);
}

K_HRESULT D3DDev_SetTexture(DWORD stage, K_IDirect3DBaseTexture9 *texture)
{
    return DEVICE_CALL(SetTexture, stage, texture);
}

K_HRESULT D3DDev_SetTextureStageState(DWORD stage, UINT type, DWORD value)
{
    return DEVICE_CALL(SetTextureStageState, stage, type, value);
}

K_HRESULT D3DDev_SetSamplerState(DWORD sampler, UINT type, DWORD value)
{
    return DEVICE_CALL(SetSamplerState, sampler, type, value);
}

K_HRESULT D3DDev_SetScissorRect(const RECT *rect)
{
    return DEVICE_CALL(SetScissorRect, rect);
}

K_HRESULT D3DDev_DrawPrimitiveUP(UINT type, UINT count, const void *data, UINT stride)
{
    return DEVICE_CALL(DrawPrimitiveUP, type, count, data, stride);
}

K_HRESULT D3DDev_DrawIndexedPrimitiveUP(UINT type, UINT minIndex, UINT vertexCount, UINT count, const void *indices, K_D3DFORMAT indexFormat, const void *vertices, UINT stride)
{
    return DEVICE_CALL(DrawIndexedPrimitiveUP, type, minIndex, vertexCount, count, indices, indexFormat, vertices, stride);
}

K_HRESULT D3DDev_CreateVertexDeclaration(const K_D3DVERTEXELEMENT9 *elements, K_IDirect3DVertexDeclaration9 **out)
{
    return DEVICE_CALL(CreateVertexDeclaration, elements, out);
}

K_HRESULT D3DDev_SetVertexDeclaration(K_IDirect3DVertexDeclaration9 *declaration)
{
    return DEVICE_CALL(SetVertexDeclaration, declaration);
}

K_HRESULT D3DDev_SetFVF(DWORD fvf)
{
    return DEVICE_CALL(SetFVF, fvf);
}

K_HRESULT D3DDev_CreateVertexShader(const DWORD *code, K_IDirect3DVertexShader9 **out)
{
    return DEVICE_CALL(CreateVertexShader, code, out);
}

K_HRESULT D3DDev_SetVertexShader(K_IDirect3DVertexShader9 *shader)
{
    return DEVICE_CALL(SetVertexShader, shader);
}

K_HRESULT D3DDev_SetVertexShaderConstantF(UINT first, const float *values, UINT count)
{
    return DEVICE_CALL(SetVertexShaderConstantF, first, values, count);
}

K_HRESULT D3DDev_SetVertexShaderConstantI(UINT first, const int *values, UINT count)
{
    return DEVICE_CALL(SetVertexShaderConstantI, first, values, count);
}

K_HRESULT D3DDev_SetVertexShaderConstantB(UINT first, const BOOL *values, UINT count)
{
    return DEVICE_CALL(SetVertexShaderConstantB, first, values, count);
}

K_HRESULT D3DDev_CreatePixelShader(const DWORD *code, K_IDirect3DPixelShader9 **out)
{
    return DEVICE_CALL(CreatePixelShader, code, out);
}

K_HRESULT D3DDev_SetPixelShader(K_IDirect3DPixelShader9 *shader)
{
    return DEVICE_CALL(SetPixelShader, shader);
}

K_HRESULT D3DDev_SetPixelShaderConstantF(UINT first, const float *values, UINT count)
{
    return DEVICE_CALL(SetPixelShaderConstantF, first, values, count);
}

K_HRESULT D3DDev_SetPixelShaderConstantI(UINT first, const int *values, UINT count)
{
    return DEVICE_CALL(SetPixelShaderConstantI, first, values, count);
}

K_HRESULT D3DDev_SetPixelShaderConstantB(UINT first, const BOOL *values, UINT count)
{
    return DEVICE_CALL(SetPixelShaderConstantB, first, values, count);
}

// ---------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------

uint32_t D3DRes_Release(const void *object)
{
    K_IUnknown *unknown = static_cast<K_IUnknown *>(const_cast<void *>(object));
    return OBJECT_CALL(unknown, Release);
}

K_HRESULT D3DTex_GetSurfaceLevel(K_IDirect3DTexture9 *texture, UINT level, K_IDirect3DSurface9 **out)
{
    return OBJECT_CALL(texture, GetSurfaceLevel, level, out);
}

K_HRESULT D3DTex_LockRect(K_IDirect3DTexture9 *texture, UINT level, K_D3DLOCKED_RECT *locked, const RECT *rect,
                          DWORD flags)
{
    return OBJECT_CALL(texture, LockRect, level, locked, rect, flags);
}

K_HRESULT D3DTex_UnlockRect(K_IDirect3DTexture9 *texture, UINT level)
{
    return OBJECT_CALL(texture, UnlockRect, level);
}

K_HRESULT D3DVolTex_LockBox(K_IDirect3DVolumeTexture9 *texture, UINT level, K_D3DLOCKED_BOX *locked,
                            const K_D3DBOX *box, DWORD flags)
{
    return OBJECT_CALL(texture, LockBox, level, locked, box, flags);
}

K_HRESULT D3DVolTex_UnlockBox(K_IDirect3DVolumeTexture9 *texture, UINT level)
{
    return OBJECT_CALL(texture, UnlockBox, level);
}

K_HRESULT D3DSurf_GetDesc(K_IDirect3DSurface9 *surface, K_D3DSURFACE_DESC *desc)
{
    return OBJECT_CALL(surface, GetDesc, desc);
}

K_HRESULT D3DSurf_LockRect(K_IDirect3DSurface9 *surface, K_D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags)
{
    return OBJECT_CALL(surface, LockRect, locked, rect, flags);
}

K_HRESULT D3DSurf_UnlockRect(K_IDirect3DSurface9 *surface)
{
    return OBJECT_CALL(surface, UnlockRect);
}

// Vertex and index buffers share their slot layout.
K_HRESULT D3DBuf_Lock(const void *buffer, UINT offset, UINT size, void **data, DWORD flags)
{
    K_IDirect3DVertexBuffer9 *object = static_cast<K_IDirect3DVertexBuffer9 *>(const_cast<void *>(buffer));
    return OBJECT_CALL(object, Lock, offset, size, data, flags);
}

K_HRESULT D3DBuf_Unlock(const void *buffer)
{
    K_IDirect3DVertexBuffer9 *object = static_cast<K_IDirect3DVertexBuffer9 *>(const_cast<void *>(buffer));
    return OBJECT_CALL(object, Unlock);
}

} // namespace Korvo
