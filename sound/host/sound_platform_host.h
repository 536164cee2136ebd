// Knobs of the host stand-ins, for native tests and benchmarks.
#pragma once

#include "sound/sound_backend.h"

namespace Korvo {

// What the stand-in pump answers (0 running, -1 the application ends)
extern int HostSoundPumpResult;
// What the stand-in background-load flag answers
extern int HostSoundLoadInBackground;

} // namespace Korvo
