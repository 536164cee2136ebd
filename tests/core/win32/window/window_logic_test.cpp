// The window layer's own logic through the real main window: what activation
// changes pause and resume, queued against immediate activation, the paused
// pump, display changes, system commands and window-mode switches after start-up.
// The neighbouring subsystems are recording fakes.

#include "tests/core/win32/support/subsystem_fakes.h"

#include "core/log/error_log.h"
#include "core/shell/library_life.h"
#include "core/shell/main_window.h"
#include "core/shell/message_pump.h"
#include "core/system/win32/app_window.h"
#include "core/system/win32/window_state.h"
#include "core/threads/clock.h"
#include "graphics/device/screen_request.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Korvo;
using Names = std::vector<std::string>;

namespace {

const Names kPause = {"SuspendAllMovies", "SetSoundHandlesPaused(1)", "SetSoftSoundPlayersPaused(1)"};
const Names kResume = {"ResumeSuspendedMovies", "SetSoundHandlesPaused(0)", "SetSoftSoundPlayersPaused(0)"};

Names Join(std::initializer_list<Names> parts)
{
    Names all;
    for (const Names &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class WindowLogicTest : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override
    {
        FakeSubsystems::Reset();
        SetAppWindowTitle("KorvoWindowTest");
        SetScreenResolutionAndDepth(640, 480, 32, 60);
        ChangeWindowMode(1);
        KorvoTest::StartFreshLog();
        ASSERT_EQ(StartLibrary(), 0);
        window = GetAppWindowHandle();
        DrainMessages();
        FakeSubsystems::Calls.clear();
    }
    void TearDown() override
    {
        FakeSubsystems::OnNetworkPump = nullptr;
        ShutdownLibrary();
    }
    void DrainMessages()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && ServiceMessageQueue() == 0) {
        }
    }
    // Whether the library asked its window to close (the request is taken back).
    bool TakeCloseRequest()
    {
        MSG message;
        bool posted = PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
        bool forced = WindowState.forcedClose != 0;
        WindowState.forcedClose = 0;
        return posted && forced;
    }
};

