// Play buffers over a voice back-end: the feed, settings and the shared data.

#include "sound_fakes.h"

#include "sound/play_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace Korvo;
using SoundFakes::FakeVoice;

namespace {

bool IsPlaying(PlayBuffer *buffer)
{
    uint32_t status = 0;
    return GetPlayBufferStatus(buffer, &status) == 0 && (status & kBufferStatusPlaying) != 0;
}

class PlayBufferTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0); }
    void TearDown() override { SoundFakes::Stop(); }

    // A 6000 Hz mono 16-bit buffer of frames frames (pieces of 100 frames).
    FakeVoice *Make(PlayBuffer *buffer, int frames, PlayBuffer *shared = nullptr)
    {
        format = MakePcmWaveFormat(1, 6000, 16);
        SoundBufferDesc desc{0, static_cast<uint32_t>(frames * 2), &format};
        *buffer = PlayBuffer{};
        EXPECT_EQ(CreatePlayBuffer(buffer, shared != nullptr ? nullptr : &desc, shared, 0), 0);
        return SoundFakes::Voices.back();
    }
    SoundWaveFormat format;
};

} // namespace

TEST_F(PlayBufferTest, FeedSubmitsSixtiethsAndStopsOrWrapsAtTheEnd)
{
    struct Case {
        int loop;
        uint32_t request;
        int startFrame;
        size_t expectedBytes;  // handed over in one pass
        int expectedSubmit;    // submit position after it
        bool stillPlaying;
    } cases[] = {
        {0, 1, 0, 0, 0, true},          // less than one frame: nothing
        {0, 150, 0, 150, 75, true},     // a piece cut to the request
        {0, 1000, 0, 500, 250, false},  // 250 frames: 200 + 50, then stopped
        {1, 1000, 200, 1000, 200, true}, // 50 to the end, wrap to 0 in the same pass, on to 500 frames
        {1, 100, 249, 102, 50, true},   // the last frame, wrap, then a piece cut to the request
    };
    for (const Case &c : cases) {
        PlayBuffer buffer;
        FakeVoice *voice = Make(&buffer, 250);
        SetPlayBufferPosition(c.startFrame * 2, &buffer);
        PlayPlayBuffer(&buffer, c.loop);
        SoundFakes::PullVoice(voice, c.request);
        EXPECT_EQ(voice->captured.size(), c.expectedBytes) << c.request << " loop " << c.loop;
        EXPECT_EQ(buffer.submitPosition % 250, c.expectedSubmit % 250) << c.request << " loop " << c.loop;
        EXPECT_EQ(IsPlaying(&buffer), c.stillPlaying) << c.request << " loop " << c.loop;
        EXPECT_EQ(buffer.playPosition, buffer.submitPosition);
        ReleasePlayBuffer(&buffer);
    }
}

TEST_F(PlayBufferTest, SettingsAreClampedAndBecomeChannelVolumesAndRatio)
{
    PlayBuffer buffer;
    FakeVoice *voice = Make(&buffer, 100);
    struct Case {
        int volume, pan, frequency;
        int storedVolume, storedPan, storedFrequency;
        float left, ratio;
    } cases[] = {
        {500, 0, 0, 0, 0, -1, 1.0f, 1.0f},
        {-20000, 0, 3000, -10000, 0, 3000, 1e-5f, 0.5f},
        {-600, 20000, 12000, -600, 10000, 12000, 0.501187f * 1e-5f, 2.0f},
        {0, -600, 0, 0, -600, -1, 1.0f, 1.0f},
    };
    for (const Case &c : cases) {
        SetPlayBufferVolume(&buffer, c.volume);
        SetPlayBufferPan(c.pan, &buffer);
        SetPlayBufferFrequency(&buffer, c.frequency);
        EXPECT_EQ(buffer.volume, c.storedVolume);
        EXPECT_EQ(buffer.pan, c.storedPan);
        EXPECT_EQ(buffer.frequency, c.storedFrequency);
        ASSERT_EQ(voice->volumes.size(), 1u); // mono: one channel volume
        EXPECT_NEAR(voice->volumes[0], c.left, 1e-6f) << c.volume << " " << c.pan;
        EXPECT_FLOAT_EQ(voice->ratio, c.ratio);
    }
    ReleasePlayBuffer(&buffer);
}

