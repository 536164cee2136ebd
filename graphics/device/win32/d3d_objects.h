// The platform objects the graphics module holds (each null when absent), shared
// by the Direct3D back end's files. Nothing outside the win32/ folders of graphics reads them.
#pragma once

#include "graphics/device/win32/k_interfaces.h"

namespace Korvo {

struct Direct3DObjects {
    HMODULE d3d9Module;
    K_IDirectDraw7 *directDraw;
    K_IDirect3D9 *d3d;          // also the Ex object when that one was made
    K_IDirect3D9Ex *d3dEx;
    K_IDirect3DDevice9 *device;
    K_IDirect3DDevice9Ex *deviceEx; // the same device, made through the Ex object
    K_IDirect3DSwapChain9 *swapChain;
    K_IDirect3DSurface9 *zBuffer;
    int zBufferWidth;
    int zBufferHeight;
    K_IDirect3DSurface9 *backBuffer;
};

extern Direct3DObjects D3DObjects;

} // namespace Korvo
