// The library's own Direct3D 9 and DirectDraw 7 declarations against the
// toolchain's: every structure field offset and size, every method slot, and
// the DirectDraw identifiers. The checks are made by the compiler; the test
// body only confirms that this file was built for the current architecture.

#define CINTERFACE
#define INITGUID
#define COBJMACROS
#include <d3d9.h>
#include <ddraw.h>

#include "graphics/device/win32/k_interfaces.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

using namespace Korvo;

// ---------------------------------------------------------------------------
// Structures: each field at the same offset, each structure of the same size
// ---------------------------------------------------------------------------

#define CHECK_STRUCT(mine, theirs, fields)                                                              \
    static_assert(sizeof(mine) == sizeof(theirs), #mine " size");                                        \
    namespace mine##_check {                                                                             \
    typedef mine Mine;                                                                                   \
    typedef theirs Theirs;                                                                               \
    fields(CHECK_FIELD, CHECK_ARRAY)                                                                     \
    }
#define CHECK_FIELD(type, name)                                                                          \
    static_assert(offsetof(Mine, name) == offsetof(Theirs, name), #name " offset");                      \
    static_assert(sizeof(Mine::name) == sizeof(Theirs::name), #name " size");
#define CHECK_ARRAY(type, name, count) CHECK_FIELD(type, name)

CHECK_STRUCT(K_D3DCOLORVALUE, D3DCOLORVALUE, K_D3DCOLORVALUE_FIELDS)
CHECK_STRUCT(K_D3DVECTOR, D3DVECTOR, K_D3DVECTOR_FIELDS)
CHECK_STRUCT(K_D3DVIEWPORT9, D3DVIEWPORT9, K_D3DVIEWPORT9_FIELDS)
CHECK_STRUCT(K_D3DMATERIAL9, D3DMATERIAL9, K_D3DMATERIAL9_FIELDS)
CHECK_STRUCT(K_D3DLIGHT9, D3DLIGHT9, K_D3DLIGHT9_FIELDS)
CHECK_STRUCT(K_D3DLOCKED_RECT, D3DLOCKED_RECT, K_D3DLOCKED_RECT_FIELDS)
CHECK_STRUCT(K_D3DLOCKED_BOX, D3DLOCKED_BOX, K_D3DLOCKED_BOX_FIELDS)
CHECK_STRUCT(K_D3DBOX, D3DBOX, K_D3DBOX_FIELDS)
CHECK_STRUCT(K_D3DSURFACE_DESC, D3DSURFACE_DESC, K_D3DSURFACE_DESC_FIELDS)
CHECK_STRUCT(K_D3DDISPLAYMODE, D3DDISPLAYMODE, K_D3DDISPLAYMODE_FIELDS)
CHECK_STRUCT(K_D3DDISPLAYMODEEX, D3DDISPLAYMODEEX, K_D3DDISPLAYMODEEX_FIELDS)
CHECK_STRUCT(K_D3DVERTEXELEMENT9, D3DVERTEXELEMENT9, K_D3DVERTEXELEMENT9_FIELDS)
CHECK_STRUCT(K_D3DPRESENT_PARAMETERS, D3DPRESENT_PARAMETERS, K_D3DPRESENT_PARAMETERS_FIELDS)
CHECK_STRUCT(K_D3DADAPTER_IDENTIFIER9, D3DADAPTER_IDENTIFIER9, K_D3DADAPTER_IDENTIFIER9_FIELDS)
CHECK_STRUCT(K_D3DCAPS9, D3DCAPS9, K_D3DCAPS9_FIELDS)
// The matrix is one array in the library's copy and a union in the toolchain's.
static_assert(sizeof(K_D3DMATRIX) == sizeof(D3DMATRIX), "matrix size");

// ---------------------------------------------------------------------------
// Interfaces: each slot at the same place, each table of the same size
// ---------------------------------------------------------------------------

#define CHECK_INTERFACE(mine, theirs, slots)                                                            \
    static_assert(sizeof(mine##Vtbl) == sizeof(theirs##Vtbl), #mine " slot count");                      \
    namespace mine##_slots {                                                                             \
    typedef mine##Vtbl Mine;                                                                             \
    typedef theirs##Vtbl Theirs;                                                                         \
    slots(CHECK_METHOD, CHECK_SLOT, mine)                                                                \
    }
#define CHECK_SLOT(name) static_assert(offsetof(Mine, name) == offsetof(Theirs, name), #name " slot");
#define CHECK_METHOD(result, name, params) CHECK_SLOT(name)

CHECK_INTERFACE(K_IDirect3D9, IDirect3D9, K_IDIRECT3D9_SLOTS)
CHECK_INTERFACE(K_IDirect3D9Ex, IDirect3D9Ex, K_IDIRECT3D9EX_SLOTS)
CHECK_INTERFACE(K_IDirect3DDevice9, IDirect3DDevice9, K_IDIRECT3DDEVICE9_SLOTS)
CHECK_INTERFACE(K_IDirect3DDevice9Ex, IDirect3DDevice9Ex, K_IDIRECT3DDEVICE9EX_SLOTS)
CHECK_INTERFACE(K_IDirect3DSwapChain9, IDirect3DSwapChain9, K_IDIRECT3DSWAPCHAIN9_SLOTS)
CHECK_INTERFACE(K_IDirect3DSurface9, IDirect3DSurface9, K_IDIRECT3DSURFACE9_SLOTS)
CHECK_INTERFACE(K_IDirect3DBaseTexture9, IDirect3DBaseTexture9, K_IDIRECT3DBASETEXTURE9_SLOTS)
CHECK_INTERFACE(K_IDirect3DTexture9, IDirect3DTexture9, K_IDIRECT3DTEXTURE9_SLOTS)
CHECK_INTERFACE(K_IDirect3DVolumeTexture9, IDirect3DVolumeTexture9, K_IDIRECT3DVOLUMETEXTURE9_SLOTS)
CHECK_INTERFACE(K_IDirect3DVertexBuffer9, IDirect3DVertexBuffer9, K_IDIRECT3DBUFFER9_SLOTS)
CHECK_INTERFACE(K_IDirect3DIndexBuffer9, IDirect3DIndexBuffer9, K_IDIRECT3DBUFFER9_SLOTS)
CHECK_INTERFACE(K_IDirect3DQuery9, IDirect3DQuery9, K_IDIRECT3DQUERY9_SLOTS)
CHECK_INTERFACE(K_IDirectDraw7, IDirectDraw7, K_IDIRECTDRAW7_SLOTS)

// The constants the library passes by value.
#define SAME(mine, theirs) static_assert(static_cast<long>(mine) == static_cast<long>(theirs), #mine);
SAME(K_D3DRS_BLENDOP, D3DRS_BLENDOP)
SAME(K_D3DRS_DEPTHBIAS, D3DRS_DEPTHBIAS)
SAME(K_D3DRS_FOGVERTEXMODE, D3DRS_FOGVERTEXMODE)
SAME(K_D3DRS_TEXTUREFACTOR, D3DRS_TEXTUREFACTOR)
SAME(K_D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_DIFFUSEMATERIALSOURCE)
SAME(K_D3DTSS_RESULTARG, D3DTSS_RESULTARG)
SAME(K_D3DTSS_TEXCOORDINDEX, D3DTSS_TEXCOORDINDEX)
SAME(K_D3DTSS_TEXTURETRANSFORMFLAGS, D3DTSS_TEXTURETRANSFORMFLAGS)
SAME(K_D3DSAMP_MAXANISOTROPY, D3DSAMP_MAXANISOTROPY)
SAME(K_D3DTS_WORLD, D3DTS_WORLDMATRIX(0))
SAME(K_D3DTS_TEXTURE0, D3DTS_TEXTURE0)
SAME(K_D3DTOP_BLENDFACTORALPHA, D3DTOP_BLENDFACTORALPHA)
SAME(K_D3DTOP_BLENDDIFFUSEALPHA, D3DTOP_BLENDDIFFUSEALPHA)
SAME(K_D3DTA_TEMP, D3DTA_TEMP)
SAME(K_D3DTA_COMPLEMENT, D3DTA_COMPLEMENT)
SAME(K_D3DBLEND_INVDESTCOLOR, D3DBLEND_INVDESTCOLOR)
SAME(K_D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_REVSUBTRACT)
SAME(K_D3DFMT_DXT5, D3DFMT_DXT5)
SAME(K_D3DFMT_A32B32G32R32F, D3DFMT_A32B32G32R32F)
SAME(K_D3DFMT_D24X8, D3DFMT_D24X8)
SAME(K_D3DFMT_V8U8, D3DFMT_V8U8)
SAME(K_D3DFMT_INDEX16, D3DFMT_INDEX16)
SAME(K_D3DPMISCCAPS_BLENDOP, D3DPMISCCAPS_BLENDOP)
SAME(K_D3DPMISCCAPS_TSSARGTEMP, D3DPMISCCAPS_TSSARGTEMP)
SAME(K_D3DPTEXTURECAPS_NONPOW2CONDITIONAL, D3DPTEXTURECAPS_NONPOW2CONDITIONAL)
SAME(K_DDSCL_FPUPRESERVE, DDSCL_FPUPRESERVE)
SAME(K_DDWAITVB_BLOCKBEGIN, DDWAITVB_BLOCKBEGIN)
SAME(K_D3DQUERYTYPE_EVENT, D3DQUERYTYPE_EVENT)
SAME(K_D3DISSUE_END, D3DISSUE_END)
SAME(K_D3DGETDATA_FLUSH, D3DGETDATA_FLUSH)

TEST(KInterfaceLayoutTest, DirectDrawIdentifiersMatchThePlatformOnes)
{
    EXPECT_EQ(std::memcmp(&K_CLSID_DirectDraw7, &CLSID_DirectDraw7, sizeof(GUID)), 0);
    EXPECT_EQ(std::memcmp(&K_IID_IDirectDraw7, &IID_IDirectDraw7, sizeof(GUID)), 0);
    EXPECT_EQ(sizeof(void *) * 119, sizeof(K_IDirect3DDevice9Vtbl));
}
