// The library's LZ block format (KVA members and the built-in shader archives).
#pragma once

#include <cstddef>

namespace Korvo {

// Bytes of the block header: decoded size, block size, escape byte.
constexpr int kKvaLzHeaderSize = 9;
// Longest match a token can describe, and the farthest distance.
constexpr int kKvaLzMaxMatch = 8195;
constexpr int kKvaLzMinMatch = 4;
constexpr int kKvaLzMaxDistance = 1 << 24;

// Decode a block whose header sizes are trusted; out null only sizes it.
// Returns the decoded size, or -1 for a block whose tokens are corrupt.
int ExpandKvaLzData(const void *block, void *out);
// Decode a block of at most blockBytes into at most outCapacity bytes; -1 when the
// block is corrupt, runs past blockBytes or would decode past outCapacity.
int ExpandKvaLzDataBounded(const void *block, size_t blockBytes, void *out, size_t outCapacity);

}  // namespace Korvo
