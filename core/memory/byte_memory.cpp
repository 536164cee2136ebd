// Plain byte and int memory routines over the C runtime's block operations.
#include "core/memory/byte_memory.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Set count bytes to value
int FillBytes(void *dst, int value, size_t count)
{
    if (count != 0)
        std::memset(dst, value, count);
    return 0;
}

// Write value into count ints
int FillInts(int *dst, int value, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        dst[i] = value;
    return 0;
}

// Copy count bytes of non-overlapping regions
int CopyForwardBytes(void *dst, const void *src, size_t count)
{
    if (count != 0)
        std::memcpy(dst, src, count);
    return static_cast<int>(count);
}

// Copy count bytes between regions that may overlap
int MoveBytesOverlapSafe(void *dst, const void *src, size_t count)
{
    if (count != 0 && dst != src)
        std::memmove(dst, src, count);
    return static_cast<int>(count);
}

// 0 when the first count bytes are equal
int CompareBytes(const void *a, const void *b, size_t count)
{
    if (count == 0)
        return 0;
    return std::memcmp(a, b, count) == 0 ? 0 : 1;
}

} // namespace Korvo
