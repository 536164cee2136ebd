// Opening KVA archives from a file or from the caller's memory, and closing them.
//
// The header, the head block and (in memory) the members are descrambled, then
// every table is checked before the archive is used. A refused image is left
// exactly as the caller gave it, and disposing an attached image scrambles it back.
#include "core/streams/kva_archive.h"

#include "core/streams/plain_file.h"
#include "core/memory/tracked_alloc.h"

#include <algorithm>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
// Descramble the first 8 header bytes under the run-time key, then the fallback
// key; the key that reads "KV" is kept. -1 when neither does.
static int ChooseKey(const unsigned char *scrambled, const char *keyString, unsigned char *key,
                     unsigned char *first8)
{
    BuildKvaKey(keyString, key);
    for (int attempt = 0; attempt < 2; attempt++) {
        if (attempt == 1) std::memcpy(key, GetKvaFallbackKey(), kKvaKeySize);
        std::memcpy(first8, scrambled, 8);
        ApplyKvaKey(8, first8, 0, key);
        if (first8[0] == 'K' && first8[1] == 'V') return 0;
    }
    return -1;
}

// Header fields after the first 8 bytes are descrambled by their offsets.
static int ReadHeaderRest(KvaArchive *archive, const unsigned char *first8, const unsigned char *rest)
{
    unsigned char bytes[sizeof(KvaHeader)] = {};
    std::memcpy(bytes, first8, 8);
    int version = bytes[2] | (bytes[3] << 8);
    if (version < kKvaLowestVersion || version > kKvaHighestVersion) return -1;
    uint32_t headerSize = KvaHeaderSizeFor(version);
    std::memcpy(bytes + 8, rest, headerSize - 8);
    ApplyKvaKey(headerSize - 8, bytes + 8, 8, archive->key);
    std::memcpy(&archive->header, bytes, sizeof archive->header);
    if (version < 4) archive->header.codePage = 0;
    archive->charSet = KvaCodePageToCharSet(version, archive->header.codePage);
    archive->fileEntrySize = KvaFileEntrySizeFor(version);
    return 0;
}

static bool HeadFits(const KvaArchive *archive)
{
    const KvaHeader &h = archive->header;
    return h.headSize >= kKvaDirectoryEntrySize && (uint64_t)h.headOffset + h.headSize <= archive->archiveBytes;
}

static void PointTablesIntoHead(KvaArchive *archive)
{
    const KvaHeader &h = archive->header;
    archive->nameTable = archive->head;
    archive->fileTable = archive->head + (h.fileTableOffset < h.headSize ? h.fileTableOffset : 0);
    archive->directoryTable = archive->head + (h.directoryTableOffset < h.headSize ? h.directoryTableOffset : 0);
    archive->fileTableBytes = h.fileTableOffset < h.headSize ? h.headSize - h.fileTableOffset : 0;
    archive->directoryTableBytes = h.directoryTableOffset < h.headSize ? h.headSize - h.directoryTableOffset : 0;
    archive->currentDirectory = 0;
}

static uint32_t HeadKeyPosition(const KvaArchive *archive)
{
    return archive->header.version >= 5 ? 0 : archive->header.headOffset;
}

// One member's stored bytes in an attached image, with the key position of its first byte.
struct StoredRange {
    uint32_t start;
    uint32_t length;
    uint32_t keyPosition;
};

static bool RangeBefore(const StoredRange &a, const StoredRange &b)
{
    if (a.start != b.start) return a.start < b.start;
    if (a.length != b.length) return a.length < b.length;
    return a.keyPosition < b.keyPosition;
}

static bool AppendRange(StoredRange **ranges, size_t *count, size_t *capacity, const StoredRange &range)
{
    if (*count == *capacity) {
        size_t grown = *capacity == 0 ? 64 : *capacity * 2;
        void *moved = TrackedRealloc(*ranges, grown * sizeof(StoredRange), nullptr, 0);
        if (moved == nullptr) return false;
        *ranges = static_cast<StoredRange *>(moved);
        *capacity = grown;
    }
    (*ranges)[(*count)++] = range;
    return true;
}

