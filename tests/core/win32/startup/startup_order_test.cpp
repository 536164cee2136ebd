// Start-up and shut-down orders over the subsystems, failed start-ups and
// restarts, in this process (the neighbouring subsystems are recording fakes).

#include "tests/core/win32/support/subsystem_fakes.h"

#include "core/threads/async_load.h"
#include "core/threads/win32/timer_period.h"
#include "core/threads/clock.h"
#include "core/system/platform_libraries.h"
#include "core/log/error_log.h"
#include "core/log/fatal_error.h"
#include "core/shell/library_life.h"
#include "core/shell/main_window.h"
#include "core/shell/message_pump.h"
#include "core/system/win32/app_window.h"
#include "core/system/win32/window_state.h"
#include "graphics/device/screen_request.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Korvo;
using Names = std::vector<std::string>;

namespace {

const Names kStartupOrder = {
    "BuildTheoraYuvTables",  "SetGraphRestoreCallback",        "InitInputDevices+w",
    "LoadAcmFunctions+w",    "InitSoundOutputSystem+w",        "InitMovieHandleType+w",
    "StartupGraphicsSystem(starting)+w", "InitFontHandleSystem+w", "InitTextInputState+w", "SelectDrawTarget(-2)+w",
    "SelectDrawTarget(-4)+w", "InitModelHandleTypes+w",
};
const Names kShutdownOrder = {
    "TermNetworkModule+w",    "StopBackgroundMusicHandle+w", "TermModelHandleTypes+w",
    "TermFontHandleSystem+w", "ShutdownGraphicsSystem+w", "TermMovieHandleType+w",    "TermInputDevices+w",
    "TermSoundOutputSystem+w", "FreeAcmFunctions+w",        "DeleteAllTextInputHandles+w",
};

Names Concat(Names a, const Names &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class StartupOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeSubsystems::Reset();
        SetAppWindowTitle("KorvoStartupTest");
        SetScreenResolutionAndDepth(320, 240, 32, 60);
        EnableLogFileOutput(1);
        ChangeWindowMode(1);
    }
    void TearDown() override { ShutdownLibrary(); }
};

TEST_F(StartupOrderTest, StartAndShutdownRunEverySubsystemInOrder)
{
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_EQ(FakeSubsystems::Trace, kStartupOrder);
    EXPECT_EQ(GetLibraryStartedFlag(), 1);
    EXPECT_EQ(GetStartupInProgressFlag(), 0);
    HWND window = GetAppWindowHandle();
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);
    EXPECT_EQ(StartLibrary(), 0); // already started: nothing runs again
    EXPECT_EQ(FakeSubsystems::Trace.size(), kStartupOrder.size());

    FakeSubsystems::Trace.clear();
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_EQ(FakeSubsystems::Trace, kShutdownOrder);
    EXPECT_EQ(GetLibraryStartedFlag(), 0);
    EXPECT_EQ(GetAppWindowHandle(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetTimerPeriodsInForce(), 0);
    FakeSubsystems::Trace.clear();
    EXPECT_EQ(ShutdownLibrary(), 0); // twice: nothing happens
    EXPECT_TRUE(FakeSubsystems::Trace.empty());
}

TEST_F(StartupOrderTest, FailedGraphicsStartEndsWhatWasStartedAndALaterStartSucceeds)
{
    FakeSubsystems::GraphicsStartResult = -1;
    EXPECT_EQ(StartLibrary(), -1);
    Names started(kStartupOrder.begin(), kStartupOrder.begin() + 7);
    EXPECT_EQ(FakeSubsystems::Trace, Concat(started, kShutdownOrder));
    EXPECT_EQ(GetLibraryStartedFlag(), 0);
    EXPECT_EQ(GetStartupInProgressFlag(), 0);
    // The window of the failed start is gone and no longer reachable.
    EXPECT_EQ(GetAppWindowHandle(), nullptr);
    EXPECT_EQ(FindWindowA("KorvoStartupTest", nullptr), nullptr);
    EXPECT_EQ(GetTimerPeriodsInForce(), 0);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(ChangeWindowMode(1), 0);

    FakeSubsystems::Reset();
    EXPECT_EQ(StartLibrary(), 0);
    EXPECT_EQ(FakeSubsystems::Trace, kStartupOrder);
    EXPECT_NE(GetAppWindowHandle(), nullptr);
}

TEST_F(StartupOrderTest, FailedInputStartEndsTheWindowAgain)
{
    FakeSubsystems::InputStartResult = -1;
    EXPECT_EQ(StartLibrary(), -1);
    Names started(kStartupOrder.begin(), kStartupOrder.begin() + 3);
    EXPECT_EQ(FakeSubsystems::Trace, Concat(started, kShutdownOrder));
    EXPECT_EQ(GetAppWindowHandle(), nullptr);
}

