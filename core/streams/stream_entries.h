// The default (archive-aware) stream set: streams that read a KVA archive member
// when a folder of the path has an archive, else a plain file.
#pragma once

#include "core/public_api.h"

#include "core/streams/stream_table.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kMaxOpenStreams = 32768;
// Stream handles of this set are the entry index OR this mark, so 0 is never one.
constexpr uint32_t kStreamHandleMark = 0xF0000000u;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Number of streams open in this set
int GetOpenStreamCount();

}  // namespace Korvo
