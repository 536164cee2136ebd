// The file thread of a cached or asynchronous plain file: executes one posted
// command at a time and, with a cache, reads ahead while it waits.
#include "core/streams/win32/win32_file_record.h"

#include <cstddef>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
static const DWORD kReadAheadIdleMs = 100;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static HANDLE OpenForReading(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Fill the rest of the cache from the file position after its last byte.
static void ReadAhead(Win32FileRecord *r)
{
    if (r->threadFile == nullptr || r->cacheFill >= kFileCacheBytes) return;
    DWORD got = 0;
    if (SetFilePointer(r->threadFile, r->cacheStart + r->cacheFill, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return;
    if (ReadFile(r->threadFile, r->cache + r->cacheFill, (DWORD)(kFileCacheBytes - r->cacheFill), &got, nullptr))
        r->cacheFill += (int)got;
}

// Serve a read from the cache where it starts at the cached position, the rest directly.
static void ExecuteRead(Win32FileRecord *r)
{
    unsigned char *dest = static_cast<unsigned char *>(r->readBuffer);
    int delivered = 0;
    if (r->cache != nullptr && r->readPosition == r->cacheStart && r->cacheFill > 0) {
        int k = r->cacheFill < r->readBytes ? r->cacheFill : r->readBytes;
        std::memcpy(dest, r->cache, (size_t)k);
        dest += k;
        r->readPosition += k;
        r->readBytes -= k;
        r->cacheFill -= k;
        r->cacheStart += k;
        std::memmove(r->cache, r->cache + k, (size_t)r->cacheFill);
        delivered += k;
    }
    if (r->readBytes > 0) {
        DWORD got = 0;
        if (SetFilePointer(r->threadFile, r->readPosition, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !ReadFile(r->threadFile, dest, (DWORD)r->readBytes, &got, nullptr))
            got = 0;
        r->readBytes = (int)got;
        delivered += (int)got;
        if (r->cache != nullptr) {
            r->cacheStart = r->readPosition + (int)got;
            r->cacheFill = 0;
        }
    }
    r->readDelivered = delivered;
}

static void EndThread(Win32FileRecord *r)
{
    if (r->threadFile != nullptr) CloseHandle(r->threadFile);
    r->threadFile = nullptr;
    SetEvent(r->doneEvent);
    r->threadEnded = 1;
    ExitThread(1);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// The file thread: runs the posted commands and reads ahead while idle.
DWORD WINAPI PlainFileThreadProc(LPVOID threadIdField)
{
    auto *r = reinterpret_cast<Win32FileRecord *>(static_cast<char *>(threadIdField) -
                                                  offsetof(Win32FileRecord, threadId));
    for (;;) {
        if (r->cache != nullptr) {
            while (WaitForSingleObject(r->commandEvent, kReadAheadIdleMs) == WAIT_TIMEOUT) ReadAhead(r);
        } else {
            WaitForSingleObject(r->commandEvent, INFINITE);
        }
        ResetEvent(r->commandEvent);
        ResetEvent(r->doneEvent);
        switch (r->command) {
        case FILE_THREAD_OPEN:
            r->threadFile = OpenForReading(r->path);
            if (r->threadFile == INVALID_HANDLE_VALUE) {
                r->threadFile = nullptr;
                r->openFailed = 1;
                EndThread(r);
            }
            break;
        case FILE_THREAD_CLOSE_HANDLE:
            if (r->threadFile != nullptr) CloseHandle(r->threadFile);
            r->threadFile = nullptr;
            break;
        case FILE_THREAD_READ:
            ExecuteRead(r);
            break;
        case FILE_THREAD_SEEK:
            SetFilePointer(r->threadFile, r->seekTarget, nullptr, FILE_BEGIN);
            if (r->cache != nullptr) {
                r->cacheStart = r->seekTarget;
                r->cacheFill = 0;
            }
            break;
        case FILE_THREAD_EXIT:
            EndThread(r);
            break;
        default:
            break;
        }
        SetEvent(r->doneEvent);
    }
}

}  // namespace Korvo
