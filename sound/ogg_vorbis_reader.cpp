// The Ogg Vorbis reader: vorbisfile reads the input through the conversion's
// own copy of the stream operations.

#include "sound/sound_decode.h"

#include "core/memory/tracked_alloc.h"

#include <vorbis/vorbisfile.h>

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kOggBlockBytes = 4096;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static OggVorbis_File *OggFile(AudioDecodeState *state)
{
    return static_cast<OggVorbis_File *>(state->ogg.file);
}

static size_t ReadOggCallback(void *buffer, size_t size, size_t count, void *data)
{
    AudioDecodeState *state = static_cast<AudioDecodeState *>(data);
    return state->stream.Read(buffer, size, count, state->streamData);
}

// The offset's low 32 bits, as the stream operations take them
static int SeekOggCallback(void *data, ogg_int64_t offset, int whence)
{
    AudioDecodeState *state = static_cast<AudioDecodeState *>(data);
    return state->stream.Seek(state->streamData, static_cast<int>(offset), whence) == 0 ? 0 : -1;
}

static int CloseOggCallback(void *)
{
    return 0;
}

static long TellOggCallback(void *data)
{
    AudioDecodeState *state = static_cast<AudioDecodeState *>(data);
    return state->stream.Tell(state->streamData);
}

// Whether the decoder of every link can be set up. vorbisfile sets a link's
// decoder up at its first read and, when that fails, again at every later read
// or seek, on what the failed attempt left; a file whose decoder cannot start
// gives no sound, so it is refused before anything reads it.
static bool EveryLinkDecoderStarts(OggVorbis_File *file)
{
    for (long link = 0; link < ov_streams(file); ++link) {
        vorbis_dsp_state trial;
        if (vorbis_synthesis_init(&trial, ov_info(file, static_cast<int>(link))) != 0) {
            return false;
        }
        vorbis_dsp_clear(&trial);
    }
    return true;
}

static void EndOggVorbisReader(AudioDecodeState *state)
{
    if (state->ogg.file != nullptr) {
        ov_clear(OggFile(state));
        TrackedFree(state->ogg.file);
        state->ogg.file = nullptr;
    }
}

// ov_open_callbacks over the stream copy; PCM of the chosen sample width
static int OpenOggVorbisReader(AudioDecodeState *state)
{
    std::memset(&state->ogg, 0, sizeof(state->ogg));
    OggVorbis_File *file = static_cast<OggVorbis_File *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(OggVorbis_File)));
    if (file == nullptr) {
        return -1;
    }
    ov_callbacks callbacks = {ReadOggCallback, SeekOggCallback, CloseOggCallback, TellOggCallback};
    if (ov_open_callbacks(state, file, nullptr, 0, callbacks) != 0) {
        TrackedFree(file);
        return -1;
    }
    state->ogg.file = file;
    vorbis_info *info = ov_info(file, -1);
    int bytesPerSample = state->oggBytesPerSample == 1 ? 1 : 2;
    if (info == nullptr || info->channels <= 0 || info->rate <= 0 ||
        static_cast<int64_t>(info->channels) * bytesPerSample * info->rate > kMaxDecodeBytesPerSecond ||
        !EveryLinkDecoderStarts(file)) {
        EndOggVorbisReader(state);
        return -1;
    }
    state->ogg.bytesPerSample = bytesPerSample;
    state->ogg.channels = info->channels;
    state->format = MakePcmWaveFormat(info->channels, static_cast<int>(info->rate), 8 * bytesPerSample);
    state->blockSize = kOggBlockBytes;
    // A claimed length beyond what one block can hold is a damaged header: the
    // length is then unknown and the conversion takes what the data gives.
    // Bounded before the multiply, which a granule near 2^63 would overflow.
    ogg_int64_t total = ov_pcm_total(file, -1);
    int64_t align = state->format.blockAlign;
    state->dataSize = total >= 0 && total <= INT32_MAX / align ? static_cast<int>(total * align) : -1;
    return 0;
}

// One ov_read into the block; a hole in the data is stepped over
static int ReadOggBlock(AudioDecodeState *state)
{
    int bitstream = 0;
    int signedSamples = state->ogg.bytesPerSample == 1 ? 0 : 1;
    for (;;) {
        long got = ov_read(OggFile(state), reinterpret_cast<char *>(state->block), state->blockSize, 0,
                           state->ogg.bytesPerSample, signedSamples, &bitstream);
        if (got == OV_HOLE) {
            continue;
        }
        return got > 0 ? static_cast<int>(got) : 0;
    }
}

static int SeekOggFrame(AudioDecodeState *state, int frame)
{
    return ov_pcm_seek(OggFile(state), frame) == 0 ? 0 : -1;
}

static int OggLengthBytes(AudioDecodeState *state)
{
    return state->dataSize;
}

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
// One vorbisfile build serves both decoder choices of the settings.
const AudioReaderOps OggVorbisReaderOps = {
    4, AUDIO_READER_OGG_VORBIS, OpenOggVorbisReader, ReadOggBlock, SeekOggFrame, OggLengthBytes, EndOggVorbisReader,
};

} // namespace Korvo
