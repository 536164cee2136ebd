// KVA table access and the check that makes every later look-up safe.
//
// An archive is accepted only when every directory entry reachable from the root
// (through sub-folders or parents), every file entry of those folders, every name
// record and every member's stored bytes lie inside the head block or the
// archive. Look-ups then read the tables without further bounds checks.
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

// Check every table offset and member range against the archive; 0 or -1
int CheckKvaArchiveTables(const KvaArchive *archive)
{
    const KvaHeader &h = archive->header;
    if ((uint64_t)h.headOffset + h.headSize > archive->archiveBytes) return -1;
    if (h.dataStart > archive->archiveBytes) return -1;
    if (h.fileTableOffset >= h.headSize || h.directoryTableOffset >= h.headSize) return -1;
    if (!DirectoryEntryFits(archive, 0)) return -1;

    // Walk every folder reachable from the root once, through sub-folders and parents.
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

    auto visit = [&](uint32_t offset) -> bool {
        if (!DirectoryEntryFits(archive, offset)) return false;
        if (!seen[offset]) {
            seen[offset] = 1;
            pending[pendingCount++] = offset;
        }
        return true;
    };

    while (pendingCount > 0 && result == 0) {
        const uint32_t dirOffset = pending[--pendingCount];
        const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(archive, dirOffset);
        // The root's own entry is left undefined by the format and never read.
        const bool ownEntryOk = dirOffset == 0 ||
                                (FileEntryFits(archive, dir->ownEntryOffset) &&
                                 NameRecordFits(archive, GetKvaFileEntry(archive, dir->ownEntryOffset)->nameOffset));
        if (!ownEntryOk ||
            (dir->parentOffset != kKvaNoParent && !visit(dir->parentOffset)) ||
            (uint64_t)dir->firstEntryOffset + (uint64_t)dir->entryCount * archive->fileEntrySize >
                archive->fileTableBytes) {
            result = -1;
            break;
        }
        for (uint32_t i = 0; i < dir->entryCount; i++) {
            const KvaFileEntry *entry = GetKvaFileEntry(archive, dir->firstEntryOffset + i * archive->fileEntrySize);
            bool ok = NameRecordFits(archive, entry->nameOffset);
            if (ok) ok = (entry->attributes & kKvaFolderAttribute) ? visit(entry->dataOffset) : MemberFits(archive, entry);
            if (!ok) {
                result = -1;
                break;
            }
        }
    }
    TrackedFree(seen);
    TrackedFree(pending);
    return result;
}

}  // namespace Korvo
