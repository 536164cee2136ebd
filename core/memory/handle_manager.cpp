// Handle manager: kinds of records, their slots, chains and check values.
//
// Lookups take no lock; creation, deletion and resizing hold the kind's lock.
// Records come zero-filled from the tracked allocator.

#include "core/memory/handle_manager.h"

#include "core/threads/async_load.h"
#include "core/log/error_log.h"
#include "core/threads/section_lock.h"
#include "core/threads/thread_record.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Slot indices are 16 bits wide.
constexpr int kMaxSlotsPerKind = 0x10000;
// RemoveAsyncLoadJob's answer for a job that has already started.
constexpr int kAsyncJobAlreadyStarted = -2;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

HandleTypeEntry HandleTypeTable[kHandleKindCount];

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsKindInRange(int kind)
{
    return kind >= 0 && kind < kHandleKindCount;
}

// The pending-load count, read atomically (jobs change it on their own threads).
static int PendingLoadCount(HandleRecordHeader *record)
{
    return __atomic_load_n(&record->pendingLoadCount, __ATOMIC_ACQUIRE);
}

static HandleRecordHeader *RecordHeader(void *record)
{
    return static_cast<HandleRecordHeader *>(record);
}

// The record of a valid handle, or null; no lock.
static HandleRecordHeader *ValidatedRecord(HandleValue handle)
{
    if (handle < 0) {
        return nullptr;
    }
    HandleTypeEntry &entry = HandleTypeTable[HandleKindOf(handle)];
    if (entry.registered == 0 || (handle & kHandleKindMask) != entry.kindBits) {
        return nullptr;
    }
    int slot = HandleSlotOf(handle);
    if (slot >= entry.maxCount || entry.slots[slot] == nullptr) {
        return nullptr;
    }
    HandleRecordHeader *record = RecordHeader(entry.slots[slot]);
    if (record->checkValue != HandleCheckOf(handle)) {
        return nullptr;
    }
    return record;
}

