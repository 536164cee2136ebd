// String routines over zero-terminated byte texts.
//
// The walking routines (limited copy, searches, uppercasing) step over
// double-byte characters of the character set in force; the others are plain
// byte routines for paths, log texts and buffers.
#include "core/text/dbcs_string.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Bytes of the character at text: 1 or 2, 0 at the end of the text. A lead
// byte right before the terminator also ends the text.
static int CharacterLengthAt(const unsigned char *text, int code)
{
    if (text[0] == 0)
        return 0;
    if (!IsMultiByteLeadByte(text[0], code))
        return 1;
    return text[1] == 0 ? 0 : 2;
}

static const unsigned char *AsBytes(const char *text)
{
    return reinterpret_cast<const unsigned char *>(text);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Copy src with its terminator
int CopyString(char *dst, const char *src)
{
    std::strcpy(dst, src);
    return 0;
}

// Copy whole characters of src, at most count bytes, then a terminator
int CopyStringLimited(char *dst, const char *src, int count)
{
    const unsigned char *bytes = AsBytes(src);
    const int code = GetCharSetCode();
    int copied = 0;
    while (copied < count) {
        int length = CharacterLengthAt(bytes + copied, code);
        if (length == 0) {
            // A lone lead byte at the end is still a byte of the text.
            length = bytes[copied] != 0 ? 1 : 0;
            if (length == 0)
                break;
        }
        // NOTE: a double-byte character that does not fit is left out whole.
        if (copied + length > count)
            break;
        copied += length;
    }
    std::memcpy(dst, src, static_cast<size_t>(copied));
    dst[copied] = 0;
    return 0;
}

// Append src to the end of dst
int AppendString(char *dst, const char *src)
{
    std::strcat(dst, src);
    return 0;
}

// Append a zero-terminated UTF-16 text to another
int AppendWideString(WideChar *dst, const WideChar *src)
{
    while (*dst != 0)
        ++dst;
    while ((*dst++ = *src++) != 0) {
    }
    return 0;
}

// Bytes before the terminator
int GetStringLength(const char *text)
{
    return static_cast<int>(std::strlen(text));
}

// 0 when both texts are equal byte for byte
int CompareStringBytes(const char *a, const char *b)
{
    return std::strcmp(a, b) == 0 ? 0 : 1;
}

// 0 when the first count bytes are equal
int CompareBytesOfStrings(const char *a, const char *b, int count)
{
    if (count <= 0)
        return 0;
    return std::memcmp(a, b, static_cast<size_t>(count)) == 0 ? 0 : 1;
}

// First occurrence of pattern that starts and ends on character boundaries
const char *FindSubstring(const char *text, const char *pattern)
{
    const unsigned char *bytes = AsBytes(text);
    if (bytes[0] == 0)
        return nullptr;
    const size_t patternLength = std::strlen(pattern);
    if (patternLength == 0)
        return text;
    const int code = GetCharSetCode();
    for (size_t position = 0;;) {
        const int length = CharacterLengthAt(bytes + position, code);
        if (length == 0)
            return nullptr;
        if (std::strncmp(text + position, pattern, patternLength) == 0) {
            // The match must not end inside a double-byte character.
            size_t end = position;
            while (end < position + patternLength) {
                const int step = CharacterLengthAt(bytes + end, code);
                end += step != 0 ? static_cast<size_t>(step) : 1;
            }
            if (end == position + patternLength)
                return text + position;
        }
        position += static_cast<size_t>(length);
    }
}

// First single-byte character equal to byte
const char *FindCharInString(const char *text, int byte)
{
    const unsigned char wanted = static_cast<unsigned char>(byte);
    if (wanted == 0)
        return nullptr;
    const unsigned char *bytes = AsBytes(text);
    const int code = GetCharSetCode();
    for (size_t position = 0;;) {
        const int length = CharacterLengthAt(bytes + position, code);
        if (length == 0)
            return nullptr;
        if (length == 1 && bytes[position] == wanted)
            return text + position;
        position += static_cast<size_t>(length);
    }
}

// Uppercase a-z in place, leaving double-byte characters alone
char *UppercaseString(char *text)
{
    return UppercaseStringInCharSet(text, GetCharSetCode());
}

char *UppercaseStringInCharSet(char *text, int code)
{
    unsigned char *bytes = reinterpret_cast<unsigned char *>(text);
    size_t position = 0;
    for (;;) {
        const int length = CharacterLengthAt(bytes + position, code);
        if (length == 0)
            break;
        if (length == 1 && bytes[position] >= 'a' && bytes[position] <= 'z')
            bytes[position] = static_cast<unsigned char>(bytes[position] - 'a' + 'A');
        position += static_cast<size_t>(length);
    }
    // Past a lone trailing lead byte to the real terminator.
    return text + position + std::strlen(text + position);
}

} // namespace Korvo
