// The host build has no Direct3D: the few device wrappers that portable code
// outside the graphics module reaches (a movie's YUV surface) answer that there
// is no device, and every call fails. The graphics tests link their recording
// stand-in of the device instead.

#include "graphics/device/d3d_call_wrappers.h"

namespace Korvo {

static const K_HRESULT kNoDevice = static_cast<K_HRESULT>(0x8876086C); // invalid call

int G_D3D_HasDevice()
{
    return 0;
}

K_HRESULT D3DDev_CreateOffscreenPlainSurface(UINT, UINT, K_D3DFORMAT, UINT, K_IDirect3DSurface9 **out)
{
    *out = nullptr;
    return kNoDevice;
}

uint32_t D3DRes_Release(const void *)
{
    return 0;
}

K_HRESULT D3DSurf_LockRect(K_IDirect3DSurface9 *, K_D3DLOCKED_RECT *, const RECT *, DWORD)
{
    return kNoDevice;
}

K_HRESULT D3DSurf_UnlockRect(K_IDirect3DSurface9 *)
{
    return kNoDevice;
}

} // namespace Korvo
