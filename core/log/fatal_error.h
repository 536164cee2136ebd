// The library's fatal exit.
#pragma once

namespace Korvo {

// Log the message and an empty line, end the library and end the process with -1
[[noreturn]] void AbortWithFatalError(const char *message);
// Format (printf rules, cut to 1,023 bytes) and call AbortWithFatalError
[[noreturn]] void AbortWithFatalErrorFmt(const char *format, ...);

// What ends the library before the process ends; the shell installs it at start-up
typedef void (*FatalShutdownHandler)();
// Install the handler (null: none); it runs only on the main thread
void SetFatalShutdownHandler(FatalShutdownHandler handler);

} // namespace Korvo
