// A Wait play across a window deactivation, on the real window and sound
// output: the wait holds through the pause and returns once the sound has
// ended, so the activation plays nothing again.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/sound/sound_fakes.h"

#include "core/system/win32/app_window.h"
#include "sound/sound_handle.h"
#include "sound/stream_sound.h"

#include <string>

using namespace Korvo;

namespace {

// Run by the pump: once the deactivation has been applied, ask for the activation.
void CALLBACK ActivateOnceInactive(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (GetAppActiveState() == 0) {
        KillTimer(nullptr, timer);
        PostMessageA(GetAppWindowHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
    }
}

class PlayWaitPauseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false, "KorvoSoundWindowTest"), 0); }
    void TearDown() override { ASSERT_EQ(ShutdownLibrary(), 0); }
};

TEST_F(PlayWaitPauseTest, AWaitPlayReturnsWhenTheSoundHasEndedNotAtADeactivation)
{
    const std::string path = SoundFakes::WriteFile(
        "wait_tone.wav",
        SoundFakes::WaveImage(MakePcmWaveFormat(1, 22050, 16), SoundFakes::SinePcm16(22050, 1, 2.0, 440.0)));
    const struct {
        const char *name;
        int dataKind;
    } roads[] = {{"memory sound", 0}, {"stream sound", STREAM_SOURCE_STREAM}};
    for (const auto &road : roads) {
        SCOPED_TRACE(road.name);
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = road.dataKind;
        const int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
        ASSERT_NE(handle, -1);
        ASSERT_EQ(GetAppActiveState(), 1);
        // The deactivation reaches the first pump of the play's wait.
        PostMessageA(GetAppWindowHandle(), WM_ACTIVATE, WA_INACTIVE, 0);
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, ActivateOnceInactive);
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayWait, 1), 0);
        EXPECT_EQ(GetAppActiveState(), 1) << "the play returned while the window was inactive";
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
        // Pumped on (through the activation, when the play did not wait for it),
        // the sound stays ended.
        for (int pass = 0; pass < 20; ++pass) {
            ServiceMessageQueue();
            Sleep(5);
        }
        KillTimer(nullptr, timer);
        EXPECT_EQ(GetAppActiveState(), 1);
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << "the activation played the sound on";
    }
}

} // namespace
