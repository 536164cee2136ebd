// KVA table access and the check that makes every later look-up safe.
//
// An archive is accepted only when every directory entry reachable from the root
// (through sub-folders or parents), every file entry of those folders, every name
// record and every member's stored bytes lie inside the head block or the
// archive. Look-ups then read the tables without further bounds checks. The check
// and the in-memory descrambling walk the folders with one walker, so a member the
// check accepts is one the descrambling reaches.
#include "core/streams/kva_archive.h"

#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Most bytes one LZ token can produce per token byte, rounded up (8195 from 3).
static const uint64_t kLzMaxExpansion = 2732;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static bool DirectoryEntryFits(const KvaArchive *archive, uint32_t offset)
{
    return (uint64_t)offset + kKvaDirectoryEntrySize <= archive->directoryTableBytes;
}

static bool FileEntryFits(const KvaArchive *archive, uint32_t offset)
{
    return (uint64_t)offset + archive->fileEntrySize <= archive->fileTableBytes;
}

static bool NameRecordFits(const KvaArchive *archive, uint32_t nameOffset)
{
    uint64_t headSize = archive->header.headSize;
    if ((uint64_t)nameOffset + sizeof(KvaNameRecordHead) > headSize) return false;
    KvaNameRecordHead record;
    std::memcpy(&record, archive->nameTable + nameOffset, sizeof record);
    uint64_t written = (uint64_t)nameOffset + sizeof record + 4ull * record.units;
    if (record.units == 0 || written >= headSize) return false;
    // The name as written must end inside the head block.
    const void *end = std::memchr(archive->nameTable + written, 0, (size_t)(headSize - written));
    return end != nullptr;
}

static bool MemberFits(const KvaArchive *archive, const KvaFileEntry *entry)
{
    uint64_t stored = GetKvaStoredSize(archive, entry);
    uint64_t start = (uint64_t)archive->header.dataStart + entry->dataOffset;
    if (entry->dataSize > 0x7FFFFFFFu) return false;
    if (start + stored > archive->archiveBytes) return false;
    // Members never overlap the header or the head block: attached images are
    // descrambled member by member in place, which must leave the tables intact.
    const KvaHeader &h = archive->header;
    if (stored > 0 && (start < KvaHeaderSizeFor(h.version) ||
                       (start < (uint64_t)h.headOffset + h.headSize && start + stored > h.headOffset)))
        return false;
    if (IsKvaMemberPacked(archive, entry)) {
        if (stored < 9) return false;
        if (entry->dataSize > stored * kLzMaxExpansion) return false;
    }
    return true;
}

