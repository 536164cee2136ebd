// Receiving length-prefixed messages into a network handle's receive ring.

#include "network/network_handle.h"

#include "core/log/error_log.h"
#include "network/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kLengthPrefixBytes = 4;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The sender's int from its little-endian bytes
static int DecodeLengthPrefix(const unsigned char *bytes)
{
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int>(value);
}

// Take the next length prefix when all of it has arrived: 1 taken, 0 not yet, -1 the connection ended
static int ReceiveLengthPrefix(NetworkHandleRecord *record)
{
    unsigned char prefix[kLengthPrefixBytes];
    if (SocketCalls.receive(record->socket, prefix, kLengthPrefixBytes, 1) < kLengthPrefixBytes ||
        SocketCalls.receive(record->socket, prefix, kLengthPrefixBytes, 0) < kLengthPrefixBytes) {
        return 0;
    }
    const int size = DecodeLengthPrefix(prefix);
    const int limit = record->maxMessageBytes > 0 ? record->maxMessageBytes : kDefaultMaxMessageBytes;
    if (size < 0 || size > limit) {
        // NOTE: a length nobody sends is a broken or hostile peer; nothing after it can be framed.
        AppendLogLineFormat("受信したデータサイズが不正なため接続を切断しました(データサイズ %d byte)", size);
        EndNetworkConnection(record);
        return -1;
    }
    record->incomingBytesLeft = size;
    record->incomingMessageSize = size;
    if (ReserveByteRing(&record->receiveRing, size) != 0) {
        AppendLogLineFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)", size);
        record->error = 1;
        return -1;
    }
    return 1;
}

// Receive what has arrived of the message at the write position, in two parts
// when it runs past the buffer end; the bytes received, or -1 when the socket failed
static int ReceiveMessageBytes(NetworkHandleRecord *record)
{
    ByteRing *ring = WrapByteRingPositions(&record->receiveRing);
    const int left = record->incomingBytesLeft;
    const int toEnd = ring->bufferSize - ring->writePosition;
    unsigned char *at = ring->buffer + ring->writePosition;
    if (left <= toEnd) {
        const int got = SocketCalls.receive(record->socket, at, left, 0);
        if (got < 0) {
            return -1;
        }
        ring->writePosition += got;
        return got;
    }
    const int first = SocketCalls.receive(record->socket, at, toEnd, 0);
    if (first < 0) {
        return -1;
    }
    if (first < toEnd) {
        ring->writePosition += first;
        return first;
    }
    int second = SocketCalls.receive(record->socket, ring->buffer, left - toEnd, 0);
    if (second < 0) {
        second = 0;
    }
    ring->writePosition = second;
    return first + second;
}

// Receive prefixes and message bytes until the socket has no more
static int ReceiveMessages(NetworkHandleRecord *record)
{
    for (;;) {
        int prefixTaken = 0;
        if (record->incomingBytesLeft == 0) {
            prefixTaken = ReceiveLengthPrefix(record);
            if (prefixTaken <= 0) {
                return prefixTaken;
            }
        }
        int arrived = 0;
        if (record->incomingBytesLeft > 0) {
            arrived = ReceiveMessageBytes(record);
            if (arrived < 0) {
                return 0;
            }
        }
        record->receiveRing.heldBytes += arrived;
        record->incomingBytesLeft -= arrived;
        if (record->incomingBytesLeft == 0) {
            record->completeMessageBytes += record->incomingMessageSize;
        }
        PumpNetworkWindowMessages(0);
        // NOTE: go on after a part of a message too: the read event comes again only
        // after a receive call, so the last call must be the one that finds nothing.
        if (prefixTaken == 0 && arrived == 0) {
            return 0;
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Receive what has arrived into the handle's receive ring
int RecvSocket(HandleValue handle)
{
    return RunSocketTransfer(handle, &NetworkHandleRecord::receiving,
                             "有効なネットワークハンドルではありません in RecvSocket\n",
                             "このネットワークハンドルにはエラーが発生しています in RecvSocket\n", ReceiveMessages);
}

} // namespace Korvo
