// Sound-file conversion: the reader chain, block delivery, seeking and the
// whole-file conversion shared by every reader.

#include "sound/sound_decode.h"

#include "core/memory/tracked_alloc.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// A seek that lands this close to the output position does nothing (bytes).
constexpr int kSeekSlackBytes = 15;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
// The chain in its fixed order; a null reader is one this build does not have.
struct ReaderChainEntry {
    int maskBit;
    const AudioReaderOps *reader;
};
static const ReaderChainEntry ReaderChain[] = {
    {1, &WavePcmReaderOps},
    {2, &WaveAcmReaderOps},
    {4, &OggVorbisReaderOps},
    {8, &Mp3AcmReaderOps},
    {16, nullptr}, // through the media graph, where the platform has one
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Fetch the next block from the reader; false at the end of the data.
static bool RefillBlock(AudioDecodeState *state)
{
    int got = state->reader->NextBlock(state);
    if (got <= 0) {
        return false;
    }
    state->blockLeft = got;
    state->blockOffset = 0;
    return true;
}

// Write up to bytes from a byte source into part 1, then part 2, of a region;
// stops at the first short write.
template <typename Source>
static int FillRegion(LockedRegion *region, int bytes, Source source)
{
    int total = 0;
    unsigned char *parts[2] = {region->part1, region->part2};
    uint32_t sizes[2] = {region->size1, region->size2};
    uint32_t *written[2] = {&region->written1, &region->written2};
    for (int part = 0; part < 2 && total < bytes; ++part) {
        int room = static_cast<int>(sizes[part] - *written[part]);
        int want = bytes - total < room ? bytes - total : room;
        if (want <= 0 || parts[part] == nullptr) {
            continue;
        }
        int got = source(parts[part] + *written[part], want);
        if (got <= 0) {
            break;
        }
        *written[part] += static_cast<uint32_t>(got);
        total += got;
        if (got < want) {
            break;
        }
    }
    return total;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Try the enabled readers in order; the first that accepts the input keeps it
int SetupSoundDecode(AudioDecodeState *state, const StreamOpsTable *stream, uintptr_t streamData, int disableMask,
                     int oggBytesPerSample, int secondDecoder)
{
    std::memset(state, 0, sizeof(*state));
    state->oggBytesPerSample = oggBytesPerSample;
    state->secondDecoder = secondDecoder;
    state->stream = *stream;
    state->streamData = streamData;
    state->stream.Seek(streamData, 0, 0);

    for (const ReaderChainEntry &entry : ReaderChain) {
        const AudioReaderOps *reader = entry.maskBit == 16 ? MediaGraphReader : entry.reader;
        bool needsAcm = entry.maskBit == 2 || entry.maskBit == 8;
        if ((disableMask & entry.maskBit) != 0 || reader == nullptr || (needsAcm && AcmFunctionsLoaded == 0)) {
            continue;
        }
        state->reader = reader;
        state->readerKind = reader->kind;
        if (reader->Open(state) == 0) {
            break;
        }
        state->reader = nullptr;
        state->stream.Seek(streamData, 0, 0);
    }
    if (state->reader == nullptr) {
        return -1;
    }

    state->block = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(state->blockSize)));
    if (state->block == nullptr) {
        state->reader->End(state);
        state->reader = nullptr;
        return -1;
    }
    state->blockLeft = 0;
    state->blockOffset = 0;
    state->ended = 0;
    state->ready = 1;
    return 0;
}

// Copy from the current block, fetching blocks until bytes were delivered or the data ends
int ReadDecodedBytes(AudioDecodeState *state, void *buffer, int bytes)
{
    if (state->ready == 0) {
        return -1;
    }
    if (state->ended != 0) {
        return 0;
    }
    unsigned char *out = static_cast<unsigned char *>(buffer);
    int delivered = 0;
    while (delivered < bytes) {
        if (state->blockLeft == 0 && !RefillBlock(state)) {
            state->ended = 1;
            break;
        }
        int take = bytes - delivered < state->blockLeft ? bytes - delivered : state->blockLeft;
        std::memcpy(out + delivered, state->block + state->blockOffset, static_cast<size_t>(take));
        state->blockOffset += take;
        state->blockLeft -= take;
        state->outputPosition += take;
        delivered += take;
    }
    return delivered;
}

// Reposition unless the target is within a few bytes of where the output stands
int SeekDecodedSamples(AudioDecodeState *state, int frame)
{
    if (state->ready == 0) {
        return -1;
    }
    int64_t target = static_cast<int64_t>(frame) * state->format.blockAlign;
    if (frame < 0 || target > INT32_MAX) {
        return -1;
    }
    if (std::abs(target - state->outputPosition) <= kSeekSlackBytes) {
        return 0;
    }
    // The reader may leave the part of a block past the target in the block.
    state->blockLeft = 0;
    state->blockOffset = 0;
    if (state->reader->SeekFrame(state, frame) != 0) {
        return -1;
    }
    state->outputPosition = static_cast<int>(target);
    state->ended = 0;
    return 0;
}

// The reader's decoded length
int GetDecodedLengthBytes(AudioDecodeState *state)
{
    if (state->ready == 0) {
        return -1;
    }
    return state->reader->LengthBytes(state);
}

// Allocate the decoded length and read it all from frame 0
int DecodeWholeSound(AudioDecodeState *state, SoundWaveFormat *format, void **pcm, int *size)
{
    int length = GetDecodedLengthBytes(state);
    if (length < 0) {
        return -1;
    }
    unsigned char *data = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(length) + 1));
    if (data == nullptr) {
        return -1;
    }
    state->outputPosition = -kSeekSlackBytes - 1; // force the seek to happen
    if (SeekDecodedSamples(state, 0) != 0) {
        TrackedFree(data);
        return -1;
    }
    int got = 0;
    if (state->readerKind == AUDIO_READER_WAVE_PCM && state->wave.floatBuffer == nullptr) {
        // Plain PCM: straight from the input, no block in between.
        got = static_cast<int>(state->stream.Read(data, 1, static_cast<size_t>(length), state->streamData));
        state->wave.dataConsumed = got;
        state->outputPosition = got;
    } else {
        got = ReadDecodedBytes(state, data, length);
        if (got < 0) {
            got = 0;
        }
    }
    *format = state->format;
    *pcm = data;
    *size = got;
    return 0;
}

// The output format
int GetDecodedFormat(const AudioDecodeState *state, SoundWaveFormat *format)
{
    *format = state->format;
    return 0;
}

// Free the block and the reader's state
int EndSoundDecode(AudioDecodeState *state)
{
    if (state->ready == 0) {
        return -1;
    }
    state->reader->End(state);
    TrackedFree(state->block);
    state->block = nullptr;
    state->ready = 0;
    return 0;
}

// Decode into the region's free bytes
int CopyDecodedIntoLockedRegion(LockedRegion *region, AudioDecodeState *state, int bytes)
{
    return FillRegion(region, bytes, [state](unsigned char *to, int want) { return ReadDecodedBytes(state, to, want); });
}

// Silence into the region's free bytes
int FillLockedRegionWithSilence(const SoundWaveFormat *format, LockedRegion *region, int bytes)
{
    int value = format->bitsPerSample == 8 ? 127 : 0;
    return FillRegion(region, bytes, [value](unsigned char *to, int want) {
        std::memset(to, value, static_cast<size_t>(want));
        return want;
    });
}

} // namespace Korvo
