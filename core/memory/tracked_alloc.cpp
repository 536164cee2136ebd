// Tracked allocator: guarded blocks in one list, with totals and a dump.
//
// A block is [header | user area | trailing copy]. The header's guarded part
// (name tail, serial, line, size, links) is repeated inside the header and after
// the user area; freeing a block compares all three and ends the process on a
// mismatch. Every operation runs under one recursive lock, created on first use.

#include "core/memory/tracked_alloc.h"

#include "core/log/error_log.h"
#include "core/memory/process_heap.h"
#include "core/memory/tracked_block_index.h"
#include "core/threads/section_lock.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr size_t kHeaderBytes = sizeof(TrackedBlockHeader);
constexpr size_t kNameTailBytes = sizeof(TrackedBlockHeader::nameTail);
constexpr unsigned char kNameFillByte = 0xA5;
// Exit code of a process ended by a damaged block.
constexpr int kCorruptionExitCode = 3;

static_assert(sizeof(TrackedBlockHeader::copyInHeader) == kTrackedGuardBytes,
              "the in-header copy must cover the guarded fields exactly");

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static CRITICAL_SECTION MemoryLock;
static int MemoryLockReady = 0;
static TrackedBlockHeader *NewestBlock = nullptr;
// Oldest end of the list: a block of size 0 in static storage, trailing copy included.
alignas(16) static unsigned char SentinelStorage[kTrackedBlockOverhead];
static uint16_t NextSerial = 0;
static int TotalUserBytes = 0;
static int LiveBlockCount = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static TrackedBlockHeader *Sentinel()
{
    return reinterpret_cast<TrackedBlockHeader *>(SentinelStorage);
}

static void LockMemory()
{
    if (MemoryLockReady == 0) {
        InitSectionLock(&MemoryLock);
        MemoryLockReady = 1;
    }
    AcquireSectionLock(&MemoryLock);
}

static void UnlockMemory()
{
    ReleaseSectionLock(&MemoryLock);
}

static unsigned char *UserAreaOf(const TrackedBlockHeader *header)
{
    return reinterpret_cast<unsigned char *>(const_cast<TrackedBlockHeader *>(header)) + kHeaderBytes;
}

static TrackedBlockHeader *HeaderOf(void *pointer)
{
    return reinterpret_cast<TrackedBlockHeader *>(static_cast<unsigned char *>(pointer) - kHeaderBytes);
}

// Rewrite both copies of the guarded part from the header.
static void RefreshCopies(TrackedBlockHeader *header)
{
    std::memcpy(header->copyInHeader, header, kTrackedGuardBytes);
    std::memcpy(UserAreaOf(header) + header->size, header, kTrackedGuardBytes);
}

// 0xA5 fill, then the last 15 characters of the name (all of a shorter one) with its terminator.
static void StoreNameTail(TrackedBlockHeader *header, const char *file)
{
    std::memset(header->nameTail, kNameFillByte, kNameTailBytes);
    if (file == nullptr) {
        header->nameTail[0] = '\0';
        return;
    }
    size_t length = std::strlen(file);
    const char *tail = length >= kNameTailBytes - 1 ? file + length - (kNameTailBytes - 1) : file;
    std::memcpy(header->nameTail, tail, std::strlen(tail) + 1);
}

// Size of the heap block for a user size; false when it cannot be represented.
static bool HeapBytesFor(size_t size, size_t *bytes)
{
    if (size > static_cast<size_t>(INT_MAX) - kTrackedBlockOverhead) {
        return false;
    }
    *bytes = size + kTrackedBlockOverhead;
    return true;
}

// Log "mem alloc  " and the like with the block line, for blocks of size 0 only.
static void LogBlockOperation(const char *label, const TrackedBlockHeader *header)
{
    if (header->size == 0) {
        AppendLogText(label);
        LogTrackedBlock(header, 1);
    }
}

// One hex line of 32 guarded bytes (the first 32 when the guarded part is longer).
static void LogGuardBytes(const char *label, const unsigned char *b)
{
    AppendLogLineFormat("%s%02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x"
                        "    %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x",
                        label, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
                        b[13], b[14], b[15], b[16], b[17], b[18], b[19], b[20], b[21], b[22], b[23], b[24], b[25],
                        b[26], b[27], b[28], b[29], b[30], b[31]);
}

// A header-shaped copy of guarded bytes, for logging a copy as if it were a header.
static TrackedBlockHeader HeaderFromCopy(const unsigned char *copy)
{
    TrackedBlockHeader header;
    std::memcpy(&header, copy, kTrackedGuardBytes);
    std::memcpy(header.copyInHeader, copy, kTrackedGuardBytes);
    return header;
}

