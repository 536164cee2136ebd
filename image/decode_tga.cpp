// TGA decoder: colour-mapped and true-colour files, plain or run-length
// encoded, in 16, 24 or 32 bits, with the optional TRUEVISION-XFILE footer.
#include <climits>
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kTgaHeaderBytes = 18;
constexpr int kTgaFooterBytes = 26;
constexpr int kTgaMaxSide = 8192;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int LoadLe16(const uint8_t *p)
{
    return p[0] | (p[1] << 8);
}

// Whether the stream ends with a footer whose extension-area offset is 0.
static bool HasTgaFooter(const ImageStreamSource *source, int length)
{
    if (length < kTgaHeaderBytes + kTgaFooterBytes)
        return false;
    uint8_t footer[kTgaFooterBytes];
    if (source->Seek(source->data, length - kTgaFooterBytes, 0) != 0 || !ReadSourceBytes(source, footer, sizeof(footer)))
        return false;
    uint32_t extension = (uint32_t)footer[0] | ((uint32_t)footer[1] << 8) | ((uint32_t)footer[2] << 16) |
                         ((uint32_t)footer[3] << 24);
    return std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 && extension == 0;
}

static void SetTgaFormat(ColorFormatDesc *f, int depth)
{
    if (depth == 16) {
        InitColorFormatFromMasks(f, 16, 0x7c00, 0x3e0, 0x1f, 0, 0, 0, 0);
    } else if (depth == 24) {
        std::memset(f, 0, sizeof(*f));
        InitRgb24Format(f);
    } else {
        std::memset(f, 0, sizeof(*f));
        InitArgb32Format(f);
    }
}

// Unpacks run-length packets of valueBytes each into count values; false when the data run short.
static bool UnpackTgaRle(const uint8_t *data, size_t size, uint8_t *out, size_t count, int valueBytes)
{
    size_t produced = 0, i = 0;
    while (produced < count) {
        if (i >= size)
            return false;
        int header = data[i++];
        size_t n = (size_t)(header & 0x7f) + 1;
        if (n > count - produced)
            n = count - produced;  // a packet never writes past the image
        if (header & 0x80) {
            if (i + valueBytes > size)
                return false;
            for (size_t k = 0; k < n; k++)
                std::memcpy(out + (produced + k) * valueBytes, data + i, (size_t)valueBytes);
            i += valueBytes;
        } else {
            size_t bytes = n * valueBytes;
            if (i + bytes > size)
                return false;
            std::memcpy(out + produced * valueBytes, data + i, bytes);
            i += bytes;
        }
        produced += n;
    }
    return true;
}

// Fewest bytes the pixel data can take (after a mapped file's colour map of
// mapBytes): plain data hold every value, and a run-length packet holds at most
// 128 values in 1 + valueBytes bytes.
static int64_t LeastTgaDataBytes(bool runLength, size_t count, int valueBytes, int64_t mapBytes)
{
    size_t values = runLength ? (count + 127) / 128 * (size_t)(1 + valueBytes) : count * valueBytes;
    return mapBytes + (int64_t)values;
}

