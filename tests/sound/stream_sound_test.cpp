// Stream sounds: a long file streams to its end through a ring whose play
// cursor the test moves, by the refill rules; looping has no gap; the same
// data reaches a voice back-end; sources of a few bytes or of none play every
// repeat and end in silence.

#include "sound_fakes.h"

#include "sound/sound_handle.h"
#include "sound/stream_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace Korvo;
using SoundFakes::FakeBuffer;

namespace {

constexpr int kRate = 11025;
constexpr int kBytesPerSecond = kRate * 2; // mono 16-bit
constexpr int kEighth = kBytesPerSecond / 8 / 2 * 2;
constexpr int kCatchUpLead = kBytesPerSecond * 192 / 512;
constexpr int kTick = kBytesPerSecond / 100; // 10 ms

// 16-bit mono samples that never repeat within the file (a misplaced byte shows).
std::vector<uint8_t> CountingPcm(int seconds)
{
    std::vector<uint8_t> pcm;
    for (int i = 0; i < seconds * kRate; ++i) {
        uint16_t value = static_cast<uint16_t>(i * 7 + (i >> 16) * 3);
        pcm.push_back(static_cast<uint8_t>(value));
        pcm.push_back(static_cast<uint8_t>(value >> 8));
    }
    return pcm;
}

int LoadStream(const std::vector<uint8_t> &pcm, const char *name, int dataKind)
{
    std::string path = SoundFakes::WriteFile(name, SoundFakes::WaveImage(MakePcmWaveFormat(1, kRate, 16), pcm));
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    settings.dataKind = dataKind;
    return LoadSoundFileWithSettings(&settings, path.c_str(), 1, -1, 0, nullptr);
}

int Lead(const SoundHandleRecord *record, const FakeBuffer *ring)
{
    int length = record->ringLength;
    return ((record->writePosition - static_cast<int>(ring->cursor)) % length + length) % length;
}

class StreamSoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SoundFakes::StartWith(SoundFakes::BufferBackend()), 0); }
    void TearDown() override { SoundFakes::Stop(); }
};

} // namespace

TEST_F(StreamSoundTest, LongFileStreamsToItsEndByTheRefillRules)
{
    std::vector<uint8_t> pcm = CountingPcm(181);
    int handle = LoadStream(pcm, "long181.wav", 0);
    ASSERT_NE(handle, -1);
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    ASSERT_EQ(record->isStream, 1) << "181 s of data kind 0 becomes a stream sound";
    ASSERT_EQ(SoundFakes::Buffers.size(), 1u);
    FakeBuffer *ring = SoundFakes::Buffers[0];
    EXPECT_EQ(record->ringLength, kBytesPerSecond);
    EXPECT_EQ(record->writePosition, kBytesPerSecond * 192 / 256 / 2 * 2) << "first fill: 0.75 s";
    EXPECT_FALSE(ring->playing);
    EXPECT_EQ(GetSoundHandleLengthMs(handle), 181000);

    ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
    std::vector<uint8_t> played;
    int ticks = 0;
    int fullRefills = 0;
    int refused = 0;
    int catchUps = 0;
    while (IsSoundHandlePlaying(handle) == 1 && ticks < 20000) {
        // One stall halfway: the cursor jumps 0.45 s, the lead falls under 0.375 s.
        int step = ticks == 9000 ? kBytesPerSecond * 45 / 100 : kTick;
        std::vector<uint8_t> passed = SoundFakes::AdvanceBuffer(ring, static_cast<uint32_t>(step));
        played.insert(played.end(), passed.begin(), passed.end());
        bool dataEnded = record->endOfData != 0;
        int leadBefore = Lead(record, ring);
        int writeBefore = record->writePosition;
        int result = RefillStreamSound(handle, 0);
        int written = ((record->writePosition - writeBefore) % kBytesPerSecond + kBytesPerSecond) % kBytesPerSecond;
        if (!dataEnded && record->streamPlaying != 0 && record->endOfData == 0) {
            if (leadBefore > kBytesPerSecond * 3 / 4) {
                EXPECT_EQ(result, -1) << "tick " << ticks << ": more than 0.75 s ahead, no room";
                EXPECT_EQ(written, 0);
                ++refused;
            } else if (leadBefore * 512 / kBytesPerSecond >= 192) {
                EXPECT_EQ(written, kEighth) << "tick " << ticks;
                ++fullRefills;
            } else {
                EXPECT_NEAR(Lead(record, ring), kCatchUpLead, 2) << "tick " << ticks << ": caught up to 0.375 s";
                ++catchUps;
            }
            EXPECT_LE(Lead(record, ring), kBytesPerSecond * 3 / 4 + kEighth) << "tick " << ticks;
        }
        ++ticks;
    }
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0) << "the stream stopped by itself";
    EXPECT_FALSE(ring->playing);
    // Before the stall: 1/8 s about every 12 ticks, refused in between; after it
    // every pass only tops the lead up to 0.375 s again.
    EXPECT_GT(fullRefills, 600);
    EXPECT_GT(refused, 7000);
    EXPECT_GT(catchUps, 8000);
    ASSERT_GE(played.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin())) << "the ring carried the file's samples in order";
    for (size_t i = pcm.size(); i < played.size(); ++i) {
        ASSERT_EQ(played[i], 0) << "silence after the data, byte " << i;
    }
    EXPECT_LT(played.size() - pcm.size(), static_cast<size_t>(kBytesPerSecond) / 4);
    EXPECT_EQ(record->streamPlaying, 0);
    EXPECT_EQ(record->playPosition, 0);
}

