// The RIFF WAVE chunk walk and the readers' input helpers. Every chunk size is
// checked against the input before the walk moves past it.

#include "sound/wave_chunks.h"

#include "core/memory/tracked_alloc.h"

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

// Read one chunk header: its id and size.
static bool ReadChunkHeader(AudioDecodeState *state, char id[4], uint32_t *size)
{
    unsigned char header[8];
    if (!ReadDecodeInput(state, header, 8)) {
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

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

bool ReadDecodeInput(AudioDecodeState *state, void *buffer, int bytes)
{
    return bytes >= 0 &&
           static_cast<int>(state->stream.Read(buffer, 1, static_cast<size_t>(bytes), state->streamData)) == bytes;
}

int MeasureDecodeInput(AudioDecodeState *state)
{
    if (state->stream.Seek(state->streamData, 0, 2) != 0) {
        return -1;
    }
    int size = state->stream.Tell(state->streamData);
    state->stream.Seek(state->streamData, 0, 0);
    return size;
}

unsigned char *ReadWholeDecodeInput(AudioDecodeState *state, int *size)
{
    int bytes = MeasureDecodeInput(state);
    if (bytes <= 0) {
        return nullptr;
    }
    unsigned char *data = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(bytes)));
    if (data == nullptr) {
        return nullptr;
    }
    if (!ReadDecodeInput(state, data, bytes)) {
        TrackedFree(data);
        return nullptr;
    }
    *size = bytes;
    return data;
}

// The walk; a data chunk is cut to the input's end
bool WalkWaveChunks(AudioDecodeState *state)
{
    int inputSize = MeasureDecodeInput(state);
    if (inputSize < 12) {
        return false;
    }
    unsigned char riff[12];
    if (!ReadDecodeInput(state, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
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
    if (!ReadDecodeInput(state, &state->wave.source, keep) ||
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
    // A data chunk that claims more than the input holds is a cut file: its data
    // is the bytes present.
    int64_t present = static_cast<int64_t>(inputSize) - state->dataStart;
    state->dataSize = static_cast<int>(size < present ? size : present);
    return true;
}

} // namespace Korvo