// The ranges gathered by a folder walk.
struct StoredRangeList {
    StoredRange *ranges;
    size_t count;
    size_t capacity;
};

static int AppendFolderMembers(const KvaArchive *archive, uint32_t directoryOffset, void *context)
{
    StoredRangeList *list = static_cast<StoredRangeList *>(context);
    const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(archive, directoryOffset);
    for (uint32_t i = 0; i < dir->entryCount; i++) {
        const KvaFileEntry *entry = GetKvaFileEntry(archive, dir->firstEntryOffset + i * archive->fileEntrySize);
        uint32_t stored = GetKvaStoredSize(archive, entry);
        if ((entry->attributes & kKvaFolderAttribute) || stored == 0) continue;
        StoredRange range{archive->header.dataStart + entry->dataOffset, stored,
                          GetKvaMemberKeyPosition(archive, entry, 0)};
        if (!AppendRange(&list->ranges, &list->count, &list->capacity, range)) return -1;
    }
    return 0;
}

// Every non-empty member of a version-5 image in the folders the table check
// walked (sub-folders and parent links alike, so every member a look-up can
// reach), sorted by position, each range once. The tables were checked, so every
// range lies inside the image. A member listed twice (the same bytes under the
// same key) is kept once; members that share bytes under different key positions
// cannot both be descrambled in place, and the image is refused (-1).
static int CollectImageMembers(const KvaArchive *archive, StoredRange **rangesOut, size_t *countOut)
{
    StoredRangeList list{nullptr, 0, 0};
    int result = WalkKvaFolders(archive, AppendFolderMembers, &list);
    StoredRange *ranges = list.ranges;
    size_t count = list.count;
    if (result == 0 && count > 0) {
        std::sort(ranges, ranges + count, RangeBefore);
        size_t kept = 1;
        for (size_t i = 1; i < count && result == 0; i++) {
            const StoredRange &last = ranges[kept - 1];
            if (ranges[i].start == last.start && ranges[i].length == last.length &&
                ranges[i].keyPosition == last.keyPosition)
                continue;
            if ((uint64_t)last.start + last.length > ranges[i].start) result = -1;
            ranges[kept++] = ranges[i];
        }
        count = kept;
    }
    if (result != 0) {
        TrackedFree(ranges);
        return -1;
    }
    *rangesOut = ranges;
    *countOut = count;
    return 0;
}

// XOR every member's stored bytes of a version-5 image with its key positions.
static int ApplyKeyToImageMembers(KvaArchive *archive)
{
    StoredRange *ranges = nullptr;
    size_t count = 0;
    if (CollectImageMembers(archive, &ranges, &count) != 0) return -1;
    for (size_t i = 0; i < count; i++)
        ApplyKvaKey(ranges[i].length, archive->image + ranges[i].start, ranges[i].keyPosition, archive->key);
    TrackedFree(ranges);
    return 0;
}

// Scramble an attached image back to the caller's bytes.
static void ScrambleImageBack(KvaArchive *archive)
{
    if (archive->header.version < 5) {
        ApplyKvaKey((size_t)archive->imageSize, archive->image, 0, archive->key);
        return;
    }
    ApplyKeyToImageMembers(archive);
    ApplyKvaKey(archive->header.headSize, archive->head, 0, archive->key);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Zero-fill an archive record
void ResetKvaArchiveRecord(KvaArchive *archive)
{
    std::memset(archive, 0, sizeof *archive);
}

// Open an archive file into an empty record; 0, or -1 with the record empty
int OpenKvaArchiveFile(KvaArchive *archive, const char *path)
{
    ResetKvaArchiveRecord(archive);
    size_t length = std::strlen(path);
    if (length >= sizeof archive->path) return -1;
    std::memcpy(archive->path, path, length + 1);

    archive->file = OpenPlainFileRecord(path, 0, 1, 0);
    if (archive->file == nullptr) return -1;
    int size = GetPlainFileSize(archive->file);
    archive->archiveBytes = size > 0 ? (uint32_t)size : 0;

    unsigned char scrambled[sizeof(KvaHeader)];
    unsigned char first8[8];
    if (ReadPlainFile(scrambled, 1, kKvaHeaderSizeOld, archive->file) != kKvaHeaderSizeOld) goto fail;
    if (ChooseKey(scrambled, nullptr, archive->key, first8) != 0) goto fail;
    if (first8[2] == 4 || first8[2] == 5) {
        if (ReadPlainFile(scrambled + kKvaHeaderSizeOld, 1, 4, archive->file) != 4) goto fail;
    }
    if (ReadHeaderRest(archive, first8, scrambled + 8) != 0 || !HeadFits(archive)) goto fail;

    archive->head = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(archive->header.headSize));
    if (archive->head == nullptr) goto fail;
    if (SeekPlainFile(archive->file, (int)archive->header.headOffset, 0) != 0 ||
        ReadPlainFile(archive->head, 1, archive->header.headSize, archive->file) != archive->header.headSize)
        goto fail;
    ApplyKvaKey(archive->header.headSize, archive->head, HeadKeyPosition(archive), archive->key);
    PointTablesIntoHead(archive);
    if (CheckKvaArchiveTables(archive) != 0) goto fail;
    return 0;

fail:
    DisposeKvaArchiveRecord(archive);
    return -1;
}

