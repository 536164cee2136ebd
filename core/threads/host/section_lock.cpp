// Section locks of the host build: a recursive mutex placed in the lock's storage.

#include "core/threads/section_lock.h"

#include <mutex>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::storage),
              "the lock storage must hold a recursive mutex");

static std::recursive_mutex *MutexOf(CRITICAL_SECTION *section)
{
    return std::launder(reinterpret_cast<std::recursive_mutex *>(section->storage));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Construct the mutex in place
int InitSectionLock(CRITICAL_SECTION *section)
{
    new (section->storage) std::recursive_mutex();
    return 0;
}

// Lock the mutex
int AcquireSectionLock(CRITICAL_SECTION *section)
{
    MutexOf(section)->lock();
    return 0;
}

// Unlock the mutex
int ReleaseSectionLock(CRITICAL_SECTION *section)
{
    MutexOf(section)->unlock();
    return 0;
}

// Destroy the mutex
int DeleteSectionLock(CRITICAL_SECTION *section)
{
    MutexOf(section)->~recursive_mutex();
    return 0;
}

} // namespace Korvo
