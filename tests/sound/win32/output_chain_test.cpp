// The back-end chain on the platform: each level starts, logs itself and plays
// a sound; with no back-end at all every sound call fails cleanly.

#include "tests/sound/sound_fakes.h"

#include "sound/soft_sound.h"
#include "sound/sound_handle.h"
#include "sound/sound_system.h"
#include "sound/stream_sound.h"
#include "tests/core/log_capture.h"
#include "tests/support/wait_backstop.h"

#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

class OutputChainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTest::StartFreshLog();
        SetSoundBackendOverride(nullptr);
    }
    void TearDown() override
    {
        TermSoundOutputSystem();
        SetSoundBackendSkipLevel(0);
        SetSoundProcessorCountOverride(0);
    }
};

bool LogHasInOrder(const std::string &log, const std::vector<std::string> &lines)
{
    size_t at = 0;
    for (const std::string &line : lines) {
        at = log.find(line, at);
        if (at == std::string::npos) {
            ADD_FAILURE() << "missing in the log: " << line;
            return false;
        }
    }
    return true;
}

} // namespace

TEST_F(OutputChainTest, EachLevelStartsLogsAndPlaysItsBackEnd)
{
    SoundWaveFormat format = MakePcmWaveFormat(2, 44100, 16);
    std::string path = SoundFakes::WriteFile(
        "tone440_chain.wav", SoundFakes::WaveImage(format, SoundFakes::SinePcm16(44100, 2, 0.5, 440.0)));
    struct Case {
        int skip;
        int selector;
        std::vector<std::string> lines;
        const char *absent;
    } cases[] = {
        {0, SOUND_BACKEND_VOICES,
         {"XAudio2 の初期化を行います", "XAudio2_8.dll を使用します", "成功 Ver2.8", "XAudio2 の初期化は正常に終了しました"},
         "DirectSound"},
        {1, SOUND_BACKEND_VOICES,
         {"XAudio2 インターフェースの取得を行います", "成功 Ver2.7", "X3DAudio.DLL の読み込み中... 成功",
          "XAudio2 の初期化は正常に終了しました"},
         "XAudio2_8.dll"},
        {2, SOUND_BACKEND_BUFFERS,
         {"XAudio2インターフェースの取得に失敗しました", "DirectSound の初期化を行います",
          "DirectSound デバイスを列挙します", "DirectSound の初期化は正常に終了しました"},
         "成功 Ver2"},
    };
    for (const Case &c : cases) {
        KorvoTest::StartFreshLog();
        SetSoundBackendSkipLevel(c.skip);
        SetSoundProcessorCountOverride(2);
        ASSERT_EQ(InitSoundOutputSystem(), 0) << c.skip;
        EXPECT_EQ(SoundSystem.backend.selector, c.selector) << c.skip;
        EXPECT_EQ(HasStreamThreadHandle(), 1);
        std::string log = KorvoTest::ReadLogFile();
        EXPECT_TRUE(LogHasInOrder(log, c.lines)) << c.skip;
        EXPECT_EQ(log.find(c.absent), std::string::npos) << c.skip;

        int handle = LoadSoundFileAsHandle(path.c_str(), 3, -1);
        ASSERT_NE(handle, -1) << c.skip;
        DWORD start = GetTickCount();
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayWait, 1), 0);
        DWORD elapsed = GetTickCount() - start;
        // Wine's null device consumes faster than real time: the wait is checked
        // against the device's own end of the sound, not the wall clock.
        std::printf("level %d: Wait play of 500 ms took %lu ms\n", c.skip, static_cast<unsigned long>(elapsed));
        EXPECT_GE(elapsed, 50u) << c.skip << ": the play waited";
        EXPECT_LT(elapsed, KorvoTest::kWaitBackstopSeconds * 1000u)
            << c.skip << ": the Wait play of 500 ms went on past the backstop";
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
        SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
        if (c.selector == SOUND_BACKEND_VOICES) {
            const PlayBuffer &played = record->buffers[record->currentBuffer];
            EXPECT_EQ(played.playPosition, played.length) << c.skip << ": every piece had played";
            // Three overlapping plays use three voices.
            for (int play = 0; play < 3; ++play) {
                ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
            }
            int playing = 0;
            for (int i = 0; i < record->bufferCount; ++i) {
                uint32_t status = 0;
                GetPlayBufferStatus(&record->buffers[i], &status);
                playing += (status & kBufferStatusPlaying) != 0 ? 1 : 0;
            }
            EXPECT_EQ(record->bufferCount, 3);
            EXPECT_EQ(playing, 3) << c.skip;
        } else {
            EXPECT_EQ(record->bufferCount, 1) << "DirectSound keeps the first buffer only";
        }

        EXPECT_EQ(TermSoundOutputSystem(), 0) << c.skip;
        EXPECT_EQ(HasStreamThreadHandle(), 0);
    }
}

