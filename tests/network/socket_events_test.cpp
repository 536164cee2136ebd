// Socket events, accepting connections, the pump's deletions and the module's end.

#include "network/network_handle.h"
#include "network/startup_entries.h"
#include "tests/core/log_capture.h"
#include "tests/network/fake_sockets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Korvo;
using namespace KorvoTest;

namespace {

TEST(SocketEvents, EachEventChangesItsFlags)
{
    const struct {
        const char *name;
        int udp, event, error;
        int connected, connectPending, secondWord, readable, writable;
    } cases[] = {
        {"connect", 0, kSocketEventConnect, 0, 1, 0, 7, 0, 0},
        {"failed connect", 0, kSocketEventConnect, 10061, 0, 1, 7, 0, 0},
        {"close", 0, kSocketEventClose, 0, 0, 1, 0, 0, 0},
        {"unknown event", 0, 64, 0, 0, 1, 7, 0, 0},
        {"udp read", 1, kSocketEventRead, 0, 0, 1, 7, 1, 0},
        {"udp write", 1, kSocketEventWrite, 0, 0, 1, 7, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ModuleWithFakeSockets module;
        const NetworkSocket socket = module.network.Connect().first;
        NetworkHandleRecord *record = LookupNetworkRecord(module.OpenHandle(socket));
        record->udp = c.udp;
        record->connected = 0;
        record->connectPending = 1;
        record->stateWords[1] = 7;
        EXPECT_EQ(ServeSocketEvent(socket, c.event, c.error), 1);
        EXPECT_EQ(record->connected, c.connected);
        EXPECT_EQ(record->connectPending, c.connectPending);
        EXPECT_EQ(record->stateWords[1], c.secondWord);
        EXPECT_EQ(record->udpReadable, c.readable);
        EXPECT_EQ(record->udpWritable, c.writable);
        StartFreshLog();
        EXPECT_EQ(ServeSocketEvent(socket + 1000, c.event, c.error), 0);
        EXPECT_EQ(ReadLogLines().front(), "通信エラー No.1");
    }
}

TEST(SocketEvents, CloseTakesTheDataThatArrivedBeforeIt)
{
    ModuleWithFakeSockets module;
    const auto [peer, local] = module.network.Connect();
    const HandleValue handle = module.OpenHandle(local);
    module.network.Inject(local, {3, 0, 0, 0, 'a', 'b', 'c'});
    module.network.sockets[peer].closed = true;
    EXPECT_EQ(ServeSocketEvent(local, kSocketEventClose, 0), 1);
    NetworkHandleRecord *record = LookupNetworkRecord(handle);
    EXPECT_EQ(record->connected, 0);
    EXPECT_EQ(TakeCompleteBytes(record), (std::vector<unsigned char>{'a', 'b', 'c'}));
}

TEST(SocketEvents, AcceptSetsUpTheNewHandleOrCleansUp)
{
    const std::vector<unsigned char> ipv4 = {2, 0, 0x1f, 0x90, 127, 0, 0, 1};
    std::vector<unsigned char> ipv6(28, 0);
    ipv6[2] = 0x12;
    ipv6[3] = 0x34;
    ipv6[23] = 1;
    const struct {
        const char *name;
        bool ipv6, pending, failSelect, unframed, keepsClosed;
        int result;
        const char *log;
    } cases[] = {
        {"ipv4", false, true, false, false, false, 1, nullptr},
        {"ipv6 unframed kept", true, true, false, true, true, 1, nullptr},
        {"nothing to accept", false, false, false, false, false, -1, "ネットワークログ。acceptに失敗しました[10035]"},
        {"events refused", false, true, true, false, false, -1,
         "ネットワークログ。WSAAsyncSelectのエラー in AcceptNetWork[10035]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int blocksBefore = LiveTrackedBlocks();
        {
            ModuleWithFakeSockets module;
            const HandleValue listening = module.OpenHandle(module.network.Connect().first);
            LookupNetworkRecord(listening)->ipv6 = c.ipv6 ? 1 : 0;
            NetworkModule.listeningHandle = listening;
            NetworkModule.acceptUnframed = c.unframed ? 1 : 0;
            NetworkModule.acceptKeepsClosed = c.keepsClosed ? 1 : 0;
            if (c.pending) {
                module.network.pendingPeers.push_back(c.ipv6 ? ipv6 : ipv4);
            }
            module.network.failSelect = c.failSelect;
            StartFreshLog();
            EXPECT_EQ(ServeSocketEvent(LookupNetworkRecord(listening)->socket, kSocketEventAccept, 0), c.result);
            const int liveCount = HandleTypeTable[HANDLE_KIND_NETWORK].liveCount;
            if (c.result == -1) {
                EXPECT_EQ(ReadLogLines().front(), c.log);
                EXPECT_EQ(liveCount, 1);
                EXPECT_EQ(module.network.closes, c.failSelect ? 1 : 0);
            } else {
                ASSERT_EQ(liveCount, 2);
                const NetworkHandleRecord *record = static_cast<const NetworkHandleRecord *>(
                    HandleTypeTable[HANDLE_KIND_NETWORK].chainHead.next->data);
                EXPECT_EQ(record->inUse, 1);
                EXPECT_EQ(record->connected, 1);
                EXPECT_EQ(record->stateWords[2], 1);
                EXPECT_EQ(record->packetMode, c.unframed ? 0 : 1);
                EXPECT_EQ(record->autoDelete, c.keepsClosed ? 0 : 1);
                EXPECT_EQ(record->ipv6, c.ipv6 ? 1 : 0);
                const unsigned char *port = reinterpret_cast<const unsigned char *>(&record->port);
                EXPECT_EQ(port[0], c.ipv6 ? 0x12 : 0x1f);
                EXPECT_EQ(port[1], c.ipv6 ? 0x34 : 0x90);
                if (c.ipv6) {
                    EXPECT_EQ(reinterpret_cast<const unsigned char *>(record->ipv6Address)[15], 1);
                } else {
                    EXPECT_EQ(record->ipv4Address[0], 127);
                    EXPECT_EQ(record->ipv4Address[3], 1);
                }
            }
        }
        EXPECT_EQ(LiveTrackedBlocks(), blocksBefore);
    }
}

TEST(NetworkPump, DeletesBrokenHandlesAndClosedOnesThatMayGo)
{
    const struct {
        const char *name;
        int inUse, error, connected, firstWord, autoDelete, receiving;
        bool deleted;
    } cases[] = {
        {"broken", 1, 1, 1, 0, 0, 0, true},
        {"closed, read, may go", 1, 0, 0, 1, 1, 0, true},
        {"closed, not read yet", 1, 0, 0, 0, 1, 0, false},
        {"closed, kept", 1, 0, 0, 1, 0, 0, false},
        {"connected", 1, 0, 1, 1, 1, 0, false},
        {"not in use", 0, 1, 0, 1, 1, 0, false},
        {"broken inside a receive", 1, 1, 1, 0, 0, 1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ModuleWithFakeSockets module;
        const HandleValue handle = module.OpenHandle(module.network.Connect().first);
        NetworkHandleRecord *record = LookupNetworkRecord(handle);
        record->inUse = c.inUse;
        record->error = c.error;
        record->connected = c.connected;
        record->stateWords[0] = c.firstWord;
        record->autoDelete = c.autoDelete;
        record->receiving = c.receiving;
        PumpNetworkWindowMessages(0);
        ASSERT_NE(LookupNetworkRecord(handle), nullptr);
        PumpNetworkWindowMessages(1);
        EXPECT_EQ(LookupNetworkRecord(handle) == nullptr, c.deleted);
        EXPECT_EQ(module.network.closes, c.deleted ? 1 : 0);
        if (!c.deleted) {
            LookupNetworkRecord(handle)->receiving = 0;
        }
    }
}

TEST(NetworkModuleEnd, StopsTheWorkerClosesEverythingAndLogs)
{
    ModuleWithFakeSockets module;
    module.OpenHandle(module.network.Connect().first);
    module.OpenHandle(module.network.Connect().first);
    ASSERT_EQ(CreateThreadRecord(&NetworkModule.worker,
                                 [](ThreadRecord *, int) {
                                     while (NetworkModule.workerStop.load() == 0) {
                                         SleepMilliseconds(1);
                                     }
                                     NetworkModule.workerFinished.store(1);
                                 },
                                 0),
              0);
    ResumeThreadRecord(&NetworkModule.worker);
    StartFreshLog();
    EXPECT_EQ(TermNetworkModule(), 0);
    EXPECT_EQ(ReadLogLines(), (std::vector<std::string>{"ネットワーク関連の終了処理を行います ",
                                                        "ネットワーク関連の終了処理は完了しました"}));
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_NETWORK].registered, 0);
    EXPECT_EQ(module.network.closes, 2);
    EXPECT_EQ(module.network.cleanups, 1);
    EXPECT_EQ(NetworkModule.initialised, 0);
    EXPECT_EQ(HasThreadHandle(&NetworkModule.worker), 0);
    // Ended once: a second call does nothing.
    EXPECT_EQ(TermNetworkModule(), 0);
    EXPECT_EQ(module.network.cleanups, 1);
}

} // namespace