// Activation, display changes and system commands sent outside the pump are
// applied at once; each row starts from a set activation state and mode.
TEST_F(WindowLogicTest, MessagesPauseResumeOrEndTheLibrary)
{
    struct Row {
        const char *name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        int activeBefore;
        int windowed;
        int fullScreenPath;
        int restoreRoutine;
        int deviceLost;
        Names calls;
        int activeAfter;
        bool closes;
        LRESULT result;
    };
    const Row rows[] = {
        {"windowed deactivation", WM_ACTIVATE, WA_INACTIVE, 0, 1, 1, 0, 1, 0,
         Join({kPause, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}), 0, false, 0},
        {"a minimised window deactivates", WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0, 1, 1, 0, 1, 0,
         Join({kPause, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}), 0, false, 0},
        {"activation app message", WM_ACTIVATEAPP, 0, 0, 1, 1, 0, 1, 0,
         Join({kPause, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}), 0, false, 0},
        {"no change", WM_ACTIVATE, WA_ACTIVE, 0, 1, 1, 0, 1, 0, {}, 1, false, 0},
        {"windowed activation", WM_ACTIVATE, WA_CLICKACTIVE, 0, 0, 1, 0, 1, 0,
         Join({kResume, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}), 1, false, 0},
        {"windowed activation, device lost", WM_ACTIVATE, WA_ACTIVE, 0, 0, 1, 0, 1, 1,
         Join({{"G_D3D_EndSceneIfBegun", "RecreateGraphicsDevice"}, kResume,
               {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}),
         1, false, 0},
        {"full-screen deactivation", WM_ACTIVATE, WA_INACTIVE, 0, 1, 0, 1, 1, 0,
         Join({{"ReleaseGraphicsDevice"}, kPause, {"ApplyJoypadVibrationStates"}}), 0, false, 0},
        {"full-screen deactivation without a restore routine", WM_ACTIVATE, WA_INACTIVE, 0, 1, 0, 1, 0, 0,
         {"ReleaseGraphicsDevice"}, 0, true, 0},
        {"full-screen activation", WM_ACTIVATE, WA_ACTIVE, 0, 0, 0, 1, 1, 0,
         Join({{"RecreateGraphicsDevice"}, kResume, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}), 1,
         false, 0},
        {"same display", WM_DISPLAYCHANGE, 32, MAKELPARAM(640, 480), 1, 1, 0, 0, 0, {}, 1, false, 0},
        {"larger display", WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600), 1, 1, 0, 1, 0,
         {"CheckMovieModuleAfterReset", "ResumeSuspendedMovies"}, 1, false, 0},
        {"larger display while inactive: the activation resumes the movies", WM_DISPLAYCHANGE, 32,
         MAKELPARAM(800, 600), 0, 1, 0, 1, 0, {"CheckMovieModuleAfterReset"}, 0, false, 0},
        {"16-bit display", WM_DISPLAYCHANGE, 16, MAKELPARAM(640, 480), 1, 1, 0, 1, 0,
         {"CheckMovieModuleAfterReset", "ResumeSuspendedMovies"}, 1, false, 0},
        {"24-bit display", WM_DISPLAYCHANGE, 24, MAKELPARAM(800, 600), 1, 1, 0, 1, 0, {}, 1, true, 0},
        {"8-bit display", WM_DISPLAYCHANGE, 8, MAKELPARAM(800, 600), 1, 1, 0, 1, 0, {}, 1, true, 0},
        {"narrower display", WM_DISPLAYCHANGE, 32, MAKELPARAM(600, 480), 1, 1, 0, 1, 0, {}, 1, true, 0},
        {"display change without a restore routine", WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600), 1, 1, 0, 0, 0,
         {}, 1, true, 0},
        {"display change in full screen", WM_DISPLAYCHANGE, 24, MAKELPARAM(800, 600), 1, 0, 0, 1, 0, {}, 1, false,
         0},
        {"screen saver", WM_SYSCOMMAND, SC_SCREENSAVE | 2, 0, 1, 1, 0, 1, 0, {}, 1, false, 1},
        {"monitor power-off", WM_SYSCOMMAND, SC_MONITORPOWER | 2, 2, 1, 1, 0, 1, 0, {}, 1, false, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        KorvoTest::StartFreshLog();
        WindowState.active = row.activeBefore;
        WindowState.windowedMode = row.windowed;
        FakeSubsystems::FullScreenPathRunning = row.fullScreenPath;
        FakeSubsystems::HasRestoreRoutine = row.restoreRoutine;
        FakeSubsystems::DeviceExists = row.deviceLost;
        FakeSubsystems::DeviceLost = row.deviceLost;
        FakeSubsystems::Calls.clear();

        EXPECT_EQ(SendMessageA(window, row.message, row.wParam, row.lParam), row.result);
        Names calls = FakeSubsystems::Calls;
        WindowState.windowedMode = 1;
        EXPECT_EQ(calls, row.calls);
        EXPECT_EQ(WindowState.active, row.activeAfter);
        EXPECT_EQ(TakeCloseRequest(), row.closes);
        if (row.closes && row.message == WM_ACTIVATE) {
            EXPECT_NE(KorvoTest::ReadLogFile().find(":復元関数が登録されていないため終了します\r\n"), std::string::npos);
        }
        if (IsIconic(window)) {
            ShowWindow(window, SW_RESTORE);
        }
    }
}

// The library's procedure, behind one that marks a test message in the call record.
WNDPROC LibraryProcedure = nullptr;
constexpr UINT kMarkerMessage = WM_USER + 9;

LRESULT CALLBACK MarkingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMarkerMessage) {
        FakeSubsystems::Calls.push_back("marker");
    }
    return CallWindowProcA(LibraryProcedure, hwnd, message, wParam, lParam);
}

