// Font services that the library shell calls: the start and end of the font
// system (after graphics starts, before it ends), the re-creation of fonts
// after a device rebuild, and the on-screen log's calls.
#pragma once

#include "core/log/screen_log_backend.h"

namespace Korvo {

// Register the font kind and make the standard font; 0, or -1 when started already
int InitFontHandleSystem();
// Delete every font and unregister the kind; 0, or -1 when not started
int TermFontHandleSystem();
// Rebuild every live font under its own handle value; 0, or -1 without the kind
int RecreateAllFontHandles();
// The on-screen log's calls, drawn with fonts (for InstallScreenLogBackend)
const ScreenLogBackend *GetFontScreenLogBackend();

} // namespace Korvo
