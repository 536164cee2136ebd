// What the portable sound code needs of the window and the machine; the
// Windows build takes it from the core runtime, the host build from stand-ins.
#pragma once

#include "core/threads/thread_record.h"

namespace Korvo {

// One pass of the message pump without the API lock; 0, or -1 once the application ends
int PumpMessagesForSound();
// Wait while the application is inactive (only when the library must wait)
void WaitWhileAppInactiveForSound();
// Logical processors recorded at start-up
int GetSoundMachineProcessorCount();
// Run the thread at time-critical priority
void RaiseSoundThreadPriority(ThreadRecord *record);
// 1 when loads queue their work to the asynchronous-load workers
int GetSoundLoadInBackgroundFlag();

} // namespace Korvo
