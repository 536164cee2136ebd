// The two readers that convert through the Audio Compression Manager: WAVE
// data of any tag the manager knows, and MP3 files (ID3 tags skipped, frames
// measured by their headers). Both hold the compressed data in memory and keep
// a second, untouched stream at its start for backward seeks.

#include "sound/sound_decode.h"
#include "sound/mpeg_audio_scan.h"
#include "sound/wave_chunks.h"

#include "core/memory/tracked_alloc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Input bytes handed to one conversion call.
constexpr int kAcmInputChunkBytes = 2048;
constexpr uint16_t kWaveFormatMpegLayer3 = 85;
constexpr uint16_t kMpegLayer3IdMpeg = 1;
constexpr uint16_t kMpegLayer3CodecDelay = 700;
// Largest format record accepted from a "fmt " chunk.
constexpr int kMaxSourceFormatBytes = 4096;
// Samples a layer-3 decoder puts in front of the sound (its synthesis filter's
// delay), beyond the delay the encoder records in its tag.
constexpr int kMp3DecoderDelaySamples = 529;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Open one conversion stream from the source format to the output format.
static bool OpenAcmStream(AudioDecodeState *state, K_HACMSTREAM *stream)
{
    *stream = 0;
    return AcmFunctions.acmStreamOpen(stream, 0, state->acm.sourceFormat, &state->format, nullptr, 0, 0,
                                      kAcmStreamOpenNonRealtime) == 0;
}

static void CloseAcmStreams(AudioDecodeState *state)
{
    for (K_HACMSTREAM &stream : state->acm.streams) {
        if (stream != 0) {
            AcmFunctions.acmStreamClose(stream, 0);
            stream = 0;
        }
    }
}

static void FreeAcmReader(AudioDecodeState *state)
{
    CloseAcmStreams(state);
    TrackedFree(state->acm.data);
    TrackedFree(state->acm.sourceFormat);
    std::memset(&state->acm, 0, sizeof(state->acm));
}

// Ask for a PCM format of the source, then open both streams and size the
// block; false when the manager has no way from the source to PCM.
static bool StartAcmConversion(AudioDecodeState *state, int blockSecondsNumerator, int blockSecondsDenominator)
{
    SoundWaveFormat suggested{};
    suggested.formatTag = kWaveFormatPcm;
    if (AcmFunctions.acmFormatSuggest(0, state->acm.sourceFormat, &suggested, sizeof(suggested),
                                      kAcmFormatSuggestByTag) != 0) {
        return false;
    }
    if (suggested.formatTag != kWaveFormatPcm || suggested.blockAlign == 0 || suggested.samplesPerSec == 0 ||
        static_cast<int64_t>(suggested.blockAlign) * suggested.samplesPerSec > kMaxDecodeBytesPerSecond) {
        return false;
    }
    suggested.extraSize = 0;
    state->format = suggested;
    if (!OpenAcmStream(state, &state->acm.streams[0]) || !OpenAcmStream(state, &state->acm.streams[1])) {
        return false;
    }
    int64_t second = static_cast<int64_t>(suggested.blockAlign) * suggested.samplesPerSec;
    int64_t block = second * blockSecondsNumerator / blockSecondsDenominator;
    state->blockSize = static_cast<int>(block - block % suggested.blockAlign);
    if (state->blockSize < suggested.blockAlign) {
        state->blockSize = suggested.blockAlign;
    }
    return true;
}

// One conversion call on the live stream into the output block; the output
// bytes (0 when the input is used up or the codec takes nothing more).
static int ConvertAcmChunk(AudioDecodeState *state)
{
    for (;;) {
        int left = state->acm.dataBytes - state->acm.readPosition;
        int in = left < kAcmInputChunkBytes ? left : kAcmInputChunkBytes;
        if (in <= 0) {
            return 0;
        }
        K_ACMSTREAMHEADER header{};
        header.cbStruct = sizeof(header);
        header.pbSrc = state->acm.data + state->acm.readPosition;
        header.cbSrcLength = static_cast<uint32_t>(in);
        header.pbDst = state->block;
        header.cbDstLength = static_cast<uint32_t>(state->blockSize);
        K_HACMSTREAM stream = state->acm.streams[0];
        if (AcmFunctions.acmStreamPrepareHeader(stream, &header, 0) != 0) {
            return 0;
        }
        uint32_t converted = AcmFunctions.acmStreamConvert(stream, &header, kAcmConvertBlockAlign);
        AcmFunctions.acmStreamUnprepareHeader(stream, &header, 0);
        // A codec that reports more than it was given is not believed.
        if (converted != 0 || header.cbSrcLengthUsed > static_cast<uint32_t>(in) ||
            header.cbDstLengthUsed > static_cast<uint32_t>(state->blockSize)) {
            return 0;
        }
        state->acm.readPosition += static_cast<int>(header.cbSrcLengthUsed);
        if (header.cbDstLengthUsed != 0) {
            state->acm.position += static_cast<int>(header.cbDstLengthUsed);
            return static_cast<int>(header.cbDstLengthUsed);
        }
        // A codec still filling its look-ahead gives nothing for input it took.
        if (header.cbSrcLengthUsed == 0) {
            return 0;
        }
    }
}