// Runs change on the handle's record while holding its kind's lock; -1 when the
// handle is not valid (then nothing runs)
template <typename Change>
static int ChangeRecordUnderKindLock(HandleValue handle, Change change)
{
    if (handle < 0 || HandleTypeTable[HandleKindOf(handle)].registered == 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[HandleKindOf(handle)];
    AcquireSectionLock(&entry.lock);
    HandleRecordHeader *record = ValidatedRecord(handle);
    if (record != nullptr) {
        change(record);
    }
    ReleaseSectionLock(&entry.lock);
    return record != nullptr ? 0 : -1;
}

// Clear an entry except for its last check value.
static void ClearTypeEntry(HandleTypeEntry &entry)
{
    int lastCheckValue = entry.lastCheckValue;
    std::memset(static_cast<void *>(&entry), 0, sizeof(entry));
    entry.lastCheckValue = lastCheckValue;
}

// Slot for a new record (the kind's lock is held and a slot is free).
static int ChooseFreeSlot(const HandleTypeEntry &entry, HandleValue wanted)
{
    if (wanted != -1 && entry.slots[HandleSlotOf(wanted)] == nullptr) {
        return HandleSlotOf(wanted);
    }
    if (entry.liveCount == 0) {
        return 0;
    }
    if (entry.highestSlot + 1 < entry.maxCount) {
        return entry.highestSlot + 1;
    }
    if (entry.lowestSlot >= 2) {
        return entry.lowestSlot - 1;
    }
    int slot = 0;
    while (entry.slots[slot] != nullptr) {
        ++slot;
    }
    return slot;
}

// Whether a record of the kind other than record waits for the same load job (the
// kind's lock is held): a job that loads into several records, such as a divided
// graph, must not be dropped for one of them, as it would leave the others unmade.
static bool ShareOneLoadJob(const HandleTypeEntry &entry, HandleRecordHeader *record)
{
    if (record->loadJobSlot < 0) {
        return false;
    }
    for (int slot = entry.lowestSlot; slot <= entry.highestSlot; ++slot) {
        HandleRecordHeader *other = RecordHeader(entry.slots[slot]);
        if (other != nullptr && other != record && PendingLoadCount(other) != 0 &&
            other->loadJobSlot == record->loadJobSlot) {
            return true;
        }
    }
    return false;
}

// After a job was dropped before it started: no record of the kind waits for it
// any more, since nothing will release them (the kind's lock is held).
static void ForgetDroppedLoadJob(HandleTypeEntry &entry, int jobSlot)
{
    for (int slot = entry.lowestSlot; slot <= entry.highestSlot; ++slot) {
        HandleRecordHeader *record = RecordHeader(entry.slots[slot]);
        if (record != nullptr && PendingLoadCount(record) != 0 && record->loadJobSlot == jobSlot) {
            __atomic_store_n(&record->pendingLoadCount, 0, __ATOMIC_RELEASE);
        }
    }
}

// Take a record out of its slot and chain and free it (the kind's lock is held).
static void FreeRecordInSlot(HandleTypeEntry &entry, int slot)
{
    HandleRecordHeader *record = RecordHeader(entry.slots[slot]);
    RemoveHandleChainNode(&record->node);
    TrackedFree(record);
    entry.slots[slot] = nullptr;
    entry.liveCount -= 1;
    if (entry.liveCount == 0) {
        entry.lowestSlot = 0;
        entry.highestSlot = 0;
        return;
    }
    if (slot == entry.highestSlot) {
        while (entry.highestSlot > 0 && entry.slots[entry.highestSlot] == nullptr) {
            --entry.highestSlot;
        }
    }
    if (slot == entry.lowestSlot) {
        while (entry.lowestSlot < entry.maxCount - 1 && entry.slots[entry.lowestSlot] == nullptr) {
            ++entry.lowestSlot;
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The record of a valid handle, or null
void *LookupHandleRecord(HandleValue handle)
{
    return ValidatedRecord(handle);
}

// Whether load jobs work on the record
int HasPendingLoadJob(HandleValue handle)
{
    HandleRecordHeader *record = ValidatedRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    return PendingLoadCount(record) != 0 ? 1 : 0;
}

// Count a load job on the record and remember its queue slot, under the kind's lock
int AttachPendingLoadJob(HandleValue handle, int jobSlot)
{
    return ChangeRecordUnderKindLock(handle, [jobSlot](HandleRecordHeader *record) {
        __atomic_add_fetch(&record->pendingLoadCount, 1, __ATOMIC_ACQ_REL);
        record->loadJobSlot = jobSlot;
    });
}

// Count a load job less on the record, under the kind's lock: a deletion that
// holds the lock still finds the finished job in its queue slot
int ReleasePendingLoadJob(HandleValue handle)
{
    return ChangeRecordUnderKindLock(handle, [](HandleRecordHeader *record) {
        __atomic_sub_fetch(&record->pendingLoadCount, 1, __ATOMIC_ACQ_REL);
    });
}

// Remember the variable that receives -1 when the record is deleted
int BindHandleOwnerVariable(HandleValue handle, int *variable)
{
    HandleRecordHeader *record = ValidatedRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    record->ownerVariable = variable;
    return 0;
}

// Set up a kind's entry, slot array and lock
int RegisterHandleType(int kind, int recordSize, int maxCount, HandleRecordCallback initCallback,
                       HandleRecordCallback deleteCallback, const char *displayName)
{
    if (!IsKindInRange(kind) || maxCount <= 0 || maxCount > kMaxSlotsPerKind ||
        recordSize < static_cast<int>(sizeof(HandleRecordHeader))) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[kind];
    if (entry.registered != 0) {
        return -1;
    }
    ClearTypeEntry(entry);
    entry.recordSize = recordSize;
    entry.deleteCallback = deleteCallback;
    entry.initCallback = initCallback;
    entry.kindBits = kind << kHandleKindShift;
    entry.maxCount = maxCount;
    entry.displayName = displayName;
    entry.slots = static_cast<void **>(TrackedAllocZeroed(sizeof(void *) * static_cast<size_t>(maxCount), "", 0));
    if (entry.slots == nullptr) {
        return -1;
    }
    InitHandleChain(&entry.chainHead, &entry.chainTail);
    InitSectionLock(&entry.lock);
    entry.registered = 1;
    return 0;
}

// Create a zero-filled record in a free slot
HandleValue CreateHandleRecord(int kind, HandleValue wanted)
{
    if (!IsKindInRange(kind) || HandleTypeTable[kind].registered == 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[kind];
    if (wanted != -1 && (wanted < 0 || HandleSlotOf(wanted) >= entry.maxCount)) {
        return -1;
    }
    AcquireSectionLock(&entry.lock);
    if (entry.liveCount == entry.maxCount) {
        ReleaseSectionLock(&entry.lock);
        AppendLogLineFormat("%sハンドルの数が限界数( %d )に達していて新たなハンドルを作成できません",
                            entry.displayName, entry.maxCount);
        return -1;
    }
    int slot = ChooseFreeSlot(entry, wanted);
    HandleRecordHeader *record =
        static_cast<HandleRecordHeader *>(TrackedAllocZeroed(static_cast<size_t>(entry.recordSize), "", 0));
    if (record == nullptr) {
        ReleaseSectionLock(&entry.lock);
        AppendLogLineFormat("%sハンドルのデータを格納するメモリ領域の確保に失敗しました", entry.displayName);
        return -1;
    }

    int check = 0;
    if (wanted == -1) {
        check = entry.lastCheckValue + 1;
        if (check > kHandleMaxCheckValue) {
            check = 0;
        }
        entry.lastCheckValue = check;
    } else {
        check = HandleCheckOf(wanted);
    }
    record->checkValue = check;
    record->recordSize = entry.recordSize;
    record->handle = MakeHandleValue(kind, check, slot);
    entry.slots[slot] = record;

    entry.liveCount += 1;
    if (entry.liveCount == 1) {
        entry.lowestSlot = slot;
        entry.highestSlot = slot;
    } else if (slot > entry.highestSlot) {
        entry.highestSlot = slot;
    } else if (slot < entry.lowestSlot) {
        entry.lowestSlot = slot;
    }
    InsertHandleChainNode(&entry.chainHead, &record->node, record->handle, record);
    if (entry.initCallback != nullptr) {
        entry.initCallback(record);
    }
    HandleValue handle = record->handle;
    ReleaseSectionLock(&entry.lock);
    return handle;
}

// Delete a record, waiting for a load job that already runs on it
int DeleteHandleRecord(HandleValue handle)
{
    if (handle < 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[HandleKindOf(handle)];
    if (entry.registered == 0) {
        return -1;
    }
    AcquireSectionLock(&entry.lock);
    HandleRecordHeader *record = ValidatedRecord(handle);
    if (record == nullptr) {
        ReleaseSectionLock(&entry.lock);
        return -1;
    }
    if (record->ownerVariable != nullptr) {
        *record->ownerVariable = -1;
    }
    while (PendingLoadCount(record) != 0) {
        if (record->loadJobSlot >= 0 && record->loadJobSlot == GetCallingWorkerJobSlot()) {
            // The job itself deletes a record it loads: it waits for nothing more.
            __atomic_store_n(&record->pendingLoadCount, 0, __ATOMIC_RELEASE);
            break;
        }
        // A job shared with other records is waited for even before it starts
        // (unless it has gone without releasing them).
        int removed = kAsyncJobAlreadyStarted;
        if (!ShareOneLoadJob(entry, record)) {
            removed = RemoveAsyncLoadJob(record->loadJobSlot, 1);
        } else if (IsAsyncJobQueued(record->loadJobSlot) == 0) {
            removed = -1;
        }
        if (removed != kAsyncJobAlreadyStarted) {
            // Dropped before it started (or already gone): nothing will release it.
            __atomic_store_n(&record->pendingLoadCount, 0, __ATOMIC_RELEASE);
            break;
        }
        // The running job lowers the count when it ends and may need the main
        // thread meanwhile, so the kind's lock is free while we wait; the record
        // is looked at only under the lock, as someone else may delete it.
        ReleaseSectionLock(&entry.lock);
        for (;;) {
            RunMainThreadRequests();
            SleepMilliseconds(0);
            AcquireSectionLock(&entry.lock);
            record = ValidatedRecord(handle);
            if (record == nullptr) {
                // Deleted meanwhile (a failing job deletes its own record): the
                // handle was valid when the call began and is gone now.
                ReleaseSectionLock(&entry.lock);
                return 0;
            }
            // A job releases its records before it leaves its slot.
            if (PendingLoadCount(record) == 0 || IsAsyncJobQueued(record->loadJobSlot) == 0) {
                break;
            }
            ReleaseSectionLock(&entry.lock);
        }
    }
    if (entry.deleteCallback == nullptr || entry.deleteCallback(record) != 1) {
        FreeRecordInSlot(entry, HandleSlotOf(handle));
    }
    ReleaseSectionLock(&entry.lock);
    return 0;
}

// Reallocate a record to a new size
int ResizeHandleRecord(HandleValue handle, int newSize)
{
    HandleRecordHeader *record = ValidatedRecord(handle);
    if (record == nullptr || newSize < static_cast<int>(sizeof(HandleRecordHeader))) {
        return -1;
    }
    if (newSize == record->recordSize) {
        return 0;
    }
    HandleTypeEntry &entry = HandleTypeTable[HandleKindOf(handle)];
    AcquireSectionLock(&entry.lock);
    HandleRecordHeader *moved =
        static_cast<HandleRecordHeader *>(TrackedRealloc(record, static_cast<size_t>(newSize), "", 0));
    if (moved == nullptr) {
        ReleaseSectionLock(&entry.lock);
        return -1;
    }
    moved->recordSize = newSize;
    if (moved != record) {
        entry.slots[HandleSlotOf(handle)] = moved;
        moved->node.data = moved;
        moved->node.prev->next = &moved->node;
        moved->node.next->prev = &moved->node;
    }
    ReleaseSectionLock(&entry.lock);
    return 0;
}

// Delete every record of a kind that the predicate selects
int DeleteHandlesOfType(int kind, HandleRecordPredicate predicate)
{
    if (!IsKindInRange(kind) || HandleTypeTable[kind].registered == 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[kind];
    AcquireSectionLock(&entry.lock);
    for (int slot = entry.lowestSlot; slot <= entry.highestSlot; ++slot) {
        HandleRecordHeader *record = RecordHeader(entry.slots[slot]);
        if (record == nullptr || (predicate != nullptr && predicate(record) != 0)) {
            continue;
        }
        // Jobs not started yet are dropped, for every record they load into;
        // running ones keep their counts and are waited for.
        if (record->pendingLoadCount != 0) {
            int removed = RemoveAsyncLoadJob(record->loadJobSlot, 1);
            if (removed == 0) {
                ForgetDroppedLoadJob(entry, record->loadJobSlot);
            } else if (removed == -1) {
                record->pendingLoadCount = 0;
            }
        }
    }
    ReleaseSectionLock(&entry.lock);

    for (int slot = entry.lowestSlot; slot <= entry.highestSlot; ++slot) {
        // Looked at under the lock: a load job may delete a record it made meanwhile.
        AcquireSectionLock(&entry.lock);
        HandleRecordHeader *record = RecordHeader(entry.slots[slot]);
        bool selected = record != nullptr && (predicate == nullptr || predicate(record) == 0);
        HandleValue handle = selected ? record->handle : -1;
        ReleaseSectionLock(&entry.lock);
        if (selected) {
            DeleteHandleRecord(handle);
        }
    }
    return 0;
}

// Delete every record of a kind, also those a delete callback kept, and clear the entry
int UnregisterHandleType(int kind)
{
    if (!IsKindInRange(kind) || HandleTypeTable[kind].registered == 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[kind];
    DeleteHandlesOfType(kind, nullptr);
    // Records a delete callback kept alive would be lost with the slot array: free them now.
    AcquireSectionLock(&entry.lock);
    for (int slot = 0; entry.liveCount > 0 && slot < entry.maxCount; ++slot) {
        if (entry.slots[slot] != nullptr) {
            FreeRecordInSlot(entry, slot);
        }
    }
    ReleaseSectionLock(&entry.lock);
    TrackedFree(entry.slots);
    DeleteSectionLock(&entry.lock);
    ClearTypeEntry(entry);
    return 0;
}

// Make an empty chain of two sentinels
int InitHandleChain(HandleChainNode *head, HandleChainNode *tail)
{
    head->handle = -1;
    head->data = nullptr;
    head->prev = nullptr;
    head->next = tail;
    tail->handle = -1;
    tail->data = nullptr;
    tail->prev = head;
    tail->next = nullptr;
    return 0;
}

// Fill node and link it directly after 'after'
int InsertHandleChainNode(HandleChainNode *after, HandleChainNode *node, HandleValue handle, void *data)
{
    node->handle = handle;
    node->data = data;
    node->prev = after;
    node->next = after->next;
    after->next->prev = node;
    after->next = node;
    return 0;
}

// Unlink node from its chain
int RemoveHandleChainNode(HandleChainNode *node)
{
    node->prev->next = node->next;
    node->next->prev = node->prev;
    return 0;
}

} // namespace Korvo
