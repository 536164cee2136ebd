// The reader chain beyond plain WAVE: Ogg Vorbis, and the compression-manager
// readers over the stand-in codec (each input byte becomes one sample), which
// show what bytes reach the codec and where seeks land.

#include "sound_fakes.h"
#include "sound_test_files.h"

#include "core/memory/tracked_alloc.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;
using namespace SoundTestFiles;

namespace {

// Every reader but the one of this mask bit.
int Only(int bit)
{
    return 31 & ~bit;
}

// Every reader of this code (the platform's media graph, 16, decodes what it likes).
constexpr int kOwnReaders = 16;

std::vector<uint8_t> AdpcmLikeFormat(uint16_t tag, uint16_t extra, uint16_t claimedExtra)
{
    SoundWaveFormat format = MakePcmWaveFormat(2, 8000, 4);
    format.formatTag = tag;
    format.blockAlign = 64;
    format.extraSize = claimedExtra;
    std::vector<uint8_t> bytes(reinterpret_cast<uint8_t *>(&format), reinterpret_cast<uint8_t *>(&format) + 18);
    bytes.resize(18 + extra, 0x33);
    return bytes;
}

class SoundConversionTest : public ::testing::Test {
protected:
    void SetUp() override { InstallFakeAcm(); }
    void TearDown() override { RemoveFakeAcm(); }
};

} // namespace

TEST_F(SoundConversionTest, ReadersAcceptTheirFilesAndFeedOnlyTheAudio)
{
    std::vector<uint8_t> body(64 * 10);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    std::vector<uint8_t> mp3 = Mp3Image(4, true, true);
    std::vector<uint8_t> frames(mp3.begin() + 40, mp3.end() - 128);
    struct Case {
        const char *name;
        std::vector<uint8_t> image;
        int mask;
        bool accepted;
        std::vector<uint8_t> codecInput; // what the stand-in codec must have seen
    } cases[] = {
        {"compressed WAVE with its extra format bytes", WaveImageWithFormat(AdpcmLikeFormat(2, 32, 32), body), kOwnReaders, true, body},
        {"extra bytes claimed beyond the chunk", WaveImageWithFormat(AdpcmLikeFormat(2, 2, 40), body), kOwnReaders, false, {}},
        {"a tag no codec knows", WaveImageWithFormat(AdpcmLikeFormat(0xFFFF, 0, 0), body), kOwnReaders, false, {}},
        {"cut compressed data gives the whole blocks present", [&] {
             std::vector<uint8_t> image = WaveImageWithFormat(AdpcmLikeFormat(2, 32, 32), body);
             image.resize(image.size() - 1);
             return image;
         }(), kOwnReaders, true, std::vector<uint8_t>(body.begin(), body.begin() + 4 * 128)},
        {"MP3 without its ID3v2.4 tag and footer and its ID3v1 trailer", mp3, kOwnReaders, true, frames},
        {"MP3 reader disabled", mp3, kOwnReaders | 8, false, {}},
        {"only the compression-manager WAVE reader", WaveImageWithFormat(AdpcmLikeFormat(2, 32, 32), body), Only(2), true, body},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> pcm;
        SoundWaveFormat format{};
        bool accepted = DecodeWholeImage(c.image, c.mask, &pcm, &format);
        ASSERT_EQ(accepted, c.accepted) << c.name;
        if (!accepted) {
            continue;
        }
        EXPECT_EQ(format.formatTag, kWaveFormatPcm) << c.name;
        ASSERT_EQ(pcm.size(), 2 * c.codecInput.size()) << c.name;
        for (size_t i = 0; i < c.codecInput.size(); ++i) {
            ASSERT_EQ(pcm[2 * i + 1], c.codecInput[i]) << c.name << " byte " << i;
        }
    }
}

