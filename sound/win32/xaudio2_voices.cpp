// Source voices of both XAudio2 engines for the play buffers, and the voice
// callback that runs the play buffer's refill on the engine thread.

#include "sound/win32/output_backends.h"

#include "core/memory/tracked_alloc.h"
#include "sound/play_buffer.h"

#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr float kMaxFrequencyRatio = 2.0f;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
static K_IXAudio2_28 *Engine28 = nullptr;
static K_IXAudio2_27 *Engine27 = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static SOUNDBUFFER_CALLBACK *NewVoiceCallback(PlayBuffer *owner)
{
    void *memory = KORVO_TRACKED_ALLOC(sizeof(SOUNDBUFFER_CALLBACK));
    if (memory == nullptr) {
        return nullptr;
    }
    SOUNDBUFFER_CALLBACK *callback = new (memory) SOUNDBUFFER_CALLBACK();
    callback->owner = owner;
    return callback;
}

static void DeleteVoiceCallback(void *callback)
{
    if (callback != nullptr) {
        static_cast<SOUNDBUFFER_CALLBACK *>(callback)->~SOUNDBUFFER_CALLBACK();
        TrackedFree(callback);
    }
}

// The operations of one engine version; only voice creation differs.
template <typename Engine, typename Voice, Engine **EnginePointer>
struct VoiceOpsFor {
    static Voice *AsVoice(void *voice) { return static_cast<Voice *>(voice); }

    static int Create(PlayBuffer *owner, const SoundWaveFormat *format, void **voice, void **callback)
    {
        SOUNDBUFFER_CALLBACK *feeder = NewVoiceCallback(owner);
        if (feeder == nullptr || *EnginePointer == nullptr) {
            DeleteVoiceCallback(feeder);
            return -1;
        }
        Voice *created = nullptr;
        HRESULT result = (*EnginePointer)->CreateSourceVoice(&created, reinterpret_cast<const WAVEFORMATEX *>(format),
                                                             0, kMaxFrequencyRatio, feeder, nullptr, nullptr);
        if (FAILED(result) || created == nullptr) {
            DeleteVoiceCallback(feeder);
            return -1;
        }
        *voice = created;
        *callback = feeder;
        return 0;
    }
    static void Destroy(void *voice, void *callback)
    {
        if (voice != nullptr) {
            AsVoice(voice)->DestroyVoice();
        }
        DeleteVoiceCallback(callback);
    }
    static int Start(void *voice) { return FAILED(AsVoice(voice)->Start(0, K_XAUDIO2_COMMIT_NOW)) ? -1 : 0; }
    static int Stop(void *voice) { return FAILED(AsVoice(voice)->Stop(0, K_XAUDIO2_COMMIT_NOW)) ? -1 : 0; }
    static int Submit(void *voice, const void *data, uint32_t bytes, void *context)
    {
        K_XAUDIO2_BUFFER buffer{};
        buffer.AudioBytes = bytes;
        buffer.pAudioData = static_cast<const BYTE *>(data);
        buffer.pContext = context;
        return FAILED(AsVoice(voice)->SubmitSourceBuffer(&buffer, nullptr)) ? -1 : 0;
    }
    static int Flush(void *voice) { return FAILED(AsVoice(voice)->FlushSourceBuffers()) ? -1 : 0; }
    static int SetFrequencyRatio(void *voice, float ratio)
    {
        return FAILED(AsVoice(voice)->SetFrequencyRatio(ratio, K_XAUDIO2_COMMIT_NOW)) ? -1 : 0;
    }
    static int SetChannelVolumes(void *voice, int channels, const float *volumes)
    {
        return FAILED(AsVoice(voice)->SetChannelVolumes(static_cast<UINT32>(channels), volumes, K_XAUDIO2_COMMIT_NOW))
                   ? -1
                   : 0;
    }
    static constexpr VoiceBackendOps Table = {Create, Destroy, Start, Stop, Submit, Flush, SetFrequencyRatio,
                                              SetChannelVolumes};
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Hand the voice what it needs from the play buffer's data
void STDMETHODCALLTYPE SOUNDBUFFER_CALLBACK::OnVoiceProcessingPassStart(UINT32 bytesRequired)
{
    FeedPlayBufferVoice(owner, bytesRequired);
}

// A piece has ended (played or flushed)
void STDMETHODCALLTYPE SOUNDBUFFER_CALLBACK::OnBufferEnd(void *bufferContext)
{
    FinishPlayBufferVoiceBuffer(owner, bufferContext);
}

const VoiceBackendOps XAudio28VoiceOps = VoiceOpsFor<K_IXAudio2_28, K_IXAudio2SourceVoice28, &Engine28>::Table;
const VoiceBackendOps XAudio27VoiceOps = VoiceOpsFor<K_IXAudio2_27, K_IXAudio2SourceVoice27, &Engine27>::Table;

void SetXAudio28Engine(K_IXAudio2_28 *engine)
{
    Engine28 = engine;
}

void SetXAudio27Engine(K_IXAudio2_27 *engine)
{
    Engine27 = engine;
}

} // namespace Korvo
