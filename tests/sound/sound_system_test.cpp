// The sound output system: start and end, the stream thread, pause and resume,
// and the buffer descriptions handed to a buffer back-end.

#include "sound_fakes.h"

#include "core/memory/handle_manager.h"
#include "core/threads/thread_record.h"
#include "sound/sound_handle.h"
#include "sound/sound_system.h"
#include "sound/stream_sound.h"
#include "tests/support/wait_backstop.h"
#if !defined(_WIN32)
#include "sound/host/sound_platform_host.h"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Korvo;

namespace {

std::string WriteTone(const char *name, int seconds)
{
    SoundWaveFormat format = MakePcmWaveFormat(1, 8000, 16);
    return SoundFakes::WriteFile(name, SoundFakes::WaveImage(format, SoundFakes::SinePcm16(8000, 1, seconds, 300.0)));
}

} // namespace

TEST(SoundSystemTest, SecondStartFailsAndChangesNothing)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SOUND].registered, 1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SOFT_SOUND].registered, 1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MUSIC].registered, 1);
    EXPECT_EQ(InitSoundOutputSystem(), -1);
    EXPECT_EQ(IsSoundSystemUp(), 1);
    EXPECT_EQ(HasStreamThreadHandle(), 0) << "one processor: the pump refills";
    SoundFakes::Stop();
    EXPECT_EQ(SoundFakes::ShutdownCount, 1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SOUND].registered, 0);
}

TEST(SoundSystemTest, PausingTwiceAndResumingOnceRestartsExactlyWhatPlayed)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    std::string path = WriteTone("pause.wav", 1);
    int handle = LoadSoundFileAsHandle(path.c_str(), 3, -1);
    ASSERT_NE(handle, -1);
    StartSoundHandlePlayback(handle, PlayBackground, 1); // buffer 1
    StartSoundHandlePlayback(handle, PlayLoop, 1);       // buffer 2
    auto startedFlags = [] {
        std::vector<bool> flags;
        for (SoundFakes::FakeVoice *voice : SoundFakes::Voices) {
            flags.push_back(voice->started);
        }
        return flags;
    };
    EXPECT_EQ(startedFlags(), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(SetSoundHandlesPaused(1), 0);
    EXPECT_EQ(startedFlags(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(SetSoundHandlesPaused(1), 0);
    EXPECT_EQ(SetSoundHandlesPaused(0), 0);
    EXPECT_EQ(startedFlags(), (std::vector<bool>{false, true, true}));
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    EXPECT_EQ(record->buffers[2].loop, 1) << "the looped buffer resumes looping";
    SoundFakes::Stop();
}

TEST(SoundSystemTest, ShutdownWaitsForTheStreamThreadBeforeEndingAnything)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend(), 2), 0);
    ASSERT_EQ(HasStreamThreadHandle(), 1);
    std::string path = WriteTone("thread.wav", 2);
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    settings.dataKind = STREAM_SOURCE_IMAGE;
    int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(StartSoundHandlePlayback(handle, PlayLoop, 1), 0);

    // Catch the thread inside a refill, then end the system while the pump
    // already reports the end of the application.
    SoundFakes::PositionDelayMs = 40;
    KorvoTest::Backstop backstop("the stream thread's next cursor read", KorvoTest::kWaitBackstopSeconds);
    while (SoundFakes::CursorReadsInside.load() == 0 && !backstop.Passed()) {
        SleepMilliseconds(1);
    }
    ASSERT_EQ(SoundFakes::CursorReadsInside.load(), 1) << backstop.Report();
#if !defined(_WIN32)
    HostSoundPumpResult = -1;
#endif
    EXPECT_EQ(TermSoundOutputSystem(), 0);
#if !defined(_WIN32)
    HostSoundPumpResult = 0;
#endif
    EXPECT_EQ(SoundFakes::CursorReadsInsideAtShutdown, 0) << "a refill was still running";
    EXPECT_EQ(GetStreamThreadStopWord(), STREAM_THREAD_STOPPED);
    EXPECT_EQ(HasStreamThreadHandle(), 0) << "the thread handle is closed";
    EXPECT_TRUE(SoundFakes::Buffers.empty());
    SoundFakes::Stop();
}

TEST(SoundSystemTest, BufferDescriptionsAndTheFallbackWithoutGlobalFocus)
{
    struct Case {
        int dataKind;
        uint32_t reject;
        std::vector<uint32_t> attempts;
    } cases[] = {
        {0, 0, {32994}},
        {0, kBufferFlagGlobalFocus, {32994, 32994 - 32768}}, // everything but the focus flag
        {2, 0, {98530}},
    };
    std::string path = WriteTone("flags.wav", 1);
    for (const Case &c : cases) {
        ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend()), 0);
        SoundFakes::RejectFlags = c.reject;
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = c.dataKind;
        int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 3, -1, 0, nullptr);
        EXPECT_NE(handle, -1);
        EXPECT_EQ(SoundFakes::CreatedFlags, c.attempts) << c.dataKind << " " << c.reject;
        EXPECT_EQ(SoundFakes::Buffers.size(), 1u) << "a buffer back-end keeps only the first buffer";
        if (c.attempts.size() == 2) {
            EXPECT_EQ(SoundFakes::Buffers[0]->flags & kBufferFlagCtrlFrequency, kBufferFlagCtrlFrequency);
        }
        SoundFakes::Stop();
    }
}

TEST(SoundSystemTest, RestartsWhileTheEngineThreadFeedsTheVoiceStillEndTheLastPlay)
{
    // The game restarts effects from the start while they play; the voice's
    // engine runs on its own thread and is neither stopped nor waited for.
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    std::string path = WriteTone("restarted.wav", 1);
    int handle = LoadSoundFileAsHandle(path.c_str(), 1, -1);
    ASSERT_NE(handle, -1);
    SoundFakes::FakeVoice *voice = SoundFakes::Voices.back();
    std::atomic<bool> quit{false};
    std::atomic<int> passes{0};
    std::thread engine([&] {
        while (!quit) {
            SoundFakes::PullVoice(voice, 200);
            ++passes;
            std::this_thread::yield();
        }
    });
    for (int restart = 0; restart < 200; ++restart) {
        EXPECT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0); // the engine thread is still to join
        for (int until = passes + restart % 5; passes < until;) {
            std::this_thread::yield();
        }
    }
    // A second of 8000 Hz in passes of 100 frames: 80 passes play it through.
    for (int until = passes + 10000; IsSoundHandlePlaying(handle) == 1 && passes < until;) {
        std::this_thread::yield();
    }
    quit = true;
    engine.join();
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << "the last play ended";
    EXPECT_EQ(GetSoundHandlePlayPositionMs(handle), 1000) << "after all of it played";
    SoundFakes::Stop();
}
