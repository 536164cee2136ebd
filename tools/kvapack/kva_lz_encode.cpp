// Encoder of the library's LZ block format.
//
// Greedy matching over hash chains of 4-byte prefixes. The escape byte is the
// rarest byte of the input, so literals that need doubling stay rare. A match
// whose distance is one more than the previous match's uses the code without
// distance bytes.
#include "tools/kvapack/kva_lz_encode.h"

#include "core/streams/kva_lz.h"

#include <algorithm>
#include <stdexcept>

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
static const int kHashBits = 20;
static const int kMaxChain = 16;
// A match this long is taken without looking further down the chain.
static const size_t kGoodEnoughMatch = 256;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static uint32_t HashPrefix(const uint8_t *p)
{
    uint32_t v = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    return (v * 2654435761u) >> (32 - kHashBits);
}

static void PutLe32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    out[at] = (uint8_t)v;
    out[at + 1] = (uint8_t)(v >> 8);
    out[at + 2] = (uint8_t)(v >> 16);
    out[at + 3] = (uint8_t)(v >> 24);
}

static uint8_t RarestByte(const uint8_t *data, size_t size)
{
    size_t counts[256] = {};
    for (size_t i = 0; i < size; i++) counts[data[i]]++;
    return (uint8_t)(std::min_element(counts, counts + 256) - counts);
}

// Bytes a match token takes, or 0 when the token cannot be written.
static int MatchTokenBytes(size_t length, size_t distance, size_t previousDistance)
{
    size_t lengthBits = length - Korvo::kKvaLzMinMatch;
    int bytes = 2 + (lengthBits > 31 ? 1 : 0);
    bool repeat = distance == previousDistance + 1 && !((lengthBits & 31) == 31 && lengthBits > 31);
    if (repeat) return bytes;
    if (distance <= 0x100) return bytes + 1;
    if (distance <= 0x10000) return bytes + 2;
    return bytes + 3;
}

static void EmitLiteral(std::vector<uint8_t> &out, uint8_t b, uint8_t escape)
{
    out.push_back(b);
    if (b == escape) out.push_back(b);
}

static void EmitMatch(std::vector<uint8_t> &out, size_t length, size_t distance, size_t previousDistance,
                      uint8_t escape)
{
    size_t lengthBits = length - Korvo::kKvaLzMinMatch;
    bool extended = lengthBits > 31;
    unsigned d = (unsigned)((lengthBits & 31) << 3) | (extended ? 4u : 0u);
    int form;
    // The code 255 cannot be written (the escape takes one code value), so a
    // repeat with every length bit set spells its distance out.
    if (distance == previousDistance + 1 && (d | 3u) != 255u) form = 3;
    else if (distance <= 0x100) form = 0;
    else if (distance <= 0x10000) form = 1;
    else form = 2;
    d |= (unsigned)form;
    out.push_back(escape);
    out.push_back((uint8_t)(d >= escape ? d + 1 : d));
    if (extended) out.push_back((uint8_t)(lengthBits >> 5));
    size_t value = distance - 1;
    if (form == 0) out.push_back((uint8_t)value);
    if (form == 1) {
        out.push_back((uint8_t)value);
        out.push_back((uint8_t)(value >> 8));
    }
    if (form == 2) {
        out.push_back((uint8_t)value);
        out.push_back((uint8_t)(value >> 8));
        out.push_back((uint8_t)(value >> 16));
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Pack bytes into one LZ block that ExpandKvaLzData turns back into them.
std::vector<uint8_t> EncodeKvaLzBlock(const uint8_t *data, size_t size)
{
    if (size > 0x7FFFFFFFu) throw std::length_error("LZ input too large");
    std::vector<uint8_t> out(Korvo::kKvaLzHeaderSize);
    const uint8_t escape = RarestByte(data, size);
    out[8] = escape;

    std::vector<int32_t> head((size_t)1 << kHashBits, -1);
    std::vector<int32_t> chain(size, -1);
    size_t previousDistance = 0;
    size_t pos = 0;

    auto insert = [&](size_t at) {
        if (at + 4 > size) return;
        uint32_t h = HashPrefix(data + at);
        chain[at] = head[h];
        head[h] = (int32_t)at;
    };

    while (pos < size) {
        size_t bestLength = 0, bestDistance = 0;
        if (pos + Korvo::kKvaLzMinMatch <= size) {
            size_t limit = std::min<size_t>(size - pos, Korvo::kKvaLzMaxMatch);
            // The repeat distance costs no distance bytes: always try it.
            size_t repeat = previousDistance + 1;
            if (repeat <= pos) {
                size_t n = 0;
                while (n < limit && data[pos + n - repeat] == data[pos + n]) n++;
                if (n >= (size_t)Korvo::kKvaLzMinMatch) {
                    bestLength = n;
                    bestDistance = repeat;
                }
            }
            int32_t candidate = head[HashPrefix(data + pos)];
            for (int steps = 0; candidate >= 0 && steps < kMaxChain; steps++) {
                size_t distance = pos - (size_t)candidate;
                if (distance > (size_t)Korvo::kKvaLzMaxDistance) break;
                // A candidate that differs at the best length so far cannot beat it.
                if (bestLength > 0 && (bestLength >= limit || data[candidate + bestLength] != data[pos + bestLength])) {
                    candidate = chain[candidate];
                    continue;
                }
                size_t n = 0;
                while (n < limit && data[candidate + n] == data[pos + n]) n++;
                if (n > bestLength) {
                    bestLength = n;
                    bestDistance = distance;
                    if (n == limit || n >= kGoodEnoughMatch) break;
                }
                candidate = chain[candidate];
            }
        }

        size_t literalCost = 0;
        for (size_t i = 0; i < bestLength; i++) literalCost += data[pos + i] == escape ? 2 : 1;
        if (bestLength >= (size_t)Korvo::kKvaLzMinMatch &&
            (size_t)MatchTokenBytes(bestLength, bestDistance, previousDistance) < literalCost) {
            EmitMatch(out, bestLength, bestDistance, previousDistance, escape);
            previousDistance = bestDistance;
            for (size_t i = 0; i < bestLength; i++) insert(pos + i);
            pos += bestLength;
        } else {
            EmitLiteral(out, data[pos], escape);
            insert(pos);
            pos++;
        }
    }
    PutLe32(out, 0, (uint32_t)size);
    PutLe32(out, 4, (uint32_t)out.size());
    return out;
}