TEST_F(PlayBufferTest, SharedDataOutlivesTheFirstBufferAndLocksSplitAtTheEnd)
{
    PlayBuffer first;
    PlayBuffer second;
    Make(&first, 100);
    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    ASSERT_EQ(LockPlayBuffer(0, &first, 200, &part1, &size1, &part2, &size2), 0);
    for (int i = 0; i < 200; ++i) {
        static_cast<uint8_t *>(part1)[i] = static_cast<uint8_t>(i);
    }
    FakeVoice *voice = Make(&second, 0, &first);
    EXPECT_EQ(second.pcm, first.pcm);
    EXPECT_EQ(first.pcm->referenceCount, 2);
    ReleasePlayBuffer(&first);
    EXPECT_EQ(second.pcm->referenceCount, 1);

    ASSERT_EQ(LockPlayBuffer(160, &second, 80, &part1, &size1, &part2, &size2), 0);
    EXPECT_EQ(size1, 40u);
    EXPECT_EQ(size2, 40u);
    EXPECT_EQ(part2, second.pcm->data);
    ASSERT_EQ(LockPlayBuffer(20, &second, 80, &part1, &size1, &part2, &size2), 0);
    EXPECT_EQ(size1, 80u);
    EXPECT_EQ(part2, nullptr);

    PlayPlayBuffer(&second, 0);
    SoundFakes::PullVoice(voice, 400);
    ASSERT_EQ(voice->captured.size(), 200u);
    EXPECT_EQ(voice->captured[199], 199);
    ReleasePlayBuffer(&second);
    EXPECT_EQ(PlayPlayBuffer(&second, 0), -1);
}

TEST_F(PlayBufferTest, LocksBetweenFramesStayInsideTheRing)
{
    // Stereo 16-bit: 4-byte frames, 25 of them.
    SoundWaveFormat stereo = MakePcmWaveFormat(2, 6000, 16);
    SoundBufferDesc desc{0, 100, &stereo};
    PlayBuffer buffer{};
    ASSERT_EQ(CreatePlayBuffer(&buffer, &desc, nullptr, 0), 0);
    const unsigned char *ring = buffer.pcm->data;
    struct Case {
        int offset, bytes;
        uint32_t size1, size2;
    } cases[] = {
        {96, 4, 4, 0},  // the last frame, exactly
        {98, 4, 2, 2},  // half a frame before the end
        {97, 4, 3, 1},
        {99, 3, 1, 2},
        {10, 90, 90, 0}, // up to the end
        {10, 91, 90, 1},
    };
    for (const Case &c : cases) {
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        ASSERT_EQ(LockPlayBuffer(c.offset, &buffer, c.bytes, &part1, &size1, &part2, &size2), 0) << c.offset;
        EXPECT_EQ(static_cast<const unsigned char *>(part1) - ring, c.offset);
        EXPECT_EQ(size1, c.size1) << c.offset << "+" << c.bytes;
        EXPECT_EQ(size2, c.size2) << c.offset << "+" << c.bytes;
        EXPECT_EQ(part2 == ring, c.size2 > 0) << c.offset << "+" << c.bytes;
    }
    ReleasePlayBuffer(&buffer);
}

TEST_F(PlayBufferTest, NonLoopingVoiceStopsOnlyOnceItsLastPieceHasPlayed)
{
    PlayBuffer buffer;
    FakeVoice *voice = Make(&buffer, 150);
    PlayPlayBuffer(&buffer, 0);
    FeedPlayBufferVoice(&buffer, 1000);
    EXPECT_EQ(voice->queued.size(), 2u);
    EXPECT_TRUE(IsPlaying(&buffer)) << "ending now would cut off the queued pieces";
    SoundFakes::PullVoice(voice, 0); // the engine plays the queued pieces out
    EXPECT_EQ(voice->captured.size(), 300u);
    EXPECT_FALSE(IsPlaying(&buffer));
    ReleasePlayBuffer(&buffer);
}

