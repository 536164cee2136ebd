// Length-prefixed messages through the rings: partial calls, ring wrap, hostile prefixes.

#include "network/network_handle.h"
#include "network/startup_entries.h"
#include "tests/core/log_capture.h"
#include "tests/network/fake_sockets.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace Korvo;
using namespace KorvoTest;

namespace {

std::vector<unsigned char> Pattern(size_t size, int seed)
{
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + static_cast<size_t>(seed) * 31 + (i >> 8));
    }
    return bytes;
}

std::vector<unsigned char> Prefix(int value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    return {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
            static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
}

struct FramingCase {
    const char *name;
    std::vector<size_t> sizes; // 0: a raw empty message (the send ring cannot send one)
    int chunk;
    size_t capacity;
};

TEST(PacketFraming, MessagesArriveIntactWhateverTheSocketTakesPerCall)
{
    const FramingCase cases[] = {
        {"one byte per call", {1, 5, 0, 700, 3}, 1, 5},
        {"rings wrap", {700, 700, 700, 0, 700, 700, 1500}, 256, 1024},
        {"large", {4096, 100000, 1}, 65536, 8192},
    };
    for (const FramingCase &c : cases) {
        SCOPED_TRACE(c.name);
        ModuleWithFakeSockets module;
        module.network.chunk = c.chunk;
        module.network.capacity = c.capacity;
        const auto [senderSocket, receiverSocket] = module.network.Connect();
        const HandleValue sender = module.OpenHandle(senderSocket);
        const HandleValue receiver = module.OpenHandle(receiverSocket);
        NetworkHandleRecord *out = LookupNetworkRecord(sender);
        NetworkHandleRecord *in = LookupNetworkRecord(receiver);

        bool wrapped = false;
        for (size_t index = 0; index < c.sizes.size(); ++index) {
            const std::vector<unsigned char> message = Pattern(c.sizes[index], static_cast<int>(index));
            if (message.empty()) {
                module.network.Inject(receiverSocket, Prefix(0));
            }
            PutIntoRing(&out->sendRing, message);
            wrapped |= out->sendRing.writePosition < out->sendRing.readPosition;
            std::vector<unsigned char> received;
            for (int round = 0; round < 1000000 && received.size() < message.size(); ++round) {
                ASSERT_EQ(SendSocket(sender), 0);
                ASSERT_EQ(RecvSocket(receiver), 0);
                wrapped |= in->receiveRing.writePosition < in->receiveRing.readPosition;
                std::vector<unsigned char> part = TakeCompleteBytes(in);
                received.insert(received.end(), part.begin(), part.end());
            }
            ASSERT_EQ(RecvSocket(receiver), 0);
            EXPECT_TRUE(received == message) << "message " << index << " of " << message.size() << " bytes";
            EXPECT_EQ(in->completeMessageBytes, 0);
            EXPECT_EQ(out->sendRing.heldBytes, 0);
        }
        EXPECT_EQ(in->error, 0);
        EXPECT_TRUE(module.network.sockets[receiverSocket].inbound.empty());
        if (c.chunk == 256) {
            EXPECT_TRUE(wrapped);
        }
    }
}

TEST(PacketFraming, ALengthNoMessageCanHaveEndsTheConnection)
{
    const struct {
        int prefix;
        bool ends;
    } cases[] = {{-1, true}, {INT_MIN, true}, {1001, true}, {INT_MAX, true}, {1000, false}, {0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.prefix);
        const int blocksBefore = LiveTrackedBlocks();
        {
            ModuleWithFakeSockets module;
            const auto [peer, local] = module.network.Connect();
            const HandleValue handle = module.OpenHandle(local);
            LookupNetworkRecord(handle)->maxMessageBytes = 1000;
            module.network.Inject(local, Prefix(c.prefix));
            module.network.Inject(local, Pattern(c.ends ? 1000 : static_cast<size_t>(c.prefix), 1));
            StartFreshLog();

            EXPECT_EQ(RecvSocket(handle), c.ends ? -1 : 0);
            const NetworkHandleRecord *record = LookupNetworkRecord(handle);
            EXPECT_EQ(record->error, c.ends ? 1 : 0);
            EXPECT_EQ(record->connected, c.ends ? 0 : 1);
            EXPECT_EQ(module.network.sockets[local].closed, c.ends);
            EXPECT_EQ(record->receiveRing.heldBytes, c.ends ? 0 : c.prefix);
            const std::string expected =
                "受信したデータサイズが不正なため接続を切断しました(データサイズ " + std::to_string(c.prefix) + " byte)";
            EXPECT_EQ(ReadLogFile().find(expected) != std::string::npos, c.ends);

            // A broken handle refuses further events and goes with the next pump.
            if (c.ends) {
                StartFreshLog();
                EXPECT_EQ(RecvSocket(handle), -1);
                EXPECT_EQ(ReadLogLines().front(), "このネットワークハンドルにはエラーが発生しています in RecvSocket");
                EXPECT_EQ(record->receiving, 0);
            }
            PumpNetworkWindowMessages(1);
            EXPECT_EQ(LookupNetworkRecord(handle) == nullptr, c.ends);
        }
        EXPECT_EQ(LiveTrackedBlocks(), blocksBefore);
    }
}

} // namespace
