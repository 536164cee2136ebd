// printf-style formatting into caller buffers and integer-to-text conversion.
#include "core/text/dbcs_string.h"

#include <cstdio>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// printf-style formatting into buffer, truncated to bufferSize bytes
int FormatString(char *buffer, size_t bufferSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    FormatStringArgs(buffer, bufferSize, format, args);
    va_end(args);
    return 0;
}

// The same from an argument list; the length written
int FormatStringArgs(char *buffer, size_t bufferSize, const char *format, va_list args)
{
    if (buffer == nullptr || bufferSize == 0)
        return -1;
    const int wanted = std::vsnprintf(buffer, bufferSize, format, args);
    if (wanted < 0) {
        buffer[0] = 0;
        return -1;
    }
    // NOTE: a truncated text reports what is in the buffer, so callers that
    // advance by the result stay inside it.
    if (static_cast<size_t>(wanted) >= bufferSize)
        return static_cast<int>(bufferSize - 1);
    return wanted;
}

// Write value in base 2..36 (lowercase digits, "-" when negative)
char *FormatIntToString(int value, char *output, int base)
{
    if (base < 2 || base > 36) {
        output[0] = 0;
        return output;
    }
    // The magnitude in unsigned arithmetic also covers the smallest int.
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    char digits[32];
    int count = 0;
    do {
        const unsigned digit = magnitude % static_cast<unsigned>(base);
        digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= static_cast<unsigned>(base);
    } while (magnitude != 0);

    char *out = output;
    if (value < 0)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    *out = 0;
    return output;
}

} // namespace Korvo
