// Loading sound files into sound handles: at once or as a load job, as a memory
// sound (whole PCM in the play buffers) or, when too long, as a stream sound.

#include "sound/sound_handle.h"

#include "core/log/error_log.h"
#include "core/threads/section_lock.h"
#include "core/streams/stream_table.h"
#include "core/memory/tracked_alloc.h"
#include "sound/sound_platform.h"
#include "sound/stream_sound.h"

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kPathCapacity = 260;
// Memory sound buffers: with and without global focus.
constexpr uint32_t kMemoryBufferFlags =
    kBufferFlagGlobalFocus | kBufferFlagCtrlVolume | kBufferFlagCtrlPan | kBufferFlagCtrlFrequency | kBufferFlagStatic;
constexpr uint32_t kMemoryBufferFlagsNoFocus = kMemoryBufferFlags & ~kBufferFlagGlobalFocus;
constexpr uint32_t kStreamBufferFlags = kBufferFlagGetCurrentPosition2 | kMemoryBufferFlags;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Read a whole file into a tracked block; 0, -1 when it cannot be opened, -2 without memory.
static int LoadSoundFileImage(const char *path, unsigned char **image, int *size)
{
    StreamHandle stream = OpenFileStream(path, 0, 1, 0);
    if (stream == 0) {
        AppendLogLineFormat("右記のファイルのオープンに失敗しました：%s", path);
        return -1;
    }
    SeekFileStream(stream, 0, 2);
    int bytes = TellFileStream(stream);
    SeekFileStream(stream, 0, 0);
    unsigned char *data = bytes >= 0 ? static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(bytes) + 1))
                                     : nullptr;
    if (data == nullptr) {
        CloseFileStream(stream);
        AppendLogLineFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
        return -2;
    }
    *size = static_cast<int>(ReadFileStream(data, 1, static_cast<size_t>(bytes), stream));
    CloseFileStream(stream);
    *image = data;
    return 0;
}

// Copy the PCM into every buffer that does not hold it yet. Voice buffers that
// share the first buffer's block receive it with the first copy.
static int CopyPcmIntoBuffers(SoundHandleRecord *record)
{
    for (int i = 0; i < record->bufferCount; ++i) {
        PlayBuffer *buffer = &record->buffers[i];
        if (record->bufferHoldsData[i] != 0) {
            continue;
        }
        void *part1 = nullptr;
        void *part2 = nullptr;
        uint32_t size1 = 0;
        uint32_t size2 = 0;
        if (LockPlayBuffer(0, buffer, record->dataBytes, &part1, &size1, &part2, &size2) != 0) {
            return AppendLogText("サウンドデータの転送に失敗しました_1");
        }
        std::memcpy(part1, record->pcm, size1);
        if (part2 != nullptr && size2 > 0) {
            std::memcpy(part2, record->pcm + size1, size2);
        }
        if (UnlockPlayBuffer(buffer, size2, part1, size1, part2) != 0) {
            return AppendLogText("サウンドデータの転送に失敗しました_2");
        }
        for (int j = i; j < record->bufferCount; ++j) {
            if (j == i || (buffer->pcm != nullptr && record->buffers[j].pcm == buffer->pcm)) {
                record->bufferHoldsData[j] = 1;
            }
        }
    }
    return 0;
}

// PCM bytes a memory sound decodes at most: one second more than the longest
// memory sound, which is enough to know that it is too long.
static int MemorySoundDecodeLimit(const AudioDecodeState *decode)
{
    int64_t limit = static_cast<int64_t>(kMemorySoundMaxSeconds + 1) * decode->format.avgBytesPerSec;
    return limit < INT32_MAX - 1 ? static_cast<int>(limit) : INT32_MAX - 1;
}

// Make the handle a stream sound over a file image in memory and prime it.
static int StreamFromImage(SoundCreateSettings *settings, int handle, const void *image, int size, int shareHandle,
                           int anyState)
{
    if (AddStreamSoundFromMemory(settings, image, size, 0, handle, STREAM_SOURCE_IMAGE, shareHandle, anyState) != 0) {
        return -1;
    }
    StartStreamPlayback(handle, anyState);
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Load with the current settings and the background-load setting
int LoadSoundFileAsHandle(const char *path, int bufferCount, int shareHandle)
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    return LoadSoundFileWithSettings(&settings, path, bufferCount, shareHandle, GetSoundLoadInBackgroundFlag(), nullptr);
}

