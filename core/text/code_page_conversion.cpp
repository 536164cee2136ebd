// Conversion of whole zero-terminated texts between UTF-16 and a code page.
//
// The platform converters fail outright when the output is too small; these
// routines instead keep the longest run of whole characters that fits, so a
// fixed buffer always ends up holding a terminated text.
#include "core/text/code_page_platform.h"
#include "core/text/dbcs_string.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int WideLength(const WideChar *text)
{
    int length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

// UTF-16 units of the character at text: 2 for a surrogate pair, else 1
static int WideCharacterUnits(const WideChar *text, int left)
{
    const unsigned first = static_cast<unsigned>(text[0]);
    if (left >= 2 && first >= 0xD800 && first < 0xDC00) {
        const unsigned second = static_cast<unsigned>(text[1]);
        if (second >= 0xDC00 && second < 0xE000)
            return 2;
    }
    return 1;
}

// Bytes of the code-page character at text (never past left bytes)
static int MultiByteCharacterBytes(unsigned codePage, const unsigned char *text, int left)
{
    int bytes = 1;
    switch (codePage) {
    case 932: bytes = IsMultiByteLeadByte(text[0], kCharSetShiftJis) ? 2 : 1; break;
    case 936:
    case 949:
    case 950: bytes = IsMultiByteLeadByte(text[0], kCharSetKorean) ? 2 : 1; break;
    case 0:
    case 1:
    case 3: bytes = IsMultiByteLeadByte(text[0], GetCharSetCode()) ? 2 : 1; break;
    case 65001:
        if (text[0] >= 0xF0)
            bytes = 4;
        else if (text[0] >= 0xE0)
            bytes = 3;
        else if (text[0] >= 0xC0)
            bytes = 2;
        break;
    default: break;
    }
    return bytes <= left ? bytes : left;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// UTF-16 text to the code page, truncated at a character to fit
int ConvertWideToMultiByte(unsigned codePage, const WideChar *text, char *output, int outputSize)
{
    if (text == nullptr || outputSize < 0)
        return 0;
    const int length = WideLength(text);
    int needed = 0;
    if (length > 0) {
        needed = PlatformWideToMultiByte(codePage, text, length, nullptr, 0);
        if (needed <= 0)
            return 0;
    }
    if (output == nullptr || outputSize == 0)
        return needed + 1;

    const int room = outputSize - 1;
    int units = length;
    if (needed > room) {
        // Whole characters only, as many as fit before the terminator.
        int used = 0;
        units = 0;
        while (units < length) {
            const int step = WideCharacterUnits(text + units, length - units);
            const int bytes = PlatformWideToMultiByte(codePage, text + units, step, nullptr, 0);
            if (bytes <= 0 || used + bytes > room)
                break;
            used += bytes;
            units += step;
        }
    }
    int written = 0;
    if (units > 0)
        written = PlatformWideToMultiByte(codePage, text, units, output, room);
    output[written] = 0;
    return written + 1;
}

// Multi-byte text to UTF-16, truncated at a character to fit
int ConvertMultiByteToWide(unsigned codePage, const char *text, WideChar *output, int outputSize)
{
    if (text == nullptr || outputSize < 0)
        return 0;
    const int length = GetStringLength(text);
    int needed = 0;
    if (length > 0) {
        needed = PlatformMultiByteToWide(codePage, text, length, nullptr, 0);
        if (needed <= 0)
            return 0;
    }
    if (output == nullptr || outputSize == 0)
        return needed + 1;

    const int room = outputSize - 1;
    int bytes = length;
    if (needed > room) {
        const unsigned char *source = reinterpret_cast<const unsigned char *>(text);
        int used = 0;
        bytes = 0;
        while (bytes < length) {
            const int step = MultiByteCharacterBytes(codePage, source + bytes, length - bytes);
            const int units = PlatformMultiByteToWide(codePage, text + bytes, step, nullptr, 0);
            if (units <= 0 || used + units > room)
                break;
            used += units;
            bytes += step;
        }
    }
    int written = 0;
    if (bytes > 0)
        written = PlatformMultiByteToWide(codePage, text, bytes, output, room);
    output[written] = 0;
    return written + 1;
}

} // namespace Korvo
