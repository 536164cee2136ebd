// The sound output system: start-up over the back-end chain, the three sound
// handle kinds, the stream thread, pause and resume, and shut-down.

#include "sound/sound_system.h"

#include "core/log/error_log.h"
#include "core/threads/section_lock.h"
#include "sound/play_buffer.h"
#include "sound/soft_sound.h"
#include "sound/sound_handle.h"
#include "sound/sound_platform.h"
#include "sound/stream_sound.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr unsigned kShutdownPollMs = 2;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
SoundSystemState SoundSystem;

static const SoundBackend *BackendOverride = nullptr;
static int BackendSkipLevel = 0;
static int ProcessorCountOverride = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ProcessorCount()
{
    return ProcessorCountOverride > 0 ? ProcessorCountOverride : GetSoundMachineProcessorCount();
}

// Every 10 ms: refill the stream sounds under the sound lock, then the soft-sound
// players under the soft-sound lock (never both locks at once).
static void SoundStreamThreadProc(ThreadRecord *record, int userData)
{
    (void)record;
    (void)userData;
    if (SoundSystem.streamThreadStop.load() != STREAM_THREAD_STOP_REQUESTED) {
        while (SoundSystem.initialised != 0) {
            AcquireSectionLock(GetSoundLock());
            RefillAllStreamSounds();
            ReleaseSectionLock(GetSoundLock());

            AcquireSectionLock(GetSoftSoundLock());
            if (SoundSystem.deviceReady != 0) {
                RefillPlayingSoftSoundPlayers();
            }
            ReleaseSectionLock(GetSoftSoundLock());

            SleepMilliseconds(kStreamThreadPeriodMs);
            if (SoundSystem.streamThreadStop.load() == STREAM_THREAD_STOP_REQUESTED) {
                break;
            }
        }
    }
    SoundSystem.streamThreadStop.store(STREAM_THREAD_STOPPED);
}

// Tell the stream thread to stop and wait for its answer. The pump keeps the
// window alive while it answers; once the pump reports the end of the
// application the wait goes on without it: the thread may be inside a refill
// that holds the sound lock, which the kinds' unregistration is about to delete.
static void StopStreamThread()
{
    if (HasThreadHandle(&SoundSystem.streamThread) == 0) {
        return;
    }
    SoundSystem.streamThreadStop.store(STREAM_THREAD_STOP_REQUESTED);
    bool pumping = true;
    while (SoundSystem.streamThreadStop.load() == STREAM_THREAD_STOP_REQUESTED) {
        if (pumping && PumpMessagesForSound() != 0) {
            pumping = false;
        }
        SleepMilliseconds(kShutdownPollMs);
    }
    CloseThreadRecord(&SoundSystem.streamThread);
}

// Start the stream thread suspended, raise it to time-critical, let it run.
static void StartStreamThread()
{
    SoundSystem.streamThreadStop.store(STREAM_THREAD_RUNNING);
    if (CreateThreadRecord(&SoundSystem.streamThread, SoundStreamThreadProc, 0) != 0) {
        SoundSystem.streamThread.threadHandle = nullptr;
        return;
    }
    RaiseSoundThreadPriority(&SoundSystem.streamThread);
    ResumeThreadRecord(&SoundSystem.streamThread);
}

static int RegisterSoundKinds()
{
    if (RegisterHandleType(HANDLE_KIND_SOUND, sizeof(SoundHandleRecord), kSoundHandleMaxCount, InitSoundHandleRecord,
                           DeleteSoundHandleCallback, "サウンド") != 0) {
        return -1;
    }
    if (RegisterHandleType(HANDLE_KIND_SOFT_SOUND, GetSoftSoundRecordSize(), kSoftSoundHandleMaxCount, nullptr,
                           DeleteSoftSoundCallback, "ソフトサウンド") != 0) {
        UnregisterHandleType(HANDLE_KIND_SOUND);
        return -1;
    }
    if (RegisterHandleType(HANDLE_KIND_MUSIC, GetMusicRecordSize(), kMusicHandleMaxCount, InitMusicRecord,
                           DeleteMusicCallback, "ミュージック") != 0) {
        UnregisterHandleType(HANDLE_KIND_SOFT_SOUND);
        UnregisterHandleType(HANDLE_KIND_SOUND);
        return -1;
    }
    InitHandleChain(&SoundSystem.chain3dHead, &SoundSystem.chain3dTail);
    InitHandleChain(&SoundSystem.streamChainHead, &SoundSystem.streamChainTail);
    InitHandleChain(&SoundSystem.softPlayerHead, &SoundSystem.softPlayerTail);
    return 0;
}

