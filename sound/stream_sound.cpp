// Stream sounds: adding sources, ring ownership, starting, playing, stopping and
// the play position. The refill step is in stream_refill.cpp.

#include "sound/stream_sound.h"

#include "core/log/error_log.h"
#include "core/threads/section_lock.h"
#include "core/memory/tracked_alloc.h"
#include "sound/stream_ring.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Bytes of the RIFF, "fmt " and "data" headers of a built WAVE image.
constexpr int kWaveImageHeaderBytes = 46;
// The lowest sample rate a stream sound plays at.
constexpr uint32_t kStreamMinFramesPerSecond = 60;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void PutLe32(unsigned char *to, uint32_t value)
{
    to[0] = static_cast<unsigned char>(value);
    to[1] = static_cast<unsigned char>(value >> 8);
    to[2] = static_cast<unsigned char>(value >> 16);
    to[3] = static_cast<unsigned char>(value >> 24);
}

// The whole input in a tracked block; null when it cannot be read.
static unsigned char *ReadStreamIntoMemory(const StreamOpsTable *stream, uintptr_t data, int *size)
{
    stream->Seek(data, 0, 2);
    int bytes = stream->Tell(data);
    stream->Seek(data, 0, 0);
    if (bytes < 0) {
        return nullptr;
    }
    unsigned char *image = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(bytes) + 1));
    if (image == nullptr) {
        AppendLogText("ストリームの読み込みに必要なメモリの確保に失敗しました");
        return nullptr;
    }
    *size = static_cast<int>(stream->Read(image, 1, static_cast<size_t>(bytes), data));
    return image;
}

// A RIFF WAVE file image of the PCM: headers with an 18-byte format, then the data.
static unsigned char *BuildWaveFileImage(const SoundWaveFormat *format, const void *pcm, int bytes, int *size)
{
    int total = bytes + kWaveImageHeaderBytes;
    unsigned char *image = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(total)));
    if (image == nullptr) {
        AppendLogText("仮WAVEファイルイメージ用のメモリ確保に失敗しました\n");
        return nullptr;
    }
    std::memcpy(image, "RIFF", 4);
    PutLe32(image + 4, static_cast<uint32_t>(total - 8));
    std::memcpy(image + 8, "WAVEfmt ", 8);
    PutLe32(image + 16, kWaveFormatBytes);
    std::memcpy(image + 20, format, kWaveFormatBytes);
    std::memcpy(image + 38, "data", 4);
    PutLe32(image + 42, static_cast<uint32_t>(bytes));
    std::memcpy(image + kWaveImageHeaderBytes, pcm, static_cast<size_t>(bytes));
    *size = total;
    return image;
}

// Give the source its own memory stream over its image and set its conversion up.
static int OpenSourceOverImage(StreamSoundSource *source, const SoundCreateSettings *settings)
{
    MemoryReadStream *memory = OpenMemoryReadStream(source->image, source->imageSize);
    if (memory == nullptr) {
        return -1;
    }
    source->stream = *GetMemoryStreamOpsTable();
    source->streamData = reinterpret_cast<uintptr_t>(memory);
    if (SetupSoundDecode(&source->decode, &source->stream, source->streamData, settings->readerDisableMask,
                         settings->oggBytesPerSample, settings->secondDecoder) != 0) {
        FreeMemoryReadStream(memory);
        source->streamData = 0;
        return -1;
    }
    return 0;
}

// Kind 0: convert the whole input, then stream a WAVE image of the PCM.
static int OpenConvertedSource(StreamSoundSource *source, const SoundCreateSettings *settings,
                               const StreamOpsTable *stream, uintptr_t data)
{
    int size = 0;
    unsigned char *input = ReadStreamIntoMemory(stream, data, &size);
    if (input == nullptr) {
        return -1;
    }
    MemoryReadStream *memory = OpenMemoryReadStream(input, size);
    AudioDecodeState decode;
    SoundWaveFormat format;
    void *pcm = nullptr;
    int bytes = 0;
    bool converted = memory != nullptr &&
                     SetupSoundDecode(&decode, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory),
                                      settings->readerDisableMask, settings->oggBytesPerSample,
                                      settings->secondDecoder) == 0;
    if (converted) {
        converted = DecodeWholeSound(&decode, &format, &pcm, &bytes) == 0;
        EndSoundDecode(&decode);
    }
    if (memory != nullptr) {
        FreeMemoryReadStream(memory);
    }
    TrackedFree(input);
    if (!converted) {
        AppendLogText("音声データの変換に失敗しました");
        return -1;
    }
    source->image = BuildWaveFileImage(&format, pcm, bytes, &source->imageSize);
    TrackedFree(pcm);
    if (source->image == nullptr || OpenSourceOverImage(source, settings) != 0) {
        return -1;
    }
    return 0;
}

