// The character set in force and double-byte classification.
#include <gtest/gtest.h>

#include "core/text/dbcs_string.h"

using namespace Korvo;

namespace {

TEST(CharSet, OemCodePageChoosesCodeAndPageOnce)
{
    const int savedCode = GetCharSetCode(), savedPage = GetCharSetCodePage();
    const struct {
        unsigned oem;
        int code;
        int page;
    } cases[] = {{932, 1, 932}, {949, 2, 949}, {950, 3, 950}, {936, 4, 936}, {437, 1, 0}};
    for (const auto &c : cases) {
        SetCharSetCode(0);
        ChooseCharSetFromOemCodePage(c.oem);
        EXPECT_EQ(GetCharSetCode(), c.code) << c.oem;
        EXPECT_EQ(GetCharSetCodePage(), c.page) << c.oem;
    }
    // A code already chosen stays.
    ChooseCharSetFromOemCodePage(932);
    EXPECT_EQ(GetCharSetCode(), 1);
    EXPECT_EQ(GetCharSetCodePage(), 0);
    SetCharSetCode(savedCode);
    SetCharSetCodePage(savedPage);
}

TEST(LeadByte, RangeEdgesPerCharacterSet)
{
    const unsigned char leads[] = {0x81, 0x9F, 0xE0, 0xFC};
    const unsigned char singles[] = {0x5C, 0x80, 0xA0, 0xB1, 0xDF, 0xFD, 0xFF};
    for (unsigned char b : leads) {
        EXPECT_EQ(IsMultiByteLeadByte(b, kCharSetShiftJis), 1) << int(b);
        EXPECT_EQ(IsMultiByteLeadByte(b, 0), 1) << int(b);
    }
    for (unsigned char b : singles)
        EXPECT_EQ(IsMultiByteLeadByte(b, kCharSetShiftJis), 0) << int(b);
    // Codes 2-4: every high byte leads.
    for (int code = 2; code <= 4; ++code) {
        EXPECT_EQ(IsMultiByteLeadByte(0x80, code), 1);
        EXPECT_EQ(IsMultiByteLeadByte(0xB1, code), 1);
        EXPECT_EQ(IsMultiByteLeadByte(0x7F, code), 0);
    }
}

TEST(ClassifyOffset, WalksFromTheStart)
{
    const char text[] = "a\x95\x5C";
    EXPECT_EQ(ClassifyMultiByteOffset(text, 0, kCharSetShiftJis), 0);
    EXPECT_EQ(ClassifyMultiByteOffset(text, 1, kCharSetShiftJis), 1);
    EXPECT_EQ(ClassifyMultiByteOffset(text, 2, kCharSetShiftJis), 2);
    EXPECT_EQ(ClassifyMultiByteOffset(text, 3, kCharSetShiftJis), -1);
    EXPECT_EQ(ClassifyMultiByteOffset(text, 40, kCharSetShiftJis), -1);

    // A trail byte that is itself a lead byte value is still a trail byte.
    const char pair[] = "\x81\x81\x81\x81x";
    EXPECT_EQ(ClassifyMultiByteOffset(pair, 1, kCharSetShiftJis), 2);
    EXPECT_EQ(ClassifyMultiByteOffset(pair, 2, kCharSetShiftJis), 1);
    EXPECT_EQ(ClassifyMultiByteOffset(pair, 4, kCharSetShiftJis), 0);

    // 0xB1 starts a character under code 2, so the next byte is its trail.
    const char korean[] = "\xB1\x41z";
    EXPECT_EQ(ClassifyMultiByteOffset(korean, 1, kCharSetShiftJis), 0);
    EXPECT_EQ(ClassifyMultiByteOffset(korean, 1, kCharSetKorean), 2);
}

TEST(ClassifyOffset, LoneLeadByteEndsTheText)
{
    const char text[] = "ab\x95";
    EXPECT_EQ(ClassifyMultiByteOffset(text, 1, kCharSetShiftJis), 0);
    EXPECT_EQ(ClassifyMultiByteOffset(text, 2, kCharSetShiftJis), -1);
    EXPECT_EQ(ClassifyMultiByteOffset(text, 3, kCharSetShiftJis), -1);
}

} // namespace
