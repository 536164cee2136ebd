// The tracked allocator's heap in the host build: the C heap.

#include "core/memory/process_heap.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// malloc; a zero-byte request still gets a block
void *AllocProcessHeapBlock(size_t bytes)
{
    return std::malloc(bytes != 0 ? bytes : 1);
}

// calloc
void *AllocProcessHeapBlockZeroed(size_t bytes)
{
    return std::calloc(bytes != 0 ? bytes : 1, 1);
}

// realloc, zero-filling the bytes past the old block's end as the process heap does
void *ReallocProcessHeapBlockZeroed(void *block, size_t bytes)
{
    if (block == nullptr) {
        return AllocProcessHeapBlockZeroed(bytes);
    }
    size_t oldBytes = malloc_usable_size(block);
    void *moved = std::realloc(block, bytes != 0 ? bytes : 1);
    if (moved != nullptr && bytes > oldBytes) {
        std::memset(static_cast<unsigned char *>(moved) + oldBytes, 0, bytes - oldBytes);
    }
    return moved;
}

// free
void FreeProcessHeapBlock(void *block)
{
    std::free(block);
}

} // namespace Korvo
