// The library's own platform interface declarations against the platform's
// layout: every method in the platform's vtable slot, records of the same size.
// Compiled into both Windows builds, so the size checks hold for both
// architectures; the slot checks run in the Wine test build.

#include "sound/wave_format.h"
#include "sound/win32/k_dsound.h"
#include "sound/win32/k_xaudio2.h"

#include <dsound.h>
#include <xaudio2.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

using namespace Korvo;

// Records of the same layout.
static_assert(sizeof(K_DSBUFFERDESC) == sizeof(DSBUFFERDESC), "DSBUFFERDESC");
static_assert(sizeof(K_DSCAPS) == sizeof(DSCAPS) && sizeof(K_DSCAPS) == 96, "DSCAPS");
static_assert(sizeof(K_XAUDIO2_BUFFER) == sizeof(XAUDIO2_BUFFER), "XAUDIO2_BUFFER");
static_assert(offsetof(K_XAUDIO2_BUFFER, pContext) == offsetof(XAUDIO2_BUFFER, pContext), "XAUDIO2_BUFFER");
static_assert(sizeof(K_XAUDIO2_DEVICE_DETAILS) == sizeof(XAUDIO2_DEVICE_DETAILS), "XAUDIO2_DEVICE_DETAILS");
static_assert(sizeof(SoundWaveFormat) == sizeof(WAVEFORMATEX), "WAVEFORMATEX");
static_assert(offsetof(SoundWaveFormat, blockAlign) == offsetof(WAVEFORMATEX, nBlockAlign), "WAVEFORMATEX");
static_assert(offsetof(SoundWaveFormat, extraSize) == offsetof(WAVEFORMATEX, cbSize), "WAVEFORMATEX");
#if defined(__i386__)
static_assert(sizeof(K_DSBUFFERDESC) == 36, "the 36-byte description of 32-bit Windows");
#endif

namespace {

// The vtable slot of a virtual member function (a virtual member pointer holds
// 1 + the slot's byte offset), or -1 for a non-virtual one.
template <typename Member>
int SlotOf(Member member)
{
    struct Representation {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(Member) == sizeof(Representation), "member pointer layout");
    std::memcpy(&representation, &member, sizeof(representation));
    if ((representation.pointer & 1u) == 0) {
        return -1;
    }
    return static_cast<int>((representation.pointer - 1) / sizeof(void *));
}

struct SlotCase {
    const char *name;
    int ours;
    int platform;
    int documented; // slot of the published order, -1 when not listed here
};

#define SAME_SLOT(Ours, Platform, Method, Documented) \
    SlotCase { #Ours "::" #Method, SlotOf(&Ours::Method), SlotOf(&Platform::Method), Documented }

void ExpectSlots(const SlotCase *cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        EXPECT_GE(cases[i].ours, 0) << cases[i].name;
        EXPECT_EQ(cases[i].ours, cases[i].platform) << cases[i].name;
        if (cases[i].documented >= 0) {
            EXPECT_EQ(cases[i].ours, cases[i].documented) << cases[i].name;
        }
    }
}

} // namespace

