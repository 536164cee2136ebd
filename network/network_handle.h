// Network handles (kind 10): the record, the module state and the event side.
//
// Sockets report their events to the module's hidden window as message 0x0505;
// the module accepts connections, receives length-prefixed messages into each
// handle's receive ring and sends the send ring's content as one message. On
// the wire a message is its length as a 4-byte little-endian int followed by
// that many bytes. Everything runs on the main thread under the network kind's
// critical section.
#pragma once

#include "core/memory/byte_ring.h"
#include "core/memory/handle_manager.h"
#include "core/threads/thread_record.h"
#include "network/socket_calls.h"

#include <atomic>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// The window message a socket event arrives as.
constexpr unsigned kSocketEventMessage = 0x0505;

// Socket events (low 16 bits of the event word; the high 16 bits carry the error).
constexpr int kSocketEventRead = 1;
constexpr int kSocketEventWrite = 2;
constexpr int kSocketEventAccept = 8;
constexpr int kSocketEventConnect = 16;
constexpr int kSocketEventClose = 32;

// Largest incoming message a handle takes when its own limit is not set.
constexpr int kDefaultMaxMessageBytes = 16 * 1024 * 1024;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Record of a network handle.
struct NetworkHandleRecord {
    HandleRecordHeader header;
    int udp;
    int inUse;                // holds a live connection
    int ipv6;
    int error;                // the connection cannot go on; the pump deletes the handle
    int connectPending;
    int connected;
    int stateWords[3];        // the reading side's: the pump deletes a closed auto-delete handle once [0] is 1
    int packetMode;           // messages carry the 4-byte length prefix
    int autoDelete;
    NetworkSocket socket;
    int incomingBytesLeft;    // of the incoming message (0: a length prefix comes next)
    ByteRing receiveRing;
    int incomingMessageSize;
    int completeMessageBytes; // bytes of whole messages in the receive ring
    ByteRing sendRing;
    int outgoingBytesLeft;    // of the message being sent (0: the next one starts with its length prefix)
    int headerBytesLeft;      // of the length prefix being sent
    uint8_t ipv4Address[4];
    uint16_t ipv6Address[8];
    uint16_t port;            // network byte order
    int udpReadable;
    int udpWritable;
    int maxMessageBytes;      // a longer incoming message ends the connection; 0: the default
    int receiving;            // inside RecvSocket (its pump may bring this handle's events)
    int sending;              // inside SendSocket
};

// State of the network module.
struct NetworkModuleState {
    int initialised = 0;
    HandleValue listeningHandle = -1;
    int acceptUnframed = 0;        // accepted handles get no length prefix
    int acceptKeepsClosed = 0;     // accepted handles are not deleted by the pump once closed
    int acceptMaxMessageBytes = 0; // limit given to accepted handles; 0: the default
    void *window = nullptr;        // hidden window that receives the socket events
    int windowClosed = 0;
    ThreadRecord worker = {};
    std::atomic<int> workerStop{0};
    std::atomic<int> workerFinished{0};
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

extern NetworkModuleState NetworkModule;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Serve one socket event for the handle that holds the socket: 1, AcceptNetWork's
// result for an accept event, or 0 when no handle holds it
int ServeSocketEvent(NetworkSocket socket, int event, int error);
// Accept a connection on the listening handle into a new handle; 1, or -1
int AcceptNetWork();
// Receive what has arrived into the handle's receive ring; 0, or -1
int RecvSocket(HandleValue handle);
// Send the send ring's content as one message, as far as the socket takes it; 0, or -1
int SendSocket(HandleValue handle);
// Log a formatted text with the socket library's last error; -1
int LogNetworkError(const char *format, ...);
// A read or write position at the buffer end becomes 0; the ring
ByteRing *WrapByteRingPositions(ByteRing *ring);

// Handle kind callbacks for whoever registers kind 10: a new record holds no
// socket; a deleted one closes its socket and frees its rings.
int InitNetworkHandleRecord(void *record);
int ReleaseNetworkHandleRecord(void *record);

// Internal helpers shared by the module's files
// The record of a valid network handle, or null
NetworkHandleRecord *LookupNetworkRecord(HandleValue handle);
// Holds the network kind's critical section for its lifetime (nothing when the kind is not registered).
class NetworkKindLock {
public:
    NetworkKindLock();
    ~NetworkKindLock();
    NetworkKindLock(const NetworkKindLock &) = delete;
    NetworkKindLock &operator=(const NetworkKindLock &) = delete;

private:
    CRITICAL_SECTION *section_;
};

// What RecvSocket and SendSocket share: refuse a missing, UDP or busy handle (-1),
// mark it busy, serve the window, log and refuse a handle not in use or broken,
// then run the transfer (packet mode only); the transfer's result, else 0
int RunSocketTransfer(HandleValue handle, int NetworkHandleRecord::*busy, const char *notInUseText,
                      const char *errorText, int (*transfer)(NetworkHandleRecord *record));
// Close the handle's socket and mark it broken, so that the pump deletes it
void EndNetworkConnection(NetworkHandleRecord *record);

} // namespace Korvo
