// The library's own declarations of the DirectSound interfaces and records it
// uses, from the published ABI.
#pragma once

#include <windows.h>
#include <mmreg.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr DWORD K_DSSCL_PRIORITY = 2;
constexpr DWORD K_DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr DWORD K_DSBCAPS_STATIC = 0x00000002;
constexpr DWORD K_DSBCAPS_GLOBALFOCUS = 0x00008000;
constexpr DWORD K_DSBPLAY_LOOPING = 0x00000001;
constexpr DWORD K_DSCAPS_PRIMARYMONO = 0x00000001;
constexpr DWORD K_DSCAPS_PRIMARYSTEREO = 0x00000002;
constexpr DWORD K_DSCAPS_PRIMARY8BIT = 0x00000004;
constexpr DWORD K_DSCAPS_PRIMARY16BIT = 0x00000008;
constexpr DWORD K_DSCAPS_SECONDARYMONO = 0x00000100;
constexpr DWORD K_DSCAPS_SECONDARYSTEREO = 0x00000200;
constexpr DWORD K_DSCAPS_SECONDARY8BIT = 0x00000400;
constexpr DWORD K_DSCAPS_SECONDARY16BIT = 0x00000800;

constexpr GUID K_CLSID_DirectSound = {0x47d4d946, 0x62e8, 0x11cf, {0x93, 0xbc, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID K_IID_IDirectSound = {0x279afa83, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct K_DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX *lpwfxFormat;
    GUID guid3DAlgorithm;
};

struct K_DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

class K_IDirectSound;

class K_IDirectSoundBuffer : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetCaps(void *caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(DWORD *playCursor, DWORD *writeCursor) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFormat(WAVEFORMATEX *format, DWORD sizeAllocated, DWORD *sizeWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVolume(LONG *volume) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPan(LONG *pan) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrequency(DWORD *frequency) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(DWORD *status) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(K_IDirectSound *directSound, const K_DSBUFFERDESC *desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, void **part1, DWORD *size1, void **part2,
                                           DWORD *size2, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD newPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX *format) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPan(LONG pan) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(void *part1, DWORD size1, void *part2, DWORD size2) = 0;
    virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
};

class K_IDirectSound : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE CreateSoundBuffer(const K_DSBUFFERDESC *desc, K_IDirectSoundBuffer **buffer,
                                                       IUnknown *outer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(K_DSCAPS *caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(K_IDirectSoundBuffer *original,
                                                          K_IDirectSoundBuffer **duplicate) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compact() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSpeakerConfig(DWORD *speakerConfig) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD speakerConfig) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(const GUID *device) = 0;
};

typedef BOOL(CALLBACK *K_DSENUMCALLBACKA)(GUID *guid, LPCSTR description, LPCSTR module, LPVOID context);
typedef HRESULT(WINAPI *K_DirectSoundEnumerateAEntry)(K_DSENUMCALLBACKA callback, LPVOID context);

} // namespace Korvo
