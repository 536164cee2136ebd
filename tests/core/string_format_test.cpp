// Formatting into caller buffers and integer-to-text conversion.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/text/dbcs_string.h"

using namespace Korvo;

namespace {

int FormatThroughArgs(char *buffer, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = FormatStringArgs(buffer, size, format, args);
    va_end(args);
    return result;
}

TEST(FormatString, FormatsWhenTheTextFits)
{
    char buffer[64];
    EXPECT_EQ(FormatString(buffer, sizeof buffer, "%d:%s %05.1f", 42, "ソ", 3.25), 0);
    EXPECT_STREQ(buffer, "42:ソ 003.2");
    EXPECT_EQ(FormatThroughArgs(buffer, sizeof buffer, "%s-%x", "ab", 255), 5);
    EXPECT_STREQ(buffer, "ab-ff");
}

TEST(FormatString, TruncatesAtTheBufferEnd)
{
    char buffer[12];
    std::memset(buffer, 'x', sizeof buffer);
    // Only the first 8 bytes are offered; the rest must stay untouched.
    EXPECT_EQ(FormatString(buffer, 8, "%s", "abcdefghijklmnop"), 0);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(buffer[8], 'x');

    EXPECT_EQ(FormatThroughArgs(buffer, 8, "%d", 123456789), 7);
    EXPECT_STREQ(buffer, "1234567");
    EXPECT_EQ(FormatThroughArgs(buffer, 1, "%d", 5), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(FormatThroughArgs(buffer, 0, "%d", 5), -1);
}

TEST(FormatIntToString, BasesAndSigns)
{
    char out[kFormatIntMaxBytes];
    EXPECT_STREQ(FormatIntToString(255, out, 16), "ff");
    EXPECT_STREQ(FormatIntToString(-10, out, 10), "-10");
    EXPECT_STREQ(FormatIntToString(0, out, 10), "0");
    EXPECT_STREQ(FormatIntToString(35, out, 36), "z");
    EXPECT_STREQ(FormatIntToString(5, out, 2), "101");
    EXPECT_STREQ(FormatIntToString(INT_MAX, out, 10), "2147483647");
    EXPECT_STREQ(FormatIntToString(-INT_MAX, out, 16), "-7fffffff");
    // The smallest int has a magnitude of its own in unsigned arithmetic.
    EXPECT_STREQ(FormatIntToString(INT_MIN, out, 10), "-2147483648");
    EXPECT_STREQ(FormatIntToString(INT_MIN, out, 2), "-10000000000000000000000000000000");
    EXPECT_EQ(FormatIntToString(1, out, 10), out);
}

TEST(FormatIntToString, UnusableBaseGivesEmptyText)
{
    char out[kFormatIntMaxBytes] = "junk";
    EXPECT_STREQ(FormatIntToString(10, out, 0), "");
    std::strcpy(out, "junk");
    EXPECT_STREQ(FormatIntToString(10, out, 1), "");
    std::strcpy(out, "junk");
    EXPECT_STREQ(FormatIntToString(10, out, 37), "");
}

} // namespace
