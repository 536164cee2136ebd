// The log file holds cp932 bytes, and nothing is written before "winmm.dll" is loaded.

#include "core/log/error_log.h"
#include "core/memory/handle_manager.h"
#include "core/system/platform_libraries.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <string>

using namespace Korvo;

namespace {

TEST(LogCodePageTest, JapaneseTextIsWrittenAsCp932Bytes)
{
    KorvoTest::StartFreshLog();
    AppendLogText("ハンドル\n");
    int stamps = 0;
    std::string text = KorvoTest::WithoutStamps(KorvoTest::ReadLogFile(), &stamps);
    EXPECT_EQ(stamps, 1);
    EXPECT_EQ(text, "\x83\x6E\x83\x93\x83\x68\x83\x8B\r\n");
}

TEST(LogCodePageTest, NothingIsWrittenBeforeTheTimerLibraryIsLoaded)
{
    KorvoTest::StartFreshLog();
    FreePlatformLibraries();
    EXPECT_EQ(AppendLogText("early\n"), -1);
    LoadPlatformLibraries();
    EXPECT_EQ(KorvoTest::ReadLogFile(), "");
}

} // namespace

namespace {

TEST(LogCodePageTest, WideLinesAreConvertedToCp932)
{
    KorvoTest::StartFreshLog();
    EXPECT_EQ(AppendLogLineFormatWide(L"%d\x30CF", 7), -1);
    int stamps = 0;
    EXPECT_EQ(KorvoTest::WithoutStamps(KorvoTest::ReadLogFile(), &stamps), "7\x83\x6E\r\n");
    EXPECT_EQ(stamps, 1);
}

TEST(LogCodePageTest, LongWideLinesAreCutToTheBuffer)
{
    KorvoTest::StartFreshLog();
    // 1,022 wide characters fit beside the line feed; each becomes two cp932 bytes,
    // which the 1,024-byte buffer cuts at a whole character, keeping the line feed.
    std::wstring text(3000, L'\x30CF');
    AppendLogLineFormatWide(L"%ls", text.c_str());
    int stamps = 0;
    std::string log = KorvoTest::WithoutStamps(KorvoTest::ReadLogFile(), &stamps);
    std::string expected;
    for (int i = 0; i < 511; ++i) {
        expected += "\x83\x6E";
    }
    EXPECT_EQ(log, expected + "\r\n");
    EXPECT_EQ(stamps, 1);
}

} // namespace
