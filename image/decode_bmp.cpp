// BMP decoder: palette (4 and 8 bits, plain or run-length encoded), 24- and
// 32-bit files and bit fields are read directly; the other layouts (1 bit, and
// 16 bits without masks) are drawn through GDI.
#include <climits>
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/color_format.h"
#include "image/dib_format.h"
#include "image/image_loaders.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kMaxRleSide = 65535;
// Info headers of this size and more (V3 with alpha, V4, V5) carry an alpha mask.
constexpr uint32_t kBmpHeaderWithAlphaMask = 56;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Where the next run-length coded pixel goes; rows are counted in file order.
struct RleCursor {
    uint8_t *pixels;
    int pitch;
    int width;
    int height;
    bool bottomUp;
    int x;
    int storedRow;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t LoadLe32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static void PutRlePixel(RleCursor &c, uint8_t value)
{
    // Runs and deltas may point anywhere: only pixels inside the image are written.
    if (c.x >= 0 && c.x < c.width && c.storedRow >= 0 && c.storedRow < c.height) {
        int row = c.bottomUp ? c.height - 1 - c.storedRow : c.storedRow;
        c.pixels[(size_t)row * c.pitch + c.x] = value;
    }
    if (c.x < INT_MAX)
        c.x++;
}

// Runs of BI_RLE8 (fourBit false) or BI_RLE4 (fourBit true) data into one byte per pixel.
static void DecodeRleData(const uint8_t *data, size_t size, RleCursor &c, bool fourBit)
{
    size_t i = 0;
    while (i + 2 <= size && c.storedRow < c.height) {
        int count = data[i];
        int value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int n = 0; n < count; n++) {
                uint8_t v = fourBit ? (uint8_t)((n & 1) ? (value & 0x0f) : (value >> 4)) : (uint8_t)value;
                PutRlePixel(c, v);
            }
            continue;
        }
        if (value == 0) {
            c.storedRow++;
            c.x = 0;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (i + 2 > size)
                return;
            int dx = data[i], dy = data[i + 1];
            i += 2;
            c.x = (c.x > INT_MAX - dx) ? INT_MAX : c.x + dx;
            c.storedRow += dy;
        } else {
            size_t bytes = fourBit ? (size_t)(value + 1) / 2 : (size_t)value;
            if (i + bytes > size)
                bytes = size - i;
            for (int n = 0; n < value; n++) {
                size_t at = fourBit ? (size_t)(n / 2) : (size_t)n;
                if (at >= bytes)
                    break;
                uint8_t b = data[i + at];
                PutRlePixel(c, fourBit ? (uint8_t)((n & 1) ? (b & 0x0f) : (b >> 4)) : b);
            }
            i += (bytes + 1) & ~(size_t)1;
        }
    }
}

// Copies the palette entries of the header block into the format, fourth bytes cleared.
static void CopyBmpPalette(ColorFormatDesc *format, const K_BITMAPINFO *info, int entries)
{
    for (int i = 0; i < entries; i++) {
        format->palette[i] = info->bmiColors[i];
        format->palette[i].alpha = 0;
    }
}

// The header block: info header, then colour table or masks, read from the stream.
static K_BITMAPINFO *ReadBmpHeaderBlock(const ImageStreamSource *source, int fileSize)
{
    K_BITMAPINFO *info = (K_BITMAPINFO *)KORVO_TRACKED_ALLOC_ZEROED(kDibInfoBlockBytes);
    if (!info)
        return nullptr;
    if (!ReadSourceBytes(source, info, 40)) {
        TrackedFree(info);
        return nullptr;
    }
    const K_BITMAPINFOHEADER &h = info->bmiHeader;
    int bits = h.biBitCount;
    // The colour table or masks follow the info header, however long it is.
    int64_t tableAt = 14 + (int64_t)(h.biSize < 40 ? 40 : h.biSize);
    if (tableAt > fileSize || source->Seek(source->data, (int)tableAt, 0) != 0) {
        TrackedFree(info);
        return nullptr;
    }
    size_t tableBytes = 0;
    if (bits >= 1 && bits <= 8) {
        uint32_t entries = 1u << bits;
        // Files with a short colour table say so in biClrUsed.
        if (h.biClrUsed != 0 && h.biClrUsed < entries)
            entries = h.biClrUsed;
        tableBytes = entries * 4;
    } else if (h.biCompression == kBiBitfields) {
        // The three masks sit right after the 40-byte header fields, also inside
        // longer headers; from 56 bytes on the header holds an alpha mask after them.
        tableBytes = h.biSize >= kBmpHeaderWithAlphaMask ? 16 : 12;
        if (source->Seek(source->data, 14 + 40, 0) != 0) {
            TrackedFree(info);
            return nullptr;
        }
    }
    if (!ReadSourceBytes(source, info->bmiColors, tableBytes)) {
        TrackedFree(info);
        return nullptr;
    }
    return info;
}