TEST(InterfaceLayoutTest, VoiceCallbackAndVoices)
{
    const SlotCase cases[] = {
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnVoiceProcessingPassStart, 0),
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnVoiceProcessingPassEnd, 1),
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnStreamEnd, 2),
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnBufferStart, 3),
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnBufferEnd, 4),
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnLoopEnd, 5),
        SAME_SLOT(K_IXAudio2VoiceCallback, IXAudio2VoiceCallback, OnVoiceError, 6),
        SAME_SLOT(K_IXAudio2Voice, IXAudio2Voice, GetVoiceDetails, 0),
        SAME_SLOT(K_IXAudio2Voice, IXAudio2Voice, SetOutputFilterParameters, 10),
        SAME_SLOT(K_IXAudio2Voice, IXAudio2Voice, SetVolume, 12),
        SAME_SLOT(K_IXAudio2Voice, IXAudio2Voice, SetChannelVolumes, 14),
        SAME_SLOT(K_IXAudio2Voice, IXAudio2Voice, GetOutputMatrix, 17),
        SAME_SLOT(K_IXAudio2Voice, IXAudio2Voice, DestroyVoice, 18),
        SAME_SLOT(K_IXAudio2Voice, IXAudio27Voice, SetChannelVolumes, 14),
        SAME_SLOT(K_IXAudio2Voice, IXAudio27Voice, DestroyVoice, 18),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, Start, 19),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, Stop, 20),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, SubmitSourceBuffer, 21),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, FlushSourceBuffers, 22),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, GetState, 25),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, SetFrequencyRatio, 26),
        SAME_SLOT(K_IXAudio2SourceVoice28, IXAudio2SourceVoice, SetSourceSampleRate, 28),
        SAME_SLOT(K_IXAudio2SourceVoice27, IXAudio27SourceVoice, Start, 19),
        SAME_SLOT(K_IXAudio2SourceVoice27, IXAudio27SourceVoice, SubmitSourceBuffer, 21),
        SAME_SLOT(K_IXAudio2SourceVoice27, IXAudio27SourceVoice, FlushSourceBuffers, 22),
        SAME_SLOT(K_IXAudio2SourceVoice27, IXAudio27SourceVoice, GetState, 25),
        SAME_SLOT(K_IXAudio2SourceVoice27, IXAudio27SourceVoice, SetFrequencyRatio, 26),
        SAME_SLOT(K_IXAudio2SourceVoice27, IXAudio27SourceVoice, SetSourceSampleRate, 28),
        SAME_SLOT(K_IXAudio2MasteringVoice28, IXAudio2MasteringVoice, GetChannelMask, 19),
    };
    ExpectSlots(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(InterfaceLayoutTest, EnginesOfBothVersions)
{
    const SlotCase cases[] = {
        SAME_SLOT(K_IXAudio2_27, IXAudio27, GetDeviceCount, 3),
        SAME_SLOT(K_IXAudio2_27, IXAudio27, GetDeviceDetails, 4),
        SAME_SLOT(K_IXAudio2_27, IXAudio27, Initialize, 5),
        SAME_SLOT(K_IXAudio2_27, IXAudio27, CreateSourceVoice, 8),
        SAME_SLOT(K_IXAudio2_27, IXAudio27, CreateMasteringVoice, 10),
        SAME_SLOT(K_IXAudio2_27, IXAudio27, StopEngine, 12),
        SAME_SLOT(K_IXAudio2_27, IXAudio27, SetDebugConfiguration, 15),
        SAME_SLOT(K_IXAudio2_28, IXAudio2, RegisterForCallbacks, 3),
        SAME_SLOT(K_IXAudio2_28, IXAudio2, CreateSourceVoice, 5),
        SAME_SLOT(K_IXAudio2_28, IXAudio2, CreateMasteringVoice, 7),
        SAME_SLOT(K_IXAudio2_28, IXAudio2, StopEngine, 9),
        SAME_SLOT(K_IXAudio2_28, IXAudio2, SetDebugConfiguration, 12),
    };
    ExpectSlots(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(InterfaceLayoutTest, DirectSoundAndItsBuffers)
{
    const SlotCase cases[] = {
        SAME_SLOT(K_IDirectSound, IDirectSound, CreateSoundBuffer, 3),
        SAME_SLOT(K_IDirectSound, IDirectSound, GetCaps, 4),
        SAME_SLOT(K_IDirectSound, IDirectSound, SetCooperativeLevel, 6),
        SAME_SLOT(K_IDirectSound, IDirectSound, Initialize, 10),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, GetCurrentPosition, 4),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, GetStatus, 9),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, Lock, 11),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, Play, 12),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, SetCurrentPosition, 13),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, SetFormat, 14),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, SetVolume, 15),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, SetPan, 16),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, SetFrequency, 17),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, Stop, 18),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, Unlock, 19),
        SAME_SLOT(K_IDirectSoundBuffer, IDirectSoundBuffer, Restore, 20),
    };
    ExpectSlots(cases, sizeof(cases) / sizeof(cases[0]));
}