// End a source's conversion, free its image and its own memory stream; a stream
// the caller gave (kind 3) is closed only when the system opened it.
static void CloseSource(StreamSoundSource *source, int openedBySystem)
{
    if (source->decode.ready != 0) {
        EndSoundDecode(&source->decode);
    }
    if (source->kind == STREAM_SOURCE_STREAM) {
        if (openedBySystem != 0 && source->stream.Close != nullptr) {
            source->stream.Close(source->streamData);
        }
    } else if (source->streamData != 0) {
        FreeMemoryReadStream(reinterpret_cast<MemoryReadStream *>(source->streamData));
    }
    TrackedFree(source->image);
    std::memset(source, 0, sizeof(*source));
}

// Sum of the sources' decoded lengths in frames.
static int ComputeTotalLength(SoundHandleRecord *record)
{
    int64_t bytes = 0;
    for (int i = 0; i < record->sourceCount; ++i) {
        int length = GetDecodedLengthBytes(&record->sources[i].decode);
        bytes += length > 0 ? length : 0;
    }
    return record->format.blockAlign != 0 ? static_cast<int>(bytes / record->format.blockAlign) : 0;
}

// Borrow the ring of a stream sound of the same format, or create one.
static int SetUpRing(SoundHandleRecord *record, int handle, int shareHandle, int anyState)
{
    SoundHandleRecord *owner = shareHandle != -1 ? FindSoundHandleRecord(shareHandle, 0) : nullptr;
    if (owner != nullptr && owner->isStream != 0 && owner->sharedBufferHandle == -1 &&
        std::memcmp(&owner->format, &record->format, kWaveFormatBytes) == 0) {
        AcquireSectionLock(GetSoundLock());
        record->isStream = 1;
        record->bufferCount = 1;
        InsertHandleChainNode(&SoundSystem.streamChainHead, &record->streamNode, handle, record);
        ReleaseSectionLock(GetSoundLock());
        record->sharedBufferHandle = shareHandle;
        record->ringLength = owner->ringLength;
        ++owner->shareCount;
    } else {
        if (CreateSoundHandleBuffers(-1, &record->format, 0, 1, 1, handle, anyState) != 0) {
            return -1;
        }
        record->sharedBufferHandle = -1;
        record->ringLength = record->buffers[0].length * record->format.blockAlign;
        record->frequency = static_cast<int>(record->format.samplesPerSec);
    }
    record->shareCount = 0;
    record->bufferUser = -1;
    record->deletePending = 0;
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Add the next source of a stream sound
int AddSreamSound(SoundCreateSettings *settings, const StreamOpsTable *stream, uintptr_t streamData,
                  signed char repeatCount, int handle, int kind, int *keepsInput, int shareHandle, int anyState)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, anyState);
    if (record == nullptr) {
        return -1;
    }
    if (record->sourceCount > 0) {
        if (record->isStream == 0) {
            return AppendLogText("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
        }
        PlayBuffer *ring = GetStreamRingBuffer(record);
        uint32_t status = 0;
        if (ring != nullptr && GetPlayBufferStatus(ring, &status) == 0 && (status & kBufferStatusPlaying) != 0) {
            return AppendLogText("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
        }
        if (record->sourceCount >= kStreamMaxSources) {
            return AppendLogText("ストリーム風サウンドの制御データ領域がいっぱいです\n");
        }
    }
    StreamSoundSource *source = &record->sources[record->sourceCount];
    std::memset(source, 0, sizeof(*source));
    source->kind = kind;
    source->playLengthLimit = -1;
    stream->Seek(streamData, 0, 0);

    int opened = -1;
    if (kind == STREAM_SOURCE_CONVERTED) {
        opened = OpenConvertedSource(source, settings, stream, streamData);
        *keepsInput = 1;
    } else if (kind == STREAM_SOURCE_IMAGE) {
        source->image = ReadStreamIntoMemory(stream, streamData, &source->imageSize);
        if (source->image == nullptr) {
            AppendLogText("音声データの読み込みに失敗しました");
        } else if ((opened = OpenSourceOverImage(source, settings)) != 0) {
            AppendLogText("音声データのオープンに失敗しました");
        }
        *keepsInput = 1;
    } else {
        source->stream = *stream;
        source->streamData = streamData;
        opened = SetupSoundDecode(&source->decode, stream, streamData, settings->readerDisableMask,
                                  settings->oggBytesPerSample, settings->secondDecoder);
        if (opened != 0) {
            AppendLogText("音声データのオープンに失敗しました");
        }
        *keepsInput = 0;
    }
    if (opened != 0) {
        CloseSource(source, 0);
        return -1;
    }

    if (record->sourceCount > 0) {
        if (std::memcmp(&source->decode.format, &record->format, kWaveFormatBytes) != 0) {
            CloseSource(source, 0);
            return AppendLogText("フォーマットの違う音声データは同時に使うことは出来ません");
        }
    } else {
        // Below 60 frames a second the ring's 1/60 s feeds and 1/8 s refills are
        // empty and the stream would play for ever.
        if (source->decode.format.samplesPerSec < kStreamMinFramesPerSecond) {
            CloseSource(source, 0);
            return AppendLogText("毎秒 60 フレーム未満の音声データはストリームサウンドにできません\n");
        }
        record->format = source->decode.format;
        if (SetUpRing(record, handle, shareHandle, anyState) != 0) {
            CloseSource(source, 0);
            return -1;
        }
    }
    source->repeatCount = repeatCount;
    ++record->sourceCount;
    record->totalLength = ComputeTotalLength(record);
    return 0;
}

// A file as the next source; the file stays open only while the source reads it
int AddStreamSoundFromFile(SoundCreateSettings *settings, const char *path, signed char repeatCount, int handle,
                           int kind, int shareHandle, int anyState)
{
    StreamHandle file = OpenFileStream(path, 0, 1, 0);
    if (file == 0) {
        return AppendLogLineFormat("右記のＷＡＶファイルのロードに失敗しました：%s ", path);
    }
    int keepsInput = 0;
    if (AddSreamSound(settings, GetFileStreamOpsTable(), file, repeatCount, handle, kind, &keepsInput, shareHandle,
                      anyState) != 0) {
        CloseFileStream(file);
        return AppendLogLineFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s ", path);
    }
    if (keepsInput != 0) {
        CloseFileStream(file);
    }
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 1);
    record->openedBySystem[record->sourceCount - 1] = 1;
    return 0;
}