// Reads the run-length data from the current position to the footer or the end and unpacks it.
static bool ReadTgaRle(const ImageStreamSource *source, int dataEnd, uint8_t *out, size_t count, int valueBytes)
{
    int position = source->Tell(source->data);
    if (position < 0 || position > dataEnd)
        return false;
    size_t size = (size_t)(dataEnd - position);
    uint8_t *data = (uint8_t *)KORVO_TRACKED_ALLOC(size ? size : 1);
    if (!data)
        return false;
    bool ok = ReadSourceBytes(source, data, size) && UnpackTgaRle(data, size, out, count, valueBytes);
    TrackedFree(data);
    return ok;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Decode a TGA file
int DecodeTgaStream(const ImageStreamSource *source, RasterImage *out)
{
    int start = 0, length = 0;
    if (!MeasureSourceLength(source, &start, &length))
        return -1;
    bool footer = HasTgaFooter(source, length);
    int dataEnd = footer ? length - kTgaFooterBytes : length;
    if (source->Seek(source->data, 0, 0) != 0)
        return -1;
    uint8_t h[kTgaHeaderBytes];
    if (!ReadSourceBytes(source, h, sizeof(h)))
        return -1;

    int idLength = h[0], mapType = h[1], type = h[2];
    int mapFirst = LoadLe16(h + 3), mapLength = LoadLe16(h + 5), mapEntryBits = h[7];
    int width = LoadLe16(h + 12), height = LoadLe16(h + 14), pixelDepth = h[16], descriptor = h[17];
    bool mapped = type == 1 || type == 9;
    int depth = mapped ? mapEntryBits : pixelDepth;
    if (type != 1 && type != 2 && type != 9 && type != 10)
        return -1;
    if (LoadLe16(h + 8) != 0 || LoadLe16(h + 10) != 0)
        return -1;
    if (width == 0 || height == 0 || width > kTgaMaxSide || height > kTgaMaxSide)
        return -1;
    if (depth != 16 && depth != 24 && depth != 32)
        return -1;
    // Mapped pixels are one-byte indices into a table of at most 256 entries.
    if (mapped && (pixelDepth != 8 || mapType != 1 || mapFirst + mapLength > 256))
        return -1;

    // The image ID field comes first; a colour map in a true-colour file is stepped over.
    int64_t position = kTgaHeaderBytes + idLength;
    int mapEntryBytes = (mapEntryBits + 7) / 8;
    if (!mapped && mapType == 1)
        position += (int64_t)mapLength * mapEntryBytes;
    if (position > dataEnd || source->Seek(source->data, (int)position, 0) != 0)
        return -1;

    int bpp = depth / 8;
    size_t count = (size_t)width * height;
    // A stream too short for its data is refused before the pixel block is
    // allocated: plain data are read up to the end, run-length data up to the footer.
    bool runLength = type == 9 || type == 10;
    int64_t mapBytes = mapped ? (int64_t)mapLength * bpp : 0;
    if (position + LeastTgaDataBytes(runLength, count, mapped ? 1 : bpp, mapBytes) > (runLength ? dataEnd : length))
        return -1;
    uint8_t *pixels = (uint8_t *)KORVO_TRACKED_ALLOC(count * bpp);
    if (!pixels)
        return -1;
    bool ok;
    if (mapped) {
        uint8_t table[256 * 4];
        std::memset(table, 0, sizeof(table));
        ok = ReadSourceBytes(source, table + (size_t)mapFirst * bpp, (size_t)mapLength * bpp);
        uint8_t *indices = ok ? (uint8_t *)KORVO_TRACKED_ALLOC(count) : nullptr;
        if (indices) {
            ok = type == 1 ? ReadSourceBytes(source, indices, count) : ReadTgaRle(source, dataEnd, indices, count, 1);
            if (ok)
                for (size_t i = 0; i < count; i++)
                    std::memcpy(pixels + i * bpp, table + (size_t)indices[i] * bpp, (size_t)bpp);
            TrackedFree(indices);
        } else {
            ok = false;
        }
    } else {
        ok = type == 2 ? ReadSourceBytes(source, pixels, count * bpp) : ReadTgaRle(source, dataEnd, pixels, count, bpp);
    }
    if (!ok) {
        TrackedFree(pixels);
        return -1;
    }

    bool topDown = (descriptor & 0x20) != 0;
    bool rightToLeft = (descriptor & 0x10) != 0;
    size_t pitch = (size_t)width * bpp;
    if (!topDown || rightToLeft) {
        uint8_t *turned = (uint8_t *)KORVO_TRACKED_ALLOC(count * bpp);
        if (!turned) {
            TrackedFree(pixels);
            return -1;
        }
        for (int y = 0; y < height; y++) {
            const uint8_t *s = pixels + (size_t)(topDown ? y : height - 1 - y) * pitch;
            uint8_t *d = turned + (size_t)y * pitch;
            if (!rightToLeft) {
                std::memcpy(d, s, pitch);
                continue;
            }
            for (int x = 0; x < width; x++)
                std::memcpy(d + (size_t)x * bpp, s + (size_t)(width - 1 - x) * bpp, (size_t)bpp);
        }
        TrackedFree(pixels);
        pixels = turned;
    }
    SetTgaFormat(&out->format, depth);
    out->width = width;
    out->height = height;
    out->pitch = (int)pitch;
    out->pixels = pixels;
    out->mipLevelCount = 0;
    return 0;
}

} // namespace Korvo
