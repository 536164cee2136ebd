// Fake sound back-ends and generated WAVE files for the sound tests.

#include "sound_fakes.h"

#include "sound/play_buffer.h"
#include "core/threads/thread_record.h"
#include "sound/sound_system.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace SoundFakes {

using namespace Korvo;

std::vector<FakeVoice *> Voices;
std::vector<FakeBuffer *> Buffers;
std::vector<uint32_t> CreatedFlags;
uint32_t RejectFlags = 0;
int ShutdownCount = 0;
std::atomic<int> PositionDelayMs{0};
std::atomic<int> CursorReadsInside{0};
int CursorReadsInsideAtShutdown = 0;

namespace {

FakeVoice *V(void *voice) { return static_cast<FakeVoice *>(voice); }
FakeBuffer *B(void *buffer) { return static_cast<FakeBuffer *>(buffer); }

int CreateVoice(PlayBuffer *owner, const SoundWaveFormat *format, void **voice, void **callback)
{
    FakeVoice *created = new FakeVoice();
    created->owner = owner;
    created->format = *format;
    Voices.push_back(created);
    *voice = created;
    *callback = created; // the fake is its own callback object
    return 0;
}
void DestroyVoice(void *voice, void *)
{
    Voices.erase(std::remove(Voices.begin(), Voices.end(), V(voice)), Voices.end());
    delete V(voice);
}
int StartVoice(void *voice)
{
    std::lock_guard<std::recursive_mutex> hold(V(voice)->lock);
    V(voice)->started = true;
    return 0;
}
int StopVoice(void *voice)
{
    std::lock_guard<std::recursive_mutex> hold(V(voice)->lock);
    V(voice)->started = false;
    return 0;
}
int Submit(void *voice, const void *data, uint32_t bytes, void *context)
{
    std::function<void()> hook;
    {
        std::lock_guard<std::recursive_mutex> hold(V(voice)->lock);
        V(voice)->queued.push_back({static_cast<const uint8_t *>(data), bytes, context});
        hook.swap(V(voice)->onSubmit);
    }
    if (hook) {
        hook();
    }
    return 0;
}
int Flush(void *voice)
{
    std::lock_guard<std::recursive_mutex> hold(V(voice)->lock);
    for (const FakePiece &piece : V(voice)->queued) {
        V(voice)->flushed.push_back(piece.context);
    }
    V(voice)->queued.clear();
    return 0;
}
int Ratio(void *voice, float ratio) { V(voice)->ratio = ratio; return 0; }
int Volumes(void *voice, int channels, const float *volumes)
{
    V(voice)->volumes.assign(volumes, volumes + channels);
    return 0;
}

int CreateBuffer(const SoundBufferDesc *desc, void **object)
{
    CreatedFlags.push_back(desc->flags);
    if ((desc->flags & RejectFlags) != 0) {
        return -1;
    }
    FakeBuffer *buffer = new FakeBuffer();
    buffer->flags = desc->flags;
    buffer->memory.assign(desc->bytes, 0xEE);
    Buffers.push_back(buffer);
    *object = buffer;
    return 0;
}
void ReleaseBuffer(void *object)
{
    Buffers.erase(std::remove(Buffers.begin(), Buffers.end(), B(object)), Buffers.end());
    delete B(object);
}
int PlayBuffer(void *object, int loop) { B(object)->playing = true; B(object)->looping = loop != 0; return 0; }
int StopBuffer(void *object) { B(object)->playing = false; return 0; }
int Status(void *object, uint32_t *status) { *status = B(object)->playing ? kBufferStatusPlaying : 0; return 0; }
int Lock(void *object, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2, uint32_t *size2)
{
    std::vector<uint8_t> &memory = B(object)->memory;
    if (offset >= memory.size() || bytes > memory.size()) {
        return -1;
    }
    uint32_t first = std::min<uint32_t>(bytes, static_cast<uint32_t>(memory.size()) - offset);
    *part1 = memory.data() + offset;
    *size1 = first;
    *part2 = first < bytes ? memory.data() : nullptr;
    *size2 = bytes - first;
    return 0;
}
int Unlock(void *, void *, uint32_t, void *, uint32_t) { return 0; }
int Position(void *object, uint32_t *play, uint32_t *write)
{
    ++CursorReadsInside;
    if (PositionDelayMs > 0) {
        SleepMilliseconds(static_cast<unsigned>(PositionDelayMs.load()));
    }
    *play = *write = B(object)->cursor;
    --CursorReadsInside;
    return 0;
}
int SetPosition(void *object, uint32_t position) { B(object)->cursor = position; return 0; }
int Frequency(void *object, int hertz) { B(object)->frequency = hertz; return 0; }
int Level(void *, int) { return 0; }

void Shutdown()
{
    ++ShutdownCount;
    CursorReadsInsideAtShutdown = CursorReadsInside.load();
}

const VoiceBackendOps VoiceOps = {CreateVoice, DestroyVoice, StartVoice, StopVoice, Submit, Flush, Ratio, Volumes};
const BufferBackendOps BufferOps = {CreateBuffer, ReleaseBuffer, PlayBuffer, StopBuffer, Status, Lock,
                                    Unlock, Position, SetPosition, Frequency, Level, Level};
const SoundBackend VoiceRecord = {SOUND_BACKEND_VOICES, &VoiceOps, nullptr, Shutdown};
const SoundBackend BufferRecord = {SOUND_BACKEND_BUFFERS, nullptr, &BufferOps, Shutdown};

HeldBackStream *H(uintptr_t data) { return reinterpret_cast<HeldBackStream *>(data); }
int HeldTell(uintptr_t data) { return H(data)->position; }
int HeldSeek(uintptr_t data, int offset, int origin)
{
    HeldBackStream *stream = H(data);
    int base = origin == 1 ? stream->position : origin == 2 ? static_cast<int>(stream->image.size()) : 0;
    stream->position = std::max(0, std::min(base + offset, static_cast<int>(stream->image.size())));
    return 0;
}
size_t HeldRead(void *buffer, size_t elementSize, size_t count, uintptr_t data)
{
    HeldBackStream *stream = H(data);
    size_t end = stream->image.size();
    if (stream->held && static_cast<size_t>(stream->position) >= static_cast<size_t>(stream->heldFrom)) {
        if (++stream->refusedReads <= stream->giveAfter) {
            return 0;
        }
        stream->held = false;
    }
    if (stream->held) {
        end = static_cast<size_t>(stream->heldFrom);
    }
    size_t whole = elementSize != 0 ? (end - static_cast<size_t>(stream->position)) / elementSize : 0;
    size_t n = std::min(count, whole);
    std::memcpy(buffer, stream->image.data() + stream->position, n * elementSize);
    stream->position += static_cast<int>(n * elementSize);
    return n;
}
int HeldEof(uintptr_t data) { return H(data)->position >= static_cast<int>(H(data)->image.size()) ? 1 : 0; }
int HeldIdle(uintptr_t) { return 0; }
int HeldClose(uintptr_t) { return 0; }
const StreamOpsTable HeldBackOps = {HeldTell, HeldSeek, HeldRead, HeldEof, HeldIdle, HeldClose};

void PutLe32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

} // namespace

