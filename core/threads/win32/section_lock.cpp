// Section locks over the system's critical sections.

#include "core/threads/section_lock.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Initialise the critical section
int InitSectionLock(CRITICAL_SECTION *section)
{
    InitializeCriticalSection(section);
    return 0;
}

// Enter the critical section
int AcquireSectionLock(CRITICAL_SECTION *section)
{
    EnterCriticalSection(section);
    return 0;
}

// Leave the critical section
int ReleaseSectionLock(CRITICAL_SECTION *section)
{
    LeaveCriticalSection(section);
    return 0;
}

// Delete the critical section
int DeleteSectionLock(CRITICAL_SECTION *section)
{
    DeleteCriticalSection(section);
    return 0;
}

} // namespace Korvo
