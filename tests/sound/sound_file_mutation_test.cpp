// Damaged sound files: valid files of every format, mutated from a fixed seed,
// go through the whole reader chain. Each must be refused or decoded; the
// sanitizers of the host build catch any read or write out of bounds.

#include "sound_fakes.h"
#include "sound_test_files.h"

#include "core/memory/tracked_alloc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace Korvo;
using namespace SoundTestFiles;

namespace {

constexpr int kMutationsPerFormat = 2000;

// Flip bytes, write boundary values, plant a 32-bit size or cut the file.
std::vector<uint8_t> Mutate(const std::vector<uint8_t> &valid, std::mt19937 &random)
{
    std::vector<uint8_t> image = valid;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !image.empty(); ++e) {
        // Headers matter most: half the edits fall in the first 64 bytes.
        size_t span = random() % 2 == 0 ? std::min<size_t>(64, image.size()) : image.size();
        size_t at = random() % span;
        switch (random() % 5) {
        case 0: image[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: image[at] = static_cast<uint8_t>(random()); break;
        case 2: image[at] = random() % 2 == 0 ? 0x00 : 0xFF; break;
        case 3: {
            uint32_t value = random() % 3 == 0 ? 0xFFFFFFF0u + random() % 16 : static_cast<uint32_t>(random());
            for (int i = 0; i < 4 && at + i < image.size(); ++i) {
                image[at + i] = static_cast<uint8_t>(value >> (8 * i));
            }
            break;
        }
        default: image.resize(at); break;
        }
    }
    return image;
}

// Whatever the conversion accepts is read whole, sought and read again.
bool Exercise(const std::vector<uint8_t> &image, std::mt19937 &random)
{
    // The media graph (16) is the platform's own decoder, not this code's parsing.
    AudioDecodeState state;
    if (!SetupDecodeOverImage(&state, image, 16)) {
        return false;
    }
    SoundWaveFormat format;
    void *pcm = nullptr;
    int size = 0;
    int length = GetDecodedLengthBytes(&state);
    if (DecodeWholeSound(&state, &format, &pcm, &size) == 0) {
        EXPECT_LE(size, length);
        TrackedFree(pcm);
    }
    uint8_t scratch[512];
    int frames = format.blockAlign != 0 && length > 0 ? length / format.blockAlign : 1;
    SeekDecodedSamples(&state, static_cast<int>(random() % (frames + 1)));
    EXPECT_LE(ReadDecodedBytes(&state, scratch, sizeof(scratch)), static_cast<int>(sizeof(scratch)));
    EndDecodeOverImage(&state);
    return true;
}

} // namespace

TEST(SoundFileMutationTest, DamagedFilesOfEveryFormatAreRefusedOrDecoded)
{
    InstallFakeAcm();
    std::vector<uint8_t> sine = SoundFakes::SinePcm16(8000, 2, 0.1, 440.0);
    SoundWaveFormat pcm16 = MakePcmWaveFormat(2, 8000, 16);
    SoundWaveFormat pcm8 = MakePcmWaveFormat(1, 8000, 8);
    SoundWaveFormat float32 = MakePcmWaveFormat(1, 8000, 32);
    float32.formatTag = kWaveFormatIeeeFloat;
    SoundWaveFormat adpcm = MakePcmWaveFormat(1, 8000, 4);
    adpcm.formatTag = 0x11;
    adpcm.blockAlign = 256;
    adpcm.extraSize = 2;
    std::vector<uint8_t> adpcmFormat(reinterpret_cast<uint8_t *>(&adpcm), reinterpret_cast<uint8_t *>(&adpcm) + 18);
    adpcmFormat.insert(adpcmFormat.end(), {0xF9, 0x01});
    struct Format {
        const char *name;
        std::vector<uint8_t> valid;
    } formats[] = {
        {"PCM 16-bit", SoundFakes::WaveImage(pcm16, sine)},
        {"PCM 8-bit", SoundFakes::WaveImage(pcm8, std::vector<uint8_t>(800, 0x80))},
        {"float", SoundFakes::WaveImage(float32, std::vector<uint8_t>(1600, 0x3E))},
        {"compressed WAVE", WaveImageWithFormat(adpcmFormat, std::vector<uint8_t>(1024, 0x5A))},
        {"Ogg Vorbis", OggImage(SoundFakes::SinePcm16(8000, 2, 1.0, 440.0), 2, 8000)},
        {"MP3", Mp3Image(6, true, true)},
    };
    std::mt19937 random(20261209);
    for (const Format &f : formats) {
        ASSERT_TRUE(Exercise(f.valid, random)) << f.name << " must decode unharmed";
        int decoded = 0;
        for (int i = 0; i < kMutationsPerFormat; ++i) {
            decoded += Exercise(Mutate(f.valid, random), random) ? 1 : 0;
        }
        // Both outcomes occur, so the mutations reach past the first check.
        EXPECT_GT(decoded, 0) << f.name;
        EXPECT_LT(decoded, kMutationsPerFormat) << f.name;
        std::printf("%s: %d of %d damaged files decoded, the rest refused\n", f.name, decoded, kMutationsPerFormat);
    }
    RemoveFakeAcm();
}
