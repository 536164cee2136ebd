// Error log ("Log.txt") and on-screen log.
//
// Texts are cp932. Each new line of the file starts with the milliseconds since
// the log was set up and one tab per indent level; everything written also goes
// to the debugger output. The file is opened, appended and closed for every text
// so that nothing is lost when the process dies. Logging functions return -1 so
// that a failing step can return the result of its log call.
#pragma once

#include "core/public_api.h"

#include <cstddef>

namespace Korvo {

// Longest log folder path, terminator included.
constexpr size_t kLogFolderCapacity = 260;
// Buffer size of the formatting log calls (bytes, or wide characters).
constexpr size_t kLogFormatBufferSize = 1024;

// The current log folder (empty until set)
const char *GetLogFolder();
// Create the log file anew, reset indent and line state, start the time stamps; 0
int SetupErrorLog();
// Delete and re-create an empty "Log.txt" unless output is off; 0
int CreateLogFile();
// Second entry point of AppendLogText; always -1
int AppendLogTextRelay(const char *text);
#if defined(_WIN32)
// Format a UTF-16 line (line feed added), convert it to cp932 and log it; always -1
int AppendLogLineFormatWide(const wchar_t *format, ...);
#endif

// Set up the on-screen log; -1 while there is no graphics system or main window, else 0
int SetupScreenLog();
// Create the on-screen log's font when it has none; 0
int EnsureScreenLogFont();
// Delete the on-screen log's font and clear its set-up; 0
int ShutdownScreenLog();
// Whether the screen flip should draw the on-screen log
int GetScreenLogDrawFlag();
// Draw the on-screen log's lines over the screen; 0
int DrawScreenLogLines();

} // namespace Korvo