TEST_F(PlayBufferTest, BelowSixtyFramesASecondPiecesAreOneFrameAndTheVoiceEnds)
{
    SoundWaveFormat slow = MakePcmWaveFormat(1, 30, 16);
    SoundBufferDesc desc{0, 20, &slow}; // 10 frames
    PlayBuffer buffer{};
    ASSERT_EQ(CreatePlayBuffer(&buffer, &desc, nullptr, 0), 0);
    FakeVoice *voice = SoundFakes::Voices.back();
    PlayPlayBuffer(&buffer, 0);
    for (int pass = 0; pass < 20 && IsPlaying(&buffer); ++pass) {
        SoundFakes::PullVoice(voice, 4);
    }
    EXPECT_EQ(voice->captured.size(), 20u);
    EXPECT_FALSE(IsPlaying(&buffer));
    ReleasePlayBuffer(&buffer);
}

TEST_F(PlayBufferTest, ARestartPlaysTheWholeSoundOnceWhateverTheEarlierPlayLeftInTheEngine)
{
    // The engine reports the end of flushed pieces too, whenever it likes, and a
    // stop or a flush does not wait for a pass under way: neither may count
    // against the new play nor move where it starts.
    struct Case {
        const char *when;
        bool duringPass;
    } cases[] = {
        {"between passes", false},
        {"during a pass", true},
    };
    for (const Case &c : cases) {
        PlayBuffer buffer;
        FakeVoice *voice = Make(&buffer, 250);
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        ASSERT_EQ(LockPlayBuffer(0, &buffer, 500, &part1, &size1, &part2, &size2), 0);
        std::vector<uint8_t> pcm(500);
        for (size_t i = 0; i < pcm.size(); ++i) {
            pcm[i] = static_cast<uint8_t>(i * 7 + i / 256);
        }
        std::memcpy(part1, pcm.data(), pcm.size());
        auto restart = [&] {
            StopPlayBuffer(&buffer);
            SetPlayBufferPosition(0, &buffer);
            PlayPlayBuffer(&buffer, 0);
        };
        PlayPlayBuffer(&buffer, 0);
        if (c.duringPass) {
            voice->onSubmit = restart;
        }
        FeedPlayBufferVoice(&buffer, 400); // two pieces queued, none played yet
        if (!c.duringPass) {
            restart();
        }
        for (int pass = 0; pass < 10 && IsPlaying(&buffer); ++pass) {
            SoundFakes::PullVoice(voice, 1000);
        }
        EXPECT_EQ(voice->captured.size(), pcm.size()) << c.when;
        EXPECT_TRUE(voice->captured == pcm) << c.when << ": not the sound from its start, once";
        EXPECT_FALSE(IsPlaying(&buffer)) << c.when;
        ReleasePlayBuffer(&buffer);
    }
}

TEST_F(PlayBufferTest, TheEndsOfAnEarlierPlaysPiecesDoNotEndARestartedPlay)
{
    // An engine that plays one piece at a time: the two pieces a restart flushed
    // report their ends once none, one or two of the new play's own have ended.
    for (int ownEndsFirst : {0, 1, 2}) {
        PlayBuffer buffer;
        FakeVoice *voice = Make(&buffer, 250);
        PlayPlayBuffer(&buffer, 0);
        FeedPlayBufferVoice(&buffer, 400);
        StopPlayBuffer(&buffer);
        SetPlayBufferPosition(0, &buffer);
        PlayPlayBuffer(&buffer, 0);
        FeedPlayBufferVoice(&buffer, 1000); // the whole sound: 100, 100 and 50 frames
        ASSERT_EQ(voice->flushed.size(), 2u);
        ASSERT_EQ(voice->queued.size(), 3u);
        for (int own = 0; own < 3; ++own) {
            if (own == ownEndsFirst) {
                SoundFakes::ReportFlushedEnds(voice);
            }
            EXPECT_TRUE(IsPlaying(&buffer)) << ownEndsFirst << ": ended with " << 3 - own << " own pieces to play";
            ASSERT_TRUE(SoundFakes::PlayOldestPiece(voice));
        }
        EXPECT_FALSE(IsPlaying(&buffer)) << ownEndsFirst;
        EXPECT_EQ(voice->captured.size(), 500u);
        ReleasePlayBuffer(&buffer);
    }
}
