// Local date and time in the host build.

#include "core/public_api.h"

#include <time.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Fill the record from localtime_r
int GetLocalDateTime(DateTimeRecord *record)
{
    time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    record->year = local.tm_year + 1900;
    record->month = local.tm_mon + 1;
    record->day = local.tm_mday;
    record->hour = local.tm_hour;
    record->minute = local.tm_min;
    record->second = local.tm_sec;
    return 0;
}

} // namespace Korvo
