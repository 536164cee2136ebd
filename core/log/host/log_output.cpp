// The error log's platform layer in the host build: stdio files, no debugger.
//
// Log paths are built with Windows separators; they are turned into '/' here.
// There is no multimedia timer library to wait for, so the log is always ready.

#include "core/log/log_output.h"

#include <cstdio>
#include <string>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static std::string ToHostPath(const char *path)
{
    std::string hostPath(path);
    for (char &c : hostPath) {
        if (c == '\\') {
            c = '/';
        }
    }
    return hostPath;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Always loaded in the host build
int IsLogTimerLibraryLoaded()
{
    return 1;
}

// fopen in append mode
void *OpenLogFileForAppend(const char *path)
{
    return std::fopen(ToHostPath(path).c_str(), "ab");
}

// fwrite of the bytes
void WriteLogFileBytes(void *file, const char *bytes, size_t length)
{
    std::fwrite(bytes, 1, length, static_cast<std::FILE *>(file));
}

// fclose
void CloseLogFile(void *file)
{
    std::fclose(static_cast<std::FILE *>(file));
}

// No debugger output in the host build
void WriteDebuggerText(const char *text)
{
    (void)text;
}

// Remove and create the file empty
void RecreateEmptyLogFile(const char *path)
{
    std::string hostPath = ToHostPath(path);
    std::remove(hostPath.c_str());
    if (std::FILE *file = std::fopen(hostPath.c_str(), "wb")) {
        std::fclose(file);
    }
}

} // namespace Korvo