// Create the record, then load at once or queue a load job
int LoadSoundFileWithSettings(SoundCreateSettings *settings, const char *path, int bufferCount, int shareHandle,
                              int async, AsyncLoadJob *jobContext)
{
    int handle = CreateSoundHandleRecord(settings->is3d);
    if (handle == -1) {
        return -1;
    }
    char absolute[kPathCapacity];
    if (MakeAbsolutePath(path, absolute, nullptr) != 0) {
        DeleteHandleRecord(handle);
        return -1;
    }
    if (async != 0 && jobContext == nullptr) {
        int bytes = 0;
        PutAsyncParamBytes(nullptr, &bytes, settings, sizeof(*settings));
        PutAsyncParamInt(nullptr, &bytes, handle);
        PutAsyncParamString(nullptr, &bytes, absolute);
        PutAsyncParamInt(nullptr, &bytes, bufferCount);
        PutAsyncParamInt(nullptr, &bytes, shareHandle);
        AsyncLoadJob *job = AllocAsyncLoadJob(bytes);
        if (job == nullptr) {
            DeleteHandleRecord(handle);
            return -1;
        }
        int offset = 0;
        PutAsyncParamBytes(job->params, &offset, settings, sizeof(*settings));
        PutAsyncParamInt(job->params, &offset, handle);
        PutAsyncParamString(job->params, &offset, absolute);
        PutAsyncParamInt(job->params, &offset, bufferCount);
        PutAsyncParamInt(job->params, &offset, shareHandle);
        job->callback = RunSoundLoadJob;
        if (QueueAsyncLoadJobForHandle(job, handle) != 0) {
            DeleteHandleRecord(handle);
            return -1;
        }
        return handle;
    }
    if (LoadSoundFileIntoHandle(shareHandle, handle, settings, jobContext != nullptr ? 1 : 0, absolute, bufferCount) ==
        0) {
        return handle;
    }
    DeleteHandleRecord(handle);
    return -1;
}

// The load job: unpack, load into the handle, end the pending load
int RunSoundLoadJob(AsyncLoadJob *job)
{
    int offset = 0;
    SoundCreateSettings settings;
    std::memcpy(&settings, TakeAsyncParamBytes(job->params, &offset), sizeof(settings));
    int handle = TakeAsyncParamInt(job->params, &offset);
    const char *path = TakeAsyncParamString(job->params, &offset);
    int bufferCount = TakeAsyncParamInt(job->params, &offset);
    int shareHandle = TakeAsyncParamInt(job->params, &offset);
    // A failed sound is deleted while the job still counts it (the deletion lets
    // its own job through): the main thread never finds it ready half loaded.
    if (LoadSoundFileIntoHandle(shareHandle, handle, &settings, 1, path, bufferCount) != 0) {
        DeleteHandleRecord(handle);
    } else {
        ReleasePendingLoadJob(handle);
    }
    return 0;
}

// Whole file into memory and decode it, or stream it from the file
int LoadSoundFileIntoHandle(int shareHandle, int handle, SoundCreateSettings *settings, int anyState,
                            const char *path, int bufferCount)
{
    if (FindSoundHandleRecord(handle, anyState) == nullptr) {
        return -1;
    }
    if (settings->dataKind != 0) {
        if (AddStreamSoundFromFile(settings, path, 0, handle, settings->dataKind, shareHandle, anyState) != 0) {
            return -1;
        }
        StartStreamPlayback(handle, anyState);
        return 0;
    }
    unsigned char *image = nullptr;
    int size = 0;
    if (LoadSoundFileImage(path, &image, &size) != 0) {
        return AppendLogLineFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
    }
    int result = LoadSoundDataIntoHandle(handle, settings, image, size,
                                         bufferCount > kSoundMaxPlayBuffers ? kSoundMaxPlayBuffers : bufferCount, -1,
                                         anyState);
    TrackedFree(image);
    if (result != 0) {
        return AppendLogLineFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
    }
    return 0;
}

