// The library's fatal exit.
#pragma once

namespace Korvo {

// Log the message and an empty line, end the library and end the process with -1
[[noreturn]] void AbortWithFatalError(const char *message);
// Format (printf rules, cut to 1,023 bytes) and call AbortWithFatalError
[[noreturn]] void AbortWithFatalErrorFmt(const char *format, ...);

} // namespace Korvo
