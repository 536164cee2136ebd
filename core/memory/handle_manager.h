// Handle manager: every library resource is a HandleValue naming a record here.
//
// A HandleValue holds the kind (bits 26-30), a check value (bits 16-25, 0..1022)
// and the slot index (bits 0-15); -1 means no handle. The check value makes a
// stale handle (record deleted, slot reused) fail validation.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

typedef int HandleValue;

// Kinds of handles; the index into HandleTypeTable.
enum HandleKind {
    HANDLE_KIND_GRAPH = 1,
    HANDLE_KIND_SOFT_IMAGE = 2,
    HANDLE_KIND_SOUND = 3,
    HANDLE_KIND_SOFT_SOUND = 4,
    HANDLE_KIND_MUSIC = 5,
    HANDLE_KIND_MOVIE = 6,
    HANDLE_KIND_MASK = 7,
    HANDLE_KIND_FONT = 8,
    HANDLE_KIND_TEXT_INPUT = 9,
    HANDLE_KIND_NETWORK = 10,
    HANDLE_KIND_LIGHT = 11,
    HANDLE_KIND_SHADER = 12,
    HANDLE_KIND_MODEL_BASE = 13,
    HANDLE_KIND_MODEL = 14,
    HANDLE_KIND_VERTEX_BUFFER = 15,
    HANDLE_KIND_INDEX_BUFFER = 16,
    HANDLE_KIND_FILE = 17,
};

constexpr int kHandleKindCount = 32;
constexpr int kHandleKindShift = 26;
constexpr int kHandleCheckShift = 16;
constexpr int kHandleKindMask = 0x7C000000;
constexpr int kHandleCheckMask = 0x03FF0000;
constexpr int kHandleSlotMask = 0x0000FFFF;
constexpr int kHandleMaxCheckValue = 1022;

// Build a HandleValue from its parts.
constexpr HandleValue MakeHandleValue(int kind, int check, int slot) {
    return (check << kHandleCheckShift) | (kind << kHandleKindShift) | slot;
}
// The parts of a HandleValue.
constexpr int HandleKindOf(HandleValue handle) { return (handle & kHandleKindMask) >> kHandleKindShift; }
constexpr int HandleCheckOf(HandleValue handle) { return (handle & kHandleCheckMask) >> kHandleCheckShift; }
constexpr int HandleSlotOf(HandleValue handle) { return handle & kHandleSlotMask; }

// Link of a doubly linked chain of records; sentinels hold handle -1 and no data.
struct HandleChainNode {
    HandleValue handle;
    void *data;
    HandleChainNode *prev;
    HandleChainNode *next;
};

// First fields of every handle record; the kind's own fields follow.
struct HandleRecordHeader {
    int checkValue;
    HandleValue handle;
    int recordSize;
    int *ownerVariable;  // receives -1 when the record is deleted
    int pendingLoadCount;
    int unused;
    int loadJobSlot;
    HandleChainNode node;
};

// Called with a record after creation, or before deletion (1 keeps the record alive).
typedef int (*HandleRecordCallback)(void *record);
// Selects records for DeleteHandlesOfType: 0 means delete this record.
typedef int (*HandleRecordPredicate)(void *record);

// One registered kind.
struct HandleTypeEntry {
    int registered;
    void **slots;
    HandleChainNode chainHead;
    HandleChainNode chainTail;
    int kindBits;       // kind << 26
    int recordSize;
    int maxCount;
    int liveCount;
    int lowestSlot;
    int highestSlot;
    int lastCheckValue; // survives unregistration
    CRITICAL_SECTION lock;
    HandleRecordCallback initCallback;
    HandleRecordCallback deleteCallback;
    const char *displayName; // cp932
};

extern HandleTypeEntry HandleTypeTable[kHandleKindCount];

// The record of a valid handle, or null
void *LookupHandleRecord(HandleValue handle);
// 1 when a load job works on the record, 0 when none, -1 when invalid
int HasPendingLoadJob(HandleValue handle);
// Count one more load job on the record and remember its queue slot; 0 or -1
int AttachPendingLoadJob(HandleValue handle, int jobSlot);
// Count one load job less; 0 or -1
int ReleasePendingLoadJob(HandleValue handle);
// Remember a variable that receives -1 when the record is deleted; 0 or -1
int BindHandleOwnerVariable(HandleValue handle, int *variable);
// Register a kind; -1 when already registered, out of range or out of memory, else 0
int RegisterHandleType(int kind, int recordSize, int maxCount, HandleRecordCallback initCallback,
                       HandleRecordCallback deleteCallback, const char *displayName);
// Create a zero-filled record (wanted: a handle whose slot and check value to use, or -1); its handle or -1
HandleValue CreateHandleRecord(int kind, HandleValue wanted);
// Delete a record (a delete callback may keep it); 0, also when another thread
// deleted it while this call waited for its load job; -1 for a handle invalid at the call
int DeleteHandleRecord(HandleValue handle);
// Reallocate a record to newSize bytes; 0 or -1
int ResizeHandleRecord(HandleValue handle, int newSize);
// Delete every record of a kind that the predicate selects (null: all); 0 or -1
int DeleteHandlesOfType(int kind, HandleRecordPredicate predicate);
// Delete every record of a kind and clear its entry; 0 or -1
int UnregisterHandleType(int kind);
// Make an empty chain of two sentinels; 0
int InitHandleChain(HandleChainNode *head, HandleChainNode *tail);
// Fill node and link it directly after 'after'; 0
int InsertHandleChainNode(HandleChainNode *after, HandleChainNode *node, HandleValue handle, void *data);
// Unlink node from its chain; 0
int RemoveHandleChainNode(HandleChainNode *node);

} // namespace Korvo
