// The library's own declarations of the XAudio2 interfaces it calls, for the
// 2.7 engine (created through COM) and the 2.8 engine ("XAudio2_8.dll"), whose
// engine vtables differ. Declared from the published ABI: COM-style classes
// whose virtual functions sit in the platform's slot order.
#pragma once

#include <windows.h>
#include <mmreg.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr UINT32 K_XAUDIO2_ANY_PROCESSOR = 0xffffffffu;
constexpr UINT32 K_XAUDIO2_DEFAULT_CHANNELS = 0;
constexpr UINT32 K_XAUDIO2_COMMIT_NOW = 0;
constexpr int K_AudioCategory_GameEffects = 6;
constexpr int K_X3DAUDIO_HANDLE_BYTESIZE = 20;

// CLSIDs of the COM engines and the engine interface they hand out.
constexpr GUID K_CLSID_XAudio2_7 = {0x5a508685, 0xa254, 0x4fba, {0x9b, 0x82, 0x9a, 0x24, 0xb0, 0x03, 0x06, 0xaf}};
constexpr GUID K_CLSID_XAudio2_6 = {0x3eda9b49, 0x2085, 0x498b, {0x9b, 0xb2, 0x39, 0xa6, 0x77, 0x84, 0x93, 0xde}};
constexpr GUID K_IID_IXAudio2_7 = {0x8bcf1f58, 0x9fe7, 0x4583, {0x8a, 0xc6, 0xe2, 0xad, 0xc4, 0x65, 0xc8, 0xbb}};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
typedef BYTE K_X3DAUDIO_HANDLE[K_X3DAUDIO_HANDLE_BYTESIZE];

// The engine's records are tightly packed (no padding on 64-bit Windows either).
#pragma pack(push, 1)
struct K_XAUDIO2_BUFFER {
    UINT32 Flags;
    UINT32 AudioBytes;
    const BYTE *pAudioData;
    UINT32 PlayBegin;
    UINT32 PlayLength;
    UINT32 LoopBegin;
    UINT32 LoopLength;
    UINT32 LoopCount;
    void *pContext;
};

// Device description of the 2.7 engine (GetDeviceDetails).
struct K_XAUDIO2_DEVICE_DETAILS {
    WCHAR DeviceID[256];
    WCHAR DisplayName[256];
    UINT32 Role;
    WAVEFORMATEXTENSIBLE OutputFormat;
};
#pragma pack(pop)

// The voice callback (the same in both versions; no IUnknown base).
class K_IXAudio2VoiceCallback {
public:
    virtual void STDMETHODCALLTYPE OnVoiceProcessingPassStart(UINT32 bytesRequired) = 0;
    virtual void STDMETHODCALLTYPE OnVoiceProcessingPassEnd() = 0;
    virtual void STDMETHODCALLTYPE OnStreamEnd() = 0;
    virtual void STDMETHODCALLTYPE OnBufferStart(void *bufferContext) = 0;
    virtual void STDMETHODCALLTYPE OnBufferEnd(void *bufferContext) = 0;
    virtual void STDMETHODCALLTYPE OnLoopEnd(void *bufferContext) = 0;
    virtual void STDMETHODCALLTYPE OnVoiceError(void *bufferContext, HRESULT error) = 0;
};