// A file image in memory as the next source (copied into the source)
int AddStreamSoundFromMemory(SoundCreateSettings *settings, const void *image, int size, signed char repeatCount,
                             int handle, int kind, int shareHandle, int anyState)
{
    if (kind == STREAM_SOURCE_STREAM) {
        kind = STREAM_SOURCE_IMAGE;
    }
    MemoryReadStream *memory = OpenMemoryReadStream(image, size);
    if (memory == nullptr) {
        return AppendLogText("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
    }
    int keepsInput = 0;
    int result = AddSreamSound(settings, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory), repeatCount,
                               handle, kind, &keepsInput, shareHandle, anyState);
    FreeMemoryReadStream(memory);
    if (result != 0) {
        return AppendLogText("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
    }
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 1);
    record->openedBySystem[record->sourceCount - 1] = 1;
    return 0;
}

// Leave the stream chain and close every source
int ReleaseStreamSources(SoundHandleRecord *record)
{
    AcquireSectionLock(GetSoundLock());
    if (record->streamNode.next != nullptr) {
        RemoveHandleChainNode(&record->streamNode);
        record->streamNode.next = nullptr;
    }
    ReleaseSectionLock(GetSoundLock());
    for (int i = 0; i < record->sourceCount; ++i) {
        CloseSource(&record->sources[i], record->openedBySystem[i]);
    }
    record->sourceCount = 0;
    return 0;
}

// The ring: its own first buffer, or the owner's when borrowed
PlayBuffer *GetStreamRingBuffer(SoundHandleRecord *record)
{
    SoundHandleRecord *owner = GetStreamRingOwner(record);
    return owner != nullptr ? &owner->buffers[0] : nullptr;
}

// Set the ring up for a first fill and run it
int StartStreamPlayback(int handle, int anyState)
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    SoundHandleRecord *record = FindSoundHandleRecord(handle, anyState);
    if (record == nullptr || record->isStream == 0 || record->sourceCount == 0) {
        return 0;
    }
    AcquireSectionLock(GetSoundLock());
    if ((anyState == 0 && IsStreamSoundPlaying(handle) == 1) || ClaimStreamBuffer(handle, record, 0) != 0 ||
        record->streamPlaying != 0) {
        ReleaseSectionLock(GetSoundLock());
        return 0;
    }
    PlayBuffer *ring = GetStreamRingBuffer(record);
    SetPlayBufferPosition(0, ring);
    record->writePosition = kStreamFirstFillPending;
    record->safeLimit = -1;
    record->lastCursor = 0;
    record->endOfData = 0;
    // The ring is written afresh: no pass of a loop is known yet.
    record->bytesSinceWrap = -1;
    record->loopPassBytes = 0;
    record->inLoop = 0;
    StreamSoundSource *source = &record->sources[record->currentSource];
    SeekDecodedSamplesExactly(&source->decode, record->consumedBytes / record->format.blockAlign);
    record->streamPlaying = 1;
    RefillStreamSound(handle, anyState);
    ReleaseSectionLock(GetSoundLock());
    return 0;
}

