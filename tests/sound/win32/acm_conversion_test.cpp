// The compression manager of the platform: loading its entries, ADPCM WAVE
// files made by its own encoders and an MP3 made by the Debian encoder decode
// close to the source, and seeks land where whole decoding puts the frame.

#include "tests/sound/sound_fakes.h"
#include "tests/sound/sound_test_files.h"

#include "sound/startup_entries.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

using namespace Korvo;
using namespace SoundTestFiles;

namespace {

std::vector<uint8_t> ReadFixture(const char *name)
{
    std::ifstream file(std::string(KORVO_SOUND_FIXTURE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Encode 16-bit PCM with the platform's codec of a tag; the format record and the data.
bool EncodeWithAcm(const std::vector<uint8_t> &pcm, const SoundWaveFormat &source, uint16_t tag,
                   std::vector<uint8_t> *formatBytes, std::vector<uint8_t> *data)
{
    uint32_t maxFormat = 0;
    AcmFunctions.acmMetrics(0, kAcmMetricMaxSizeFormat, &maxFormat);
    formatBytes->assign(maxFormat, 0);
    SoundWaveFormat *target = reinterpret_cast<SoundWaveFormat *>(formatBytes->data());
    target->formatTag = tag;
    SoundWaveFormat in = source;
    if (AcmFunctions.acmFormatSuggest(0, &in, target, maxFormat, kAcmFormatSuggestByTag) != 0) {
        return false;
    }
    formatBytes->resize(18 + target->extraSize);
    target = reinterpret_cast<SoundWaveFormat *>(formatBytes->data());
    K_HACMSTREAM stream = 0;
    if (AcmFunctions.acmStreamOpen(&stream, 0, &in, target, nullptr, 0, 0, kAcmStreamOpenNonRealtime) != 0) {
        return false;
    }
    data->assign(pcm.size(), 0);
    std::vector<uint8_t> input = pcm;
    K_ACMSTREAMHEADER header{};
    header.cbStruct = sizeof(header);
    header.pbSrc = input.data();
    header.cbSrcLength = static_cast<uint32_t>(input.size());
    header.pbDst = data->data();
    header.cbDstLength = static_cast<uint32_t>(data->size());
    AcmFunctions.acmStreamPrepareHeader(stream, &header, 0);
    uint32_t result = AcmFunctions.acmStreamConvert(stream, &header, 0x10 | 0x20); // start and end
    AcmFunctions.acmStreamUnprepareHeader(stream, &header, 0);
    AcmFunctions.acmStreamClose(stream, 0);
    data->resize(header.cbDstLengthUsed);
    return result == 0 && !data->empty();
}

// Seeks land where the whole decoding has the frame.
void ExpectSeeksMatchWholeDecode(const std::vector<uint8_t> &image, int mask, const std::vector<uint8_t> &whole,
                                 int blockAlign, const char *name)
{
    AudioDecodeState state;
    ASSERT_TRUE(SetupDecodeOverImage(&state, image, mask)) << name;
    int frames = static_cast<int>(whole.size()) / blockAlign;
    for (int frame : {frames / 2, frames / 5, frames / 5 + 3, frames * 4 / 5}) {
        ASSERT_EQ(SeekDecodedSamples(&state, frame), 0) << name << " " << frame;
        uint8_t got[32];
        ASSERT_EQ(ReadDecodedBytes(&state, got, 32), 32) << name << " " << frame;
        EXPECT_EQ(std::memcmp(got, &whole[static_cast<size_t>(frame) * blockAlign], 32), 0) << name << " " << frame;
    }
    EndDecodeOverImage(&state);
}

} // namespace

TEST(AcmConversionTest, EntriesLoadOnceAndFree)
{
    FreeAcmFunctions();
    EXPECT_EQ(FreeAcmFunctions(), -1);
    ASSERT_EQ(LoadAcmFunctions(), 0);
    EXPECT_EQ(LoadAcmFunctions(), -1);
    EXPECT_NE(AcmFunctions.acmStreamConvert, nullptr);
    EXPECT_EQ(FreeAcmFunctions(), 0);
    EXPECT_EQ(AcmFunctions.acmStreamConvert, nullptr);
    EXPECT_EQ(LoadAcmFunctions(), 0);
}

TEST(AcmConversionTest, AdpcmWaveFilesDecodeCloseToTheirSource)
{
    if (AcmFunctionsLoaded == 0) {
        ASSERT_EQ(LoadAcmFunctions(), 0);
    }
    SoundWaveFormat source = MakePcmWaveFormat(1, 22050, 16);
    std::vector<uint8_t> pcm = SoundFakes::SinePcm16(22050, 1, 1.0, 440.0);
    struct Case {
        const char *name;
        uint16_t tag;
    } cases[] = {{"IMA ADPCM", 0x11}, {"Microsoft ADPCM", 0x02}};
    for (const Case &c : cases) {
        std::vector<uint8_t> formatBytes, data;
        if (!EncodeWithAcm(pcm, source, c.tag, &formatBytes, &data)) {
            std::printf("%s: this platform has no encoder for it\n", c.name);
            continue;
        }
        std::vector<uint8_t> image = WaveImageWithFormat(formatBytes, data);
        std::vector<uint8_t> decoded;
        SoundWaveFormat format{};
        ASSERT_TRUE(DecodeWholeImage(image, 0, &decoded, &format)) << c.name;
        EXPECT_EQ(format.formatTag, kWaveFormatPcm) << c.name;
        EXPECT_EQ(format.samplesPerSec, 22050u) << c.name;
        EXPECT_GE(decoded.size(), pcm.size() * 9 / 10) << c.name;
        double snr = AlignedSnrDb(pcm, decoded, 1, 0);
        std::printf("%s: %zu bytes decoded, %.1f dB against the source\n", c.name, decoded.size(), snr);
        EXPECT_GT(snr, 15.0) << c.name;
        ExpectSeeksMatchWholeDecode(image, 0, decoded, format.blockAlign, c.name);
    }
}

TEST(AcmConversionTest, Mp3FromTheDebianEncoderDecodesCloseToItsSource)
{
    if (AcmFunctionsLoaded == 0) {
        ASSERT_EQ(LoadAcmFunctions(), 0);
    }
    std::vector<uint8_t> mp3 = ReadFixture("sine_stereo_44100.mp3");
    std::vector<uint8_t> source = ReadFixture("sine_stereo_44100.raw");
    ASSERT_FALSE(mp3.empty()) << "tools/make_sound_fixtures.sh made no MP3 (is lame installed? tools/setup.sh)";
    std::vector<uint8_t> decoded;
    SoundWaveFormat format{};
    ASSERT_TRUE(DecodeWholeImage(mp3, 31 & ~8, &decoded, &format));
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSec, 44100u);
    // The encoder pads the end to whole frames and adds its delay in front.
    EXPECT_GE(decoded.size(), source.size());
    double snr = AlignedSnrDb(source, decoded, 2, 3000);
    std::printf("MP3 through the compression manager: %zu bytes, %.1f dB\n", decoded.size(), snr);
    EXPECT_GT(snr, 20.0);
    ExpectSeeksMatchWholeDecode(mp3, 31 & ~8, decoded, format.blockAlign, "MP3");
}