// Stop or restart one buffer for a pause or a resume; the two marks remember what the pause did.
static void PauseOneBuffer(PlayBuffer *buffer, int *handled, int *wasPlaying, int pause)
{
    if (buffer->valid == 0 || buffer->platformObject == nullptr) {
        return;
    }
    if (pause != 0) {
        if (*handled != 0) {
            return;
        }
        uint32_t status = 0;
        if (GetPlayBufferStatus(buffer, &status) != 0) {
            return;
        }
        *handled = 1;
        *wasPlaying = (status & kBufferStatusPlaying) != 0 ? 1 : 0;
        if (*wasPlaying != 0) {
            StopPlayBuffer(buffer);
        }
    } else {
        if (*handled != 0 && *wasPlaying != 0) {
            PlayPlayBuffer(buffer, buffer->loop);
        }
        *handled = 0;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Choose the back-end, register the kinds and start the stream thread
int InitSoundOutputSystem()
{
    if (SoundSystem.initialised != 0 || SoundSystem.deviceReady != 0) {
        return -1;
    }
    if (SoundSystem.outputSampleRate == 0) {
        SoundSystem.outputSampleRate = kDefaultOutputSampleRate;
    }
    SoundBackend backend{};
    if (BackendOverride != nullptr) {
        backend = *BackendOverride;
    } else if (StartPlatformSoundBackend(&backend) != 0) {
        return -1;
    }
    SoundSystem.backend = backend;
    SoundSystem.deviceReady = 1;

    SoundSystem.createSettings = SoundCreateSettings{};
    SoundSystem.createSettings.dataKind = 0;
    SoundSystem.createSettings.oggBytesPerSample = 2;

    if (RegisterSoundKinds() != 0) {
        SoundSystem.backend.Shutdown();
        SoundSystem.deviceReady = 0;
        return -1;
    }
    SoundSystem.initialised = 1;

    SoundSystem.streamThread = ThreadRecord{};
    if (ProcessorCount() > 1) {
        StartStreamThread();
    }

    if (backend.selector == SOUND_BACKEND_BUFFERS) {
        AppendLogText("DirectSound の初期化は正常に終了しました\n");
    } else {
        DecreaseLogIndent();
        AppendLogText("XAudio2 の初期化は正常に終了しました\n");
    }
    return 0;
}

// Stop the thread, delete every record, end the back-end
int TermSoundOutputSystem()
{
    if (SoundSystem.initialised == 0 || SoundSystem.deviceReady == 0) {
        return -1;
    }
    StopStreamThread();

    DeleteHandlesOfType(HANDLE_KIND_SOUND, nullptr);
    DeleteSoftSoundRecords();
    DeleteHandlesOfType(HANDLE_KIND_MUSIC, nullptr);
    UnregisterHandleType(HANDLE_KIND_SOUND);
    UnregisterHandleType(HANDLE_KIND_SOFT_SOUND);
    UnregisterHandleType(HANDLE_KIND_MUSIC);

    SoundSystem.backend.Shutdown();
    SoundSystem.deviceReady = 0;
    SoundSystem.initialised = 0;
    return 0;
}

// Pause or resume every buffer of every sound handle
int SetSoundHandlesPaused(int pause)
{
    if (SoundSystem.initialised == 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_SOUND];
    AcquireSectionLock(&entry.lock);
    for (HandleChainNode *node = entry.chainHead.next; node != &entry.chainTail; node = node->next) {
        SoundHandleRecord *record = static_cast<SoundHandleRecord *>(node->data);
        for (int i = 0; i < kSoundMaxPlayBuffers; ++i) {
            PauseOneBuffer(&record->buffers[i], &record->pauseHandled[i], &record->pauseWasPlaying[i], pause);
        }
    }
    ReleaseSectionLock(&entry.lock);
    return 0;
}

// 1 while up
int IsSoundSystemUp()
{
    return SoundSystem.initialised != 0 && SoundSystem.deviceReady != 0 ? 1 : 0;
}

CRITICAL_SECTION *GetSoundLock()
{
    return &HandleTypeTable[HANDLE_KIND_SOUND].lock;
}

CRITICAL_SECTION *GetSoftSoundLock()
{
    return &HandleTypeTable[HANDLE_KIND_SOFT_SOUND].lock;
}

void SetSoundBackendOverride(const SoundBackend *backend)
{
    BackendOverride = backend;
}

void SetSoundBackendSkipLevel(int level)
{
    BackendSkipLevel = level;
}

int GetSoundBackendSkipLevel()
{
    return BackendSkipLevel;
}

void SetSoundProcessorCountOverride(int count)
{
    ProcessorCountOverride = count;
}

int GetStreamThreadStopWord()
{
    return SoundSystem.streamThreadStop.load();
}

int HasStreamThreadHandle()
{
    return HasThreadHandle(&SoundSystem.streamThread);
}

} // namespace Korvo
