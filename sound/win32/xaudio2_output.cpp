// Start and end of the XAudio2 engines: 2.8 from "XAudio2_8.dll", else 2.7 or
// 2.6 through COM with X3DAudio from "X3DAudio1_7.dll".

#include "sound/win32/output_backends.h"

#include "core/log/error_log.h"
#include "core/system/platform_libraries.h"
#include "sound/sound_system.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr float kSpeedOfSound = 343.5f;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct XAudio2Device {
    HMODULE xaudio28Module; // null when the COM engine is used
    K_XAudio2CreateEntry XAudio2Create;
    K_CreateAudioVolumeMeterEntry CreateAudioVolumeMeter;
    K_CreateAudioReverbEntry CreateAudioReverb;
    K_X3DAudioInitializeEntry X3DAudioInitialize;
    K_X3DAudioCalculateEntry X3DAudioCalculate;
    K_IXAudio2_28 *engine28;
    K_IXAudio2_27 *engine27;
    K_IXAudio2MasteringVoice28 *mastering28;
    K_IXAudio2MasteringVoice27 *mastering27;
    HMODULE x3dAudioModule; // COM engine only
    DWORD channelMask;
    int channelCount;
    K_X3DAUDIO_HANDLE x3dInstance;
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
static XAudio2Device Device;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

