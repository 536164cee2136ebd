// Sound-file conversion: the reader chain, block delivery, seeking and the
// whole-file conversion shared by every reader.

#include "sound/sound_decode.h"

#include "core/memory/tracked_alloc.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// A seek that lands this close to the output position does nothing (bytes).
constexpr int kSeekSlackBytes = 15;
// A whole-sound conversion allocates a claimed length at first only up to this
// many times the input (no reader here gives more PCM per input byte in any real
// file) or one piece, whichever is more; past that the PCM grows as it comes.
constexpr int64_t kMaxDecodeExpansion = 64;
constexpr int kDecodePieceBytes = 1024 * 1024;
// Bytes read ahead to learn whether a full block of PCM is the end of the data.
constexpr int kDecodeProbeBytes = 4096;

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

// The first block of a whole-sound conversion: the claimed length as far as the
// input can give it, else one piece (an unknown length too).
static int64_t FirstDecodeCapacity(const AudioDecodeState *state, int64_t claim)
{
    if (claim < 0) {
        return kDecodePieceBytes;
    }
    int64_t trusted = static_cast<int64_t>(state->inputBytes) * kMaxDecodeExpansion;
    return std::min(claim, std::max<int64_t>(trusted, kDecodePieceBytes));
}

// Decode into *data, doubling it while the data goes on, up to maxBytes; the
// bytes read, or -1 when the block could not grow (it is freed then).
static int ReadIntoGrowingBlock(AudioDecodeState *state, int maxBytes, unsigned char **data, int64_t *capacity,
                                bool *more)
{
    int got = 0;
    for (;;) {
        int want = static_cast<int>(*capacity) - got;
        int read = want > 0 ? ReadDecodedBytes(state, *data + got, want) : 0;
        got += read > 0 ? read : 0;
        if (read < want) {
            return got; // the data ended
        }
        // Full: grow only when the data goes on.
        unsigned char probe[kDecodeProbeBytes];
        int extra = ReadDecodedBytes(state, probe, kDecodeProbeBytes);
        if (extra <= 0) {
            return got;
        }
        int64_t grown = std::min<int64_t>(maxBytes, std::max<int64_t>(*capacity * 2, kDecodePieceBytes));
        if (grown > *capacity) {
            void *moved = KORVO_TRACKED_REALLOC(*data, static_cast<size_t>(grown) + 1);
            if (moved == nullptr) {
                TrackedFree(*data);
                *data = nullptr;
                return -1;
            }
            *data = static_cast<unsigned char *>(moved);
            *capacity = grown;
        }
        int take = std::min(extra, static_cast<int>(*capacity) - got);
        std::memcpy(*data + got, probe, static_cast<size_t>(take));
        got += take;
        if (take < extra) {
            *more = true; // maxBytes reached with data left
            return got;
        }
    }
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
    state->inputBytes = state->stream.Seek(streamData, 0, 2) == 0 ? state->stream.Tell(streamData) : -1;
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
    if (state->ready == 0 || frame < 0) {
        return -1;
    }
    int64_t target = static_cast<int64_t>(frame) * state->format.blockAlign;
    if (target <= INT32_MAX && std::abs(target - state->outputPosition) <= kSeekSlackBytes) {
        state->ended = 0;
        return 0;
    }
    return SeekDecodedSamplesExactly(state, frame);
}

// Reposition wherever the output stands: a source of a few bytes restarts too
int SeekDecodedSamplesExactly(AudioDecodeState *state, int frame)
{
    if (state->ready == 0) {
        return -1;
    }
    int64_t target = static_cast<int64_t>(frame) * state->format.blockAlign;
    if (frame < 0 || target > INT32_MAX) {
        return -1;
    }
    if (target != state->outputPosition) {
        // The reader may leave the part of a block past the target in the block.
        state->blockLeft = 0;
        state->blockOffset = 0;
        if (state->reader->SeekFrame(state, frame) != 0) {
            return -1;
        }
        state->outputPosition = static_cast<int>(target);
    }
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

// The PCM of a claimed length, growing while the data goes on, up to maxBytes
// (plain PCM, whose length the input bounds, straight from the input)
int DecodeSoundUpTo(AudioDecodeState *state, int maxBytes, SoundWaveFormat *format, void **pcm, int *size,
                    bool *more)
{
    *more = false;
    int64_t claim = GetDecodedLengthBytes(state);
    bool plainPcm = state->readerKind == AUDIO_READER_WAVE_PCM && state->wave.convertBuffer == nullptr;
    if (maxBytes < 0 || (plainPcm && claim < 0)) {
        return -1;
    }
    int64_t capacity = plainPcm ? claim : FirstDecodeCapacity(state, claim);
    if (capacity > maxBytes) {
        capacity = maxBytes;
        *more = plainPcm;
    }
    unsigned char *data = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(capacity) + 1));
    if (data == nullptr) {
        return -1;
    }
    state->outputPosition = -kSeekSlackBytes - 1; // force the seek to happen
    if (SeekDecodedSamples(state, 0) != 0) {
        TrackedFree(data);
        return -1;
    }
    int got = 0;
    if (plainPcm) {
        got = static_cast<int>(state->stream.Read(data, 1, static_cast<size_t>(capacity), state->streamData));
        state->wave.dataConsumed = got;
        state->outputPosition = got;
    } else if ((got = ReadIntoGrowingBlock(state, maxBytes, &data, &capacity, more)) < 0) {
        return -1;
    }
    if (got < capacity) {
        // A claim larger than the data: keep only what was decoded.
        void *fitted = KORVO_TRACKED_REALLOC(data, static_cast<size_t>(got) + 1);
        data = fitted != nullptr ? static_cast<unsigned char *>(fitted) : data;
    }
    *format = state->format;
    *pcm = data;
    *size = got;
    return 0;
}

// Everything there is, as far as one tracked block can hold
int DecodeWholeSound(AudioDecodeState *state, SoundWaveFormat *format, void **pcm, int *size)
{
    bool more = false;
    return DecodeSoundUpTo(state, INT32_MAX - 1, format, pcm, size, &more);
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