// Take the ring over, reset when asked, prime it and play it looping
int PlayStreamSound(int handle, int mode, int fromStart)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    AcquireSectionLock(GetSoundLock());
    ClaimStreamBuffer(handle, record, 1);
    PlayBuffer *ring = GetStreamRingBuffer(record);
    uint32_t status = 0;
    if (ring == nullptr ||
        (GetPlayBufferStatus(ring, &status) == 0 && (status & kBufferStatusPlaying) != 0 && fromStart == 0)) {
        ReleaseSectionLock(GetSoundLock());
        return -1;
    }
    StopStreamSound(handle);
    if (((mode & 2) != (record->lastPlayMode & 2) && record->reachedEnd != 0) ||
        (fromStart != 0 && record->playPosition != 0)) {
        ResetStreamPosition(record);
        if (fromStart != 0) {
            record->reachedEnd = 0;
        }
    }
    record->lastPlayMode = mode;
    StartStreamPlayback(handle, 0);
    ClaimStreamBuffer(handle, record, 0);
    SetPlayBufferVolume(ring, record->volume);
    SetPlayBufferPan(record->pan, ring);
    SetPlayBufferFrequency(ring, record->frequency);
    PlayPlayBuffer(ring, 1);
    ReleaseSectionLock(GetSoundLock());
    if (mode == PlayWait) {
        WaitForSoundToEnd(handle);
    }
    return 0;
}

// Stop where it stands; the stream stays primed and resumes from here
int StopStreamSound(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 1);
    if (record == nullptr) {
        return -1;
    }
    SoundHandleRecord *owner = GetStreamRingOwner(record);
    if (owner == nullptr) {
        return -1;
    }
    AcquireSectionLock(GetSoundLock());
    // Another sound playing through a borrowed ring is not this sound's to stop.
    if (owner->bufferUser != -1 && owner->bufferUser != handle) {
        ReleaseSectionLock(GetSoundLock());
        return 0;
    }
    UpdateStreamPlayPosition(handle, -1, 1);
    owner->bufferUser = -1;
    PlayBuffer *ring = &owner->buffers[0];
    uint32_t status = 0;
    if (GetPlayBufferStatus(ring, &status) == 0 && (status & kBufferStatusPlaying) != 0) {
        StopPlayBuffer(ring);
    }
    // A ring that a pause has stopped already is stopped for good as well.
    ClearStreamRingPauseMarks(owner);
    ReleaseSectionLock(GetSoundLock());
    return 0;
}

// 1 while the ring plays for this sound
int IsStreamSoundPlaying(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 1);
    SoundHandleRecord *owner = record != nullptr ? GetStreamRingOwner(record) : nullptr;
    if (owner == nullptr || owner->bufferUser != handle) {
        return 0;
    }
    uint32_t status = 0;
    return GetPlayBufferStatus(&owner->buffers[0], &status) == 0 && (status & kBufferStatusPlaying) != 0 ? 1 : 0;
}

// 1 while a pause holds the ring that played for this sound
int IsStreamSoundHeldByPause(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 1);
    SoundHandleRecord *owner = record != nullptr ? GetStreamRingOwner(record) : nullptr;
    if (owner == nullptr) {
        return 0;
    }
    // The stream thread's refill may end the sound, and clear the marks, meanwhile.
    AcquireSectionLock(GetSoundLock());
    int held = owner->bufferUser == handle && owner->pauseHandled[0] != 0 && owner->pauseWasPlaying[0] != 0 ? 1 : 0;
    ReleaseSectionLock(GetSoundLock());
    return held;
}

// Advance the play position from the ring cursor
void UpdateStreamPlayPosition(int handle, int64_t cursor, int anyState)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, anyState);
    SoundHandleRecord *owner = record != nullptr ? GetStreamRingOwner(record) : nullptr;
    if (owner == nullptr || (owner->bufferUser != -1 && owner->bufferUser != handle) || record->ringLength <= 0) {
        return;
    }
    uint32_t now = 0;
    if (cursor < 0) {
        if (GetPlayBufferPosition(&owner->buffers[0], nullptr, &now) != 0) {
            return;
        }
    } else {
        now = static_cast<uint32_t>(cursor);
    }
    AdvanceStreamPlayPosition(record, now);
}

// Play position in milliseconds, never beyond the length
int GetStreamPlayPositionMs(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    AcquireSectionLock(GetSoundLock());
    UpdateStreamPlayPosition(handle, -1, 0);
    int rate = static_cast<int>(record->format.samplesPerSec);
    int ms = SamplesToMilliseconds(record->playPosition / record->format.blockAlign, rate);
    int length = SamplesToMilliseconds(record->totalLength, rate);
    ReleaseSectionLock(GetSoundLock());
    return ms < length ? ms : length;
}

} // namespace Korvo
