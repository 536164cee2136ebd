// D3DCallWrappers: the one door of the graphics code to Direct3D 9.
//
// One small function per interface method the library uses. Device wrappers do
// not test for a device unless said; callers guard with G_D3D_HasDevice. The
// OnMainThread variants take an async context last: null runs the call at once
// (main thread), non-null hands it to the main thread from an asynchronous-load
// worker. Only this header's functions touch the device, so a recording stand-in
// of them can replace the device in tests.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

// Any object the wrappers release; every interface starts with IUnknown's slots.
typedef K_IUnknown K_AnyObject;

// ---------------------------------------------------------------------------
// Direct3D object
// ---------------------------------------------------------------------------

K_HRESULT D3D_GetAdapterIdentifier(UINT adapter, DWORD flags, K_D3DADAPTER_IDENTIFIER9 *out);
K_HRESULT D3D_CheckDeviceFormat(UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat, DWORD usage,
                                UINT resourceType, K_D3DFORMAT checkFormat);
K_HRESULT D3D_CheckDepthStencilMatch(UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat,
                                     K_D3DFORMAT renderTargetFormat, K_D3DFORMAT depthFormat);
K_HRESULT D3D_CheckDeviceMultiSampleType(UINT adapter, UINT deviceType, K_D3DFORMAT format, BOOL windowed,
                                         UINT type, DWORD *qualityLevels);
K_HRESULT D3D_GetDeviceCaps(UINT adapter, UINT deviceType, K_D3DCAPS9 *caps);
// 1 when the IDirect3D9 object exists
int D3D_HasObject();
// 1 when the IDirect3D9Ex object exists
int D3D_HasExObject();

// ---------------------------------------------------------------------------
// Device
// ---------------------------------------------------------------------------

// 1 when the device exists
int G_D3D_HasDevice();
// 1 when the device's TestCooperativeLevel fails. The answer is kept until the next
// present or device change: every draw asks, and under some drivers each question is
// a round trip to another process.
int G_D3D_IsDeviceLost();
// Makes the next G_D3D_IsDeviceLost ask the device again
void ForgetDeviceLostState();

K_HRESULT D3DDev_GetDeviceCaps(K_D3DCAPS9 *caps);
K_HRESULT D3DDev_GetBackBuffer(UINT chain, UINT index, K_IDirect3DSurface9 **out);
K_HRESULT D3DDev_SetDialogBoxMode(BOOL enable);
K_HRESULT D3DDev_CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, K_D3DFORMAT format, UINT pool,
                               K_IDirect3DTexture9 **out);
K_HRESULT D3DDev_CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                     K_D3DFORMAT format, UINT pool, K_IDirect3DVolumeTexture9 **out);
K_HRESULT D3DDev_CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, UINT pool, K_IDirect3DVertexBuffer9 **out);
K_HRESULT D3DDev_CreateIndexBuffer(UINT length, DWORD usage, K_D3DFORMAT format, UINT pool,
                                   K_IDirect3DIndexBuffer9 **out);
K_HRESULT D3DDev_CreateRenderTarget(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample, DWORD quality,
                                    BOOL lockable, K_IDirect3DSurface9 **out);
K_HRESULT D3DDev_CreateDepthStencilSurface(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample,
                                           DWORD quality, BOOL discard, K_IDirect3DSurface9 **out);
K_HRESULT D3DDev_UpdateSurface(K_IDirect3DSurface9 *source, const RECT *sourceRect, K_IDirect3DSurface9 *dest,
                               const POINT *destPoint);
K_HRESULT D3DDev_UpdateTexture(K_IDirect3DBaseTexture9 *source, K_IDirect3DBaseTexture9 *dest);
K_HRESULT D3DDev_GetRenderTargetData(K_IDirect3DSurface9 *target, K_IDirect3DSurface9 *dest);
K_HRESULT D3DDev_StretchRect(K_IDirect3DSurface9 *source, const RECT *sourceRect, K_IDirect3DSurface9 *dest,
                             const RECT *destRect, UINT filter);
K_HRESULT D3DDev_ColorFill(K_IDirect3DSurface9 *surface, const RECT *rect, K_D3DCOLOR colour);
K_HRESULT D3DDev_CreateOffscreenPlainSurface(UINT width, UINT height, K_D3DFORMAT format, UINT pool,
                                             K_IDirect3DSurface9 **out);