TEST_F(StreamSoundTest, LoopPlaysTheRingWithoutAGapAndThePositionWraps)
{
    std::vector<uint8_t> pcm = CountingPcm(1);
    pcm.resize(static_cast<size_t>(kBytesPerSecond) * 13 / 10 / 2 * 2); // 1.3 s: a loop longer than the ring
    for (size_t i = static_cast<size_t>(kBytesPerSecond); i < pcm.size(); ++i) {
        pcm[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    int handle = LoadStream(pcm, "loop.wav", STREAM_SOURCE_IMAGE);
    ASSERT_NE(handle, -1);
    FakeBuffer *ring = SoundFakes::Buffers[0];
    ASSERT_EQ(StartSoundHandlePlayback(handle, PlayLoop, 1), 0);
    std::vector<uint8_t> played;
    for (int tick = 0; tick < 400; ++tick) {
        std::vector<uint8_t> passed = SoundFakes::AdvanceBuffer(ring, kTick);
        played.insert(played.end(), passed.begin(), passed.end());
        RefillAllStreamSounds();
        if (tick == 149) {
            // 1.5 s played: 0.2 s into the second pass.
            EXPECT_NEAR(GetSoundHandlePlayPositionMs(handle), 200, 20);
        }
    }
    EXPECT_EQ(IsSoundHandlePlaying(handle), 1);
    ASSERT_EQ(played.size(), static_cast<size_t>(400 * kTick));
    for (size_t i = 0; i < played.size(); ++i) {
        ASSERT_EQ(played[i], pcm[i % pcm.size()]) << "byte " << i;
    }
    EXPECT_EQ(StopSoundHandlePlayback(handle), 0);
    EXPECT_FALSE(ring->playing);
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
}

TEST_F(StreamSoundTest, SourcesBeyondThreeOrOfAnotherFormatAreRefused)
{
    std::vector<uint8_t> pcm = CountingPcm(1);
    int handle = LoadStream(pcm, "first.wav", STREAM_SOURCE_IMAGE);
    ASSERT_NE(handle, -1);
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    std::vector<uint8_t> same = SoundFakes::WaveImage(MakePcmWaveFormat(1, kRate, 16), pcm);
    std::vector<uint8_t> other = SoundFakes::WaveImage(MakePcmWaveFormat(2, kRate, 16), pcm);
    int size = static_cast<int>(same.size());
    EXPECT_EQ(AddStreamSoundFromMemory(&settings, other.data(), size, 0, handle, 2, -1, 0), -1);
    EXPECT_EQ(AddStreamSoundFromMemory(&settings, same.data(), size, 0, handle, 2, -1, 0), 0);
    EXPECT_EQ(AddStreamSoundFromMemory(&settings, same.data(), size, 0, handle, 2, -1, 0), 0);
    EXPECT_EQ(AddStreamSoundFromMemory(&settings, same.data(), size, 0, handle, 2, -1, 0), -1);
    EXPECT_EQ(GetSoundHandleLengthMs(handle), 3000);
}

TEST(StreamOverVoicesTest, StreamedDataReachesTheVoiceAndEnds)
{
    ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    std::vector<uint8_t> pcm = CountingPcm(3);
    int handle = LoadStream(pcm, "voice_stream.wav", STREAM_SOURCE_STREAM);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(StartSoundHandlePlayback(handle, PlayBackground, 1), 0);
    SoundFakes::FakeVoice *voice = SoundFakes::Voices[0];
    for (int pass = 0; pass < 1000 && IsSoundHandlePlaying(handle) == 1; ++pass) {
        SoundFakes::PullVoice(voice, kTick);
        RefillAllStreamSounds();
    }
    EXPECT_EQ(IsSoundHandlePlaying(handle), 0);
    ASSERT_GE(voice->captured.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), voice->captured.begin()));
    SoundFakes::Stop();
}

