// MPEG audio frame headers, ID3 tags and the frame scan of the MP3 readers.

#include "sound/mpeg_audio_scan.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
// Bit rates in kbit/s by [MPEG-2][layer - 1][index]; index 0 (free format) and 15 are not served.
static const short BitRateTable[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
static const int SampleRateTable[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

// Bytes of the ID3v1 trailer.
constexpr int kId3v1Bytes = 128;
// Bytes of an ID3v2 header (and of its footer).
constexpr int kId3v2HeaderBytes = 10;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The next frame sync (0xFF, then 0xF0 or more) at or after from; -1 when none
static int FindFrameSync(const unsigned char *data, int from, int end)
{
    for (int at = from; at + 1 < end; ++at) {
        if (data[at] == 0xFF && data[at + 1] >= 0xF0) {
            return at;
        }
    }
    return -1;
}

// Where a layer-3 frame's side information ends: the header, its check word
// when the protection bit is clear, then 17 or 32 bytes (MPEG-1) or 9 or 17
// (MPEG-2), mono or not.
static int SideInfoEnd(const unsigned char *frame, const MpegFrameInfo &info)
{
    int sideInfo = info.mpeg2 != 0 ? (info.channels == 1 ? 9 : 17) : (info.channels == 1 ? 17 : 32);
    return 4 + ((frame[1] & 1) == 0 ? 2 : 0) + sideInfo;
}

// Whether a frame is the encoder's Info or Xing header frame rather than sound;
// its LAME extension's delay and padding go to the layout.
static bool ReadInfoTagFrame(const unsigned char *frame, const MpegFrameInfo &info, MpegStreamLayout *layout)
{
    if (info.layer != 3) {
        return false;
    }
    int at = SideInfoEnd(frame, info);
    if (at + 8 > info.frameBytes || (std::memcmp(frame + at, "Xing", 4) != 0 && std::memcmp(frame + at, "Info", 4) != 0)) {
        return false;
    }
    // Flags, then the fields they announce: frames, bytes, a 100-byte table, a quality.
    uint32_t flags = static_cast<uint32_t>(frame[at + 4]) << 24 | frame[at + 5] << 16 | frame[at + 6] << 8 | frame[at + 7];
    int extension = at + 8 + ((flags & 1) != 0 ? 4 : 0) + ((flags & 2) != 0 ? 4 : 0) + ((flags & 4) != 0 ? 100 : 0) +
                    ((flags & 8) != 0 ? 4 : 0);
    // The LAME extension: its name and version, then at byte 21 twelve bits of
    // delay and twelve of padding.
    if (extension + 24 <= info.frameBytes && std::memcmp(frame + extension, "LAME", 4) == 0) {
        const unsigned char *delays = frame + extension + 21;
        layout->encoderDelay = delays[0] << 4 | delays[1] >> 4;
        layout->encoderPadding = (delays[1] & 0x0F) << 8 | delays[2];
    }
    return true;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Version, layer, rates, padding and channels; the frame's bytes and samples
int ParseMpegAudioFrameHeader(const unsigned char header[4], MpegFrameInfo *info)
{
    if (header[0] != 0xFF || header[1] < 0xF0) {
        return -1;
    }
    MpegFrameInfo out{};
    out.mpeg2 = (header[1] & 0x08) != 0 ? 0 : 1;
    int layerBits = (header[1] >> 1) & 3;
    if (layerBits == 0) {
        return -1; // reserved layer
    }
    out.layer = 4 - layerBits;
    out.bitRateIndex = header[2] >> 4;
    out.sampleRateIndex = (header[2] >> 2) & 3;
    if (out.bitRateIndex == 0 || out.bitRateIndex == 15 || out.sampleRateIndex == 3) {
        return -1;
    }
    out.padding = (header[2] >> 1) & 1;
    out.channels = header[3] >= 192 ? 1 : 2;
    out.sampleRate = SampleRateTable[out.mpeg2][out.sampleRateIndex];
    out.bitRate = BitRateTable[out.mpeg2][out.layer - 1][out.bitRateIndex];
    if (out.layer == 1) {
        out.samplesPerFrame = 384;
        out.frameBytes = (12000 * out.bitRate / out.sampleRate + out.padding) * 4;
    } else if (out.layer == 2 || out.mpeg2 == 0) {
        out.samplesPerFrame = 1152;
        out.frameBytes = 144000 * out.bitRate / out.sampleRate + out.padding;
    } else {
        out.samplesPerFrame = 576;
        out.frameBytes = 72000 * out.bitRate / out.sampleRate + out.padding;
    }
    *info = out;
    return 0;
}

// "ID3", version, revision, flags, a 28-bit size; a version-4 footer adds 10 bytes
int MeasureId3v2Tag(const unsigned char *data, int size)
{
    if (size < kId3v2HeaderBytes || std::memcmp(data, "ID3", 3) != 0) {
        return 0;
    }
    // Seven bits of each size byte count; a set top bit is masked off.
    int tagSize = 0;
    for (int i = 6; i < 10; ++i) {
        tagSize = tagSize << 7 | (data[i] & 0x7F);
    }
    int total = kId3v2HeaderBytes + tagSize;
    if (data[3] == 4 && (data[5] & 0x10) != 0) {
        total += kId3v2HeaderBytes;
    }
    return total <= size ? total : -1;
}

// Skip the tags, then walk the frames from the first sync to the end of the audio
int ScanMpegAudioFrames(const unsigned char *data, int size, MpegStreamLayout *layout)
{
    int start = MeasureId3v2Tag(data, size);
    if (start < 0) {
        return -1;
    }
    int end = size;
    if (size >= kId3v1Bytes + 1 && std::memcmp(data + size - kId3v1Bytes, "TAG", 3) == 0) {
        end = size - kId3v1Bytes;
    }
    MpegStreamLayout out{};
    out.dataStart = -1;
    bool infoChecked = false; // only the first frame may be a tag frame
    int at = start;
    for (;;) {
        at = FindFrameSync(data, at, end);
        if (at < 0 || at + 4 > end) {
            break;
        }
        MpegFrameInfo frame;
        if (ParseMpegAudioFrameHeader(data + at, &frame) != 0 || frame.frameBytes < 4) {
            return -1;
        }
        if (frame.frameBytes > end - at) {
            break; // a cut frame: the audio ends before it
        }
        if (out.dataStart < 0) {
            if (!infoChecked && ReadInfoTagFrame(data + at, frame, &out)) {
                infoChecked = true;
                at += frame.frameBytes;
                continue;
            }
            infoChecked = true;
            out.dataStart = at;
            out.first = frame;
        }
        out.frameSamples += frame.samplesPerFrame;
        out.frames += 1;
        at += frame.frameBytes;
        out.dataEnd = at;
    }
    if (out.frames == 0) {
        return -1;
    }
    *layout = out;
    return 0;
}

} // namespace Korvo
