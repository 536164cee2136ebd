// The OnMainThread variants of D3DCallWrappers: the only way an asynchronous-load
// worker reaches the device, which the main thread alone owns.

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/main_thread_call.h"

namespace Korvo {

uint32_t D3DRes_ReleaseOnMainThread(const void *object, void *context)
{
    return RunOnMainThread(context, [&] { return D3DRes_Release(object); });
}

K_HRESULT D3DDev_CreateRenderTargetOnMainThread(UINT width, UINT height, K_D3DFORMAT format, UINT multiSample,
                                                DWORD quality, BOOL lockable, K_IDirect3DSurface9 **out,
                                                void *context)
{
    return RunOnMainThread(context, [&] {
        return D3DDev_CreateRenderTarget(width, height, format, multiSample, quality, lockable, out);
    });
}

K_HRESULT D3DDev_CreateDepthStencilSurfaceOnMainThread(UINT width, UINT height, K_D3DFORMAT format,
                                                       UINT multiSample, DWORD quality, BOOL discard,
                                                       K_IDirect3DSurface9 **out, void *context)
{
    return RunOnMainThread(context, [&] {
        return D3DDev_CreateDepthStencilSurface(width, height, format, multiSample, quality, discard, out);
    });
}

K_HRESULT D3DDev_CreateTextureOnMainThread(UINT width, UINT height, UINT levels, DWORD usage, K_D3DFORMAT format,
                                           UINT pool, K_IDirect3DTexture9 **out, void *context)
{
    return RunOnMainThread(context,
                           [&] { return D3DDev_CreateTexture(width, height, levels, usage, format, pool, out); });
}

void D3DDev_ColorFillOnMainThread(K_IDirect3DSurface9 *surface, const RECT *rect, K_D3DCOLOR colour, void *context)
{
    RunOnMainThread(context, [&] { D3DDev_ColorFill(surface, rect, colour); });
}

K_HRESULT D3DDev_CreateOffscreenPlainSurfaceOnMainThread(UINT width, UINT height, K_D3DFORMAT format, UINT pool,
                                                         K_IDirect3DSurface9 **out, void *context)
{
    return RunOnMainThread(context,
                           [&] { return D3DDev_CreateOffscreenPlainSurface(width, height, format, pool, out); });
}

K_HRESULT D3DDev_UpdateSurfaceOnMainThread(K_IDirect3DSurface9 *source, const RECT *sourceRect,
                                           K_IDirect3DSurface9 *dest, const POINT *destPoint, void *context)
{
    return RunOnMainThread(context, [&] { return D3DDev_UpdateSurface(source, sourceRect, dest, destPoint); });
}

void D3DDev_UpdateTextureOnMainThread(K_IDirect3DBaseTexture9 *source, K_IDirect3DBaseTexture9 *dest, void *context)
{
    RunOnMainThread(context, [&] { D3DDev_UpdateTexture(source, dest); });
}

K_HRESULT D3DDev_CreateVertexShaderOnMainThread(const DWORD *code, K_IDirect3DVertexShader9 **out, void *context)
{
    return RunOnMainThread(context, [&] { return D3DDev_CreateVertexShader(code, out); });
}

K_HRESULT D3DDev_CreatePixelShaderOnMainThread(const DWORD *code, K_IDirect3DPixelShader9 **out, void *context)
{
    return RunOnMainThread(context, [&] { return D3DDev_CreatePixelShader(code, out); });
}

// The device is tested on the main thread: it may have gone while the request waited.
template <typename Create>
static int CreateBufferOnMainThread(void *context, Create create)
{
    return RunOnMainThread(context, [&] {
        if (G_D3D_HasDevice() == 0) {
            return -1;
        }
        return create() < 0 ? -1 : 0;
    });
}

int D3DDev_CreateVertexBufferOnMainThread(UINT length, DWORD usage, DWORD fvf, UINT pool,
                                          K_IDirect3DVertexBuffer9 **out, void *context)
{
    return CreateBufferOnMainThread(context, [&] { return D3DDev_CreateVertexBuffer(length, usage, fvf, pool, out); });
}

int D3DDev_CreateIndexBufferOnMainThread(UINT length, DWORD usage, K_D3DFORMAT format, UINT pool,
                                         K_IDirect3DIndexBuffer9 **out, void *context)
{
    return CreateBufferOnMainThread(context,
                                    [&] { return D3DDev_CreateIndexBuffer(length, usage, format, pool, out); });
}

K_HRESULT D3DTex_GetSurfaceLevelOnMainThread(K_IDirect3DTexture9 *texture, UINT level, K_IDirect3DSurface9 **out,
                                             void *context)
{
    return RunOnMainThread(context, [&] { return D3DTex_GetSurfaceLevel(texture, level, out); });
}

K_HRESULT D3DTex_LockRectOnMainThread(K_IDirect3DTexture9 *texture, UINT level, K_D3DLOCKED_RECT *locked,
                                      const RECT *rect, DWORD flags, void *context)
{
    return RunOnMainThread(context, [&] { return D3DTex_LockRect(texture, level, locked, rect, flags); });
}

void D3DTex_UnlockRectOnMainThread(K_IDirect3DTexture9 *texture, UINT level, void *context)
{
    RunOnMainThread(context, [&] { D3DTex_UnlockRect(texture, level); });
}

K_HRESULT D3DSurf_LockRectOnMainThread(K_IDirect3DSurface9 *surface, K_D3DLOCKED_RECT *locked, const RECT *rect,
                                       DWORD flags, void *context)
{
    return RunOnMainThread(context, [&] { return D3DSurf_LockRect(surface, locked, rect, flags); });
}

void D3DSurf_UnlockRectOnMainThread(K_IDirect3DSurface9 *surface, void *context)
{
    RunOnMainThread(context, [&] { D3DSurf_UnlockRect(surface); });
}

K_HRESULT D3DBuf_LockOnMainThread(const void *buffer, UINT offset, UINT size, void **data, DWORD flags,
                                  void *context)
{
    return RunOnMainThread(context, [&] { return D3DBuf_Lock(buffer, offset, size, data, flags); });
}

void D3DBuf_UnlockOnMainThread(const void *buffer, void *context)
{
    RunOnMainThread(context, [&] { D3DBuf_Unlock(buffer); });
}

} // namespace Korvo
