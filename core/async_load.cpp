// Asynchronous loading: placeholder entries until the job queue exists.
//
// The job queue and the main-thread requests are built later; no job can be
// queued yet, so there is never a job to remove or a request to run.

#include "core/async_load.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// No queue exists yet: every slot is empty, so nothing is removed (-1).
int RemoveAsyncLoadJob(int jobSlot, int onlyIfNotStarted)
{
    (void)jobSlot;
    (void)onlyIfNotStarted;
    return -1;
}

// No queue exists yet: there are no requests to run.
int RunMainThreadRequests()
{
    return 0;
}

} // namespace Korvo
