// The table of open KVA archives and the search for the archive holding a path.
#pragma once

#include "core/streams/kva_archive.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kMaxOpenArchives = 4096;
// Longest archive path kept in a table slot, terminator included.
constexpr size_t kArchiveSlotPathCapacity = 256;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Create the archive lock and start the module; 0, -1 if already started
int InitArchiveModule();
// Release unused archives and delete the lock; 0, -1 if not started
int EndArchiveModule();
// Start the module unless it runs already (first stream open before start-up)
void EnsureArchiveModule();
// Take and leave the archive lock (it also guards the open-stream table)
void LockArchiveTable();
void UnlockArchiveTable();

// Reuse or open an archive and count one reference; its number or -1
int OpenArchiveByPath(int archiveNumber, const char *path);
// Close and free every archive whose reference count is 0 or less; 0
int ReleaseUnusedArchives();
// Drop one reference (not below 0); 0, -1 for a number that names no archive
int ReleaseArchiveReference(int archiveNumber);
// The archive of a number, or null
KvaArchive *GetArchiveByNumber(int archiveNumber);
// The reference count of an archive, -1 for a number that names none
int GetArchiveReferenceCount(int archiveNumber);
// Find the archive named after the shallowest folder of a path that has one; on
// success it holds one more reference. archivePath and innerPath (either may be
// null) hold kKvaPathCapacity bytes. 0, or -1 when no archive holds the path.
int FindArchiveForPath(const char *path, int *archiveNumber, char *archivePath, char *innerPath);

}  // namespace Korvo
