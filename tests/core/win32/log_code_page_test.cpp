// The log file holds cp932 bytes, and nothing is written before "winmm.dll" is loaded.

#include "core/error_log.h"
#include "core/handle_manager.h"
#include "core/platform_libraries.h"
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
