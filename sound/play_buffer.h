// Play buffers: the one object through which every sound reaches the back-end.
//
// Over a buffer back-end a PlayBuffer wraps the platform's sound buffer; over a
// voice back-end it wraps a source voice that its callback object feeds, in
// steps of at most 1/60 s, from a reference-counted PCM block used as a ring.
// The operations below hide the difference.
#pragma once

#include "sound/sound_backend.h"
#include "sound/wave_format.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// PCM shared by the play buffers of one sound (voice back-ends).
struct SharedPcmBlock {
    unsigned char *data; // 16-byte aligned, inside the same tracked block
    int size;
    int referenceCount;
};

struct PlayBuffer {
    int valid;
    void *platformObject;       // the platform buffer or source voice
    void *submixVoice;          // 3-D sounds only
    void *reverbEffect;         // 3-D sounds only
    void *callback;             // the voice callback object (voice back-ends)
    SharedPcmBlock *pcm;        // voice back-ends
    volatile int playing;       // voice back-ends: between play and stop
    volatile int playPosition;  // frames; voice back-ends
    volatile int submitPosition; // frames; voice back-ends: the next frame to hand over
    volatile int queuedPieces;   // voice back-ends: submitted pieces not played yet
    volatile int allSubmitted;   // voice back-ends: a non-looping buffer handed over its last frame
    int loop;
    int pan;                    // 1/100 dB, -10000..10000
    int volume;                 // 1/100 dB, -10000..0
    int frequency;              // Hz, -1 = the data's own rate
    int length;                 // frames
    SoundWaveFormat format;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Create a buffer from a description, or sharing another buffer's data; 0 or -1
int CreatePlayBuffer(PlayBuffer *buffer, const SoundBufferDesc *desc, PlayBuffer *shared, int is3d);
// Release the platform objects and the data reference; 0 or -1
int ReleasePlayBuffer(PlayBuffer *buffer);
// Play (looping when loop is non-zero); 0, or the platform's failure code
int PlayPlayBuffer(PlayBuffer *buffer, int loop);
// Stop; 0 or -1
int StopPlayBuffer(PlayBuffer *buffer);
// Bit 0 of *status set while playing; 0 or -1
int GetPlayBufferStatus(PlayBuffer *buffer, uint32_t *status);
// Two-part view of bytes from offset in the buffer's ring; 0 or -1
int LockPlayBuffer(int offset, PlayBuffer *buffer, int bytes, void **part1, uint32_t *size1, void **part2,
                   uint32_t *size2);
// End a lock; 0 or -1
int UnlockPlayBuffer(PlayBuffer *buffer, uint32_t size2, void *part1, uint32_t size1, void *part2);
// Write and play cursors in bytes; 0 or -1
int GetPlayBufferPosition(PlayBuffer *buffer, int *writePosition, uint32_t *playPosition);
// Move the play cursor to a byte position; 0 or -1
int SetPlayBufferPosition(int bytePosition, PlayBuffer *buffer);
// Play at hertz (0: the data's own rate); 0 or -1
int SetPlayBufferFrequency(PlayBuffer *buffer, int hertz);
// Pan in 1/100 dB, clamped to -10000..10000; 0 or -1
int SetPlayBufferPan(int pan, PlayBuffer *buffer);
// Volume in 1/100 dB, clamped to -10000..0; 0 or -1
int SetPlayBufferVolume(PlayBuffer *buffer, int volume);
// 10 ^ (dB / 20)
float DecibelsToAmplitude(float decibels);

// Voice callbacks (run on the voice back-end's engine thread)
// Hand the voice at least bytesRequired bytes from the submit position on; a
// non-looping buffer whose last frame was handed over stops once it has played
void FeedPlayBufferVoice(PlayBuffer *buffer, uint32_t bytesRequired);
// A submitted piece has been played: the play position catches up with the
// submit position, and a buffer whose data has all played stops
void FinishPlayBufferVoiceBuffer(void *context);

} // namespace Korvo
