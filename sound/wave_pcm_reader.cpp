// The WAVE PCM reader: the RIFF chunk walk and 8/16-bit (or any integer) PCM
// delivered as it stands, 32-bit IEEE float delivered as 16-bit PCM.

#include "sound/sound_decode.h"
#include "sound/wave_chunks.h"

#include "core/memory/tracked_alloc.h"

#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Accept PCM (tag 1) and 32-bit float (tag 3) WAVE data.
static int OpenWavePcmReader(AudioDecodeState *state)
{
    std::memset(&state->wave, 0, sizeof(state->wave));
    if (!WalkWaveChunks(state)) {
        return -1;
    }
    const SoundWaveFormat &source = state->wave.source;
    // Shapes that no PCM has would divide by zero or misalign every block later on.
    if (source.channels == 0 || source.blockAlign == 0 || source.samplesPerSec == 0 ||
        source.blockAlign % source.channels != 0 || source.blockAlign / source.channels > 4 ||
        static_cast<int64_t>(source.blockAlign) * source.samplesPerSec > kMaxDecodeBytesPerSecond) {
        return -1;
    }
    if (source.formatTag == kWaveFormatPcm) {
        state->format = source;
        if (state->fmtSize == 16) {
            state->format.extraSize = 0;
            state->format.bitsPerSample = static_cast<uint16_t>(source.blockAlign / source.channels * 8);
        }
        // Every size and rate of the output follows the byte rate: it is what the
        // block align and the sample rate give, whatever the file claims.
        state->format.avgBytesPerSec = source.blockAlign * source.samplesPerSec;
    } else if (source.formatTag == kWaveFormatIeeeFloat && source.bitsPerSample == 32 &&
               source.blockAlign == 4 * source.channels) {
        state->format = MakePcmWaveFormat(source.channels, static_cast<int>(source.samplesPerSec), 16);
        state->wave.floatBufferSize = static_cast<int>(source.blockAlign * source.samplesPerSec);
        state->wave.floatBuffer =
            static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(state->wave.floatBufferSize)));
        if (state->wave.floatBuffer == nullptr) {
            return -1;
        }
    } else {
        return -1;
    }
    // One second of output (at least one frame, as the sample rate is not 0).
    state->blockSize = static_cast<int>(state->format.avgBytesPerSec);
    return 0;
}

// One float sample as 16-bit PCM: scaled, truncated toward zero, clamped.
static int16_t FloatSampleToPcm16(float sample)
{
    if (std::isnan(sample)) {
        return 0;
    }
    float scaled = sample * 32768.0f;
    if (scaled >= 32767.0f) {
        return 32767;
    }
    if (scaled <= -32768.0f) {
        return -32768;
    }
    return static_cast<int16_t>(scaled);
}

// Next block: PCM as read, float converted.
static int ReadWavePcmBlock(AudioDecodeState *state)
{
    int left = state->dataSize - state->wave.dataConsumed;
    if (left <= 0) {
        return 0;
    }
    if (state->wave.floatBuffer == nullptr) {
        int want = left < state->blockSize ? left : state->blockSize;
        int got = static_cast<int>(state->stream.Read(state->block, 1, static_cast<size_t>(want), state->streamData));
        state->wave.dataConsumed += got;
        return got;
    }
    int want = left < state->wave.floatBufferSize ? left : state->wave.floatBufferSize;
    int got = static_cast<int>(state->stream.Read(state->wave.floatBuffer, 1, static_cast<size_t>(want), state->streamData));
    state->wave.dataConsumed += got;
    int samples = got / 4;
    int16_t *out = reinterpret_cast<int16_t *>(state->block);
    for (int i = 0; i < samples; ++i) {
        float value;
        std::memcpy(&value, state->wave.floatBuffer + 4 * i, 4);
        out[i] = FloatSampleToPcm16(value);
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

// The data size (float data: as 16-bit output)
static int WavePcmLengthBytes(AudioDecodeState *state)
{
    if (state->wave.floatBuffer != nullptr) {
        return state->dataSize / (state->wave.source.bitsPerSample / 16);
    }
    return state->dataSize;
}

static void EndWavePcmReader(AudioDecodeState *state)
{
    TrackedFree(state->wave.floatBuffer);
    state->wave.floatBuffer = nullptr;
}

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
const AudioReaderOps WavePcmReaderOps = {
    1, AUDIO_READER_WAVE_PCM, OpenWavePcmReader, ReadWavePcmBlock, SeekWavePcmFrame, WavePcmLengthBytes, EndWavePcmReader,
};

} // namespace Korvo
