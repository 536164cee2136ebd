// The sound output system's shared state: the chosen back-end, the creation
// settings, the record chains, the stream thread and the two locks.
#pragma once

#include "core/memory/handle_manager.h"
#include "core/threads/thread_record.h"
#include "sound/sound_backend.h"

#include <atomic>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kSoundHandleMaxCount = 32768;
constexpr int kSoftSoundHandleMaxCount = 8192;
constexpr int kMusicHandleMaxCount = 256;
constexpr int kDefaultOutputSampleRate = 44100;
constexpr unsigned kStreamThreadPeriodMs = 10;

// Stop word of the stream thread.
enum StreamThreadStopWord {
    STREAM_THREAD_RUNNING = 0,
    STREAM_THREAD_STOP_REQUESTED = 1,
    STREAM_THREAD_STOPPED = 2,
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// Settings captured when a sound is created.
struct SoundCreateSettings {
    int is3d;
    int dataKind;          // 0 decode whole, 2 keep the file image and stream it, 3 stream from the file
    int readerDisableMask;
    int oggBytesPerSample;
    int secondDecoder;
};

struct SoundSystemState {
    int initialised;
    int deviceReady; // the back-end's device objects exist
    SoundBackend backend;
    int outputSampleRate;
    int midiMode;
    SoundCreateSettings createSettings;
    HandleChainNode chain3dHead, chain3dTail;
    HandleChainNode streamChainHead, streamChainTail;
    HandleChainNode softPlayerHead, softPlayerTail;
    ThreadRecord streamThread;
    std::atomic<int> streamThreadStop;
};

extern SoundSystemState SoundSystem;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Start the back-end, the handle kinds 3, 4, 5 and the stream thread; 0, or -1
int InitSoundOutputSystem();
// Stop the stream thread, delete every sound record and end the back-end; 0 or -1
int TermSoundOutputSystem();
// 1 pauses every playing sound buffer, 0 restarts the ones the pause stopped; 0 or -1
int SetSoundHandlesPaused(int pause);
// 1 while the system is up
int IsSoundSystemUp();
// The sound lock (kind 3's section) and the soft-sound lock (kind 4's section)
CRITICAL_SECTION *GetSoundLock();
CRITICAL_SECTION *GetSoftSoundLock();

// Test hooks
// Logical processors to act on (0: the machine's)
void SetSoundProcessorCountOverride(int count);
// The stream thread's stop word; 1 while the thread handle is open
int GetStreamThreadStopWord();
int HasStreamThreadHandle();

} // namespace Korvo
