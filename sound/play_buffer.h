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

// Over a voice back-end two threads share a buffer: the program's side (the
// main thread, or the stream thread under the sound lock) plays, stops and
// moves it; the engine thread feeds the voice and sees the pieces end. Each
// move starts a new play number. Pieces carry the number of the play that
// handed them over, so the engine can tell the ends of an earlier play's
// pieces (flushed, or handed over by a pass that was under way during the
// move) from its own. The words marked "shared" are read and written
// atomically; "engine" words belong to the engine thread alone.
struct PlayBuffer {
    int valid;
    void *platformObject;       // the platform buffer or source voice
    void *submixVoice;          // 3-D sounds only
    void *reverbEffect;         // 3-D sounds only
    void *callback;             // the voice callback object (voice back-ends)
    SharedPcmBlock *pcm;        // voice back-ends
    uint32_t playState;         // shared: play number << 1, bit 0 while playing
    int startFrame;             // shared: where the current play number starts
    int playPosition;           // shared: frames played of play number positionPlay
    uint32_t positionPlay;      // shared
    uint32_t feedPlay;          // engine: the play number being fed
    int submitPosition;         // engine: frames; the next frame to hand over
    int queuedPieces;           // engine: pieces of feedPlay handed over, not played yet
    int allSubmitted;           // engine: a non-looping feedPlay handed over its last frame
    int loop;                   // shared
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
// non-looping play whose last frame was handed over ends once it has played
void FeedPlayBufferVoice(PlayBuffer *buffer, uint32_t bytesRequired);
// A piece handed over with context has ended (played or flushed): for a piece
// of the current play the play position catches up with the submit position,
// and a play whose data has all played ends
void FinishPlayBufferVoiceBuffer(PlayBuffer *buffer, void *context);

} // namespace Korvo
