// DXT expansion: turns the first level of a DXT1-DXT5 image into plain ARGB
// 32-bit pixels, or reads one pixel of it from its block.
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"
#include "image/raster_image.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct BgraColor {
    uint8_t b, g, r, a;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static BgraColor ExpandRgb565(uint16_t c)
{
    BgraColor out;
    out.r = (uint8_t)(((c >> 11) & 0x1f) * 255 / 31);
    out.g = (uint8_t)(((c >> 5) & 0x3f) * 255 / 63);
    out.b = (uint8_t)((c & 0x1f) * 255 / 31);
    out.a = 255;
    return out;
}

// The four colours of a colour block; DXT1 blocks may use the three-colour rule.
static void BuildColorTable(const uint8_t *block, bool allowThreeColor, BgraColor table[4])
{
    uint16_t c0 = (uint16_t)(block[0] | (block[1] << 8));
    uint16_t c1 = (uint16_t)(block[2] | (block[3] << 8));
    table[0] = ExpandRgb565(c0);
    table[1] = ExpandRgb565(c1);
    if (!allowThreeColor || c0 > c1) {
        table[2].r = (uint8_t)((2 * table[0].r + table[1].r) / 3);
        table[2].g = (uint8_t)((2 * table[0].g + table[1].g) / 3);
        table[2].b = (uint8_t)((2 * table[0].b + table[1].b) / 3);
        table[2].a = 255;
        table[3].r = (uint8_t)((table[0].r + 2 * table[1].r) / 3);
        table[3].g = (uint8_t)((table[0].g + 2 * table[1].g) / 3);
        table[3].b = (uint8_t)((table[0].b + 2 * table[1].b) / 3);
        table[3].a = 255;
    } else {
        table[2].r = (uint8_t)((table[0].r + table[1].r) / 2);
        table[2].g = (uint8_t)((table[0].g + table[1].g) / 2);
        table[2].b = (uint8_t)((table[0].b + table[1].b) / 2);
        table[2].a = 255;
        table[3] = table[2];
        table[3].a = 0;
    }
}

// The eight alpha values of a DXT4/DXT5 alpha block.
static void BuildAlphaTable(const uint8_t *block, uint8_t table[8])
{
    int a0 = block[0], a1 = block[1];
    table[0] = (uint8_t)a0;
    table[1] = (uint8_t)a1;
    if (a0 > a1) {
        for (int i = 1; i <= 6; i++)
            table[i + 1] = (uint8_t)(((7 - i) * a0 + i * a1) / 7);
    } else {
        for (int i = 1; i <= 4; i++)
            table[i + 1] = (uint8_t)(((5 - i) * a0 + i * a1) / 5);
        table[6] = 0;
        table[7] = 255;
    }
}