template <typename Entry>
static void ResolveEntry(HMODULE module, const char *name, Entry &entry)
{
    entry = reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

static int CountSetBits(DWORD mask)
{
    int count = 0;
    for (; mask != 0; mask &= mask - 1) {
        ++count;
    }
    return count;
}

static void InitializeX3DAudio()
{
    if (Device.X3DAudioInitialize != nullptr) {
        Device.X3DAudioInitialize(Device.channelMask, kSpeedOfSound, Device.x3dInstance);
    }
}

// Destroy the mastering voice, release the engine, free both modules.
static void ShutdownXAudio2()
{
    if (Device.mastering28 != nullptr) {
        Device.mastering28->DestroyVoice();
    }
    if (Device.mastering27 != nullptr) {
        Device.mastering27->DestroyVoice();
    }
    if (Device.engine28 != nullptr) {
        Device.engine28->Release();
    }
    if (Device.engine27 != nullptr) {
        Device.engine27->Release();
    }
    if (Device.xaudio28Module != nullptr) {
        FreeLibrary(Device.xaudio28Module);
    }
    if (Device.x3dAudioModule != nullptr) {
        FreeLibrary(Device.x3dAudioModule);
    }
    Device = XAudio2Device{};
    SetXAudio28Engine(nullptr);
    SetXAudio27Engine(nullptr);
}

static void FillVoiceBackend(SoundBackend *backend, const VoiceBackendOps *ops)
{
    backend->selector = SOUND_BACKEND_VOICES;
    backend->voice = ops;
    backend->buffer = nullptr;
    backend->Shutdown = ShutdownXAudio2;
}

static HRESULT CreateComEngine(const GUID &classId, K_IXAudio2_27 **engine)
{
    if (PlatformLibraries.ole32.CoCreateInstance == nullptr) {
        return E_NOINTERFACE;
    }
    return PlatformLibraries.ole32.CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, K_IID_IXAudio2_7,
                                                    reinterpret_cast<void **>(engine));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// XAudio2 2.8: create the engine and the mastering voice
int StartXAudio28Output(SoundBackend *backend, int skipModule)
{
    Device = XAudio2Device{};
    Device.xaudio28Module = skipModule != 0 ? nullptr : LoadLibraryA("XAudio2_8.dll");
    if (Device.xaudio28Module == nullptr) {
        return 1;
    }
    AppendLogText("XAudio2_8.dll を使用します\n");
    ResolveEntry(Device.xaudio28Module, "XAudio2Create", Device.XAudio2Create);
    ResolveEntry(Device.xaudio28Module, "CreateAudioVolumeMeter", Device.CreateAudioVolumeMeter);
    ResolveEntry(Device.xaudio28Module, "CreateAudioReverb", Device.CreateAudioReverb);
    ResolveEntry(Device.xaudio28Module, "X3DAudioInitialize", Device.X3DAudioInitialize);
    ResolveEntry(Device.xaudio28Module, "X3DAudioCalculate", Device.X3DAudioCalculate);
    AppendLogText("XAudio2 インターフェースの取得と初期化を行います....  ");
    HRESULT result = Device.XAudio2Create != nullptr
                         ? Device.XAudio2Create(&Device.engine28, 0, K_XAUDIO2_ANY_PROCESSOR)
                         : E_NOINTERFACE;
    if (FAILED(result) || Device.engine28 == nullptr) {
        AppendLogText("初期化に失敗しました\n");
        AppendLogLineFormat("エラーコード %x", static_cast<unsigned>(result));
        ShutdownXAudio2();
        return -1;
    }
    AppendLogText("成功 Ver2.8\n");
    if (FAILED(Device.engine28->CreateMasteringVoice(&Device.mastering28, K_XAUDIO2_DEFAULT_CHANNELS,
                                                     static_cast<UINT32>(SoundSystem.outputSampleRate), 0, nullptr,
                                                     nullptr, K_AudioCategory_GameEffects))) {
        AppendLogText("XAudio2MasteringVoiceの作成に失敗しました\n");
        ShutdownXAudio2();
        return -1;
    }
    Device.mastering28->GetChannelMask(&Device.channelMask);
    Device.channelCount = CountSetBits(Device.channelMask);
    InitializeX3DAudio();
    SetXAudio28Engine(Device.engine28);
    FillVoiceBackend(backend, &XAudio28VoiceOps);
    return 0;
}

// XAudio2 2.7 (else 2.6) through COM, with X3DAudio
int StartXAudio27Output(SoundBackend *backend, int skipClasses)
{
    Device = XAudio2Device{};
    AppendLogText("XAudio2 インターフェースの取得を行います....  ");
    int minor = 7;
    HRESULT result = E_NOINTERFACE;
    if (skipClasses == 0) {
        result = CreateComEngine(K_CLSID_XAudio2_7, &Device.engine27);
        if (FAILED(result)) {
            minor = 6;
            result = CreateComEngine(K_CLSID_XAudio2_6, &Device.engine27);
        }
    }
    if (FAILED(result) || Device.engine27 == nullptr) {
        Device.engine27 = nullptr;
        AppendLogText("XAudio2インターフェースの取得に失敗しました\n");
        return -1;
    }
    AppendLogLineFormat("成功 Ver2.%d", minor);
    AppendLogText("引き続きインターフェースの初期化処理...  ");
    result = Device.engine27->Initialize(0, K_XAUDIO2_ANY_PROCESSOR);
    if (FAILED(result)) {
        AppendLogText("初期化に失敗しました\n");
        AppendLogLineFormat("エラーコード %x", static_cast<unsigned>(result));
        ShutdownXAudio2();
        return -1;
    }
    AppendLogText("成功\n");
    AppendLogText("X3DAudio.DLL の読み込み中... ");
    Device.x3dAudioModule = LoadLibraryA("X3DAudio1_7.dll");
    if (Device.x3dAudioModule == nullptr) {
        AppendLogText("失敗、X3DAudio、XAudio2は使用しません\n");
        ShutdownXAudio2();
        return -1;
    }
    AppendLogText("成功\n");
    ResolveEntry(Device.x3dAudioModule, "X3DAudioInitialize", Device.X3DAudioInitialize);
    ResolveEntry(Device.x3dAudioModule, "X3DAudioCalculate", Device.X3DAudioCalculate);
    if (FAILED(Device.engine27->CreateMasteringVoice(&Device.mastering27, K_XAUDIO2_DEFAULT_CHANNELS,
                                                     static_cast<UINT32>(SoundSystem.outputSampleRate), 0, 0,
                                                     nullptr))) {
        AppendLogText("XAudio2MasteringVoiceの作成に失敗しました\n");
        ShutdownXAudio2();
        return -1;
    }
    static K_XAUDIO2_DEVICE_DETAILS details;
    details = K_XAUDIO2_DEVICE_DETAILS{};
    Device.engine27->GetDeviceDetails(0, &details);
    IncreaseLogIndent();
    AppendLogLineFormatWide(L"デバイス名：%ls", details.DisplayName);
    AppendLogLineFormat("チャンネル数:%d", details.OutputFormat.Format.nChannels);
    AppendLogLineFormat("ビット精度:%dbit", details.OutputFormat.Format.wBitsPerSample);
    AppendLogLineFormat("サンプリングレート:%dHz", static_cast<int>(details.OutputFormat.Format.nSamplesPerSec));
    DecreaseLogIndent();
    Device.channelMask = details.OutputFormat.dwChannelMask;
    Device.channelCount = details.OutputFormat.Format.nChannels;
    InitializeX3DAudio();
    SetXAudio27Engine(Device.engine27);
    FillVoiceBackend(backend, &XAudio27VoiceOps);
    return 0;
}

} // namespace Korvo