K_HRESULT D3DDev_SetRenderTarget(DWORD index, K_IDirect3DSurface9 *surface);
// The surface on a render-target slot (a reference the caller releases), null for none
K_HRESULT D3DDev_GetRenderTarget(DWORD index, K_IDirect3DSurface9 **out);
K_HRESULT D3DDev_SetDepthStencilSurface(K_IDirect3DSurface9 *surface);
K_HRESULT D3DDev_GetDepthStencilSurface(K_IDirect3DSurface9 **out);
K_HRESULT D3DDev_BeginScene();
K_HRESULT D3DDev_EndScene();
K_HRESULT D3DDev_Clear(DWORD count, const RECT *rects, DWORD flags, K_D3DCOLOR colour, float z, DWORD stencil);
K_HRESULT D3DDev_SetTransform(UINT state, const K_D3DMATRIX *matrix);
K_HRESULT D3DDev_SetViewport(const K_D3DVIEWPORT9 *viewport);
K_HRESULT D3DDev_SetMaterial(const K_D3DMATERIAL9 *material);
K_HRESULT D3DDev_GetMaterial(K_D3DMATERIAL9 *material);
K_HRESULT D3DDev_SetLight(DWORD index, const K_D3DLIGHT9 *light);
K_HRESULT D3DDev_LightEnable(DWORD index, BOOL enable);
K_HRESULT D3DDev_SetRenderState(UINT state, DWORD value);
K_HRESULT D3DDev_SetTexture(DWORD stage, K_IDirect3DBaseTexture9 *texture);
K_HRESULT D3DDev_SetTextureStageState(DWORD stage, UINT type, DWORD value);
K_HRESULT D3DDev_SetSamplerState(DWORD sampler, UINT type, DWORD value);
K_HRESULT D3DDev_SetScissorRect(const RECT *rect);
K_HRESULT D3DDev_DrawPrimitiveUP(UINT type, UINT count, const void *data, UINT stride);
K_HRESULT D3DDev_DrawIndexedPrimitiveUP(UINT type, UINT minIndex, UINT vertexCount, UINT count, const void *indices,
                                        K_D3DFORMAT indexFormat, const void *vertices, UINT stride);
K_HRESULT D3DDev_CreateVertexDeclaration(const K_D3DVERTEXELEMENT9 *elements, K_IDirect3DVertexDeclaration9 **out);
K_HRESULT D3DDev_SetVertexDeclaration(K_IDirect3DVertexDeclaration9 *declaration);
K_HRESULT D3DDev_SetFVF(DWORD fvf);
K_HRESULT D3DDev_CreateVertexShader(const DWORD *code, K_IDirect3DVertexShader9 **out);
K_HRESULT D3DDev_SetVertexShader(K_IDirect3DVertexShader9 *shader);
K_HRESULT D3DDev_SetVertexShaderConstantF(UINT first, const float *values, UINT count);
K_HRESULT D3DDev_SetVertexShaderConstantI(UINT first, const int *values, UINT count);
K_HRESULT D3DDev_SetVertexShaderConstantB(UINT first, const BOOL *values, UINT count);
K_HRESULT D3DDev_CreatePixelShader(const DWORD *code, K_IDirect3DPixelShader9 **out);
K_HRESULT D3DDev_SetPixelShader(K_IDirect3DPixelShader9 *shader);
K_HRESULT D3DDev_SetPixelShaderConstantF(UINT first, const float *values, UINT count);
K_HRESULT D3DDev_SetPixelShaderConstantI(UINT first, const int *values, UINT count);
K_HRESULT D3DDev_SetPixelShaderConstantB(UINT first, const BOOL *values, UINT count);

// ---------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------

// Release any Direct3D object; its remaining reference count
uint32_t D3DRes_Release(const void *object);
K_HRESULT D3DTex_GetSurfaceLevel(K_IDirect3DTexture9 *texture, UINT level, K_IDirect3DSurface9 **out);
K_HRESULT D3DTex_LockRect(K_IDirect3DTexture9 *texture, UINT level, K_D3DLOCKED_RECT *locked, const RECT *rect,
                          DWORD flags);
K_HRESULT D3DTex_UnlockRect(K_IDirect3DTexture9 *texture, UINT level);
K_HRESULT D3DVolTex_LockBox(K_IDirect3DVolumeTexture9 *texture, UINT level, K_D3DLOCKED_BOX *locked,
                            const K_D3DBOX *box, DWORD flags);
