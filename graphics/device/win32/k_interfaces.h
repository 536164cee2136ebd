// The library's own declarations of the Direct3D 9 and DirectDraw 7 interfaces it
// calls, as C-style method tables in slot order.
//
// Each table comes from one slot list: M(result, name, parameters) for a method
// the library calls, U(name) for a slot it never calls (declared as a plain
// pointer so that the slots after it keep their places). A Windows-only test
// checks every slot and size against the toolchain's own declarations.
#pragma once

#include "graphics/device/d3d9_types.h"

#include <windows.h>

namespace Korvo {

struct K_IDirect3D9;
struct K_IDirect3D9Ex;
struct K_IDirect3DDevice9;
struct K_IDirect3DDevice9Ex;
struct K_IDirectDraw7;
struct K_IDirect3DQuery9;

#define K_DECLARE_METHOD(result, name, params) result(STDMETHODCALLTYPE *name) params;
#define K_DECLARE_UNUSED(name) void *name;

// IUnknown: the three slots every interface starts with.
#define K_IUNKNOWN_SLOTS(M, U, T) U(QueryInterface) U(AddRef) M(ULONG, Release, (T * self))

#define K_IDIRECT3D9_SLOTS(M, U, T)                                                                      \
    K_IUNKNOWN_SLOTS(M, U, T)                                                                            \
    U(RegisterSoftwareDevice) U(GetAdapterCount)                                                         \
    M(HRESULT, GetAdapterIdentifier, (T * self, UINT adapter, DWORD flags, K_D3DADAPTER_IDENTIFIER9 *out)) \
    M(UINT, GetAdapterModeCount, (T * self, UINT adapter, K_D3DFORMAT format))                           \
    U(EnumAdapterModes)                                                                                  \
    M(HRESULT, GetAdapterDisplayMode, (T * self, UINT adapter, K_D3DDISPLAYMODE *mode))                  \
    U(CheckDeviceType)                                                                                   \
    M(HRESULT, CheckDeviceFormat, (T * self, UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat,   \
                                   DWORD usage, UINT resourceType, K_D3DFORMAT checkFormat))             \
    M(HRESULT, CheckDeviceMultiSampleType, (T * self, UINT adapter, UINT deviceType, K_D3DFORMAT format, \
                                            BOOL windowed, UINT type, DWORD *qualityLevels))             \
    M(HRESULT, CheckDepthStencilMatch, (T * self, UINT adapter, UINT deviceType, K_D3DFORMAT adapterFormat, \
                                        K_D3DFORMAT renderTargetFormat, K_D3DFORMAT depthFormat))        \
    U(CheckDeviceFormatConversion)                                                                       \
    M(HRESULT, GetDeviceCaps, (T * self, UINT adapter, UINT deviceType, K_D3DCAPS9 *caps))               \
    U(GetAdapterMonitor)                                                                                 \
    M(HRESULT, CreateDevice, (T * self, UINT adapter, UINT deviceType, HWND focus, DWORD behaviour,     \
                              K_D3DPRESENT_PARAMETERS *parameters, K_IDirect3DDevice9 **device))

#define K_IDIRECT3D9EX_SLOTS(M, U, T)                                                                    \
    K_IDIRECT3D9_SLOTS(M, U, T)                                                                          \
    U(GetAdapterModeCountEx) U(EnumAdapterModesEx) U(GetAdapterDisplayModeEx)                            \
    M(HRESULT, CreateDeviceEx, (T * self, UINT adapter, UINT deviceType, HWND focus, DWORD behaviour,   \
                                K_D3DPRESENT_PARAMETERS *parameters, K_D3DDISPLAYMODEEX *mode,          \
                                K_IDirect3DDevice9 **device))                                           \
    U(GetAdapterLUID)

#define K_IDIRECT3DDEVICE9_SLOTS(M, U, T)                                                                \
    K_IUNKNOWN_SLOTS(M, U, T)                                                                            \
    M(HRESULT, TestCooperativeLevel, (T * self))                                                         \
    U(GetAvailableTextureMem) U(EvictManagedResources) U(GetDirect3D)                                    \
    M(HRESULT, GetDeviceCaps, (T * self, K_D3DCAPS9 *caps))                                              \
    U(GetDisplayMode) U(GetCreationParameters) U(SetCursorProperties) U(SetCursorPosition) U(ShowCursor) \
    U(CreateAdditionalSwapChain)                                                                         \
    M(HRESULT, GetSwapChain, (T * self, UINT index, K_IDirect3DSwapChain9 **chain))                      \
    U(GetNumberOfSwapChains) U(Reset)                                                                    \
    M(HRESULT, Present, (T * self, const RECT *source, const RECT *dest, HWND window, const void *dirty)) \
    M(HRESULT, GetBackBuffer, (T * self, UINT chain, UINT index, UINT type, K_IDirect3DSurface9 **out))  \
    U(GetRasterStatus)                                                                                   \
    M(HRESULT, SetDialogBoxMode, (T * self, BOOL enable))                                                \
    U(SetGammaRamp) U(GetGammaRamp)                                                                      \
    M(HRESULT, CreateTexture, (T * self, UINT width, UINT height, UINT levels, DWORD usage,             \
                               K_D3DFORMAT format, UINT pool, K_IDirect3DTexture9 **out, HANDLE *shared)) \
    M(HRESULT, CreateVolumeTexture, (T * self, UINT width, UINT height, UINT depth, UINT levels,        \
                                     DWORD usage, K_D3DFORMAT format, UINT pool,                        \
                                     K_IDirect3DVolumeTexture9 **out, HANDLE *shared))                  \
    U(CreateCubeTexture)                                                                                 \
    M(HRESULT, CreateVertexBuffer, (T * self, UINT length, DWORD usage, DWORD fvf, UINT pool,           \
                                    K_IDirect3DVertexBuffer9 **out, HANDLE *shared))                    \
    M(HRESULT, CreateIndexBuffer, (T * self, UINT length, DWORD usage, K_D3DFORMAT format, UINT pool,   \
                                   K_IDirect3DIndexBuffer9 **out, HANDLE *shared))                      \
    M(HRESULT, CreateRenderTarget, (T * self, UINT width, UINT height, K_D3DFORMAT format,              \
                                    UINT multiSample, DWORD quality, BOOL lockable,                     \
                                    K_IDirect3DSurface9 **out, HANDLE *shared))                         \
    M(HRESULT, CreateDepthStencilSurface, (T * self, UINT width, UINT height, K_D3DFORMAT format,       \
                                           UINT multiSample, DWORD quality, BOOL discard,               \
                                           K_IDirect3DSurface9 **out, HANDLE *shared))                  \
    M(HRESULT, UpdateSurface, (T * self, K_IDirect3DSurface9 *source, const RECT *sourceRect,           \
                               K_IDirect3DSurface9 *dest, const POINT *destPoint))                      \
    M(HRESULT, UpdateTexture, (T * self, K_IDirect3DBaseTexture9 *source, K_IDirect3DBaseTexture9 *dest)) \
    M(HRESULT, GetRenderTargetData, (T * self, K_IDirect3DSurface9 *target, K_IDirect3DSurface9 *dest)) \
    U(GetFrontBufferData)                                                                                \
    M(HRESULT, StretchRect, (T * self, K_IDirect3DSurface9 *source, const RECT *sourceRect,             \
                             K_IDirect3DSurface9 *dest, const RECT *destRect, UINT filter))             \
    M(HRESULT, ColorFill, (T * self, K_IDirect3DSurface9 *surface, const RECT *rect, K_D3DCOLOR colour)) \
    M(HRESULT, CreateOffscreenPlainSurface, (T * self, UINT width, UINT height, K_D3DFORMAT format,     \
                                             UINT pool, K_IDirect3DSurface9 **out, HANDLE *shared))     \
    M(HRESULT, SetRenderTarget, (T * self, DWORD index, K_IDirect3DSurface9 *surface))                   \
    M(HRESULT, GetRenderTarget, (T * self, DWORD index, K_IDirect3DSurface9 **out))                      \
    M(HRESULT, SetDepthStencilSurface, (T * self, K_IDirect3DSurface9 *surface))                         \
    M(HRESULT, GetDepthStencilSurface, (T * self, K_IDirect3DSurface9 **out))                            \
    M(HRESULT, BeginScene, (T * self))                                                                   \
    M(HRESULT, EndScene, (T * self))                                                                     \
    M(HRESULT, Clear, (T * self, DWORD count, const void *rects, DWORD flags, K_D3DCOLOR colour, float z, \
                       DWORD stencil))                                                                  \
    M(HRESULT, SetTransform, (T * self, UINT state, const K_D3DMATRIX *matrix))                          \
    U(GetTransform) U(MultiplyTransform)                                                                 \
    M(HRESULT, SetViewport, (T * self, const K_D3DVIEWPORT9 *viewport))                                  \
    U(GetViewport)                                                                                       \
    M(HRESULT, SetMaterial, (T * self, const K_D3DMATERIAL9 *material))                                  \
    M(HRESULT, GetMaterial, (T * self, K_D3DMATERIAL9 *material))                                        \
    M(HRESULT, SetLight, (T * self, DWORD index, const K_D3DLIGHT9 *light))                              \
    U(GetLight)                                                                                          \
    M(HRESULT, LightEnable, (T * self, DWORD index, BOOL enable))                                        \
    U(GetLightEnable) U(SetClipPlane) U(GetClipPlane)                                                    \
    M(HRESULT, SetRenderState, (T * self, UINT state, DWORD value))                                      \
    U(GetRenderState) U(CreateStateBlock) U(BeginStateBlock) U(EndStateBlock) U(SetClipStatus)          \
    U(GetClipStatus) U(GetTexture)                                                                       \
    M(HRESULT, SetTexture, (T * self, DWORD stage, K_IDirect3DBaseTexture9 *texture))                    \
    U(GetTextureStageState)                                                                              \
    M(HRESULT, SetTextureStageState, (T * self, DWORD stage, UINT type, DWORD value))                    \
    U(GetSamplerState)                                                                                   \
    M(HRESULT, SetSamplerState, (T * self, DWORD sampler, UINT type, DWORD value))                       \
    U(ValidateDevice) U(SetPaletteEntries) U(GetPaletteEntries) U(SetCurrentTexturePalette)             \
    U(GetCurrentTexturePalette)                                                                          \
    M(HRESULT, SetScissorRect, (T * self, const RECT *rect))                                             \
    U(GetScissorRect) U(SetSoftwareVertexProcessing) U(GetSoftwareVertexProcessing) U(SetNPatchMode)    \
    U(GetNPatchMode) U(DrawPrimitive) U(DrawIndexedPrimitive)                                            \
    M(HRESULT, DrawPrimitiveUP, (T * self, UINT type, UINT count, const void *data, UINT stride))        \
    M(HRESULT, DrawIndexedPrimitiveUP, (T * self, UINT type, UINT minIndex, UINT vertexCount,           \
                                        UINT count, const void *indices, K_D3DFORMAT indexFormat,       \
                                        const void *vertices, UINT stride))                             \
    U(ProcessVertices)                                                                                   \
    M(HRESULT, CreateVertexDeclaration, (T * self, const K_D3DVERTEXELEMENT9 *elements,                 \
                                         K_IDirect3DVertexDeclaration9 **out))                          \
    M(HRESULT, SetVertexDeclaration, (T * self, K_IDirect3DVertexDeclaration9 *declaration))             \
    U(GetVertexDeclaration)                                                                              \
    M(HRESULT, SetFVF, (T * self, DWORD fvf))                                                            \
    U(GetFVF)                                                                                            \
    M(HRESULT, CreateVertexShader, (T * self, const DWORD *code, K_IDirect3DVertexShader9 **out))        \
    M(HRESULT, SetVertexShader, (T * self, K_IDirect3DVertexShader9 *shader))                            \
    U(GetVertexShader)                                                                                   \
    M(HRESULT, SetVertexShaderConstantF, (T * self, UINT first, const float *values, UINT count))        \
    U(GetVertexShaderConstantF)                                                                          \
    M(HRESULT, SetVertexShaderConstantI, (T * self, UINT first, const int *values, UINT count))          \
    U(GetVertexShaderConstantI)                                                                          \
    M(HRESULT, SetVertexShaderConstantB, (T * self, UINT first, const BOOL *values, UINT count))         \
    U(GetVertexShaderConstantB) U(SetStreamSource) U(GetStreamSource) U(SetStreamSourceFreq)            \
    U(GetStreamSourceFreq) U(SetIndices) U(GetIndices)                                                   \
    M(HRESULT, CreatePixelShader, (T * self, const DWORD *code, K_IDirect3DPixelShader9 **out))          \
    M(HRESULT, SetPixelShader, (T * self, K_IDirect3DPixelShader9 *shader))                              \
    U(GetPixelShader)                                                                                    \
    M(HRESULT, SetPixelShaderConstantF, (T * self, UINT first, const float *values, UINT count))         \
    U(GetPixelShaderConstantF)                                                                           \
    M(HRESULT, SetPixelShaderConstantI, (T * self, UINT first, const int *values, UINT count))           \
    U(GetPixelShaderConstantI)                                                                           \
    M(HRESULT, SetPixelShaderConstantB, (T * self, UINT first, const BOOL *values, UINT count))          \
    U(GetPixelShaderConstantB) U(DrawRectPatch) U(DrawTriPatch) U(DeletePatch)                        \
    M(HRESULT, CreateQuery, (T * self, UINT type, K_IDirect3DQuery9 **out))

#define K_IDIRECT3DDEVICE9EX_SLOTS(M, U, T)                                                              \
    K_IDIRECT3DDEVICE9_SLOTS(M, U, T)                                                                    \
    U(SetConvolutionMonoKernel) U(ComposeRects) U(PresentEx) U(GetGPUThreadPriority)                    \
    U(SetGPUThreadPriority) U(WaitForVBlank) U(CheckResourceResidency)                                   \
    M(HRESULT, SetMaximumFrameLatency, (T * self, UINT latency))                                         \
    U(GetMaximumFrameLatency) U(CheckDeviceState) U(CreateRenderTargetEx) U(CreateOffscreenPlainSurfaceEx) \
    U(CreateDepthStencilSurfaceEx) U(ResetEx) U(GetDisplayModeEx)

#define K_IDIRECT3DSWAPCHAIN9_SLOTS(M, U, T)                                                             \
    K_IUNKNOWN_SLOTS(M, U, T)                                                                            \
    M(HRESULT, Present, (T * self, const RECT *source, const RECT *dest, HWND window, const void *dirty, \
                         DWORD flags))                                                                  \
    U(GetFrontBufferData) U(GetBackBuffer) U(GetRasterStatus) U(GetDisplayMode) U(GetDevice)            \
    U(GetPresentParameters)

// IDirect3DResource9: the slots every resource adds after IUnknown.
#define K_IDIRECT3DRESOURCE9_SLOTS(M, U, T)                                                              \
    K_IUNKNOWN_SLOTS(M, U, T)                                                                            \
    U(GetDevice) U(SetPrivateData) U(GetPrivateData) U(FreePrivateData) U(SetPriority) U(GetPriority)   \
    U(PreLoad) U(GetType)

#define K_IDIRECT3DSURFACE9_SLOTS(M, U, T)                                                               \
    K_IDIRECT3DRESOURCE9_SLOTS(M, U, T)                                                                  \
    U(GetContainer)                                                                                      \
    M(HRESULT, GetDesc, (T * self, K_D3DSURFACE_DESC *desc))                                             \
    M(HRESULT, LockRect, (T * self, K_D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags))            \
    M(HRESULT, UnlockRect, (T * self))                                                                   \
    U(GetDC) U(ReleaseDC)

#define K_IDIRECT3DBASETEXTURE9_SLOTS(M, U, T)                                                           \
    K_IDIRECT3DRESOURCE9_SLOTS(M, U, T)                                                                  \
    U(SetLOD) U(GetLOD) U(GetLevelCount) U(SetAutoGenFilterType) U(GetAutoGenFilterType)                \
    U(GenerateMipSubLevels)

#define K_IDIRECT3DTEXTURE9_SLOTS(M, U, T)                                                               \
    K_IDIRECT3DBASETEXTURE9_SLOTS(M, U, T)                                                               \
    U(GetLevelDesc)                                                                                      \
    M(HRESULT, GetSurfaceLevel, (T * self, UINT level, K_IDirect3DSurface9 **out))                       \
    M(HRESULT, LockRect, (T * self, UINT level, K_D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags)) \
    M(HRESULT, UnlockRect, (T * self, UINT level))                                                       \
    U(AddDirtyRect)

#define K_IDIRECT3DVOLUMETEXTURE9_SLOTS(M, U, T)                                                         \
    K_IDIRECT3DBASETEXTURE9_SLOTS(M, U, T)                                                               \
    U(GetLevelDesc) U(GetVolumeLevel)                                                                    \
    M(HRESULT, LockBox, (T * self, UINT level, K_D3DLOCKED_BOX *locked, const K_D3DBOX *box, DWORD flags)) \
    M(HRESULT, UnlockBox, (T * self, UINT level))                                                        \
    U(AddDirtyBox)

// Vertex and index buffers share one slot layout.
#define K_IDIRECT3DBUFFER9_SLOTS(M, U, T)                                                                \
    K_IDIRECT3DRESOURCE9_SLOTS(M, U, T)                                                                  \
    M(HRESULT, Lock, (T * self, UINT offset, UINT size, void **data, DWORD flags))                       \
    M(HRESULT, Unlock, (T * self))                                                                       \
    U(GetDesc)

#define K_IDIRECT3DQUERY9_SLOTS(M, U, T)                                                                 \
    K_IUNKNOWN_SLOTS(M, U, T)                                                                            \
    U(GetDevice) U(GetType) U(GetDataSize)                                                               \
    M(HRESULT, Issue, (T * self, DWORD flags))                                                           \
    M(HRESULT, GetData, (T * self, void *data, DWORD size, DWORD flags))

#define K_IDIRECTDRAW7_SLOTS(M, U, T)                                                                    \
    K_IUNKNOWN_SLOTS(M, U, T)                                                                            \
    U(Compact) U(CreateClipper) U(CreatePalette) U(CreateSurface) U(DuplicateSurface) U(EnumDisplayModes) \
    U(EnumSurfaces) U(FlipToGDISurface) U(GetCaps) U(GetDisplayMode) U(GetFourCCCodes) U(GetGDISurface) \
    U(GetMonitorFrequency) U(GetScanLine) U(GetVerticalBlankStatus)                                      \
    M(HRESULT, Initialize, (T * self, GUID * driver))                                                    \
    U(RestoreDisplayMode)                                                                                \
    M(HRESULT, SetCooperativeLevel, (T * self, HWND window, DWORD flags))                                \
    U(SetDisplayMode)                                                                                    \
    M(HRESULT, WaitForVerticalBlank, (T * self, DWORD flags, HANDLE event))                              \
    U(GetAvailableVidMem) U(GetSurfaceFromDC) U(RestoreAllSurfaces) U(TestCooperativeLevel)             \
    U(GetDeviceIdentifier) U(StartModeTest) U(EvaluateMode)

// One interface: its method table and the object that points at it.
#define K_DECLARE_INTERFACE(name, slots)                                                                 \
    struct name##Vtbl {                                                                                  \
        slots(K_DECLARE_METHOD, K_DECLARE_UNUSED, name)                                                  \
    };                                                                                                   \
    struct name {                                                                                        \
        const name##Vtbl *lpVtbl;                                                                        \
    };

