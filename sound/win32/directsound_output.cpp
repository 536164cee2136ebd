// DirectSound: start-up (device, primary buffer, the looping silent buffer, the
// device log), the buffer operations of the play buffers, and shut-down.

#include "sound/win32/output_backends.h"

#include "core/log/error_log.h"
#include "core/system/platform_libraries.h"
#include "sound/win32/k_dsound.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr DWORD kPrimaryMaxRate = 44100;
constexpr DWORD kSilentBufferBlocks = 100;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
static K_IDirectSound *DirectSound = nullptr;
static K_IDirectSoundBuffer *PrimaryBuffer = nullptr;
static K_IDirectSoundBuffer *SilentBuffer = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static K_IDirectSoundBuffer *AsBuffer(void *object)
{
    return static_cast<K_IDirectSoundBuffer *>(object);
}

static int CreateBuffer(const SoundBufferDesc *desc, void **object)
{
    K_DSBUFFERDESC platform{};
    platform.dwSize = sizeof(platform);
    platform.dwFlags = desc->flags;
    platform.dwBufferBytes = desc->bytes;
    platform.lpwfxFormat = reinterpret_cast<WAVEFORMATEX *>(const_cast<SoundWaveFormat *>(desc->format));
    K_IDirectSoundBuffer *buffer = nullptr;
    if (FAILED(DirectSound->CreateSoundBuffer(&platform, &buffer, nullptr)) || buffer == nullptr) {
        return -1;
    }
    *object = buffer;
    return 0;
}

static void ReleaseBuffer(void *object)
{
    AsBuffer(object)->Release();
}

static int PlayBuffer(void *object, int loop)
{
    return static_cast<int>(AsBuffer(object)->Play(0, 0, loop != 0 ? K_DSBPLAY_LOOPING : 0));
}

static int StopBuffer(void *object)
{
    return FAILED(AsBuffer(object)->Stop()) ? -1 : 0;
}

static int GetBufferStatus(void *object, uint32_t *status)
{
    DWORD value = 0;
    if (FAILED(AsBuffer(object)->GetStatus(&value))) {
        return -1;
    }
    *status = value;
    return 0;
}

static int LockBuffer(void *object, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2,
                      uint32_t *size2)
{
    DWORD first = 0;
    DWORD second = 0;
    *part2 = nullptr;
    if (FAILED(AsBuffer(object)->Lock(offset, bytes, part1, &first, part2, &second, 0))) {
        return -1;
    }
    *size1 = first;
    *size2 = second;
    return 0;
}

static int UnlockBuffer(void *object, void *part1, uint32_t size1, void *part2, uint32_t size2)
{
    return FAILED(AsBuffer(object)->Unlock(part1, size1, part2, size2)) ? -1 : 0;
}

static int GetBufferPosition(void *object, uint32_t *play, uint32_t *write)
{
    DWORD playCursor = 0;
    DWORD writeCursor = 0;
    if (FAILED(AsBuffer(object)->GetCurrentPosition(&playCursor, &writeCursor))) {
        return -1;
    }
    *play = playCursor;
    *write = writeCursor;
    return 0;
}

static int SetBufferPosition(void *object, uint32_t position)
{
    return FAILED(AsBuffer(object)->SetCurrentPosition(position)) ? -1 : 0;
}

static int SetBufferFrequency(void *object, int hertz)
{
    return FAILED(AsBuffer(object)->SetFrequency(static_cast<DWORD>(hertz))) ? -1 : 0;
}

static int SetBufferPan(void *object, int pan)
{
    return FAILED(AsBuffer(object)->SetPan(pan)) ? -1 : 0;
}

static int SetBufferVolume(void *object, int volume)
{
    return FAILED(AsBuffer(object)->SetVolume(volume)) ? -1 : 0;
}

static const BufferBackendOps DirectSoundBufferOps = {
    CreateBuffer,      ReleaseBuffer,      PlayBuffer,    StopBuffer,     GetBufferStatus, LockBuffer,
    UnlockBuffer,      GetBufferPosition,  SetBufferPosition, SetBufferFrequency, SetBufferPan, SetBufferVolume,
};

