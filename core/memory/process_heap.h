// The heap under the tracked allocator.
//
// Windows: the process heap. Host build: the C heap. Nothing but the tracked
// allocator should call these directly.
#pragma once

#include <cstddef>

namespace Korvo {

// A block of bytes, contents undefined; null on failure
void *AllocProcessHeapBlock(size_t bytes);
// A block of bytes, zero-filled; null on failure
void *AllocProcessHeapBlockZeroed(size_t bytes);
// Resize a block; bytes beyond the old end read as zero; null on failure (old block kept)
void *ReallocProcessHeapBlockZeroed(void *block, size_t bytes);
// Return a block to the heap; null is ignored
void FreeProcessHeapBlock(void *block);

} // namespace Korvo
