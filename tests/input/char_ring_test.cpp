// The input character ring and character counting.

#include "input/char_ring.h"

#include <gtest/gtest.h>

#include <string>

using namespace Korvo;

namespace {

class CharRingTest : public ::testing::Test {
protected:
    void SetUp() override { ResetInputCharRing(); }

    void Push(const std::string &bytes)
    {
        for (char c : bytes) {
            PushInputCharToBuffer(static_cast<unsigned char>(c));
        }
    }

    std::string Take(int advance, int *size)
    {
        char out[3] = {'?', '?', '?'};
        *size = TakeBufferedInputChar(out, advance);
        return *size == 0 ? std::string() : std::string(out);
    }
};

TEST_F(CharRingTest, HoldsAtMost1024BytesAndRefusesTheNext)
{
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(PushInputCharToBuffer('a'), 0) << i;
    }
    EXPECT_EQ(PushInputCharToBuffer('b'), -1);
    int size = 0;
    Take(1, &size);
    EXPECT_EQ(PushInputCharToBuffer('c'), 0);
    int taken = 0;
    while (Take(1, &size), size != 0) {
        ++taken;
    }
    EXPECT_EQ(taken, 1024);
}

TEST_F(CharRingTest, ALeadByteWaitsForItsTrailByte)
{
    int size = 0;
    Push("\x82");
    EXPECT_EQ(Take(1, &size), "");
    EXPECT_EQ(size, 0);
    Push("\xA0x");
    EXPECT_EQ(Take(1, &size), "\x82\xA0");
    EXPECT_EQ(size, 2);
    EXPECT_EQ(Take(1, &size), "x");
    EXPECT_EQ(size, 1);
}

TEST_F(CharRingTest, PeekLeavesTheCharacterAndControlCodesAreSingleBytes)
{
    int size = 0;
    Push(std::string(1, static_cast<char>(kCharBackspace)) + "k");
    EXPECT_EQ(Take(0, &size), "\b");
    EXPECT_EQ(Take(1, &size), "\b");
    EXPECT_EQ(size, 1);
    EXPECT_EQ(Take(1, &size), "k");
}

TEST_F(CharRingTest, WrapsAroundTheEndOfItsBuffer)
{
    int size = 0;
    for (int i = 0; i < 1024; ++i) {
        PushInputCharToBuffer('a');
        Take(1, &size);
    }
    Push("\x88\x9F");
    EXPECT_EQ(Take(1, &size), "\x88\x9F");
}

TEST(CharCountTest, CountsCharactersThatStartInsideTheByteCount)
{
    struct Case {
        const char *text;
        int bytes;
        int expected;
    } cases[] = {
        {"abc", 3, 3},
        {"abc", 0, 0},
        {"abc", -4, 0},
        {"ab", 9, 2},
        {"\x82\xA0\x82\xA2z", 4, 2},
        {"\x82\xA0\x82\xA2z", 3, 2},
        {"\x82\xA0\x82\xA2z", 5, 3},
        {"a\x82", 2, 2},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CountCharsInBytes(c.text, c.bytes), c.expected) << c.text << " " << c.bytes;
    }
}

TEST(CharCountTest, OnlyTheEditingKeysCodesAreControlCodes)
{
    for (int code : {16, 29, 28, 30, 31, 26, 25, 23, 21}) {
        EXPECT_EQ(IsTextControlCode(static_cast<unsigned char>(code)), 1) << code;
    }
    for (int code : {0, 3, 8, 13, 22, 24, 27, 97}) {
        EXPECT_EQ(IsTextControlCode(static_cast<unsigned char>(code)), 0) << code;
    }
}

} // namespace
