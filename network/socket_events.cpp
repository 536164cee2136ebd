// Socket events of network handles and the acceptance of new connections.

#include "network/network_handle.h"

#include "core/log/error_log.h"
#include "network/startup_entries.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Address buffers of accept: the socket library's IPv6 and IPv4 socket addresses.
constexpr int kIpv6AddressBytes = 28;
constexpr int kIpv4AddressBytes = 16;
// Events an accepted socket reports: read, write and close.
constexpr long kAcceptedSocketEvents = kSocketEventRead | kSocketEventWrite | kSocketEventClose;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The record that holds the socket, or null
static NetworkHandleRecord *FindRecordBySocket(NetworkSocket socket)
{
    HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_NETWORK];
    if (entry.registered == 0) {
        return nullptr;
    }
    for (HandleChainNode *node = entry.chainHead.next; node != &entry.chainTail; node = node->next) {
        NetworkHandleRecord *record = static_cast<NetworkHandleRecord *>(node->data);
        if (record->socket == socket) {
            return record;
        }
    }
    return nullptr;
}

// Copy the peer's address and port out of a socket address (port at byte 2, the
// IPv4 address at byte 4, the IPv6 address at byte 8)
static void StorePeerAddress(NetworkHandleRecord *record, const unsigned char *address)
{
    std::memcpy(&record->port, address + 2, sizeof(record->port));
    if (record->ipv6 != 0) {
        std::memcpy(record->ipv6Address, address + 8, sizeof(record->ipv6Address));
    } else {
        std::memcpy(record->ipv4Address, address + 4, sizeof(record->ipv4Address));
    }
}

// The fields of a freshly accepted connection
static void SetUpAcceptedRecord(NetworkHandleRecord *record, const NetworkHandleRecord *listening)
{
    record->udp = 0;
    record->inUse = 1;
    record->ipv6 = listening->ipv6;
    record->error = 0;
    record->connectPending = 0;
    record->connected = 1;
    record->stateWords[0] = 0;
    record->stateWords[1] = 0;
    record->stateWords[2] = 1;
    record->packetMode = NetworkModule.acceptUnframed == 0 ? 1 : 0;
    record->autoDelete = NetworkModule.acceptKeepsClosed == 0 ? 1 : 0;
    record->maxMessageBytes = NetworkModule.acceptMaxMessageBytes;
    if (record->packetMode != 0) {
        InitByteRing(&record->receiveRing);
        InitByteRing(&record->sendRing);
        record->incomingBytesLeft = 0;
        record->incomingMessageSize = 0;
        record->completeMessageBytes = 0;
        record->outgoingBytesLeft = 0;
        record->headerBytesLeft = 0;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Serve one socket event for the handle that holds the socket
int ServeSocketEvent(NetworkSocket socket, int event, int error)
{
    NetworkKindLock lock;
    NetworkHandleRecord *record = FindRecordBySocket(socket);
    if (record == nullptr) {
        AppendLogText("通信エラー No.1\n");
        return 0;
    }
    if (record->udp != 0) {
        if (event == kSocketEventRead) {
            record->udpReadable = 1;
        } else if (event == kSocketEventWrite) {
            record->udpWritable = 1;
        }
        return 1;
    }
    const HandleValue handle = record->header.handle;
    switch (event) {
    case kSocketEventRead:
        RecvSocket(handle);
        break;
    case kSocketEventWrite:
        SendSocket(handle);
        break;
    case kSocketEventAccept:
        return AcceptNetWork();
    case kSocketEventConnect:
        if (error == 0) {
            record->connected = 1;
            record->connectPending = 0;
        }
        break;
    case kSocketEventClose:
        // NOTE: data may still wait behind the close; take it before the handle counts as closed.
        if (record->packetMode != 0) {
            RecvSocket(handle);
        }
        record = LookupNetworkRecord(handle);
        if (record != nullptr) {
            record->connected = 0;
            record->stateWords[1] = 0;
        }
        break;
    default:
        break;
    }
    return 1;
}

// Accept a connection on the listening handle into a new handle
int AcceptNetWork()
{
    if (NetworkModule.initialised == 0) {
        return -1;
    }
    NetworkKindLock lock;
    PumpNetworkWindowMessages(0);
    const NetworkHandleRecord *listening = LookupNetworkRecord(NetworkModule.listeningHandle);
    if (listening == nullptr) {
        return -1;
    }
    const HandleValue handle = CreateHandleRecord(HANDLE_KIND_NETWORK, -1);
    NetworkHandleRecord *record = handle == -1 ? nullptr : LookupNetworkRecord(handle);
    if (record == nullptr) {
        return AppendLogText("accept 用のハンドル作成に失敗しました \n");
    }
    SetUpAcceptedRecord(record, listening);

    unsigned char address[kIpv6AddressBytes] = {};
    int addressLength = listening->ipv6 != 0 ? kIpv6AddressBytes : kIpv4AddressBytes;
    const NetworkSocket accepted = SocketCalls.accept(listening->socket, address, &addressLength);
    if (accepted == kNoNetworkSocket) {
        LogNetworkError("acceptに失敗しました");
        DeleteHandleRecord(handle);
        return -1;
    }
    record->socket = accepted;
    StorePeerAddress(record, address);
    if (SocketCalls.selectEvents(accepted, NetworkModule.window, kSocketEventMessage, kAcceptedSocketEvents) ==
        kSocketCallFailed) {
        LogNetworkError("WSAAsyncSelectのエラー in AcceptNetWork");
        DeleteHandleRecord(handle);
        return -1;
    }
    return 1;
}

} // namespace Korvo
