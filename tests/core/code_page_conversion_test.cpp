// UTF-16 <-> code page conversion of whole texts, with truncation to the buffer.
#include <gtest/gtest.h>

#include <cstring>

#include "core/text/dbcs_string.h"

using namespace Korvo;

namespace {

// "aソ表b" in cp932: a, 83 5C, 95 5C, b.
const char kCp932Text[] = "aソ表b";
const WideChar kWideText[] = KORVO_WIDE("aソ表b");

TEST(ConvertWideToMultiByte, WholeTextWithTerminator)
{
    char out[32];
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, sizeof out), 7);
    EXPECT_STREQ(out, "a\x83\x5C\x95\x5C" "b");
    EXPECT_STREQ(out, kCp932Text);
    // A null output (or size 0) asks for the size.
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, nullptr, 0), 7);
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, 0), 7);
    EXPECT_EQ(ConvertWideToMultiByte(932, KORVO_WIDE(""), out, 4), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ConvertWideToMultiByte(65001, KORVO_WIDE("aソ"), out, sizeof out), 5);
    EXPECT_STREQ(out, "a\xE3\x82\xBD");
}

TEST(ConvertWideToMultiByte, TruncatesAtWholeCharacters)
{
    char out[16];
    // Room for "aソ" and the terminator, but not for half of "表".
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, 5), 4);
    EXPECT_STREQ(out, "aソ");
    EXPECT_EQ(out[5], 'x');

    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, 4), 4);
    EXPECT_STREQ(out, "aソ");
    EXPECT_EQ(out[4], 'x');

    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, 2), 2);
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, 1), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, 6), 6);
    EXPECT_STREQ(out, "aソ表");

    // A surrogate pair (U+1F600) is four UTF-8 bytes and is never split.
    const WideChar pair[] = {'a', 0xD83D, 0xDE00, 'b', 0};
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ConvertWideToMultiByte(65001, pair, out, 5), 2);
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(ConvertWideToMultiByte(65001, pair, out, 6), 6);
    EXPECT_STREQ(out, "a\xF0\x9F\x98\x80");
}

TEST(ConvertWideToMultiByte, Failures)
{
    char out[8];
    EXPECT_EQ(ConvertWideToMultiByte(932, nullptr, out, sizeof out), 0);
    EXPECT_EQ(ConvertWideToMultiByte(932, kWideText, out, -1), 0);
}

TEST(ConvertMultiByteToWide, WholeTextAndTruncation)
{
    WideChar out[16];
    EXPECT_EQ(ConvertMultiByteToWide(932, kCp932Text, out, 16), 5);
    EXPECT_EQ(std::memcmp(out, kWideText, sizeof kWideText), 0);
    EXPECT_EQ(ConvertMultiByteToWide(932, kCp932Text, nullptr, 0), 5);

    for (auto &unit : out)
        unit = 0x7777;
    EXPECT_EQ(ConvertMultiByteToWide(932, kCp932Text, out, 3), 3);
    EXPECT_EQ(out[0], WideChar('a'));
    EXPECT_EQ(out[1], WideChar(0x30BD)); // ソ
    EXPECT_EQ(out[2], WideChar(0));
    EXPECT_EQ(out[3], WideChar(0x7777));

    EXPECT_EQ(ConvertMultiByteToWide(932, kCp932Text, out, 1), 1);
    EXPECT_EQ(out[0], WideChar(0));
    EXPECT_EQ(ConvertMultiByteToWide(932, nullptr, out, 4), 0);
}

} // namespace
