// The set of live tracked blocks: linear probing over header addresses, with
// backward-shift removal so that no tombstones pile up.

#include "core/memory/tracked_block_index.h"

#include "core/memory/process_heap.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr size_t kFirstCapacity = 1024; // a power of two

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static const void **Slots = nullptr;
static size_t Capacity = 0;
static size_t LiveCount = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static size_t HomeSlot(const void *header, size_t capacity)
{
    uint64_t bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(header)) >> 4;
    return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 20) & (capacity - 1);
}

static size_t FindSlot(const void *header)
{
    size_t slot = HomeSlot(header, Capacity);
    while (Slots[slot] != nullptr && Slots[slot] != header) {
        slot = (slot + 1) & (Capacity - 1);
    }
    return slot;
}

// Move every entry into a table twice as large (or the first one).
static bool Grow()
{
    size_t capacity = Capacity == 0 ? kFirstCapacity : Capacity * 2;
    const void **slots = static_cast<const void **>(AllocProcessHeapBlockZeroed(capacity * sizeof(void *)));
    if (slots == nullptr) {
        return false;
    }
    for (size_t i = 0; i < Capacity; ++i) {
        if (Slots[i] != nullptr) {
            size_t slot = HomeSlot(Slots[i], capacity);
            while (slots[slot] != nullptr) {
                slot = (slot + 1) & (capacity - 1);
            }
            slots[slot] = Slots[i];
        }
    }
    if (Slots != nullptr) {
        FreeProcessHeapBlock(Slots);
    }
    Slots = slots;
    Capacity = capacity;
    return true;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Add, growing at half load
bool AddLiveTrackedBlock(const void *header)
{
    if ((LiveCount + 1) * 2 > Capacity && !Grow()) {
        return false;
    }
    size_t slot = FindSlot(header);
    if (Slots[slot] == nullptr) {
        Slots[slot] = header;
        LiveCount += 1;
    }
    return true;
}

// Remove, shifting back the entries that probed past the freed slot
bool RemoveLiveTrackedBlock(const void *header)
{
    if (Capacity == 0) {
        return false;
    }
    size_t hole = FindSlot(header);
    if (Slots[hole] == nullptr) {
        return false;
    }
    Slots[hole] = nullptr;
    LiveCount -= 1;
    for (size_t next = (hole + 1) & (Capacity - 1); Slots[next] != nullptr; next = (next + 1) & (Capacity - 1)) {
        size_t home = HomeSlot(Slots[next], Capacity);
        // The entry may move into the hole unless its home lies after the hole, up to it.
        bool homeBetween = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (!homeBetween) {
            Slots[hole] = Slots[next];
            Slots[next] = nullptr;
            hole = next;
        }
    }
    return true;
}

// Look up
bool IsLiveTrackedBlock(const void *header)
{
    return Capacity != 0 && Slots[FindSlot(header)] != nullptr;
}

} // namespace Korvo
