// KVA scrambling key: built at run time from fixed constants, never stored whole.
#include "core/streams/kva_format.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------
static const unsigned char kKeyFiller = 0x5B;
static const unsigned char kKeyMix[kKvaKeySize] = {
    0x3C, 0xA7, 0x19, 0xE2, 0x54, 0x8D, 0xC1, 0x6F, 0x2A, 0xB8, 0x73, 0x0E,
};
static const unsigned char kFallbackKey[kKvaKeySize] = {
    0x9D, 0x46, 0xF1, 0x2B, 0x87, 0xD3, 0x5E, 0x14, 0xAA, 0x61, 0xCF, 0x38,
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static unsigned char RotateLeft8(unsigned char v, int bits)
{
    bits &= 7;
    if (bits == 0) return v;
    return (unsigned char)((v << bits) | (v >> (8 - bits)));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Make the 12-byte key from a key string (null: the library's own key).
void BuildKvaKey(const char *keyString, unsigned char *key)
{
    unsigned char seed[kKvaKeySize];
    size_t length = keyString ? std::strlen(keyString) : 0;
    for (int i = 0; i < kKvaKeySize; i++)
        seed[i] = length ? (unsigned char)keyString[i % length] : kKeyFiller;

    for (int i = 0; i < kKvaKeySize; i++) {
        unsigned char b = (unsigned char)~seed[i];
        if (i & 1) b = (unsigned char)((b << 4) | (b >> 4));
        b = RotateLeft8(b, i % 5 + 1);
        b ^= kKeyMix[i];
        b ^= seed[(i + 5) % kKvaKeySize];
        key[i] = b;
    }
}

// The fixed key tried when the magic does not read "KV" under the first one.
const unsigned char *GetKvaFallbackKey()
{
    return kFallbackKey;
}

// XOR count bytes with the key, the first byte at key position `position`.
void ApplyKvaKey(size_t count, void *buffer, uint32_t position, const unsigned char *key)
{
    unsigned char *p = static_cast<unsigned char *>(buffer);
    unsigned index = position % kKvaKeySize;
    // Align to a key period, then work a whole period at a time.
    while (count > 0 && index != 0) {
        *p++ ^= key[index];
        index = (index + 1) % kKvaKeySize;
        count--;
    }
    // Two key periods are three 8-byte words: XOR a word at a time.
    uint64_t words[3];
    unsigned char doubled[2 * kKvaKeySize];
    std::memcpy(doubled, key, kKvaKeySize);
    std::memcpy(doubled + kKvaKeySize, key, kKvaKeySize);
    std::memcpy(words, doubled, sizeof words);
    while (count >= sizeof words) {
        for (int i = 0; i < 3; i++) {
            uint64_t v;
            std::memcpy(&v, p + 8 * i, 8);
            v ^= words[i];
            std::memcpy(p + 8 * i, &v, 8);
        }
        p += sizeof words;
        count -= sizeof words;
    }
    while (count >= (size_t)kKvaKeySize) {
        for (int i = 0; i < kKvaKeySize; i++) p[i] ^= key[i];
        p += kKvaKeySize;
        count -= kKvaKeySize;
    }
    for (size_t i = 0; i < count; i++) p[i] ^= key[i];
}

// Header bytes for a version (24 below version 4, 28 from it).
uint32_t KvaHeaderSizeFor(int version)
{
    return version >= 4 ? kKvaHeaderSizeCodePage : kKvaHeaderSizeOld;
}

// File-entry bytes for a version (40 for version 1, 44 from version 2).
uint32_t KvaFileEntrySizeFor(int version)
{
    return version >= 2 ? kKvaFileEntrySize : kKvaFileEntrySizeV1;
}

// Name code page to CharSetCode (0 when the version has no code page).
int KvaCodePageToCharSet(int version, uint32_t codePage)
{
    if (version < 4) return 0;
    switch (codePage) {
    case 932: return 1;
    case 936: return 4;
    case 949: return 2;
    case 950: return 3;
    default: return 0;
    }
}

// True for a lead byte of a double-byte character under a CharSetCode.
bool IsKvaLeadByte(int charSet, unsigned char byte)
{
    switch (charSet) {
    case 1: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 2:
    case 3:
    case 4: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
    }
}

}  // namespace Korvo