TEST_F(SoundConversionTest, CompressedSeeksLandOnTheRequestedFrame)
{
    std::vector<uint8_t> body(64 * 2 * 100);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    AudioDecodeState state;
    ASSERT_TRUE(SetupDecodeOverImage(&state, WaveImageWithFormat(AdpcmLikeFormat(2, 32, 32), body), kOwnReaders));
    ASSERT_EQ(GetDecodedLengthBytes(&state), static_cast<int>(2 * body.size()));
    // Output frames are 4 bytes (16-bit stereo): frame f starts at input byte 2f.
    const int frames[] = {5000, 3, 2999, 3001, 6399, 0, 6000};
    for (int frame : frames) {
        ASSERT_EQ(SeekDecodedSamples(&state, frame), 0) << frame;
        uint8_t got[8];
        ASSERT_EQ(ReadDecodedBytes(&state, got, 8), frame == 6399 ? 4 : 8) << frame;
        EXPECT_EQ(got[1], body[2 * frame]) << frame;
        EXPECT_EQ(got[3], body[2 * frame + 1]) << frame;
    }
    EndDecodeOverImage(&state);
}

TEST(OggVorbisReaderTest, DecodesWithinTheCodecsToleranceAndSeeksExactly)
{
    std::vector<uint8_t> source = SoundFakes::SinePcm16(22050, 2, 1.0, 440.0);
    std::vector<uint8_t> ogg = OggImage(source, 2, 22050);
    std::vector<uint8_t> pcm;
    SoundWaveFormat format{};
    ASSERT_TRUE(DecodeWholeImage(ogg, Only(4), &pcm, &format));
    SoundWaveFormat expected = MakePcmWaveFormat(2, 22050, 16);
    EXPECT_EQ(std::memcmp(&format, &expected, sizeof(format)), 0);
    EXPECT_EQ(pcm.size(), source.size());
    EXPECT_GT(AlignedSnrDb(source, pcm, 2, 0), 25.0);

    AudioDecodeState state;
    ASSERT_TRUE(SetupDecodeOverImage(&state, ogg, 0));
    EXPECT_EQ(GetDecodedLengthBytes(&state), static_cast<int>(source.size()));
    for (int frame : {15000, 100, 7, 21000}) {
        ASSERT_EQ(SeekDecodedSamples(&state, frame), 0) << frame;
        uint8_t got[64];
        ASSERT_EQ(ReadDecodedBytes(&state, got, 64), 64);
        EXPECT_EQ(std::memcmp(got, &pcm[4 * static_cast<size_t>(frame)], 64), 0) << frame;
    }
    EndDecodeOverImage(&state);

    // One byte per sample: unsigned 8-bit PCM.
    ASSERT_TRUE(SetupDecodeOverImage(&state, ogg, 0, 1));
    GetDecodedFormat(&state, &format);
    EXPECT_EQ(format.bitsPerSample, 8);
    EXPECT_EQ(GetDecodedLengthBytes(&state), static_cast<int>(source.size() / 2));
    EndDecodeOverImage(&state);
}

TEST(WavePcmReaderTest, EightBitPcmAndShapesNoPcmHas)
{
    std::vector<uint8_t> pcm8 = {0, 127, 128, 255, 1, 2};
    SoundWaveFormat mono8 = MakePcmWaveFormat(1, 11025, 8);
    SoundWaveFormat badAlign = MakePcmWaveFormat(3, 8000, 16);
    badAlign.blockAlign = 7; // not a whole number of bytes per channel
    SoundWaveFormat hugeRate = MakePcmWaveFormat(2, 8000, 16);
    hugeRate.samplesPerSec = 0x40000000;
    struct Case {
        const char *name;
        SoundWaveFormat format;
        bool accepted;
    } cases[] = {
        {"8-bit mono", mono8, true},
        {"block align not a multiple of the channels", badAlign, false},
        {"a second of data larger than any sound", hugeRate, false},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> out;
        SoundWaveFormat format{};
        ASSERT_EQ(DecodeWholeImage(SoundFakes::WaveImage(c.format, pcm8), 0, &out, &format), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(out, pcm8) << c.name;
            EXPECT_EQ(format.bitsPerSample, 8) << c.name;
        }
    }
}
