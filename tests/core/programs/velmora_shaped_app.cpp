// A program shaped like the game's entry point, started by the window tests.
//
// Arguments (any order): "log" (log on), "frames=N" (frames to run, default
// 120; 0 runs until the window closes), "close=N" (post WM_CLOSE to itself
// after N frames), "retry24" (first ask for 24 bits, which must fail, then 32).
// It writes what it measured to "app_result.txt" and returns 0, or -1 when
// the start-up failed.

#include "core/log/error_log.h"
#include "core/shell/library_life.h"
#include "core/shell/main_window.h"
#include "core/shell/message_pump.h"
#include "core/system/win32/app_window.h"
#include "graphics/device/screen_request.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Korvo;

namespace {

struct Options {
    int logOn = 0;
    int frames = 120;
    int closeAfter = -1;
    int retry24 = 0;
};

Options ParseOptions(const char *commandLine)
{
    Options options;
    char text[512];
    std::snprintf(text, sizeof(text), "%s", commandLine);
    for (char *word = std::strtok(text, " "); word != nullptr; word = std::strtok(nullptr, " ")) {
        if (std::strcmp(word, "log") == 0) {
            options.logOn = 1;
        } else if (std::strncmp(word, "frames=", 7) == 0) {
            options.frames = std::atoi(word + 7);
        } else if (std::strncmp(word, "close=", 6) == 0) {
            options.closeAfter = std::atoi(word + 6);
        } else if (std::strcmp(word, "retry24") == 0) {
            options.retry24 = 1;
        }
    }
    return options;
}

bool IsBlack(COLORREF colour)
{
    return (colour & 0xFFFFFF) == 0;
}

// Capture the screen through GDI and check that the black client area covers
// exactly width x height at the client origin: black inside, the frame's
// colour just outside its right and bottom edges.
int MeasureBlackClientArea(HWND window, int *blackWidth, int *blackHeight)
{
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP shot = CreateCompatibleBitmap(screen, screenWidth, screenHeight);
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, screenWidth, screenHeight, screen, 0, 0, SRCCOPY);
    int y = origin.y + 10;
    int x = origin.x + 10;
    int w = 0;
    while (origin.x + w < screenWidth && IsBlack(GetPixel(memory, origin.x + w, y))) {
        ++w;
    }
    int h = 0;
    while (origin.y + h < screenHeight && IsBlack(GetPixel(memory, x, origin.y + h))) {
        ++h;
    }
    SelectObject(memory, old);
    DeleteObject(shot);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    *blackWidth = w;
    *blackHeight = h;
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    Options options = ParseOptions(commandLine);
    std::FILE *result = std::fopen("app_result.txt", "wb");
    if (result == nullptr) {
        return 3;
    }
    SetAppWindowTitle("Velmora");
    SetScreenResolutionAndDepth(800, 600, options.retry24 ? 24 : 32, 60);
    EnableLogFileOutput(options.logOn);
    ChangeWindowMode(1);
    if (options.retry24) {
        std::fprintf(result, "start24=%d\n", StartLibrary());
        // The next start-up writes a fresh log: keep this one.
        CopyFileA("Log.txt", "Log_after_24.txt", FALSE);
        SetScreenResolutionAndDepth(800, 600, 32, 60);
    }
    if (StartLibrary() == -1) {
        std::fprintf(result, "start=-1\n");
        std::fclose(result);
        return -1;
    }
    std::fprintf(result, "start=0\n");
    HWND window = GetAppWindowHandle();
    RECT client = {};
    GetClientRect(window, &client);
    std::fprintf(result, "client=%ldx%ld\n", client.right - client.left, client.bottom - client.top);

    int frame = 0;
    int leftOnQuit = 0;
    for (;;) {
        if (ServiceMessageQueue() == -1) {
            leftOnQuit = 1;
            break;
        }
        if (frame == 2) {
            int blackWidth = 0;
            int blackHeight = 0;
            MeasureBlackClientArea(window, &blackWidth, &blackHeight);
            std::fprintf(result, "screenshot=%dx%d\n", blackWidth, blackHeight);
        }
        if (frame == options.closeAfter) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        ++frame;
        if (options.frames > 0 && frame >= options.frames) {
            break;
        }
        WaitMillisecondsPumping(16);
    }
    std::fprintf(result, "frames=%d\nquit=%d\n", frame, leftOnQuit);
    std::fprintf(result, "shutdown=%d\n", ShutdownLibrary());
    std::fclose(result);
    return 0;
}
