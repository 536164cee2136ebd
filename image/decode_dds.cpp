// DDS decoder: DXT1-DXT5 data stay block-compressed; other layouts come from
// bit masks or Direct3D format codes. All levels are read in one read.
#include <climits>
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr uint32_t kDdsdPitch = 0x8;
constexpr uint32_t kDdsdMipMapCount = 0x20000;
constexpr uint32_t kDdpfFourCC = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdsCapsComplex = 0x8;
constexpr uint32_t kDdsCapsMipMap = 0x400000;
constexpr int kDdsMaxLevels = 32;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct DdsFormatCode {
    uint32_t code;
    int bits;
    uint32_t maskR, maskG, maskB, maskA;
};

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

// Direct3D format codes understood when the pixel-format flags are exactly DDPF_FOURCC.
static const DdsFormatCode DdsFormatCodeTable[] = {
    {20, 24, 0xff0000, 0xff00, 0xff, 0},
    {21, 32, 0xff0000, 0xff00, 0xff, 0xff000000},
    {22, 32, 0xff0000, 0xff00, 0xff, 0},
    {23, 16, 0xf800, 0x7e0, 0x1f, 0},
    {24, 16, 0x7c00, 0x3e0, 0x1f, 0},
    {25, 16, 0x7c00, 0x3e0, 0x1f, 0x8000},
    {26, 16, 0xf00, 0xf0, 0xf, 0xf000},
    {27, 8, 0xe0, 0x1c, 0x3, 0},
    {29, 16, 0xe0, 0x1c, 0x3, 0xff00},
    {30, 16, 0xf00, 0xf0, 0xf, 0},
    {31, 32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000},
    {32, 32, 0xff, 0xff00, 0xff0000, 0xff000000},
    {33, 32, 0xff, 0xff00, 0xff0000, 0},
    {35, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000},
    {0xffffffffu, 0, 0, 0, 0, 0},
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t LoadLe32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static uint32_t FourCC(const char *text)
{
    return (uint32_t)(uint8_t)text[0] | ((uint32_t)(uint8_t)text[1] << 8) | ((uint32_t)(uint8_t)text[2] << 16) |
           ((uint32_t)(uint8_t)text[3] << 24);
}

static void SetDxtFormat(ColorFormatDesc *f, int blockFormat)
{
    std::memset(f, 0, sizeof(*f));
    InitArgb32Format(f);
    f->blockFormat = (uint8_t)blockFormat;
    f->bitsPerPixel = blockFormat == kBlockDxt1 ? 4 : 8;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Decode a DDS file
int DecodeDdsStream(const ImageStreamSource *source, RasterImage *out)
{
    int start = 0, length = 0;
    if (!MeasureSourceLength(source, &start, &length))
        return -1;
    uint8_t h[128];
    if (!ReadSourceBytes(source, h, sizeof(h)) || std::memcmp(h, "DDS", 3) != 0)
        return -1;
    uint32_t flags = LoadLe32(h + 8);
    int64_t height = (int32_t)LoadLe32(h + 12);
    int64_t width = (int32_t)LoadLe32(h + 16);
    uint32_t pitchField = LoadLe32(h + 20);
    uint32_t mipCount = LoadLe32(h + 28);
    uint32_t pfFlags = LoadLe32(h + 80);
    uint32_t fourCC = LoadLe32(h + 84);
    uint32_t rgbBits = LoadLe32(h + 88);
    uint32_t caps = LoadLe32(h + 108);
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536)
        return -1;

    ColorFormatDesc format;
    bool found = false;
    if (pfFlags == kDdpfFourCC) {
        for (const DdsFormatCode *row = DdsFormatCodeTable; row->code != 0xffffffffu; row++) {
            if (row->code == fourCC) {
                InitColorFormatFromMasks(&format, row->bits, row->maskR, row->maskG, row->maskB, row->maskA, 0, 0, 0);
                found = true;
                break;
            }
        }
    }
    int blockFormat = kBlockPlain;
    if (pfFlags & kDdpfFourCC) {
        if (fourCC == FourCC("DXT1"))
            blockFormat = kBlockDxt1;
        else if (fourCC == FourCC("DXT2"))
            blockFormat = kBlockDxt2;
        else if (fourCC == FourCC("DXT3"))
            blockFormat = kBlockDxt3;
        else if (fourCC == FourCC("DXT4"))
            blockFormat = kBlockDxt4;
        else if (fourCC == FourCC("DXT5"))
            blockFormat = kBlockDxt5;
        else if (!found)
            return -1;
    } else if (pfFlags & kDdpfRgb) {
        // Only whole-byte pixels of up to 32 bits can be addressed.
        if (rgbBits != 8 && rgbBits != 16 && rgbBits != 24 && rgbBits != 32)
            return -1;
        InitColorFormatFromMasks(&format, (int)rgbBits, LoadLe32(h + 92), LoadLe32(h + 96), LoadLe32(h + 100),
                                 LoadLe32(h + 104), 0, 0, 0);
    } else {
        return -1;
    }

    int levels = 0;
    if ((flags & kDdsdMipMapCount) && (caps & kDdsCapsComplex) && (caps & kDdsCapsMipMap))
        levels = (int)(mipCount > (uint32_t)kDdsMaxLevels ? kDdsMaxLevels : mipCount);

    // dataBytes are read from the file; the block holds at least what the image
    // reports as its size (plain levels of at least 8 bytes), the rest zeroed.
    int64_t pitch = 0, dataBytes, blockBytes;
    if (blockFormat != kBlockPlain) {
        SetDxtFormat(&format, blockFormat);
        if (CheckedImageBytes(width * 4, height) < 0)   // what the blocks expand to
            return -1;
        int64_t first = CalcBlockLevelBytes(blockFormat, (int)width, (int)height);
        dataBytes = SumMipLevelBytes(first, levels, blockFormat == kBlockDxt1 ? 8 : 16);
        blockBytes = dataBytes;
    } else {
        int64_t rowBytes = (int64_t)format.bytesPerPixel * width;
        // Rows follow the header's bit count; one too small for the format's own
        // pixels (format-coded files often carry 0) falls back to whole pixels.
        int64_t headerRow = (int64_t)(rgbBits / 8) * width;
        pitch = (flags & kDdsdPitch) ? (int64_t)pitchField : (headerRow >= rowBytes ? headerRow : rowBytes);
        // A pitch shorter than a row would make every reader run past the data.
        if (pitch < rowBytes || pitch > INT_MAX)
            return -1;
        int64_t level = CheckedImageBytes(pitch, height);
        if (level < 0)
            return -1;
        dataBytes = SumMipLevelBytes(level, levels, 0);
        blockBytes = SumMipLevelBytes(level, levels, 8);
    }
    // The file must hold every byte the header announces.
    if (dataBytes <= 0 || dataBytes > (int64_t)length - 128 || blockBytes > INT_MAX)
        return -1;
    uint8_t *pixels = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)blockBytes);
    if (!pixels)
        return -1;
    if (!ReadSourceBytes(source, pixels, (size_t)dataBytes)) {
        TrackedFree(pixels);
        return -1;
    }
    std::memset(pixels + dataBytes, 0, (size_t)(blockBytes - dataBytes));
    out->format = format;
    out->pixels = pixels;
    out->width = (int)width;
    out->height = (int)height;
    out->pitch = (int)pitch;
    out->mipLevelCount = levels;
    return 0;
}

} // namespace Korvo
