// Critical sections of the library.
//
// Every lock of the library goes through these four calls. On Windows they wrap
// the system's critical sections; the host build backs the same storage with a
// recursive mutex so that portable code keeps its locking in native tests.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Prepare a section lock for use; 0
int InitSectionLock(CRITICAL_SECTION *section);
// Enter the section (recursive: the owning thread may enter again); 0
int AcquireSectionLock(CRITICAL_SECTION *section);
// Leave the section once; 0
int ReleaseSectionLock(CRITICAL_SECTION *section);
// Release the section's resources; 0
int DeleteSectionLock(CRITICAL_SECTION *section);

} // namespace Korvo
