// Byte and int memory routines.
#include <gtest/gtest.h>

#include <cstring>

#include "core/byte_memory.h"

using namespace Korvo;

namespace {

TEST(ByteMemory, FillAndCopy)
{
    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    FillBytes(bytes + 1, 0xAB, 3);
    const unsigned char filled[8] = {1, 0xAB, 0xAB, 0xAB, 5, 6, 7, 8};
    EXPECT_EQ(std::memcmp(bytes, filled, 8), 0);
    FillBytes(bytes, 0, 0);
    EXPECT_EQ(bytes[0], 1);

    int ints[5] = {0, 0, 0, 0, 0};
    FillInts(ints + 1, -7, 3);
    EXPECT_EQ(ints[0], 0);
    EXPECT_EQ(ints[1], -7);
    EXPECT_EQ(ints[3], -7);
    EXPECT_EQ(ints[4], 0);

    unsigned char copy[8] = {};
    EXPECT_EQ(CopyForwardBytes(copy, filled, 8), 8);
    EXPECT_EQ(std::memcmp(copy, filled, 8), 0);
}

TEST(ByteMemory, MoveHandlesOverlapBothWays)
{
    unsigned char up[11];
    for (int i = 0; i < 11; ++i)
        up[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(MoveBytesOverlapSafe(up + 1, up, 10), 10);
    for (int i = 1; i < 11; ++i)
        EXPECT_EQ(up[i], i) << i;

    unsigned char down[11];
    for (int i = 0; i < 11; ++i)
        down[i] = static_cast<unsigned char>(i + 1);
    MoveBytesOverlapSafe(down, down + 1, 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(down[i], i + 2) << i;

    EXPECT_EQ(MoveBytesOverlapSafe(down, down, 5), 5);
}

TEST(ByteMemory, CompareIsEqualityOnly)
{
    const unsigned char a[4] = {1, 2, 3, 4};
    const unsigned char b[4] = {1, 2, 9, 4};
    EXPECT_EQ(CompareBytes(a, b, 2), 0);
    EXPECT_NE(CompareBytes(a, b, 3), 0);
    EXPECT_NE(CompareBytes(b, a, 4), 0);
    EXPECT_EQ(CompareBytes(a, b, 0), 0);
}

} // namespace
