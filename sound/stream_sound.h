// Stream sounds: up to three sources decoded one after another into a looping
// ring of one second, kept ahead of the play cursor by the refill step.
#pragma once

#include "sound/sound_handle.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Write position of a ring whose first fill is pending.
constexpr int kStreamFirstFillPending = -800;

// Source kinds
enum StreamSourceKind {
    STREAM_SOURCE_CONVERTED = 0,
    STREAM_SOURCE_IMAGE = 2,
    STREAM_SOURCE_STREAM = 3,
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Add a source read through a stream; 0 or -1
int AddSreamSound(SoundCreateSettings *settings, const StreamOpsTable *stream, uintptr_t streamData,
                  signed char repeatCount, int handle, int kind, int *keepsInput, int shareHandle, int anyState);
// Add a file as a source; 0 or -1
int AddStreamSoundFromFile(SoundCreateSettings *settings, const char *path, signed char repeatCount, int handle,
                           int kind, int shareHandle, int anyState);
// Add a file image in memory as a source; 0 or -1
int AddStreamSoundFromMemory(SoundCreateSettings *settings, const void *image, int size, signed char repeatCount,
                             int handle, int kind, int shareHandle, int anyState);
// Prime the ring (first fill) of a stopped stream sound; 0 (also for an invalid handle), -1 when down
int StartStreamPlayback(int handle, int anyState);
// Play a stream sound; 0 or -1
int PlayStreamSound(int handle, int mode, int fromStart);
// Stop a stream sound where it stands; 0 or -1
int StopStreamSound(int handle);
// 1 while the ring plays for this sound, else 0
int IsStreamSoundPlaying(int handle);
// 1 while a pause holds the ring that played for this sound, else 0
int IsStreamSoundHeldByPause(int handle);
// One refill step; 0, or -1 when the ring has no room yet
int RefillStreamSound(int handle, int anyState);
// Refill every playing stream sound; 0, or -1 when down
int RefillAllStreamSounds();
// Play position in milliseconds, or -1
int GetStreamPlayPositionMs(int handle);
// Bring the play position up to date from a cursor (or the buffer's, with -1)
void UpdateStreamPlayPosition(int handle, int64_t cursor, int anyState);
// The ring buffer a stream sound plays through (its own or the one it borrows), or null
PlayBuffer *GetStreamRingBuffer(SoundHandleRecord *record);
// Leave the stream chain and free every source; 0
int ReleaseStreamSources(SoundHandleRecord *record);

} // namespace Korvo
