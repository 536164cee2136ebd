// The growable byte ring: taking across the wrap, growth and a model check.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "core/memory/byte_ring.h"
#include "core/memory/tracked_alloc.h"

using namespace Korvo;

namespace {

// Writes into the ring the way its users do: reserve, copy at the write
// position split at the buffer end, advance, count.
int PutIntoRing(ByteRing *ring, const unsigned char *data, int count)
{
    if (ReserveByteRing(ring, count) != 0)
        return -1;
    if (ring->writePosition == ring->bufferSize)
        ring->writePosition = 0;
    const int toEnd = ring->bufferSize - ring->writePosition;
    const int first = count < toEnd ? count : toEnd;
    std::memcpy(ring->buffer + ring->writePosition, data, static_cast<size_t>(first));
    std::memcpy(ring->buffer, data + first, static_cast<size_t>(count - first));
    ring->writePosition = count > toEnd ? count - toEnd : ring->writePosition + count;
    ring->heldBytes += count;
    return 0;
}

// A ring of 8 bytes holding "ABCDEF" from read position 5 (wrapping after "ABC").
void MakeWrappedRing(ByteRing *ring)
{
    InitByteRing(ring);
    ring->buffer = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(8));
    ASSERT_NE(ring->buffer, nullptr);
    std::memcpy(ring->buffer, "DEF??ABC", 8);
    ring->bufferSize = 8;
    ring->readPosition = 5;
    ring->writePosition = 3;
    ring->heldBytes = 6;
}

TEST(ByteRing, TakeAndPeekAcrossTheWrap)
{
    ByteRing ring;
    MakeWrappedRing(&ring);
    char out[8] = {};
    EXPECT_EQ(TakeFromByteRing(&ring, out, 6, 1), 0);
    EXPECT_STREQ(out, "ABCDEF");
    EXPECT_EQ(ring.readPosition, 5);
    EXPECT_EQ(ring.heldBytes, 6);

    char partial[8] = {};
    EXPECT_EQ(TakeFromByteRing(&ring, partial, 4, 0), 0);
    EXPECT_STREQ(partial, "ABCD");
    EXPECT_EQ(ring.readPosition, 1);
    EXPECT_EQ(ring.heldBytes, 2);
    FreeByteRing(&ring);
}

TEST(ByteRing, TakingMoreThanHeldCopiesNothing)
{
    ByteRing ring;
    MakeWrappedRing(&ring);
    char out[8];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(TakeFromByteRing(&ring, out, 7, 0), -1);
    EXPECT_EQ(TakeFromByteRing(&ring, out, -1, 0), -1);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(ring.heldBytes, 6);
    EXPECT_EQ(ring.readPosition, 5);
    EXPECT_EQ(TakeFromByteRing(&ring, out, 0, 0), 0);
    FreeByteRing(&ring);
}

TEST(ByteRing, GrowthSizesAndUnwrapping)
{
    ByteRing ring;
    InitByteRing(&ring);
    ASSERT_EQ(ReserveByteRing(&ring, 1), 0);
    EXPECT_EQ(ring.bufferSize, 1001);
    // Room already there: nothing changes.
    unsigned char *before = ring.buffer;
    ASSERT_EQ(ReserveByteRing(&ring, 1001), 0);
    EXPECT_EQ(ring.buffer, before);

    // Fill completely, starting mid-buffer so the data wrap.
    std::vector<unsigned char> data(1001);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7 + 3);
    ring.readPosition = ring.writePosition = 500;
    ASSERT_EQ(PutIntoRing(&ring, data.data(), 1001), 0);
    ASSERT_EQ(ring.bufferSize, 1001);
    EXPECT_EQ(ring.heldBytes, 1001);

    ASSERT_EQ(ReserveByteRing(&ring, 100), 0);
    EXPECT_EQ(ring.bufferSize, 2601); // 100 + 1001 * 3 / 2 + 1000
    EXPECT_EQ(ring.readPosition, 0);
    EXPECT_EQ(ring.writePosition, 1001);
    EXPECT_EQ(std::memcmp(ring.buffer, data.data(), data.size()), 0);
    FreeByteRing(&ring);
}

TEST(ByteRing, FailedGrowthKeepsTheContents)
{
    ByteRing ring;
    MakeWrappedRing(&ring);
    // The grown size would not fit in an int.
    EXPECT_EQ(ReserveByteRing(&ring, INT_MAX), -1);
    EXPECT_EQ(ring.bufferSize, 8);
    EXPECT_EQ(ring.heldBytes, 6);
    char out[8] = {};
    EXPECT_EQ(TakeFromByteRing(&ring, out, 6, 0), 0);
    EXPECT_STREQ(out, "ABCDEF");
    FreeByteRing(&ring);
}

TEST(ByteRing, RandomPushPopMatchesAQueue)
{
    std::mt19937 generator(20240611);
    ByteRing ring;
    InitByteRing(&ring);
    std::deque<unsigned char> model;
    unsigned char next = 0;
    std::vector<unsigned char> chunk, out;
    for (int step = 0; step < 4000; ++step) {
        const int count = static_cast<int>(generator() % 700);
        if (generator() % 2 == 0) {
            chunk.resize(static_cast<size_t>(count));
            for (auto &b : chunk) {
                b = next++;
                model.push_back(b);
            }
            ASSERT_EQ(PutIntoRing(&ring, chunk.data(), count), 0);
        } else {
            out.assign(static_cast<size_t>(count) + 1, 0xEE);
            const int peek = static_cast<int>(generator() % 4 == 0);
            const int result = TakeFromByteRing(&ring, out.data(), count, peek);
            if (static_cast<size_t>(count) > model.size()) {
                ASSERT_EQ(result, -1);
                continue;
            }
            ASSERT_EQ(result, 0);
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(out[static_cast<size_t>(i)], model[static_cast<size_t>(i)]) << step << " " << i;
            ASSERT_EQ(out[static_cast<size_t>(count)], 0xEE);
            if (!peek)
                model.erase(model.begin(), model.begin() + count);
        }
        ASSERT_EQ(static_cast<size_t>(ring.heldBytes), model.size());
        ASSERT_LE(ring.heldBytes, ring.bufferSize);
    }
    // Drain what is left.
    out.resize(model.size());
    ASSERT_EQ(TakeFromByteRing(&ring, out.data(), static_cast<int>(model.size()), 0), 0);
    for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(out[i], model[i]);
    EXPECT_EQ(ring.heldBytes, 0);
    FreeByteRing(&ring);
}

} // namespace
