// Real key presses and mouse clicks, made with xdotool in the X display that
// Wine draws into, reach the library's keyboard array, its mouse button mask
// and the first-pressed-input query of a running program.

#include <windows.h>

#include "tests/core/log_capture.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using KorvoTest::kProgramBackstopSeconds;
using KorvoTest::kWaitBackstopSeconds;
using KorvoTest::ReadFileBytes;

std::string ProgramPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of("\\/") + 1) + "input_probe_app.exe";
}

// Run a shell command line on the Linux side (Wine starts Unix programs too);
// its exit code, read back from a marker file the shell writes at the end.
int RunUnixCommand(const std::string &command)
{
    DeleteFileA("unix_done.txt");
    std::string line = "/bin/sh -c \"" + command + "; echo $? > unix_done.txt\"";
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    KorvoTest::Backstop backstop(line.c_str(), kProgramBackstopSeconds);
    while (!backstop.Passed()) {
        std::string done = ReadFileBytes("unix_done.txt");
        if (!done.empty() && done.back() == '\n') {
            return std::atoi(done.c_str());
        }
        Sleep(20);
    }
    ADD_FAILURE() << backstop.Report();
    return -2;
}

// The program writes a line whenever its readings change: wait for one.
bool WaitForReading(const std::string &folder, const std::string &reading)
{
    const std::string what = "the reading " + reading;
    for (KorvoTest::Backstop backstop(what.c_str(), kWaitBackstopSeconds);; Sleep(20)) {
        std::string text = ReadFileBytes(folder + "\\probe.txt");
        size_t lastLine = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
        std::string last = text.substr(lastLine == std::string::npos ? 0 : lastLine + 1);
        if (last == reading + "\n") {
            return true;
        }
        if (backstop.Passed()) {
            ADD_FAILURE() << backstop.Report();
            return false;
        }
    }
}

class RealInputTest : public ::testing::TestWithParam<const char *> {
protected:
    void StartProbe()
    {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = "probe_" + test.substr(0, test.find('/')) + "_" + GetParam();
        CreateDirectoryA(folder.c_str(), nullptr);
        DeleteFileA((folder + "\\probe.txt").c_str());
        DeleteFileA((folder + "\\text.txt").c_str());
        std::string commandLine = "\"" + ProgramPath() + "\" " + GetParam();
        std::vector<char> text(commandLine.begin(), commandLine.end());
        text.push_back('\0');
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                                   &process));
        KorvoTest::Backstop backstop("the probe's window", kProgramBackstopSeconds);
        while ((window = FindWindowA(nullptr, "KorvoInputProbe")) == nullptr && !backstop.Passed()) {
            Sleep(10);
        }
        ASSERT_NE(window, nullptr) << backstop.Report();
        ASSERT_TRUE(WaitForReading(folder, "keys=0,0 array=0 mask=0 first=0 mouse=0"))
            << ReadFileBytes(folder + "\\probe.txt");
        // DirectInput starts under Wine; the argument only chooses how keys are read.
        ASSERT_EQ(ReadFileBytes(folder + "\\probe.txt").find("start=0 directinput=1\n"), 0u);
        ASSERT_EQ(RunUnixCommand("xdotool search --sync --name KorvoInputProbe windowfocus --sync"), 0);
    }

    void TearDown() override
    {
        if (window != nullptr) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        if (process.hProcess != nullptr) {
            DWORD code = 0xDEAD;
            if (WaitForSingleObject(process.hProcess, kProgramBackstopSeconds * 1000) == WAIT_OBJECT_0) {
                GetExitCodeProcess(process.hProcess, &code);
            } else {
                ADD_FAILURE() << "the probe did not end within the backstop of " << kProgramBackstopSeconds << " s";
                TerminateProcess(process.hProcess, 0xDEAD);
            }
            EXPECT_EQ(code, 0u);
            EXPECT_NE(ReadFileBytes(folder + "\\probe.txt").find("shutdown=0\n"), std::string::npos);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }

    bool WaitForText(const std::string &text)
    {
        KorvoTest::Backstop backstop("the typed text", kWaitBackstopSeconds);
        while (ReadFileBytes(folder + "\\text.txt") != text) {
            if (backstop.Passed()) {
                ADD_FAILURE() << backstop.Report() << ": " << text;
                return false;
            }
            Sleep(20);
        }
        return true;
    }

    std::string folder;
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

TEST_P(RealInputTest, HeldKeysReachTheKeyArrayAndTheFirstPressedInput)
{
    StartProbe();
    ASSERT_EQ(RunUnixCommand("xdotool keydown z"), 0);
    EXPECT_TRUE(WaitForReading(folder, "keys=1,0 array=1 mask=0 first=44 mouse=0"))
        << ReadFileBytes(folder + "\\probe.txt");
    ASSERT_EQ(RunUnixCommand("xdotool keydown space"), 0);
    // The lowest held key code comes first: Z (44) before Space (57).
    EXPECT_TRUE(WaitForReading(folder, "keys=1,1 array=1 mask=0 first=44 mouse=0"))
        << ReadFileBytes(folder + "\\probe.txt");
    ASSERT_EQ(RunUnixCommand("xdotool keyup z"), 0);
    EXPECT_TRUE(WaitForReading(folder, "keys=0,1 array=0 mask=0 first=57 mouse=0"))
        << ReadFileBytes(folder + "\\probe.txt");
    ASSERT_EQ(RunUnixCommand("xdotool keyup space"), 0);
    EXPECT_TRUE(WaitForReading(folder, "keys=0,0 array=0 mask=0 first=0 mouse=0"))
        << ReadFileBytes(folder + "\\probe.txt");
}

TEST_P(RealInputTest, HeldMouseButtonsReachTheButtonMaskInsideTheWindow)
{
    StartProbe();
    ASSERT_EQ(RunUnixCommand("xdotool search --name KorvoInputProbe mousemove --window %1 100 100 mousedown 1"), 0);
    EXPECT_TRUE(WaitForReading(folder, "keys=0,0 array=0 mask=1 first=0 mouse=-1"))
        << ReadFileBytes(folder + "\\probe.txt");
    ASSERT_EQ(RunUnixCommand("xdotool mouseup 1 mousedown 3"), 0);
    EXPECT_TRUE(WaitForReading(folder, "keys=0,0 array=0 mask=2 first=0 mouse=-1"))
        << ReadFileBytes(folder + "\\probe.txt");
    ASSERT_EQ(RunUnixCommand("xdotool mouseup 3"), 0);
    EXPECT_TRUE(WaitForReading(folder, "keys=0,0 array=0 mask=0 first=0 mouse=0"))
        << ReadFileBytes(folder + "\\probe.txt");
}

TEST_P(RealInputTest, TypedCharactersAndEditingKeysReachTheTextInput)
{
    StartProbe();
    ASSERT_EQ(RunUnixCommand("xdotool type --delay 30 Korvo"), 0);
    EXPECT_TRUE(WaitForText("text=Korvo ended=0\n")) << ReadFileBytes(folder + "\\text.txt");
    ASSERT_EQ(RunUnixCommand("xdotool key --delay 30 Left BackSpace Home x Return"), 0);
    EXPECT_TRUE(WaitForText("text=xKoro ended=1\n")) << ReadFileBytes(folder + "\\text.txt");
}

INSTANTIATE_TEST_SUITE_P(KeyboardStateAndDirectInput, RealInputTest, ::testing::Values("keystate", "directinput"));

} // namespace
