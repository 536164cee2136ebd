// KVA archives: an open archive (on disk or in memory), its checked tables and the
// look-ups of folders and files inside it.
#pragma once

#include "core/streams/kva_format.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

struct Win32FileRecord;

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Longest archive file path, terminator included.
constexpr size_t kKvaPathCapacity = 1024;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// One open archive.
struct KvaArchive {
    KvaHeader header;              // as read (descrambled)
    int charSet;                   // CharSetCode of the names
    Win32FileRecord *file;         // archives on disk
    unsigned char *image;          // archives in memory (the caller's bytes)
    unsigned char *head;           // the head block (owned for archives on disk)
    const unsigned char *nameTable;
    const unsigned char *fileTable;
    const unsigned char *directoryTable;
    uint32_t fileTableBytes;       // bytes from the file table to the head end
    uint32_t directoryTableBytes;  // bytes from the directory table to the head end
    uint32_t fileEntrySize;        // 40 or 44
    uint32_t currentDirectory;     // offset of a KvaDirectoryEntry
    uint32_t archiveBytes;         // size of the archive file or image
    char path[kKvaPathCapacity];
    unsigned char key[kKvaKeySize];
    int inMemory;
    int imageOwnedByCaller;
    int imageSize;
};

// A path component in the form of a name record, for comparing names.
struct KvaNameKey {
    uint16_t units;
    uint16_t checkSum;
    unsigned char upper[260];      // upper-cased, zero padded to whole units
};

// Called once per folder of a walk with the offset of its KvaDirectoryEntry; 0 goes on, -1 stops.
typedef int (*KvaFolderVisitor)(const KvaArchive *archive, uint32_t directoryOffset, void *context);

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Zero-fill an archive record
void ResetKvaArchiveRecord(KvaArchive *archive);
// Open an archive file into an empty record; 0, or -1 with the record empty
int OpenKvaArchiveFile(KvaArchive *archive, const char *path);
// Open an archive held in the caller's memory (descrambled in place); 0 or -1
int AttachKvaArchiveImage(KvaArchive *archive, void *image, int size, const char *keyString);
// The memory image of an attached archive, null for one on disk
void *GetKvaArchiveImagePointer(KvaArchive *archive);
// A member's offset from the image start and its data size; 0 or -1
int GetKvaFileLocation(KvaArchive *archive, const char *path, int *offset, int *size);
// Close the archive (scrambling an attached image back) and zero the record; 0
int DisposeKvaArchiveRecord(KvaArchive *archive);
// Check every table offset and member range against the archive; 0 or -1
int CheckKvaArchiveTables(const KvaArchive *archive);
// Visit every folder reachable from the root once, through folder entries and
// parent links; 0, or -1 when a link leaves the directory table or visit refuses.
// A folder's links are read after visit accepted it (the check's visitor makes that safe).
int WalkKvaFolders(const KvaArchive *archive, KvaFolderVisitor visit, void *context);

// Turn one path component into a name key; 0, or -1 when it is too long
int MakeKvaNameKey(const char *name, size_t length, int charSet, KvaNameKey *key);
// The sub-folder entry of a folder matching the key, or null
const KvaFileEntry *FindKvaSubDirectory(const KvaArchive *archive, uint32_t directoryOffset,
                                        const KvaNameKey *key);
// Move the current folder along a path; 0, or -1 (then restored when restoreOnFailure)
int ChangeKvaDirectory(KvaArchive *archive, const char *path, int restoreOnFailure);
// The file entry of a path from the current folder, or null; the folder is unchanged
const KvaFileEntry *FindKvaFileEntry(const char *path, KvaArchive *archive);

// The directory entry at an offset of the directory table
const KvaDirectoryEntry *GetKvaDirectoryEntry(const KvaArchive *archive, uint32_t offset);
// The file entry at an offset of the file table
const KvaFileEntry *GetKvaFileEntry(const KvaArchive *archive, uint32_t offset);
// The name record of an entry
const KvaNameRecordHead *GetKvaNameRecord(const KvaArchive *archive, const KvaFileEntry *entry);
// The name of an entry as written
const char *GetKvaEntryName(const KvaArchive *archive, const KvaFileEntry *entry);
// The bytes a member takes in the archive (its LZ block or its data)
uint32_t GetKvaStoredSize(const KvaArchive *archive, const KvaFileEntry *entry);
// 1 when the member is one LZ block
int IsKvaMemberPacked(const KvaArchive *archive, const KvaFileEntry *entry);
// Key position of the byte at offset `offset` inside a member's stored bytes
uint32_t GetKvaMemberKeyPosition(const KvaArchive *archive, const KvaFileEntry *entry, uint32_t offset);

}  // namespace Korvo
