// Play buffers over the two back-end families, and the voice feed that hands a
// source voice its PCM from the shared block, one 1/60 s piece at a time.

#include "sound/play_buffer.h"

#include "core/memory/tracked_alloc.h"
#include "sound/sound_system.h"

#include <atomic>
#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kMinPan = -10000;
constexpr int kMaxPan = 10000;
constexpr int kMinVolume = -10000;
constexpr int kMaxVolume = 0;
// A voice is fed pieces of at most this fraction of a second (1 / n).
constexpr int kVoicePiecesPerSecond = 60;
constexpr size_t kPcmAlignment = 16;
constexpr uint32_t kPlayingBit = 1;
constexpr uint32_t kPlayNumberStep = 2;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool UsesVoices()
{
    return SoundSystem.backend.selector == SOUND_BACKEND_VOICES;
}

static const VoiceBackendOps &Voices()
{
    return *SoundSystem.backend.voice;
}

static const BufferBackendOps &Buffers()
{
    return *SoundSystem.backend.buffer;
}

// The shared words of a voice buffer (play_buffer.h).
template <typename T>
static std::atomic_ref<T> Shared(T &word)
{
    return std::atomic_ref<T>(word);
}

// A piece's context: the number of the play that handed it over.
static void *PieceContext(uint32_t play)
{
    return reinterpret_cast<void *>(static_cast<uintptr_t>(play));
}

static uint32_t PlayOfPiece(void *context)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(context));
}

// The engine takes up a play number it has not fed yet: pieces an earlier play
// still has queued are flushed (their ends will be ignored) and feeding starts
// where the program put the play.
static void FollowCurrentPlay(PlayBuffer *buffer, uint32_t state)
{
    uint32_t play = state >> 1;
    if (play == buffer->feedPlay) {
        return;
    }
    Voices().Flush(buffer->platformObject);
    buffer->feedPlay = play;
    buffer->submitPosition = Shared(buffer->startFrame).load(std::memory_order_relaxed);
    buffer->queuedPieces = 0;
    buffer->allSubmitted = 0;
    Shared(buffer->playPosition).store(buffer->submitPosition, std::memory_order_relaxed);
    Shared(buffer->positionPlay).store(play, std::memory_order_release);
}

// A non-looping play whose pieces have all played ends, unless the program has
// moved or stopped the buffer meanwhile. The engine leaves the voice started:
// a stop from here could land after the program's next start and silence it.
static void EndPlayOnceAllPlayed(PlayBuffer *buffer)
{
    if (buffer->allSubmitted == 0 || buffer->queuedPieces != 0 ||
        Shared(buffer->loop).load(std::memory_order_relaxed) != 0) {
        return;
    }
    uint32_t playing = (buffer->feedPlay << 1) | kPlayingBit;
    Shared(buffer->playState).compare_exchange_strong(playing, playing & ~kPlayingBit, std::memory_order_acq_rel);
}

// One tracked block: the record, then the data at the next 16-byte boundary.
static SharedPcmBlock *AllocSharedPcmBlock(int size)
{
    size_t total = sizeof(SharedPcmBlock) + kPcmAlignment + static_cast<size_t>(size);
    unsigned char *raw = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(total));
    if (raw == nullptr) {
        return nullptr;
    }
    SharedPcmBlock *block = reinterpret_cast<SharedPcmBlock *>(raw);
    uintptr_t data = reinterpret_cast<uintptr_t>(raw + sizeof(SharedPcmBlock));
    data = (data + kPcmAlignment - 1) & ~static_cast<uintptr_t>(kPcmAlignment - 1);
    block->data = reinterpret_cast<unsigned char *>(data);
    block->size = size;
    block->referenceCount = 1;
    return block;
}

static void DropSharedPcmBlock(SharedPcmBlock *block)
{
    if (block != nullptr && --block->referenceCount == 0) {
        TrackedFree(block);
    }
}

