// Tracked allocator: all library memory, with guarded headers and a list of live blocks.
//
// Each block is a header, the user area and a trailing copy of the header's
// first fields; freeing a block checks both copies, and DumpTrackedBlocks lists
// every block still alive with the source name and line its caller gave.
#pragma once

#include "core/public_api.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

// Header in front of every user area. The fields up to copyInHeader are the
// guarded part; copyInHeader and the copy after the user area repeat them.
struct TrackedBlockHeader {
    char nameTail[16];           // last 15 characters of the source name, 0xA5 fill
    uint16_t serial;             // "ID:" of the dump line
    uint16_t line;
    int size;                    // user size in bytes
    TrackedBlockHeader *older;   // next older block (the sentinel at the end)
    TrackedBlockHeader *newer;   // next newer block, null for the newest
    unsigned char copyInHeader[16 + 2 + 2 + 4 + 2 * sizeof(void *)];
};

// Bytes of the guarded part (32 on 32-bit Windows).
constexpr size_t kTrackedGuardBytes = offsetof(TrackedBlockHeader, copyInHeader);
// Bytes the allocator adds to every block (96 on 32-bit Windows).
constexpr size_t kTrackedBlockOverhead = sizeof(TrackedBlockHeader) + kTrackedGuardBytes;

// A user area of size bytes, contents undefined; null on failure
void *TrackedAlloc(size_t size, const char *file, int line);
// A zero-filled user area of size bytes; null on failure
void *TrackedAllocZeroed(size_t size, const char *file, int line);
// Resize a user area (null behaves as TrackedAlloc); null on failure with the old block kept
void *TrackedRealloc(void *pointer, size_t size, const char *file, int line);
// Free a user area after checking its guards; null is ignored
void TrackedFree(void *pointer);
// Log the byte and block totals; the log call's result
int LogTrackedTotals();
// Log one block line, with its first bytes when withData is set; the log call's result
int LogTrackedBlock(const TrackedBlockHeader *header, int withData);
// 0 when the header matches both copies; otherwise reports the block and ends the process
int VerifyTrackedBlock(const TrackedBlockHeader *header);
// Verify every live block; 0
int VerifyAllTrackedBlocks();

} // namespace Korvo

// Allocation that records the calling source file and line.
#define KORVO_TRACKED_ALLOC(size) ::Korvo::TrackedAlloc((size), __FILE__, __LINE__)
#define KORVO_TRACKED_ALLOC_ZEROED(size) ::Korvo::TrackedAllocZeroed((size), __FILE__, __LINE__)
#define KORVO_TRACKED_REALLOC(pointer, size) ::Korvo::TrackedRealloc((pointer), (size), __FILE__, __LINE__)
