// The socket table over the socket library that the core loads at run time.
//
// An entry missing from the library makes its call fail as a socket call does.

#include "network/socket_calls.h"

#include "core/system/platform_libraries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// The socket library's flag that leaves received bytes queued.
constexpr int kPeekFlag = 2;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ReceiveFromSocket(NetworkSocket socket, void *buffer, int length, int peek)
{
    if (PlatformLibraries.ws2_32.recv == nullptr) {
        return kSocketCallFailed;
    }
    return PlatformLibraries.ws2_32.recv(socket, static_cast<char *>(buffer), length, peek != 0 ? kPeekFlag : 0);
}

static int SendToSocket(NetworkSocket socket, const void *buffer, int length)
{
    if (PlatformLibraries.ws2_32.send == nullptr) {
        return kSocketCallFailed;
    }
    return PlatformLibraries.ws2_32.send(socket, static_cast<const char *>(buffer), length, 0);
}

static NetworkSocket AcceptOnSocket(NetworkSocket socket, void *address, int *addressLength)
{
    if (PlatformLibraries.ws2_32.accept == nullptr) {
        return kNoNetworkSocket;
    }
    return PlatformLibraries.ws2_32.accept(socket, static_cast<::sockaddr *>(address), addressLength);
}

static int SelectSocketEvents(NetworkSocket socket, void *window, unsigned message, long events)
{
    if (PlatformLibraries.ws2_32.WSAAsyncSelect == nullptr) {
        return kSocketCallFailed;
    }
    return PlatformLibraries.ws2_32.WSAAsyncSelect(socket, static_cast<HWND>(window), message, events);
}

static int CloseSocket(NetworkSocket socket)
{
    if (PlatformLibraries.ws2_32.closesocket == nullptr) {
        return kSocketCallFailed;
    }
    return PlatformLibraries.ws2_32.closesocket(socket);
}

static int LastSocketError()
{
    return PlatformLibraries.ws2_32.WSAGetLastError != nullptr ? PlatformLibraries.ws2_32.WSAGetLastError() : 0;
}

static int CleanupSockets()
{
    if (PlatformLibraries.ws2_32.WSACleanup == nullptr) {
        return kSocketCallFailed;
    }
    return PlatformLibraries.ws2_32.WSACleanup();
}

static const NetworkSocketCalls kWindowsSocketCalls = {ReceiveFromSocket, SendToSocket, AcceptOnSocket,
                                                       SelectSocketEvents, CloseSocket, LastSocketError,
                                                       CleanupSockets};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

NetworkSocketCalls SocketCalls = kWindowsSocketCalls;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

const NetworkSocketCalls &PlatformSocketCalls()
{
    return kWindowsSocketCalls;
}

} // namespace Korvo
