// The character set in force and the double-byte character classification.
//
// The main window's start-up fixes the set from the OEM code page; until then
// the code is 0, which classifies bytes like Shift-JIS.
#include "core/text/dbcs_string.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static int g_charSetCode = 0;
static int g_charSetCodePage = 0;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Store the character set code in force
int SetCharSetCode(int code)
{
    g_charSetCode = code;
    return 0;
}

// The character set code in force
int GetCharSetCode()
{
    return g_charSetCode;
}

// Store the code page that goes with the character set
int SetCharSetCodePage(int codePage)
{
    g_charSetCodePage = codePage;
    return 0;
}

// The stored code page
int GetCharSetCodePage()
{
    return g_charSetCodePage;
}

// Fix code and code page from the OEM code page unless a code is already set
int ChooseCharSetFromOemCodePage(unsigned oemCodePage)
{
    if (g_charSetCode != 0)
        return 0;
    switch (oemCodePage) {
    case 932: g_charSetCode = kCharSetShiftJis; g_charSetCodePage = 932; break;
    case 949: g_charSetCode = kCharSetKorean; g_charSetCodePage = 949; break;
    case 950: g_charSetCode = kCharSetTraditionalChinese; g_charSetCodePage = 950; break;
    case 936: g_charSetCode = kCharSetSimplifiedChinese; g_charSetCodePage = 936; break;
    default: g_charSetCode = kCharSetShiftJis; g_charSetCodePage = 0; break;
    }
    return 0;
}

// 1 when the byte starts a double-byte character under the code
int IsMultiByteLeadByte(unsigned char byte, int code)
{
    switch (code) {
    case kCharSetKorean:
    case kCharSetTraditionalChinese:
    case kCharSetSimplifiedChinese:
        return byte >= 0x80 ? 1 : 0;
    default:
        return ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) ? 1 : 0;
    }
}

// Classify a byte offset by walking the text from its start
int ClassifyMultiByteOffset(const char *text, int offset, int code)
{
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    int position = 0;
    while (bytes[position] != 0) {
        if (IsMultiByteLeadByte(bytes[position], code)) {
            // A lead byte right before the terminator ends the text.
            if (bytes[position + 1] == 0)
                break;
            if (offset == position)
                return 1;
            if (offset == position + 1)
                return 2;
            position += 2;
        } else {
            if (offset == position)
                return 0;
            position += 1;
        }
    }
    return -1;
}

} // namespace Korvo
