// Sound handles: loading memory and stream sounds, playing them in overlapping
// buffers, what reaches the voices, and the failures.

#include "refusing_heap.h"
#include "sound_fakes.h"
#include "sound_test_files.h"

#include "core/memory/handle_manager.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"
#include "sound/sound_handle.h"
#include "sound/stream_sound.h"
#include "tests/core/log_capture.h"
#include "tests/support/wait_backstop.h"
#if !defined(_WIN32)
#include "sound/host/sound_platform_host.h"
#endif

#include <gtest/gtest.h>

using namespace Korvo;
using SoundFakes::FakeVoice;

namespace {

class SoundHandleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTest::StartFreshLog();
        ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    }
    void TearDown() override { SoundFakes::Stop(); }
};

// Pull a voice in 1/100 s passes until it stops.
void PlayOut(FakeVoice *voice)
{
    for (int pass = 0; pass < 100000 && voice->started; ++pass) {
        SoundFakes::PullVoice(voice, voice->format.avgBytesPerSec / 100);
    }
}

} // namespace

TEST_F(SoundHandleTest, ToneLoadsIntoThreeBuffersThatOverlapAndCarryTheFileSamples)
{
    SoundWaveFormat format = MakePcmWaveFormat(2, 44100, 16);
    std::vector<uint8_t> pcm = SoundFakes::SinePcm16(44100, 2, 0.5, 440.0);
    std::string path = SoundFakes::WriteFile("tone440.wav", SoundFakes::WaveImage(format, pcm));
    int handle = LoadSoundFileAsHandle(path.c_str(), 3, -1);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(SoundFakes::Voices.size(), 3u);
    EXPECT_EQ(GetSoundHandleLengthSamples(handle), 22050);
    EXPECT_EQ(GetSoundHandleLengthMs(handle), 500);
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0);

    for (int play = 0; play < 3; ++play) {
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
    }
    std::vector<FakeVoice *> &voices = SoundFakes::Voices;
    for (FakeVoice *voice : voices) {
        EXPECT_TRUE(voice->started);
        SoundFakes::PullVoice(voice, 4000);
    }
    EXPECT_EQ(IsSoundHandlePlaying(handle), 1);
    // The next buffer (1) plays: without from-start it goes on undisturbed.
    EXPECT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 0), 0);
    SoundFakes::PullVoice(voices[1], 4000);
    size_t heard1 = voices[1]->captured.size();
    EXPECT_EQ(voices[1]->captured, std::vector<uint8_t>(pcm.begin(), pcm.begin() + heard1));
    size_t heard0 = voices[0]->captured.size();

    // With from-start the next buffer (2) starts again from the beginning.
    for (FakeVoice *voice : voices) {
        voice->captured.clear();
    }
    EXPECT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
    for (FakeVoice *voice : voices) {
        PlayOut(voice);
    }
    EXPECT_EQ(voices[2]->captured, pcm);
    EXPECT_EQ(voices[0]->captured, std::vector<uint8_t>(pcm.begin() + heard0, pcm.end()));
    EXPECT_EQ(voices[1]->captured, std::vector<uint8_t>(pcm.begin() + heard1, pcm.end()));
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0);

    EXPECT_EQ(DeleteHandleRecord(handle), 0);
    EXPECT_EQ(IsSoundHandlePlaying(handle), -1);
    EXPECT_TRUE(SoundFakes::Voices.empty());
}

TEST_F(SoundHandleTest, LengthDecidesBetweenMemoryAndStreamSound)
{
    SoundWaveFormat format = MakePcmWaveFormat(1, 4000, 16);
    struct Case {
        int seconds;
        int bufferCount;
        bool stream;
        size_t voices;
    } cases[] = {
        {180, 2, false, 2},
        {181, 2, true, 1},
        {1, 11, false, 10}, // the file loader caps the count at 10
        {1, 0, true, 1},    // no play buffer: it streams
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> pcm(static_cast<size_t>(c.seconds) * 8000, 0);
        std::string path = SoundFakes::WriteFile("length.wav", SoundFakes::WaveImage(format, pcm));
        int handle = LoadSoundFileAsHandle(path.c_str(), c.bufferCount, -1);
        ASSERT_NE(handle, -1) << c.seconds;
        SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
        EXPECT_EQ(record->isStream != 0, c.stream) << c.seconds;
        EXPECT_EQ(SoundFakes::Voices.size(), c.voices) << c.seconds;
        EXPECT_EQ(GetSoundHandleLengthMs(handle), c.seconds * 1000) << c.seconds;
        DeleteHandleRecord(handle);
    }
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    int handle = CreateSoundHandleRecord(0);
    std::vector<uint8_t> image = SoundFakes::WaveImage(format, std::vector<uint8_t>(100));
    EXPECT_EQ(LoadSoundDataIntoHandle(handle, &settings, image.data(), static_cast<int>(image.size()), 11, -1, 0), -1);
}