// Where one channel sits in a bit-field pixel: the lowest run of its mask's set bits.
struct BitFieldChannel {
    uint8_t shift;
    uint8_t width;
};

static BitFieldChannel FindBitFieldChannel(uint32_t mask)
{
    BitFieldChannel c;
    FindMaskRun(mask, &c.shift, &c.width);
    return c;
}

static uint32_t ReadBitFieldChannel(uint32_t pixel, BitFieldChannel c)
{
    if (c.width == 0)
        return 0;
    uint32_t value = pixel >> c.shift;
    if (c.width < 32)
        value &= (1u << c.width) - 1;
    return ScaleChannelTo8Bits(value, c.width);
}

// 16- or 32-bit bit-field pixels, top row first: 24-bit B, G, R, or ARGB when
// the header gives an alpha mask; the format is set in out. Null when the
// block cannot be allocated.
static uint8_t *UnpackBitFieldRows(const uint8_t *data, int rowBytes, int width, int height, bool bottomUp,
                                   const K_BITMAPINFO *info, RasterImage *out)
{
    uint32_t masks[4];
    std::memcpy(masks, info->bmiColors, sizeof(masks));
    int bytes = info->bmiHeader.biBitCount / 8;
    BitFieldChannel red = FindBitFieldChannel(masks[0]), green = FindBitFieldChannel(masks[1]);
    BitFieldChannel blue = FindBitFieldChannel(masks[2]), alpha = FindBitFieldChannel(masks[3]);
    int outBytes = alpha.width != 0 ? 4 : 3;
    int pitch = (width * outBytes + 3) / 4 * 4;
    if (CheckedImageBytes(pitch, height) < 0)
        return nullptr;
    uint8_t *pixels = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)pitch * height);
    if (!pixels)
        return nullptr;
    for (int y = 0; y < height; y++) {
        const uint8_t *s = data + (size_t)(bottomUp ? height - 1 - y : y) * rowBytes;
        uint8_t *d = pixels + (size_t)y * pitch;
        std::memset(d + (size_t)width * outBytes, 0, (size_t)(pitch - width * outBytes));
        for (int x = 0; x < width; x++, s += bytes, d += outBytes) {
            uint32_t v = bytes == 2 ? (uint32_t)(s[0] | (s[1] << 8)) : LoadLe32(s);
            d[0] = (uint8_t)ReadBitFieldChannel(v, blue);
            d[1] = (uint8_t)ReadBitFieldChannel(v, green);
            d[2] = (uint8_t)ReadBitFieldChannel(v, red);
            if (outBytes == 4)
                d[3] = (uint8_t)ReadBitFieldChannel(v, alpha);
        }
    }
    std::memset(&out->format, 0, sizeof(out->format));
    if (outBytes == 4)
        InitArgb32Format(&out->format);
    else
        InitRgb24Format(&out->format);
    out->pitch = pitch;
    return pixels;
}

// The pixels of an uncompressed 8-, 24- or 32-bit file, top row first.
static uint8_t *TakeDirectPixels(uint8_t *data, int rowBytes, int height, bool bottomUp)
{
    if (!bottomUp)
        return data;
    uint8_t *flipped = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)rowBytes * height);
    if (!flipped)
        return nullptr;
    for (int y = 0; y < height; y++)
        std::memcpy(flipped + (size_t)y * rowBytes, data + (size_t)(height - 1 - y) * rowBytes, (size_t)rowBytes);
    return flipped;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Decode a BMP file
