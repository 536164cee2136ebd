// The library operations of korvo.h that the game calls, recorded.
#include "tests/game/fake_library.h"

#include <gtest/gtest.h>

#include "game/game_globals.h"
#include "korvo.h"

FakeLibraryState Fake;

void ResetFakeLibrary()
{
    Fake = FakeLibraryState();
    for (int b = 0; b < kMouseButtonCount; ++b) {
        MouseClicked[b] = 0;
        MouseHoldFrames[b] = 0;
    }
    HpBarFrameGraph = 0;
}

int FakeGraphOf(const std::string &file)
{
    for (const auto &entry : Fake.graphNames) {
        if (entry.second == file) {
            return entry.first;
        }
    }
    return -1;
}

int CountDraws(const std::string &what)
{
    int count = 0;
    for (const RecordedDraw &draw : Fake.draws) {
        count += draw.what == what ? 1 : 0;
    }
    return count;
}

bool DrewAt(const std::string &what, int x, int y)
{
    for (const RecordedDraw &draw : Fake.draws) {
        if (draw.what == what && draw.x == x && draw.y == y) {
            return true;
        }
    }
    return false;
}

static void Record(const std::string &what, int x, int y, int colour)
{
    Fake.draws.push_back(RecordedDraw{what, x, y, Fake.blendMode, Fake.blendParam, colour});
}

namespace Korvo {

int SetAppWindowTitle(const char *) { return 0; }
int EnableLogFileOutput(int) { return 0; }
int ChangeWindowMode(int) { return 0; }
int StartLibrary() { return Fake.startFails ? -1 : 0; }
int ShutdownLibrary() { return 0; }
int WaitMillisecondsPumping(int) { return 0; }
int WaitForAnyInputPress() { return 0; }
int SetScreenResolutionAndDepth(int, int, int, int) { return 0; }
int SelectDrawTarget(int) { return 0; }
int PresentBackScreen() { return 0; }

int ServiceMessageQueue()
{
    const int frame = Fake.framesServed++;
    if (Fake.beforeNextFrame) {
        Fake.beforeNextFrame(frame);
    }
    return Fake.framesServed >= Fake.frameLimit ? -1 : 0;
}

int GetCursorClientPosition(int *x, int *y)
{
    if (x != nullptr) {
        *x = Fake.cursorX;
    }
    if (y != nullptr) {
        *y = Fake.cursorY;
    }
    return 0;
}

int GetMouseButtonMask() { return Fake.mouseMask; }

// A scripted value must lie where the library's can: 0..max, or max + 1..0 for a
// negative bound (the high word of a scaled product). One outside fails the test
// and is clamped, so a bound with the wrong sign never passes unnoticed.
int GetRandomUpTo(int max)
{
    const int low = max >= 0 ? 0 : max + 1;
    const int high = max >= 0 ? max : 0;
    if (Fake.randomValues.empty()) {
        return 0;
    }
    const int value = Fake.randomValues.front();
    Fake.randomValues.pop_front();
    if (value < low || value > high) {
        ADD_FAILURE() << "GetRandomUpTo(" << max << ") cannot give " << value;
        return value < low ? low : high;
    }
    return value;
}

int PackScreenColor(int red, int green, int blue) { return (red << 16) | (green << 8) | blue; }

int CreateGraphFromImageFile(const char *fileName, int)
{
    Fake.graphNames[Fake.nextHandle] = fileName;
    return Fake.nextHandle++;
}

int CreateDivGraphFromImageFile(const char *fileName, int count, int, int, int, int, int *handles, int)
{
    for (int i = 0; i < count; ++i) {
        Fake.graphNames[Fake.nextHandle] = std::string(fileName) + "#" + std::to_string(i);
        handles[i] = Fake.nextHandle++;
    }
    return 0;
}

int DestroyGraphHandle(int handle, int) { return Fake.graphNames.erase(handle) == 1 ? 0 : -1; }

int DrawGraphAtPoint(int x, int y, int handle, int)
{
    const auto found = Fake.graphNames.find(handle);
    if (found != Fake.graphNames.end()) {
        Record(found->second, x, y, 0);
    }
    return 0;
}

int SetBlendModeAndParam(int mode, int param) { return Fake.blendMode = mode, Fake.blendParam = param, 0; }

int DrawColorBox(int x1, int y1, int, int, int colour, int) { return Record("box", x1, y1, colour), 0; }

int DrawColorCircle(int cx, int cy, int, int colour, int) { return Record("circle", cx, cy, colour), 0; }

int SetStandardFontPixelSize(int size) { return Fake.fontSize = size, 0; }

int GetStandardFontPixelSize() { return Fake.fontSize; }

int DrawTextWithStandardFont(int x, int y, const char *text, int colour, int) { return Record(text, x, y, colour), 0; }

int LoadSoundFileAsHandle(const char *, int, int) { return 7; }

int StartSoundHandlePlayback(int, int, int) { return ++Fake.soundStarts, 0; }

} // namespace Korvo
