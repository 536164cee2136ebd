// The WAVE PCM reader: the RIFF chunk walk and 8/16-bit (or any integer) PCM
// delivered as it stands, 32-bit IEEE float delivered as 16-bit PCM.

#include "sound/sound_decode.h"

#include "core/memory/tracked_alloc.h"

#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t ReadLe32(const unsigned char *bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

static bool ReadExactly(AudioDecodeState *state, void *buffer, int bytes)
{
    return static_cast<int>(state->stream.Read(buffer, 1, static_cast<size_t>(bytes), state->streamData)) == bytes;
}

// Read one chunk header: its id and size.
static bool ReadChunkHeader(AudioDecodeState *state, char id[4], uint32_t *size)
{
    unsigned char header[8];
    if (!ReadExactly(state, header, 8)) {
        return false;
    }
    std::memcpy(id, header, 4);
    *size = ReadLe32(header + 4);
    return true;
}

// Move the input forward past a chunk body (with its pad byte); false past the input's end.
static bool SkipChunk(AudioDecodeState *state, uint32_t size, int inputSize)
{
    int64_t next = static_cast<int64_t>(state->stream.Tell(state->streamData)) + size + (size & 1u);
    if (next > inputSize) {
        return false;
    }
    return state->stream.Seek(state->streamData, static_cast<int>(next), 0) == 0;
}

// "RIFF"/"WAVE", an optional "bext", "fmt " (read into the source format), then
// chunks up to "data"; fills the chunk positions. false when the walk fails.
static bool WalkWaveChunks(AudioDecodeState *state)
{
    state->stream.Seek(state->streamData, 0, 2);
    int inputSize = state->stream.Tell(state->streamData);
    state->stream.Seek(state->streamData, 0, 0);

    unsigned char riff[12];
    if (!ReadExactly(state, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return false;
    }
    char id[4];
    uint32_t size = 0;
    if (!ReadChunkHeader(state, id, &size)) {
        return false;
    }
    if (std::memcmp(id, "bext", 4) == 0) {
        if (!SkipChunk(state, size, inputSize) || !ReadChunkHeader(state, id, &size)) {
            return false;
        }
    }
    // A format shorter than the 16 bytes every WAVE format has is no WAVE file.
    if (std::memcmp(id, "fmt ", 4) != 0 || size < 16) {
        return false;
    }
    state->fmtPosition = state->stream.Tell(state->streamData);
    state->fmtSize = static_cast<int>(size);
    std::memset(&state->wave.source, 0, sizeof(state->wave.source));
    int keep = size < sizeof(SoundWaveFormat) ? static_cast<int>(size) : static_cast<int>(sizeof(SoundWaveFormat));
    if (!ReadExactly(state, &state->wave.source, keep) ||
        state->stream.Seek(state->streamData, state->fmtPosition, 0) != 0 || !SkipChunk(state, size, inputSize)) {
        return false;
    }
    for (;;) {
        if (!ReadChunkHeader(state, id, &size)) {
            return false;
        }
        if (std::memcmp(id, "data", 4) == 0) {
            break;
        }
        if (!SkipChunk(state, size, inputSize)) {
            return false;
        }
    }
    state->dataStart = state->stream.Tell(state->streamData);
    // A size beyond the input's end counts only the bytes that are there.
    int64_t available = static_cast<int64_t>(inputSize) - state->dataStart;
    state->dataSize = static_cast<int>(size < available ? size : (available > 0 ? available : 0));
    return true;
}

// Accept PCM (tag 1) and 32-bit float (tag 3) WAVE data.
static int OpenWavePcmReader(AudioDecodeState *state)
{
    std::memset(&state->wave, 0, sizeof(state->wave));
    if (!WalkWaveChunks(state)) {
        return -1;
    }
    const SoundWaveFormat &source = state->wave.source;
    if (source.channels == 0 || source.blockAlign == 0 || source.samplesPerSec == 0) {
        return -1;
    }
    if (source.formatTag == kWaveFormatPcm) {
        state->format = source;
        if (state->fmtSize == 16) {
            state->format.extraSize = 0;
            state->format.bitsPerSample = static_cast<uint16_t>(source.blockAlign / source.channels * 8);
        }
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
    // One second of output, never less than one frame.
    uint32_t second = state->format.blockAlign * state->format.samplesPerSec;
    state->blockSize = static_cast<int>(second > state->format.avgBytesPerSec && state->format.avgBytesPerSec != 0
                                            ? state->format.avgBytesPerSec - state->format.avgBytesPerSec % state->format.blockAlign
                                            : second);
    if (state->blockSize < state->format.blockAlign) {
        state->blockSize = state->format.blockAlign;
    }
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
