// Asynchronous loading: the entries the handle manager waits on.
//
// The job queue and the main-thread request queue are not built yet; until they
// are, these entries report that there is nothing to remove or run.
#pragma once

namespace Korvo {

// Remove a queued job: -1 no such job, -2 already started (with onlyIfNotStarted), 0 removed
int RemoveAsyncLoadJob(int jobSlot, int onlyIfNotStarted);
// Run queued main-thread requests; 0 (-1 on a thread other than the main thread)
int RunMainThreadRequests();

} // namespace Korvo