// One folder's own entry, its entry list, every name and every member.
static int CheckKvaFolder(const KvaArchive *archive, uint32_t dirOffset, void *)
{
    const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(archive, dirOffset);
    // The root's own entry is left undefined by the format and never read.
    if (dirOffset != 0 && (!FileEntryFits(archive, dir->ownEntryOffset) ||
                           !NameRecordFits(archive, GetKvaFileEntry(archive, dir->ownEntryOffset)->nameOffset)))
        return -1;
    if ((uint64_t)dir->firstEntryOffset + (uint64_t)dir->entryCount * archive->fileEntrySize > archive->fileTableBytes)
        return -1;
    for (uint32_t i = 0; i < dir->entryCount; i++) {
        const KvaFileEntry *entry = GetKvaFileEntry(archive, dir->firstEntryOffset + i * archive->fileEntrySize);
        if (!NameRecordFits(archive, entry->nameOffset)) return -1;
        // Folder entries are followed (and their offsets checked) by the walk.
        if (!(entry->attributes & kKvaFolderAttribute) && !MemberFits(archive, entry)) return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// The directory entry at an offset of the directory table
const KvaDirectoryEntry *GetKvaDirectoryEntry(const KvaArchive *archive, uint32_t offset)
{
    return reinterpret_cast<const KvaDirectoryEntry *>(archive->directoryTable + offset);
}

// The file entry at an offset of the file table
const KvaFileEntry *GetKvaFileEntry(const KvaArchive *archive, uint32_t offset)
{
    return reinterpret_cast<const KvaFileEntry *>(archive->fileTable + offset);
}

// The name record of an entry
const KvaNameRecordHead *GetKvaNameRecord(const KvaArchive *archive, const KvaFileEntry *entry)
{
    return reinterpret_cast<const KvaNameRecordHead *>(archive->nameTable + entry->nameOffset);
}

// The name of an entry as written
const char *GetKvaEntryName(const KvaArchive *archive, const KvaFileEntry *entry)
{
    const KvaNameRecordHead *record = GetKvaNameRecord(archive, entry);
    return reinterpret_cast<const char *>(record) + sizeof *record + 4u * record->units;
}

// 1 when the member is one LZ block
int IsKvaMemberPacked(const KvaArchive *archive, const KvaFileEntry *entry)
{
    return archive->header.version >= 2 && entry->packedSize != kKvaNotPacked ? 1 : 0;
}

// The bytes a member takes in the archive (its LZ block or its data)
uint32_t GetKvaStoredSize(const KvaArchive *archive, const KvaFileEntry *entry)
{
    return IsKvaMemberPacked(archive, entry) ? entry->packedSize : entry->dataSize;
}

// Key position of the byte at offset `offset` inside a member's stored bytes
uint32_t GetKvaMemberKeyPosition(const KvaArchive *archive, const KvaFileEntry *entry, uint32_t offset)
{
    if (archive->header.version >= 5) return entry->dataSize + offset;
    return archive->header.dataStart + entry->dataOffset + offset;
}

// Visit every folder reachable from the root once, through folder entries and
// parent links; 0, or -1 when a link leaves the directory table or visit refuses
int WalkKvaFolders(const KvaArchive *archive, KvaFolderVisitor visit, void *context)
{
    if (!DirectoryEntryFits(archive, 0)) return -1;
    const uint32_t dirBytes = archive->directoryTableBytes;
    unsigned char *seen = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC_ZEROED(dirBytes));
    uint32_t *pending = static_cast<uint32_t *>(KORVO_TRACKED_ALLOC(sizeof(uint32_t) * (size_t)dirBytes));
    if (seen == nullptr || pending == nullptr) {
        TrackedFree(seen);
        TrackedFree(pending);
        return -1;
    }
    size_t pendingCount = 0;
    pending[pendingCount++] = 0;
    seen[0] = 1;
    int result = 0;

    auto follow = [&](uint32_t offset) -> bool {
        if (!DirectoryEntryFits(archive, offset)) return false;
        if (!seen[offset]) {
            seen[offset] = 1;
            pending[pendingCount++] = offset;
        }
        return true;
    };

    while (pendingCount > 0 && result == 0) {
        const uint32_t dirOffset = pending[--pendingCount];
        // The folder's entries are read only after visit accepted the folder.
        if (visit(archive, dirOffset, context) != 0) {
            result = -1;
            break;
        }
        const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(archive, dirOffset);
        if (dir->parentOffset != kKvaNoParent && !follow(dir->parentOffset)) result = -1;
        for (uint32_t i = 0; i < dir->entryCount && result == 0; i++) {
            const KvaFileEntry *entry = GetKvaFileEntry(archive, dir->firstEntryOffset + i * archive->fileEntrySize);
            if ((entry->attributes & kKvaFolderAttribute) && !follow(entry->dataOffset)) result = -1;
        }
    }
    TrackedFree(seen);
    TrackedFree(pending);
    return result;
}

// Check every table offset and member range against the archive; 0 or -1
int CheckKvaArchiveTables(const KvaArchive *archive)
{
    const KvaHeader &h = archive->header;
    if ((uint64_t)h.headOffset + h.headSize > archive->archiveBytes) return -1;
    if (h.dataStart > archive->archiveBytes) return -1;
    if (h.fileTableOffset >= h.headSize || h.directoryTableOffset >= h.headSize) return -1;
    return WalkKvaFolders(archive, CheckKvaFolder, nullptr);
}

}  // namespace Korvo
