// A growable ring buffer of bytes.
//
// Growth moves the held bytes, unwrapped, to the start of a larger buffer.
#include "core/memory/byte_ring.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// A position at the buffer end means the buffer start.
static void FoldPositions(ByteRing *ring)
{
    if (ring->readPosition == ring->bufferSize)
        ring->readPosition = 0;
    if (ring->writePosition == ring->bufferSize)
        ring->writePosition = 0;
}

// Copy count held bytes from the read position, wrapping at the buffer end.
static void CopyOutFromRead(const ByteRing *ring, unsigned char *dest, int count)
{
    const int toEnd = ring->bufferSize - ring->readPosition;
    if (count > toEnd) {
        std::memcpy(dest, ring->buffer + ring->readPosition, static_cast<size_t>(toEnd));
        std::memcpy(dest + toEnd, ring->buffer, static_cast<size_t>(count - toEnd));
    } else if (count > 0) {
        std::memcpy(dest, ring->buffer + ring->readPosition, static_cast<size_t>(count));
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Empty the record
int InitByteRing(ByteRing *ring)
{
    ring->buffer = nullptr;
    ring->readPosition = 0;
    ring->writePosition = 0;
    ring->heldBytes = 0;
    ring->bufferSize = 0;
    return 0;
}

// Free the buffer and zero the record
int FreeByteRing(ByteRing *ring)
{
    if (ring->buffer != nullptr)
        TrackedFree(ring->buffer);
    return InitByteRing(ring);
}

// Copy count bytes from the read position, consuming them unless peek
int TakeFromByteRing(ByteRing *ring, void *dest, int count, int peek)
{
    if (count < 0 || ring->heldBytes < count)
        return -1;
    FoldPositions(ring);
    CopyOutFromRead(ring, static_cast<unsigned char *>(dest), count);
    if (!peek) {
        ring->readPosition += count;
        if (ring->readPosition > ring->bufferSize)
            ring->readPosition -= ring->bufferSize;
        ring->heldBytes -= count;
    }
    return 0;
}

// Make room for extra more bytes, growing the buffer when needed
int ReserveByteRing(ByteRing *ring, int extra)
{
    FoldPositions(ring);
    const int64_t wanted = static_cast<int64_t>(ring->heldBytes) + extra;
    if (ring->bufferSize >= wanted)
        return 0;

    const int64_t newSize = static_cast<int64_t>(extra) + static_cast<int64_t>(ring->heldBytes) * 3 / 2 + 1000;
    unsigned char *grown = nullptr;
    if (newSize <= INT_MAX)
        grown = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(newSize)));
    if (grown == nullptr) {
        // NOTE: the held bytes stay where they are; the caller decides what to drop.
        const int reported = newSize <= INT_MAX ? static_cast<int>(newSize) : INT_MAX;
        return AppendLogLineFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)", reported);
    }

    CopyOutFromRead(ring, grown, ring->heldBytes);
    if (ring->buffer != nullptr)
        TrackedFree(ring->buffer);
    ring->buffer = grown;
    ring->bufferSize = static_cast<int>(newSize);
    ring->readPosition = 0;
    ring->writePosition = ring->heldBytes;
    return 0;
}

} // namespace Korvo