TEST_F(StartupOrderTest, TwentyFourBitsAreRefusedBeforeAnyWindowExists)
{
    SetScreenResolutionAndDepth(320, 240, 24, 60);
    EXPECT_EQ(StartLibrary(), -1);
    Names ended;
    for (const std::string &name : kShutdownOrder) {
        ended.push_back(name.substr(0, name.size() - 2)); // no window at any step
    }
    ended.pop_back(); // text-input handles are deleted only with a window
    EXPECT_EQ(FakeSubsystems::Trace, Concat({"BuildTheoraYuvTables"}, ended));
    EXPECT_NE(KorvoTest::ReadLogFile().find(":Korvoは２４ビットカラーモードに対応していません\r\n"), std::string::npos);
}

BOOL ScreenSaverActive()
{
    BOOL active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return active;
}

// Every road out of a failed start-up switches the screen saver back on.
TEST_F(StartupOrderTest, FailedStartUpsGiveTheScreenSaverBack)
{
    struct Road {
        const char *name;
        int graphicsResult;
        int inputResult;
        bool otherInstance;
    };
    const Road roads[] = {
        {"second instance", 0, 0, true},
        {"input fails", 0, -1, false},
        {"graphics fails", -1, 0, false},
    };
    WNDCLASSA otherClass = {};
    otherClass.lpfnWndProc = DefWindowProcA;
    otherClass.hInstance = GetModuleHandleA(nullptr);
    otherClass.lpszClassName = "KorvoStartupTest";
    for (const Road &road : roads) {
        SCOPED_TRACE(road.name);
        FakeSubsystems::Reset();
        FakeSubsystems::GraphicsStartResult = road.graphicsResult;
        FakeSubsystems::InputStartResult = road.inputResult;
        HWND other = nullptr;
        if (road.otherInstance) {
            ASSERT_NE(RegisterClassA(&otherClass), 0);
            other = CreateWindowA("KorvoStartupTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  otherClass.hInstance, nullptr);
            ASSERT_NE(other, nullptr);
        }
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
        EXPECT_EQ(StartLibrary(), -1);
        EXPECT_TRUE(ScreenSaverActive());
        if (other != nullptr) {
            DestroyWindow(other);
            UnregisterClassA("KorvoStartupTest", otherClass.hInstance);
        }
    }
    // A start-up that succeeds keeps it off until the shut-down.
    FakeSubsystems::Reset();
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_FALSE(ScreenSaverActive());
    ShutdownLibrary();
    EXPECT_TRUE(ScreenSaverActive());
}

TEST_F(StartupOrderTest, PumpReturnsMinusOneOnceTheWindowIsClosed)
{
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_EQ(ServiceMessageQueue(), 0);
    PostMessageA(GetAppWindowHandle(), WM_CLOSE, 0, 0);
    int result = 0;
    for (int i = 0; i < 100 && result == 0; ++i) {
        result = ServiceMessageQueue();
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(GetShutdownRequestedFlag(), 1);
    EXPECT_EQ(ServiceMessageQueue(), -1);
}

TEST_F(StartupOrderTest, PumpDispatchesAtMostFiveMessagesPerCall)
{
    ASSERT_EQ(StartLibrary(), 0);
    while (ServiceMessageQueue() == 0) {
        MSG waiting;
        if (!PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
            break;
        }
    }
    HWND window = GetAppWindowHandle();
    for (int i = 0; i < 6; ++i) {
        PostMessageA(window, WM_USER + 7, 0, 0);
    }
    // Count what is left after one call.
    ServiceMessageQueue();
    int left = 0;
    MSG message;
    while (PeekMessageA(&message, window, WM_USER + 7, WM_USER + 7, PM_REMOVE)) {
        ++left;
    }
    EXPECT_EQ(left, 1);
}

// ---------------------------------------------------------------------------
// Fatal exit on a worker
// ---------------------------------------------------------------------------

int AbortingJob(AsyncLoadJob *)
{
    AbortWithFatalError("worker gave up");
    return 0;
}

void StartAndAbortOnAWorker()
{
    SetAppWindowTitle("KorvoFatalTest");
    ChangeWindowMode(1);
    EnableLogFileOutput(1);
    if (StartLibrary() != 0) {
        ExitProcess(7);
    }
    AsyncLoadJob *job = AllocAsyncLoadJob(0);
    job->callback = AbortingJob;
    QueueAsyncLoadJob(job);
    for (;;) {
        ServiceMessageQueue();
        Sleep(1);
    }
}

TEST(FatalErrorTest, AbortOnAWorkerEndsTheProcessWithMinusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartAndAbortOnAWorker(), ::testing::ExitedWithCode(-1), "");
    EXPECT_NE(KorvoTest::ReadLogFile().find(":worker gave up\r\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Clipboard text
// ---------------------------------------------------------------------------

TEST_F(StartupOrderTest, ClipboardTextRoundTripsAndReadsStayInsideTheBuffer)
{
    ASSERT_EQ(StartLibrary(), 0);
    ASSERT_EQ(WriteClipboardAnsiText("abcdef"), 0);
    EXPECT_GE(ReadClipboardAnsiText(nullptr, 0), 7);
    char full[16] = {};
    EXPECT_EQ(ReadClipboardAnsiText(full, sizeof(full)), 0);
    EXPECT_STREQ(full, "abcdef");
    char small[6] = {'#', '#', '#', '#', '#', '#'};
    EXPECT_EQ(ReadClipboardAnsiText(small, 4), 0);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(small[4], '#');
    ASSERT_TRUE(OpenClipboard(GetAppWindowHandle()));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(ReadClipboardAnsiText(nullptr, 0), -1);
}

} // namespace

// ---------------------------------------------------------------------------
// Without the multimedia timer
// ---------------------------------------------------------------------------

TEST(MissingTimerLibraryTest, WaitsAndTheSystemLogStillEnd)
{
    FreePlatformLibraries(); // no "winmm.dll" entries: the millisecond clock answers -1
    MicrosecondClockState.usePerformanceCounter = 0;
    ASSERT_EQ(GetMillisecondClock(), -1);
    EXPECT_EQ(WaitMillisecondsPumping(20), 0);
    EXPECT_EQ(LogSystemInformation(), 0);
    EXPECT_EQ(GetTimerPeriodsInForce(), 0);
    LoadPlatformLibraries();
}

// ---------------------------------------------------------------------------
// Full-screen display check
// ---------------------------------------------------------------------------

size_t CountOccurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(StartupOrderTest, FullScreen640x480x16WithoutThatModeFallsBackTo32Bits)
{
    FakeSubsystems::DisplayModes = {{800, 600, 32}, {640, 480, 32}};
    SetScreenResolutionAndDepth(640, 480, 16, 60);
    ChangeWindowMode(0);
    ASSERT_EQ(StartLibrary(), 0);
    std::string log = KorvoTest::ReadLogFile();
    EXPECT_NE(log.find(":設定されている画面設定 640x480 16bit color\r\n"), std::string::npos);
    EXPECT_NE(log.find(":設定されている画面設定 640x480 32bit color\r\n"), std::string::npos);
    EXPECT_EQ(CountOccurrences(log, "対応している画面モードなし"), 1u);
    EXPECT_EQ(GetScreenBitsPerPixel(), 32);
    EXPECT_EQ(GetWindowedModeState(), 0);
    EXPECT_NE(log.find(":フルスクリーンモード用のウインドウを作成します\r\n"), std::string::npos);
    ShutdownLibrary();
    ChangeWindowMode(1);
}

TEST_F(StartupOrderTest, FullScreenSizeTheAdapterLacksStartsWindowed)
{
    FakeSubsystems::DisplayModes = {{640, 480, 32}};
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    ChangeWindowMode(0);
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_EQ(GetWindowedModeState(), 1);
    std::string log = KorvoTest::ReadLogFile();
    EXPECT_NE(log.find(":ウインドウモード起動用のウインドウを作成します\r\n"), std::string::npos);
    RECT client = {};
    GetClientRect(GetAppWindowHandle(), &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
}

// ---------------------------------------------------------------------------
// Characters from window messages
// ---------------------------------------------------------------------------

TEST_F(StartupOrderTest, CharacterMessagesReachTheInputBufferMapped)
{
    ASSERT_EQ(StartLibrary(), 0);
    HWND window = GetAppWindowHandle();
    SendMessageA(window, WM_CHAR, 10, 0);  // line feed becomes carriage return
    SendMessageA(window, WM_CHAR, 2, 0);   // other control codes are dropped
    SendMessageA(window, WM_CHAR, 27, 0);  // escape passes
    SendMessageA(window, WM_CHAR, 'A', 0);
    SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageA(window, WM_KEYDOWN, 'Q', 0); // not in the key table
    EXPECT_EQ(FakeSubsystems::PushedChars, (std::vector<int>{13, 27, 'A', 29}));
}
