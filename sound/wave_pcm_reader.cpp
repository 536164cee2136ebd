// The WAVE PCM reader: the RIFF chunk walk and integer PCM delivered as it
// stands, IEEE float (32 or 64 bits) and G.711 (mu-law, A-law) delivered as
// 16-bit PCM. The extensible form is read too: its sub-format says which kind
// it holds.

#include "sound/g711_expansion.h"
#include "sound/sound_decode.h"
#include "sound/wave_chunks.h"

#include "core/memory/tracked_alloc.h"

#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
// An extensible "fmt " chunk: the plain record, valid bits, channel mask, then
// the sub-format GUID, whose first two bytes are the plain tag it stands for.
constexpr int kExtensibleFormatBytes = 40;
constexpr int kSubFormatOffset = 24;
// The rest of every sub-format GUID made from a plain tag.
static const unsigned char SubFormatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The plain tag the data is in: the chunk's own, or the one an extensible
// chunk's sub-format stands for; 0 when the sub-format is none of those. Leaves
// the input at the data.
static uint16_t ReadPlainFormatTag(AudioDecodeState *state)
{
    uint16_t tag = state->wave.source.formatTag;
    if (tag != kWaveFormatExtensible) {
        return tag;
    }
    unsigned char guid[16];
    if (state->fmtSize < kExtensibleFormatBytes ||
        state->stream.Seek(state->streamData, state->fmtPosition + kSubFormatOffset, 0) != 0 ||
        !ReadDecodeInput(state, guid, 16) || state->stream.Seek(state->streamData, state->dataStart, 0) != 0 ||
        std::memcmp(guid + 2, SubFormatGuidTail, sizeof(SubFormatGuidTail)) != 0) {
        return 0;
    }
    return static_cast<uint16_t>(guid[0] | guid[1] << 8);
}

// Accept PCM (tag 1), 32- or 64-bit float (tag 3) and G.711 (tags 6 and 7)
// WAVE data, plain or extensible.
static int OpenWavePcmReader(AudioDecodeState *state)
{
    std::memset(&state->wave, 0, sizeof(state->wave));
    if (!WalkWaveChunks(state)) {
        return -1;
    }
    const SoundWaveFormat &source = state->wave.source;
    // Shapes that no PCM has would divide by zero or misalign every block later on.
    if (source.channels == 0 || source.blockAlign == 0 || source.samplesPerSec == 0 ||
        source.blockAlign % source.channels != 0 || source.blockAlign / source.channels > 8 ||
        static_cast<int64_t>(source.blockAlign) * source.samplesPerSec > kMaxDecodeBytesPerSecond) {
        return -1;
    }
    // More channels than two need the speaker layout the plain output record
    // cannot carry: such extensible files are not this reader's.
    bool extensible = source.formatTag == kWaveFormatExtensible;
    if (extensible && source.channels > 2) {
        return -1;
    }
    uint16_t tag = ReadPlainFormatTag(state);
    int sampleBytes = source.blockAlign / source.channels;
    if (tag == kWaveFormatPcm && sampleBytes <= 4) {
        state->format = source;
        state->format.formatTag = kWaveFormatPcm;
        if (state->fmtSize == 16 || extensible) {
            state->format.extraSize = 0;
            state->format.bitsPerSample = static_cast<uint16_t>(sampleBytes * 8);
        }
        // Every size and rate of the output follows the byte rate: it is what the
        // block align and the sample rate give, whatever the file claims.
        state->format.avgBytesPerSec = source.blockAlign * source.samplesPerSec;
    } else if ((tag == kWaveFormatIeeeFloat && (sampleBytes == 4 || sampleBytes == 8) &&
                source.bitsPerSample == 8 * sampleBytes) ||
               (GetG711ExpansionTable(tag) != nullptr && sampleBytes == 1)) {
        // Converted a second of source data at a time (G.711 doubles in size).
        state->wave.expansion = GetG711ExpansionTable(tag);
        state->format = MakePcmWaveFormat(source.channels, static_cast<int>(source.samplesPerSec), 16);
        if (state->format.avgBytesPerSec > kMaxDecodeBytesPerSecond) {
            return -1;
        }
        state->wave.convertBufferSize = static_cast<int>(source.blockAlign * source.samplesPerSec);
        state->wave.convertBuffer =
            static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(state->wave.convertBufferSize)));
        if (state->wave.convertBuffer == nullptr) {
            return -1;
        }
    } else {
        return -1;
    }
    // Whole frames only: the pad byte of an odd chunk is not in its size, and a
    // file cut inside a frame ends with the last whole one.
    state->dataSize -= state->dataSize % source.blockAlign;
    // One second of output (at least one frame, as the sample rate is not 0).
    state->blockSize = static_cast<int>(state->format.avgBytesPerSec);
    return 0;
}

