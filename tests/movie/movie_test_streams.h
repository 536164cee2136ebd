// A stream function table over bytes in memory, so the Theora player reads
// test movies without files.
#pragma once

#include "core/streams/stream_table.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace MovieTestStreams {

// The table; its stream handles come from OpenBytes
const Korvo::StreamFunctionTable *MemoryTable();
// A stream over bytes the caller keeps; closed with CloseBytes
Korvo::StreamHandle OpenBytes(const std::vector<uint8_t> &bytes);
void CloseBytes(Korvo::StreamHandle stream);
// While held, every read waits (a reader stuck on its file)
void HoldReads(bool held);
// Run gate at the start of every read until cleared with null (set and clear
// it while no other thread reads)
void SetReadGate(std::function<void()> gate);

} // namespace MovieTestStreams