// A deactivation dispatched by the pump waits in the queue until the pump has
// dispatched its messages; the next pump call then stays inside while the window
// is inactive, sleeping about 25 ms a cycle and repainting at most every 64 ms.
TEST_F(WindowLogicTest, QueuedActivationAndThePausedPump)
{
    LibraryProcedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MarkingProcedure));
    PostMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    PostMessageA(window, kMarkerMessage, 0, 0);
    EXPECT_EQ(ServiceMessageQueue(), 0);
    EXPECT_EQ(FakeSubsystems::Calls,
              Join({{"marker"}, kPause, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}));
    EXPECT_EQ(WindowState.active, 0);
    EXPECT_EQ(WindowState.activations.count, 0);

    // Paused: count the cycles through the network pump each one calls, ask for
    // a repaint every cycle, and come back after ten cycles.
    std::vector<int> cycleTimes;
    FakeSubsystems::RepaintTimes.clear();
    FakeSubsystems::Calls.clear();
    FakeSubsystems::OnNetworkPump = [&] {
        if (WindowState.active != 0 || cycleTimes.size() == 10) {
            return;
        }
        cycleTimes.push_back(GetMillisecondClock());
        WindowState.repaintPending = 1;
        if (cycleTimes.size() == 10) {
            PostMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
        }
    };
    EXPECT_EQ(ServiceMessageQueue(), 0);
    EXPECT_EQ(WindowState.active, 1);
    ASSERT_EQ(cycleTimes.size(), 10u);
    // The paused cycle sleeps 24 ms (1 ms when active); the millisecond clock and
    // the sleep round apart, so allow a few ms of slack.
    for (size_t i = 1; i < cycleTimes.size(); ++i) {
        EXPECT_GE(cycleTimes[i] - cycleTimes[i - 1], 20) << "cycle " << i;
    }
    const std::vector<int> &repaints = FakeSubsystems::RepaintTimes;
    EXPECT_GE(repaints.size(), 2u);
    EXPECT_LT(repaints.size(), cycleTimes.size());
    for (size_t i = 1; i < repaints.size(); ++i) {
        EXPECT_GE(repaints[i] - repaints[i - 1], 60) << "repaint " << i;
    }
    EXPECT_EQ(FakeSubsystems::Calls, Join({kResume, {"ReacquireInputDevices", "ApplyJoypadVibrationStates"}}));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LibraryProcedure));
}

LONG_PTR WindowStyle(HWND window, int which)
{
    return GetWindowLongPtrA(window, which);
}

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

// After start-up a mode switch restyles the window and rebuilds the screen;
// full screen needs a display mode of the screen's size (any depth).
TEST_F(WindowLogicTest, ChangeWindowModeAfterStartUp)
{
    struct Step {
        const char *name;
        std::vector<FakeSubsystems::Mode> modes;
        int windowed;
        int result;
        int windowedAfter;
        bool rebuilt;
    };
    const Step steps[] = {
        {"no mode of that size", {{800, 600, 32}}, 0, -1, 1, false},
        {"to full screen", {{640, 480, 16}}, 0, 0, 0, true},
        {"full screen again", {{640, 480, 16}}, 0, 0, 0, false},
        {"back to a window", {}, 1, 0, 1, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        FakeSubsystems::DisplayModes = step.modes;
        FakeSubsystems::Calls.clear();
        EXPECT_EQ(ChangeWindowMode(step.windowed), step.result);
        EXPECT_EQ(WindowState.windowedMode, step.windowedAfter);
        EXPECT_EQ(FakeSubsystems::Calls, step.rebuilt ? Names{"ApplyScreenModeChange(keep, force)"} : Names{});
        LONG_PTR style = WindowStyle(window, GWL_STYLE);
        LONG_PTR exStyle = WindowStyle(window, GWL_EXSTYLE);
        EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, step.windowedAfter == 1);
        EXPECT_EQ((exStyle & WS_EX_TOPMOST) != 0, step.windowedAfter == 0);
        SIZE client = ClientSize(window);
        EXPECT_EQ(client.cx, 640);
        EXPECT_EQ(client.cy, 480);
        EXPECT_EQ(WindowState.modeChangeUnderway, 0);
    }
}

} // namespace
