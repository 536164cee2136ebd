// Colour descriptions of the format slots and of the Direct3D formats.

#include "graphics/device/format_slots.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"
#include "image/color_format.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

// Masks (bits, R, G, B, A) or channel layout (channels, bits per channel, float).
struct FormatLayout {
    K_D3DFORMAT format;
    int bits;
    uint32_t r, g, b, a;
    int channels;
    int bitsPerChannel;
    int floatFlag;
};

static const FormatLayout kLayouts[26] = {
    {K_D3DFMT_R8G8B8, 24, 0xff0000, 0xff00, 0xff, 0, 0, 0, 0},
    {K_D3DFMT_A8R8G8B8, 32, 0xff0000, 0xff00, 0xff, 0xff000000, 0, 0, 0},
    {K_D3DFMT_X8R8G8B8, 32, 0xff0000, 0xff00, 0xff, 0, 0, 0, 0},
    {K_D3DFMT_R5G6B5, 16, 0xf800, 0x07e0, 0x001f, 0, 0, 0, 0},
    {K_D3DFMT_X1R5G5B5, 16, 0x7c00, 0x03e0, 0x001f, 0, 0, 0, 0},
    {K_D3DFMT_A1R5G5B5, 16, 0x7c00, 0x03e0, 0x001f, 0x8000, 0, 0, 0},
    {K_D3DFMT_A4R4G4B4, 16, 0x0f00, 0x00f0, 0x000f, 0xf000, 0, 0, 0},
    {K_D3DFMT_X4R4G4B4, 16, 0x0f00, 0x00f0, 0x000f, 0, 0, 0, 0},
    {K_D3DFMT_R3G3B2, 8, 0xe0, 0x1c, 0x03, 0, 0, 0, 0},
    {K_D3DFMT_A8R3G3B2, 16, 0xe0, 0x1c, 0x03, 0xff00, 0, 0, 0},
    {K_D3DFMT_A2B10G10R10, 32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000, 0, 0, 0},
    {K_D3DFMT_A2R10G10B10, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000, 0, 0, 0},
    {K_D3DFMT_A8B8G8R8, 32, 0xff, 0xff00, 0xff0000, 0xff000000, 0, 0, 0},
    {K_D3DFMT_X8B8G8R8, 32, 0xff, 0xff00, 0xff0000, 0, 0, 0, 0},
    {K_D3DFMT_G16R16, 0, 0, 0, 0, 0, 2, 16, 0},
    {K_D3DFMT_A16B16G16R16, 0, 0, 0, 0, 0, 4, 16, 0},
    {K_D3DFMT_L8, 0, 0, 0, 0, 0, 1, 8, 0},
    {K_D3DFMT_V8U8, 0, 0, 0, 0, 0, 2, 8, 0},
    {K_D3DFMT_L16, 0, 0, 0, 0, 0, 1, 16, 0},
    {K_D3DFMT_R16F, 0, 0, 0, 0, 0, 1, 16, 1},
    {K_D3DFMT_G16R16F, 0, 0, 0, 0, 0, 2, 16, 1},
    {K_D3DFMT_A16B16G16R16F, 0, 0, 0, 0, 0, 4, 16, 1},
    {K_D3DFMT_R32F, 0, 0, 0, 0, 0, 1, 32, 1},
    {K_D3DFMT_G32R32F, 0, 0, 0, 0, 0, 2, 32, 1},
    {K_D3DFMT_A32B32G32R32F, 0, 0, 0, 0, 0, 4, 32, 1},
    {K_D3DFMT_A8L8, 0, 0, 0, 0, 0, 2, 8, 0},
};

// The layout behind each slot's description: a format of the table, a block
// format for the DXT slots, or a channel layout for the multi-channel draw slots.
struct SlotLayout {
    K_D3DFORMAT format;
    int blockFormat;
    int channels;
    int bitsPerChannel;
    int floatFlag;
};

