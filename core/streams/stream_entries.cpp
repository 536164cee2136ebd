// The default stream set: the table of open streams (archive members or plain
// files) and the slot operations over it.
#include "core/streams/stream_entries.h"

#include "core/streams/archive_table.h"
#include "core/log/error_log.h"
#include "core/streams/kva_member_stream.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
namespace {
struct OpenStreamEntry {
    int inArchive;
    Win32FileRecord *plain;
    int archiveNumber;
    KvaMemberStream member;
};
}  // namespace

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------
static OpenStreamEntry *g_streamEntries[kMaxOpenStreams];
static int g_openStreamCount;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static OpenStreamEntry *LookupStreamEntry(StreamHandle stream)
{
    const uint64_t wide = stream;
    if (wide > 0xFFFFFFFFu || (stream & 0xF0000000u) != kStreamHandleMark) return nullptr;
    uintptr_t index = stream & 0x0FFFFFFFu;
    if (index >= (uintptr_t)kMaxOpenStreams) return nullptr;
    return g_streamEntries[index];
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open a member of the archive named after a folder of the path, else the plain file
StreamHandle OpenStreamArchiveFirst(const char *path, int useCache, int, int useAsync)
{
    if (path == nullptr) return 0;
    LockArchiveTable();
    StreamHandle result = 0;
    int index = 0;
    OpenStreamEntry *entry = nullptr;
    char innerPath[kKvaPathCapacity];
    int archiveNumber = -1;

    if (g_openStreamCount >= kMaxOpenStreams) {
        AppendLogText("同時に開けるファイルの数が限界を超えました\n");
        goto done;
    }
    while (g_streamEntries[index] != nullptr) index++;
    entry = static_cast<OpenStreamEntry *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(OpenStreamEntry)));
    if (entry == nullptr) {
        AppendLogText("ファイルの情報を格納するメモリの確保に失敗しました\n");
        goto done;
    }
    if (FindArchiveForPath(path, &archiveNumber, nullptr, innerPath) == 0) {
        // The archive decides: a member it lacks is not looked for on disk.
        entry->inArchive = 1;
        entry->archiveNumber = archiveNumber;
        if (OpenKvaMemberStream(&entry->member, GetArchiveByNumber(archiveNumber), innerPath, useAsync) != 0) {
            ReleaseArchiveReference(archiveNumber);
            TrackedFree(entry);
            goto done;
        }
    } else {
        entry->archiveNumber = -1;
        entry->plain = OpenPlainFileRecord(path, useCache, 1, useAsync);
        if (entry->plain == nullptr) {
            TrackedFree(entry);
            goto done;
        }
    }
    g_streamEntries[index] = entry;
    g_openStreamCount++;
    result = (StreamHandle)((uint32_t)index | kStreamHandleMark);
done:
    UnlockArchiveTable();
    return result;
}

// Close a stream; 0, -1 for a handle that names no open stream
int CloseStreamEntry(StreamHandle stream)
{
    LockArchiveTable();
    OpenStreamEntry *entry = LookupStreamEntry(stream);
    if (entry == nullptr) {
        UnlockArchiveTable();
        return -1;
    }
    if (entry->inArchive) {
        ReleaseArchiveReference(entry->archiveNumber);
        CloseKvaMemberStream(&entry->member);
    } else {
        ClosePlainFileRecord(entry->plain);
    }
    TrackedFree(entry);
    g_streamEntries[stream & 0x0FFFFFFFu] = nullptr;
    g_openStreamCount--;
    UnlockArchiveTable();
    return 0;
}

// The read position; -1 for a handle that names no open stream
int TellStreamEntry(StreamHandle stream)
{
    OpenStreamEntry *entry = LookupStreamEntry(stream);
    if (entry == nullptr) return -1;
    return entry->inArchive ? TellKvaMemberStream(&entry->member) : TellPlainFile(entry->plain);
}

// Move the read position, kept within the stream; 0 or -1
int SeekStreamEntry(StreamHandle stream, int offset, int origin)
{
    OpenStreamEntry *entry = LookupStreamEntry(stream);
    if (entry == nullptr) return -1;
    return entry->inArchive ? SeekKvaMemberStream(&entry->member, offset, origin)
                            : SeekPlainFile(entry->plain, offset, origin);
}

// Read whole elements; the number read, (size_t)-1 for a handle that names no open stream
size_t ReadStreamEntry(void *buffer, size_t elementSize, size_t count, StreamHandle stream)
{
    OpenStreamEntry *entry = LookupStreamEntry(stream);
    if (entry == nullptr) return (size_t)-1;
    return entry->inArchive ? ReadKvaMemberStream(&entry->member, buffer, elementSize, count)
                            : ReadPlainFile(buffer, elementSize, count, entry->plain);
}

// -1 once a read found nothing left (also for a bad handle), else 0
int IsStreamEntryAtEnd(StreamHandle stream)
{
    OpenStreamEntry *entry = LookupStreamEntry(stream);
    if (entry == nullptr) return -1;
    return entry->inArchive ? IsKvaMemberAtEnd(&entry->member) : IsPlainFileAtEnd(entry->plain);
}

// 1 when no asynchronous read is pending, 0 while one is, -1 for a bad handle
int IsStreamEntryIdle(StreamHandle stream)
{
    OpenStreamEntry *entry = LookupStreamEntry(stream);
    if (entry == nullptr) return -1;
    return entry->inArchive ? PollKvaMemberStream(&entry->member) : IsPlainFileIdle(entry->plain);
}

// Change the process's current folder; 0
int SetWorkingDirectory(const char *path)
{
    SetPlainDirectory(path);
    return 0;
}

// The current folder (256 bytes); 0, or -1 with an empty buffer when it does not fit
int GetWorkingDirectory(char *buffer)
{
    char current[kPlainPathCapacity] = {};
    size_t length = (size_t)GetPlainDirectory(current);
    if (length == 0 || length >= 256) {
        buffer[0] = '\0';
        return -1;
    }
    std::memcpy(buffer, current, length + 1);
    return 0;
}

// Number of streams open in this set
int GetOpenStreamCount()
{
    return g_openStreamCount;
}

}  // namespace Korvo
