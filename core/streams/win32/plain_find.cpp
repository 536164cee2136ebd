// Directory searches, the current folder and file times of plain files.
#include <windows.h>

#include "core/streams/plain_file.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static void FillFileFindInfo(const WIN32_FIND_DATAA &data, FileFindInfo *out)
{
    std::memset(out, 0, sizeof *out);
    size_t length = strnlen(data.cFileName, sizeof out->name - 1);
    std::memcpy(out->name, data.cFileName, length);
    out->name[length] = '\0';
    out->directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    out->sizeLow = data.nFileSizeLow;
    out->sizeHigh = data.nFileSizeHigh;
    ConvertFileTimeToLocalDate(&data.ftCreationTime, &out->creationTime);
    ConvertFileTimeToLocalDate(&data.ftLastWriteTime, &out->lastWriteTime);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// A file time as a local date; 0, or -1 with a zeroed record
int ConvertFileTimeToLocalDate(const FILETIME *time, DateTimeRecord *out)
{
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &st)) {
        *out = {};
        return -1;
    }
    *out = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    return 0;
}

// Change the process's current folder; non-zero on success
int SetPlainDirectory(const char *path)
{
    return SetCurrentDirectoryA(path);
}

// The current folder into a buffer of kPlainPathCapacity; its length, 0 on failure
int GetPlainDirectory(char *buffer)
{
    DWORD length = GetCurrentDirectoryA((DWORD)kPlainPathCapacity, buffer);
    if (length >= kPlainPathCapacity) {
        buffer[0] = '\0';
        return 0;
    }
    return (int)length;
}

// Start a directory search; a find handle, or kNoFindHandle when nothing matches
uintptr_t FindFirstPlainFile(const char *pattern, FileFindInfo *out)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return kNoFindHandle;
    if (out) FillFileFindInfo(data, out);
    return reinterpret_cast<uintptr_t>(find);
}

// The next match; 0, or -1 when there is none
int FindNextPlainFile(uintptr_t handle, FileFindInfo *out)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(handle), &data)) return -1;
    if (out) FillFileFindInfo(data, out);
    return 0;
}

// End a directory search; 0 or -1
int FindClosePlainFile(uintptr_t handle)
{
    return FindClose(reinterpret_cast<HANDLE>(handle)) ? 0 : -1;
}

}  // namespace Korvo
