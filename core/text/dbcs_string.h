// Byte strings in the system's multi-byte code page, aware of double-byte characters.
//
// The character set in force (CharSetCode) decides which bytes start a
// double-byte character; the routines that walk a text step over such
// characters so that a trail byte (which may look like '\\' or 'a') is never
// taken for a character of its own. Conversions to and from UTF-16 go through
// the platform's code-page converters.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One UTF-16 code unit: the platform's WCHAR on Windows, char16_t on the host.
#if defined(_WIN32)
typedef wchar_t WideChar;
#define KORVO_WIDE(text) L##text
#else
typedef char16_t WideChar;
#define KORVO_WIDE(text) u##text
#endif

// CharSetCode values; 0 means "not set yet" and walks like Shift-JIS.
enum CharSetCodeValue : int {
    kCharSetShiftJis = 1,           // code page 932
    kCharSetKorean = 2,             // code page 949
    kCharSetTraditionalChinese = 3, // code page 950
    kCharSetSimplifiedChinese = 4,  // code page 936
};

// ---------------------------------------------------------------------------
// Character set
// ---------------------------------------------------------------------------

// Store the character set code in force; 0
int SetCharSetCode(int code);
// The character set code in force (0 before the main window's start-up)
int GetCharSetCode();
// Store the code page that goes with the character set; 0
int SetCharSetCodePage(int codePage);
// The stored code page: 932, 949, 950, 936 or 0
int GetCharSetCodePage();
// Fix code and code page from the OEM code page unless a code is already set; 0
int ChooseCharSetFromOemCodePage(unsigned oemCodePage);
// 1 when the byte starts a double-byte character under the code, else 0
int IsMultiByteLeadByte(unsigned char byte, int code);
// 0 single-byte character, 1 lead byte, 2 trail byte, -1 at or past the end
int ClassifyMultiByteOffset(const char *text, int offset, int code);

// ---------------------------------------------------------------------------
// Strings (zero-terminated bytes)
// ---------------------------------------------------------------------------

// Copy src with its terminator, no limit; 0
int CopyString(char *dst, const char *src);
// Copy whole characters of src, at most count bytes, then a terminator; 0
int CopyStringLimited(char *dst, const char *src, int count);
// Append src (with terminator) to the end of dst, no limit; 0
int AppendString(char *dst, const char *src);
// Append a zero-terminated UTF-16 text to another; 0
int AppendWideString(WideChar *dst, const WideChar *src);
// Bytes before the terminator
int GetStringLength(const char *text);
// 0 when both texts are equal byte for byte, else 1
int CompareStringBytes(const char *a, const char *b);
// 0 when the first count bytes are equal (terminators not special), else 1
int CompareBytesOfStrings(const char *a, const char *b, int count);
// First occurrence of pattern made of whole characters of text; null when none
const char *FindSubstring(const char *text, const char *pattern);
// First single-byte character equal to byte; null when none or byte is 0
const char *FindCharInString(const char *text, int byte);
// Uppercase a-z in place, leaving double-byte characters alone; the terminator
char *UppercaseString(char *text);
// The same in a given character set instead of the one in force
char *UppercaseStringInCharSet(char *text, int charSetCode);

inline char *FindSubstring(char *text, const char *pattern)
{
    return const_cast<char *>(FindSubstring(static_cast<const char *>(text), pattern));
}
inline char *FindCharInString(char *text, int byte)
{
    return const_cast<char *>(FindCharInString(static_cast<const char *>(text), byte));
}

// ---------------------------------------------------------------------------
// Formatting
// ---------------------------------------------------------------------------

// printf-style formatting into buffer, truncated to bufferSize bytes with terminator; 0
int FormatString(char *buffer, size_t bufferSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// The same from an argument list; the length written, -1 on a format error
int FormatStringArgs(char *buffer, size_t bufferSize, const char *format, va_list args)
    __attribute__((format(printf, 3, 0)));
// Bytes FormatIntToString may write: sign, 32 binary digits, terminator
constexpr int kFormatIntMaxBytes = 34;
// Write value in base 2..36 (lowercase digits, "-" when negative); output
char *FormatIntToString(int value, char *output, int base);

// ---------------------------------------------------------------------------
// Code-page conversion (whole zero-terminated texts)
// ---------------------------------------------------------------------------

// UTF-16 text to the code page, truncated at a character to fit outputSize bytes.
// Bytes written including the terminator; with a null output or size 0 the size
// the whole text needs; 0 on failure.
int ConvertWideToMultiByte(unsigned codePage, const WideChar *text, char *output, int outputSize);
// Multi-byte text to UTF-16, truncated at a character to fit outputSize units.
// Units written including the terminator; with a null output or size 0 the units
// the whole text needs; 0 on failure.
int ConvertMultiByteToWide(unsigned codePage, const char *text, WideChar *output, int outputSize);

} // namespace Korvo
