// Clock arithmetic and the clocks themselves.

#include "core/threads/clock.h"
#include "core/public_api.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

TEST(ClockTest, CounterScalesToMicrosecondsWithoutOverflow)
{
    EXPECT_EQ(ConvertCounterToMicroseconds(3579545, 3579545), 1000000u);
    EXPECT_EQ(ConvertCounterToMicroseconds(0x8000000000000000ull, 10000000), 922337203685477580ull);
    EXPECT_EQ(ConvertCounterToMicroseconds(1, 3), 333333u);
    EXPECT_EQ(ConvertCounterToMicroseconds(3, 1000000), 3u);
}

TEST(ClockTest, MultiplyAndDivideAreExactAtTheLimits)
{
    const uint64_t max = ~0ull;
    uint32_t product[4];
    MultiplyUnsigned64To128(&max, &max, product);
    EXPECT_EQ(product[0], 1u);
    EXPECT_EQ(product[1], 0u);
    EXPECT_EQ(product[2], 0xFFFFFFFEu);
    EXPECT_EQ(product[3], 0xFFFFFFFFu);
    uint64_t quotient = 0;
    DivideUnsigned128By64(product, &max, &quotient);
    EXPECT_EQ(quotient, max);

    const uint64_t a = 0x123456789ABCDEFull, b = 0xFEDCBA987654321ull;
    MultiplyUnsigned64To128(&a, &b, product);
    DivideUnsigned128By64(product, &b, &quotient);
    EXPECT_EQ(quotient, a);
}

TEST(ClockTest, ClocksAreNonNegativeAndAdvance)
{
    int first = GetMillisecondClock();
    uint64_t firstMicro = GetMicrosecondClock();
    EXPECT_GE(first, 0);
    int later = first;
    while (later == first) {
        later = GetMillisecondClock();
    }
    EXPECT_GT(later, first);
    EXPECT_GT(GetMicrosecondClock(), firstMicro);
}

TEST(ClockTest, LocalDateIsInRange)
{
    DateTimeRecord now = {};
    EXPECT_EQ(GetLocalDateTime(&now), 0);
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_LE(now.second, 60);
}

} // namespace
