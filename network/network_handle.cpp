// Network handle records: their life, the kind's lock and the shared helpers.

#include "network/network_handle.h"

#include "core/log/error_log.h"
#include "core/threads/section_lock.h"
#include "network/startup_entries.h"

#include <cstdarg>
#include <cstdio>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

NetworkModuleState NetworkModule;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// A new record holds no socket yet
int InitNetworkHandleRecord(void *record)
{
    NetworkHandleRecord *network = static_cast<NetworkHandleRecord *>(record);
    network->socket = kNoNetworkSocket;
    InitByteRing(&network->receiveRing);
    InitByteRing(&network->sendRing);
    return 0;
}

// Close the record's socket and free its rings before it goes
int ReleaseNetworkHandleRecord(void *record)
{
    NetworkHandleRecord *network = static_cast<NetworkHandleRecord *>(record);
    if (network->socket != kNoNetworkSocket && SocketCalls.close != nullptr) {
        SocketCalls.close(network->socket);
    }
    network->socket = kNoNetworkSocket;
    FreeByteRing(&network->receiveRing);
    FreeByteRing(&network->sendRing);
    return 0;
}

// Log a formatted text with the socket library's last error
int LogNetworkError(const char *format, ...)
{
    char text[kLogFormatBufferSize];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    const int lastError = SocketCalls.lastError != nullptr ? SocketCalls.lastError() : 0;
    return AppendLogLineFormat("ネットワークログ。%s[%d]", text, lastError);
}

// A read or write position at the buffer end becomes 0
ByteRing *WrapByteRingPositions(ByteRing *ring)
{
    if (ring->readPosition == ring->bufferSize) {
        ring->readPosition = 0;
    }
    if (ring->writePosition == ring->bufferSize) {
        ring->writePosition = 0;
    }
    return ring;
}

// The record of a valid network handle
NetworkHandleRecord *LookupNetworkRecord(HandleValue handle)
{
    if (HandleKindOf(handle) != HANDLE_KIND_NETWORK) {
        return nullptr;
    }
    return static_cast<NetworkHandleRecord *>(LookupHandleRecord(handle));
}

NetworkKindLock::NetworkKindLock() : section_(nullptr)
{
    HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_NETWORK];
    if (entry.registered != 0) {
        section_ = &entry.lock;
        AcquireSectionLock(section_);
    }
}

NetworkKindLock::~NetworkKindLock()
{
    if (section_ != nullptr) {
        ReleaseSectionLock(section_);
    }
}

// The shared entry of RecvSocket and SendSocket
int RunSocketTransfer(HandleValue handle, int NetworkHandleRecord::*busy, const char *notInUseText,
                      const char *errorText, int (*transfer)(NetworkHandleRecord *record))
{
    if (NetworkModule.initialised == 0) {
        return -1;
    }
    NetworkKindLock lock;
    NetworkHandleRecord *record = LookupNetworkRecord(handle);
    // NOTE: the guard is the handle's own: an event of another handle that comes
    // during this transfer is served, as its socket would not report it again.
    if (record == nullptr || record->udp != 0 || record->*busy != 0) {
        return -1;
    }
    record->*busy = 1;
    PumpNetworkWindowMessages(0);
    record = LookupNetworkRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    int result = 0;
    if (record->inUse == 0) {
        result = AppendLogText(notInUseText);
    } else if (record->error != 0) {
        result = AppendLogText(errorText);
    } else if (record->packetMode != 0) {
        result = transfer(record);
    }
    // NOTE: cleared on every way out, or the handle would refuse every later event.
    record->*busy = 0;
    return result;
}

// Close the socket at once (the peer sees the end) and leave the handle to the pump
void EndNetworkConnection(NetworkHandleRecord *record)
{
    if (record->socket != kNoNetworkSocket && SocketCalls.close != nullptr) {
        SocketCalls.close(record->socket);
    }
    record->socket = kNoNetworkSocket;
    record->connected = 0;
    record->error = 1;
}

} // namespace Korvo
