// The fatal exit of the host build: there is no library life to end, so it logs
// the message and ends the process with -1 at once.

#include "core/log/fatal_error.h"

#include "core/log/error_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Log the message and an empty line, then end the process with -1
void AbortWithFatalError(const char *message)
{
    AppendLogText(message);
    AppendLogText("\n");
    std::_Exit(-1);
}

// The host build has no library life to end
void SetFatalShutdownHandler(FatalShutdownHandler)
{
}

// Format into 1,024 bytes (cut when longer) and abort with the text
void AbortWithFatalErrorFmt(const char *format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    AbortWithFatalError(text);
}

} // namespace Korvo