// Report a damaged block and end the process. The trailing copy is located
// through the size field only when the header agrees with its in-header copy.
[[noreturn]] static void ReportDamagedBlock(const TrackedBlockHeader *header, const unsigned char *trailingCopy)
{
    AppendLogText("以下のメモリ確保情報が破損しました、強制終了します\n");
    LogGuardBytes("HEAD  BASE:", reinterpret_cast<const unsigned char *>(header));
    LogGuardBytes("HEAD TEMP1:", header->copyInHeader);
    if (trailingCopy != nullptr) {
        LogGuardBytes("HEAD TEMP2:", trailingCopy);
    } else {
        AppendLogText("HEAD TEMP2: (サイズ情報が破損しているため読み取りません)\n");
    }
    LogTrackedBlock(header, 0);
    TrackedBlockHeader firstCopy = HeaderFromCopy(header->copyInHeader);
    LogTrackedBlock(&firstCopy, 0);
    if (trailingCopy != nullptr) {
        TrackedBlockHeader secondCopy = HeaderFromCopy(trailingCopy);
        LogTrackedBlock(&secondCopy, 0);
    }
    std::_Exit(kCorruptionExitCode);
}

// A pointer that is no live block (freed already, or never handed out) is
// reported without reading anything at it, and the process ends.
[[noreturn]] static void ReportUnknownBlock(const void *pointer)
{
    AppendLogText("以下のメモリ確保情報が破損しました、強制終了します\n");
    AppendLogLineFormat("解放済みか確保されていないメモリです  addr:%08x",
                        static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)));
    std::_Exit(kCorruptionExitCode);
}

