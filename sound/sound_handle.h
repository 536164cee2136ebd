// Sound handles (kind 3): memory sounds, whose whole PCM sits in up to ten play
// buffers so that one effect can overlap itself, and stream sounds, whose data
// is decoded into one looping ring while they play (stream_sound.h).
#pragma once

#include "core/threads/async_load.h"
#include "core/memory/handle_manager.h"
#include "sound/play_buffer.h"
#include "sound/public_api.h"
#include "sound/sound_decode.h"
#include "sound/sound_system.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kSoundMaxPlayBuffers = 10;
constexpr int kStreamMaxSources = 3;
// Longer memory sounds become stream sounds (seconds).
constexpr int kMemorySoundMaxSeconds = 180;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// One source of a stream sound.
struct StreamSoundSource {
    signed char repeatCount; // -1 forever, n: play n + 1 times
    int kind;                // 0 converted whole, 2 file image in memory, 3 read from the stream
    unsigned char *image;    // kept file image or WAVE image (null for kind 3)
    int imageSize;
    StreamOpsTable stream;
    uintptr_t streamData;
    int loopStartFrame;
    int playLengthLimit;     // frames, -1 = all
    AudioDecodeState decode;
};

struct SoundHandleRecord {
    HandleRecordHeader header;
    HandleChainNode chain3dNode;
    int is3d;
    int changed3d;
    int pauseHandled[kSoundMaxPlayBuffers];
    int pauseWasPlaying[kSoundMaxPlayBuffers];
    PlayBuffer buffers[kSoundMaxPlayBuffers];
    SoundWaveFormat format;
    int isStream;

    // Stream sounds
    HandleChainNode streamNode;
    int lastPlayMode;
    int sharedBufferHandle;  // -1: owns its ring
    int shareCount;
    int bufferUser;          // handle playing through this ring, -1 none
    int deletePending;
    int ringLength;          // bytes
    int writePosition;       // bytes into the ring; -800 = first fill pending
    int safeLimit;           // bytes; -1 before the first fill
    StreamSoundSource sources[kStreamMaxSources];
    unsigned char openedBySystem[kStreamMaxSources];
    int sourceCount;
    int currentSource;
    int repeatCounter;
    int consumedBytes;
    int totalLength;         // frames
    int playPosition;        // bytes of decoded data from the start
    uint32_t lastCursor;
    unsigned char streamPlaying;
    unsigned char endOfData;
    unsigned char wrapPending;
    unsigned char reachedEnd;
    int wrapPosition;
    int endPosition;
    int endCursor;
    int wrapRingPosition;
    // Loop passes: a loop shorter than the refill's lead wraps several times ahead
    // of the cursor, while one wrap is noted at a time.
    int bytesSinceWrap;      // data bytes written since the last wrap; -1 before the first
    int loopPassBytes;       // bytes between the last two wraps (one pass of the loop); 0 unknown
    unsigned char inLoop;    // the cursor has passed a wrap: the position stays within the loop

    // Memory sounds
    int dataBytes;
    unsigned char *pcm;
    int *pcmReferenceCount;
    int bufferHoldsData[kSoundMaxPlayBuffers];
    int bufferCount;
    int currentBuffer;

    int volume;
    int pan;
    int frequency;
    int nextVolume;
    int nextPan;
    int nextFrequency;
    unsigned char nextVolumeSet;
    unsigned char nextPanSet;
    unsigned char nextFrequencySet;
};

// ---------------------------------------------------------------------------
// Public functions (the public operations are in sound/public_api.h)
// ---------------------------------------------------------------------------
// Load with captured settings, at once or as a load job; the handle or -1
int LoadSoundFileWithSettings(SoundCreateSettings *settings, const char *path, int bufferCount, int shareHandle,
                              int async, AsyncLoadJob *jobContext);
// Load a file into an existing handle; 0 or -1
int LoadSoundFileIntoHandle(int shareHandle, int handle, SoundCreateSettings *settings, int anyState,
                            const char *path, int bufferCount);
// Load a whole sound file image into an existing handle; 0 or -1
int LoadSoundDataIntoHandle(int handle, SoundCreateSettings *settings, const void *image, int size, int bufferCount,
                            int shareHandle, int anyState);
// The load job's callback
int RunSoundLoadJob(AsyncLoadJob *job);
// A new empty sound record; the handle or -1
int CreateSoundHandleRecord(int is3d);
// Create the play buffers of a handle; 0 or -1
int CreateSoundHandleBuffers(int shareHandle, const SoundWaveFormat *format, int dataBytes, int isStream,
                             int bufferCount, int handle, int anyState);
// frames * 1000 / rate in 64 bits
int SamplesToMilliseconds(int frames, int rate);
// Copy the current creation settings; out
SoundCreateSettings *CopySoundCreateSettings(SoundCreateSettings *out);
// Kind 3 callbacks
int InitSoundHandleRecord(void *record);
int DeleteSoundHandleCallback(void *record);

// The record of a handle (with anyState, also one still loading), or null
SoundHandleRecord *FindSoundHandleRecord(int handle, int anyState);
// Wait in a play: pump until the sound ends (a pause of the window holds it) or the application ends
void WaitForSoundToEnd(int handle);

} // namespace Korvo
