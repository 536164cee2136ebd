// The error log's platform layer: the log file, the debugger output and the
// check that the multimedia timer library is loaded. Used by core/error_log.cpp only.
#pragma once

#include <cstddef>

namespace Korvo {

// 1 once the multimedia timer library is loaded (the log writes nothing before)
int IsLogTimerLibraryLoaded();
// Open the log file for appending, without sharing, creating it when missing; null on failure
void *OpenLogFileForAppend(const char *path);
// Append bytes to an open log file
void WriteLogFileBytes(void *file, const char *bytes, size_t length);
// Close an open log file
void CloseLogFile(void *file);
// Send a text to the debugger output
void WriteDebuggerText(const char *text);
// Delete the log file and create it again, empty
void RecreateEmptyLogFile(const char *path);

} // namespace Korvo
