// Network entries of the core runtime's sequences, until the network side is built.
//
// The network module is never started yet: these entries have nothing to end
// or serve. They are replaced by the network subsystem's own code.

#include "network/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: the module is not started, so nothing is ended.
int TermNetworkModule()
{
    return 0;
}

// Not built yet: the module is not started, so there is nothing to serve.
int PumpNetworkWindowMessages(int deleteFlag)
{
    (void)deleteFlag;
    return 0;
}

} // namespace Korvo