TEST_F(SoundHandleTest, OggLongerThanAMemorySoundStreamsWithoutHoldingItsWholePcm)
{
    // 300 s: 4.8 MB of PCM. Decoding stops past 180 s, so no block larger than a
    // memory sound is ever asked for (the ceiling stands for a 32-bit process's
    // room), and the handle streams the file and knows its length.
    std::vector<uint8_t> pcm = SoundFakes::SinePcm16(8000, 1, 300, 300.0);
    std::string path = SoundFakes::WriteFile("long300.ogg", SoundTestFiles::OggImage(pcm, 1, 8000));
    RefusingHeap::RefuseTrackedBlocksOver(4000000);
    int handle = LoadSoundFileAsHandle(path.c_str(), 2, -1);
    RefusingHeap::RefuseTrackedBlocksOver(0);
    EXPECT_EQ(RefusingHeap::TakeRefusalCount(), 0);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(FindSoundHandleRecord(handle, 0)->isStream, 1);
    EXPECT_EQ(GetSoundHandleLengthMs(handle), 300000);
    DeleteHandleRecord(handle);
}

TEST_F(SoundHandleTest, FailedLoadsAreLoggedAndLeaveNoHandle)
{
    SoundFakes::WriteFile("garbage.wav", std::vector<uint8_t>(64, 0x41));
    // Data that holds less than one frame is no sound, not an empty one.
    SoundFakes::WriteFile("half_frame.wav", SoundFakes::WaveImage(MakePcmWaveFormat(2, 8000, 16), {1, 2, 3}));
    struct Case {
        const char *path;
        std::vector<std::string> lines;
    } cases[] = {
        {"missing.wav", {"右記のファイルのオープンに失敗しました：", "右記の音声ファイルのロードに失敗しました_1："}},
        {"garbage.wav", {"音声ファイルのＰＣＭへの変換に失敗しました", "右記の音声ファイルのロードに失敗しました_2："}},
        {"half_frame.wav", {"音声ファイルのＰＣＭへの変換に失敗しました", "右記の音声ファイルのロードに失敗しました_2："}},
    };
    for (const Case &c : cases) {
        KorvoTest::StartFreshLog();
        EXPECT_EQ(LoadSoundFileAsHandle(c.path, 1, -1), -1) << c.path;
        std::string log = KorvoTest::ReadLogFile();
        size_t at = 0;
        for (const std::string &line : c.lines) {
            at = log.find(line, at);
            EXPECT_NE(at, std::string::npos) << c.path << ": " << line;
        }
        EXPECT_NE(log.find(c.path), std::string::npos) << c.path;
    }
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SOUND].liveCount, 0);
}

TEST_F(SoundHandleTest, DamagedByteRateLoadsAsBlockAlignAndRateSayAndPlaysToItsEnd)
{
    SoundWaveFormat damaged = MakePcmWaveFormat(1, 8000, 16);
    damaged.avgBytesPerSec = 1;
    std::vector<uint8_t> pcm = SoundFakes::SinePcm16(8000, 1, 0.5, 440.0);
    std::string path = SoundFakes::WriteFile("damaged_rate.wav", SoundFakes::WaveImage(damaged, pcm));
    struct Case {
        int dataKind;
        bool stream;
    } cases[] = {
        {0, false},
        {STREAM_SOURCE_STREAM, true},
    };
    for (const Case &c : cases) {
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = c.dataKind;
        int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
        ASSERT_NE(handle, -1) << c.dataKind;
        SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
        EXPECT_EQ(record->isStream != 0, c.stream) << c.dataKind;
        EXPECT_EQ(record->format.avgBytesPerSec, 16000u) << c.dataKind;
        EXPECT_EQ(GetSoundHandleLengthMs(handle), 500) << c.dataKind;
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
        FakeVoice *voice = SoundFakes::Voices.back();
        for (int pass = 0; pass < 1000 && IsSoundHandlePlaying(handle) == 1; ++pass) {
            SoundFakes::PullVoice(voice, 160);
            RefillAllStreamSounds();
        }
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << c.dataKind << ": the sound ends";
        ASSERT_GE(voice->captured.size(), pcm.size()) << c.dataKind;
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), voice->captured.begin())) << c.dataKind;
        DeleteHandleRecord(handle);
    }
}