static void ReleaseDirectSound()
{
    if (PrimaryBuffer != nullptr) {
        PrimaryBuffer->Stop();
        PrimaryBuffer->Release();
        PrimaryBuffer = nullptr;
    }
    if (SilentBuffer != nullptr) {
        SilentBuffer->Stop();
        SilentBuffer->Release();
        SilentBuffer = nullptr;
    }
    if (DirectSound != nullptr) {
        DirectSound->Release();
        DirectSound = nullptr;
    }
}

static void ShutdownDirectSound()
{
    ReleaseDirectSound();
    AppendLogText("DirectSound の終了処理は正常に終了しました\n");
}

// The enumeration callback: one line per device
static BOOL CALLBACK LogDirectSoundDevice(GUID *, LPCSTR description, LPCSTR module, LPVOID)
{
    AppendLogLineFormat("モジュール名:%15s  ドライバ記述:%s ", module, description);
    return TRUE;
}

static const char *OkOrNo(DWORD flags, DWORD bit)
{
    return (flags & bit) != 0 ? "OK" : "NO";
}

// The primary format from the device's capabilities.
static void SetPrimaryFormat(const K_DSCAPS &caps)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nSamplesPerSec = caps.dwMaxSecondarySampleRate < kPrimaryMaxRate ? caps.dwMaxSecondarySampleRate
                                                                            : kPrimaryMaxRate;
    format.nChannels = (caps.dwFlags & K_DSCAPS_PRIMARYSTEREO) != 0 ? 2 : 1;
    format.wBitsPerSample = (caps.dwFlags & K_DSCAPS_PRIMARY16BIT) != 0 ? 16 : 8;
    format.nBlockAlign = static_cast<WORD>(format.wBitsPerSample / 8 * format.nChannels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    if (FAILED(PrimaryBuffer->SetFormat(&format))) {
        AppendLogText("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
    }
}

// The looping silent buffer that keeps the device running between sounds.
static void StartSilentBuffer()
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    K_DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = K_DSBCAPS_GLOBALFOCUS | K_DSBCAPS_STATIC;
    desc.dwBufferBytes = format.nBlockAlign * kSilentBufferBlocks;
    desc.lpwfxFormat = &format;
    if (FAILED(DirectSound->CreateSoundBuffer(&desc, &SilentBuffer, nullptr)) || SilentBuffer == nullptr) {
        SilentBuffer = nullptr;
        AppendLogText("無音バッファの作成に失敗しました");
        return;
    }
    void *part1 = nullptr;
    void *part2 = nullptr;
    DWORD size1 = 0;
    DWORD size2 = 0;
    if (FAILED(SilentBuffer->Lock(0, desc.dwBufferBytes, &part1, &size1, &part2, &size2, 0))) {
        AppendLogText("無音バッファのロックに失敗しました");
        SilentBuffer->Release();
        SilentBuffer = nullptr;
        return;
    }
    std::memset(part1, 0, size1);
    if (part2 != nullptr) {
        std::memset(part2, 0, size2);
    }
    SilentBuffer->Unlock(part1, size1, part2, size2);
    SilentBuffer->Play(0, 0, K_DSBPLAY_LOOPING);
}