static int ClampInt(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

// Voice channel volumes from the stored volume and pan.
static void ApplyVoiceChannelVolumes(PlayBuffer *buffer)
{
    float amplitude = DecibelsToAmplitude(static_cast<float>(buffer->volume) / 100.0f);
    float volumes[2] = {amplitude, amplitude};
    if (buffer->pan < 0) {
        volumes[1] = amplitude * DecibelsToAmplitude(static_cast<float>(buffer->pan) / 100.0f);
    } else if (buffer->pan > 0) {
        volumes[0] = amplitude * DecibelsToAmplitude(static_cast<float>(-buffer->pan) / 100.0f);
    }
    Voices().SetChannelVolumes(buffer->platformObject, buffer->format.channels < 2 ? 1 : 2, volumes);
}

static void ApplyVoiceFrequency(PlayBuffer *buffer)
{
    float ratio = buffer->frequency <= 0 ? 1.0f
                                         : static_cast<float>(buffer->frequency) /
                                               static_cast<float>(buffer->format.samplesPerSec);
    Voices().SetFrequencyRatio(buffer->platformObject, ratio);
}

// Undo a half-made buffer.
static void DiscardPlatformObjects(PlayBuffer *buffer)
{
    if (UsesVoices()) {
        if (buffer->platformObject != nullptr || buffer->callback != nullptr) {
            Voices().Destroy(buffer->platformObject, buffer->callback);
        }
    } else if (buffer->platformObject != nullptr) {
        Buffers().Release(buffer->platformObject);
    }
    buffer->platformObject = nullptr;
    buffer->callback = nullptr;
    DropSharedPcmBlock(buffer->pcm);
    buffer->pcm = nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Create over the back-end; with a shared buffer take its data and settings
int CreatePlayBuffer(PlayBuffer *buffer, const SoundBufferDesc *desc, PlayBuffer *shared, int is3d)
{
    (void)is3d; // nothing creates 3-D sounds: every voice goes straight to the mastering voice
    if (buffer->valid != 0) {
        return -1;
    }
    buffer->pcm = nullptr;
    buffer->platformObject = nullptr;
    buffer->submixVoice = nullptr;
    buffer->reverbEffect = nullptr;
    buffer->callback = nullptr;
    if (shared != nullptr && shared->valid == 0) {
        return -1;
    }
    const SoundWaveFormat *format = shared != nullptr ? &shared->format : (desc != nullptr ? desc->format : nullptr);
    if (format == nullptr || format->blockAlign == 0) {
        return -1;
    }

    if (UsesVoices()) {
        if (shared != nullptr) {
            buffer->pcm = shared->pcm;
            ++buffer->pcm->referenceCount;
        } else {
            buffer->pcm = AllocSharedPcmBlock(static_cast<int>(desc->bytes));
        }
        if (buffer->pcm == nullptr ||
            Voices().Create(buffer, format, &buffer->platformObject, &buffer->callback) != 0) {
            DiscardPlatformObjects(buffer);
            return -1;
        }
    } else {
        // A buffer back-end cannot share memory without a description of its own.
        if (desc == nullptr || Buffers().Create(desc, &buffer->platformObject) != 0) {
            DiscardPlatformObjects(buffer);
            return -1;
        }
    }

    buffer->playState = 0;
    buffer->startFrame = 0;
    buffer->playPosition = 0;
    buffer->positionPlay = 0;
    buffer->feedPlay = 0;
    buffer->submitPosition = 0;
    buffer->queuedPieces = 0;
    buffer->allSubmitted = 0;
    buffer->loop = 0;
    buffer->format = *format;
    if (shared != nullptr) {
        buffer->pan = shared->pan;
        buffer->volume = shared->volume;
        buffer->frequency = shared->frequency;
        buffer->length = shared->length;
        if (UsesVoices()) {
            ApplyVoiceChannelVolumes(buffer);
            ApplyVoiceFrequency(buffer);
        }
    } else {
        buffer->pan = 0;
        buffer->volume = 0;
        buffer->frequency = -1;
        buffer->length = static_cast<int>(desc->bytes / format->blockAlign);
    }
    buffer->valid = 1;
    return 0;
}

// Release the platform objects and the data reference
int ReleasePlayBuffer(PlayBuffer *buffer)
{
    if (buffer->valid == 0) {
        return -1;
    }
    DiscardPlatformObjects(buffer);
    buffer->valid = 0;
    return 0;
}

// Play, looping or not
int PlayPlayBuffer(PlayBuffer *buffer, int loop)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        buffer->loop = loop;
        return Buffers().Play(buffer->platformObject, loop != 0 ? 1 : 0);
    }
    Shared(buffer->loop).store(loop, std::memory_order_relaxed);
    Shared(buffer->playState).fetch_or(kPlayingBit, std::memory_order_release);
    Voices().Start(buffer->platformObject);
    return 0;
}