// The voice methods (the same 19 slots in both versions).
class K_IXAudio2Voice {
public:
    virtual void STDMETHODCALLTYPE GetVoiceDetails(void *voiceDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputVoices(const void *sendList) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEffectChain(const void *effectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnableEffect(UINT32 effectIndex, UINT32 operationSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisableEffect(UINT32 effectIndex, UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetEffectState(UINT32 effectIndex, BOOL *enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEffectParameters(UINT32 effectIndex, const void *parameters,
                                                          UINT32 parametersBytes, UINT32 operationSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEffectParameters(UINT32 effectIndex, void *parameters,
                                                          UINT32 parametersBytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFilterParameters(const void *parameters, UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetFilterParameters(void *parameters) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputFilterParameters(K_IXAudio2Voice *destination, const void *parameters,
                                                                UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetOutputFilterParameters(K_IXAudio2Voice *destination, void *parameters) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVolume(float volume, UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetVolume(float *volume) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetChannelVolumes(UINT32 channels, const float *volumes,
                                                        UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetChannelVolumes(UINT32 channels, float *volumes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputMatrix(K_IXAudio2Voice *destination, UINT32 sourceChannels,
                                                      UINT32 destinationChannels, const float *levelMatrix,
                                                      UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetOutputMatrix(K_IXAudio2Voice *destination, UINT32 sourceChannels,
                                                   UINT32 destinationChannels, float *levelMatrix) = 0;
    virtual void STDMETHODCALLTYPE DestroyVoice() = 0;
};

// Source voice of the 2.7 engine: GetState takes the state only.
class K_IXAudio2SourceVoice27 : public K_IXAudio2Voice {
public:
    virtual HRESULT STDMETHODCALLTYPE Start(UINT32 flags, UINT32 operationSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(UINT32 flags, UINT32 operationSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE SubmitSourceBuffer(const K_XAUDIO2_BUFFER *buffer, const void *bufferWma) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushSourceBuffers() = 0;
    virtual HRESULT STDMETHODCALLTYPE Discontinuity() = 0;
    virtual HRESULT STDMETHODCALLTYPE ExitLoop(UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetState(void *voiceState) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFrequencyRatio(float ratio, UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetFrequencyRatio(float *ratio) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourceSampleRate(UINT32 newSourceSampleRate) = 0;
};

// Source voice of the 2.8 engine: GetState takes flags too.
class K_IXAudio2SourceVoice28 : public K_IXAudio2Voice {
public:
    virtual HRESULT STDMETHODCALLTYPE Start(UINT32 flags, UINT32 operationSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(UINT32 flags, UINT32 operationSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE SubmitSourceBuffer(const K_XAUDIO2_BUFFER *buffer, const void *bufferWma) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushSourceBuffers() = 0;
    virtual HRESULT STDMETHODCALLTYPE Discontinuity() = 0;
    virtual HRESULT STDMETHODCALLTYPE ExitLoop(UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetState(void *voiceState, UINT32 flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFrequencyRatio(float ratio, UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetFrequencyRatio(float *ratio) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourceSampleRate(UINT32 newSourceSampleRate) = 0;
};

// Mastering voice of the 2.7 engine: the voice methods only.
class K_IXAudio2MasteringVoice27 : public K_IXAudio2Voice {
};

// Mastering voice of the 2.8 engine: adds the channel mask.
class K_IXAudio2MasteringVoice28 : public K_IXAudio2Voice {
public:
    virtual HRESULT STDMETHODCALLTYPE GetChannelMask(DWORD *channelMask) = 0;
};

// The 2.7 engine (COM): device enumeration and Initialize before voice creation.
class K_IXAudio2_27 : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetDeviceCount(UINT32 *count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceDetails(UINT32 index, K_XAUDIO2_DEVICE_DETAILS *details) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(UINT32 flags, UINT32 processor) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterForCallbacks(void *callback) = 0;
    virtual void STDMETHODCALLTYPE UnregisterForCallbacks(void *callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSourceVoice(K_IXAudio2SourceVoice27 **sourceVoice,
                                                        const WAVEFORMATEX *sourceFormat, UINT32 flags,
                                                        float maxFrequencyRatio, K_IXAudio2VoiceCallback *callback,
                                                        const void *sendList, const void *effectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSubmixVoice(void **submixVoice, UINT32 inputChannels,
                                                        UINT32 inputSampleRate, UINT32 flags, UINT32 processingStage,
                                                        const void *sendList, const void *effectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateMasteringVoice(K_IXAudio2MasteringVoice27 **masteringVoice,
                                                           UINT32 inputChannels, UINT32 inputSampleRate, UINT32 flags,
                                                           UINT32 deviceIndex, const void *effectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartEngine() = 0;
    virtual void STDMETHODCALLTYPE StopEngine() = 0;
    virtual HRESULT STDMETHODCALLTYPE CommitChanges(UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetPerformanceData(void *performanceData) = 0;
    virtual void STDMETHODCALLTYPE SetDebugConfiguration(const void *debugConfiguration, void *reserved) = 0;
};

// The 2.8 engine ("XAudio2_8.dll"): no device enumeration, a device id and a stream category.
class K_IXAudio2_28 : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE RegisterForCallbacks(void *callback) = 0;
    virtual void STDMETHODCALLTYPE UnregisterForCallbacks(void *callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSourceVoice(K_IXAudio2SourceVoice28 **sourceVoice,
                                                        const WAVEFORMATEX *sourceFormat, UINT32 flags,
                                                        float maxFrequencyRatio, K_IXAudio2VoiceCallback *callback,
                                                        const void *sendList, const void *effectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSubmixVoice(void **submixVoice, UINT32 inputChannels,
                                                        UINT32 inputSampleRate, UINT32 flags, UINT32 processingStage,
                                                        const void *sendList, const void *effectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateMasteringVoice(K_IXAudio2MasteringVoice28 **masteringVoice,
                                                           UINT32 inputChannels, UINT32 inputSampleRate, UINT32 flags,
                                                           LPCWSTR deviceId, const void *effectChain,
                                                           int streamCategory) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartEngine() = 0;
    virtual void STDMETHODCALLTYPE StopEngine() = 0;
    virtual HRESULT STDMETHODCALLTYPE CommitChanges(UINT32 operationSet) = 0;
    virtual void STDMETHODCALLTYPE GetPerformanceData(void *performanceData) = 0;
    virtual void STDMETHODCALLTYPE SetDebugConfiguration(const void *debugConfiguration, void *reserved) = 0;
};

// Entries of "XAudio2_8.dll" and "X3DAudio1_7.dll".
typedef HRESULT(WINAPI *K_XAudio2CreateEntry)(K_IXAudio2_28 **engine, UINT32 flags, UINT32 processor);
typedef HRESULT(__cdecl *K_X3DAudioInitializeEntry)(UINT32 speakerChannelMask, float speedOfSound,
                                                    K_X3DAUDIO_HANDLE instance);
typedef HRESULT(__cdecl *K_X3DAudioCalculateEntry)(const K_X3DAUDIO_HANDLE instance, const void *listener,
                                                   const void *emitter, UINT32 flags, void *dspSettings);
typedef HRESULT(WINAPI *K_CreateAudioVolumeMeterEntry)(IUnknown **effect);
typedef HRESULT(WINAPI *K_CreateAudioReverbEntry)(IUnknown **effect);

} // namespace Korvo
