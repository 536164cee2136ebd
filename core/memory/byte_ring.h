// A growable ring buffer of bytes (soft-sound players, network queues).
//
// Callers write into the ring themselves: after ReserveByteRing has made room
// they copy at writePosition (splitting the copy at the buffer end), advance
// writePosition and add to heldBytes. A position equal to bufferSize means 0.
#pragma once

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct ByteRing {
    unsigned char *buffer; // tracked allocation, null while empty
    int readPosition;
    int writePosition;
    int heldBytes;
    int bufferSize;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Empty the record (no buffer); 0
int InitByteRing(ByteRing *ring);
// Free the buffer and zero the record; 0
int FreeByteRing(ByteRing *ring);
// Copy count bytes from the read position, consuming them unless peek;
// -1 (nothing copied) when fewer are held, else 0
int TakeFromByteRing(ByteRing *ring, void *dest, int count, int peek);
// Make room for extra more bytes, growing the buffer when needed; -1 (ring
// unchanged, failure logged) when it cannot grow, else 0
int ReserveByteRing(ByteRing *ring, int extra);

} // namespace Korvo
