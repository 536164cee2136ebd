// Host stand-ins of the socket library and the network window: no sockets, no window.

#include "network/network_window.h"
#include "network/socket_calls.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ReceiveNothing(NetworkSocket, void *, int, int) { return kSocketCallFailed; }
static int SendNothing(NetworkSocket, const void *, int) { return kSocketCallFailed; }
static NetworkSocket AcceptNothing(NetworkSocket, void *, int *) { return kNoNetworkSocket; }
static int SelectNothing(NetworkSocket, void *, unsigned, long) { return kSocketCallFailed; }
static int CloseNothing(NetworkSocket) { return kSocketCallFailed; }
static int NoError() { return 0; }
static int CleanupNothing() { return kSocketCallFailed; }

static const NetworkSocketCalls kHostSocketCalls = {ReceiveNothing, SendNothing,  AcceptNothing, SelectNothing,
                                                    CloseNothing,   NoError,      CleanupNothing};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

NetworkSocketCalls SocketCalls = kHostSocketCalls;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

const NetworkSocketCalls &PlatformSocketCalls()
{
    return kHostSocketCalls;
}

void DispatchNetworkWindowMessages(void *window)
{
    (void)window;
}

void CloseNetworkWindow(void *window)
{
    (void)window;
}

} // namespace Korvo