// Decode a whole file image into the play buffers (or stream it when too long)
int LoadSoundDataIntoHandle(int handle, SoundCreateSettings *settings, const void *image, int size, int bufferCount,
                            int shareHandle, int anyState)
{
    if (bufferCount > kSoundMaxPlayBuffers) {
        return -1;
    }
    SoundHandleRecord *record = FindSoundHandleRecord(handle, anyState);
    if (record == nullptr) {
        return -1;
    }
    if (settings->dataKind != 0) {
        return StreamFromImage(settings, handle, image, size, shareHandle, anyState);
    }

    MemoryReadStream *memory = OpenMemoryReadStream(image, size);
    if (memory == nullptr) {
        return -1;
    }
    AudioDecodeState decode;
    if (SetupSoundDecode(&decode, GetMemoryStreamOpsTable(), reinterpret_cast<uintptr_t>(memory),
                         settings->readerDisableMask, settings->oggBytesPerSample, settings->secondDecoder) != 0) {
        FreeMemoryReadStream(memory);
        return AppendLogText("音声ファイルのＰＣＭへの変換に失敗しました");
    }
    // Decoding stops once the sound is too long for a memory sound, so a long
    // file never needs its whole PCM in memory: it streams instead.
    SoundWaveFormat format;
    void *pcm = nullptr;
    int bytes = 0;
    bool more = false;
    int decoded = DecodeSoundUpTo(&decode, MemorySoundDecodeLimit(&decode), &format, &pcm, &bytes, &more);
    EndSoundDecode(&decode);
    FreeMemoryReadStream(memory);
    if (decoded != 0) {
        return AppendLogText("音声ファイルを格納するメモリ領域の確保に失敗しました");
    }
    // A conversion that gives not one whole frame has found no sound in the
    // file: that is a failed load, not an empty sound.
    if (bytes < format.blockAlign || format.blockAlign == 0) {
        TrackedFree(pcm);
        return AppendLogText("音声ファイルのＰＣＭへの変換に失敗しました");
    }

    bool tooLong = more || (format.avgBytesPerSec != 0 &&
                            bytes / static_cast<int>(format.avgBytesPerSec) > kMemorySoundMaxSeconds);
    if (tooLong || CreateSoundHandleBuffers(-1, &format, bytes, 0, record->is3d != 0 ? 1 : bufferCount, handle,
                                            anyState) != 0) {
        TrackedFree(pcm);
        settings->dataKind = STREAM_SOURCE_IMAGE;
        return StreamFromImage(settings, handle, image, size, shareHandle, anyState);
    }

    int *referenceCount = static_cast<int *>(KORVO_TRACKED_ALLOC(sizeof(int)));
    if (referenceCount == nullptr) {
        TrackedFree(pcm); // the handle never owned it
        return AppendLogText("サウンドデータの参照数を保存するメモリ領域の確保に失敗しました");
    }
    *referenceCount = 1;
    record->format = format;
    record->dataBytes = bytes;
    record->pcm = static_cast<unsigned char *>(pcm);
    record->pcmReferenceCount = referenceCount;
    return CopyPcmIntoBuffers(record);
}

// Create one ring (stream) or up to count buffers sharing the first (memory)
int CreateSoundHandleBuffers(int shareHandle, const SoundWaveFormat *format, int dataBytes, int isStream,
                             int bufferCount, int handle, int anyState)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, anyState);
    if (record == nullptr) {
        return -1;
    }
    SoundHandleRecord *share = isStream == 0 && shareHandle != -1 ? FindSoundHandleRecord(shareHandle, 0) : nullptr;
    if (share != nullptr) {
        dataBytes = share->dataBytes;
        format = &share->format;
    }
    SoundBufferDesc desc{0, static_cast<uint32_t>(dataBytes), format};
    if (isStream != 0) {
        // One second of the whole byte rate, in 64 bits: a ring of its low 24
        // bits only (a rate above 16 MB a second) would hold a sliver of a
        // second, or nothing, and the stream would never end.
        int64_t perSecond = format->avgBytesPerSec;
        int64_t align = format->blockAlign;
        int64_t ring = align != 0 ? align * ((perSecond + align - 1) / align) : 0;
        desc.flags = kStreamBufferFlags;
        desc.bytes = static_cast<uint32_t>(ring);
        if (ring <= 0 || ring > kMaxDecodeBytesPerSecond ||
            CreatePlayBuffer(&record->buffers[0], &desc, nullptr, record->is3d) != 0) {
            return AppendLogText("ストリーム風サウンドバッファの作成に失敗しました\n");
        }
        record->bufferCount = 1;
    } else {
        record->bufferCount = 0;
        for (int i = 0; i < bufferCount; ++i) {
            PlayBuffer *first = share != nullptr ? &share->buffers[0] : &record->buffers[0];
            if (i == 0 && share == nullptr) {
                desc.flags = kMemoryBufferFlags;
                if (CreatePlayBuffer(&record->buffers[0], &desc, nullptr, record->is3d) != 0) {
                    desc.flags = kMemoryBufferFlagsNoFocus;
                    if (CreatePlayBuffer(&record->buffers[0], &desc, nullptr, record->is3d) != 0) {
                        return AppendLogText("DirectSoundBuffer の作成に失敗しました\n");
                    }
                }
            } else if (CreatePlayBuffer(&record->buffers[i], nullptr, first, record->is3d) != 0) {
                break;
            }
            record->bufferHoldsData[i] = 0;
            record->bufferCount = i + 1;
        }
        if (record->bufferCount == 0) {
            return -1;
        }
    }
    record->isStream = isStream;
    if (isStream != 0) {
        AcquireSectionLock(GetSoundLock());
        InsertHandleChainNode(&SoundSystem.streamChainHead, &record->streamNode, handle, record);
        ReleaseSectionLock(GetSoundLock());
    }
    return 0;
}

} // namespace Korvo
