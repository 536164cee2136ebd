// Byte memory routines: overlapping moves and equality compares.
#include <gtest/gtest.h>

#include "core/memory/byte_memory.h"

using namespace Korvo;

namespace {

TEST(ByteMemory, MoveHandlesOverlapBothWays)
{
    unsigned char up[11], down[11];
    for (int i = 0; i < 11; ++i)
        up[i] = down[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(MoveBytesOverlapSafe(up + 1, up, 10), 10);
    MoveBytesOverlapSafe(down, down + 1, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(up[i + 1], i + 1) << i;
        EXPECT_EQ(down[i], i + 2) << i;
    }
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
