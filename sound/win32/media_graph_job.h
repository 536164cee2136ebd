// One media-graph conversion, run on a thread of its own so that a graph the
// platform never finishes building or running cannot hold the caller: the
// caller pumps messages and watches the conversion's progress, and gives up
// on it once it ends the application or makes no progress for a while. A
// thread given up on keeps the job until it ends, if it ever does, and frees
// it then.
#pragma once

#include "sound/sound_decode.h"
#include "sound/wave_format.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
// Longest time a conversion may go without progress (ms). A graph's first
// build loads the platform's decoders, which takes seconds on a busy machine.
extern int MediaGraphStallLimitMs;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct MediaGraphJob {
    LONG references;       // the caller's and the thread's
    LONG givenUp;          // 1 once the caller stopped waiting: the thread stops
    LONG progress;         // changes with every step and every sample
    HANDLE finished;       // set when the result below is in
    unsigned char *input;  // the file's bytes, whole
    int inputSize;
    MemoryPcmReaderState pcm; // the decoded PCM; the caller takes it on success
    SoundWaveFormat format;
    const char *failure;   // null, or the log text of the failure
};

// The conversion the thread runs (graph built, run, released); null, or the failure's log text
const char *ConvertJobWithMediaGraph(MediaGraphJob *job);

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// A job over the state's input, read whole; null when it cannot be made
MediaGraphJob *CreateMediaGraphJob(AudioDecodeState *state);
// Run the job on its thread and wait within the bounds; null on success (the
// PCM and format go to the state), or the failure's log text. The job is the
// thread's alone afterwards
const char *RunMediaGraphJobBounded(MediaGraphJob *job, AudioDecodeState *state);
// Count a step of the conversion
void NoteMediaGraphProgress(MediaGraphJob *job);

} // namespace Korvo
