// Network services that the core runtime calls (shut-down and the message pump).
#pragma once

namespace Korvo {

// End the network module when it is started; 0
int TermNetworkModule();
// Delete closed auto-delete handles (deleteFlag 1) and serve the network window; 0
int PumpNetworkWindowMessages(int deleteFlag);

} // namespace Korvo
