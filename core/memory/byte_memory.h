// Plain byte and int memory routines: fill, copy, move and compare.
#pragma once

#include <cstddef>

namespace Korvo {

// Set count bytes to value; 0
int FillBytes(void *dst, int value, size_t count);
// Write value into count ints; 0
int FillInts(int *dst, int value, size_t count);
// Copy count bytes of non-overlapping regions, first byte first; count
int CopyForwardBytes(void *dst, const void *src, size_t count);
// Copy count bytes between regions that may overlap; count
int MoveBytesOverlapSafe(void *dst, const void *src, size_t count);
// 0 when the first count bytes are equal (or count is 0), else 1
int CompareBytes(const void *a, const void *b, size_t count);

} // namespace Korvo
