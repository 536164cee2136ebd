// The fatal exit: log, end the library and end the process with -1.
//
// On a thread other than the main thread the library is not ended: the
// shut-down would wait for the asynchronous workers (possibly this very
// thread) and destroy a window this thread does not own. The process ends
// right after the message is logged.

#include "core/log/fatal_error.h"

#include "core/log/error_log.h"
#include "core/system/win32/window_state.h"

#include <cstdarg>
#include <cstdio>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr size_t kFatalMessageCapacity = 1024;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static FatalShutdownHandler ShutdownHandler = nullptr;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Log the message, end the library when on the main thread, exit with -1
void AbortWithFatalError(const char *message)
{
    AppendLogText(message);
    AppendLogText("\n");
    bool onMainThread = WindowState.mainThreadId == 0 || WindowState.mainThreadId == GetCurrentThreadId();
    if (onMainThread && ShutdownHandler != nullptr) {
        ShutdownHandler();
    }
    ExitProcess(static_cast<UINT>(-1));
}

// Install what ends the library on a fatal error
void SetFatalShutdownHandler(FatalShutdownHandler handler)
{
    ShutdownHandler = handler;
}

// Format into at most 1,023 bytes and abort with the text
void AbortWithFatalErrorFmt(const char *format, ...)
{
    char text[kFatalMessageCapacity];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    AbortWithFatalError(text);
}

} // namespace Korvo
