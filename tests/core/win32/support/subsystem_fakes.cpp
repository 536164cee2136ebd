// Recording fakes of graphics, fonts, input, sound, movie, model and network. They
// replace the library's stand-in entries of those subsystems in this test
// program; queries answer like the stand-ins and are not traced.

#include "tests/core/win32/support/subsystem_fakes.h"

#include "core/shell/library_life.h"
#include "core/threads/clock.h"
#include "core/system/win32/app_window.h"
#include "font/startup_entries.h"
#include "graphics/device/screen_request.h"
#include "graphics/startup_entries.h"
#include "input/startup_entries.h"
#include "input/win32/window_message_entries.h"
#include "model/startup_entries.h"
#include "movie/startup_entries.h"
#include "network/startup_entries.h"
#include "sound/startup_entries.h"

namespace FakeSubsystems {

std::vector<std::string> Trace;
int GraphicsStartResult = 0;
int InputStartResult = 0;
std::vector<int> PushedChars;
std::vector<Mode> DisplayModes;
std::vector<std::string> Calls;
int HasRestoreRoutine = 1;
int FullScreenPathRunning = 0;
int DeviceExists = 0;
int DeviceLost = 0;
std::vector<int> RepaintTimes;
std::function<void()> OnNetworkPump;

void Reset()
{
    Calls.clear();
    HasRestoreRoutine = 1;
    FullScreenPathRunning = 0;
    DeviceExists = 0;
    DeviceLost = 0;
    RepaintTimes.clear();
    OnNetworkPump = nullptr;
    Trace.clear();
    PushedChars.clear();
    DisplayModes.clear();
    GraphicsStartResult = 0;
    InputStartResult = 0;
}

// Name plus whether the main window exists at that moment.
static int Record(const char *name)
{
    Trace.push_back(std::string(name) + (Korvo::GetAppWindowHandle() != nullptr ? "+w" : ""));
    return 0;
}

static int Call(const char *name, int result)
{
    Calls.push_back(name);
    return result;
}

} // namespace FakeSubsystems

using FakeSubsystems::Call;
using FakeSubsystems::Record;

