// Korvo's public operations of the core: the library's life, the frame, the log,
// the window, files (plain or inside KVA archives), clocks and random numbers.
// Programs include korvo.h, which includes this.
#pragma once

#include "core/korvo_types.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

// An open file, directory search or memory read stream.
typedef uintptr_t StreamHandle;

// A local date and time.
struct DateTimeRecord {
    int year;
    int month;   // 1-12
    int day;
    int hour;
    int minute;
    int second;
};

// One directory-search result.
struct FileFindInfo {
    char name[260];
    DWORD directory;  // 1 for a folder
    DWORD sizeLow;
    DWORD sizeHigh;
    DateTimeRecord creationTime;   // local time
    DateTimeRecord lastWriteTime;  // local time
};

// Start-up and shut-down
// Start the library under the API lock; 0 (also when already started), or -1
int StartLibrary();
// End the library under the API lock, then end the lock; 0
int ShutdownLibrary();
// The end request
int GetShutdownRequestedFlag();

// Settings, called before start-up (the window ones also after it)
// Set the window title (at most 255 bytes), also on an existing window; 0
int SetAppWindowTitle(const char *title);
// Switch between windowed (1) and full-screen (0) display, before or after start-up. A switch
// after start-up restarts graphics: every graph, mask, shader, vertex and index buffer and
// model is deleted (fonts are kept and make their glyph caches again at their next draw)
int ChangeWindowMode(int windowed);

// Show (1) or hide (0) the cursor over the window, or re-apply the setting (-1); 0
int ApplyMouseCursorVisibility(int shown);
// Both 1.0: the window shows the screen at its own size
double GetWindowScaleFactors(double *x, double *y);
// Cursor position in client (windowed) or screen (full screen) coordinates
// (either pointer may be null); 0
int GetCursorClientPosition(int *x, int *y);

// 0 switches the log file output off, anything else on; 0
int EnableLogFileOutput(int enable);
// Set the folder of "Log.txt" (cut to kLogFolderCapacity - 1 bytes); an empty folder writes nothing; 0
int SetLogFolder(const char *folder);

// 1 makes the default set the plain-file set (0 by default, the archive-aware set)
void SetPlainFilesOnly(int plainOnly);

// Store whether loaders queue their work to the workers (any non-zero is 1); 0
int SetLoadInBackgroundFlag(int flag);
// 1 when loaders queue their work to the workers, else 0
int GetLoadInBackgroundFlag();
// Background loads still queued or running (0 once every handle they make is ready)
int GetQueuedAsyncJobCount();
// Switch desktop composition (only when it differs from what the library set); 0
int SetDesktopCompositionState(int enable);

// The frame: messages and waits
// Pump window messages and the per-frame services under the API lock; 0, or -1 once quitting
int ServiceMessageQueue();
// Wait ms milliseconds, pumping until 4 ms before the end; 0
int WaitMillisecondsPumping(int ms);
// Wait for all input to be released and then for a press; the pressed input or 0 after a quit
int WaitForAnyInputPress();

// The log
// Write a text to the log file and the debugger output; always -1
int AppendLogText(const char *text);
// Format a line (printf, line feed added) and log it; always -1
int AppendLogLineFormat(const char *format, ...);
// One more tab after the time stamp of new lines; 0
int IncreaseLogIndent();
// One tab less, never below none; 0
int DecreaseLogIndent();

// The window: active flag and windowed mode
int GetAppActiveState();
int GetWindowedModeState();
// Desktop size and depth (recorded at start-up once started); 0
int GetDesktopModeInfo(int *width, int *height, int *bits);
// Read CF_TEXT into buffer (at most bufferSize bytes, terminated); with a null
// buffer the size to pass; 0, or -1 when there is no text or the clipboard fails
int ReadClipboardAnsiText(char *buffer, int bufferSize);
// Put a text on the clipboard as CF_TEXT; 0, or -1 on failure
int WriteClipboardAnsiText(const char *text);

// Files, plain or inside KVA archives
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
// Files through the installed stream table (the default set is the one above)
// Open a stream; its handle, 0 on failure
StreamHandle OpenFileStream(const char *path, int useCache, int flag, int useAsync);
// Close a stream; 0, -1 for a handle that names no open stream
int CloseFileStream(StreamHandle stream);
// The read position; -1 for a handle that names no open stream
int TellFileStream(StreamHandle stream);
// Move the read position (0 start, 1 current, 2 end); 0 or -1
int SeekFileStream(StreamHandle stream, int offset, int origin);
// Read whole elements; the number read
size_t ReadFileStream(void *buffer, size_t elementSize, size_t count, StreamHandle stream);
// Non-zero once a read found nothing left
int IsFileStreamAtEnd(StreamHandle stream);
// 1 when no asynchronous read is pending
int IsFileStreamIdle(StreamHandle stream);
// Change the current folder
int ChangeStreamDirectory(const char *path);
// The current folder (buffer of 260 bytes)
int GetStreamDirectory(char *buffer);

// Change the process's current folder; 0
int SetWorkingDirectory(const char *path);
// The current folder (256 bytes); 0
int GetWorkingDirectory(char *buffer);
// Search a folder inside an archive or on disk; a find handle or all bits set
StreamHandle FindFirstStreamFile(const char *pattern, FileFindInfo *out);
// The next match; 0, or -1 when there is none
int FindNextStreamFile(StreamHandle find, FileFindInfo *out);
// End a search; 0
int FindCloseStreamFile(StreamHandle find);

// Clocks and random numbers
// Milliseconds of the multimedia timer with bit 31 cleared, or -1 before it is loaded
int GetMillisecondClock();
// Microseconds from the chosen clock; all bits set when no clock is available
uint64_t GetMicrosecondClock();

// Seed the generator and prepare its first block of outputs; 0
int SeedTwister(uint32_t seed);
// A random int in 0..max (max + 1..0 for a negative max), spread by scaling
int GetRandomUpTo(int max);

// Fill the record with the current local date and time; 0
int GetLocalDateTime(DateTimeRecord *record);

// Tracked memory
// Log every live block, newest first, and the totals
int DumpTrackedBlocks();

} // namespace Korvo
