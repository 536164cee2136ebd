// Plain Windows files: direct reads, or reads through a file thread with a
// read-ahead cache when caching or asynchronous reading is asked for.
//
// Positions stay within 0..size, and reads count the bytes that really arrived.
#include "core/streams/win32/win32_file_record.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static HANDLE OpenForReading(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Wait until the thread has finished the previous command, then account for a
// read it delivered short (asynchronous reads return before their bytes arrive).
static void WaitForThreadIdle(Win32FileRecord *r)
{
    WaitForSingleObject(r->doneEvent, INFINITE);
    if (r->readRequested > 0) {
        if (r->readDelivered < r->readRequested) r->position -= r->readRequested - r->readDelivered;
        r->readRequested = 0;
    }
}

// Post a command (its parameters already written) to the file thread.
static void PostCommand(Win32FileRecord *r, int command)
{
    r->command = command;
    ResetEvent(r->doneEvent);
    SetEvent(r->commandEvent);
}

// Wait for the thread to exit after command 4 or a failed open.
static void WaitForThreadExit(Win32FileRecord *r, DWORD pause)
{
    DWORD code = STILL_ACTIVE;
    while (GetExitCodeThread(r->thread, &code) && code == STILL_ACTIVE) Sleep(pause);
}

static void FreeThreadResources(Win32FileRecord *r)
{
    TrackedFree(r->cache);
    r->cache = nullptr;
    if (r->thread) CloseHandle(r->thread);
    if (r->doneEvent) CloseHandle(r->doneEvent);
    if (r->commandEvent) CloseHandle(r->commandEvent);
}

static int ClampedTarget(const Win32FileRecord *r, int offset, int origin)
{
    long long target = origin == 0 ? offset
                     : origin == 1 ? (long long)r->position + offset
                     : origin == 2 ? (long long)r->size + offset
                                   : 0;
    if (target < 0) target = 0;
    if (target > r->size) target = r->size;
    return (int)target;
}

// Start the file thread and let it open the file; the record, or null (freed).
static Win32FileRecord *StartFileThread(Win32FileRecord *r)
{
    if (r->useCache) {
        r->cache = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(kFileCacheBytes));
        if (r->cache == nullptr) {
            AppendLogText("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
            TrackedFree(r);
            return nullptr;
        }
    }
    r->commandEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    r->doneEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (r->commandEvent != nullptr && r->doneEvent != nullptr)
        r->thread = CreateThread(nullptr, 0, PlainFileThreadProc, &r->threadId, 0, &r->threadId);
    if (r->thread == nullptr) {
        FreeThreadResources(r);
        AppendLogText("ファイルアクセス専用スレッドの作成に失敗しました\n");
        TrackedFree(r);
        return nullptr;
    }
    SetThreadPriority(r->thread, THREAD_PRIORITY_LOWEST);

    WaitForSingleObject(r->doneEvent, INFINITE);
    PostCommand(r, FILE_THREAD_OPEN);
    WaitForSingleObject(r->doneEvent, INFINITE);
    if (r->openFailed) {
        WaitForThreadExit(r, 0);
        FreeThreadResources(r);
        AppendLogText("ファイルのオープンに失敗しました\n");
        TrackedFree(r);
        return nullptr;
    }
    return r;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open a file for reading (threaded when useCache or useAsync); null on failure
Win32FileRecord *OpenPlainFileRecord(const char *path, int useCache, int, int useAsync)
{
    if (path == nullptr || std::strlen(path) >= kPlainPathCapacity) return nullptr;
    auto *r = static_cast<Win32FileRecord *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(Win32FileRecord)));
    if (r == nullptr) return nullptr;
    r->useCache = useCache ? 1 : 0;
    r->useAsync = useAsync ? 1 : 0;
    r->threaded = (useCache || useAsync) ? 1 : 0;

    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        TrackedFree(r);
        return nullptr;
    }
    DWORD size = GetFileSize(file, nullptr);
    r->size = size == INVALID_FILE_SIZE || size > 0x7FFFFFFF ? 0 : (int)size;
    if (!r->threaded) {
        r->file = file;
        return r;
    }
    // Threaded: the probe only learns the size; the thread opens its own handle.
    CloseHandle(file);
    std::strcpy(r->path, path);
    return StartFileThread(r);
}

// Close and free the record; 0, or -1 when closing the file failed
int ClosePlainFileRecord(Win32FileRecord *r)
{
    if (r == nullptr) return -1;
    int result = 0;
    if (r->threaded) {
        WaitForThreadIdle(r);
        PostCommand(r, FILE_THREAD_EXIT);
        WaitForSingleObject(r->doneEvent, INFINITE);
        WaitForThreadExit(r, 1);
        FreeThreadResources(r);
    } else {
        result = CloseHandle(r->file) ? 0 : -1;
    }
    TrackedFree(r);
    return result;
}

// The read position
int TellPlainFile(Win32FileRecord *r)
{
    if (r->threaded && r->readRequested > 0 && WaitForSingleObject(r->doneEvent, 0) != WAIT_TIMEOUT)
        WaitForThreadIdle(r);
    return r->position;
}

// Move the read position, kept within 0..size; 0 or -1
int SeekPlainFile(Win32FileRecord *r, int offset, int origin)
{
    if (r->threaded) WaitForThreadIdle(r);
    int target = ClampedTarget(r, offset, origin);
    if (r->threaded) {
        r->seekTarget = target;
        PostCommand(r, FILE_THREAD_SEEK);
    } else if (SetFilePointer(r->file, target, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return -1;
    }
    r->position = target;
    r->eof = 0;
    return 0;
}

// Read whole elements at the read position; the number of whole elements read
size_t ReadPlainFile(void *buffer, size_t elementSize, size_t count, Win32FileRecord *r)
{
    if (elementSize == 0) return 0;
    if (r->threaded) WaitForThreadIdle(r);
    if (r->position >= r->size) {
        r->eof = 1;
        return 0;
    }
    size_t left = (size_t)(r->size - r->position);
    size_t n = count <= left / elementSize ? count : left / elementSize;
    if (n == 0) {
        r->eof = 1;
        return 0;
    }
    int bytes = (int)(n * elementSize);
    if (r->threaded) {
        r->readBuffer = buffer;
        r->readPosition = r->position;
        r->readBytes = bytes;
        r->readDelivered = 0;
        r->readRequested = bytes;
        r->position += bytes;
        PostCommand(r, FILE_THREAD_READ);
        // An asynchronous read reports what it asked for; the position is
        // corrected once the thread has answered.
        if (r->useAsync) return n;
        WaitForThreadIdle(r);
        return (size_t)r->readDelivered / elementSize;
    }
    DWORD got = 0;
    if (!ReadFile(r->file, buffer, (DWORD)bytes, &got, nullptr)) got = 0;
    r->position += (int)got;
    return got / elementSize;
}

// -1 once a read found nothing left, else 0
int IsPlainFileAtEnd(Win32FileRecord *r)
{
    return r->eof ? -1 : 0;
}

// 1 when no asynchronous read is pending, else 0
int IsPlainFileIdle(Win32FileRecord *r)
{
    if (!r->threaded) return 1;
    if (WaitForSingleObject(r->doneEvent, 0) == WAIT_TIMEOUT) return 0;
    WaitForThreadIdle(r);
    return 1;
}

// The file size taken at open
int GetPlainFileSize(Win32FileRecord *r)
{
    return r->size;
}

}  // namespace Korvo