TEST_F(StreamSoundTest, SoundsSharingARingTakeItOverAndTheOwnerOutlivesItsBorrower)
{
    std::vector<uint8_t> pcm = CountingPcm(2);
    int owner = LoadStream(pcm, "owner.wav", STREAM_SOURCE_IMAGE);
    ASSERT_NE(owner, -1);
    std::string path = SoundFakes::WriteFile("borrower.wav", SoundFakes::WaveImage(MakePcmWaveFormat(1, kRate, 16), pcm));
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    settings.dataKind = STREAM_SOURCE_IMAGE;
    int borrower = LoadSoundFileWithSettings(&settings, path.c_str(), 1, owner, 0, nullptr);
    ASSERT_NE(borrower, -1);
    EXPECT_EQ(SoundFakes::Buffers.size(), 1u) << "one ring for both";

    ASSERT_EQ(StartSoundHandlePlayback(owner, PlayLoop, 1), 0);
    EXPECT_EQ(IsSoundHandlePlaying(owner), 1);
    ASSERT_EQ(StartSoundHandlePlayback(borrower, PlayBackground, 1), 0);
    EXPECT_EQ(IsSoundHandlePlaying(owner), 0) << "the second sound took the ring over";
    EXPECT_EQ(IsSoundHandlePlaying(borrower), 1);

    EXPECT_EQ(DeleteHandleRecord(owner), 0);
    EXPECT_NE(LookupHandleRecord(owner), nullptr) << "kept while its ring is borrowed";
    std::vector<uint8_t> played = SoundFakes::AdvanceBuffer(SoundFakes::Buffers[0], kTick * 10);
    RefillAllStreamSounds();
    EXPECT_EQ(IsSoundHandlePlaying(borrower), 1);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), pcm.begin())) << "the borrower plays its data from the start";

    EXPECT_EQ(DeleteHandleRecord(borrower), 0);
    EXPECT_EQ(LookupHandleRecord(owner), nullptr) << "the owner goes with its last borrower";
    EXPECT_TRUE(SoundFakes::Buffers.empty());
}

