// Sending a network handle's send ring as one length-prefixed message.

#include "network/network_handle.h"

#include "network/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kLengthPrefixBytes = 4;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The int as the 4 little-endian bytes of the wire
static void EncodeLengthPrefix(int value, unsigned char *bytes)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    bytes[0] = static_cast<unsigned char>(bits);
    bytes[1] = static_cast<unsigned char>(bits >> 8);
    bytes[2] = static_cast<unsigned char>(bits >> 16);
    bytes[3] = static_cast<unsigned char>(bits >> 24);
}

// Send what is left of the length prefix; 1 when all of it is out, 0 when the socket takes no more
static int SendRestOfPrefix(NetworkHandleRecord *record)
{
    unsigned char prefix[kLengthPrefixBytes];
    EncodeLengthPrefix(record->outgoingBytesLeft, prefix);
    while (record->headerBytesLeft > 0) {
        const int sent = SocketCalls.send(record->socket, prefix + kLengthPrefixBytes - record->headerBytesLeft,
                                          record->headerBytesLeft);
        if (sent <= 0) {
            return 0;
        }
        // NOTE: count what went out, or the next call would send those bytes twice.
        record->headerBytesLeft -= sent;
    }
    return 1;
}

// Start the next message: everything in the ring; 1 when its prefix is out, 0 when not (yet)
static int StartMessage(NetworkHandleRecord *record)
{
    record->outgoingBytesLeft = record->sendRing.heldBytes;
    unsigned char prefix[kLengthPrefixBytes];
    EncodeLengthPrefix(record->outgoingBytesLeft, prefix);
    const int sent = SocketCalls.send(record->socket, prefix, kLengthPrefixBytes);
    if (sent < 0) {
        record->outgoingBytesLeft = 0;
        return 0;
    }
    record->headerBytesLeft = kLengthPrefixBytes - sent;
    return record->headerBytesLeft == 0 ? 1 : SendRestOfPrefix(record);
}

// Send message bytes from the read position, in two parts when they run past the
// buffer end; the bytes sent, or -1 when the socket took nothing
static int SendMessageBytes(NetworkHandleRecord *record)
{
    ByteRing *ring = WrapByteRingPositions(&record->sendRing);
    const int left = record->outgoingBytesLeft;
    const int toEnd = ring->bufferSize - ring->readPosition;
    const unsigned char *at = ring->buffer + ring->readPosition;
    if (left <= toEnd) {
        const int sent = SocketCalls.send(record->socket, at, left);
        if (sent < 0) {
            return -1;
        }
        ring->readPosition += sent;
        return sent;
    }
    const int first = SocketCalls.send(record->socket, at, toEnd);
    if (first < 0) {
        return -1;
    }
    if (first < toEnd) {
        ring->readPosition += first;
        return first;
    }
    const int second = SocketCalls.send(record->socket, ring->buffer, left - toEnd);
    if (second < 0) {
        ring->readPosition = 0;
        return first;
    }
    ring->readPosition = second;
    return first + second;
}

// Send messages until the ring is empty or the socket takes no more
static int SendMessages(NetworkHandleRecord *record)
{
    while (record->sendRing.heldBytes > 0) {
        if (record->headerBytesLeft > 0) {
            if (SendRestOfPrefix(record) == 0) {
                return 0;
            }
        } else if (record->outgoingBytesLeft == 0) {
            if (StartMessage(record) == 0) {
                return 0;
            }
        }
        const int sent = SendMessageBytes(record);
        if (sent < 0) {
            return 0;
        }
        record->sendRing.heldBytes -= sent;
        record->outgoingBytesLeft -= sent;
        PumpNetworkWindowMessages(0);
        // NOTE: go on after a part of a message too: the write event comes again only
        // after a send call was refused, so the last call must be the refused one.
        if (sent == 0) {
            return 0;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Send the send ring's content as one message, as far as the socket takes it
int SendSocket(HandleValue handle)
{
    return RunSocketTransfer(handle, &NetworkHandleRecord::sending,
                             "有効なネットワークハンドルではありません in SendSocket\n",
                             "このネットワークハンドルにはエラーが発生しています in SendSocket\n", SendMessages);
}

} // namespace Korvo
