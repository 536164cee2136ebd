// The library's own copies of the Direct3D 9 value types and constants that the
// graphics front end uses (device-independent: no platform header needed).
//
// Every structure is declared from a field list so that a Windows-only test can
// compare each field's offset and each size with the platform's declarations.
#pragma once

#include "core/korvo_types.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

typedef int32_t K_HRESULT;
typedef uint32_t K_D3DCOLOR;
typedef uint32_t K_D3DFORMAT;

// Interface objects the front end passes around without looking inside (their
// method tables are in graphics/device/win32/k_interfaces.h).
struct K_IUnknown;
struct K_IDirect3DSwapChain9;
struct K_IDirect3DSurface9;
struct K_IDirect3DBaseTexture9;
struct K_IDirect3DTexture9;
struct K_IDirect3DVolumeTexture9;
struct K_IDirect3DVertexBuffer9;
struct K_IDirect3DIndexBuffer9;
struct K_IDirect3DVertexDeclaration9;
struct K_IDirect3DVertexShader9;
struct K_IDirect3DPixelShader9;

#define K_FIELD(type, name) type name;
#define K_ARRAY(type, name, count) type name[count];

// ---------------------------------------------------------------------------
// Value types (32-bit x86 packs them to 4 bytes, as the platform declares them)
// ---------------------------------------------------------------------------

#if defined(__i386__) || defined(_M_IX86)
#pragma pack(push, 4)
#endif