// Keep of a converted chunk, which began at output byte `before`, only the
// part within the sound; the bytes kept (0 when none is)
static int KeepSoundOfChunk(AudioDecodeState *state, int64_t before, int got, int64_t from)
{
    int64_t start = std::max<int64_t>(from - before, 0);
    int64_t end = std::min<int64_t>(got, state->acm.soundEndBytes - before);
    state->blockOffset = static_cast<int>(std::min<int64_t>(start, got));
    return end > start ? static_cast<int>(end - start) : 0;
}

// Next block: the sound in the output of conversion calls
static int ReadAcmBlock(AudioDecodeState *state)
{
    for (;;) {
        int before = state->acm.position;
        int got = ConvertAcmChunk(state);
        if (got <= 0 || before >= state->acm.soundEndBytes) {
            return 0;
        }
        int kept = KeepSoundOfChunk(state, before, got, state->acm.skipBytes);
        if (kept > 0) {
            // The block is read from its start.
            std::memmove(state->block, state->block + state->blockOffset, static_cast<size_t>(kept));
            state->blockOffset = 0;
            return kept;
        }
    }
}

// Backward: the waiting stream takes over from the start and the other is
// reopened to wait; then convert forward, keeping what lies past the target.
static int SeekAcmStream(AudioDecodeState *state, int frame)
{
    int64_t target = state->acm.skipBytes + static_cast<int64_t>(frame) * state->format.blockAlign;
    if (target < state->acm.position) {
        K_HACMSTREAM used = state->acm.streams[0];
        state->acm.streams[0] = state->acm.streams[1];
        state->acm.streams[1] = 0;
        AcmFunctions.acmStreamClose(used, 0);
        if (!OpenAcmStream(state, &state->acm.streams[1])) {
            state->acm.streams[1] = 0;
        }
        state->acm.readPosition = 0;
        state->acm.position = 0;
    }
    while (state->acm.position < target) {
        int before = state->acm.position;
        int got = ConvertAcmChunk(state);
        if (got <= 0) {
            break; // past the end: nothing left to deliver
        }
        if (state->acm.position > target) {
            state->blockLeft = KeepSoundOfChunk(state, before, got, target);
        }
    }
    return 0;
}

// MP3: the frames' samples; WAVE: what the manager says the data becomes
static int AcmLengthBytes(AudioDecodeState *state)
{
    int64_t bytes = -1;
    if (state->acm.mp3Samples >= 0) {
        bytes = std::min<int64_t>(state->acm.mp3Samples * state->format.blockAlign, state->acm.soundEndBytes) -
                state->acm.skipBytes;
    } else {
        uint32_t out = 0;
        if (AcmFunctions.acmStreamSize(state->acm.streams[0], static_cast<uint32_t>(state->acm.dataBytes), &out,
                                       kAcmStreamSizeSource) == 0) {
            bytes = out;
        }
    }
    return bytes >= 0 && bytes <= INT32_MAX ? static_cast<int>(bytes) : -1;
}

// Read the "fmt " chunk whole into a tracked format record; false when its
// extra bytes claim more than the chunk holds.
static bool ReadSourceFormat(AudioDecodeState *state)
{
    if (state->fmtSize > kMaxSourceFormatBytes) {
        return false;
    }
    int bytes = state->fmtSize > kWaveFormatBytes ? state->fmtSize : kWaveFormatBytes;
    unsigned char *format = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC_ZEROED(static_cast<size_t>(bytes)));
    if (format == nullptr) {
        return false;
    }
    state->acm.sourceFormat = reinterpret_cast<SoundWaveFormat *>(format);
    if (state->stream.Seek(state->streamData, state->fmtPosition, 0) != 0 ||
        !ReadDecodeInput(state, format, state->fmtSize)) {
        return false;
    }
    SoundWaveFormat *source = state->acm.sourceFormat;
    if (state->fmtSize < kWaveFormatBytes) {
        source->extraSize = 0;
    }
    return source->extraSize <= bytes - kWaveFormatBytes && source->channels != 0 && source->blockAlign != 0 &&
           source->samplesPerSec != 0;
}

