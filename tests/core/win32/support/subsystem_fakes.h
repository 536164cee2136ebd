// Recording fakes of the subsystems not built yet, for the start-up and
// shut-down order tests: each sequence entry appends its name to one trace.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace FakeSubsystems {

extern std::vector<std::string> Trace;
// Result of the fake StartupGraphicsSystem and InitInputDevices.
extern int GraphicsStartResult;
extern int InputStartResult;

// Bytes pushed to the input character buffer.
extern std::vector<int> PushedChars;
// Display modes of the fake adapter: width, height, bits per pixel.
struct Mode {
    int width;
    int height;
    int bits;
};
extern std::vector<Mode> DisplayModes;

// Pause, resume, device and repaint entries in the order called (apart from
// Trace, so that the start-up order stays as it is).
extern std::vector<std::string> Calls;
// Answers of the graphics queries the activation and display-change code asks.
extern int HasRestoreRoutine;    // HasGraphRestoreCallback
extern int FullScreenPathRunning; // IsFullScreenMode and GetDirectDraw7Object
extern int DeviceExists;         // G_D3D_HasDevice
extern int DeviceLost;           // G_D3D_IsDeviceLost
// Millisecond clock of each RefreshPresentedScreen.
extern std::vector<int> RepaintTimes;
// Run by every PumpNetworkWindowMessages call when set.
extern std::function<void()> OnNetworkPump;

void Reset();

} // namespace FakeSubsystems
