// The play position of a looped stream sound is its place within the loop on
// every pass, also for a loop shorter than the refill's lead (0.375 s and up),
// which the refill writes several times over before the play cursor reaches
// the first of its wraps.

#include "sound_fakes.h"

#include "sound/sound_handle.h"
#include "sound/stream_sound.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace Korvo;

namespace {

// 8-bit mono at 8000 Hz, as a movie soundtrack streams: 8 bytes a millisecond.
constexpr int kBytesPerMs = 8;
constexpr int kTick = 10 * kBytesPerMs;

// A source of ms milliseconds read from its file while it plays; false when it cannot be added.
bool AddSource(int handle, const std::string &name, int ms, signed char repeatCount)
{
    std::vector<uint8_t> pcm(static_cast<size_t>(ms * kBytesPerMs));
    for (size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<uint8_t>(1 + i % 200);
    }
    std::string path = SoundFakes::WriteFile(name, SoundFakes::WaveImage(MakePcmWaveFormat(1, 8000, 8), pcm));
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    return AddStreamSoundFromFile(&settings, path.c_str(), repeatCount, handle, STREAM_SOURCE_STREAM, -1, 0) == 0;
}

} // namespace

TEST(StreamLoopPositionTest, ThePositionIsThePlaceWithinTheLoopOnEveryPass)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend()), 0);
    struct Case {
        int introMs; // a first source played once, then the loop repeated for ever
        int loopMs;
    } cases[] = {
        {0, 30}, {0, 300}, {0, 500}, {0, 700}, {0, 800}, {0, 1000}, {0, 2000},
        {300, 200}, // the loop's wraps go back to its own start, not before the intro
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("intro " + std::to_string(c.introMs) + " ms, loop " + std::to_string(c.loopMs) + " ms");
        int handle = CreateSoundHandleRecord(0);
        ASSERT_NE(handle, -1);
        if (c.introMs > 0) {
            ASSERT_TRUE(AddSource(handle, "intro.wav", c.introMs, 0));
        }
        ASSERT_TRUE(AddSource(handle, "loop.wav", c.loopMs, c.introMs > 0 ? -1 : 0));
        ASSERT_EQ(StartSoundHandlePlayback(handle, PlayLoop, 1), 0);
        SoundFakes::FakeBuffer *ring = SoundFakes::Buffers.back();
        const int64_t intro = c.introMs * kBytesPerMs;
        const int64_t loop = c.loopMs * kBytesPerMs;
        int64_t played = 0;
        int off = 0;
        std::string firstOff;
        for (int reading = 0; reading < 600; ++reading) {
            played += static_cast<int64_t>(SoundFakes::AdvanceBuffer(ring, kTick).size());
            RefillAllStreamSounds();
            int64_t place = played < intro + loop ? played : (played - intro) % loop;
            int ms = GetSoundHandlePlayPositionMs(handle);
            if (std::abs(ms - static_cast<int>(place / kBytesPerMs)) > 10 && off++ == 0) {
                firstOff = "at " + std::to_string(played / kBytesPerMs) + " ms played: " + std::to_string(ms) +
                           " ms, not " + std::to_string(place / kBytesPerMs);
            }
        }
        EXPECT_EQ(played, 600 * kTick) << "the ring played throughout";
        EXPECT_EQ(off, 0) << "readings more than 10 ms off; the first " << firstOff;
        EXPECT_EQ(DeleteHandleRecord(handle), 0);
    }
    SoundFakes::Stop();
}
