// The replaceable stream function table, the public stream calls on top of it,
// the two StreamOpsTable instances (stream handle or memory block) and the
// memory read stream.
#pragma once

#include "core/public_api.h"

#include "core/streams/plain_file.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// A stream handle of the installed set (0 = none), or a find handle.

// Twelve slots in a fixed order: tables are copied whole into other records.
struct StreamFunctionTable {
    StreamHandle (*Open)(const char *path, int useCache, int flag, int useAsync);
    int (*Close)(StreamHandle stream);
    int (*Tell)(StreamHandle stream);
    int (*Seek)(StreamHandle stream, int offset, int origin);
    size_t (*Read)(void *buffer, size_t elementSize, size_t count, StreamHandle stream);
    int (*Eof)(StreamHandle stream);
    int (*IdleCheck)(StreamHandle stream);
    int (*SetDirectory)(const char *path);
    int (*GetDirectory)(char *buffer);
    StreamHandle (*FindFirst)(const char *pattern, FileFindInfo *out);
    int (*FindNext)(StreamHandle find, FileFindInfo *out);
    int (*FindClose)(StreamHandle find);
};

// Six operations on one data word (a stream handle or a MemoryReadStream pointer).
struct StreamOpsTable {
    int (*Tell)(uintptr_t data);
    int (*Seek)(uintptr_t data, int offset, int origin);
    size_t (*Read)(void *buffer, size_t elementSize, size_t count, uintptr_t data);
    int (*Eof)(uintptr_t data);
    int (*Idle)(uintptr_t data);
    int (*Close)(uintptr_t data);
};

// A read-only stream over bytes the caller keeps.
struct MemoryReadStream {
    const unsigned char *data;
    int size;
    int position;
    int eof;
};

// Record of a file handle (kind 17).
struct FileHandleRecord;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Copy a table over the installed one, or install the default set (null); 0
int InstallStreamFunctionTable(const StreamFunctionTable *table);
// The installed table
StreamFunctionTable *GetActiveStreamTable();
// The StreamOpsTable whose data word is a stream handle
const StreamOpsTable *GetFileStreamOpsTable();
// The StreamOpsTable whose data word is a MemoryReadStream pointer
const StreamOpsTable *GetMemoryStreamOpsTable();

// A new memory stream over size bytes at data (not copied); null on failure
MemoryReadStream *OpenMemoryReadStream(const void *data, int size);
// Free the stream record (not the data); 0
int FreeMemoryReadStream(MemoryReadStream *stream);
// The read position
int TellMemoryStream(MemoryReadStream *stream);
// Move the read position, clamped to 0..size; 0
int SeekMemoryStream(MemoryReadStream *stream, int offset, int origin);
// Read whole elements; the number read (a short final element is not read)
size_t ReadMemoryStream(void *buffer, size_t elementSize, size_t count, MemoryReadStream *stream);
// 1 once a read found nothing left, else 0
int IsMemoryStreamAtEnd(MemoryReadStream *stream);

// Make a path absolute against baseFolder (null: current folder); out holds 260 bytes; 0 or -1
int MakeAbsolutePath(const char *path, char *out, const char *baseFolder);

// Register the file handle kind (17) and fill the StreamOpsTable instances; 0, -1 if done already
int InitFileHandleType();
// Unregister the file handle kind; 0, -1 if not registered
int TermFileHandleType();
// Delete callback of kind 17: closes the record's stream; 0
int CloseFileHandleRecord(void *record);

}  // namespace Korvo
