// The replaceable stream function table, its default and plain sets, the public
// calls that jump through it and the two StreamOpsTable instances.
#include "core/streams/stream_table.h"

#include "core/streams/full_path.h"
#include "core/streams/stream_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers: the plain set over Win32FileRecord pointers
// ---------------------------------------------------------------------------
static Win32FileRecord *AsRecord(StreamHandle stream)
{
    return reinterpret_cast<Win32FileRecord *>(stream);
}

static StreamHandle PlainOpen(const char *path, int useCache, int flag, int useAsync)
{
    return reinterpret_cast<StreamHandle>(OpenPlainFileRecord(path, useCache, flag, useAsync));
}
static int PlainClose(StreamHandle s) { return s ? ClosePlainFileRecord(AsRecord(s)) : -1; }
static int PlainTell(StreamHandle s) { return s ? TellPlainFile(AsRecord(s)) : -1; }
static int PlainSeek(StreamHandle s, int offset, int origin) { return s ? SeekPlainFile(AsRecord(s), offset, origin) : -1; }
static size_t PlainRead(void *buffer, size_t elementSize, size_t count, StreamHandle s)
{
    return s ? ReadPlainFile(buffer, elementSize, count, AsRecord(s)) : 0;
}
static int PlainEof(StreamHandle s) { return s ? IsPlainFileAtEnd(AsRecord(s)) : -1; }
static int PlainIdle(StreamHandle s) { return s ? IsPlainFileIdle(AsRecord(s)) : 1; }
static StreamHandle PlainFindFirst(const char *pattern, FileFindInfo *out) { return FindFirstPlainFile(pattern, out); }
static int PlainFindNext(StreamHandle find, FileFindInfo *out) { return FindNextPlainFile(find, out); }
static int PlainFindClose(StreamHandle find) { return FindClosePlainFile(find); }

// The StreamOpsTable over stream handles reaches the table installed at call time.
static int FileOpsTell(uintptr_t data) { return TellFileStream(data); }
static int FileOpsSeek(uintptr_t data, int offset, int origin) { return SeekFileStream(data, offset, origin); }
static size_t FileOpsRead(void *buffer, size_t elementSize, size_t count, uintptr_t data)
{
    return ReadFileStream(buffer, elementSize, count, data);
}
static int FileOpsEof(uintptr_t data) { return IsFileStreamAtEnd(data); }
static int FileOpsIdle(uintptr_t data) { return IsFileStreamIdle(data); }
static int FileOpsClose(uintptr_t data) { return CloseFileStream(data); }

static MemoryReadStream *AsMemory(uintptr_t data)
{
    return reinterpret_cast<MemoryReadStream *>(data);
}
static int MemoryOpsTell(uintptr_t data) { return TellMemoryStream(AsMemory(data)); }
static int MemoryOpsSeek(uintptr_t data, int offset, int origin) { return SeekMemoryStream(AsMemory(data), offset, origin); }
static size_t MemoryOpsRead(void *buffer, size_t elementSize, size_t count, uintptr_t data)
{
    return ReadMemoryStream(buffer, elementSize, count, AsMemory(data));
}
static int MemoryOpsEof(uintptr_t data) { return IsMemoryStreamAtEnd(AsMemory(data)); }
static int MemoryOpsIdle(uintptr_t) { return 1; }
static int MemoryOpsClose(uintptr_t data) { return FreeMemoryReadStream(AsMemory(data)); }

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------
static const StreamFunctionTable kDefaultStreamSet = {
    OpenStreamArchiveFirst, CloseStreamEntry, TellStreamEntry, SeekStreamEntry,
    ReadStreamEntry, IsStreamEntryAtEnd, IsStreamEntryIdle, SetWorkingDirectory,
    GetWorkingDirectory, FindFirstStreamFile, FindNextStreamFile, FindCloseStreamFile,
};

