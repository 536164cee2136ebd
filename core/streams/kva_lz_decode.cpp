// Decoder of the library's LZ blocks.
//
// Every token is checked against the input left and the output declared by the
// block header, so a corrupt block is refused instead of read or written past.
#include "core/streams/kva_lz.h"

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static uint32_t ReadLe32(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// Copy a match forward; a distance below the length repeats the last bytes, so the
// copy doubles its chunk each step, always taking from output already written.
static void CopyMatch(unsigned char *dst, size_t distance, size_t length)
{
    const unsigned char *src = dst - distance;
    if (distance >= length) {
        std::memcpy(dst, src, length);
        return;
    }
    size_t done = 0;
    size_t chunk = distance;
    while (done < length) {
        size_t n = chunk < length - done ? chunk : length - done;
        std::memcpy(dst + done, src, n);
        done += n;
        chunk = done;  // everything written so far repeats with period `distance`
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Decode a block of at most blockBytes into at most outCapacity bytes.
int ExpandKvaLzDataBounded(const void *block, size_t blockBytes, void *out, size_t outCapacity)
{
    if (block == nullptr || blockBytes < (size_t)kKvaLzHeaderSize) return -1;
    const unsigned char *in = static_cast<const unsigned char *>(block);
    uint32_t decodedSize = ReadLe32(in);
    uint32_t blockSize = ReadLe32(in + 4);
    if (decodedSize > 0x7FFFFFFFu || blockSize < (uint32_t)kKvaLzHeaderSize || blockSize > blockBytes)
        return -1;
    if (out == nullptr) return (int)decodedSize;
    if (decodedSize > outCapacity) return -1;

    const unsigned char escape = in[8];
    const unsigned char *src = in + kKvaLzHeaderSize;
    const unsigned char *end = in + blockSize;
    unsigned char *dst = static_cast<unsigned char *>(out);
    size_t written = 0;
    size_t previousDistance = 0;

    while (src < end) {
        unsigned char b = *src++;
        if (b != escape) {
            if (written >= decodedSize) return -1;
            dst[written++] = b;
            continue;
        }
        if (src >= end) return -1;
        unsigned char code = *src++;
        if (code == escape) {
            if (written >= decodedSize) return -1;
            dst[written++] = escape;
            continue;
        }
        unsigned d = code > escape ? code - 1u : code;
        size_t length = d >> 3;
        if (d & 4) {
            if (src >= end) return -1;
            length |= (size_t)*src++ << 5;
        }
        length += kKvaLzMinMatch;

        size_t distance;
        switch (d & 3) {
        case 0:
            if (end - src < 1) return -1;
            distance = (size_t)src[0] + 1;
            src += 1;
            break;
        case 1:
            if (end - src < 2) return -1;
            distance = ((size_t)src[0] | ((size_t)src[1] << 8)) + 1;
            src += 2;
            break;
        case 2:
            if (end - src < 3) return -1;
            distance = ((size_t)src[0] | ((size_t)src[1] << 8) | ((size_t)src[2] << 16)) + 1;
            src += 3;
            break;
        default:
            distance = previousDistance + 1;
            break;
        }
        previousDistance = distance;

        if (distance > written || length > decodedSize - written) return -1;
        CopyMatch(dst + written, distance, length);
        written += length;
    }
    return written == decodedSize ? (int)decodedSize : -1;
}

// Decode a block whose header sizes are trusted; out null only sizes it.
int ExpandKvaLzData(const void *block, void *out)
{
    if (block == nullptr) return -1;
    const unsigned char *in = static_cast<const unsigned char *>(block);
    uint32_t decodedSize = ReadLe32(in);
    uint32_t blockSize = ReadLe32(in + 4);
    return ExpandKvaLzDataBounded(block, blockSize, out, decodedSize);
}

}  // namespace Korvo
