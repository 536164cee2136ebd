// Memory read streams and absolute path building.
#include "core/streams/full_path.h"
#include "core/streams/stream_table.h"

#include <gtest/gtest.h>

#include <string>

using namespace Korvo;

TEST(MemoryReadStream, ReadsWholeElementsAndClampsSeeks)
{
    const char data[] = "ABCDEFGHIJ";
    MemoryReadStream *s = OpenMemoryReadStream(data, 10);
    ASSERT_NE(s, nullptr);
    char out[16] = {};
    EXPECT_EQ(ReadMemoryStream(out, 4, 3, s), 2u);
    EXPECT_EQ(TellMemoryStream(s), 8);
    // The 2-byte tail is shorter than one element: nothing is read, the end is reached.
    EXPECT_EQ(ReadMemoryStream(out, 4, 3, s), 0u);
    EXPECT_EQ(IsMemoryStreamAtEnd(s), 1);
    EXPECT_EQ(ReadMemoryStream(out, 1, 0, s), 0u);

    EXPECT_EQ(SeekMemoryStream(s, -5, 0), 0);
    EXPECT_EQ(TellMemoryStream(s), 0);
    EXPECT_EQ(IsMemoryStreamAtEnd(s), 0);
    EXPECT_EQ(SeekMemoryStream(s, 100, 2), 0);
    EXPECT_EQ(TellMemoryStream(s), 10);
    EXPECT_EQ(SeekMemoryStream(s, 3, 7), 0);
    EXPECT_EQ(TellMemoryStream(s), 0);
    EXPECT_EQ(SeekMemoryStream(s, 0x7FFFFFFF, 1), 0);
    EXPECT_EQ(TellMemoryStream(s), 10);
    EXPECT_EQ(SeekMemoryStream(s, -3, 1), 0);
    EXPECT_EQ(ReadMemoryStream(out, 1, 10, s), 3u);
    EXPECT_EQ(std::string(out, 3), "HIJ");
    EXPECT_EQ(FreeMemoryReadStream(s), 0);
}

TEST(BuildFullPath, FoldsDotsDrivesAndServerPaths)
{
    char out[260];
    ASSERT_EQ(BuildFullPath("..\\..\\x.png", out, "D:\\A"), 0);
    EXPECT_STREQ(out, "D:\\x.png");
    ASSERT_EQ(BuildFullPath("//srv/share/a", out, "D:\\A"), 0);
    EXPECT_STREQ(out, "\\\\srv\\share\\a");
    ASSERT_EQ(BuildFullPath("E:b", out, "D:\\A"), 0);
    EXPECT_STREQ(out, "E:\\b");
    ASSERT_EQ(BuildFullPath("/top/./f.txt", out, "C:\\Work\\Game\\"), 0);
    EXPECT_STREQ(out, "C:\\top\\f.txt");
    ASSERT_EQ(BuildFullPath("img//Back.PNG", out, "C:\\Work\\"), 0);
    EXPECT_STREQ(out, "C:\\Work\\img\\Back.PNG");
    ASSERT_EQ(BuildFullPath(nullptr, out, "C:\\Work"), 0);
    EXPECT_STREQ(out, "C:\\Work");
}

TEST(BuildFullPath, DoubleByteCharactersAndBounds)
{
    char out[260];
    // 0x95 0x5C is one Shift-JIS character whose trail byte is a backslash.
    ASSERT_EQ(BuildFullPathWith("\x95\x5C\\..\\a.txt", out, sizeof out, "C:\\W", 1, 0), 0);
    EXPECT_STREQ(out, "C:\\W\\a.txt");
    ASSERT_EQ(BuildFullPathWith("\x95\x5Cz\\b.txt", out, sizeof out, "C:\\W", 1, 1), 0);
    EXPECT_STREQ(out, "C:\\W\\\x95\x5CZ\\B.TXT");

    // Too long for the buffer: refused with an empty result, nothing written past it.
    char small[16];
    small[15] = 'x';
    EXPECT_EQ(BuildFullPath("abcdefghijklmnop", small, "C:\\", sizeof small - 1), -1);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(small[15], 'x');
    EXPECT_EQ(MakeAbsolutePath(std::string(400, 'a').c_str(), out, "C:\\"), -1);
}
