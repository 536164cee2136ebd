// The platform's code-page converters (Windows build).
#include "core/text/code_page_platform.h"

#include <windows.h>

namespace Korvo {

// UTF-16 units to code-page bytes
int PlatformWideToMultiByte(unsigned codePage, const WideChar *text, int length,
                            char *output, int outputSize)
{
    if (length <= 0)
        return 0;
    return WideCharToMultiByte(codePage, 0, text, length, output, output ? outputSize : 0,
                               nullptr, nullptr);
}

// Code-page bytes to UTF-16 units
int PlatformMultiByteToWide(unsigned codePage, const char *text, int length,
                            WideChar *output, int outputSize)
{
    if (length <= 0)
        return 0;
    return MultiByteToWideChar(codePage, 0, text, length, output, output ? outputSize : 0);
}

} // namespace Korvo