TEST_F(OutputChainTest, StreamSoundsPlayThroughEachLevelWithTheStreamThread)
{
    SoundWaveFormat format = MakePcmWaveFormat(2, 44100, 16);
    std::string path = SoundFakes::WriteFile(
        "stream_chain.wav", SoundFakes::WaveImage(format, SoundFakes::SinePcm16(44100, 2, 1.5, 330.0)));
    for (int skip = 0; skip < 3; ++skip) {
        SetSoundBackendSkipLevel(skip);
        SetSoundProcessorCountOverride(2);
        ASSERT_EQ(InitSoundOutputSystem(), 0) << skip;
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = STREAM_SOURCE_STREAM;
        int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
        ASSERT_NE(handle, -1) << skip;
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
        int lastPosition = 0;
        int rises = 0;
        KorvoTest::Backstop backstop("the stream's play of 1.5 s", KorvoTest::kWaitBackstopSeconds);
        while (IsSoundHandlePlaying(handle) == 1 && !backstop.Passed()) {
            int position = GetSoundHandlePlayPositionMs(handle);
            rises += position > lastPosition ? 1 : 0;
            lastPosition = position > lastPosition ? position : lastPosition;
            Sleep(5);
        }
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << skip << ": the stream ran to its end; " << backstop.Report();
        EXPECT_GT(rises, 3) << skip;
        EXPECT_GT(lastPosition, 1000) << skip;
        EXPECT_LE(lastPosition, 1500) << skip;

        // Looped, the same stream plays on until it is stopped.
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayLoop, 1), 0);
        Sleep(1200);
        EXPECT_EQ(IsSoundHandlePlaying(handle), 1) << skip;
        EXPECT_EQ(StopSoundHandlePlayback(handle), 0);
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << skip;
        EXPECT_EQ(TermSoundOutputSystem(), 0) << skip;
    }
}

TEST_F(OutputChainTest, WithoutAnyBackEndEverySoundCallFails)
{
    SetSoundBackendSkipLevel(3);
    EXPECT_EQ(InitSoundOutputSystem(), -1);
    EXPECT_TRUE(LogHasInOrder(KorvoTest::ReadLogFile(),
                              {"XAudio2インターフェースの取得に失敗しました", "DirectSoundインターフェースの取得に失敗しました"}));
    SoundFakes::WriteFile("none.wav", SoundFakes::WaveImage(MakePcmWaveFormat(1, 8000, 16), std::vector<uint8_t>(800)));
    int handle = LoadSoundFileAsHandle("none.wav", 1, -1);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(StartSoundHandlePlayback(handle, PlayWait, 1), -1);
    EXPECT_EQ(StopSoundHandlePlayback(handle), -1);
    EXPECT_EQ(IsSoundHandlePlaying(handle), -1);
    EXPECT_EQ(GetSoundHandleLengthMs(handle), -1);
    EXPECT_EQ(RefillAllStreamSounds(), -1);
    EXPECT_EQ(SetSoundHandlesPaused(1), -1);
    EXPECT_EQ(SetSoftSoundPlayersPaused(0), -1);
    EXPECT_EQ(TermSoundOutputSystem(), -1);
}