#define K_D3DCOLORVALUE_FIELDS(F, A) F(float, r) F(float, g) F(float, b) F(float, a)
struct K_D3DCOLORVALUE { K_D3DCOLORVALUE_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DVECTOR_FIELDS(F, A) F(float, x) F(float, y) F(float, z)
struct K_D3DVECTOR { K_D3DVECTOR_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DMATRIX_FIELDS(F, A) A(float, m, 16)
struct K_D3DMATRIX { K_D3DMATRIX_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DVIEWPORT9_FIELDS(F, A) F(DWORD, X) F(DWORD, Y) F(DWORD, Width) F(DWORD, Height) F(float, MinZ) F(float, MaxZ)
struct K_D3DVIEWPORT9 { K_D3DVIEWPORT9_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DMATERIAL9_FIELDS(F, A)                                                                      \
    F(K_D3DCOLORVALUE, Diffuse) F(K_D3DCOLORVALUE, Ambient) F(K_D3DCOLORVALUE, Specular)               \
    F(K_D3DCOLORVALUE, Emissive) F(float, Power)
struct K_D3DMATERIAL9 { K_D3DMATERIAL9_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DLIGHT9_FIELDS(F, A)                                                                         \
    F(uint32_t, Type) F(K_D3DCOLORVALUE, Diffuse) F(K_D3DCOLORVALUE, Specular) F(K_D3DCOLORVALUE, Ambient) \
    F(K_D3DVECTOR, Position) F(K_D3DVECTOR, Direction) F(float, Range) F(float, Falloff)                \
    F(float, Attenuation0) F(float, Attenuation1) F(float, Attenuation2) F(float, Theta) F(float, Phi)
struct K_D3DLIGHT9 { K_D3DLIGHT9_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DLOCKED_RECT_FIELDS(F, A) F(int32_t, Pitch) F(void *, pBits)
struct K_D3DLOCKED_RECT { K_D3DLOCKED_RECT_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DLOCKED_BOX_FIELDS(F, A) F(int32_t, RowPitch) F(int32_t, SlicePitch) F(void *, pBits)
struct K_D3DLOCKED_BOX { K_D3DLOCKED_BOX_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DBOX_FIELDS(F, A) F(UINT, Left) F(UINT, Top) F(UINT, Right) F(UINT, Bottom) F(UINT, Front) F(UINT, Back)
struct K_D3DBOX { K_D3DBOX_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DSURFACE_DESC_FIELDS(F, A)                                                                   \
    F(K_D3DFORMAT, Format) F(uint32_t, Type) F(DWORD, Usage) F(uint32_t, Pool) F(uint32_t, MultiSampleType) \
    F(DWORD, MultiSampleQuality) F(UINT, Width) F(UINT, Height)
struct K_D3DSURFACE_DESC { K_D3DSURFACE_DESC_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DDISPLAYMODE_FIELDS(F, A) F(UINT, Width) F(UINT, Height) F(UINT, RefreshRate) F(K_D3DFORMAT, Format)
struct K_D3DDISPLAYMODE { K_D3DDISPLAYMODE_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DDISPLAYMODEEX_FIELDS(F, A)                                                                  \
    F(UINT, Size) F(UINT, Width) F(UINT, Height) F(UINT, RefreshRate) F(K_D3DFORMAT, Format)           \
    F(uint32_t, ScanLineOrdering)
struct K_D3DDISPLAYMODEEX { K_D3DDISPLAYMODEEX_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DVERTEXELEMENT9_FIELDS(F, A)                                                                 \
    F(WORD, Stream) F(WORD, Offset) F(BYTE, Type) F(BYTE, Method) F(BYTE, Usage) F(BYTE, UsageIndex)
struct K_D3DVERTEXELEMENT9 { K_D3DVERTEXELEMENT9_FIELDS(K_FIELD, K_ARRAY) };

// Window handle as the device structures hold it.
typedef void *K_WindowHandle;

#define K_D3DPRESENT_PARAMETERS_FIELDS(F, A)                                                             \
    F(UINT, BackBufferWidth) F(UINT, BackBufferHeight) F(K_D3DFORMAT, BackBufferFormat)                 \
    F(UINT, BackBufferCount) F(uint32_t, MultiSampleType) F(DWORD, MultiSampleQuality)                  \
    F(uint32_t, SwapEffect) F(K_WindowHandle, hDeviceWindow) F(BOOL, Windowed)                          \
    F(BOOL, EnableAutoDepthStencil) F(K_D3DFORMAT, AutoDepthStencilFormat) F(DWORD, Flags)              \
    F(UINT, FullScreen_RefreshRateInHz) F(UINT, PresentationInterval)
struct K_D3DPRESENT_PARAMETERS { K_D3DPRESENT_PARAMETERS_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DADAPTER_IDENTIFIER9_FIELDS(F, A)                                                            \
    A(char, Driver, 512) A(char, Description, 512) A(char, DeviceName, 32) F(int64_t, DriverVersion)     \
    F(DWORD, VendorId) F(DWORD, DeviceId) F(DWORD, SubSysId) F(DWORD, Revision)                         \
    A(uint8_t, DeviceIdentifier, 16) F(DWORD, WHQLLevel)
struct K_D3DADAPTER_IDENTIFIER9 { K_D3DADAPTER_IDENTIFIER9_FIELDS(K_FIELD, K_ARRAY) };

#define K_D3DCAPS9_FIELDS(F, A)                                                                          \
    F(uint32_t, DeviceType) F(UINT, AdapterOrdinal) F(DWORD, Caps) F(DWORD, Caps2) F(DWORD, Caps3)      \
    F(DWORD, PresentationIntervals) F(DWORD, CursorCaps) F(DWORD, DevCaps) F(DWORD, PrimitiveMiscCaps)  \
    F(DWORD, RasterCaps) F(DWORD, ZCmpCaps) F(DWORD, SrcBlendCaps) F(DWORD, DestBlendCaps)              \
    F(DWORD, AlphaCmpCaps) F(DWORD, ShadeCaps) F(DWORD, TextureCaps) F(DWORD, TextureFilterCaps)        \
    F(DWORD, CubeTextureFilterCaps) F(DWORD, VolumeTextureFilterCaps) F(DWORD, TextureAddressCaps)      \
    F(DWORD, VolumeTextureAddressCaps) F(DWORD, LineCaps) F(DWORD, MaxTextureWidth)                      \
    F(DWORD, MaxTextureHeight) F(DWORD, MaxVolumeExtent) F(DWORD, MaxTextureRepeat)                      \
    F(DWORD, MaxTextureAspectRatio) F(DWORD, MaxAnisotropy) F(float, MaxVertexW) F(float, GuardBandLeft) \
    F(float, GuardBandTop) F(float, GuardBandRight) F(float, GuardBandBottom) F(float, ExtentsAdjust)    \
    F(DWORD, StencilCaps) F(DWORD, FVFCaps) F(DWORD, TextureOpCaps) F(DWORD, MaxTextureBlendStages)     \
    F(DWORD, MaxSimultaneousTextures) F(DWORD, VertexProcessingCaps) F(DWORD, MaxActiveLights)          \
    F(DWORD, MaxUserClipPlanes) F(DWORD, MaxVertexBlendMatrices) F(DWORD, MaxVertexBlendMatrixIndex)    \
    F(float, MaxPointSize) F(DWORD, MaxPrimitiveCount) F(DWORD, MaxVertexIndex) F(DWORD, MaxStreams)    \
    F(DWORD, MaxStreamStride) F(DWORD, VertexShaderVersion) F(DWORD, MaxVertexShaderConst)              \
    F(DWORD, PixelShaderVersion) F(float, PixelShader1xMaxValue) F(DWORD, DevCaps2)                     \
    F(float, MaxNpatchTessellationLevel) F(DWORD, Reserved5) F(UINT, MasterAdapterOrdinal)              \
    F(UINT, AdapterOrdinalInGroup) F(UINT, NumberOfAdaptersInGroup) F(DWORD, DeclTypes)                 \
    F(DWORD, NumSimultaneousRTs) F(DWORD, StretchRectFilterCaps) A(DWORD, VS20Caps, 4)                  \
    A(DWORD, PS20Caps, 5) F(DWORD, VertexTextureFilterCaps) F(DWORD, MaxVShaderInstructionsExecuted)    \
    F(DWORD, MaxPShaderInstructionsExecuted) F(DWORD, MaxVertexShader30InstructionSlots)                \
    F(DWORD, MaxPixelShader30InstructionSlots)
struct K_D3DCAPS9 { K_D3DCAPS9_FIELDS(K_FIELD, K_ARRAY) };

#if defined(__i386__) || defined(_M_IX86)
#pragma pack(pop)
#endif

// ---------------------------------------------------------------------------
// Constants (values of the Direct3D 9 interface)
// ---------------------------------------------------------------------------

enum K_D3DFormatValue : K_D3DFORMAT {
    K_D3DFMT_UNKNOWN = 0,
    K_D3DFMT_R8G8B8 = 20,
    K_D3DFMT_A8R8G8B8 = 21,
    K_D3DFMT_X8R8G8B8 = 22,
    K_D3DFMT_R5G6B5 = 23,
    K_D3DFMT_X1R5G5B5 = 24,
    K_D3DFMT_A1R5G5B5 = 25,
    K_D3DFMT_A4R4G4B4 = 26,
    K_D3DFMT_R3G3B2 = 27,
    K_D3DFMT_A8R3G3B2 = 29,
    K_D3DFMT_X4R4G4B4 = 30,
    K_D3DFMT_A2B10G10R10 = 31,
    K_D3DFMT_A8B8G8R8 = 32,
    K_D3DFMT_X8B8G8R8 = 33,
    K_D3DFMT_G16R16 = 34,
    K_D3DFMT_A2R10G10B10 = 35,
    K_D3DFMT_A16B16G16R16 = 36,
    K_D3DFMT_L8 = 50,
    K_D3DFMT_A8L8 = 51,
    K_D3DFMT_V8U8 = 60,
    K_D3DFMT_L16 = 81,
    K_D3DFMT_D32 = 71,
    K_D3DFMT_D24X8 = 77,
    K_D3DFMT_D16 = 80,
    K_D3DFMT_INDEX16 = 101,
    K_D3DFMT_R16F = 111,
    K_D3DFMT_G16R16F = 112,
    K_D3DFMT_A16B16G16R16F = 113,
    K_D3DFMT_R32F = 114,
    K_D3DFMT_G32R32F = 115,
    K_D3DFMT_A32B32G32R32F = 116,
    K_D3DFMT_DXT1 = 0x31545844,
    K_D3DFMT_DXT2 = 0x32545844,
    K_D3DFMT_DXT3 = 0x33545844,
    K_D3DFMT_DXT4 = 0x34545844,
    K_D3DFMT_DXT5 = 0x35545844,
};

// Render states.
enum K_D3DRenderStateType : uint32_t {
    K_D3DRS_ZENABLE = 7,
    K_D3DRS_FILLMODE = 8,
    K_D3DRS_SHADEMODE = 9,
    K_D3DRS_ZWRITEENABLE = 14,
    K_D3DRS_ALPHATESTENABLE = 15,
    K_D3DRS_SRCBLEND = 19,
    K_D3DRS_DESTBLEND = 20,
    K_D3DRS_CULLMODE = 22,
    K_D3DRS_ZFUNC = 23,
    K_D3DRS_ALPHAREF = 24,
    K_D3DRS_ALPHAFUNC = 25,
    K_D3DRS_DITHERENABLE = 26,
    K_D3DRS_ALPHABLENDENABLE = 27,
    K_D3DRS_FOGENABLE = 28,
    K_D3DRS_SPECULARENABLE = 29,
    K_D3DRS_FOGCOLOR = 34,
    K_D3DRS_FOGTABLEMODE = 35,
    K_D3DRS_FOGSTART = 36,
    K_D3DRS_FOGEND = 37,
    K_D3DRS_FOGDENSITY = 38,
    K_D3DRS_TEXTUREFACTOR = 60,
    K_D3DRS_LIGHTING = 137,
    K_D3DRS_AMBIENT = 139,
    K_D3DRS_FOGVERTEXMODE = 140,
    K_D3DRS_NORMALIZENORMALS = 143,
    K_D3DRS_DIFFUSEMATERIALSOURCE = 145,
    K_D3DRS_SPECULARMATERIALSOURCE = 146,
    K_D3DRS_AMBIENTMATERIALSOURCE = 147,
    K_D3DRS_BLENDOP = 171,
    K_D3DRS_DEPTHBIAS = 195,
};

// Texture-stage states.
enum K_D3DTextureStageStateType : uint32_t {
    K_D3DTSS_COLOROP = 1,
    K_D3DTSS_COLORARG1 = 2,
    K_D3DTSS_COLORARG2 = 3,
    K_D3DTSS_ALPHAOP = 4,
    K_D3DTSS_ALPHAARG1 = 5,
    K_D3DTSS_ALPHAARG2 = 6,
    K_D3DTSS_TEXCOORDINDEX = 11,
    K_D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    K_D3DTSS_RESULTARG = 28,
};

// Sampler states.
enum K_D3DSamplerStateType : uint32_t {
    K_D3DSAMP_ADDRESSU = 1,
    K_D3DSAMP_ADDRESSV = 2,
    K_D3DSAMP_ADDRESSW = 3,
    K_D3DSAMP_MAGFILTER = 5,
    K_D3DSAMP_MINFILTER = 6,
    K_D3DSAMP_MIPFILTER = 7,
    K_D3DSAMP_MAXANISOTROPY = 10,
};

// Texture operations and arguments.
enum : int {
    K_D3DTOP_DISABLE = 1,
    K_D3DTOP_SELECTARG1 = 2,
    K_D3DTOP_SELECTARG2 = 3,
    K_D3DTOP_MODULATE = 4,
    K_D3DTOP_MODULATE2X = 5,
    K_D3DTOP_MODULATE4X = 6,
    K_D3DTOP_ADD = 7,
    K_D3DTOP_SUBTRACT = 10,
    K_D3DTOP_BLENDDIFFUSEALPHA = 12,
    K_D3DTOP_BLENDFACTORALPHA = 14,
    K_D3DTA_DIFFUSE = 0,
    K_D3DTA_CURRENT = 1,
    K_D3DTA_TEXTURE = 2,
    K_D3DTA_TFACTOR = 3,
    K_D3DTA_TEMP = 5,
    K_D3DTA_COMPLEMENT = 0x10,
};

// Blend factors, operations and compare functions.
enum : int {
    K_D3DBLEND_ZERO = 1,
    K_D3DBLEND_ONE = 2,
    K_D3DBLEND_SRCCOLOR = 3,
    K_D3DBLEND_SRCALPHA = 5,
    K_D3DBLEND_INVSRCALPHA = 6,
    K_D3DBLEND_INVDESTCOLOR = 10,
    K_D3DBLENDOP_ADD = 1,
    K_D3DBLENDOP_REVSUBTRACT = 3,
    K_D3DCMP_EQUAL = 3,
    K_D3DCMP_GREATER = 5,
    K_D3DCMP_GREATEREQUAL = 7,
};

// Fog modes.
enum : int {
    K_D3DFOG_NONE = 0,
    K_D3DFOG_EXP = 1,
    K_D3DFOG_EXP2 = 2,
    K_D3DFOG_LINEAR = 3,
};

// Transform state types.
enum K_D3DTransformStateType : uint32_t {
    K_D3DTS_VIEW = 2,
    K_D3DTS_PROJECTION = 3,
    K_D3DTS_TEXTURE0 = 16,
    K_D3DTS_WORLD = 256,
};

// Primitive types.
enum : uint32_t {
    K_D3DPT_POINTLIST = 1,
    K_D3DPT_LINELIST = 2,
    K_D3DPT_LINESTRIP = 3,
    K_D3DPT_TRIANGLELIST = 4,
    K_D3DPT_TRIANGLESTRIP = 5,
    K_D3DPT_TRIANGLEFAN = 6,
};

// Clear flags, pools, usages, lock flags and other values.
enum : uint32_t {
    K_D3DCLEAR_TARGET = 1,
    K_D3DCLEAR_ZBUFFER = 2,
    K_D3DPOOL_DEFAULT = 0,
    K_D3DPOOL_MANAGED = 1,
    K_D3DPOOL_SYSTEMMEM = 2,
    K_D3DUSAGE_RENDERTARGET = 1,
    K_D3DUSAGE_DEPTHSTENCIL = 2,
    K_D3DUSAGE_WRITEONLY = 8,
    K_D3DUSAGE_DYNAMIC = 0x200,
    K_D3DLOCK_READONLY = 0x10,
    K_D3DRTYPE_SURFACE = 1,
    K_D3DRTYPE_TEXTURE = 3,
    K_D3DDEVTYPE_HAL = 1,
    K_D3DTEXF_NONE = 0,
    K_D3DTEXF_POINT = 1,
    K_D3DTEXF_LINEAR = 2,
    K_D3DTEXF_ANISOTROPIC = 3,
    K_D3DTADDRESS_CLAMP = 3,
    K_D3DCULL_NONE = 1,
    K_D3DCULL_CW = 2,
    K_D3DCULL_CCW = 3,
    K_D3DMCS_MATERIAL = 0,
    K_D3DMCS_COLOR1 = 1,
    K_D3DMCS_COLOR2 = 2,
    K_D3DPMISCCAPS_BLENDOP = 0x800,
    K_D3DPMISCCAPS_TSSARGTEMP = 0x400,
    K_D3DPTEXTURECAPS_POW2 = 0x2,
    K_D3DPTEXTURECAPS_SQUAREONLY = 0x20,
    K_D3DLOCK_DISCARD = 0x2000,
    K_D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x100,
};

} // namespace Korvo