// The header of a user pointer, once the list of live blocks knows it.
static TrackedBlockHeader *LiveHeaderOf(void *pointer)
{
    TrackedBlockHeader *header = HeaderOf(pointer);
    if (!IsLiveTrackedBlock(header)) {
        ReportUnknownBlock(pointer);
    }
    return header;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Allocate a guarded block and link it as the newest
void *TrackedAlloc(size_t size, const char *file, int line)
{
    LockMemory();
    size_t bytes = 0;
    TrackedBlockHeader *header = nullptr;
    if (HeapBytesFor(size, &bytes)) {
        header = static_cast<TrackedBlockHeader *>(AllocProcessHeapBlock(bytes));
    }
    if (header != nullptr && !AddLiveTrackedBlock(header)) {
        FreeProcessHeapBlock(header);
        header = nullptr;
    }
    if (header == nullptr) {
        DumpTrackedBlocks();
        VerifyAllTrackedBlocks();
        UnlockMemory();
        return nullptr;
    }
    header->size = static_cast<int>(size);
    StoreNameTail(header, file);
    header->line = static_cast<uint16_t>(line);
    header->serial = NextSerial++;

    if (NewestBlock == nullptr) {
        NewestBlock = Sentinel();
    }
    TrackedBlockHeader *older = NewestBlock;
    older->newer = header;
    header->older = older;
    header->newer = nullptr;
    NewestBlock = header;
    RefreshCopies(header);
    RefreshCopies(older);

    TotalUserBytes += static_cast<int>(size);
    LiveBlockCount += 1;
    LogBlockOperation("mem alloc  ", header);
    UnlockMemory();
    return UserAreaOf(header);
}

// Allocate a guarded block with its user area zero-filled
void *TrackedAllocZeroed(size_t size, const char *file, int line)
{
    void *pointer = TrackedAlloc(size, file, line);
    if (pointer != nullptr) {
        std::memset(pointer, 0, size);
    }
    return pointer;
}

// Resize a block (it may move); the old block stays valid on failure
void *TrackedRealloc(void *pointer, size_t size, const char *file, int line)
{
    if (pointer == nullptr) {
        return TrackedAlloc(size, file, line);
    }
    LockMemory();
    TrackedBlockHeader *header = LiveHeaderOf(pointer);
    int oldSize = header->size;
    if (size != static_cast<size_t>(oldSize)) {
        size_t bytes = 0;
        TrackedBlockHeader *moved = nullptr;
        if (HeapBytesFor(size, &bytes)) {
            moved = static_cast<TrackedBlockHeader *>(ReallocProcessHeapBlockZeroed(header, bytes));
        }
        if (moved == nullptr) {
            DumpTrackedBlocks();
            UnlockMemory();
            return nullptr;
        }
        if (moved != header) {
            // Removing first leaves room, so adding cannot fail.
            RemoveLiveTrackedBlock(header);
            AddLiveTrackedBlock(moved);
        }
        header = moved;
    }
    StoreNameTail(header, file);
    header->line = static_cast<uint16_t>(line);
    header->serial = NextSerial++;

    header->older->newer = header;
    if (header->newer != nullptr) {
        header->newer->older = header;
    } else {
        NewestBlock = header;
    }
    TotalUserBytes += static_cast<int>(size) - oldSize;
    header->size = static_cast<int>(size);
    RefreshCopies(header);
    RefreshCopies(header->older);
    if (header->newer != nullptr) {
        RefreshCopies(header->newer);
    }
    LogBlockOperation("mem realloc  ", header);
    UnlockMemory();
    return UserAreaOf(header);
}

// Check a block's guards, unlink it and return it to the heap
void TrackedFree(void *pointer)
{
    if (pointer == nullptr) {
        return;
    }
    LockMemory();
    TrackedBlockHeader *header = LiveHeaderOf(pointer);
    TotalUserBytes -= header->size;
    LiveBlockCount -= 1;
    VerifyTrackedBlock(header);

    TrackedBlockHeader *older = header->older;
    TrackedBlockHeader *newer = header->newer;
    if (older != nullptr) {
        older->newer = newer;
    }
    if (newer != nullptr) {
        newer->older = older;
    }
    if (NewestBlock == header) {
        NewestBlock = older;
    }
    if (older != nullptr) {
        RefreshCopies(older);
    }
    if (newer != nullptr) {
        RefreshCopies(newer);
    }
    LogBlockOperation("mem free  ", header);
    RemoveLiveTrackedBlock(header);
    FreeProcessHeapBlock(header);
    UnlockMemory();
}

// Log every live block, newest first, then the totals
int DumpTrackedBlocks()
{
    LockMemory();
    AppendLogText("\n");
    AppendLogText("Alloc memory dump\n");
    for (TrackedBlockHeader *block = NewestBlock; block != nullptr && block != Sentinel(); block = block->older) {
        LogTrackedBlock(block, 1);
    }
    LogTrackedTotals();
    AppendLogText("\n");
    UnlockMemory();
    return 0;
}

// Log the byte and block totals
int LogTrackedTotals()
{
    return AppendLogLineFormat("\tTotal size:%d(%.3fkb)  Alloc num:%d", TotalUserBytes, TotalUserBytes / 1024.0,
                               LiveBlockCount);
}

// Log one block line, with up to 16 bytes of its data when withData is set
int LogTrackedBlock(const TrackedBlockHeader *header, int withData)
{
    // The name field of a damaged header may lack its terminator.
    char name[kNameTailBytes + 1];
    size_t nameLength = strnlen(header->nameTail, kNameTailBytes);
    std::memcpy(name, header->nameTail, nameLength);
    name[nameLength] = '\0';

    const unsigned char *data = UserAreaOf(header);
    char line[512];
    int length = std::snprintf(line, sizeof(line),
                               "\tsize:%10d(%10.3fkb)  file:%-26s  line:%-5d  ID:%-5d  addr:%08x", header->size,
                               header->size / 1024.0, name, header->line, header->serial,
                               static_cast<unsigned>(reinterpret_cast<uintptr_t>(data)));
    size_t used = length > 0 ? static_cast<size_t>(length) : 0;
    if (withData == 0) {
        std::snprintf(line + used, sizeof(line) - used, "\n");
        return AppendLogText(line);
    }
    int shown = header->size < 16 ? header->size : 16;
    if (shown < 0) {
        shown = 0;
    }
    used += std::snprintf(line + used, sizeof(line) - used, "  data:<");
    for (int i = 0; i < shown; ++i) {
        line[used++] = (data[i] >= 0x20 && data[i] <= 0x7F) ? static_cast<char>(data[i]) : '.';
    }
    used += std::snprintf(line + used, sizeof(line) - used, "> [");
    for (int i = 0; i < shown; ++i) {
        used += std::snprintf(line + used, sizeof(line) - used, "%02x ", data[i]);
    }
    // The last blank of the hex list becomes the closing bracket.
    if (shown > 0) {
        --used;
    }
    std::snprintf(line + used, sizeof(line) - used, "]\n");
    return AppendLogText(line);
}

// 0 when the header matches both copies; otherwise reports the block and ends the process
int VerifyTrackedBlock(const TrackedBlockHeader *header)
{
    // The size field locates the trailing copy, so it is trusted only once the
    // header agrees with the copy inside it.
    if (std::memcmp(header, header->copyInHeader, kTrackedGuardBytes) != 0 || header->size < 0) {
        ReportDamagedBlock(header, nullptr);
    }
    const unsigned char *trailingCopy = UserAreaOf(header) + header->size;
    if (std::memcmp(header, trailingCopy, kTrackedGuardBytes) != 0) {
        ReportDamagedBlock(header, trailingCopy);
    }
    return 0;
}

// Verify every live block
int VerifyAllTrackedBlocks()
{
    LockMemory();
    for (TrackedBlockHeader *block = NewestBlock; block != nullptr && block != Sentinel(); block = block->older) {
        VerifyTrackedBlock(block);
    }
    UnlockMemory();
    return 0;
}

} // namespace Korvo