static const StreamFunctionTable kPlainStreamSet = {
    PlainOpen, PlainClose, PlainTell, PlainSeek, PlainRead, PlainEof, PlainIdle,
    SetPlainDirectory, GetPlainDirectory, PlainFindFirst, PlainFindNext, PlainFindClose,
};

// Holds the default set from the start, so streams work before start-up.
static StreamFunctionTable g_streamTable = kDefaultStreamSet;
static int g_plainFilesOnly = 0;

static StreamOpsTable g_fileStreamOps = {FileOpsTell, FileOpsSeek, FileOpsRead, FileOpsEof, FileOpsIdle, FileOpsClose};
static StreamOpsTable g_memoryStreamOps = {MemoryOpsTell, MemoryOpsSeek, MemoryOpsRead,
                                           MemoryOpsEof, MemoryOpsIdle, MemoryOpsClose};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Copy a table over the installed one, or install the default set (null); 0
int InstallStreamFunctionTable(const StreamFunctionTable *table)
{
    if (table != nullptr) g_streamTable = *table;
    else g_streamTable = g_plainFilesOnly ? kPlainStreamSet : kDefaultStreamSet;
    return 0;
}

// The installed table
StreamFunctionTable *GetActiveStreamTable()
{
    return &g_streamTable;
}

// The StreamOpsTable whose data word is a stream handle
const StreamOpsTable *GetFileStreamOpsTable()
{
    return &g_fileStreamOps;
}

// The StreamOpsTable whose data word is a MemoryReadStream pointer
const StreamOpsTable *GetMemoryStreamOpsTable()
{
    return &g_memoryStreamOps;
}

// 1 makes the default set the plain-file set
void SetPlainFilesOnly(int plainOnly)
{
    g_plainFilesOnly = plainOnly ? 1 : 0;
}

// Refill the two StreamOpsTable instances (window start-up does this with the same values)
void ResetStreamOpsTables()
{
    g_fileStreamOps = {FileOpsTell, FileOpsSeek, FileOpsRead, FileOpsEof, FileOpsIdle, FileOpsClose};
    g_memoryStreamOps = {MemoryOpsTell, MemoryOpsSeek, MemoryOpsRead, MemoryOpsEof, MemoryOpsIdle, MemoryOpsClose};
}

// Open a stream through the installed table; its handle, 0 on failure
StreamHandle OpenFileStream(const char *path, int useCache, int flag, int useAsync)
{
    return g_streamTable.Open(path, useCache, flag, useAsync);
}

// Close a stream; 0, -1 for a handle that names no open stream
int CloseFileStream(StreamHandle stream)
{
    return g_streamTable.Close(stream);
}

// The read position; -1 for a handle that names no open stream
int TellFileStream(StreamHandle stream)
{
    return g_streamTable.Tell(stream);
}

// Move the read position; 0 or -1
int SeekFileStream(StreamHandle stream, int offset, int origin)
{
    return g_streamTable.Seek(stream, offset, origin);
}

// Read whole elements; the number read
size_t ReadFileStream(void *buffer, size_t elementSize, size_t count, StreamHandle stream)
{
    return g_streamTable.Read(buffer, elementSize, count, stream);
}

// Non-zero once a read found nothing left
int IsFileStreamAtEnd(StreamHandle stream)
{
    return g_streamTable.Eof(stream);
}

// 1 when no asynchronous read is pending
int IsFileStreamIdle(StreamHandle stream)
{
    return g_streamTable.IdleCheck(stream);
}

// Change the current folder through the installed table
int ChangeStreamDirectory(const char *path)
{
    return g_streamTable.SetDirectory(path);
}

// The current folder through the installed table
int GetStreamDirectory(char *buffer)
{
    return g_streamTable.GetDirectory(buffer);
}

// Make a path absolute against baseFolder (null: current folder); out holds 260 bytes; 0 or -1
int MakeAbsolutePath(const char *path, char *out, const char *baseFolder)
{
    return BuildFullPath(path, out, baseFolder, kPlainPathCapacity);
}

}  // namespace Korvo
