// The WAVE PCM reader: which files it accepts, what PCM comes out, seeking.

#include "sound_fakes.h"

#include "core/streams/stream_table.h"
#include "core/memory/tracked_alloc.h"
#include "sound/sound_decode.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;
using SoundFakes::WaveImage;

namespace {

std::vector<uint8_t> Chunk(const char *id, std::vector<uint8_t> body)
{
    std::vector<uint8_t> out(id, id + 4);
    uint32_t size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(size >> (8 * i)));
    }
    out.insert(out.end(), body.begin(), body.end());
    if (size & 1u) {
        out.push_back(0);
    }
    return out;
}

// Decode a whole image; the PCM, or an empty optional-like flag on failure.
bool DecodeImage(const std::vector<uint8_t> &image, int mask, std::vector<uint8_t> *pcm, SoundWaveFormat *format)
{
    MemoryReadStream *memory = OpenMemoryReadStream(image.data(), static_cast<int>(image.size()));
    AudioDecodeState state;
    // The platform's media graph (16) decodes what it likes; these cases are about the WAVE reader.
    bool ok = SetupSoundDecode(&state, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory), mask | 16, 2,
                               0) == 0;
    if (ok) {
        void *data = nullptr;
        int size = 0;
        ok = DecodeWholeSound(&state, format, &data, &size) == 0;
        if (ok) {
            pcm->assign(static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + size);
            TrackedFree(data);
        }
        EndSoundDecode(&state);
    }
    FreeMemoryReadStream(memory);
    return ok;
}

} // namespace

TEST(WavePcmReaderTest, AcceptsOrRefusesFilesAsTheirChunksSay)
{
    SoundWaveFormat stereo = MakePcmWaveFormat(2, 22050, 16);
    std::vector<uint8_t> pcm = SoundFakes::SinePcm16(22050, 2, 0.1, 440.0);
    std::vector<uint8_t> plain = WaveImage(stereo, pcm);
    std::vector<uint8_t> truncated(plain.begin(), plain.end() - 100);
    std::vector<uint8_t> cutInFrame(plain.begin(), plain.end() - 101);
    std::vector<uint8_t> notWave = plain;
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    SoundWaveFormat adpcm = stereo;
    adpcm.formatTag = 2;
    SoundWaveFormat damagedRate = stereo;
    damagedRate.avgBytesPerSec = 1;
    struct Case {
        const char *name;
        std::vector<uint8_t> image;
        int mask;
        bool accepted;
        size_t pcmBytes;
    } cases[] = {
        {"plain", plain, 0, true, pcm.size()},
        {"bext before fmt", WaveImage(stereo, pcm, {Chunk("bext", {1, 2, 3})}), 0, true, pcm.size()},
        {"odd chunk between", [&] {
             std::vector<uint8_t> image = WaveImage(stereo, {});
             image.resize(image.size() - 8); // drop the empty data chunk
             auto odd = Chunk("LIST", {9, 9, 9});
             auto data = Chunk("data", pcm);
             image.insert(image.end(), odd.begin(), odd.end());
             image.insert(image.end(), data.begin(), data.end());
             return image;
         }(), 0, true, pcm.size()},
        {"a data chunk cut short gives the bytes present", truncated, 0, true, pcm.size() - 100},
        {"a data chunk cut inside a frame ends with the last whole one", cutInFrame, 0, true, pcm.size() - 104},
        {"a damaged byte rate follows block align and rate", WaveImage(damagedRate, pcm), 0, true, pcm.size()},
        {"fmt must come first (only bext may precede)", WaveImage(stereo, pcm, {Chunk("LIST", {1, 2})}), 0, false, 0},
        {"not WAVE", notWave, 0, false, 0},
        {"compressed tag is not this reader's", WaveImage(adpcm, pcm), 0, false, 0},
        {"mask bits 1 and 2 disable both WAVE readers", plain, 3, false, 0},
        {"mask -5 leaves only the Ogg reader", plain, -5, false, 0},
        {"empty input", {}, 0, false, 0},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> out;
        SoundWaveFormat format{};
        bool accepted = DecodeImage(c.image, c.mask, &out, &format);
        EXPECT_EQ(accepted, c.accepted) << c.name;
        if (accepted && c.accepted) {
            EXPECT_EQ(out.size(), c.pcmBytes) << c.name;
            EXPECT_TRUE(std::equal(out.begin(), out.end(), pcm.begin())) << c.name;
            EXPECT_EQ(std::memcmp(&format, &stereo, 16), 0) << c.name;
        }
    }
}