const SoundBackend *VoiceBackend() { return &VoiceRecord; }
const StreamOpsTable *HeldBackStreamOps() { return &HeldBackOps; }
const SoundBackend *BufferBackend() { return &BufferRecord; }

void ReportFlushedEnds(FakeVoice *voice)
{
    std::vector<void *> flushed;
    {
        std::lock_guard<std::recursive_mutex> hold(voice->lock);
        flushed.swap(voice->flushed);
    }
    for (void *context : flushed) {
        FinishPlayBufferVoiceBuffer(voice->owner, context);
    }
}

bool PlayOldestPiece(FakeVoice *voice)
{
    FakePiece piece;
    {
        std::lock_guard<std::recursive_mutex> hold(voice->lock);
        if (!voice->started || voice->queued.empty()) {
            return false;
        }
        piece = voice->queued.front();
        voice->queued.erase(voice->queued.begin());
        voice->captured.insert(voice->captured.end(), piece.data, piece.data + piece.bytes);
    }
    FinishPlayBufferVoiceBuffer(voice->owner, piece.context);
    return true;
}

void PullVoice(FakeVoice *voice, uint32_t bytes)
{
    {
        std::lock_guard<std::recursive_mutex> hold(voice->lock);
        if (!voice->started) {
            return;
        }
    }
    FeedPlayBufferVoice(voice->owner, bytes);
    ReportFlushedEnds(voice);
    while (PlayOldestPiece(voice)) {
    }
}

std::vector<uint8_t> AdvanceBuffer(FakeBuffer *buffer, uint32_t bytes)
{
    std::vector<uint8_t> passed;
    if (!buffer->playing) {
        return passed;
    }
    for (uint32_t i = 0; i < bytes; ++i) {
        passed.push_back(buffer->memory[buffer->cursor]);
        buffer->cursor = (buffer->cursor + 1) % static_cast<uint32_t>(buffer->memory.size());
    }
    return passed;
}

int StartWith(const SoundBackend *backend, int processors)
{
    ShutdownCount = 0;
    RejectFlags = 0;
    CreatedFlags.clear();
    SetSoundBackendOverride(backend);
    SetSoundProcessorCountOverride(processors);
    return InitSoundOutputSystem();
}

void Stop()
{
    PositionDelayMs = 0;
    TermSoundOutputSystem();
    SetSoundBackendOverride(nullptr);
    SetSoundProcessorCountOverride(0);
    RejectFlags = 0;
}

std::vector<uint8_t> SinePcm16(int rate, int channels, double seconds, double hertz)
{
    std::vector<uint8_t> pcm;
    int frames = static_cast<int>(rate * seconds);
    pcm.reserve(static_cast<size_t>(frames) * channels * 2);
    for (int i = 0; i < frames; ++i) {
        int16_t value = static_cast<int16_t>(std::lround(12000.0 * std::sin(2.0 * 3.14159265358979 * hertz * i / rate)));
        for (int c = 0; c < channels; ++c) {
            pcm.push_back(static_cast<uint8_t>(value & 0xFF));
            pcm.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
        }
    }
    return pcm;
}

std::vector<uint8_t> WaveImage(const SoundWaveFormat &format, const std::vector<uint8_t> &pcm,
                               const std::vector<std::vector<uint8_t>> &chunksBefore)
{
    std::vector<uint8_t> body;
    for (const auto &chunk : chunksBefore) {
        body.insert(body.end(), chunk.begin(), chunk.end());
    }
    body.insert(body.end(), {'f', 'm', 't', ' '});
    PutLe32(body, 16);
    const uint8_t *raw = reinterpret_cast<const uint8_t *>(&format);
    body.insert(body.end(), raw, raw + 16);
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    PutLe32(body, static_cast<uint32_t>(pcm.size()));
    body.insert(body.end(), pcm.begin(), pcm.end());
    std::vector<uint8_t> image = {'R', 'I', 'F', 'F'};
    PutLe32(image, static_cast<uint32_t>(body.size() + 4));
    image.insert(image.end(), {'W', 'A', 'V', 'E'});
    image.insert(image.end(), body.begin(), body.end());
    return image;
}

std::string WriteFile(const std::string &name, const std::vector<uint8_t> &bytes)
{
    std::FILE *file = std::fopen(name.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return name;
}

} // namespace SoundFakes
