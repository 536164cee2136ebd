// Packed parameters of asynchronous-load jobs.
//
// Items are written one after the other at a running byte offset, unaligned:
// an int as 4 little-endian bytes; a block or text as a 16-bit length word
// (which counts itself) followed by the bytes (a text with its terminator). A
// null area only advances the offset, so a loader measures with the same calls
// it writes with.

#include "core/threads/async_load.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kLengthWordBytes = 2;
constexpr int kLongestItem = 0xFFFF;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static unsigned char *At(void *area, int offset)
{
    return static_cast<unsigned char *>(area) + offset;
}

static const unsigned char *At(const void *area, int offset)
{
    return static_cast<const unsigned char *>(area) + offset;
}

static void WriteLengthWord(unsigned char *to, int length)
{
    to[0] = static_cast<unsigned char>(length & 0xFF);
    to[1] = static_cast<unsigned char>((length >> 8) & 0xFF);
}

static int ReadLengthWord(const unsigned char *from)
{
    return from[0] | (from[1] << 8);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Pack an int as 4 little-endian bytes
int PutAsyncParamInt(void *area, int *offset, int value)
{
    if (area != nullptr) {
        unsigned char *to = At(area, *offset);
        uint32_t bits = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) {
            to[i] = static_cast<unsigned char>(bits >> (8 * i));
        }
    }
    *offset += 4;
    return 0;
}

// Pack a length word (size + 2) and the bytes
int PutAsyncParamBytes(void *area, int *offset, const void *data, int size)
{
    if (size < 0 || size + kLengthWordBytes > kLongestItem) {
        return -1;
    }
    if (area != nullptr) {
        unsigned char *to = At(area, *offset);
        WriteLengthWord(to, size + kLengthWordBytes);
        if (size > 0) {
            std::memcpy(to + kLengthWordBytes, data, static_cast<size_t>(size));
        }
    }
    *offset += size + kLengthWordBytes;
    return 0;
}

// Pack a length word (length + 1 + 2) and the text with its terminator; null is a bare length word of 2
int PutAsyncParamString(void *area, int *offset, const char *text)
{
    if (text == nullptr) {
        if (area != nullptr) {
            WriteLengthWord(At(area, *offset), kLengthWordBytes);
        }
        *offset += kLengthWordBytes;
        return 0;
    }
    size_t length = std::strlen(text);
    if (length + 1 + kLengthWordBytes > static_cast<size_t>(kLongestItem)) {
        return -1;
    }
    int itemLength = static_cast<int>(length) + 1 + kLengthWordBytes;
    if (area != nullptr) {
        unsigned char *to = At(area, *offset);
        WriteLengthWord(to, itemLength);
        std::memcpy(to + kLengthWordBytes, text, length + 1);
    }
    *offset += itemLength;
    return 0;
}

// Unpack an int
int TakeAsyncParamInt(const void *area, int *offset)
{
    const unsigned char *from = At(area, *offset);
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<uint32_t>(from[i]) << (8 * i);
    }
    *offset += 4;
    return static_cast<int>(bits);
}

// Unpack a block: its bytes stay in the area
const void *TakeAsyncParamBytes(const void *area, int *offset)
{
    const unsigned char *from = At(area, *offset);
    *offset += ReadLengthWord(from);
    return from + kLengthWordBytes;
}

// Unpack a text; a bare length word is a packed null
const char *TakeAsyncParamString(const void *area, int *offset)
{
    const unsigned char *from = At(area, *offset);
    int itemLength = ReadLengthWord(from);
    *offset += itemLength;
    if (itemLength <= kLengthWordBytes) {
        return nullptr;
    }
    return reinterpret_cast<const char *>(from + kLengthWordBytes);
}

} // namespace Korvo