TEST(WavePcmReaderTest, FloatBecomesClampedSixteenBitPcm)
{
    const float samples[] = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.5f, -3.0f, 0.99999f, -0.000031f};
    std::vector<uint8_t> data(reinterpret_cast<const uint8_t *>(samples),
                              reinterpret_cast<const uint8_t *>(samples) + sizeof(samples));
    SoundWaveFormat format = MakePcmWaveFormat(1, 8000, 32);
    format.formatTag = kWaveFormatIeeeFloat;
    std::vector<uint8_t> out;
    SoundWaveFormat decoded{};
    ASSERT_TRUE(DecodeImage(WaveImage(format, data), 0, &out, &decoded));
    EXPECT_EQ(decoded.formatTag, kWaveFormatPcm);
    EXPECT_EQ(decoded.bitsPerSample, 16);
    EXPECT_EQ(decoded.blockAlign, 2);
    const int16_t expected[] = {0, 16384, -16384, 32767, -32768, 32767, -32768, 32767, -1};
    ASSERT_EQ(out.size(), sizeof(expected));
    for (size_t i = 0; i < sizeof(expected) / 2; ++i) {
        int16_t value;
        std::memcpy(&value, out.data() + 2 * i, 2);
        EXPECT_EQ(value, expected[i]) << i;
    }
}

TEST(WavePcmReaderTest, SeekMovesToTheFrameUnlessWithinFifteenBytes)
{
    SoundWaveFormat mono = MakePcmWaveFormat(1, 8000, 16);
    std::vector<uint8_t> pcm(4000);
    for (size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<uint8_t>(i * 7);
    }
    std::vector<uint8_t> image = WaveImage(mono, pcm);
    MemoryReadStream *memory = OpenMemoryReadStream(image.data(), static_cast<int>(image.size()));
    AudioDecodeState state;
    ASSERT_EQ(SetupSoundDecode(&state, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory), 0, 2, 0), 0);
    uint8_t got[4];
    struct Step {
        int seekFrame;
        size_t expectedOffset;
    } steps[] = {
        {-1, 0},      // no seek: the start
        {1000, 2000}, // frame 1000 of 2-byte frames
        {1007, 2002}, // 12 bytes from the output position (2002): stays
        {0, 0},
        {1999, 3998},
    };
    for (const Step &step : steps) {
        if (step.seekFrame >= 0) {
            ASSERT_EQ(SeekDecodedSamples(&state, step.seekFrame), 0);
        }
        ASSERT_EQ(ReadDecodedBytes(&state, got, 2), 2);
        EXPECT_EQ(got[0], pcm[step.expectedOffset]) << step.seekFrame;
        EXPECT_EQ(got[1], pcm[step.expectedOffset + 1]) << step.seekFrame;
    }
    EXPECT_EQ(ReadDecodedBytes(&state, got, 4), 0); // at the end
    EndSoundDecode(&state);
    FreeMemoryReadStream(memory);
}

TEST(WavePcmReaderTest, ASeekWithinFifteenBytesLetsAnInputThatRanDryReadOn)
{
    // 8-bit mono: a byte a frame. The input holds back its data from byte 40 of
    // it on; the conversion reads up to there, finds nothing more and ends.
    std::vector<uint8_t> pcm(100);
    for (size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<uint8_t>(i * 3 + 1);
    }
    struct Case {
        int seekFrame;
        size_t expectedOffset;
    } cases[] = {
        {40, 40}, {25, 40}, {55, 40}, // within 15 bytes: stays, and reads on from where it stood
        {24, 24},                     // beyond: moves
    };
    for (const Case &c : cases) {
        SoundFakes::HeldBackStream stream;
        stream.image = WaveImage(MakePcmWaveFormat(1, 8000, 8), pcm);
        stream.heldFrom = static_cast<int>(stream.image.size() - pcm.size()) + 40;
        AudioDecodeState state;
        ASSERT_EQ(SetupSoundDecode(&state, SoundFakes::HeldBackStreamOps(), reinterpret_cast<uintptr_t>(&stream), 16, 2,
                                   0),
                  0);
        uint8_t got[8];
        std::vector<uint8_t> start(40);
        ASSERT_EQ(ReadDecodedBytes(&state, start.data(), 40), 40);
        ASSERT_EQ(ReadDecodedBytes(&state, got, 8), 0) << "ran dry";
        stream.held = false; // the rest has come
        ASSERT_EQ(SeekDecodedSamples(&state, c.seekFrame), 0);
        ASSERT_EQ(ReadDecodedBytes(&state, got, 8), 8) << "seek to " << c.seekFrame;
        EXPECT_EQ(std::memcmp(got, &pcm[c.expectedOffset], 8), 0) << "seek to " << c.seekFrame;
        EndSoundDecode(&state);
    }
}
