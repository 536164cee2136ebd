// Local date and time.
#pragma once

namespace Korvo {

// A local date and time.
struct DateTimeRecord {
    int year;
    int month;   // 1-12
    int day;
    int hour;
    int minute;
    int second;
};

// Fill the record with the current local date and time; 0
int GetLocalDateTime(DateTimeRecord *record);

} // namespace Korvo