// Open an archive held in the caller's memory (descrambled in place); 0 or -1
int AttachKvaArchiveImage(KvaArchive *archive, void *image, int size, const char *keyString)
{
    if (archive->file != nullptr || archive->image != nullptr) return -1;
    if (image == nullptr || size < (int)kKvaHeaderSizeOld) return -1;
    unsigned char *bytes = static_cast<unsigned char *>(image);
    unsigned char first8[8];
    KvaArchive attached;
    ResetKvaArchiveRecord(&attached);
    attached.archiveBytes = (uint32_t)size;
    if (ChooseKey(bytes, keyString, attached.key, first8) != 0) return -1;
    int version = first8[2] | (first8[3] << 8);
    if (version >= 4 && version <= 5 && size < (int)kKvaHeaderSizeCodePage) return -1;
    if (ReadHeaderRest(&attached, first8, bytes + 8) != 0 || !HeadFits(&attached)) return -1;

    attached.image = bytes;
    attached.imageSize = size;
    attached.head = bytes + attached.header.headOffset;
    if (version < 5) {
        ApplyKvaKey((size_t)size, bytes, 0, attached.key);
    } else {
        ApplyKvaKey(attached.header.headSize, attached.head, 0, attached.key);
    }
    PointTablesIntoHead(&attached);
    bool ok = CheckKvaArchiveTables(&attached) == 0;
    if (ok && version >= 5) ok = ApplyKeyToImageMembers(&attached) == 0;
    if (!ok) {
        if (version < 5) ApplyKvaKey((size_t)size, bytes, 0, attached.key);
        else ApplyKvaKey(attached.header.headSize, attached.head, 0, attached.key);
        return -1;
    }
    attached.inMemory = 1;
    attached.imageOwnedByCaller = 1;
    *archive = attached;
    return 0;
}

// The memory image of an attached archive, null for one on disk
void *GetKvaArchiveImagePointer(KvaArchive *archive)
{
    return archive->inMemory ? archive->image : nullptr;
}

// A member's offset from the image start and its data size; 0 or -1
int GetKvaFileLocation(KvaArchive *archive, const char *path, int *offset, int *size)
{
    const KvaFileEntry *entry = FindKvaFileEntry(path, archive);
    if (entry == nullptr) return -1;
    if (offset) *offset = (int)(archive->header.dataStart + entry->dataOffset);
    if (size) *size = (int)entry->dataSize;
    return 0;
}

// Close the archive (scrambling an attached image back) and zero the record; 0
int DisposeKvaArchiveRecord(KvaArchive *archive)
{
    if (archive->inMemory && archive->image != nullptr) ScrambleImageBack(archive);
    if (archive->file != nullptr) ClosePlainFileRecord(archive->file);
    if (!archive->inMemory) TrackedFree(archive->head);
    ResetKvaArchiveRecord(archive);
    return 0;
}

}  // namespace Korvo
