// The set of live tracked blocks, by header address.
//
// The tracked allocator asks it whether a pointer it is given is a block it
// handed out and has not taken back, before it reads that block's header: a
// freed or foreign pointer must not be read. An open-addressing table on the
// process heap (not tracked itself); the caller holds the memory lock.
#pragma once

namespace Korvo {

// Add a block; false when the table cannot grow
bool AddLiveTrackedBlock(const void *header);
// Remove a block; false when it was not live
bool RemoveLiveTrackedBlock(const void *header);
// Whether a block is live
bool IsLiveTrackedBlock(const void *header);

} // namespace Korvo
