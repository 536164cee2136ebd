// Fake sound back-ends for the sound tests: a recording voice back-end whose
// engine the test drives, and a buffer back-end with its own memory and a play
// cursor the test moves. Plus generated WAVE files, and a stream whose bytes
// hold back until they are let through.
#pragma once

#include "core/streams/stream_table.h"
#include "sound/sound_backend.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace SoundFakes {

// A piece handed to a voice, with the context its end reports.
struct FakePiece {
    const uint8_t *data;
    uint32_t bytes;
    void *context;
};

// One source voice of the recording back-end. Like the platform's, its engine
// reports the end of every piece, also of those a flush removed, and a stop or
// a flush does not wait for a pass that is under way. Its engine may run on a
// thread of its own: the voice's lists are kept under its lock, the callbacks
// run outside it.
struct FakeVoice {
    std::recursive_mutex lock;
    Korvo::PlayBuffer *owner;
    Korvo::SoundWaveFormat format;
    bool started = false;
    float ratio = 1.0f;
    std::vector<float> volumes;
    std::vector<uint8_t> captured;   // every byte played, in order
    std::vector<FakePiece> queued;   // submitted, not played yet
    std::vector<void *> flushed;     // contexts of flushed pieces whose end is still to be reported
    std::function<void()> onSubmit;  // run once after the next submit, as if from another thread
};

// One buffer of the buffer back-end.
struct FakeBuffer {
    uint32_t flags;
    std::vector<uint8_t> memory;
    uint32_t cursor = 0;
    bool playing = false;
    bool looping = false;
    int frequency = 0;
};

// Voice back-end whose engine runs only when the test pulls.
const Korvo::SoundBackend *VoiceBackend();
// Buffer back-end; buffers asking for any of rejectFlags fail to be created.
const Korvo::SoundBackend *BufferBackend();
extern uint32_t RejectFlags;

extern std::vector<FakeVoice *> Voices;    // live voices, in creation order
extern std::vector<FakeBuffer *> Buffers;  // live buffers, in creation order
extern std::vector<uint32_t> CreatedFlags; // flags of every buffer creation attempt
extern int ShutdownCount;
// Cursor reads of buffers sleep this long (a refill caught in the middle).
extern std::atomic<int> PositionDelayMs;
// Cursor reads in progress now, and at the moment the back-end was shut down.
extern std::atomic<int> CursorReadsInside;
extern int CursorReadsInsideAtShutdown;

// One engine pass of a voice: ask for bytes, report the ends of flushed pieces,
// then play out what is queued while the voice stays started.
void PullVoice(FakeVoice *voice, uint32_t bytes);
// The parts of a pass, for an engine the test steps: report the ends of the
// flushed pieces; play the oldest queued piece and report its end (false when
// the voice is stopped or has nothing queued).
void ReportFlushedEnds(FakeVoice *voice);
bool PlayOldestPiece(FakeVoice *voice);
// Move a buffer's cursor by bytes (wrapping); returns the bytes passed over when it plays.
std::vector<uint8_t> AdvanceBuffer(FakeBuffer *buffer, uint32_t bytes);

// Start the sound system over a fake back-end (one processor: no stream thread unless asked).
int StartWith(const Korvo::SoundBackend *backend, int processors = 1);
// End the sound system and clear the fakes.
void Stop();

// A file image read through a stream whose bytes from heldFrom on hold back:
// while held, reads of them give nothing (an input that has not all arrived).
// The reads refused are counted; past giveAfter of them the bytes come.
struct HeldBackStream {
    std::vector<uint8_t> image;
    int heldFrom = 0;
    bool held = true;
    int refusedReads = 0;
    int giveAfter = INT32_MAX;
    int position = 0;
};
// The operations; the data word is a HeldBackStream pointer
const Korvo::StreamOpsTable *HeldBackStreamOps();

// PCM of a sine wave (16-bit), and a WAVE file image around PCM.
std::vector<uint8_t> SinePcm16(int rate, int channels, double seconds, double hertz);
std::vector<uint8_t> WaveImage(const Korvo::SoundWaveFormat &format, const std::vector<uint8_t> &pcm,
                               const std::vector<std::vector<uint8_t>> &chunksBefore = {});
// Write bytes to a file in the working folder; its path.
std::string WriteFile(const std::string &name, const std::vector<uint8_t> &bytes);

} // namespace SoundFakes
