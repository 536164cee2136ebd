// Host stand-in: the build machine has no compression manager; tests that need
// one fill the entry table themselves.

#include "sound/acm_api.h"
#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int LoadAcmFunctions()
{
    return -1;
}

int FreeAcmFunctions()
{
    return -1;
}

} // namespace Korvo