K_HRESULT D3DVolTex_UnlockBox(K_IDirect3DVolumeTexture9 *texture, UINT level);
K_HRESULT D3DSurf_GetDesc(K_IDirect3DSurface9 *surface, K_D3DSURFACE_DESC *desc);
K_HRESULT D3DSurf_LockRect(K_IDirect3DSurface9 *surface, K_D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags);
K_HRESULT D3DSurf_UnlockRect(K_IDirect3DSurface9 *surface);
// Vertex and index buffers alike
K_HRESULT D3DBuf_Lock(const void *buffer, UINT offset, UINT size, void **data, DWORD flags);
K_HRESULT D3DBuf_Unlock(const void *buffer);

// ---------------------------------------------------------------------------
// Main-thread pairs (context null: call at once; else hand over to the main thread)
// ---------------------------------------------------------------------------

uint32_t D3DRes_ReleaseOnMainThread(const void *object, void *context);
K_HRESULT D3DDev_CreateRenderTargetOnMainThread(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample,
                                                DWORD quality, BOOL lockable, K_IDirect3DSurface9 **out,
                                                void *context);
K_HRESULT D3DDev_CreateDepthStencilSurfaceOnMainThread(UINT width, UINT height, K_D3DFORMAT format,
                                                       UINT multiSample, DWORD quality, BOOL discard,
                                                       K_IDirect3DSurface9 **out, void *context);
K_HRESULT D3DDev_CreateTextureOnMainThread(UINT width, UINT height, UINT levels, DWORD usage, K_D3DFORMAT format,
                                           UINT pool, K_IDirect3DTexture9 **out, void *context);
void D3DDev_ColorFillOnMainThread(K_IDirect3DSurface9 *surface, const RECT *rect, K_D3DCOLOR colour, void *context);
K_HRESULT D3DDev_CreateOffscreenPlainSurfaceOnMainThread(UINT width, UINT height, K_D3DFORMAT format, UINT pool,
                                                         K_IDirect3DSurface9 **out, void *context);
K_HRESULT D3DDev_UpdateSurfaceOnMainThread(K_IDirect3DSurface9 *source, const RECT *sourceRect,
                                           K_IDirect3DSurface9 *dest, const POINT *destPoint, void *context);
void D3DDev_UpdateTextureOnMainThread(K_IDirect3DBaseTexture9 *source, K_IDirect3DBaseTexture9 *dest, void *context);
K_HRESULT D3DDev_CreateVertexShaderOnMainThread(const DWORD *code, K_IDirect3DVertexShader9 **out, void *context);
K_HRESULT D3DDev_CreatePixelShaderOnMainThread(const DWORD *code, K_IDirect3DPixelShader9 **out, void *context);
// 0, or -1 on failure or without a device (tested on the main thread)
int D3DDev_CreateVertexBufferOnMainThread(UINT length, DWORD usage, DWORD fvf, UINT pool,
                                          K_IDirect3DVertexBuffer9 **out, void *context);
int D3DDev_CreateIndexBufferOnMainThread(UINT length, DWORD usage, K_D3DFORMAT format, UINT pool,
                                         K_IDirect3DIndexBuffer9 **out, void *context);
K_HRESULT D3DTex_GetSurfaceLevelOnMainThread(K_IDirect3DTexture9 *texture, UINT level, K_IDirect3DSurface9 **out,
                                             void *context);
K_HRESULT D3DTex_LockRectOnMainThread(K_IDirect3DTexture9 *texture, UINT level, K_D3DLOCKED_RECT *locked,
                                      const RECT *rect, DWORD flags, void *context);
void D3DTex_UnlockRectOnMainThread(K_IDirect3DTexture9 *texture, UINT level, void *context);
K_HRESULT D3DSurf_LockRectOnMainThread(K_IDirect3DSurface9 *surface, K_D3DLOCKED_RECT *locked, const RECT *rect,
                                       DWORD flags, void *context);
void D3DSurf_UnlockRectOnMainThread(K_IDirect3DSurface9 *surface, void *context);
K_HRESULT D3DBuf_LockOnMainThread(const void *buffer, UINT offset, UINT size, void **data, DWORD flags,
                                  void *context);
void D3DBuf_UnlockOnMainThread(const void *buffer, void *context);

} // namespace Korvo
