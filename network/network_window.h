// The network module's hidden window: what the portable network code needs of it.
//
// Windows: the window's message queue; the host build has no window and these
// do nothing.
#pragma once

namespace Korvo {

// Dispatch every message waiting for the window (removed, translated, dispatched)
void DispatchNetworkWindowMessages(void *window);
// Post the window a close request and dispatch its messages once
void CloseNetworkWindow(void *window);

} // namespace Korvo
