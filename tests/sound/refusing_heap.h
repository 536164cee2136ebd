// The heap under the tracked allocator in the sound tests (and the font tests'
// forms group): the C heap, able to refuse one block of a chosen size, so a test
// can make one of the library's allocations fail, or every block above a
// ceiling, as a 32-bit process's address space would; it counts the blocks it
// holds, so a test can see what a failure left behind. The linker takes its
// definitions in place of the library's.
#pragma once

#include <cstddef>

namespace RefusingHeap {

// Refuse the next tracked allocation of userBytes
void RefuseNextTrackedBlock(size_t userBytes);
// Refuse every tracked allocation of more than userBytes; 0 lifts the ceiling
void RefuseTrackedBlocksOver(size_t userBytes);
// Refusals since the last call
int TakeRefusalCount();
// Blocks handed out and not yet freed
int LiveBlockCount();

} // namespace RefusingHeap
