// MP3 converted by the platform's media graph through the library's own memory
// source and sample grabber: close to the source, seekable, and failures that
// log their reason and keep nothing; a graph that never ends is given up.

#include "refusing_new.h"
#include "tests/core/log_capture.h"
#include "tests/sound/hang_watchdog.h"
#include "tests/sound/sound_test_files.h"

#include "core/system/win32/window_state.h"
#include "sound/win32/media_graph_job.h"
#include "sound/win32/mem_source_filter.h"
#include "sound/win32/sample_grabber.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

using namespace Korvo;
using namespace SoundTestFiles;

namespace {

// Only the media-graph reader.
constexpr int kMediaGraphOnly = 15;

std::vector<uint8_t> ReadFixture(const char *name)
{
    std::ifstream file(std::string(KORVO_SOUND_FIXTURE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

TEST(MediaGraphConversionTest, Mp3DecodesCloseToItsSourceAndSeeks)
{
    std::vector<uint8_t> mp3 = ReadFixture("sine_stereo_44100.mp3");
    std::vector<uint8_t> source = ReadFixture("sine_stereo_44100.raw");
    ASSERT_FALSE(mp3.empty()) << "tools/make_sound_fixtures.sh made no MP3 (is lame installed? tools/setup.sh)";
    KorvoTest::StartFreshLog();
    std::vector<uint8_t> decoded;
    SoundWaveFormat format{};
    bool accepted = DecodeWholeImage(mp3, kMediaGraphOnly, &decoded, &format);
    ASSERT_TRUE(accepted) << KorvoTest::ReadLogFile();
    EXPECT_EQ(format.formatTag, kWaveFormatPcm);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSec, 44100u);
    // More PCM than ten times the input: the buffer grew instead of failing.
    EXPECT_GT(decoded.size(), 10 * mp3.size());
    double snr = AlignedSnrDb(source, decoded, 2, 3000);
    std::printf("MP3 through the media graph: %zu bytes, %.1f dB\n", decoded.size(), snr);
    EXPECT_GT(snr, 20.0);

    AudioDecodeState state;
    ASSERT_TRUE(SetupDecodeOverImage(&state, mp3, kMediaGraphOnly));
    EXPECT_EQ(GetDecodedLengthBytes(&state), static_cast<int>(decoded.size()));
    for (int frame : {40000, 100, 88000}) {
        ASSERT_EQ(SeekDecodedSamples(&state, frame), 0);
        uint8_t got[16];
        ASSERT_EQ(ReadDecodedBytes(&state, got, 16), 16);
        EXPECT_EQ(std::memcmp(got, &decoded[4 * static_cast<size_t>(frame)], 16), 0) << frame;
    }
    EndDecodeOverImage(&state);
}

TEST(MediaGraphConversionTest, FailuresLogTheirReasonAndKeepNothing)
{
    std::vector<uint8_t> mp3 = ReadFixture("sine_stereo_44100.mp3");
    ASSERT_FALSE(mp3.empty());
    struct Case {
        const char *name;
        std::vector<uint8_t> image;
        int quit;
        std::vector<const char *> reasons; // any of these
    } cases[] = {
        {"no audio in the bytes", std::vector<uint8_t>(4096, 0x42), 0,
         {"グラフの構築に失敗しました", "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。"}},
        {"the application ends while converting", mp3, 1, {"MP3変換の途中でソフトが終了しました"}},
    };
    for (const Case &c : cases) {
        KorvoTest::StartFreshLog();
        WindowState.quit = c.quit;
        std::vector<uint8_t> decoded;
        SoundWaveFormat format{};
        EXPECT_FALSE(DecodeWholeImage(c.image, kMediaGraphOnly, &decoded, &format)) << c.name;
        WindowState.quit = 0;
        std::string log = KorvoTest::ReadLogFile();
        bool logged = false;
        for (const char *reason : c.reasons) {
            logged = logged || log.find(reason) != std::string::npos;
        }
        EXPECT_TRUE(logged) << c.name << ": " << log;
    }
}

TEST(MediaGraphConversionTest, OwnObjectsThatCannotBeMadeAreLoggedNotThrown)
{
    std::vector<uint8_t> mp3 = ReadFixture("sine_stereo_44100.mp3");
    ASSERT_FALSE(mp3.empty());
    struct Case {
        size_t bytes;
        const char *reason;
    } cases[] = {
        {sizeof(K_CMemStream), "MP3変換用 K_CMemStream の作成に失敗しました"},
        {sizeof(K_CMemReader), "MP3変換用 K_CMemReader の作成に失敗しました"},
        {sizeof(K_CSampleGrabber), "MP3変換用 K_CSampleGrabber の作成に失敗しました"},
    };
    for (const Case &c : cases) {
        KorvoTest::StartFreshLog();
        RefusingNew::RefuseNextNew(c.bytes);
        std::vector<uint8_t> decoded;
        SoundWaveFormat format{};
        EXPECT_FALSE(DecodeWholeImage(mp3, kMediaGraphOnly, &decoded, &format)) << c.reason;
        EXPECT_EQ(RefusingNew::TakeRefusalCount(), 1) << c.reason;
        EXPECT_NE(KorvoTest::ReadLogFile().find(c.reason), std::string::npos) << c.reason;
    }
}

// How the process that converts the file below ends: codes no crash gives.
constexpr int kGivenUpAndLogged = 0x4B566601;
constexpr int kConvertedWhole = 0x4B566602;
constexpr int kEndedWrong = 0x4B566603;

// Convert through the graph alone, then end the process with what came of it.
[[noreturn]] static void ConvertThroughTheGraphAndEnd(const std::vector<uint8_t> &wave, size_t pcmBytes)
{
    KorvoTest::StartFreshLog();
    MediaGraphStallLimitMs = 3000;
    std::vector<uint8_t> decoded;
    SoundWaveFormat format{};
    int code = kEndedWrong;
    if (DecodeWholeImage(wave, kMediaGraphOnly, &decoded, &format)) {
        std::fprintf(stderr, "this platform's graph converts the file: nothing to give up\n");
        code = decoded.size() == pcmBytes ? kConvertedWhole : kEndedWrong;
    } else if (KorvoTest::ReadLogFile().find("MP3変換が 3000 ミリ秒の間進まなかったため中断しました") != std::string::npos) {
        code = kGivenUpAndLogged;
    }
    std::fflush(stderr);
    ExitProcess(static_cast<UINT>(code));
}

TEST(MediaGraphConversionTest, AGraphThatMakesNoProgressIsGivenUpWithALogLine)
{
    // This platform's parser never finishes building a graph for a G.711 WAVE
    // whose data chunk has an odd length (with its own file source too); the
    // library reads such files itself, so only a graph alone sees it. The
    // conversion runs in a process of its own: the thread it gives up on stays
    // inside the platform, whose end of the process may then crash (wine64).
    std::vector<uint8_t> wave = ReadFixture("matrix/mulaw_mono_48000_odd.wav");
    ASSERT_FALSE(wave.empty());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SoundTestFiles::HangWatchdog watchdog(180);
    watchdog.Time("converting a G.711 WAVE through the media graph in a process of its own");
    EXPECT_EXIT(ConvertThroughTheGraphAndEnd(wave, 2 * 4801),
                [](int code) { return code == kGivenUpAndLogged || code == kConvertedWhole; }, "");
}
