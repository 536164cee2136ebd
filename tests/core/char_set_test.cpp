// The character set in force and double-byte classification.
#include <gtest/gtest.h>

#include "core/dbcs_string.h"

using namespace Korvo;

namespace {

class CharSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCode_ = GetCharSetCode();
        savedPage_ = GetCharSetCodePage();
    }
    void TearDown() override
    {
        SetCharSetCode(savedCode_);
        SetCharSetCodePage(savedPage_);
    }
    int savedCode_ = 0;
    int savedPage_ = 0;
};

TEST_F(CharSetTest, OemCodePageChoosesCodeAndPage)
{
    const struct {
        unsigned oem;
        int code;
        int page;
    } cases[] = {{932, 1, 932}, {949, 2, 949}, {950, 3, 950}, {936, 4, 936}, {437, 1, 0}, {1252, 1, 0}};
    for (const auto &c : cases) {
        SetCharSetCode(0);
        SetCharSetCodePage(0);
        ChooseCharSetFromOemCodePage(c.oem);
        EXPECT_EQ(GetCharSetCode(), c.code) << c.oem;
        EXPECT_EQ(GetCharSetCodePage(), c.page) << c.oem;
    }
}

TEST_F(CharSetTest, OemCodePageLeavesAChosenCodeAlone)
{
    SetCharSetCode(kCharSetKorean);
    SetCharSetCodePage(949);
    ChooseCharSetFromOemCodePage(932);
    EXPECT_EQ(GetCharSetCode(), kCharSetKorean);
    EXPECT_EQ(GetCharSetCodePage(), 949);
}

TEST(LeadByte, ShiftJisRangesAndOtherSets)
{
    for (int b = 0; b < 256; ++b) {
        const bool sjis = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(IsMultiByteLeadByte(static_cast<unsigned char>(b), kCharSetShiftJis), sjis ? 1 : 0) << b;
        EXPECT_EQ(IsMultiByteLeadByte(static_cast<unsigned char>(b), 0), sjis ? 1 : 0) << b;
        for (int code = 2; code <= 4; ++code)
            EXPECT_EQ(IsMultiByteLeadByte(static_cast<unsigned char>(b), code), b >= 0x80 ? 1 : 0) << b;
    }
    // Half-width katakana is a single byte in Shift-JIS.
    EXPECT_EQ(IsMultiByteLeadByte(0xB1, kCharSetShiftJis), 0);
    EXPECT_EQ(IsMultiByteLeadByte(0xB1, kCharSetKorean), 1);
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
