// The RIFF WAVE chunk walk shared by the WAVE readers, and small input helpers
// of the readers.
#pragma once

#include "sound/sound_decode.h"

namespace Korvo {

// Read exactly bytes from the input; false on a short read
bool ReadDecodeInput(AudioDecodeState *state, void *buffer, int bytes);
// The input's size in bytes (the input is left at 0); -1 when it cannot be measured
int MeasureDecodeInput(AudioDecodeState *state);
// Read the whole input into a new tracked block; null on failure
unsigned char *ReadWholeDecodeInput(AudioDecodeState *state, int *size);
// "RIFF"/"WAVE", an optional "bext", "fmt " (its first bytes into the source
// format), then chunks up to "data"; fills the chunk positions (a data chunk cut
// to the input's end) and leaves the input at the data. false when a chunk is
// missing or one before the data runs past the input
bool WalkWaveChunks(AudioDecodeState *state);

} // namespace Korvo
