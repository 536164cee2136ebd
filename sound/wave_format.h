// The wave-format record passed between sound conversion, sound handles and play
// buffers. It has the byte layout of the platform's 18-byte WAVEFORMATEX, so the
// Windows back-ends hand it to the platform unchanged.
#pragma once

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatIeeeFloat = 3;
// Bytes the format takes in files and compares (the packed record).
constexpr int kWaveFormatBytes = 18;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
#pragma pack(push, 1)
struct SoundWaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;
};
#pragma pack(pop)
static_assert(sizeof(SoundWaveFormat) == kWaveFormatBytes, "packed wave format");

// A PCM format of the given shape, block align and byte rate filled in.
inline SoundWaveFormat MakePcmWaveFormat(int channels, int rate, int bits)
{
    SoundWaveFormat format{};
    format.formatTag = kWaveFormatPcm;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = static_cast<uint32_t>(rate);
    format.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    format.bitsPerSample = static_cast<uint16_t>(bits);
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
    return format;
}

} // namespace Korvo