K_DECLARE_INTERFACE(K_IUnknown, K_IUNKNOWN_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3D9, K_IDIRECT3D9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3D9Ex, K_IDIRECT3D9EX_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DDevice9, K_IDIRECT3DDEVICE9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DDevice9Ex, K_IDIRECT3DDEVICE9EX_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DSwapChain9, K_IDIRECT3DSWAPCHAIN9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DSurface9, K_IDIRECT3DSURFACE9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DBaseTexture9, K_IDIRECT3DBASETEXTURE9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DTexture9, K_IDIRECT3DTEXTURE9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DVolumeTexture9, K_IDIRECT3DVOLUMETEXTURE9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DVertexBuffer9, K_IDIRECT3DBUFFER9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DIndexBuffer9, K_IDIRECT3DBUFFER9_SLOTS)
K_DECLARE_INTERFACE(K_IDirect3DQuery9, K_IDIRECT3DQUERY9_SLOTS)
K_DECLARE_INTERFACE(K_IDirectDraw7, K_IDIRECTDRAW7_SLOTS)

// The objects that only pass through the library (bound, released) use IUnknown's table.
struct K_IDirect3DVertexDeclaration9 : K_IUnknown {};
struct K_IDirect3DVertexShader9 : K_IUnknown {};
struct K_IDirect3DPixelShader9 : K_IUnknown {};

// Class and interface identifiers of the DirectDraw 7 object.
extern const GUID K_CLSID_DirectDraw7;
extern const GUID K_IID_IDirectDraw7;

// Query values: the event query, its end mark and the flush on reading.
constexpr UINT K_D3DQUERYTYPE_EVENT = 8;
constexpr DWORD K_D3DISSUE_END = 0x1;
constexpr DWORD K_D3DGETDATA_FLUSH = 0x1;

// DirectDraw values.
constexpr DWORD K_DDSCL_NORMAL = 0x8;
constexpr DWORD K_DDSCL_FPUPRESERVE = 0x1000;
constexpr DWORD K_DDWAITVB_BLOCKBEGIN = 0x1;

} // namespace Korvo
