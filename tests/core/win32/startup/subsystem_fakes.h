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

void Reset();

} // namespace FakeSubsystems