// Stop
int StopPlayBuffer(PlayBuffer *buffer)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        Buffers().Stop(buffer->platformObject);
        return 0;
    }
    Shared(buffer->playState).fetch_and(~kPlayingBit, std::memory_order_acq_rel);
    Voices().Stop(buffer->platformObject);
    return 0;
}

// Bit 0 while playing
int GetPlayBufferStatus(PlayBuffer *buffer, uint32_t *status)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        return Buffers().GetStatus(buffer->platformObject, status) == 0 ? 0 : -1;
    }
    uint32_t state = Shared(buffer->playState).load(std::memory_order_acquire);
    *status = (state & kPlayingBit) != 0 ? kBufferStatusPlaying : 0;
    return 0;
}

// Two parts of the ring from offset
int LockPlayBuffer(int offset, PlayBuffer *buffer, int bytes, void **part1, uint32_t *size1, void **part2,
                   uint32_t *size2)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        return Buffers().Lock(buffer->platformObject, static_cast<uint32_t>(offset), static_cast<uint32_t>(bytes),
                              part1, size1, part2, size2) == 0
                   ? 0
                   : -1;
    }
    int align = buffer->format.blockAlign;
    int total = buffer->length * align;
    if (offset < 0 || bytes < 0 || offset > total || bytes > total) {
        return -1;
    }
    *part1 = buffer->pcm->data + offset;
    // Split by bytes: an offset or size between frames must not reach past the ring.
    if (offset + bytes > total) {
        *size1 = static_cast<uint32_t>(total - offset);
        *part2 = buffer->pcm->data;
        *size2 = static_cast<uint32_t>(bytes - (total - offset));
    } else {
        *size1 = static_cast<uint32_t>(bytes);
        *part2 = nullptr;
        *size2 = 0;
    }
    return 0;
}

// End a lock (nothing to do for voices)
int UnlockPlayBuffer(PlayBuffer *buffer, uint32_t size2, void *part1, uint32_t size1, void *part2)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        return Buffers().Unlock(buffer->platformObject, part1, size1, part2, size2) == 0 ? 0 : -1;
    }
    return 0;
}

// Cursors in bytes
int GetPlayBufferPosition(PlayBuffer *buffer, int *writePosition, uint32_t *playPosition)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        uint32_t write = 0;
        if (Buffers().GetPosition(buffer->platformObject, playPosition, &write) != 0) {
            return -1;
        }
        if (writePosition != nullptr) {
            *writePosition = static_cast<int>(write);
        }
        return 0;
    }
    // Until the engine has taken up the current play, it stands where it was put.
    uint32_t play = Shared(buffer->playState).load(std::memory_order_relaxed) >> 1;
    int frame = Shared(buffer->positionPlay).load(std::memory_order_acquire) == play
                    ? Shared(buffer->playPosition).load(std::memory_order_relaxed)
                    : Shared(buffer->startFrame).load(std::memory_order_relaxed);
    int bytes = frame * buffer->format.blockAlign;
    if (writePosition != nullptr) {
        *writePosition = bytes;
    }
    *playPosition = static_cast<uint32_t>(bytes);
    return 0;
}

// Move the play cursor
int SetPlayBufferPosition(int bytePosition, PlayBuffer *buffer)
{
    if (buffer->valid == 0) {
        return -1;
    }
    if (!UsesVoices()) {
        return Buffers().SetPosition(buffer->platformObject, static_cast<uint32_t>(bytePosition)) == 0 ? 0 : -1;
    }
    // A new play number; the engine takes it up at its next pass (the flush
    // here empties a stopped voice at once).
    Shared(buffer->startFrame).store(bytePosition / buffer->format.blockAlign, std::memory_order_relaxed);
    Shared(buffer->playState).fetch_add(kPlayNumberStep, std::memory_order_acq_rel);
    Voices().Flush(buffer->platformObject);
    return 0;
}

