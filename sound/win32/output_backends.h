// The Windows sound back-ends tried by the start-up chain, in its order.
#pragma once

#include "sound/sound_backend.h"
#include "sound/win32/k_xaudio2.h"

namespace Korvo {

// The voice callback object of one play buffer: the engine thread's refill.
class SOUNDBUFFER_CALLBACK : public K_IXAudio2VoiceCallback {
public:
    PlayBuffer *owner;

    void STDMETHODCALLTYPE OnVoiceProcessingPassStart(UINT32 bytesRequired) override;
    void STDMETHODCALLTYPE OnVoiceProcessingPassEnd() override {}
    void STDMETHODCALLTYPE OnStreamEnd() override {}
    void STDMETHODCALLTYPE OnBufferStart(void *) override {}
    void STDMETHODCALLTYPE OnBufferEnd(void *bufferContext) override;
    void STDMETHODCALLTYPE OnLoopEnd(void *) override {}
    void STDMETHODCALLTYPE OnVoiceError(void *, HRESULT) override {}
};

// Voice operations over a 2.8 engine, or over a 2.7/2.6 engine.
extern const VoiceBackendOps XAudio28VoiceOps;
extern const VoiceBackendOps XAudio27VoiceOps;
// The engines the voice operations create their voices on.
void SetXAudio28Engine(K_IXAudio2_28 *engine);
void SetXAudio27Engine(K_IXAudio2_27 *engine);

// Start XAudio2 2.8 ("XAudio2_8.dll"); 0, 1 when the module is missing, -1 on failure
int StartXAudio28Output(SoundBackend *backend, int skipModule);
// Start XAudio2 2.7/2.6 through COM with X3DAudio; 0 or -1
int StartXAudio27Output(SoundBackend *backend, int skipClasses);
// Start DirectSound through COM; 0 or -1
int StartDirectSoundOutput(SoundBackend *backend, int skipClass);

} // namespace Korvo
