// MPEG audio frame headers and the frame scan: tags and the encoder's tag frame
// skipped, sizes checked.

#include "sound/mpeg_audio_scan.h"
#include "sound_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Korvo;

TEST(MpegAudioScanTest, FrameHeadersGiveRatesAndSizes)
{
    struct Case {
        unsigned char header[4];
        int result, mpeg2 = 0, layer = 0, channels = 0, rate = 0, kbps = 0, bytes = 0, samples = 0;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 0, 0, 3, 2, 44100, 128, 417, 1152}, // MPEG-1 L3 stereo
        {{0xFF, 0xFB, 0x92, 0xC0}, 0, 0, 3, 1, 44100, 128, 418, 1152}, // padded, mono
        {{0xFF, 0xF3, 0x84, 0x44}, 0, 1, 3, 2, 24000, 64, 192, 576},   // MPEG-2 L3
        {{0xFF, 0xFD, 0x90, 0x00}, 0, 0, 2, 2, 44100, 160, 522, 1152}, // MPEG-1 L2
        {{0xFF, 0xF9, 0x90, 0x00}, -1},                                 // reserved layer
        {{0xFF, 0xFB, 0xF0, 0x00}, -1},                                 // bit-rate index 15
        {{0xFF, 0xFB, 0x0C, 0x00}, -1},                                 // free format, sample-rate index 3
        {{0xFF, 0xE3, 0x90, 0x00}, -1},                                 // no sync
    };
    for (const Case &c : cases) {
        MpegFrameInfo info{};
        ASSERT_EQ(ParseMpegAudioFrameHeader(c.header, &info), c.result) << int(c.header[1]) << " " << int(c.header[2]);
        if (c.result == 0) {
            EXPECT_EQ(info.mpeg2, c.mpeg2);
            EXPECT_EQ(info.layer, c.layer);
            EXPECT_EQ(info.channels, c.channels);
            EXPECT_EQ(info.sampleRate, c.rate);
            EXPECT_EQ(info.bitRate, c.kbps);
            EXPECT_EQ(info.frameBytes, c.bytes);
            EXPECT_EQ(info.samplesPerFrame, c.samples);
        }
    }
}

TEST(MpegAudioScanTest, ScanSkipsTagsAndRefusesWhatDoesNotFit)
{
    std::vector<uint8_t> tagged = SoundTestFiles::Mp3Image(5, true, true);
    std::vector<uint8_t> cutLast(tagged.begin(), tagged.end() - 128 - 100);
    std::vector<uint8_t> hugeTag = tagged;
    hugeTag[8] = 0x7F; // the tag claims 16 KB more than the file holds
    std::vector<uint8_t> topBitSet = tagged;
    topBitSet[9] |= 0x80; // not sync-safe: the top bit is masked off
    std::vector<uint8_t> badFrame = SoundTestFiles::Mp3Image(5, false, false);
    badFrame[2 * 417 + 2] = 0xF0; // third header: bit-rate index 15
    // An encoder's tag frame: "Info" after the stereo side information, no
    // fields, the LAME extension with 576 samples of delay and 1152 of padding.
    auto withTag = [](size_t frame, size_t at, const char *tag, std::vector<uint8_t> fields) {
        std::vector<uint8_t> image = SoundTestFiles::Mp3Image(5, false, false);
        std::copy(tag, tag + 4, image.begin() + frame * 417 + at);
        std::copy(fields.begin(), fields.end(), image.begin() + frame * 417 + at + 4);
        return image;
    };
    std::vector<uint8_t> lameFields = {0, 0, 0, 0, 'L', 'A', 'M', 'E'};
    lameFields.resize(4 + 21, 0);
    lameFields.insert(lameFields.end(), {0x24, 0x04, 0x80});
    std::vector<uint8_t> info = withTag(0, 36, "Info", lameFields);
    // "Xing" after mono side information, with all four fields and no extension.
    // A name in its fields is not the extension, which follows them.
    std::vector<uint8_t> xingFields = {0, 0, 0, 0x0F, 'L', 'A', 'M', 'E', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x24};
    xingFields.resize(4 + 112 + 24, 0);
    std::vector<uint8_t> xing = withTag(0, 21, "Xing", xingFields);
    xing[3] = 0xC0;
    struct Case {
        const char *name;
        std::vector<uint8_t> image;
        int result, dataStart = 0, dataEnd = 0, frames = 0, delay = 0, padding = 0;
    } cases[] = {
        {"an Info frame first is no sound; its delays are read", info, 0, 417, 5 * 417, 4, 576, 1152},
        {"a Xing frame of a mono file", xing, 0, 417, 5 * 417, 4},
        {"a tag at another place is sound", withTag(0, 21, "Info", lameFields), 0, 0, 5 * 417, 5},
        {"a tag frame past the first is sound", withTag(2, 36, "Info", lameFields), 0, 0, 5 * 417, 5},
        {"ID3v2.4 with footer and ID3v1", tagged, 0, 40, 40 + 5 * 417, 5},
        {"plain frames", SoundTestFiles::Mp3Image(3, false, false), 0, 0, 3 * 417, 3},
        {"a cut last frame ends the audio before it", cutLast, 0, 40, 40 + 4 * 417, 4},
        {"tag larger than the file", hugeTag, -1},
        {"a size byte's top bit is not part of the size", topBitSet, 0, 40, 40 + 5 * 417, 5},
        {"bad header in the chain", badFrame, -1},
        {"no frame at all", std::vector<uint8_t>(500, 0x11), -1},
        {"tag only", std::vector<uint8_t>(tagged.begin(), tagged.begin() + 40), -1},
    };
    for (const Case &c : cases) {
        MpegStreamLayout layout{};
        ASSERT_EQ(ScanMpegAudioFrames(c.image.data(), static_cast<int>(c.image.size()), &layout), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(layout.dataStart, c.dataStart) << c.name;
            EXPECT_EQ(layout.dataEnd, c.dataEnd) << c.name;
            EXPECT_EQ(layout.frames, c.frames) << c.name;
            EXPECT_EQ(layout.frameSamples, 1152 * c.frames) << c.name;
            EXPECT_EQ(layout.encoderDelay, c.delay) << c.name;
            EXPECT_EQ(layout.encoderPadding, c.padding) << c.name;
        }
    }
}
