// Local date and time on Windows.

#include "core/public_api.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Fill the record from GetLocalTime
int GetLocalDateTime(DateTimeRecord *record)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    record->year = now.wYear;
    record->month = now.wMonth;
    record->day = now.wDay;
    record->hour = now.wHour;
    record->minute = now.wMinute;
    record->second = now.wSecond;
    return 0;
}

} // namespace Korvo
