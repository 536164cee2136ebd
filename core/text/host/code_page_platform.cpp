// Host stand-in for the platform's code-page converters, over glibc's iconv.
//
// The host plays a Japanese system: the ANSI and OEM code pages are 932.
// Characters that cannot be converted become '?', as with the platform's
// converters called without a default character.
#include "core/text/code_page_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// iconv's name for a Windows code page number
static void CodePageName(unsigned codePage, char *name, size_t nameSize)
{
    if (codePage <= 3) // CP_ACP, CP_OEMCP, CP_MACCP, CP_THREAD_ACP
        codePage = 932;
    if (codePage == 65001)
        std::snprintf(name, nameSize, "UTF-8");
    else
        std::snprintf(name, nameSize, "CP%u", codePage);
}

// Runs one conversion. Bytes produced (counted only when output is null), or
// -1 when they do not fit in outputBytes or the code page is unknown.
static long RunIconv(const char *toName, const char *fromName, const char *input, size_t inputBytes,
                     size_t inputUnit, const char *replacement, size_t replacementBytes,
                     char *output, size_t outputBytes)
{
    iconv_t cd = iconv_open(toName, fromName);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return -1;
    char scratch[256];
    char *in = const_cast<char *>(input);
    size_t inLeft = inputBytes;
    long produced = 0;
    bool overflow = false;
    while (inLeft > 0 && !overflow) {
        char *out = output ? output + produced : scratch;
        size_t outLeft = output ? outputBytes - static_cast<size_t>(produced) : sizeof scratch;
        const size_t outStart = outLeft;
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        produced += static_cast<long>(outStart - outLeft);
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            overflow = output != nullptr;
            continue;
        }
        // An unconvertible or incomplete character: one replacement, skip it.
        if (output && outputBytes - static_cast<size_t>(produced) < replacementBytes) {
            overflow = true;
            break;
        }
        if (output)
            std::memcpy(output + produced, replacement, replacementBytes);
        produced += static_cast<long>(replacementBytes);
        size_t skip = inputUnit;
        if (inputUnit == 2 && inLeft >= 4) {
            // A surrogate pair is one character.
            const unsigned first = static_cast<unsigned char>(in[0]) | static_cast<unsigned char>(in[1]) << 8;
            const unsigned second = static_cast<unsigned char>(in[2]) | static_cast<unsigned char>(in[3]) << 8;
            if (first >= 0xD800 && first < 0xDC00 && second >= 0xDC00 && second < 0xE000)
                skip = 4;
        }
        if (errno == EINVAL || skip > inLeft)
            skip = inLeft;
        in += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    return overflow ? -1 : produced;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// UTF-16 units to code-page bytes
int PlatformWideToMultiByte(unsigned codePage, const WideChar *text, int length,
                            char *output, int outputSize)
{
    if (length <= 0 || (output && outputSize <= 0))
        return 0;
    char name[32];
    CodePageName(codePage, name, sizeof name);
    const long produced = RunIconv(name, "UTF-16LE", reinterpret_cast<const char *>(text),
                                   static_cast<size_t>(length) * 2, 2, "?", 1, output,
                                   output ? static_cast<size_t>(outputSize) : 0);
    return produced < 0 ? 0 : static_cast<int>(produced);
}

// Code-page bytes to UTF-16 units
int PlatformMultiByteToWide(unsigned codePage, const char *text, int length,
                            WideChar *output, int outputSize)
{
    if (length <= 0 || (output && outputSize <= 0))
        return 0;
    char name[32];
    CodePageName(codePage, name, sizeof name);
    const long produced = RunIconv("UTF-16LE", name, text, static_cast<size_t>(length), 1, "?\0", 2,
                                   reinterpret_cast<char *>(output),
                                   output ? static_cast<size_t>(outputSize) * 2 : 0);
    return produced < 0 ? 0 : static_cast<int>(produced / 2);
}

} // namespace Korvo