// Decodes one block into 16 BGRA pixels, row by row.
static void DecodeDxtBlock(const uint8_t *block, int blockFormat, BgraColor pixels[16])
{
    const uint8_t *colorBlock = blockFormat == kBlockDxt1 ? block : block + 8;
    BgraColor table[4];
    BuildColorTable(colorBlock, blockFormat == kBlockDxt1, table);
    uint32_t indices = (uint32_t)colorBlock[4] | ((uint32_t)colorBlock[5] << 8) | ((uint32_t)colorBlock[6] << 16) |
                       ((uint32_t)colorBlock[7] << 24);
    for (int i = 0; i < 16; i++)
        pixels[i] = table[(indices >> (2 * i)) & 3];

    if (blockFormat == kBlockDxt2 || blockFormat == kBlockDxt3) {
        for (int i = 0; i < 16; i++) {
            int nibble = (block[i / 2] >> ((i & 1) * 4)) & 0xf;
            pixels[i].a = (uint8_t)(nibble * 17);
        }
    } else if (blockFormat == kBlockDxt4 || blockFormat == kBlockDxt5) {
        uint8_t alphas[8];
        BuildAlphaTable(block, alphas);
        uint64_t bits = 0;
        for (int i = 0; i < 6; i++)
            bits |= (uint64_t)block[2 + i] << (8 * i);
        for (int i = 0; i < 16; i++)
            pixels[i].a = alphas[(bits >> (3 * i)) & 7];
    }
    if (blockFormat == kBlockDxt2 || blockFormat == kBlockDxt4) {
        // Premultiplied colours: divided back, never above 255; alpha 0 keeps the stored colour.
        for (int i = 0; i < 16; i++) {
            int a = pixels[i].a;
            if (a == 0)
                continue;
            int r = pixels[i].r * 255 / a, g = pixels[i].g * 255 / a, b = pixels[i].b * 255 / a;
            pixels[i].r = (uint8_t)(r > 255 ? 255 : r);
            pixels[i].g = (uint8_t)(g > 255 ? 255 : g);
            pixels[i].b = (uint8_t)(b > 255 ? 255 : b);
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// One pixel of the first level of a block-compressed image, from its block alone
uint32_t ReadDxtPixelAsArgb(const RasterImage *image, int x, int y)
{
    int blockFormat = image->format.blockFormat;
    if (blockFormat < kBlockDxt1 || blockFormat > kBlockDxt5 || !image->pixels || x < 0 || y < 0 ||
        x >= image->width || y >= image->height)
        return 0;
    int blocksX = (image->width + 3) / 4;
    int blockBytes = blockFormat == kBlockDxt1 ? 8 : 16;
    const uint8_t *block = (const uint8_t *)image->pixels + ((size_t)(y / 4) * blocksX + (size_t)(x / 4)) * blockBytes;
    BgraColor decoded[16];
    DecodeDxtBlock(block, blockFormat, decoded);
    const BgraColor &c = decoded[(y % 4) * 4 + x % 4];
    return ((uint32_t)c.a << 24) | ((uint32_t)c.r << 16) | ((uint32_t)c.g << 8) | c.b;
}

// Turn a block-compressed image into ARGB 32-bit pixels
int ExpandDxtImageToArgb32(RasterImage *image)
{
    int blockFormat = image->format.blockFormat;
    if (blockFormat < kBlockDxt1 || blockFormat > kBlockDxt5)
        return 0;
    // A block record without blocks has nothing to expand.
    if (!image->pixels)
        return -1;
    int width = image->width, height = image->height;
    int64_t bytes = CheckedImageBytes((int64_t)width * 4, height);
    uint8_t *pixels = bytes < 0 ? nullptr : (uint8_t *)KORVO_TRACKED_ALLOC((size_t)bytes + 1);
    if (!pixels)
        return -1;
    // Partial blocks at the right and bottom edges are decoded too, so every pixel is written.
    int blocksX = (width + 3) / 4, blocksY = (height + 3) / 4;
    int blockBytes = blockFormat == kBlockDxt1 ? 8 : 16;
    const uint8_t *block = (const uint8_t *)image->pixels;
    for (int by = 0; by < blocksY; by++) {
        for (int bx = 0; bx < blocksX; bx++, block += blockBytes) {
            BgraColor decoded[16];
            DecodeDxtBlock(block, blockFormat, decoded);
            for (int py = 0; py < 4 && by * 4 + py < height; py++) {
                for (int px = 0; px < 4 && bx * 4 + px < width; px++) {
                    uint8_t *d = pixels + ((size_t)(by * 4 + py) * width + (size_t)(bx * 4 + px)) * 4;
                    const BgraColor &c = decoded[py * 4 + px];
                    d[0] = c.b;
                    d[1] = c.g;
                    d[2] = c.r;
                    d[3] = c.a;
                }
            }
        }
    }
    TrackedFree(image->pixels);
    image->pixels = pixels;
    std::memset(&image->format, 0, sizeof(image->format));
    InitArgb32Format(&image->format);
    image->format.blockFormat = kBlockPlain;
    image->pitch = width * 4;
    // Only the first level was expanded: the image now has a single level.
    image->mipLevelCount = 0;
    return 0;
}

} // namespace Korvo
