// The sound tests' heap: C heap blocks with their size in front (a resize
// zero-fills its growth, as the process heap does), one refusal on request, an
// optional ceiling on block sizes, and a count of the blocks held.

#include "refusing_heap.h"

#include "core/memory/process_heap.h"
#include "core/memory/tracked_alloc.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Room in front of each block for its size; keeps the C heap's alignment.
constexpr size_t kSizeRoom = 16;

std::atomic<size_t> RefusedHeapBytes{0};
std::atomic<size_t> HeapCeilingBytes{0};
std::atomic<int> Refusals{0};
std::atomic<int> LiveBlocks{0};

bool RefuseNow(size_t bytes)
{
    size_t ceiling = HeapCeilingBytes;
    if (ceiling != 0 && bytes > ceiling) {
        ++Refusals;
        return true;
    }
    size_t armed = bytes;
    if (bytes == 0 || !RefusedHeapBytes.compare_exchange_strong(armed, 0)) {
        return false;
    }
    ++Refusals;
    return true;
}

void *UserPart(void *raw, size_t bytes)
{
    if (raw == nullptr) {
        return nullptr;
    }
    ++LiveBlocks;
    std::memcpy(raw, &bytes, sizeof(bytes));
    return static_cast<unsigned char *>(raw) + kSizeRoom;
}

unsigned char *RawPart(void *block)
{
    return static_cast<unsigned char *>(block) - kSizeRoom;
}

} // namespace

namespace RefusingHeap {

void RefuseNextTrackedBlock(size_t userBytes)
{
    RefusedHeapBytes = userBytes + Korvo::kTrackedBlockOverhead;
}

void RefuseTrackedBlocksOver(size_t userBytes)
{
    HeapCeilingBytes = userBytes != 0 ? userBytes + Korvo::kTrackedBlockOverhead : 0;
}

int TakeRefusalCount()
{
    return Refusals.exchange(0);
}

int LiveBlockCount()
{
    return LiveBlocks;
}

} // namespace RefusingHeap

namespace Korvo {

void *AllocProcessHeapBlock(size_t bytes)
{
    return RefuseNow(bytes) ? nullptr : UserPart(std::malloc(bytes + kSizeRoom), bytes);
}

void *AllocProcessHeapBlockZeroed(size_t bytes)
{
    return RefuseNow(bytes) ? nullptr : UserPart(std::calloc(bytes + kSizeRoom, 1), bytes);
}

void *ReallocProcessHeapBlockZeroed(void *block, size_t bytes)
{
    if (block == nullptr) {
        return AllocProcessHeapBlockZeroed(bytes);
    }
    void *moved = AllocProcessHeapBlockZeroed(bytes);
    if (moved != nullptr) {
        size_t old = 0;
        std::memcpy(&old, RawPart(block), sizeof(old));
        std::memcpy(moved, block, old < bytes ? old : bytes);
        std::free(RawPart(block));
        --LiveBlocks;
    }
    return moved;
}

void FreeProcessHeapBlock(void *block)
{
    if (block != nullptr) {
        std::free(RawPart(block));
        --LiveBlocks;
    }
}

} // namespace Korvo
