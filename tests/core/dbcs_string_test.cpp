// String routines: copies, compares, searches and uppercasing over double-byte text.
#include <gtest/gtest.h>

#include <cstring>

#include "core/text/dbcs_string.h"

using namespace Korvo;

namespace {

// Runs each test under a chosen character set and restores the one in force.
class DbcsStringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCode_ = GetCharSetCode();
        SetCharSetCode(kCharSetShiftJis);
    }
    void TearDown() override { SetCharSetCode(savedCode_); }
    int savedCode_ = 0;
};

// "ソ" and "表" end in 0x5C, the backslash; "ポ" ends in 0x7C, "|".
constexpr const char kSo[] = "\x83\x5C";
constexpr const char kHyou[] = "\x95\x5C";

TEST_F(DbcsStringTest, SourceLiteralsAreCp932)
{
    EXPECT_STREQ("ソ", kSo);
    EXPECT_STREQ("表", kHyou);
}

TEST_F(DbcsStringTest, AppendWideString)
{
    WideChar wide[16] = KORVO_WIDE("ab");
    AppendWideString(wide, KORVO_WIDE("ソc"));
    const WideChar expected[] = KORVO_WIDE("abソc");
    EXPECT_EQ(std::memcmp(wide, expected, sizeof expected), 0);
}

TEST_F(DbcsStringTest, CopyLimitedTerminatesAndKeepsCharactersWhole)
{
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    CopyStringLimited(buffer, "abcdef", 3);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'x'); // exactly count + 1 bytes written

    CopyStringLimited(buffer, "ab", 10);
    EXPECT_STREQ(buffer, "ab");
    CopyStringLimited(buffer, "abc", 0);
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "zz");
    CopyStringLimited(buffer, "abc", -5);
    EXPECT_STREQ(buffer, "");

    // "aソb": a limit of 2 would cut the double-byte character in half.
    std::memset(buffer, 'x', sizeof buffer);
    CopyStringLimited(buffer, "aソb", 2);
    EXPECT_STREQ(buffer, "a");
    EXPECT_EQ(buffer[2], 'x');
    CopyStringLimited(buffer, "aソb", 3);
    EXPECT_STREQ(buffer, "aソ");

    // Under code 2 every high byte leads, so 0xB1 0x41 is one character.
    SetCharSetCode(kCharSetKorean);
    CopyStringLimited(buffer, "\xB1\x41z", 1);
    EXPECT_STREQ(buffer, "");
    SetCharSetCode(kCharSetShiftJis);
    CopyStringLimited(buffer, "\xB1\x41z", 1);
    EXPECT_STREQ(buffer, "\xB1");
}

TEST_F(DbcsStringTest, ComparesAreEqualityOnly)
{
    EXPECT_EQ(CompareStringBytes("ソ", "ソ"), 0);
    EXPECT_EQ(CompareStringBytes("abd", "abc"), 1);
    EXPECT_EQ(CompareStringBytes("ab", "abc"), 1);
    // Counted compares look past terminators.
    const char a[] = {'a', 0, 'x', 'y'};
    const char b[] = {'a', 0, 'x', 'z'};
    EXPECT_EQ(CompareBytesOfStrings(a, b, 3), 0);
    EXPECT_EQ(CompareBytesOfStrings(a, b, 4), 1);
}

TEST_F(DbcsStringTest, FindCharNeverMatchesATrailByte)
{
    EXPECT_EQ(FindCharInString(kHyou, '\\'), nullptr);
    const char path[] = "ソ表\\file";
    EXPECT_EQ(FindCharInString(path, '\\'), path + 4);
    EXPECT_EQ(FindCharInString(path, 'f'), path + 5);
    EXPECT_EQ(FindCharInString(path, 0), nullptr);
    EXPECT_EQ(FindCharInString(path, 'q'), nullptr);
    EXPECT_EQ(FindCharInString("", 'a'), nullptr);

    // A lead byte is searched as a character only when it stands alone.
    EXPECT_EQ(FindCharInString(kHyou, 0x95), nullptr);
    const char lone[] = "ab\x95";
    EXPECT_EQ(FindCharInString(lone, 0x95), nullptr);

    // Under code 2 the same two bytes are one character too; under code 2 a
    // '/' after a high byte is a trail byte, while Shift-JIS reads it as a slash.
    SetCharSetCode(kCharSetKorean);
    EXPECT_EQ(FindCharInString(kHyou, '\\'), nullptr);
    const char slash[] = "\xB1/x/";
    EXPECT_EQ(FindCharInString(slash, '/'), slash + 3);
    SetCharSetCode(kCharSetShiftJis);
    EXPECT_EQ(FindCharInString(slash, '/'), slash + 1);

    // The mutable overload points into the same buffer.
    char mutablePath[] = "ソ\\x";
    char *found = FindCharInString(mutablePath, '\\');
    ASSERT_NE(found, nullptr);
    *found = '/';
    EXPECT_STREQ(mutablePath, "ソ/x");
}

TEST_F(DbcsStringTest, FindSubstringMatchesWholeCharactersOnly)
{
    const char text[] = "xyzxyz";
    EXPECT_EQ(FindSubstring(text, "zx"), text + 2);
    EXPECT_EQ(FindSubstring(text, ""), text);
    EXPECT_EQ(FindSubstring("", ""), nullptr);
    EXPECT_EQ(FindSubstring("", "a"), nullptr);
    EXPECT_EQ(FindSubstring(text, "zz"), nullptr);
    EXPECT_EQ(FindSubstring(text, "xyzxyzx"), nullptr);

    // The backslash inside "ソ" is no match; the real one after it is.
    const char path[] = "dirソ\\a";
    EXPECT_EQ(FindSubstring(path, "\\"), path + 5);
    EXPECT_EQ(FindSubstring(path, "ソ"), path + 3);
    EXPECT_EQ(FindSubstring(kSo, "\\"), nullptr);
    // A pattern ending in a lead byte must not swallow half of a character.
    EXPECT_EQ(FindSubstring(path, "r\x83"), nullptr);
    // Trail byte followed by the next character's byte is not a match either.
    const char two[] = "表a";
    EXPECT_EQ(FindSubstring(two, "\\a"), nullptr);
}

TEST_F(DbcsStringTest, UppercaseLeavesDoubleByteCharactersAlone)
{
    // 0x82 0x61 is "ａ" (full-width a): its trail byte looks like 'a'.
    char text[] = "ab\x82\x61z\x83\x5C!";
    char *end = UppercaseString(text);
    EXPECT_STREQ(text, "AB\x82\x61Z\x83\x5C!");
    EXPECT_EQ(end, text + std::strlen(text));

    char lone[] = "ab\x95";
    EXPECT_EQ(UppercaseString(lone), lone + 3);
    EXPECT_STREQ(lone, "AB\x95");

    SetCharSetCode(kCharSetKorean);
    char korean[] = "\xB1\x61\x61";
    UppercaseString(korean);
    EXPECT_STREQ(korean, "\xB1\x61\x41");
}

} // namespace
