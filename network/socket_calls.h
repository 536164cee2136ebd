// The socket functions the network module calls, as a table.
//
// The Windows build fills it from the socket library that the core loads at
// run time; the host build with stand-ins that fail. Tests may swap in their
// own table to drive the module without a network.
#pragma once

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// A socket as the socket library passes it.
typedef uintptr_t NetworkSocket;

// No socket (the socket library's invalid socket).
constexpr NetworkSocket kNoNetworkSocket = ~static_cast<NetworkSocket>(0);
// A call that failed returns this (the socket library's SOCKET_ERROR).
constexpr int kSocketCallFailed = -1;

struct NetworkSocketCalls {
    // Bytes received into buffer (peek: left queued), 0 when the peer closed, or kSocketCallFailed
    int (*receive)(NetworkSocket socket, void *buffer, int length, int peek);
    // Bytes sent, or kSocketCallFailed
    int (*send)(NetworkSocket socket, const void *buffer, int length);
    // The accepted socket and the peer's address bytes (in: buffer size, out: used), or kNoNetworkSocket
    NetworkSocket (*accept)(NetworkSocket socket, void *address, int *addressLength);
    // Report the events as message to window; 0, or kSocketCallFailed
    int (*selectEvents)(NetworkSocket socket, void *window, unsigned message, long events);
    // Close the socket; 0, or kSocketCallFailed
    int (*close)(NetworkSocket socket);
    // The error code of the last failed call on this thread
    int (*lastError)();
    // End the use of the socket library; 0, or kSocketCallFailed
    int (*cleanup)();
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// The table in use; starts as the platform's.
extern NetworkSocketCalls SocketCalls;
// The platform's table (stand-ins in the host build)
const NetworkSocketCalls &PlatformSocketCalls();

} // namespace Korvo
