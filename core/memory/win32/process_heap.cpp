// The tracked allocator's heap on Windows: the process heap.

#include "core/memory/process_heap.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// HeapAlloc on the process heap, contents undefined
void *AllocProcessHeapBlock(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

// HeapAlloc on the process heap, zero-filled
void *AllocProcessHeapBlockZeroed(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}

// HeapReAlloc on the process heap; growth is zero-filled
void *ReallocProcessHeapBlockZeroed(void *block, size_t bytes)
{
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, bytes);
}

// HeapFree on the process heap
void FreeProcessHeapBlock(void *block)
{
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

} // namespace Korvo
