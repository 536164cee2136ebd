// The default (archive-aware) stream set: streams that read a KVA archive member
// when a folder of the path has an archive, else a plain file.
#pragma once

#include "core/streams/stream_table.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kMaxOpenStreams = 32768;
// Stream handles of this set are the entry index OR this mark, so 0 is never one.
constexpr uint32_t kStreamHandleMark = 0xF0000000u;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open a member of the archive named after a folder of the path, else the plain file; 0 on failure
StreamHandle OpenStreamArchiveFirst(const char *path, int useCache, int flag, int useAsync);
// Close a stream; 0, -1 for a handle that names no open stream
int CloseStreamEntry(StreamHandle stream);
// The read position; -1 for a handle that names no open stream
int TellStreamEntry(StreamHandle stream);
// Move the read position, kept within the stream; 0 or -1
int SeekStreamEntry(StreamHandle stream, int offset, int origin);
// Read whole elements; the number read, (size_t)-1 for a handle that names no open stream
size_t ReadStreamEntry(void *buffer, size_t elementSize, size_t count, StreamHandle stream);
// -1 once a read found nothing left (also for a handle that names no open stream), else 0
int IsStreamEntryAtEnd(StreamHandle stream);
// 1 when no asynchronous read is pending, 0 while one is, -1 for a bad handle
int IsStreamEntryIdle(StreamHandle stream);
// Change the process's current folder; 0
int SetWorkingDirectory(const char *path);
// The current folder (256 bytes); 0
int GetWorkingDirectory(char *buffer);
// Search a folder inside an archive or on disk; a find handle or kNoFindHandle
StreamHandle FindFirstStreamFile(const char *pattern, FileFindInfo *out);
// The next match; 0, or -1 when there is none
int FindNextStreamFile(StreamHandle find, FileFindInfo *out);
// End a search; 0
int FindCloseStreamFile(StreamHandle find);
// Number of streams open in this set
int GetOpenStreamCount();

}  // namespace Korvo