// Reader 2: the chunk walk, a PCM suggestion, the data chunk into memory
static int OpenWaveAcmReader(AudioDecodeState *state)
{
    std::memset(&state->acm, 0, sizeof(state->acm));
    state->acm.mp3Samples = -1;
    state->acm.soundEndBytes = INT64_MAX;
    bool opened = WalkWaveChunks(state) && ReadSourceFormat(state);
    if (opened && state->dataSize > 0) {
        state->acm.data = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(state->dataSize)));
        state->acm.dataBytes = state->dataSize;
        opened = state->acm.data != nullptr && state->stream.Seek(state->streamData, state->dataStart, 0) == 0 &&
                 ReadDecodeInput(state, state->acm.data, state->dataSize);
    }
    opened = opened && state->acm.data != nullptr && StartAcmConversion(state, 1, 1);
    if (!opened) {
        FreeAcmReader(state);
        return -1;
    }
    return 0;
}

// The sound within an MP3's decoded output: with the delays of an encoder's
// tag, the encoder's and the decoder's delay in front are skipped and the
// encoder's padding behind is cut, as far as the frames reach
static void SetMp3SoundWindow(AudioDecodeState *state, const MpegStreamLayout &layout)
{
    int64_t align = state->format.blockAlign;
    state->acm.skipBytes = 0;
    state->acm.soundEndBytes = INT64_MAX;
    int64_t skip = layout.encoderDelay + kMp3DecoderDelaySamples;
    int64_t sound = layout.frameSamples - layout.encoderDelay - layout.encoderPadding;
    if (layout.encoderDelay + layout.encoderPadding == 0 || sound <= 0 || skip >= layout.frameSamples) {
        return;
    }
    state->acm.skipBytes = static_cast<int>(skip * align);
    state->acm.soundEndBytes = std::min(skip + sound, layout.frameSamples) * align;
}

// Reader 8: the input whole, its frames measured, a layer-3 format from the first frame
static int OpenMp3AcmReader(AudioDecodeState *state)
{
    std::memset(&state->acm, 0, sizeof(state->acm));
    int size = 0;
    unsigned char *input = ReadWholeDecodeInput(state, &size);
    MpegStreamLayout layout;
    if (input == nullptr || ScanMpegAudioFrames(input, size, &layout) != 0) {
        TrackedFree(input);
        return -1;
    }
    // Keep only the frames.
    state->dataStart = layout.dataStart;
    state->dataSize = layout.dataEnd - layout.dataStart;
    std::memmove(input, input + layout.dataStart, static_cast<size_t>(state->dataSize));
    state->acm.data = input;
    state->acm.dataBytes = state->dataSize;
    state->acm.mp3Samples = layout.frameSamples;

    uint32_t formatBytes = 0;
    if (AcmFunctions.acmMetrics(0, kAcmMetricMaxSizeFormat, &formatBytes) != 0 ||
        formatBytes < sizeof(K_MPEGLAYER3WAVEFORMAT)) {
        formatBytes = sizeof(K_MPEGLAYER3WAVEFORMAT);
    }
    K_MPEGLAYER3WAVEFORMAT *mp3 = static_cast<K_MPEGLAYER3WAVEFORMAT *>(KORVO_TRACKED_ALLOC_ZEROED(formatBytes));
    if (mp3 == nullptr) {
        FreeAcmReader(state);
        return -1;
    }
    const MpegFrameInfo &first = layout.first;
    mp3->wfx.formatTag = kWaveFormatMpegLayer3;
    mp3->wfx.channels = static_cast<uint16_t>(first.channels);
    mp3->wfx.samplesPerSec = static_cast<uint32_t>(first.sampleRate);
    mp3->wfx.avgBytesPerSec = static_cast<uint32_t>(first.bitRate * 1000 / 8);
    mp3->wfx.blockAlign = 1;
    mp3->wfx.bitsPerSample = 0;
    mp3->wfx.extraSize = sizeof(K_MPEGLAYER3WAVEFORMAT) - sizeof(SoundWaveFormat);
    mp3->wID = kMpegLayer3IdMpeg;
    mp3->fdwFlags = static_cast<uint32_t>(first.padding);
    mp3->nBlockSize = static_cast<uint16_t>(first.frameBytes);
    mp3->nFramesPerBlock = 1;
    mp3->nCodecDelay = kMpegLayer3CodecDelay;
    state->acm.sourceFormat = &mp3->wfx;
    if (!StartAcmConversion(state, 4, 3)) {
        FreeAcmReader(state);
        return -1;
    }
    SetMp3SoundWindow(state, layout);
    return 0;
}

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
AcmFunctionTable AcmFunctions;
int AcmFunctionsLoaded = 0;

const AudioReaderOps WaveAcmReaderOps = {
    2, AUDIO_READER_ACM, OpenWaveAcmReader, ReadAcmBlock, SeekAcmStream, AcmLengthBytes, FreeAcmReader,
};
const AudioReaderOps Mp3AcmReaderOps = {
    8, AUDIO_READER_ACM, OpenMp3AcmReader, ReadAcmBlock, SeekAcmStream, AcmLengthBytes, FreeAcmReader,
};

} // namespace Korvo
