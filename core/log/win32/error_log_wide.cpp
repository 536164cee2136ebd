// The error log's UTF-16 formatting entry (Windows: the wide printf of the C runtime).

#include "core/log/error_log.h"

#include "core/text/dbcs_string.h"

#include <cstdarg>
#include <cwchar>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr unsigned kLogCodePage = 932;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Format into 1,024 wide characters and 1,024 cp932 bytes (cut when longer), line feed kept; -1
int AppendLogLineFormatWide(const wchar_t *format, ...)
{
    wchar_t line[kLogFormatBufferSize] = {};
    va_list args;
    va_start(args, format);
    // Leave room for the line feed; a cut text keeps what fitted.
    std::vswprintf(line, kLogFormatBufferSize - 1, format, args);
    va_end(args);
    line[kLogFormatBufferSize - 2] = L'\0';

    // Convert without the line feed and add it afterwards, so that a text cut to
    // the byte buffer still ends its line.
    char converted[kLogFormatBufferSize];
    int written = ConvertWideToMultiByte(kLogCodePage, line, converted, static_cast<int>(sizeof(converted) - 1));
    size_t length = written > 0 ? static_cast<size_t>(written - 1) : 0;
    converted[length] = '\n';
    converted[length + 1] = '\0';
    return AppendLogText(converted);
}

} // namespace Korvo