TEST_F(SoundHandleTest, FailedReferenceCountAllocationLeavesNoMemoryBehind)
{
    std::string path = SoundFakes::WriteFile(
        "count_fails.wav", SoundFakes::WaveImage(MakePcmWaveFormat(1, 8000, 16), SoundFakes::SinePcm16(8000, 1, 0.1, 500)));
    const int blocksBefore = KorvoTest::LiveTrackedBlocks();
    KorvoTest::StartFreshLog();
    RefusingHeap::RefuseNextTrackedBlock(sizeof(int));
    EXPECT_EQ(LoadSoundFileAsHandle(path.c_str(), 2, -1), -1);
    EXPECT_EQ(RefusingHeap::TakeRefusalCount(), 1);
    EXPECT_NE(KorvoTest::ReadLogFile().find("サウンドデータの参照数を保存するメモリ領域の確保に失敗しました"),
              std::string::npos);
    EXPECT_EQ(KorvoTest::LiveTrackedBlocks(), blocksBefore);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SOUND].liveCount, 0);
}

TEST_F(SoundHandleTest, BackgroundLoadQueuesAJobThatFillsOrDeletesTheHandle)
{
    ASSERT_EQ(InitAsyncLoadLock(GetCurrentThreadIdentifier()), 0);
    ASSERT_EQ(StartAsyncLoadWorkers(2), 0);
    std::string path = SoundFakes::WriteFile(
        "background.wav", SoundFakes::WaveImage(MakePcmWaveFormat(1, 8000, 16), SoundFakes::SinePcm16(8000, 1, 0.2, 500)));
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    int loaded = LoadSoundFileWithSettings(&settings, path.c_str(), 2, -1, 1, nullptr);
    int missing = LoadSoundFileWithSettings(&settings, "missing_background.wav", 1, -1, 1, nullptr);
    ASSERT_NE(loaded, -1);
    ASSERT_NE(missing, -1) << "the handle exists while its job is queued";
    KorvoTest::Backstop backstop("the two background loads", KorvoTest::kWaitBackstopSeconds);
    while (GetQueuedAsyncJobCount() > 0 && !backstop.Passed()) {
        SleepMilliseconds(1);
    }
    EXPECT_EQ(HasPendingLoadJob(loaded), 0) << backstop.Report();
    EXPECT_EQ(GetSoundHandleLengthMs(loaded), 200);
    EXPECT_EQ(SoundFakes::Voices.size(), 2u);
    EXPECT_EQ(FindSoundHandleRecord(missing, 1), nullptr) << "a failed job deletes its handle";
    StopAsyncLoadWorkers();
    DeleteAsyncLoadLock();
}

#if !defined(_WIN32)
TEST_F(SoundHandleTest, WaitingPlayReturnsWhenTheApplicationEnds)
{
    std::string path = SoundFakes::WriteFile(
        "wait_end.wav", SoundFakes::WaveImage(MakePcmWaveFormat(1, 8000, 16), SoundFakes::SinePcm16(8000, 1, 1, 500)));
    int handle = LoadSoundFileAsHandle(path.c_str(), 1, -1);
    ASSERT_NE(handle, -1);
    // Nothing drives the fake voice: only the end of the application ends the wait.
    HostSoundPumpResult = -1;
    EXPECT_EQ(StartSoundHandlePlayback(handle, PlayWait, 1), 0);
    HostSoundPumpResult = 0;
    EXPECT_EQ(IsSoundHandlePlaying(handle), 1);
}
#endif

TEST(SoundDownTest, EveryCallFailsWhileTheSystemIsDown)
{
    SoundFakes::WriteFile("down.wav", SoundFakes::WaveImage(MakePcmWaveFormat(1, 8000, 16), std::vector<uint8_t>(80)));
    int fake = MakeHandleValue(HANDLE_KIND_SOUND, 0, 0);
    EXPECT_EQ(LoadSoundFileAsHandle("down.wav", 1, -1), -1);
    EXPECT_EQ(StartSoundHandlePlayback(fake, PlayBackground, 1), -1);
    EXPECT_EQ(StopSoundHandlePlayback(fake), -1);
    EXPECT_EQ(IsSoundHandlePlaying(fake), -1);
    EXPECT_EQ(GetSoundHandleLengthMs(fake), -1);
    EXPECT_EQ(GetSoundHandlePlayPositionMs(fake), -1);
    EXPECT_EQ(RefillAllStreamSounds(), -1);
    EXPECT_EQ(SetSoundHandlesPaused(1), -1);
    EXPECT_EQ(TermSoundOutputSystem(), -1);
}
