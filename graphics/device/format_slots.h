// TextureFormatSlot: for each kind of texture the library makes, the first
// Direct3D format of a fixed candidate list that the adapter supports.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

// TextureFormatRequest (16 bytes; the bytes not named are 0).
struct TextureFormatRequest {
    uint8_t unused0;
    uint8_t alpha;
    uint8_t draw;
    uint8_t unused3;
    uint8_t unused4;
    uint8_t blockFormat;     // 0, or 1-5 for DXT1-DXT5
    uint8_t unused6;
    uint8_t alphaTest;
    uint8_t floatFlag;
    uint8_t colorBits;       // 16 or 32; the total bits for multi-channel requests
    uint8_t channels;        // 0 = ordinary colour
    uint8_t bitsPerChannel;  // 0 = derive from colorBits
    uint8_t unused12[4];
};

// Fill every slot for a back-buffer format, logging each; 0, or -1 when a required slot has none
int FillFormatSlots(K_D3DFORMAT backBufferFormat, int screenBits);
// The slot a request maps to
int ChooseFormatSlot(const TextureFormatRequest *request);
// The name of a format as the log writes it ("D3DFMT_X8R8G8B8"), or null
const char *GetD3DFormatName(K_D3DFORMAT format);

} // namespace Korvo

namespace Korvo {

struct ColorFormatDesc;

// The colour description of slots 0-24 (built on first use), null above
const ColorFormatDesc *GetFormatSlotColorDesc(int slot);
// The colour description of a Direct3D format (26 formats), or null
const ColorFormatDesc *GetD3DFormatColorDesc(K_D3DFORMAT format);
// The description of the slot a request with these bytes maps to (colour bits 32 or 16)
const ColorFormatDesc *LookupTextureColorFormat(int alpha, int alphaTest, int bits32, int draw);
// 300, 200 or 0 by the device's shader versions (0 while the device draws without shaders)
int GetShaderModelLevel();

} // namespace Korvo
