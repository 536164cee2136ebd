// The error log's platform layer on Windows: one CreateFileA per text, no sharing.

#include "core/log/log_output.h"

#include "core/system/platform_libraries.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The timer library counts as loaded once "winmm.dll" has a module handle
int IsLogTimerLibraryLoaded()
{
    return PlatformLibraries.winmm.module != nullptr ? 1 : 0;
}

// Open for writing, no sharing, create when missing, positioned at the end
void *OpenLogFileForAppend(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    return file;
}

// WriteFile of the bytes
void WriteLogFileBytes(void *file, const char *bytes, size_t length)
{
    DWORD written = 0;
    WriteFile(static_cast<HANDLE>(file), bytes, static_cast<DWORD>(length), &written, nullptr);
}

// CloseHandle
void CloseLogFile(void *file)
{
    CloseHandle(static_cast<HANDLE>(file));
}

// OutputDebugStringA
void WriteDebuggerText(const char *text)
{
    OutputDebugStringA(text);
}

// DeleteFileA, then CreateFileA with CREATE_NEW, closed at once
void RecreateEmptyLogFile(const char *path)
{
    DeleteFileA(path);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
}

} // namespace Korvo