// Frequency, 0 = the data's own rate
int SetPlayBufferFrequency(PlayBuffer *buffer, int hertz)
{
    if (buffer->valid == 0) {
        return -1;
    }
    buffer->frequency = hertz == 0 ? -1 : hertz;
    if (!UsesVoices()) {
        return Buffers().SetFrequency(buffer->platformObject, hertz) == 0 ? 0 : -1;
    }
    ApplyVoiceFrequency(buffer);
    return 0;
}

// Pan, clamped
int SetPlayBufferPan(int pan, PlayBuffer *buffer)
{
    if (buffer->valid == 0) {
        return -1;
    }
    buffer->pan = ClampInt(pan, kMinPan, kMaxPan);
    if (!UsesVoices()) {
        return Buffers().SetPan(buffer->platformObject, buffer->pan) == 0 ? 0 : -1;
    }
    ApplyVoiceChannelVolumes(buffer);
    return 0;
}

// Volume, clamped
int SetPlayBufferVolume(PlayBuffer *buffer, int volume)
{
    if (buffer->valid == 0) {
        return -1;
    }
    buffer->volume = ClampInt(volume, kMinVolume, kMaxVolume);
    if (!UsesVoices()) {
        return Buffers().SetVolume(buffer->platformObject, buffer->volume) == 0 ? 0 : -1;
    }
    ApplyVoiceChannelVolumes(buffer);
    return 0;
}

// 10 ^ (dB / 20)
float DecibelsToAmplitude(float decibels)
{
    return std::pow(10.0f, decibels / 20.0f);
}

// Submit pieces from the submit position until bytesRequired were handed over.
// NOTE: at the end of non-looping data the play does not end at once: the
// pieces still queued in the voice would be cut off (up to the engine's lead,
// some 200 ms on some engines). It ends when the last of them has played.
void FeedPlayBufferVoice(PlayBuffer *buffer, uint32_t bytesRequired)
{
    uint32_t state = Shared(buffer->playState).load(std::memory_order_acquire);
    FollowCurrentPlay(buffer, state);
    if ((state & kPlayingBit) == 0) {
        return; // stopped, or ended and left started
    }
    const int loop = Shared(buffer->loop).load(std::memory_order_relaxed);
    int align = buffer->format.blockAlign;
    // At least one frame: below 60 frames a second a piece of none would hand
    // nothing over and the voice would never end.
    int piece = static_cast<int>(buffer->format.samplesPerSec / kVoicePiecesPerSecond);
    piece = piece > 0 ? piece : 1;
    int frame = buffer->submitPosition;
    uint32_t submitted = 0;
    while (submitted < bytesRequired) {
        if (frame >= buffer->length) {
            if (loop == 0) {
                buffer->allSubmitted = 1;
                break;
            }
            frame = 0;
        }
        int frames = piece < buffer->length - frame ? piece : buffer->length - frame;
        if (static_cast<uint32_t>(frames * align) > bytesRequired) {
            frames = static_cast<int>(bytesRequired / static_cast<uint32_t>(align));
        }
        if (frames <= 0) {
            break;
        }
        ++buffer->queuedPieces;
        Voices().Submit(buffer->platformObject, buffer->pcm->data + frame * align, static_cast<uint32_t>(frames * align),
                        PieceContext(buffer->feedPlay));
        frame += frames;
        submitted += static_cast<uint32_t>(frames * align);
        if (frame >= buffer->length && loop == 0) {
            // Known now: the end does not wait for a pass that asks for more.
            buffer->allSubmitted = 1;
            break;
        }
    }
    buffer->submitPosition = frame;
    EndPlayOnceAllPlayed(buffer);
}

// A piece has ended; one of an earlier play is no longer counted
void FinishPlayBufferVoiceBuffer(PlayBuffer *buffer, void *context)
{
    if (PlayOfPiece(context) != buffer->feedPlay || buffer->queuedPieces == 0) {
        return;
    }
    --buffer->queuedPieces;
    Shared(buffer->playPosition).store(buffer->submitPosition, std::memory_order_relaxed);
    EndPlayOnceAllPlayed(buffer);
}

} // namespace Korvo
