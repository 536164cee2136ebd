// The per-frame message pump and the waits built on it.
#pragma once

#include "core/public_api.h"

namespace Korvo {

// The pump without the lock (shut-down and waits); 0 or -1
int ServiceMessageQueueUnlocked();
// 1 when a caller should wait for the window to become active
int ShouldWaitWhileInactive();
// Wait, pumping, while the window is inactive or minimised
void BlockUntilAppActive();

} // namespace Korvo
