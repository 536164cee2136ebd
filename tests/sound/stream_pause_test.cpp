// A stream sound that ends, or that the program stops, while a pause (window
// deactivation) holds it stays stopped when the pause is lifted. The ring is the
// sound tests' fake buffer, whose play cursor the test moves.

#include "sound_fakes.h"

#include "sound/sound_handle.h"
#include "sound/sound_system.h"
#include "sound/stream_ring.h"
#include "sound/stream_sound.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

constexpr int kRate = 8000;
constexpr int kTick = kRate * 2 / 100; // 10 ms of mono 16-bit

// The refill would end the sound now: the cursor has passed the data's end.
bool CursorPassedTheEnd(const SoundHandleRecord *record, const SoundFakes::FakeBuffer *ring)
{
    return record->endOfData != 0 &&
           IsOnRingStretch(static_cast<int>(ring->cursor) % record->ringLength, record->endCursor,
                           record->endPosition, record->ringLength) == 0;
}

} // namespace

TEST(StreamPauseTest, AStreamEndedOrStoppedWhilePausedStaysStoppedOnResume)
{
    const struct {
        const char *name;
        int mode;
        bool stopWhilePaused; // else it ends while paused
    } rows[] = {
        {"played once, ends while paused", PlayBackground, false},
        {"played once, stopped while paused", PlayBackground, true},
        {"looped, stopped while paused", PlayLoop, true},
    };
    const std::string path = SoundFakes::WriteFile(
        "pause_stream.wav",
        SoundFakes::WaveImage(MakePcmWaveFormat(1, kRate, 16), SoundFakes::SinePcm16(kRate, 1, 0.5, 300.0)));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend()), 0);
        SoundCreateSettings settings;
        CopySoundCreateSettings(&settings);
        settings.dataKind = STREAM_SOURCE_IMAGE;
        const int handle = LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
        ASSERT_NE(handle, -1);
        const SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
        SoundFakes::FakeBuffer *ring = SoundFakes::Buffers[0];
        ASSERT_EQ(StartSoundHandlePlayback(handle, row.mode, 1), 0);

        // Played up to the pause: a fifth of a second, or (to end while paused)
        // until the cursor has just passed the data's end.
        for (int tick = 0; tick < 200; ++tick) {
            SoundFakes::AdvanceBuffer(ring, kTick);
            if (row.stopWhilePaused ? tick == 20 : CursorPassedTheEnd(record, ring)) {
                break;
            }
            RefillStreamSound(handle, 0);
        }
        ASSERT_TRUE(ring->playing);
        ASSERT_EQ(SetSoundHandlesPaused(1), 0);
        if (row.stopWhilePaused) {
            ASSERT_EQ(StopSoundHandlePlayback(handle), 0);
        }
        RefillStreamSound(handle, 0); // the stream thread runs on through the pause
        ASSERT_EQ(SetSoundHandlesPaused(0), 0);
        EXPECT_FALSE(ring->playing) << "the resume played the ring again";
        for (int tick = 0; tick < 50; ++tick) {
            SoundFakes::AdvanceBuffer(ring, kTick);
            RefillStreamSound(handle, 0);
        }
        EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
        SoundFakes::Stop();
    }
}
