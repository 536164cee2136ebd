// Plain files: the platform layer under every stream.
//
// A Win32FileRecord is one open file, read directly or through a file thread of
// its own with a read-ahead cache (Windows build). Portable code sees the record
// only through these calls; the host build has a direct-only stand-in.
#pragma once

#include "core/public_api.h"
#include "core/public_api.h"
#include "core/korvo_types.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Longest plain path, terminator included (the Windows MAX_PATH).
constexpr size_t kPlainPathCapacity = 260;
// Bytes of a threaded record's read-ahead cache.
constexpr int kFileCacheBytes = 0x20000;
// No find handle.
constexpr uintptr_t kNoFindHandle = (uintptr_t)-1;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct Win32FileRecord;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open a file for reading (threaded when useCache or useAsync); null on failure
Win32FileRecord *OpenPlainFileRecord(const char *path, int useCache, int flag, int useAsync);
// Close and free the record; 0, or -1 when closing the file failed
int ClosePlainFileRecord(Win32FileRecord *record);
// The read position
int TellPlainFile(Win32FileRecord *record);
// Move the read position (0 start, 1 current, 2 end), kept within 0..size; 0 or -1
int SeekPlainFile(Win32FileRecord *record, int offset, int origin);
// Read whole elements at the read position; the number of whole elements read
size_t ReadPlainFile(void *buffer, size_t elementSize, size_t count, Win32FileRecord *record);
// -1 once a read found nothing left, else 0
int IsPlainFileAtEnd(Win32FileRecord *record);
// 1 when no asynchronous read is pending, else 0
int IsPlainFileIdle(Win32FileRecord *record);
// The file size taken at open
int GetPlainFileSize(Win32FileRecord *record);
// Change the process's current folder; non-zero on success
int SetPlainDirectory(const char *path);
// The current folder into a buffer of kPlainPathCapacity; its length, 0 on failure
int GetPlainDirectory(char *buffer);
// Start a directory search; a find handle, or kNoFindHandle when nothing matches
uintptr_t FindFirstPlainFile(const char *pattern, FileFindInfo *out);
// The next match; 0, or -1 when there is none
int FindNextPlainFile(uintptr_t handle, FileFindInfo *out);
// End a directory search; 0 or -1
int FindClosePlainFile(uintptr_t handle);
// A file time as a local date; 0, or -1 with a zeroed record
int ConvertFileTimeToLocalDate(const FILETIME *time, DateTimeRecord *out);
// Create a new empty temporary file for writing (Windows build only); its handle or null
HANDLE CreateScratchFile(char *outPath);

}  // namespace Korvo
