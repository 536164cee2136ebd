// Host stand-in of the plain-file layer: direct reads through POSIX calls.
//
// Tests of the portable stream and archive code run on it. It has no file thread:
// cached and asynchronous opens read directly and are always idle.
#include "core/streams/plain_file.h"

#include "core/memory/tracked_alloc.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct Win32FileRecord {
    int fd;
    int eof;
    int position;
    int size;
};

namespace {
struct HostFindState {
    DIR *dir;
    std::string folder;
    std::string pattern;
};
}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static std::string HostPath(const char *path)
{
    std::string p = path;
    for (char &c : p)
        if (c == '\\') c = '/';
    return p;
}

static void FillDate(time_t t, DateTimeRecord *out)
{
    struct tm local;
    localtime_r(&t, &local);
    *out = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

// The next directory entry matching the pattern; true when one was found.
static bool NextMatch(HostFindState *state, FileFindInfo *out)
{
    while (struct dirent *e = readdir(state->dir)) {
        if (fnmatch(state->pattern.c_str(), e->d_name, FNM_CASEFOLD) != 0) continue;
        if (out) {
            std::memset(out, 0, sizeof *out);
            std::strncpy(out->name, e->d_name, sizeof out->name - 1);
            struct stat st;
            std::string full = state->folder + e->d_name;
            if (stat(full.c_str(), &st) == 0) {
                out->directory = S_ISDIR(st.st_mode) ? 1 : 0;
                out->sizeLow = (DWORD)st.st_size;
                out->sizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
                FillDate(st.st_mtime, &out->creationTime);
                FillDate(st.st_mtime, &out->lastWriteTime);
            }
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open a file for reading; null on failure
Win32FileRecord *OpenPlainFileRecord(const char *path, int, int, int)
{
    int fd = open(HostPath(path).c_str(), O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    auto *record = static_cast<Win32FileRecord *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(Win32FileRecord)));
    if (record == nullptr) {
        close(fd);
        return nullptr;
    }
    record->fd = fd;
    record->size = st.st_size > 0x7FFFFFFF ? 0x7FFFFFFF : (int)st.st_size;
    return record;
}

// Close and free the record; 0, or -1 when closing the file failed
int ClosePlainFileRecord(Win32FileRecord *record)
{
    int result = close(record->fd) == 0 ? 0 : -1;
    TrackedFree(record);
    return result;
}

// The read position
int TellPlainFile(Win32FileRecord *record)
{
    return record->position;
}

// Move the read position, kept within 0..size; 0
int SeekPlainFile(Win32FileRecord *record, int offset, int origin)
{
    int64_t target = origin == 0 ? offset
                   : origin == 1 ? (int64_t)record->position + offset
                   : origin == 2 ? (int64_t)record->size + offset
                                 : 0;
    if (target < 0) target = 0;
    if (target > record->size) target = record->size;
    record->position = (int)target;
    record->eof = 0;
    return 0;
}

// Read whole elements at the read position; the number of whole elements read
size_t ReadPlainFile(void *buffer, size_t elementSize, size_t count, Win32FileRecord *record)
{
    if (elementSize == 0) return 0;
    if (record->position >= record->size) {
        record->eof = 1;
        return 0;
    }
    size_t left = (size_t)(record->size - record->position);
    size_t n = count <= left / elementSize ? count : left / elementSize;
    if (n == 0) {
        record->eof = 1;
        return 0;
    }
    ssize_t got = pread(record->fd, buffer, n * elementSize, record->position);
    if (got <= 0) return 0;
    record->position += (int)got;
    return (size_t)got / elementSize;
}

// -1 once a read found nothing left, else 0
int IsPlainFileAtEnd(Win32FileRecord *record)
{
    return record->eof ? -1 : 0;
}

// Always idle: the stand-in reads directly
int IsPlainFileIdle(Win32FileRecord *)
{
    return 1;
}

// The file size taken at open
int GetPlainFileSize(Win32FileRecord *record)
{
    return record->size;
}

// Change the process's current folder; non-zero on success
int SetPlainDirectory(const char *path)
{
    return chdir(HostPath(path).c_str()) == 0 ? 1 : 0;
}

// The current folder into a buffer of kPlainPathCapacity; its length, 0 on failure
int GetPlainDirectory(char *buffer)
{
    if (getcwd(buffer, kPlainPathCapacity) == nullptr) return 0;
    return (int)std::strlen(buffer);
}

// Start a directory search; a find handle, or kNoFindHandle when nothing matches
uintptr_t FindFirstPlainFile(const char *pattern, FileFindInfo *out)
{
    std::string p = HostPath(pattern);
    size_t slash = p.rfind('/');
    auto *state = new HostFindState;
    state->folder = slash == std::string::npos ? "./" : p.substr(0, slash + 1);
    state->pattern = slash == std::string::npos ? p : p.substr(slash + 1);
    state->dir = opendir(state->folder.c_str());
    if (state->dir == nullptr || !NextMatch(state, out)) {
        if (state->dir) closedir(state->dir);
        delete state;
        return kNoFindHandle;
    }
    return reinterpret_cast<uintptr_t>(state);
}

// The next match; 0, or -1 when there is none
int FindNextPlainFile(uintptr_t handle, FileFindInfo *out)
{
    return NextMatch(reinterpret_cast<HostFindState *>(handle), out) ? 0 : -1;
}

// End a directory search; 0
int FindClosePlainFile(uintptr_t handle)
{
    auto *state = reinterpret_cast<HostFindState *>(handle);
    closedir(state->dir);
    delete state;
    return 0;
}

// A file time as a local date; 0, or -1 with a zeroed record
int ConvertFileTimeToLocalDate(const FILETIME *time, DateTimeRecord *out)
{
    uint64_t ticks = ((uint64_t)time->dwHighDateTime << 32) | time->dwLowDateTime;
    const uint64_t kUnixEpochTicks = 116444736000000000ull;
    if (ticks < kUnixEpochTicks) {
        *out = {};
        return -1;
    }
    FillDate((time_t)((ticks - kUnixEpochTicks) / 10000000ull), out);
    return 0;
}

}  // namespace Korvo
