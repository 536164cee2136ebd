// Ring bookkeeping shared by the stream sound steps: who owns and who uses a
// ring, distances on the ring, and the play position kept from its cursor.
#pragma once

#include "sound/sound_handle.h"

namespace Korvo {

// The record that owns the ring a stream sound plays through, or null
SoundHandleRecord *GetStreamRingOwner(SoundHandleRecord *record);
// Make the handle the ring's user; another user is stopped with takeOver, else -1; 0
int ClaimStreamBuffer(int handle, SoundHandleRecord *record, int takeOver);
// Forget what a pause did to the ring (of its owner): a resume leaves it stopped
void ClearStreamRingPauseMarks(SoundHandleRecord *owner);
// Back to the start of the first source (positions, counters, stream-playing flag)
void ResetStreamPosition(SoundHandleRecord *record);
// Bytes from one ring position forward to another
int RingDistance(int from, int to, int ringLength);
// 1 when position lies on the stretch going forward from 'from' to 'to' (both included)
int IsOnRingStretch(int position, int from, int to, int ringLength);
// Advance the play position by the cursor's movement since the last call
void AdvanceStreamPlayPosition(SoundHandleRecord *record, uint32_t cursor);

} // namespace Korvo
