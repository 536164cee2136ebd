// Recording fakes of the subsystems not built yet, for the start-up and
// shut-down order tests: each sequence entry appends its name to one trace.
#pragma once

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

void Reset();

} // namespace FakeSubsystems
