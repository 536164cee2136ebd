// Network handles over real loopback sockets: messages both ways, hostile
// length prefixes, and many connections that leave nothing behind.

#include <winsock2.h>
#include <ws2tcpip.h>

#include "core/system/platform_libraries.h"
#include "network/network_handle.h"
#include "network/startup_entries.h"
#include "network/win32/window_message_entries.h"
#include "tests/network/fake_sockets.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>
#include <vector>

using namespace Korvo;
using namespace KorvoTest;

namespace {

typedef int(WINAPI *GetSockNameEntry)(SOCKET, sockaddr *, int *);
typedef int(WINAPI *SocketOptionEntry)(SOCKET, int, int, char *, int *);
typedef int(WINAPI *SetSocketOptionEntry)(SOCKET, int, int, const char *, int);

// An entry of the socket library that the library's table does not hold
template <typename Entry>
Entry SocketLibraryEntry(const char *name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(PlatformLibraries.ws2_32.module, name)));
}

LRESULT CALLBACK SocketWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSocketEventMessage) {
        return HandleSocketEvent(window, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Counts the sockets the module accepts and closes.
struct SocketCounts {
    int accepted = 0;
    int closed = 0;
    std::set<NetworkSocket> seen;
} Counts;

NetworkSocket CountingAccept(NetworkSocket socket, void *address, int *length)
{
    const NetworkSocket accepted = PlatformSocketCalls().accept(socket, address, length);
    if (accepted != kNoNetworkSocket) {
        ++Counts.accepted;
        Counts.seen.insert(accepted);
    }
    return accepted;
}

int CountingClose(NetworkSocket socket)
{
    ++Counts.closed;
    return PlatformSocketCalls().close(socket);
}

// The module started as its user would: the socket library, a hidden window, kind 10
// and a handle listening on a loopback port; ended through TermNetworkModule.
class LoopbackModule {
public:
    LoopbackModule()
    {
        LoadPlatformLibraries();
        ws2 = &PlatformLibraries.ws2_32;
        WSADATA data;
        started = ws2->WSAStartup(MAKEWORD(2, 2), &data) == 0;
        Counts = SocketCounts();
        SocketCalls = PlatformSocketCalls();
        SocketCalls.accept = CountingAccept;
        SocketCalls.close = CountingClose;

        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = SocketWindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KorvoNetworkTestWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
        RegisterHandleType(HANDLE_KIND_NETWORK, sizeof(NetworkHandleRecord), 64, InitNetworkHandleRecord,
                           ReleaseNetworkHandleRecord, "ネットワーク");
        NetworkModule.initialised = 1;
        NetworkModule.window = window;

        const SOCKET listener = ws2->socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ws2->inet_addr("127.0.0.1");
        int length = sizeof(address);
        auto getSockName = SocketLibraryEntry<GetSockNameEntry>("getsockname");
        ws2->bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        ws2->listen(listener, 16);
        getSockName(listener, reinterpret_cast<sockaddr *>(&address), &length);
        port = address.sin_port;
        NetworkModule.listeningHandle = CreateHandleRecord(HANDLE_KIND_NETWORK, -1);
        NetworkHandleRecord *record = LookupNetworkRecord(NetworkModule.listeningHandle);
        record->inUse = 1;
        record->socket = listener;
        ws2->WSAAsyncSelect(listener, window, kSocketEventMessage, FD_ACCEPT);
    }

    ~LoopbackModule()
    {
        TermNetworkModule();
        UnregisterClassA("KorvoNetworkTestWindow", GetModuleHandleA(nullptr));
        SocketCalls = PlatformSocketCalls();
    }

    // A socket connected to the listening port (blocking until the connection stands)
    SOCKET ConnectRaw()
    {
        const SOCKET socket = ws2->socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ws2->inet_addr("127.0.0.1");
        address.sin_port = port;
        if (ws2->connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
            ws2->closesocket(socket);
            return INVALID_SOCKET;
        }
        Counts.seen.insert(socket);
        return socket;
    }

    // A connected packet-mode handle on the connecting side
    HandleValue ConnectHandle()
    {
        const SOCKET socket = ConnectRaw();
        if (socket == INVALID_SOCKET) {
            return -1;
        }
        const HandleValue handle = CreateConnectedHandle(socket);
        ws2->WSAAsyncSelect(socket, window, kSocketEventMessage, FD_READ | FD_WRITE | FD_CLOSE);
        return handle;
    }

    // Serve the window until done() or the backstop passes; done()'s last answer
    bool PumpUntil(const std::function<bool()> &done)
    {
        KorvoTest::Backstop backstop("the socket events awaited", KorvoTest::kWaitBackstopSeconds);
        while (!done()) {
            if (backstop.Passed()) {
                ADD_FAILURE() << backstop.Report();
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            PumpNetworkWindowMessages(0);
        }
        return true;
    }

    // The handle accepted last (the newest record of the kind)
    HandleValue NewestHandle() const
    {
        return static_cast<NetworkHandleRecord *>(HandleTypeTable[HANDLE_KIND_NETWORK].chainHead.next->data)
            ->header.handle;
    }

    // Connect a handle and wait until the listening side has accepted it: connecting, accepted
    std::pair<HandleValue, HandleValue> ConnectPair()
    {
        const int acceptedBefore = Counts.accepted;
        const HandleValue connecting = ConnectHandle();
        if (connecting == -1 || !PumpUntil([&] { return Counts.accepted > acceptedBefore; })) {
            return {-1, -1};
        }
        return {connecting, NewestHandle()};
    }

    const Ws2_32Entries *ws2 = nullptr;
    bool started = false;
    HWND window = nullptr;
    u_short port = 0;
};

std::vector<unsigned char> Pattern(size_t size, unsigned seed)
{
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>((i * 131 + seed * 17) ^ (i >> 9));
    }
    return bytes;
}

// Give the handles' sockets send and receive buffers of the size
void SetSocketBuffers(std::initializer_list<HandleValue> handles, int bytes)
{
    auto setOption = SocketLibraryEntry<SetSocketOptionEntry>("setsockopt");
    for (const HandleValue handle : handles) {
        for (const int option : {SO_SNDBUF, SO_RCVBUF}) {
            setOption(LookupNetworkRecord(handle)->socket, SOL_SOCKET, option, reinterpret_cast<const char *>(&bytes),
                      sizeof(bytes));
        }
    }
}

// Send one message from one handle and take it out of the other
std::vector<unsigned char> Exchange(LoopbackModule &module, HandleValue from, HandleValue to,
                                    const std::vector<unsigned char> &message)
{
    PutIntoRing(&LookupNetworkRecord(from)->sendRing, message);
    SendSocket(from);
    NetworkHandleRecord *in = LookupNetworkRecord(to);
    module.PumpUntil([&] { return in->completeMessageBytes >= static_cast<int>(message.size()); });
    return TakeCompleteBytes(in);
}

TEST(NetworkLoopback, MessagesOfEverySizeArriveIntactBothWays)
{
    // Socket buffers of the system's size, and small ones that take a large message in parts.
    for (const int bufferBytes : {0, 65536}) {
        LoopbackModule module;
        ASSERT_TRUE(module.started);
        const auto [connecting, accepted] = module.ConnectPair();
        ASSERT_NE(accepted, -1);
        if (bufferBytes != 0) {
            SetSocketBuffers({connecting, accepted}, bufferBytes);
        }
        for (const size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{1000000}}) {
            for (const bool towardsAccepted : {true, false}) {
                SCOPED_TRACE(testing::Message() << size << " bytes " << (towardsAccepted ? "in" : "out")
                                                << ", socket buffers " << bufferBytes);
                const HandleValue from = towardsAccepted ? connecting : accepted;
                const HandleValue to = towardsAccepted ? accepted : connecting;
                const std::vector<unsigned char> message = Pattern(size, towardsAccepted ? 1 : 2);
                if (size == 0) {
                    // An empty send ring sends nothing: put an empty message on the wire
                    // directly, then one byte that must arrive as the next message.
                    const char empty[4] = {0, 0, 0, 0};
                    ASSERT_EQ(module.ws2->send(LookupNetworkRecord(from)->socket, empty, 4, 0), 4);
                    EXPECT_EQ(Exchange(module, from, to, {0x5a}), std::vector<unsigned char>{0x5a});
                } else {
                    EXPECT_TRUE(Exchange(module, from, to, message) == message);
                }
                const NetworkHandleRecord *in = LookupNetworkRecord(to);
                EXPECT_EQ(in->completeMessageBytes, 0);
                EXPECT_EQ(in->receiveRing.heldBytes, 0);
                EXPECT_EQ(in->error, 0);
                EXPECT_EQ(LookupNetworkRecord(from)->sendRing.heldBytes, 0);
            }
        }
    }
}

TEST(NetworkLoopback, AHostilePrefixClosesTheConnection)
{
    for (const int prefix : {-1, INT_MIN, kDefaultMaxMessageBytes + 1, INT_MAX}) {
        SCOPED_TRACE(prefix);
        LoopbackModule module;
        ASSERT_TRUE(module.started);
        const SOCKET peer = module.ConnectRaw();
        ASSERT_TRUE(module.PumpUntil([] { return Counts.accepted == 1; }));
        const HandleValue accepted = module.NewestHandle();
        const char bytes[8] = {static_cast<char>(prefix), static_cast<char>(prefix >> 8),
                               static_cast<char>(prefix >> 16), static_cast<char>(prefix >> 24), 1, 2, 3, 4};
        ASSERT_EQ(module.ws2->send(peer, bytes, 8, 0), 8);
        ASSERT_TRUE(module.PumpUntil([&] { return LookupNetworkRecord(accepted)->error == 1; }));
        EXPECT_EQ(LookupNetworkRecord(accepted)->receiveRing.heldBytes, 0);
        PumpNetworkWindowMessages(1);
        EXPECT_EQ(LookupNetworkRecord(accepted), nullptr);
        // The peer sees the end of the connection (the time-out is a backstop).
        const DWORD timeout = KorvoTest::kWaitBackstopSeconds * 1000;
        auto setOption = SocketLibraryEntry<SetSocketOptionEntry>("setsockopt");
        setOption(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof(timeout));
        char got = 0;
        const int received = module.ws2->recv(peer, &got, 1, 0);
        EXPECT_TRUE(received == 0 || (received < 0 && module.ws2->WSAGetLastError() != WSAETIMEDOUT));
        module.ws2->closesocket(peer);
    }
}

TEST(NetworkLoopback, ConnectSendCloseCyclesLeaveNothingBehind)
{
    constexpr int kCycles = 1000;
    const int blocksBefore = LiveTrackedBlocks();
    {
        LoopbackModule module;
        ASSERT_TRUE(module.started);
        const NetworkSocket listener = LookupNetworkRecord(NetworkModule.listeningHandle)->socket;
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            const auto [connecting, accepted] = module.ConnectPair();
            ASSERT_NE(accepted, -1) << cycle;
            const std::vector<unsigned char> message = Pattern(16 + cycle % 100, static_cast<unsigned>(cycle));
            ASSERT_TRUE(Exchange(module, connecting, accepted, message) == message) << cycle;
            DeleteHandleRecord(connecting);
            NetworkHandleRecord *record = LookupNetworkRecord(accepted);
            ASSERT_TRUE(module.PumpUntil([&] { return record->connected == 0; })) << cycle;
            record->stateWords[0] = 1; // read to the end: the pump may delete it
            PumpNetworkWindowMessages(1);
            ASSERT_EQ(LookupNetworkRecord(accepted), nullptr) << cycle;
        }
        EXPECT_EQ(Counts.accepted, kCycles);
        EXPECT_EQ(Counts.closed, 2 * kCycles);
        EXPECT_EQ(HandleTypeTable[HANDLE_KIND_NETWORK].liveCount, 1);
        // Every socket the cycles used is gone: the socket library no longer knows it.
        auto getOption = SocketLibraryEntry<SocketOptionEntry>("getsockopt");
        int stillOpen = 0;
        for (const NetworkSocket socket : Counts.seen) {
            int type = 0;
            int length = sizeof(type);
            if (socket != listener &&
                getOption(socket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char *>(&type), &length) == 0) {
                ++stillOpen;
            }
        }
        EXPECT_EQ(stillOpen, 0);
        EXPECT_GE(Counts.seen.size(), 2u);
    }
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_NETWORK].registered, 0);
    EXPECT_EQ(LiveTrackedBlocks(), blocksBefore);
}

} // namespace
