// The platform's code-page converters, over texts of explicit length.
//
// Both behave like the Windows converters called with flags 0 and no default
// character: no terminator is added, a null output or size 0 asks for the size
// the text needs, and 0 means failure (unknown code page, output too small).
// The Windows build calls the platform; the host build has a stand-in over iconv.
#pragma once

#include "core/text/dbcs_string.h"

namespace Korvo {

// UTF-16 units to code-page bytes; the bytes written (or needed), 0 on failure
int PlatformWideToMultiByte(unsigned codePage, const WideChar *text, int length,
                            char *output, int outputSize);
// Code-page bytes to UTF-16 units; the units written (or needed), 0 on failure
int PlatformMultiByteToWide(unsigned codePage, const char *text, int length,
                            WideChar *output, int outputSize);

} // namespace Korvo
