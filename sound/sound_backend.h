// The sound output back-end as the portable sound code sees it.
//
// Two families exist: voice back-ends (XAudio2 2.8, 2.7/2.6), which pull PCM from
// the library through a voice callback, and buffer back-ends (DirectSound), which
// own the sound memory and play it themselves. The Windows chain fills one of
// these at start-up; tests install their own fakes through the same record.
#pragma once

#include "sound/wave_format.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
enum SoundBackendSelector {
    SOUND_BACKEND_VOICES = 0,  // XAudio2
    SOUND_BACKEND_BUFFERS = 1, // DirectSound
};

// Buffer description flags (the platform's DSBCAPS values).
constexpr uint32_t kBufferFlagStatic = 0x00000002;
constexpr uint32_t kBufferFlagCtrlFrequency = 0x00000020;
constexpr uint32_t kBufferFlagCtrlPan = 0x00000040;
constexpr uint32_t kBufferFlagCtrlVolume = 0x00000080;
constexpr uint32_t kBufferFlagGetCurrentPosition2 = 0x00010000;
constexpr uint32_t kBufferFlagGlobalFocus = 0x00008000;

// Status bit of a playing buffer.
constexpr uint32_t kBufferStatusPlaying = 0x00000001;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct PlayBuffer;

// What a new buffer is to hold.
struct SoundBufferDesc {
    uint32_t flags;
    uint32_t bytes;
    const SoundWaveFormat *format;
};

// A source voice of a voice back-end. Its callback object calls
// FeedPlayBufferVoice and FinishPlayBufferVoiceBuffer (play_buffer.h).
struct VoiceBackendOps {
    // Create a voice for the format fed by the owner; stores the voice and its callback object; 0 or -1
    int (*Create)(PlayBuffer *owner, const SoundWaveFormat *format, void **voice, void **callback);
    // Destroy the voice, then delete the callback object
    void (*Destroy)(void *voice, void *callback);
    int (*Start)(void *voice);
    int (*Stop)(void *voice);
    // Queue bytes of PCM; the context comes back to the buffer-end callback
    int (*Submit)(void *voice, const void *data, uint32_t bytes, void *context);
    int (*Flush)(void *voice);
    int (*SetFrequencyRatio)(void *voice, float ratio);
    int (*SetChannelVolumes)(void *voice, int channels, const float *volumes);
};

// A buffer of a buffer back-end; results are 0 or the platform's failure code.
struct BufferBackendOps {
    int (*Create)(const SoundBufferDesc *desc, void **object);
    void (*Release)(void *object);
    int (*Play)(void *object, int loop);
    int (*Stop)(void *object);
    int (*GetStatus)(void *object, uint32_t *status);
    int (*Lock)(void *object, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2,
                uint32_t *size2);
    int (*Unlock)(void *object, void *part1, uint32_t size1, void *part2, uint32_t size2);
    int (*GetPosition)(void *object, uint32_t *play, uint32_t *write);
    int (*SetPosition)(void *object, uint32_t position);
    int (*SetFrequency)(void *object, int hertz);
    int (*SetPan)(void *object, int pan);
    int (*SetVolume)(void *object, int volume);
};

// The started back-end.
struct SoundBackend {
    int selector;                  // SoundBackendSelector
    const VoiceBackendOps *voice;  // voice back-ends
    const BufferBackendOps *buffer; // buffer back-ends
    // End the device objects; called once at shut-down
    void (*Shutdown)();
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Start the platform's back-end chain (logging each step); 0 with the back-end filled, or -1
int StartPlatformSoundBackend(SoundBackend *backend);

// Test hooks
// Use this back-end instead of the platform chain at the next start (null: the platform chain)
void SetSoundBackendOverride(const SoundBackend *backend);
// Skip the first levels of the platform chain: 0 none, 1 XAudio2 2.8, 2 all XAudio2, 3 everything
void SetSoundBackendSkipLevel(int level);
int GetSoundBackendSkipLevel();

} // namespace Korvo
