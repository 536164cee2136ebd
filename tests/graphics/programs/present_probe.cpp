// What the player sees after a present: a program on korvo.h that draws a red box
// on a blue screen and then goes through steps that each end with the picture
// presented. After each step it prints "shown N" and keeps pumping messages
// until the driver, which reads the window from the X server, writes the file
// "go N" into the working folder.
//
// Steps: 1 draw, read the whole screen back, present; 2 three presents without
// drawing; 3 a repaint of the whole window; 4 a present of the right half only.
//
//   present_probe direct3d|software

#include "korvo.h"
#include "graphics/device/graphics_state.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

using namespace Korvo;

namespace {

constexpr const char *kTitle = "KorvoPresentProbe";

// Pump messages until the driver lets the step go, or it gives up on us.
bool WaitForDriver(int step)
{
    std::printf("shown %d\n", step);
    std::fflush(stdout);
    char name[16];
    std::snprintf(name, sizeof name, "go %d", step);
    for (int i = 0; i < 120 * 100; ++i) {
        if (ServiceMessageQueue() != 0) {
            return false;
        }
        if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

// The centre pixel of the screen, read back through the lock, as 0xRRGGBB.
unsigned ReadCentre(int width, int height)
{
    const RECT all = {0, 0, width, height};
    RasterImage image = {};
    if (LockDrawScreenBuffer(&all, &image, -1, 1, 0) != 0) {
        return 0xDEADBEEF;
    }
    const unsigned char *row = static_cast<const unsigned char *>(image.pixels) + (height / 2) * image.pitch;
    unsigned pixel = 0;
    std::memcpy(&pixel, row + (width / 2) * 4, 4);
    UnlockDrawScreenBuffer();
    return pixel & 0xFFFFFF;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || (std::strcmp(argv[1], "direct3d") != 0 && std::strcmp(argv[1], "software") != 0)) {
        std::fprintf(stderr, "usage: present_probe direct3d|software\n");
        return 2;
    }
    SetAppWindowTitle(kTitle);
    EnableLogFileOutput(0);
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(std::strcmp(argv[1], "direct3d") == 0 ? 1 : 0);
    SetScreenResolutionAndDepth(640, 480, 32, 60);
    if (StartLibrary() != 0) {
        std::printf("FAILED: the library starts\n");
        return 1;
    }
    int width = 0;
    int height = 0;
    int bits = 0;
    GetScreenSizeAndDepth(&width, &height, &bits);
    std::printf("screen %dx%d road %s\n", width, height, GraphicsState.direct3DModeActive != 0 ? "direct3d" : "software");

    SelectDrawTarget(-2);
    FillColorBox(0, 0, width, height, PackScreenColor(30, 60, 200));
    FillColorBox(width / 4, height / 4, width * 3 / 4, height * 3 / 4, PackScreenColor(255, 0, 0));
    std::printf("read back %06x\n", ReadCentre(width, height));
    PresentBackScreen();
    bool going = WaitForDriver(1);

    for (int i = 0; going && i < 3; ++i) {
        PresentBackScreen();
        ServiceMessageQueue();
    }
    going = going && WaitForDriver(2);

    if (going) {
        RedrawWindow(FindWindowA(nullptr, kTitle), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        going = WaitForDriver(3);
    }

    if (going) {
        // Green over the whole screen, but only the right half of the window is presented.
        FillColorBox(0, 0, width, height, PackScreenColor(0, 200, 0));
        RECT client = {};
        GetClientRect(FindWindowA(nullptr, kTitle), &client);
        const RECT half = {client.right / 2, 0, client.right, client.bottom};
        std::printf("rect present %d\n", PresentBackScreenRect(&half));
        going = WaitForDriver(4);
    }
    // The last line: the runner takes it as the sign of the program's normal end.
    std::printf("shut down %d\n", ShutdownLibrary());
    return going ? 0 : 1;
}