int DecodeBmpStream(const ImageStreamSource *source, RasterImage *out)
{
    int start = 0, fileSize = 0;
    if (!MeasureSourceLength(source, &start, &fileSize))
        return -1;
    source->Seek(source->data, 0, 0);
    uint8_t fileHeader[14];
    if (!ReadSourceBytes(source, fileHeader, sizeof(fileHeader)) || fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return -1;
    uint32_t offBits = LoadLe32(fileHeader + 10);

    K_BITMAPINFO *info = ReadBmpHeaderBlock(source, fileSize);
    if (!info)
        return -1;
    const K_BITMAPINFOHEADER h = info->bmiHeader;
    int bits = h.biBitCount;
    uint32_t compression = h.biCompression;
    bool bottomUp = h.biHeight > 0;
    int64_t width = h.biWidth;
    int64_t height = h.biHeight < 0 ? -(int64_t)h.biHeight : h.biHeight;
    int64_t rowBytes64 = ((width * bits) / 8 + (((width * bits) % 8) ? 1 : 0) + 3) / 4 * 4;
    if (width <= 0 || height <= 0 || width > INT_MAX / 32 || height > INT_MAX || bits == 0 ||
        CheckedImageBytes(rowBytes64, height) < 0 || offBits > (uint32_t)fileSize) {
        TrackedFree(info);
        return -1;
    }
    int w = (int)width, hgt = (int)height, rowBytes = (int)rowBytes64;

    // Everything from the pixel data on, in one block.
    size_t dataSize = (size_t)fileSize - offBits;
    uint8_t *data = (uint8_t *)KORVO_TRACKED_ALLOC(dataSize ? dataSize : 1);
    if (!data || source->Seek(source->data, (int)offBits, 0) != 0 || !ReadSourceBytes(source, data, dataSize)) {
        TrackedFree(data);
        TrackedFree(info);
        return -1;
    }

    std::memset(out, 0, sizeof(*out));
    uint8_t *pixels = nullptr;
    int pitch = 0;
    size_t needed = (size_t)rowBytes * hgt;
    if ((compression == kBiRle8 && bits == 8) || (compression == kBiRle4 && bits == 4)) {
        bool fourBit = compression == kBiRle4;
        pitch = fourBit ? (w + 3) / 4 * 4 : rowBytes;
        // A few bytes of codes can span any size, so run-length images are held to
        // the largest side a BMP header can sensibly give.
        if (w <= kMaxRleSide && hgt <= kMaxRleSide && CheckedImageBytes(pitch, hgt) >= 0)
            pixels = (uint8_t *)KORVO_TRACKED_ALLOC_ZEROED((size_t)pitch * hgt);
        if (pixels) {
            RleCursor cursor = {pixels, pitch, w, hgt, bottomUp, 0, 0};
            DecodeRleData(data, dataSize, cursor, fourBit);
            InitPaletteFormat(&out->format);
            CopyBmpPalette(&out->format, info, fourBit ? 16 : 256);
        }
    } else if (compression == kBiRgb && bits == 4) {
        pitch = (w + 3) / 4 * 4;
        if (dataSize >= needed && CheckedImageBytes(pitch, hgt) >= 0)
            pixels = (uint8_t *)KORVO_TRACKED_ALLOC_ZEROED((size_t)pitch * hgt);
        if (pixels) {
            for (int y = 0; y < hgt; y++) {
                const uint8_t *s = data + (size_t)(bottomUp ? hgt - 1 - y : y) * rowBytes;
                uint8_t *d = pixels + (size_t)y * pitch;
                for (int x = 0; x < w; x++)
                    d[x] = (x & 1) ? (s[x / 2] & 0x0f) : (s[x / 2] >> 4);
            }
            InitPaletteFormat(&out->format);
            CopyBmpPalette(&out->format, info, 16);
        }
    } else if (compression == kBiRgb && (bits == 8 || bits == 24 || bits == 32)) {
        pitch = rowBytes;
        if (dataSize >= needed)
            pixels = TakeDirectPixels(data, rowBytes, hgt, bottomUp);
        if (pixels) {
            if (bits == 8) {
                InitPaletteFormat(&out->format);
                CopyBmpPalette(&out->format, info, 256);
            } else if (bits == 24) {
                InitRgb24Format(&out->format);
            } else {
                InitArgb32Format(&out->format);
            }
        }
    } else if (compression == kBiBitfields && (bits == 16 || bits == 32)) {
        // Decoded here on every build: GDI would drop an alpha mask.
        if (dataSize >= needed)
            pixels = UnpackBitFieldRows(data, rowBytes, w, hgt, bottomUp, info, out);
        pitch = out->pitch;
    } else if (compression == kBiRgb && (bits == 1 || bits == 16)) {
        // GDI reads rows x row size bytes: make sure the file holds them. The
        // 24-bit result may be far larger than the file's own rows.
        bool fits = dataSize >= needed && CheckedImageBytes((int64_t)(w * 3 + 3) / 4 * 4, hgt) >= 0;
        int result = fits ? DrawDibThroughGdi(info, data, out) : -1;
        TrackedFree(data);
        TrackedFree(info);
        if (result < 0) {
            std::memset(out, 0, sizeof(*out));
            return -1;
        }
        return 0;
    }
    if (pixels != data)
        TrackedFree(data);
    TrackedFree(info);
    if (!pixels) {
        std::memset(out, 0, sizeof(*out));
        return -1;
    }
    out->pixels = pixels;
    out->width = w;
    out->height = hgt;
    out->pitch = pitch;
    out->mipLevelCount = 0;
    return 0;
}

} // namespace Korvo