namespace Korvo {

// Graphics
int CountDisplayModes() { return static_cast<int>(FakeSubsystems::DisplayModes.size()); }
DisplayModeEntry GetDisplayModeEntry(int index)
{
    if (index < 0 || index >= CountDisplayModes()) {
        return DisplayModeEntry{-1, -1, -1, -1};
    }
    const FakeSubsystems::Mode &mode = FakeSubsystems::DisplayModes[static_cast<size_t>(index)];
    return DisplayModeEntry{mode.width, mode.height, mode.bits, 60};
}
int IsHardwareRenderingWanted() { return 1; }
int SetGraphRestoreCallback(GraphRestoreCallback) { return Record("SetGraphRestoreCallback"); }
int HasGraphRestoreCallback() { return FakeSubsystems::HasRestoreRoutine; }
int StartupGraphicsSystem()
{
    Record(GetStartupInProgressFlag() ? "StartupGraphicsSystem(starting)" : "StartupGraphicsSystem");
    return FakeSubsystems::GraphicsStartResult;
}
int ShutdownGraphicsSystem() { return Record("ShutdownGraphicsSystem"); }
int InitFontHandleSystem() { return Record("InitFontHandleSystem"); }
int TermFontHandleSystem() { return Record("TermFontHandleSystem"); }
const ScreenLogBackend *GetFontScreenLogBackend() { return nullptr; }
static int FakeDrawTarget = -2;
int SelectDrawTarget(int target)
{
    FakeDrawTarget = target;
    return Record(target == -2 ? "SelectDrawTarget(-2)" : target == -4 ? "SelectDrawTarget(-4)" : "SelectDrawTarget");
}
int GetSelectedDrawTarget() { return FakeDrawTarget; }
void RefreshPresentedScreen()
{
    FakeSubsystems::RepaintTimes.push_back(GetMillisecondClock());
}
int ApplyScreenModeChange(int width, int height, int bits, int force, int refreshRate)
{
    bool keepAll = width == -1 && height == -1 && bits == -1 && force == 1 && refreshRate == -1;
    return Call(keepAll ? "ApplyScreenModeChange(keep, force)" : "ApplyScreenModeChange", 0);
}
int G_D3D_HasDevice() { return FakeSubsystems::DeviceExists; }
void G_D3D_EndSceneIfBegun() { Call("G_D3D_EndSceneIfBegun", 0); }
int G_D3D_IsDeviceLost() { return FakeSubsystems::DeviceLost; }
int RecreateGraphicsDevice() { return Call("RecreateGraphicsDevice", 0); }
void ReleaseGraphicsDevice() { Call("ReleaseGraphicsDevice", 0); }
int IsFullScreenMode() { return FakeSubsystems::FullScreenPathRunning; }
void *GetDirectDraw7Object()
{
    static int directDraw;
    return FakeSubsystems::FullScreenPathRunning != 0 ? &directDraw : nullptr;
}
int EnableMaskScreen(int) { return -1; }
int IsMaskScreenEnabled() { return 0; }
int SetWaitForVerticalBlank(int) { return 0; }
int IsWaitForVerticalBlankOn() { return 0; }
int SetMenuDialogBoxMode(int) { return 0; }
int GetMenuDialogBoxMode() { return 0; }

// Input
int InitInputDevices()
{
    Record("InitInputDevices");
    return FakeSubsystems::InputStartResult;
}
int TermInputDevices() { return Record("TermInputDevices"); }
int InitTextInputState() { return Record("InitTextInputState"); }
int RefreshKeyboardStateArray(int) { return 0; }
int UpdateJoypadVibrationTimers() { return 0; }
int FeedBufferedCharsToTextInput() { return 0; }
int GetFirstPressedInput(int) { return 0; }
int PushInputCharToBuffer(unsigned char code)
{
    FakeSubsystems::PushedChars.push_back(code);
    return 0;
}
void GetInputCharRingPositions(int *readPosition, int *writePosition)
{
    *readPosition = 0;
    *writePosition = 0;
}
int SetF10KeyDownFlag() { return 0; }
int ClearF10KeyDownFlag() { return 0; }
int SetSecondHookKeyFlag() { return 0; }
int ClearSecondHookKeyFlag() { return 0; }
int ReacquireInputDevices() { return Call("ReacquireInputDevices", 0); }
int ApplyJoypadVibrationStates() { return Call("ApplyJoypadVibrationStates", 0); }
int DeleteAllTextInputHandles() { return Record("DeleteAllTextInputHandles"); }
int GetImeEnabledFlag() { return 0; }
int GetImeActiveFlag() { return 0; }
void SetImeResetPending(int) {}
LRESULT HandleImeWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// Sound
int LoadAcmFunctions() { return Record("LoadAcmFunctions"); }
int InitSoundOutputSystem() { return Record("InitSoundOutputSystem"); }
int StopBackgroundMusicHandle() { return Record("StopBackgroundMusicHandle"); }
int TermSoundOutputSystem() { return Record("TermSoundOutputSystem"); }
int FreeAcmFunctions() { return Record("FreeAcmFunctions"); }
int RefillAllStreamSounds() { return -1; }
int UpdateSoftSoundPlayers() { return -1; }
int RefreshMusicPlayFlags() { return -1; }
int HandleMciMidiPlayEnd() { return 0; }
int SetSoundHandlesPaused(int paused) { return Call(paused ? "SetSoundHandlesPaused(1)" : "SetSoundHandlesPaused(0)", 0); }
int SetSoftSoundPlayersPaused(int paused)
{
    return Call(paused ? "SetSoftSoundPlayersPaused(1)" : "SetSoftSoundPlayersPaused(0)", 0);
}

// Movie
void BuildTheoraYuvTables() { Record("BuildTheoraYuvTables"); }
int InitMovieHandleType() { return Record("InitMovieHandleType"); }
int TermMovieHandleType() { return Record("TermMovieHandleType"); }
int CheckMovieModuleAfterReset() { return Call("CheckMovieModuleAfterReset", 0); }
int ResumeSuspendedMovies() { return Call("ResumeSuspendedMovies", 0); }
int SuspendAllMovies() { return Call("SuspendAllMovies", 0); }

// Models
int InitModelHandleTypes() { return Record("InitModelHandleTypes"); }
int TermModelHandleTypes() { return Record("TermModelHandleTypes"); }

// Network
int TermNetworkModule() { return Record("TermNetworkModule"); }
int PumpNetworkWindowMessages(int)
{
    if (FakeSubsystems::OnNetworkPump) {
        FakeSubsystems::OnNetworkPump();
    }
    return 0;
}

} // namespace Korvo
