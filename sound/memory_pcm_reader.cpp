// Block delivery of PCM that a reader converted whole into memory (the
// media-graph reader): blocks are copies, seeking moves the read position.

#include "sound/sound_decode.h"

#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Copy the next block's bytes
int ReadMemoryPcmBlock(AudioDecodeState *state)
{
    int left = state->memory.used - state->memory.readPosition;
    int take = left < state->blockSize ? left : state->blockSize;
    if (take <= 0) {
        return 0;
    }
    std::memcpy(state->block, state->memory.pcm + state->memory.readPosition, static_cast<size_t>(take));
    state->memory.readPosition += take;
    return take;
}

// Move the read position to the frame (the end at most)
int SeekMemoryPcmFrame(AudioDecodeState *state, int frame)
{
    int64_t offset = static_cast<int64_t>(frame) * state->format.blockAlign;
    state->memory.readPosition = offset < state->memory.used ? static_cast<int>(offset) : state->memory.used;
    return 0;
}

// All of it
int MemoryPcmLengthBytes(AudioDecodeState *state)
{
    return state->memory.used;
}

void EndMemoryPcmReader(AudioDecodeState *state)
{
    TrackedFree(state->memory.pcm);
    std::memset(&state->memory, 0, sizeof(state->memory));
}

} // namespace Korvo
