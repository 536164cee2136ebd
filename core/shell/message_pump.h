// The per-frame message pump and the waits built on it.
#pragma once

namespace Korvo {

// Pump window messages and the per-frame services under the API lock; 0, or -1 once quitting
int ServiceMessageQueue();
// The pump without the lock (shut-down and waits); 0 or -1
int ServiceMessageQueueUnlocked();
// 1 when a caller should wait for the window to become active
int ShouldWaitWhileInactive();
// Wait, pumping, while the window is inactive or minimised
void BlockUntilAppActive();
// Wait ms milliseconds, pumping until 4 ms before the end; 0
int WaitMillisecondsPumping(int ms);
// Wait for all input to be released and then for a press; the pressed input or 0 after a quit
int WaitForAnyInputPress();

} // namespace Korvo
