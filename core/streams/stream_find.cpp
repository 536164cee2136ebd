// Directory searches of the default stream set: inside an archive when a folder
// of the pattern has one, else on disk.
#include "core/streams/stream_entries.h"

#include "core/streams/archive_table.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
namespace {
struct KvaFindState {
    KvaArchive *archive;
    char pattern[260];             // upper-cased name pattern
    uint32_t folder;               // directory entry searched
    uint32_t nextIndex;            // 0 ".", 1 "..", then the folder's entries
};

struct StreamFindRecord {
    int inArchive;
    int archiveNumber;
    uintptr_t plainFind;
    KvaFindState state;
};
}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static bool IsPatternSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

// "?" is any one byte; "*" runs to the first occurrence of the next pattern byte
// (no backtracking); double-byte characters and other bytes must be equal.
static bool MatchNamePattern(const char *name, const char *pattern, int charSet)
{
    const unsigned char *n = reinterpret_cast<const unsigned char *>(name);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(pattern);
    while (*p != 0) {
        if (*p == '*') {
            p++;
            if (*p == 0) return true;
            while (*n != 0 && *n != *p) n += (IsKvaLeadByte(charSet, *n) && n[1] != 0) ? 2 : 1;
            if (*n == 0) return false;
            continue;
        }
        if (*p == '?') {
            if (*n == 0) return false;
            n++;
            p++;
            continue;
        }
        if (IsKvaLeadByte(charSet, *p) && p[1] != 0) {
            if (n[0] != p[0] || n[1] != p[1]) return false;
            n += 2;
            p += 2;
            continue;
        }
        if (*n != *p) return false;
        n++;
        p++;
    }
    return *n == 0;
}

static void UpperCaseName(char *s, int charSet)
{
    for (size_t i = 0; s[i] != '\0'; i++) {
        if (IsKvaLeadByte(charSet, (unsigned char)s[i]) && s[i + 1] != '\0') {
            i++;
            continue;
        }
        if (s[i] >= 'a' && s[i] <= 'z') s[i] = (char)(s[i] - 'a' + 'A');
    }
}

static void FillDotInfo(const char *name, FileFindInfo *out)
{
    if (out == nullptr) return;
    std::memset(out, 0, sizeof *out);
    std::strcpy(out->name, name);
    out->directory = 1;
}

static void FillEntryInfo(const KvaArchive *archive, const KvaFileEntry *entry, FileFindInfo *out)
{
    if (out == nullptr) return;
    std::memset(out, 0, sizeof *out);
    std::strncpy(out->name, GetKvaEntryName(archive, entry), sizeof out->name - 1);
    out->directory = (entry->attributes & kKvaFolderAttribute) ? 1 : 0;
    out->sizeLow = entry->dataSize;
    FILETIME created = {entry->creationTime.low, entry->creationTime.high};
    FILETIME written = {entry->lastWriteTime.low, entry->lastWriteTime.high};
    ConvertFileTimeToLocalDate(&created, &out->creationTime);
    ConvertFileTimeToLocalDate(&written, &out->lastWriteTime);
}

// The next match of an archive search; 0, or -1 when there is none.
static int NextArchiveMatch(KvaFindState *state, FileFindInfo *out)
{
    const KvaArchive *archive = state->archive;
    const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(archive, state->folder);
    const bool isRoot = dir->parentOffset == kKvaNoParent;
    for (;;) {
        uint32_t index = state->nextIndex++;
        if (index == 0) {
            if (MatchNamePattern(".", state->pattern, archive->charSet)) {
                FillDotInfo(".", out);
                return 0;
            }
            continue;
        }
        if (index == 1) {
            if (!isRoot && MatchNamePattern("..", state->pattern, archive->charSet)) {
                FillDotInfo("..", out);
                return 0;
            }
            continue;
        }
        if (index - 2 >= dir->entryCount) return -1;
        const KvaFileEntry *entry =
            GetKvaFileEntry(archive, dir->firstEntryOffset + (index - 2) * archive->fileEntrySize);
        const char *upper = reinterpret_cast<const char *>(GetKvaNameRecord(archive, entry) + 1);
        if (MatchNamePattern(upper, state->pattern, archive->charSet)) {
            FillEntryInfo(archive, entry, out);
            return 0;
        }
    }
}

// Set up a search inside an archive; 0 or -1.
static int StartArchiveSearch(StreamFindRecord *record, const char *innerPath)
{
    KvaArchive *archive = GetArchiveByNumber(record->archiveNumber);
    if (archive == nullptr) return -1;
    size_t split = 0;
    bool hasFolder = false;
    for (size_t i = 0; innerPath[i] != '\0'; i++) {
        if (IsKvaLeadByte(archive->charSet, (unsigned char)innerPath[i]) && innerPath[i + 1] != '\0') {
            i++;
            continue;
        }
        if (IsPatternSeparator(innerPath[i])) {
            split = i;
            hasFolder = true;
        }
    }
    const char *name = hasFolder ? innerPath + split + 1 : innerPath;
    if (std::strlen(name) >= sizeof record->state.pattern) return -1;
    std::strcpy(record->state.pattern, name);
    UpperCaseName(record->state.pattern, archive->charSet);

    const uint32_t start = archive->currentDirectory;
    int result = 0;
    if (hasFolder) {
        char folder[kKvaPathCapacity];
        std::memcpy(folder, innerPath, split);
        folder[split] = '\0';
        if (split == 0) std::strcpy(folder, "\\");
        result = ChangeKvaDirectory(archive, folder, 1);
    }
    record->state.archive = archive;
    record->state.folder = archive->currentDirectory;
    record->state.nextIndex = 0;
    archive->currentDirectory = start;
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Search a folder inside an archive or on disk; a find handle or kNoFindHandle
StreamHandle FindFirstStreamFile(const char *pattern, FileFindInfo *out)
{
    if (pattern == nullptr) return kNoFindHandle;
    auto *record = static_cast<StreamFindRecord *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(StreamFindRecord)));
    if (record == nullptr) return kNoFindHandle;
    char innerPath[kKvaPathCapacity];
    LockArchiveTable();
    int found = FindArchiveForPath(pattern, &record->archiveNumber, nullptr, innerPath);
    UnlockArchiveTable();
    if (found != 0) {
        record->plainFind = FindFirstPlainFile(pattern, out);
        if (record->plainFind == kNoFindHandle) {
            TrackedFree(record);
            return kNoFindHandle;
        }
        return reinterpret_cast<StreamHandle>(record);
    }
    record->inArchive = 1;
    if (StartArchiveSearch(record, innerPath) != 0 || NextArchiveMatch(&record->state, out) != 0) {
        ReleaseArchiveReference(record->archiveNumber);
        TrackedFree(record);
        return kNoFindHandle;
    }
    return reinterpret_cast<StreamHandle>(record);
}

// The next match; 0, or -1 when there is none
int FindNextStreamFile(StreamHandle find, FileFindInfo *out)
{
    if (find == 0 || find == kNoFindHandle) return -1;
    auto *record = reinterpret_cast<StreamFindRecord *>(find);
    if (!record->inArchive) return FindNextPlainFile(record->plainFind, out);
    return NextArchiveMatch(&record->state, out);
}

// End a search; 0
int FindCloseStreamFile(StreamHandle find)
{
    if (find == 0 || find == kNoFindHandle) return 0;
    auto *record = reinterpret_cast<StreamFindRecord *>(find);
    if (record->inArchive) ReleaseArchiveReference(record->archiveNumber);
    else FindClosePlainFile(record->plainFind);
    TrackedFree(record);
    return 0;
}

}  // namespace Korvo
