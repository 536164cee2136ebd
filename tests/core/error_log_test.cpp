// The error log file: stamps, indents, the line-feed rule and cut formatting.

#include "core/log/error_log.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <string>

using namespace Korvo;
using KorvoTest::ReadLogFile;

// The log without stamps, after checking that exactly 'lines' lines carry one.
std::string LogWithoutStamps(int lines)
{
    int stamps = 0;
    std::string text = KorvoTest::WithoutStamps(ReadLogFile(), &stamps);
    EXPECT_EQ(stamps, lines) << ReadLogFile();
    return text;
}

namespace {

class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override { KorvoTest::StartFreshLog(); }
    void TearDown() override { EnableLogFileOutput(1); }
};

TEST_F(ErrorLogTest, SetupCreatesAnEmptyFile)
{
    AppendLogText("old\n");
    SetupErrorLog();
    EXPECT_TRUE(KorvoTest::LogFileExists());
    EXPECT_EQ(ReadLogFile(), "");
}

TEST_F(ErrorLogTest, TextsWithoutLineFeedContinueOneStampedLine)
{
    EXPECT_EQ(AppendLogText("abc"), -1);
    EXPECT_EQ(AppendLogText("def\n"), -1);
    AppendLogText("next\n");
    EXPECT_EQ(LogWithoutStamps(2), "abcdef\r\nnext\r\n");
}

TEST_F(ErrorLogTest, IndentAddsTabsAfterTheStampAndNeverGoesBelowZero)
{
    IncreaseLogIndent();
    IncreaseLogIndent();
    EXPECT_EQ(AppendLogLineFormat("%d", 5), -1);
    DecreaseLogIndent();
    DecreaseLogIndent();
    DecreaseLogIndent();
    AppendLogText("flat\n");
    IncreaseLogIndent();
    AppendLogText("one\n");
    DecreaseLogIndent();
    EXPECT_EQ(LogWithoutStamps(3), "\t\t5\r\nflat\r\n\tone\r\n");
}

TEST_F(ErrorLogTest, LineFeedsGetCarriageReturnsUntilOneAlreadyHasIt)
{
    AppendLogText("a\nb\r\nc\nd");
    std::string log = ReadLogFile();
    size_t colon = log.find(':');
    ASSERT_NE(colon, std::string::npos);
    EXPECT_EQ(log.substr(colon + 1), "a\r\nb\r\nc\nd");
}

TEST_F(ErrorLogTest, LongTextIsWrittenWhole)
{
    std::string text(300, 'x');
    text[150] = '\n';
    text += "\n";
    AppendLogText(text.c_str());
    std::string expected = std::string(150, 'x') + "\r\n" + std::string(149, 'x') + "\r\n";
    std::string log = ReadLogFile();
    ASSERT_NE(log.find(':'), std::string::npos);
    EXPECT_EQ(log.substr(log.find(':') + 1), expected);
}

TEST_F(ErrorLogTest, EmptyTextOpensALineThatTheNextTextContinues)
{
    EXPECT_EQ(AppendLogText(""), -1);
    AppendLogText("after\n");
    EXPECT_EQ(LogWithoutStamps(1), "after\r\n");
}

TEST_F(ErrorLogTest, LongFormattedLineIsCutToTheBuffer)
{
    std::string wide(3000, 'w');
    AppendLogLineFormat("%s", wide.c_str());
    std::string log = ReadLogFile();
    ASSERT_NE(log.find(':'), std::string::npos);
    // 1,024 bytes hold 1,022 characters, the line feed and the terminator.
    EXPECT_EQ(log.substr(log.find(':') + 1), std::string(kLogFormatBufferSize - 2, 'w') + "\r\n");
}

TEST_F(ErrorLogTest, OutputOffWritesNothingAndCreatesNoFile)
{
    std::remove("Log.txt");
    EnableLogFileOutput(0);
    SetupErrorLog();
    EXPECT_EQ(AppendLogText("hidden\n"), -1);
    EXPECT_FALSE(KorvoTest::LogFileExists());
    EnableLogFileOutput(1);
    AppendLogText("shown\n");
    EXPECT_EQ(LogWithoutStamps(1), "shown\r\n");
}

TEST_F(ErrorLogTest, EmptyFolderWritesNothing)
{
    SetLogFolder("");
    AppendLogText("nowhere\n");
    SetLogFolder(".");
    EXPECT_EQ(ReadLogFile(), "");
}

TEST_F(ErrorLogTest, EmptyFolderCreatesTheFileInTheWorkingFolder)
{
    AppendLogText("stale\n");
    SetLogFolder("");
    SetupErrorLog();
    SetLogFolder(".");
    EXPECT_TRUE(KorvoTest::LogFileExists());
    EXPECT_EQ(ReadLogFile(), "");
}

} // namespace
