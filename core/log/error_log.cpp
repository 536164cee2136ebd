// Error log: "Log.txt" in the log folder, plus the debugger output.
//
// Each text is appended with the file opened and closed around it. New lines get
// a "%d:" stamp (milliseconds since SetupErrorLog) and one tab per indent level.
// Line feeds become CR LF up to the first line feed that already has its CR; the
// rest of that text is written unchanged.

#include "core/log/error_log.h"

#include "core/threads/clock.h"
#include "core/log/log_output.h"
#include "core/memory/tracked_alloc.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

static const char kLogFileName[] = "Log.txt";
// Texts shorter than this convert in a stack buffer; longer ones in a tracked block.
constexpr size_t kShortTextLength = 256;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static char LogFolder[kLogFolderCapacity];
static int LogOutputOff = 0;
static int LogIndentDepth = 0;
static int LogLineContinues = 0;
static uint32_t LogStartTime = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Folder + "\" when needed + "Log.txt"; false when it does not fit. An empty
// folder gives the bare name, which is the working folder (a lone "\" would be
// the drive root).
static bool BuildLogFilePath(char *path, size_t capacity)
{
    size_t folderLength = std::strlen(LogFolder);
    bool needsSeparator = folderLength != 0 && LogFolder[folderLength - 1] != '\\';
    int written = std::snprintf(path, capacity, "%s%s%s", LogFolder, needsSeparator ? "\\" : "", kLogFileName);
    return written > 0 && static_cast<size_t>(written) < capacity;
}

// Copy text into out, turning LF into CR LF until a LF that follows a CR; the
// converted length. out must hold 2 * length + 1 bytes.
static size_t ConvertLineEnds(const char *text, size_t length, char *out)
{
    size_t written = 0;
    size_t i = 0;
    for (; i < length; ++i) {
        if (text[i] == '\n') {
            if (i > 0 && text[i - 1] == '\r') {
                break;
            }
            out[written++] = '\r';
        }
        out[written++] = text[i];
    }
    std::memcpy(out + written, text + i, length - i);
    written += length - i;
    out[written] = '\0';
    return written;
}

// Write one piece to the file and the same text to the debugger output.
static void WriteLogPiece(void *file, const char *text, size_t length)
{
    WriteLogFileBytes(file, text, length);
    WriteDebuggerText(text);
}

// Stamp, indent and converted text, as one append to the file.
static void WriteConvertedText(const char *converted, size_t length)
{
    if (LogOutputOff != 0 || LogFolder[0] == '\0') {
        return;
    }
    char path[kLogFolderCapacity + sizeof(kLogFileName) + 1];
    if (!BuildLogFilePath(path, sizeof(path))) {
        return;
    }
    void *file = OpenLogFileForAppend(path);
    if (file == nullptr) {
        return;
    }
    if (LogLineContinues == 0) {
        char stamp[16];
        uint32_t elapsed = static_cast<uint32_t>(GetMillisecondClock()) - LogStartTime;
        int stampLength = std::snprintf(stamp, sizeof(stamp), "%d:", static_cast<int>(elapsed));
        WriteLogPiece(file, stamp, static_cast<size_t>(stampLength));
        if (LogIndentDepth > 0) {
            char tabs[64];
            size_t tabCount = 0;
            for (int depth = LogIndentDepth; depth > 0; depth -= static_cast<int>(tabCount)) {
                tabCount = depth < static_cast<int>(sizeof(tabs) - 1) ? static_cast<size_t>(depth) : sizeof(tabs) - 1;
                std::memset(tabs, '\t', tabCount);
                tabs[tabCount] = '\0';
                WriteLogPiece(file, tabs, tabCount);
            }
        }
    }
    WriteLogPiece(file, converted, length);
    // An empty text leaves the line open: its stamp is already written.
    LogLineContinues = (length > 0 && converted[length - 1] == '\n') ? 0 : 1;
    CloseLogFile(file);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Store the log folder, cut to the buffer
int SetLogFolder(const char *folder)
{
    if (folder == nullptr) {
        folder = "";
    }
    std::snprintf(LogFolder, sizeof(LogFolder), "%s", folder);
    return 0;
}

// The log folder
const char *GetLogFolder()
{
    return LogFolder;
}

// Create the file, reset indent and line state, start the stamps
int SetupErrorLog()
{
    CreateLogFile();
    LogIndentDepth = 0;
    LogLineContinues = 0;
    LogStartTime = static_cast<uint32_t>(GetMillisecondClock());
    return 0;
}

// Delete and re-create an empty log file unless output is off
int CreateLogFile()
{
    if (LogOutputOff != 0) {
        return 0;
    }
    char path[kLogFolderCapacity + sizeof(kLogFileName) + 1];
    if (BuildLogFilePath(path, sizeof(path))) {
        RecreateEmptyLogFile(path);
    }
    return 0;
}

// Write a text to the log file and the debugger output; -1
int AppendLogText(const char *text)
{
    if (IsLogTimerLibraryLoaded() == 0 || text == nullptr) {
        return -1;
    }
    size_t length = std::strlen(text);
    char shortBuffer[kShortTextLength * 2 + 1];
    char *converted = shortBuffer;
    if (length >= kShortTextLength) {
        converted = static_cast<char *>(TrackedAlloc(length * 2 + 1, nullptr, 65535));
        if (converted == nullptr) {
            return -1;
        }
    }
    size_t convertedLength = ConvertLineEnds(text, length, converted);
    WriteConvertedText(converted, convertedLength);
    if (converted != shortBuffer) {
        TrackedFree(converted);
    }
    return -1;
}

// Same as AppendLogText
int AppendLogTextRelay(const char *text)
{
    return AppendLogText(text);
}

// Format into 1,024 bytes (cut when longer), add a line feed, log it; -1
int AppendLogLineFormat(const char *format, ...)
{
    char line[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    // Leave room for the line feed; vsnprintf cuts the text to fit.
    int length = std::vsnprintf(line, sizeof(line) - 1, format, args);
    va_end(args);
    if (length < 0) {
        line[0] = '\0';
        length = 0;
    } else if (static_cast<size_t>(length) > sizeof(line) - 2) {
        length = static_cast<int>(sizeof(line) - 2);
    }
    line[length] = '\n';
    line[length + 1] = '\0';
    return AppendLogText(line);
}

// One more indent level
int IncreaseLogIndent()
{
    ++LogIndentDepth;
    return 0;
}

// One indent level less, not below 0
int DecreaseLogIndent()
{
    if (LogIndentDepth != 0) {
        --LogIndentDepth;
    }
    return 0;
}

// Switch the log file output on or off
int EnableLogFileOutput(int enable)
{
    LogOutputOff = enable == 0 ? 1 : 0;
    return 0;
}

} // namespace Korvo
