// A socket table over in-memory connections, and a started network module, for tests.
#pragma once

#include "network/network_handle.h"
#include "tests/core/log_capture.h"

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

namespace KorvoTest {

// One end of an in-memory connection.
struct FakeSocket {
    std::deque<unsigned char> inbound;
    Korvo::NetworkSocket peer = Korvo::kNoNetworkSocket;
    bool closed = false;
};

// Connections whose send takes at most `chunk` bytes per call and that hold at most
// `capacity` unread bytes per direction; a call that can move nothing fails as would-block.
struct FakeNetwork {
    std::map<Korvo::NetworkSocket, FakeSocket> sockets;
    std::vector<std::vector<unsigned char>> pendingPeers; // addresses of connections waiting for accept
    int chunk = 1 << 30;
    size_t capacity = SIZE_MAX;
    bool failSelect = false;
    int closes = 0;
    int cleanups = 0;
    Korvo::NetworkSocket nextSocket = 100;

    // A connected pair of sockets: first, second
    std::pair<Korvo::NetworkSocket, Korvo::NetworkSocket> Connect();
    // Queue raw bytes for the socket to receive
    void Inject(Korvo::NetworkSocket socket, const std::vector<unsigned char> &bytes);
};

// The fake network behind the socket table while a ModuleWithFakeSockets lives.
extern FakeNetwork *ActiveFakeNetwork;

// The network module started on the fake network with kind 10 registered; ended
// (kind unregistered, platform table back) by the destructor.
class ModuleWithFakeSockets {
public:
    ModuleWithFakeSockets();
    ~ModuleWithFakeSockets();
    // A connected TCP handle in packet mode over the socket
    Korvo::HandleValue OpenHandle(Korvo::NetworkSocket socket);

    FakeNetwork network;
};

// A new connected TCP handle in packet mode over the socket
Korvo::HandleValue CreateConnectedHandle(Korvo::NetworkSocket socket);
// Put bytes into a ring at its write position, wrapping at the buffer end
void PutIntoRing(Korvo::ByteRing *ring, const std::vector<unsigned char> &bytes);
// Take the complete messages' bytes out of a handle's receive ring
std::vector<unsigned char> TakeCompleteBytes(Korvo::NetworkHandleRecord *record);

} // namespace KorvoTest
