// The library's life: start-up, shut-down and the end request.
//
// A program sets its options (title, screen mode, log, window mode), calls
// StartLibrary once, ServiceMessageQueue once per frame, and ShutdownLibrary at
// the end. Both sequences run in a fixed order over every subsystem.
#pragma once

#include "core/public_api.h"

namespace Korvo {

// The start-up order; 0 or -1 (what was started is ended again)
int RunStartupSequence();
// The shut-down order; 0
int RunShutdownSequence();
// 1 once the library is started
int GetLibraryStartedFlag();
// 1 while RunStartupSequence runs
int GetStartupInProgressFlag();
// Clear the end request; 0
int ClearShutdownRequest();
// Ask the system to end; 0
int SetShutdownRequest();

} // namespace Korvo