// The device list and capabilities in the log.
static void LogDirectSoundDevices()
{
    IncreaseLogIndent();
    K_DSCAPS caps{};
    caps.dwSize = sizeof(caps);
    DirectSound->GetCaps(&caps);
    AppendLogText("DirectSound デバイスを列挙します\n");
    IncreaseLogIndent();
    HMODULE module = LoadLibraryA("DSOUND.DLL");
    if (module == nullptr) {
        AppendLogText("DSOUND.DLL のロードに失敗しました\n");
    } else {
        K_DirectSoundEnumerateAEntry enumerate = reinterpret_cast<K_DirectSoundEnumerateAEntry>(
            reinterpret_cast<void *>(GetProcAddress(module, "DirectSoundEnumerateA")));
        if (enumerate == nullptr) {
            AppendLogText("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        } else {
            enumerate(LogDirectSoundDevice, nullptr);
        }
    }
    DecreaseLogIndent();
    AppendLogLineFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz "
                        "総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB ",
                        caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0,
                        caps.dwTotalHwMemBytes / 1024.0, caps.dwFreeHwMemBytes / 1024.0);
    AppendLogText("利用可能サンプリング精度\n");
    AppendLogLineFormat(" プライマリ １６bit = %s  ８bit = %s  セカンダリ １６bit = %s  ８bit = %s ",
                        OkOrNo(caps.dwFlags, K_DSCAPS_PRIMARY16BIT), OkOrNo(caps.dwFlags, K_DSCAPS_PRIMARY8BIT),
                        OkOrNo(caps.dwFlags, K_DSCAPS_SECONDARY16BIT), OkOrNo(caps.dwFlags, K_DSCAPS_SECONDARY8BIT));
    AppendLogText("利用可能チャンネル\n");
    AppendLogLineFormat(" プライマリ MONO = %s  STEREO = %s  セカンダリ MONO = %s  STEREO = %s ",
                        OkOrNo(caps.dwFlags, K_DSCAPS_PRIMARYMONO), OkOrNo(caps.dwFlags, K_DSCAPS_PRIMARYSTEREO),
                        OkOrNo(caps.dwFlags, K_DSCAPS_SECONDARYMONO), OkOrNo(caps.dwFlags, K_DSCAPS_SECONDARYSTEREO));
    DecreaseLogIndent();
    if (module != nullptr) {
        FreeLibrary(module);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Device, cooperative level, primary buffer and format, silent buffer, device log
int StartDirectSoundOutput(SoundBackend *backend, int skipClass)
{
    AppendLogText("DirectSound の初期化を行います\n");
    AppendLogText("DirectSound インターフェースの取得を行います....  ");
    HRESULT result = E_NOINTERFACE;
    if (skipClass == 0 && PlatformLibraries.ole32.CoCreateInstance != nullptr) {
        result = PlatformLibraries.ole32.CoCreateInstance(K_CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER,
                                                          K_IID_IDirectSound, reinterpret_cast<void **>(&DirectSound));
    }
    if (FAILED(result) || DirectSound == nullptr) {
        DirectSound = nullptr;
        return AppendLogText("DirectSoundインターフェースの取得に失敗しました\n");
    }
    AppendLogText("成功\n");
    AppendLogText("引き続きインターフェースの初期化処理...  ");
    result = DirectSound->Initialize(nullptr);
    if (FAILED(result)) {
        AppendLogText("初期化に失敗しました\n");
        AppendLogLineFormat("エラーコード %x", static_cast<unsigned>(result));
        ReleaseDirectSound();
        return -1;
    }
    AppendLogText("成功\n");
    if (FAILED(DirectSound->SetCooperativeLevel(GetDesktopWindow(), K_DSSCL_PRIORITY))) {
        ReleaseDirectSound();
        return AppendLogText("DirectSoundの協調レベルの設定に失敗しました\n");
    }
    K_DSBUFFERDESC primary{};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = K_DSBCAPS_PRIMARYBUFFER;
    if (FAILED(DirectSound->CreateSoundBuffer(&primary, &PrimaryBuffer, nullptr)) || PrimaryBuffer == nullptr) {
        PrimaryBuffer = nullptr;
        ReleaseDirectSound();
        return AppendLogText("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    }
    K_DSCAPS caps{};
    caps.dwSize = sizeof(caps);
    DirectSound->GetCaps(&caps);
    SetPrimaryFormat(caps);
    StartSilentBuffer();
    LogDirectSoundDevices();

    backend->selector = SOUND_BACKEND_BUFFERS;
    backend->voice = nullptr;
    backend->buffer = &DirectSoundBufferOps;
    backend->Shutdown = ShutdownDirectSound;
    return 0;
}

} // namespace Korvo
