// In-memory sockets for the network tests.

#include "tests/network/fake_sockets.h"


#include <algorithm>
#include <cstring>

using namespace Korvo;

namespace KorvoTest {

FakeNetwork *ActiveFakeNetwork = nullptr;

namespace {

constexpr int kWouldBlock = 10035;

FakeSocket *Find(NetworkSocket socket)
{
    auto found = ActiveFakeNetwork->sockets.find(socket);
    return found == ActiveFakeNetwork->sockets.end() ? nullptr : &found->second;
}

int FakeReceive(NetworkSocket socket, void *buffer, int length, int peek)
{
    FakeSocket *end = Find(socket);
    if (end == nullptr || end->closed || length < 0) {
        return kSocketCallFailed;
    }
    if (end->inbound.empty()) {
        FakeSocket *peer = Find(end->peer);
        return peer == nullptr || peer->closed ? 0 : kSocketCallFailed;
    }
    const size_t count = std::min<size_t>(static_cast<size_t>(length), end->inbound.size());
    std::copy_n(end->inbound.begin(), count, static_cast<unsigned char *>(buffer));
    if (!peek) {
        end->inbound.erase(end->inbound.begin(), end->inbound.begin() + static_cast<std::ptrdiff_t>(count));
    }
    return static_cast<int>(count);
}

int FakeSend(NetworkSocket socket, const void *buffer, int length)
{
    FakeSocket *end = Find(socket);
    FakeSocket *peer = end == nullptr ? nullptr : Find(end->peer);
    if (peer == nullptr || end->closed || peer->closed || length < 0) {
        return kSocketCallFailed;
    }
    const size_t room = ActiveFakeNetwork->capacity - std::min(ActiveFakeNetwork->capacity, peer->inbound.size());
    const size_t count =
        std::min({static_cast<size_t>(length), static_cast<size_t>(ActiveFakeNetwork->chunk), room});
    if (count == 0 && length > 0) {
        return kSocketCallFailed;
    }
    const unsigned char *bytes = static_cast<const unsigned char *>(buffer);
    peer->inbound.insert(peer->inbound.end(), bytes, bytes + count);
    return static_cast<int>(count);
}

NetworkSocket FakeAccept(NetworkSocket socket, void *address, int *addressLength)
{
    (void)socket;
    if (ActiveFakeNetwork->pendingPeers.empty()) {
        return kNoNetworkSocket;
    }
    std::vector<unsigned char> peerAddress = ActiveFakeNetwork->pendingPeers.front();
    ActiveFakeNetwork->pendingPeers.erase(ActiveFakeNetwork->pendingPeers.begin());
    const size_t used = std::min(peerAddress.size(), static_cast<size_t>(*addressLength));
    std::memcpy(address, peerAddress.data(), used);
    *addressLength = static_cast<int>(used);
    return ActiveFakeNetwork->Connect().first;
}

int FakeSelect(NetworkSocket, void *, unsigned, long)
{
    return ActiveFakeNetwork->failSelect ? kSocketCallFailed : 0;
}

int FakeClose(NetworkSocket socket)
{
    FakeSocket *end = Find(socket);
    if (end == nullptr || end->closed) {
        return kSocketCallFailed;
    }
    end->closed = true;
    ++ActiveFakeNetwork->closes;
    return 0;
}

int FakeLastError()
{
    return kWouldBlock;
}

int FakeCleanup()
{
    ++ActiveFakeNetwork->cleanups;
    return 0;
}

} // namespace

std::pair<NetworkSocket, NetworkSocket> FakeNetwork::Connect()
{
    const NetworkSocket first = nextSocket++;
    const NetworkSocket second = nextSocket++;
    sockets[first].peer = second;
    sockets[second].peer = first;
    return {first, second};
}

void FakeNetwork::Inject(NetworkSocket socket, const std::vector<unsigned char> &bytes)
{
    sockets[socket].inbound.insert(sockets[socket].inbound.end(), bytes.begin(), bytes.end());
}

ModuleWithFakeSockets::ModuleWithFakeSockets()
{
    ActiveFakeNetwork = &network;
    SocketCalls = {FakeReceive, FakeSend, FakeAccept, FakeSelect, FakeClose, FakeLastError, FakeCleanup};
    RegisterHandleType(HANDLE_KIND_NETWORK, sizeof(NetworkHandleRecord), 64, InitNetworkHandleRecord,
                       ReleaseNetworkHandleRecord, "ネットワーク");
    NetworkModule.initialised = 1;
    NetworkModule.window = &network; // any non-null window: the host has none to serve
}

ModuleWithFakeSockets::~ModuleWithFakeSockets()
{
    UnregisterHandleType(HANDLE_KIND_NETWORK);
    NetworkModule.initialised = 0;
    NetworkModule.window = nullptr;
    NetworkModule.listeningHandle = -1;
    NetworkModule.acceptMaxMessageBytes = 0;
    SocketCalls = PlatformSocketCalls();
    ActiveFakeNetwork = nullptr;
}

HandleValue ModuleWithFakeSockets::OpenHandle(NetworkSocket socket)
{
    return CreateConnectedHandle(socket);
}

HandleValue CreateConnectedHandle(NetworkSocket socket)
{
    const HandleValue handle = CreateHandleRecord(HANDLE_KIND_NETWORK, -1);
    NetworkHandleRecord *record = LookupNetworkRecord(handle);
    record->inUse = 1;
    record->connected = 1;
    record->packetMode = 1;
    record->socket = socket;
    return handle;
}

void PutIntoRing(ByteRing *ring, const std::vector<unsigned char> &bytes)
{
    const int count = static_cast<int>(bytes.size());
    if (count == 0 || ReserveByteRing(ring, count) != 0) {
        return;
    }
    WrapByteRingPositions(ring);
    const int toEnd = std::min(count, ring->bufferSize - ring->writePosition);
    std::memcpy(ring->buffer + ring->writePosition, bytes.data(), static_cast<size_t>(toEnd));
    std::memcpy(ring->buffer, bytes.data() + toEnd, static_cast<size_t>(count - toEnd));
    ring->writePosition = (ring->writePosition + count) % ring->bufferSize;
    ring->heldBytes += count;
}

std::vector<unsigned char> TakeCompleteBytes(NetworkHandleRecord *record)
{
    std::vector<unsigned char> bytes(static_cast<size_t>(record->completeMessageBytes));
    if (!bytes.empty() && TakeFromByteRing(&record->receiveRing, bytes.data(), record->completeMessageBytes, 0) != 0) {
        bytes.clear();
    }
    record->completeMessageBytes -= static_cast<int>(bytes.size());
    return bytes;
}

} // namespace KorvoTest