// One float sample as 16-bit PCM: scaled, truncated toward zero, clamped.
static int16_t FloatSampleToPcm16(double sample)
{
    if (std::isnan(sample)) {
        return 0;
    }
    double scaled = sample * 32768.0;
    if (scaled >= 32767.0) {
        return 32767;
    }
    if (scaled <= -32768.0) {
        return -32768;
    }
    return static_cast<int16_t>(scaled);
}

// Next block: PCM as read, float and G.711 converted.
static int ReadWavePcmBlock(AudioDecodeState *state)
{
    int left = state->dataSize - state->wave.dataConsumed;
    if (left <= 0) {
        return 0;
    }
    if (state->wave.convertBuffer == nullptr) {
        int want = left < state->blockSize ? left : state->blockSize;
        int got = static_cast<int>(state->stream.Read(state->block, 1, static_cast<size_t>(want), state->streamData));
        state->wave.dataConsumed += got;
        return got;
    }
    int want = left < state->wave.convertBufferSize ? left : state->wave.convertBufferSize;
    const unsigned char *in = state->wave.convertBuffer;
    int got = static_cast<int>(state->stream.Read(state->wave.convertBuffer, 1, static_cast<size_t>(want), state->streamData));
    state->wave.dataConsumed += got;
    int16_t *out = reinterpret_cast<int16_t *>(state->block);
    int samples = 0;
    if (state->wave.expansion != nullptr) {
        for (; samples < got; ++samples) {
            out[samples] = state->wave.expansion[in[samples]];
        }
    } else if (state->wave.source.bitsPerSample == 64) {
        for (; 8 * samples + 8 <= got; ++samples) {
            double value;
            std::memcpy(&value, in + 8 * samples, 8);
            out[samples] = FloatSampleToPcm16(value);
        }
    } else {
        for (; 4 * samples + 4 <= got; ++samples) {
            float value;
            std::memcpy(&value, in + 4 * samples, 4);
            out[samples] = FloatSampleToPcm16(value);
        }
    }
    return samples * 2;
}

// Input to the frame's place in the data chunk
static int SeekWavePcmFrame(AudioDecodeState *state, int frame)
{
    int64_t offset = static_cast<int64_t>(frame) * state->wave.source.blockAlign;
    if (offset < 0 || offset > state->dataSize) {
        offset = state->dataSize;
    }
    state->wave.dataConsumed = static_cast<int>(offset);
    return state->stream.Seek(state->streamData, state->dataStart + static_cast<int>(offset), 0) == 0 ? 0 : -1;
}

// The data size (converted data: as 16-bit output)
static int WavePcmLengthBytes(AudioDecodeState *state)
{
    if (state->wave.convertBuffer != nullptr) {
        int64_t samples = state->dataSize / (state->wave.source.blockAlign / state->wave.source.channels);
        return samples * 2 <= INT32_MAX ? static_cast<int>(samples * 2) : -1;
    }
    return state->dataSize;
}

static void EndWavePcmReader(AudioDecodeState *state)
{
    TrackedFree(state->wave.convertBuffer);
    state->wave.convertBuffer = nullptr;
}

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
const AudioReaderOps WavePcmReaderOps = {
    1, AUDIO_READER_WAVE_PCM, OpenWavePcmReader, ReadWavePcmBlock, SeekWavePcmFrame, WavePcmLengthBytes, EndWavePcmReader,
};

} // namespace Korvo
