// The library's whole life in a program shaped like the game's entry point:
// window size (checked on a screen capture), log lines, closing, the second
// instance and the 24-bit refusal.

#include <windows.h>

#include "tests/core/log_capture.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using KorvoTest::kProgramBackstopSeconds;
using KorvoTest::ReadFileBytes;

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProgramPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of("\\/") + 1) + "velmora_shaped_app.exe";
}

// Start the program in a fresh folder of its own.
PROCESS_INFORMATION StartProgram(const std::string &folder, const std::string &arguments)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA((folder + "\\Log.txt").c_str());
    DeleteFileA((folder + "\\app_result.txt").c_str());
    std::string commandLine = "\"" + ProgramPath() + "\" " + arguments;
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                  &startup, &process);
    EXPECT_TRUE(created) << commandLine;
    return process;
}

// Wait for the program's end; its exit code, or a marker on time-out.
DWORD FinishProgram(PROCESS_INFORMATION &process)
{
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(process.hProcess, kProgramBackstopSeconds * 1000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        ADD_FAILURE() << "the program did not end within the backstop of " << kProgramBackstopSeconds << " s";
        TerminateProcess(process.hProcess, 0xDEAD);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

HWND WaitForMainWindow()
{
    KorvoTest::Backstop backstop("the program's main window", kProgramBackstopSeconds);
    HWND window = nullptr;
    while ((window = FindWindowA("Velmora", nullptr)) == nullptr && !backstop.Passed()) {
        Sleep(10);
    }
    EXPECT_NE(window, nullptr) << backstop.Report();
    return window;
}

// Each text must appear after the previous one.
void ExpectInOrder(const std::string &log, const std::vector<std::string> &texts)
{
    size_t at = 0;
    for (const std::string &text : texts) {
        size_t found = log.find(text, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << text;
        at = found + text.size();
    }
}

TEST(LibraryWindowTest, StartsAWindowOf800x600RunsItsFramesAndShutsDownWithoutLeaks)
{
    PROCESS_INFORMATION process = StartProgram("full_run", "log frames=120");
    ASSERT_EQ(FinishProgram(process), 0u);
    std::string result = ReadFileBytes("full_run\\app_result.txt");
    EXPECT_NE(result.find("start=0\n"), std::string::npos) << result;
    EXPECT_NE(result.find("client=800x600\n"), std::string::npos) << result;
    EXPECT_NE(result.find("screenshot=800x600\n"), std::string::npos) << result;
    EXPECT_NE(result.find("frames=120\nquit=0\nshutdown=0\n"), std::string::npos) << result;

    std::string log = ReadFileBytes("full_run\\Log.txt");
    ExpectInOrder(log, {
                           ":システムの情報を出力します\r\n",
                           ":\tKorvo Ver",
                           ":\t論理プロセッサの数 : ",
                           ":\tＯＳ  Windows",
                           ":ＣＯＭの初期化... 成功しました\r\n",
                           ":メモリ総量:",
                           ":タイマーの精度を検査します\r\n",
                           ":ソフトの二重起動検査... 二重起動はされていませんでした\r\n",
                           ":ウインドウクラスを登録します... 登録に成功しました\r\n",
                           ":ウインドウモード起動用のウインドウを作成します\r\n",
                           ":ウインドウの作成に成功しました\r\n",
                           ":ウインドウを表示します\r\n",
                           ":ＩＭＥを無効にしました\r\n",
                           ":ウインドウを閉じようとしています\r\n",
                           ":ウインドウが破棄されようとしています\r\n",
                           ":ＣＯＭを終了... 完了\r\n",
                           "\tTotal size:0(0.000kb)  Alloc num:0",
                       });
    EXPECT_EQ(log.find("size:", log.find("Alloc memory dump")), log.find("Total size:") + 6)
        << "a block was still live at shut-down";
}

TEST(LibraryWindowTest, WithTheLogOffNoLogFileIsWritten)
{
    PROCESS_INFORMATION process = StartProgram("log_off", "frames=10");
    ASSERT_EQ(FinishProgram(process), 0u);
    EXPECT_NE(ReadFileBytes("log_off\\app_result.txt").find("shutdown=0"), std::string::npos);
    EXPECT_FALSE(FileExists("log_off\\Log.txt"));
}

TEST(LibraryWindowTest, ClosingTheWindowEndsTheFrameLoopAndTheProgram)
{
    PROCESS_INFORMATION process = StartProgram("closed", "log frames=0");
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(FinishProgram(process), 0u);
    std::string result = ReadFileBytes("closed\\app_result.txt");
    EXPECT_NE(result.find("quit=1\nshutdown=0\n"), std::string::npos) << result;
    ExpectInOrder(ReadFileBytes("closed\\Log.txt"), {":ウインドウを閉じようとしています\r\n",
                                                ":ウインドウが破棄されようとしています\r\n",
                                                ":ソフトを終了する準備が整いました\r\n", "Alloc num:0"});
    EXPECT_EQ(FindWindowA("Velmora", nullptr), nullptr);
}

TEST(LibraryWindowTest, ASecondInstanceIsRefused)
{
    PROCESS_INFORMATION first = StartProgram("first", "frames=0");
    HWND window = WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    PROCESS_INFORMATION second = StartProgram("second", "log");
    EXPECT_EQ(FinishProgram(second), static_cast<DWORD>(-1));
    std::string log = ReadFileBytes("second\\Log.txt");
    EXPECT_NE(log.find(":ソフトの二重起動検査... 二重起動されています、ソフトを終了します\r\n"), std::string::npos);
    EXPECT_EQ(log.find("ウインドウの作成に成功しました"), std::string::npos);
    EXPECT_NE(log.find("Alloc num:0"), std::string::npos);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(FinishProgram(first), 0u);
    // 0 is also what a crashed program can end with under Wine: its record of its end decides.
    EXPECT_NE(ReadFileBytes("first\\app_result.txt").find("shutdown=0\n"), std::string::npos);
}

TEST(LibraryWindowTest, A24BitRequestFailsTheStartUpAndALaterStartUpSucceeds)
{
    PROCESS_INFORMATION process = StartProgram("depth24", "log retry24 frames=10");
    ASSERT_EQ(FinishProgram(process), 0u);
    std::string result = ReadFileBytes("depth24\\app_result.txt");
    EXPECT_NE(result.find("start24=-1\nstart=0\n"), std::string::npos) << result;
    EXPECT_NE(result.find("client=800x600\n"), std::string::npos) << result;
    EXPECT_NE(result.find("shutdown=0\n"), std::string::npos) << result;
    std::string refused = ReadFileBytes("depth24\\Log_after_24.txt");
    EXPECT_NE(refused.find(":Korvoは２４ビットカラーモードに対応していません\r\n"), std::string::npos) << refused;
    EXPECT_EQ(refused.find("ウインドウを表示します"), std::string::npos);
    std::string log = ReadFileBytes("depth24\\Log.txt");
    EXPECT_NE(log.find(":ウインドウの作成に成功しました\r\n"), std::string::npos);
}

} // namespace
