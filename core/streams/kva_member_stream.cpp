// Streams over KVA archive members: stored members read from the archive file,
// packed members expanded whole, asynchronous reads finished when polled.
#include "core/streams/kva_member_stream.h"

#include "core/streams/kva_lz.h"
#include "core/streams/plain_file.h"
#include "core/threads/thread_record.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static uint32_t MemberStart(const KvaMemberStream *stream)
{
    return stream->archive->header.dataStart + stream->entry->dataOffset;
}

static int MemberSize(const KvaMemberStream *stream)
{
    return (int)stream->entry->dataSize;
}

// Descramble and expand the packed bytes; a block that does not expand to the
// member's size marks the stream failed.
static void FinishPackedRead(KvaMemberStream *stream)
{
    const KvaArchive *archive = stream->archive;
    uint32_t packedSize = stream->entry->packedSize;
    ApplyKvaKey(packedSize, stream->packed, GetKvaMemberKeyPosition(archive, stream->entry, 0), archive->key);
    int expanded = ExpandKvaLzDataBounded(stream->packed, packedSize, stream->decoded, stream->entry->dataSize);
    if (expanded != MemberSize(stream)) stream->failed = 1;
    TrackedFree(stream->packed);
    stream->packed = nullptr;
}

static void FinishPending(KvaMemberStream *stream)
{
    if (stream->pendingKind == 1) FinishPackedRead(stream);
    if (stream->pendingKind == 2)
        ApplyKvaKey(stream->pendingBytes, stream->pendingBuffer, stream->pendingKeyPosition, stream->archive->key);
    stream->pendingKind = 0;
}

// Wait for a pending read and finish it.
static void CompletePending(KvaMemberStream *stream)
{
    if (stream->pendingKind == 0) return;
    while (!IsPlainFileIdle(stream->file)) SleepMilliseconds(1);
    FinishPending(stream);
}

// Read stored bytes at a member offset from the archive file; the bytes read.
static size_t ReadStoredBytes(KvaMemberStream *stream, void *buffer, uint32_t memberOffset, size_t bytes)
{
    int filePosition = (int)(MemberStart(stream) + memberOffset);
    if (TellPlainFile(stream->file) != filePosition && SeekPlainFile(stream->file, filePosition, 0) != 0) return 0;
    return ReadPlainFile(buffer, 1, bytes, stream->file);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open the member at innerPath; 0, or -1 with nothing left open
int OpenKvaMemberStream(KvaMemberStream *stream, KvaArchive *archive, const char *innerPath, int useAsync)
{
    std::memset(stream, 0, sizeof *stream);
    const KvaFileEntry *entry = FindKvaFileEntry(innerPath, archive);
    if (entry == nullptr) return -1;
    stream->archive = archive;
    stream->entry = entry;
    stream->useAsync = useAsync ? 1 : 0;
    stream->file = OpenPlainFileRecord(archive->path, 0, 1, 0);
    if (stream->file == nullptr) return -1;
    if (!IsKvaMemberPacked(archive, entry)) return 0;

    // The tables were checked: the packed bytes lie inside the archive file.
    stream->decoded = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(entry->dataSize ? entry->dataSize : 1));
    stream->packed = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(entry->packedSize));
    if (stream->decoded == nullptr || stream->packed == nullptr ||
        ReadStoredBytes(stream, stream->packed, 0, entry->packedSize) != entry->packedSize) {
        CloseKvaMemberStream(stream);
        return -1;
    }
    stream->pendingKind = 1;
    if (useAsync) return 0;
    FinishPending(stream);
    if (stream->failed) {
        CloseKvaMemberStream(stream);
        return -1;
    }
    return 0;
}

// Read whole elements at the position; the number read
size_t ReadKvaMemberStream(KvaMemberStream *stream, void *buffer, size_t elementSize, size_t count)
{
    CompletePending(stream);
    if (elementSize == 0 || stream->eof || stream->failed) return 0;
    const int size = MemberSize(stream);
    if (stream->position >= size) {
        stream->eof = 1;
        return 0;
    }
    size_t left = (size_t)(size - stream->position);
    size_t n = count < left / elementSize ? count : left / elementSize;
    if (n == 0) {
        stream->eof = 1;
        return 0;
    }
    size_t bytes = n * elementSize;
    if (stream->decoded != nullptr) {
        std::memcpy(buffer, stream->decoded + stream->position, bytes);
    } else {
        size_t got = ReadStoredBytes(stream, buffer, (uint32_t)stream->position, bytes);
        bytes = got - got % elementSize;  // only whole elements count
        if (bytes == 0) return 0;
        uint32_t keyPosition = GetKvaMemberKeyPosition(stream->archive, stream->entry, (uint32_t)stream->position);
        if (stream->useAsync) {
            stream->pendingKind = 2;
            stream->pendingBuffer = static_cast<unsigned char *>(buffer);
            stream->pendingBytes = bytes;
            stream->pendingKeyPosition = keyPosition;
        } else {
            ApplyKvaKey(bytes, buffer, keyPosition, stream->archive->key);
        }
    }
    stream->position += (int)bytes;
    stream->eof = 0;
    return bytes / elementSize;
}

// Move the position (clamped to the member); 0
int SeekKvaMemberStream(KvaMemberStream *stream, int offset, int origin)
{
    CompletePending(stream);
    int64_t target = origin == 1 ? (int64_t)stream->position + offset
                   : origin == 2 ? (int64_t)MemberSize(stream) + offset
                                 : offset;
    if (target < 0) target = 0;
    if (target > MemberSize(stream)) target = MemberSize(stream);
    stream->position = (int)target;
    stream->eof = 0;
    return 0;
}

// The position
int TellKvaMemberStream(KvaMemberStream *stream)
{
    return stream->position;
}

// -1 once a read found nothing left, else 0
int IsKvaMemberAtEnd(KvaMemberStream *stream)
{
    return stream->eof ? -1 : 0;
}

// 1 when nothing is pending (finishing a pending read that has arrived), else 0
int PollKvaMemberStream(KvaMemberStream *stream)
{
    if (!stream->useAsync || stream->pendingKind == 0) return 1;
    if (!IsPlainFileIdle(stream->file)) return 0;
    FinishPending(stream);
    return 1;
}

// Finish pending work, free the buffers and close the member's file; 0
int CloseKvaMemberStream(KvaMemberStream *stream)
{
    if (stream->file != nullptr) {
        if (stream->pendingKind == 2) CompletePending(stream);
        ClosePlainFileRecord(stream->file);
    }
    TrackedFree(stream->decoded);
    TrackedFree(stream->packed);
    std::memset(stream, 0, sizeof *stream);
    return 0;
}

}  // namespace Korvo
