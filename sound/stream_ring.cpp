// Ring bookkeeping of stream sounds: ownership, use, distances and the play
// position derived from the ring cursor.

#include "sound/stream_ring.h"

#include "sound/stream_sound.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The owner of the ring: the record itself, or the sound it borrows from
SoundHandleRecord *GetStreamRingOwner(SoundHandleRecord *record)
{
    if (record->sharedBufferHandle == -1) {
        return record;
    }
    return FindSoundHandleRecord(record->sharedBufferHandle, 1);
}

// The handle becomes the ring's user
int ClaimStreamBuffer(int handle, SoundHandleRecord *record, int takeOver)
{
    SoundHandleRecord *owner = GetStreamRingOwner(record);
    if (owner == nullptr) {
        return -1;
    }
    if (owner->bufferUser != -1 && owner->bufferUser != handle) {
        if (takeOver == 0) {
            return -1;
        }
        StopStreamSound(owner->bufferUser);
    }
    owner->bufferUser = handle;
    return 0;
}

// A stopped or ended stream is not the pause's to play again
void ClearStreamRingPauseMarks(SoundHandleRecord *owner)
{
    owner->pauseHandled[0] = 0;
    owner->pauseWasPlaying[0] = 0;
}

// Start again from the first source
void ResetStreamPosition(SoundHandleRecord *record)
{
    record->consumedBytes = 0;
    record->playPosition = 0;
    record->wrapPending = 0;
    record->repeatCounter = 0;
    record->currentSource = 0;
    record->streamPlaying = 0;
}

// Forward distance on the ring
int RingDistance(int from, int to, int ringLength)
{
    int distance = (to - from) % ringLength;
    return distance < 0 ? distance + ringLength : distance;
}

// On the forward stretch from..to
int IsOnRingStretch(int position, int from, int to, int ringLength)
{
    return RingDistance(from, position, ringLength) <= RingDistance(from, to, ringLength) ? 1 : 0;
}

// Grow the play position by the cursor's way; a pending wrap takes effect once
// passed, and from then on the position goes round within the loop
void AdvanceStreamPlayPosition(SoundHandleRecord *record, uint32_t cursor)
{
    int ring = record->ringLength;
    int from = static_cast<int>(record->lastCursor);
    int to = static_cast<int>(cursor);
    if (from == to || ring <= 0) {
        return;
    }
    int moved = RingDistance(from, to, ring);
    // Counted in 64 bits and held at the largest int: a high-rate stream of
    // three long sources passes 2 GB of data.
    int64_t position;
    if (record->wrapPending != 0 && RingDistance(from, record->wrapRingPosition, ring) <= moved) {
        position = static_cast<int64_t>(record->wrapPosition) + RingDistance(record->wrapRingPosition, to, ring);
        record->wrapPending = 0;
        record->inLoop = 1;
    } else {
        position = static_cast<int64_t>(record->playPosition) + moved;
    }
    // Wraps written while another was pending were never noted (a loop shorter
    // than the refill's lead): one pass past the loop's start is its start again.
    int64_t loopEnd = static_cast<int64_t>(record->wrapPosition) + record->loopPassBytes;
    if (record->inLoop != 0 && record->loopPassBytes > 0 && position >= loopEnd) {
        position = record->wrapPosition + (position - record->wrapPosition) % record->loopPassBytes;
    }
    record->playPosition = position < INT32_MAX ? static_cast<int>(position) : INT32_MAX;
    record->lastCursor = cursor;
}

} // namespace Korvo