TEST_F(StreamSoundTest, TinyAndEmptySourcesPlayEveryRepeatAndNothingUnwritten)
{
    // 8-bit mono at 8000 Hz: one byte a frame, silence 127; the fake ring starts
    // as 0xEE, so a byte the library never wrote shows.
    constexpr int kByteRate = 8000;
    constexpr int kByteTick = kByteRate / 100;
    constexpr uint8_t kSilence = 127;
    // A source that gives nothing reads through a stream that holds its bytes
    // back. A refill pass that goes on reading such sources far beyond any
    // round of the data (here at most some 9000 reads) is let through to its
    // bytes, so that it ends, and the test fails instead of hanging.
    constexpr int kReadsBeyondAnyPass = 100000;
    struct Case {
        std::vector<int> sizes;
        std::vector<int> repeats;
        bool loop;
    } cases[] = {
        {{10}, {2}, false},           // a seek back within 15 bytes restarts it
        {{15, 3}, {1, 4}, false},
        {{0}, {30}, false},           // more empty repeats than a pass used to try
        {{0}, {9}, false},
        {{0, 0, 0}, {2, 2, 2}, false},
        {{10, 0, 16}, {1, 12, 0}, false},
        {{10}, {2}, true},
        {{0, 7}, {20, 1}, true},      // empty repeats in a loop add nothing
        {{0, 0}, {3, 3}, true},       // nothing to loop: ends in silence
        {{5, 0}, {0, -1}, false},     // nothing to repeat for ever: ends in silence
        {{4}, {-1}, false},           // repeated for ever, faster than the wraps are passed
        {{4}, {-1}, true},
        {{0}, {0}, true},             // a loop over nothing
    };
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    for (size_t c = 0; c < sizeof(cases) / sizeof(cases[0]); ++c) {
        const Case &test = cases[c];
        SCOPED_TRACE("case " + std::to_string(c));
        int handle = CreateSoundHandleRecord(0);
        ASSERT_NE(handle, -1);
        std::vector<uint8_t> cycle;
        bool forever = false; // a source repeated for ever (-1) with data, standing alone
        std::vector<SoundFakes::HeldBackStream> givingNothing(test.sizes.size());
        SoundWaveFormat format = MakePcmWaveFormat(1, kByteRate, 8);
        for (size_t s = 0; s < test.sizes.size(); ++s) {
            std::vector<uint8_t> pcm;
            for (int i = 0; i < test.sizes[s]; ++i) {
                pcm.push_back(static_cast<uint8_t>(1 + i + 50 * s));
            }
            forever = forever || (test.repeats[s] < 0 && !pcm.empty());
            for (int r = 0; r <= std::max(test.repeats[s], 0); ++r) {
                cycle.insert(cycle.end(), pcm.begin(), pcm.end());
            }
            signed char repeats = static_cast<signed char>(test.repeats[s]);
            if (pcm.empty()) {
                SoundFakes::HeldBackStream &held = givingNothing[s];
                held.image = SoundFakes::WaveImage(format, std::vector<uint8_t>(64, 0xA5));
                held.heldFrom = static_cast<int>(held.image.size()) - 64;
                held.giveAfter = kReadsBeyondAnyPass;
                int keeps = 0;
                ASSERT_EQ(AddSreamSound(&settings, SoundFakes::HeldBackStreamOps(), reinterpret_cast<uintptr_t>(&held),
                                        repeats, handle, STREAM_SOURCE_STREAM, &keeps, -1, 0),
                          0);
                continue;
            }
            std::string name = "tiny" + std::to_string(c) + "_" + std::to_string(s) + ".wav";
            std::string path = SoundFakes::WriteFile(name, SoundFakes::WaveImage(format, pcm));
            ASSERT_EQ(AddStreamSoundFromFile(&settings, path.c_str(), repeats, handle, STREAM_SOURCE_STREAM, -1, 0), 0);
        }
        auto newPass = [&] {
            for (SoundFakes::HeldBackStream &held : givingNothing) {
                held.refusedReads = 0;
            }
        };
        FakeBuffer *ring = SoundFakes::Buffers.back();
        bool endless = (test.loop || forever) && !cycle.empty();
        // A play that ends is played again from the start: the same bytes again.
        for (int play = 0; play < (endless ? 1 : 2); ++play) {
            SCOPED_TRACE("play " + std::to_string(play));
            newPass();
            ASSERT_EQ(StartSoundHandlePlayback(handle, test.loop ? PlayLoop : PlayBackground, 1), 0);
            std::vector<uint8_t> played;
            for (int tick = 0; tick < 300 && IsSoundHandlePlaying(handle) == 1; ++tick) {
                std::vector<uint8_t> passed = SoundFakes::AdvanceBuffer(ring, kByteTick);
                played.insert(played.end(), passed.begin(), passed.end());
                newPass();
                RefillAllStreamSounds();
            }
            for (const SoundFakes::HeldBackStream &held : givingNothing) {
                EXPECT_TRUE(held.image.empty() || held.held)
                    << "a refill pass read sources that give nothing more than " << kReadsBeyondAnyPass << " times";
            }
            // The cycle over and over in a loop, else once and then silence.
            auto expected = [&](size_t i) {
                return endless ? cycle[i % cycle.size()] : i < cycle.size() ? cycle[i] : kSilence;
            };
            size_t same = 0;
            while (same < played.size() && played[same] == expected(same)) {
                ++same;
            }
            EXPECT_EQ(same, played.size()) << "first wrong byte";
            EXPECT_EQ(IsSoundHandlePlaying(handle), endless ? 1 : 0);
            if (!endless) {
                EXPECT_GE(played.size(), cycle.size());
                EXPECT_LT(played.size(), cycle.size() + kByteRate / 4) << "ended by itself soon after";
            }
        }
        EXPECT_EQ(DeleteHandleRecord(handle), 0);
    }
}