static const SlotLayout kSlotLayouts[25] = {
    {K_D3DFMT_R5G6B5, 0, 0, 0, 0},   {K_D3DFMT_X8R8G8B8, 0, 0, 0, 0}, {K_D3DFMT_A4R4G4B4, 0, 0, 0, 0},
    {K_D3DFMT_A8R8G8B8, 0, 0, 0, 0}, {K_D3DFMT_A1R5G5B5, 0, 0, 0, 0}, {K_D3DFMT_A8R8G8B8, 0, 0, 0, 0},
    {K_D3DFMT_A8R8G8B8, 1, 0, 0, 0}, {K_D3DFMT_A8R8G8B8, 2, 0, 0, 0}, {K_D3DFMT_A8R8G8B8, 3, 0, 0, 0},
    {K_D3DFMT_A8R8G8B8, 4, 0, 0, 0}, {K_D3DFMT_A8R8G8B8, 5, 0, 0, 0}, {K_D3DFMT_R5G6B5, 0, 0, 0, 0},
    {K_D3DFMT_X8R8G8B8, 0, 0, 0, 0}, {K_D3DFMT_A8R8G8B8, 0, 0, 0, 0}, {0, 0, 4, 16, 0},
    {0, 0, 4, 16, 1},                {0, 0, 4, 32, 1},                {0, 0, 1, 8, 0},
    {0, 0, 1, 16, 0},                {0, 0, 1, 16, 1},                {0, 0, 1, 32, 1},
    {0, 0, 2, 8, 0},                 {0, 0, 2, 16, 0},                {0, 0, 2, 16, 1},
    {0, 0, 2, 32, 1},
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static ColorFormatDesc FormatDescs[26];
static int FormatDescBuilt[26];
static ColorFormatDesc SlotDescs[25];
static int SlotDescBuilt[25];

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void BuildDescription(ColorFormatDesc *desc, const FormatLayout &layout)
{
    InitColorFormatFromMasks(desc, layout.bits, layout.r, layout.g, layout.b, layout.a, layout.channels,
                             layout.bitsPerChannel, layout.floatFlag);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

const ColorFormatDesc *GetD3DFormatColorDesc(K_D3DFORMAT format)
{
    for (int i = 0; i < 26; ++i) {
        if (kLayouts[i].format == format) {
            if (FormatDescBuilt[i] == 0) {
                BuildDescription(&FormatDescs[i], kLayouts[i]);
                FormatDescBuilt[i] = 1;
            }
            return &FormatDescs[i];
        }
    }
    return nullptr;
}

const ColorFormatDesc *GetFormatSlotColorDesc(int slot)
{
    if (slot < 0 || slot >= 25) {
        return nullptr;
    }
    if (SlotDescBuilt[slot] == 0) {
        const SlotLayout &layout = kSlotLayouts[slot];
        ColorFormatDesc *desc = &SlotDescs[slot];
        if (layout.format != 0) {
            *desc = *GetD3DFormatColorDesc(layout.format);
        } else {
            InitColorFormatFromMasks(desc, 0, 0, 0, 0, 0, layout.channels, layout.bitsPerChannel, layout.floatFlag);
        }
        if (layout.blockFormat != 0) {
            desc->blockFormat = static_cast<uint8_t>(layout.blockFormat);
            desc->bitsPerPixel = static_cast<uint8_t>(layout.blockFormat == 1 ? 4 : 8);
        }
        SlotDescBuilt[slot] = 1;
    }
    return &SlotDescs[slot];
}

const ColorFormatDesc *LookupTextureColorFormat(int alpha, int alphaTest, int bits32, int draw)
{
    TextureFormatRequest request = {};
    request.alpha = static_cast<uint8_t>(alpha != 0);
    request.alphaTest = static_cast<uint8_t>(alphaTest != 0);
    request.draw = static_cast<uint8_t>(draw != 0);
    request.colorBits = static_cast<uint8_t>(bits32 != 0 ? 32 : 16);
    return GetFormatSlotColorDesc(ChooseFormatSlot(&request));
}

int GetShaderModelLevel()
{
    if (G_D3D_HasDevice() != 0 && GraphicsState.programmableShader == 0) {
        return 0;
    }
    if (D3D_HasObject() == 0) {
        return 0;
    }
    K_D3DCAPS9 caps = {};
    D3D_GetDeviceCaps(GetSelectedAdapter(), K_D3DDEVTYPE_HAL, &caps);
    int vertex = static_cast<int>(caps.VertexShaderVersion & 0xFFFF);
    int pixel = static_cast<int>(caps.PixelShaderVersion & 0xFFFF);
    if (vertex < 0x200 && pixel < 0x200) {
        return 0;
    }
    return vertex >= 0x300 && pixel >= 0x300 ? 300 : 200;
}

} // namespace Korvo
