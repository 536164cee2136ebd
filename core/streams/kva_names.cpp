// Name look-ups inside a KVA archive: name keys, folder moves and file entries.
//
// Names compare as their name records do: length in 4-byte units, byte sum and
// the upper-cased bytes (ASCII letters only; double-byte characters as they are).
#include "core/streams/kva_archive.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Length of the component at `p` (up to a separator or the end), double-byte aware.
static size_t ComponentLength(const char *p, int charSet)
{
    size_t n = 0;
    while (p[n] != '\0' && !IsSeparator(p[n])) {
        if (IsKvaLeadByte(charSet, (unsigned char)p[n]) && p[n + 1] != '\0') n += 2;
        else n += 1;
    }
    return n;
}

// Offset just past the last separator of a path, double-byte aware.
static size_t NameStart(const char *path, int charSet)
{
    size_t start = 0;
    for (size_t i = 0; path[i] != '\0'; i++) {
        if (IsKvaLeadByte(charSet, (unsigned char)path[i]) && path[i + 1] != '\0') {
            i++;
            continue;
        }
        if (IsSeparator(path[i])) start = i + 1;
    }
    return start;
}

static bool NameMatches(const KvaArchive *archive, const KvaFileEntry *entry, const KvaNameKey *key)
{
    const KvaNameRecordHead *record = GetKvaNameRecord(archive, entry);
    if (record->units != key->units || record->checkSum != key->checkSum) return false;
    return std::memcmp(record + 1, key->upper, 4u * key->units) == 0;
}

// The first entry of a folder of the right kind whose name matches the key.
static const KvaFileEntry *FindInFolder(const KvaArchive *archive, uint32_t directoryOffset,
                                        const KvaNameKey *key, bool wantFolder)
{
    const KvaDirectoryEntry *dir = GetKvaDirectoryEntry(archive, directoryOffset);
    for (uint32_t i = 0; i < dir->entryCount; i++) {
        const KvaFileEntry *entry = GetKvaFileEntry(archive, dir->firstEntryOffset + i * archive->fileEntrySize);
        bool isFolder = (entry->attributes & kKvaFolderAttribute) != 0;
        if (isFolder == wantFolder && NameMatches(archive, entry, key)) return entry;
    }
    return nullptr;
}

// One step of a folder walk; 0 or -1.
static int StepIntoComponent(KvaArchive *archive, const char *name, size_t length)
{
    if (length == 1 && name[0] == '.') return 0;
    if (length == 2 && name[0] == '.' && name[1] == '.') {
        uint32_t parent = GetKvaDirectoryEntry(archive, archive->currentDirectory)->parentOffset;
        if (parent == kKvaNoParent) return -1;
        archive->currentDirectory = parent;
        return 0;
    }
    KvaNameKey key;
    if (MakeKvaNameKey(name, length, archive->charSet, &key) != 0) return -1;
    const KvaFileEntry *folder = FindKvaSubDirectory(archive, archive->currentDirectory, &key);
    if (folder == nullptr) return -1;
    archive->currentDirectory = folder->dataOffset;
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Turn one path component into a name key; 0, or -1 when it is too long
int MakeKvaNameKey(const char *name, size_t length, int charSet, KvaNameKey *key)
{
    size_t units = (length + 4) / 4;
    if (units * 4 > sizeof key->upper) return -1;
    std::memset(key->upper, 0, units * 4);
    uint16_t sum = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)name[i];
        if (IsKvaLeadByte(charSet, c) && i + 1 < length) {
            key->upper[i] = c;
            key->upper[i + 1] = (unsigned char)name[i + 1];
            sum = (uint16_t)(sum + c + (unsigned char)name[i + 1]);
            i++;
            continue;
        }
        if (c >= 'a' && c <= 'z') c = (unsigned char)(c - 'a' + 'A');
        key->upper[i] = c;
        sum = (uint16_t)(sum + c);
    }
    key->units = (uint16_t)units;
    key->checkSum = sum;
    return 0;
}

// The sub-folder entry of a folder matching the key, or null
const KvaFileEntry *FindKvaSubDirectory(const KvaArchive *archive, uint32_t directoryOffset,
                                        const KvaNameKey *key)
{
    return FindInFolder(archive, directoryOffset, key, true);
}

// Move the current folder along a path; 0, or -1 (then restored when restoreOnFailure)
int ChangeKvaDirectory(KvaArchive *archive, const char *path, int restoreOnFailure)
{
    const uint32_t start = archive->currentDirectory;
    const char *p = path;
    if (IsSeparator(*p)) {
        archive->currentDirectory = 0;  // an empty first component: the root
        while (IsSeparator(*p)) p++;
    }
    while (*p != '\0') {
        size_t length = ComponentLength(p, archive->charSet);
        if (length > 0 && StepIntoComponent(archive, p, length) != 0) {
            if (restoreOnFailure) archive->currentDirectory = start;
            return -1;
        }
        p += length;
        while (IsSeparator(*p)) p++;
    }
    return 0;
}

// The file entry of a path from the current folder, or null; the folder is unchanged
const KvaFileEntry *FindKvaFileEntry(const char *path, KvaArchive *archive)
{
    const uint32_t start = archive->currentDirectory;
    size_t nameStart = NameStart(path, archive->charSet);
    const char *name = path + nameStart;
    if (*name == '\0') return nullptr;
    if (nameStart > 0) {
        char folder[kKvaPathCapacity];
        if (nameStart >= sizeof folder) return nullptr;
        std::memcpy(folder, path, nameStart);
        folder[nameStart] = '\0';
        if (ChangeKvaDirectory(archive, folder, 1) != 0) return nullptr;
    }
    const KvaFileEntry *entry = nullptr;
    KvaNameKey key;
    if (MakeKvaNameKey(name, std::strlen(name), archive->charSet, &key) == 0)
        entry = FindInFolder(archive, archive->currentDirectory, &key, false);
    archive->currentDirectory = start;
    return entry;
}

}  // namespace Korvo
