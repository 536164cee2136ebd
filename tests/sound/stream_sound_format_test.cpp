// Stream sounds at the edges of the WAVE format fields: the highest byte rates a
// reader takes stream to their end (their sizes overflow an int when worked out
// in one), while rates no reader takes, or below 60 frames a second, are refused
// at load with a log line.

#include "sound_fakes.h"

#include "sound/sound_handle.h"
#include "sound/stream_sound.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Korvo;

namespace {

// A format as the "fmt " chunk states it (the byte rate as the fields give it).
SoundWaveFormat FieldFormat(int channels, int bits, uint32_t rate)
{
    SoundWaveFormat format{};
    format.formatTag = 1;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = rate;
    format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.avgBytesPerSec = static_cast<uint32_t>(uint64_t(rate) * format.blockAlign);
    format.bitsPerSample = static_cast<uint16_t>(bits);
    return format;
}

} // namespace

TEST(StreamSoundFormatTest, HighestRatesStreamToTheirEndAndUnplayableOnesAreRefused)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend()), 0);
    struct Case {
        const char *name;
        int channels;
        int bits;
        uint32_t rate;
        const char *refusal; // log line of a refused file; null when it streams
    } cases[] = {
        {"8 channels of 32 bits at 400 kHz", 8, 32, 400000, nullptr},
        {"the widest frame at the highest rate a reader takes for it", 65535, 8, 1024, nullptr},
        {"the widest frame at the highest rate the fields hold", 65535, 8, 0xFFFFFFFFu, "音声データのオープンに失敗しました"},
        {"60 frames a second", 1, 16, 60, nullptr},
        {"59 frames a second", 1, 16, 59, "毎秒 60 フレーム未満の音声データはストリームサウンドにできません"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SoundWaveFormat format = FieldFormat(c.channels, c.bits, c.rate);
        // A quarter second of bytes that do not repeat in step with the ring
        // (a few frames for a refused file).
        size_t frames = c.refusal != nullptr ? 16 : c.rate / 4;
        std::vector<uint8_t> pcm(frames * format.blockAlign);
        for (size_t i = 0; i < pcm.size(); ++i) {
            pcm[i] = static_cast<uint8_t>(i * 7 + i / 251);
        }
        std::string path = SoundFakes::WriteFile("edge_rate.wav", SoundFakes::WaveImage(format, pcm));
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = STREAM_SOURCE_STREAM;
        KorvoTest::StartFreshLog();
        int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
        if (c.refusal != nullptr) {
            EXPECT_EQ(handle, -1);
            EXPECT_NE(KorvoTest::ReadLogFile().find(c.refusal), std::string::npos);
            continue;
        }
        ASSERT_NE(handle, -1);
        EXPECT_EQ(FindSoundHandleRecord(handle, 0)->ringLength, static_cast<int>(format.avgBytesPerSec));
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
        SoundFakes::FakeBuffer *ring = SoundFakes::Buffers.back();
        // 10 ms a tick, whole frames; the sound must end within 5 s of ticks.
        const uint32_t tick = std::max<uint32_t>(c.rate / 100, 1) * format.blockAlign;
        std::vector<uint8_t> played;
        for (int ticks = 0; ticks < 500 && IsSoundHandlePlaying(handle) == 1; ++ticks) {
            std::vector<uint8_t> passed = SoundFakes::AdvanceBuffer(ring, tick);
            played.insert(played.end(), passed.begin(), passed.end());
            RefillAllStreamSounds();
        }
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << "the stream ended";
        ASSERT_GE(played.size(), pcm.size());
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin())) << "the data played in order";
        DeleteHandleRecord(handle);
    }
    SoundFakes::Stop();
}
