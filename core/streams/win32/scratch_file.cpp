// Temporary files (the movie subsystem copies files into one).
#include <windows.h>

#include "core/streams/plain_file.h"
#include "core/streams/stream_table.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Create a new empty temporary file for writing; its handle, or null on failure.
// outPath, when given, holds kPlainPathCapacity bytes and receives the full path.
HANDLE CreateScratchFile(char *outPath)
{
    char folder[256];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder - 1) return nullptr;
    if (folder[length - 1] != '\\') std::strcat(folder, "\\");
    char name[MAX_PATH];
    if (GetTempFileNameA(folder, "tmp", 0, name) == 0) return nullptr;
    char full[kPlainPathCapacity];
    if (MakeAbsolutePath(name, full, nullptr) != 0) return nullptr;
    DeleteFileA(full);
    HANDLE file = CreateFileA(full, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    if (outPath) std::strcpy(outPath, full);
    return file;
}

}  // namespace Korvo
