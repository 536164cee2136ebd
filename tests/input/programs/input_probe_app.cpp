// A program that reports what the library reads of the keyboard and mouse,
// started by the real-input window test.
//
// Arguments: "directinput" reads keys and buttons through DirectInput instead of
// GetKeyboardState. Each time the readings change it appends one line to
// "probe.txt": "keys=Z,SPACE array=Z mask=M first=K mouse=F". It also keeps one
// text input open and writes "text=TEXT ended=E" to "text.txt" when that changes.
// It runs until its window is closed (at most two minutes).

#include "core/log/error_log.h"
#include "core/shell/library_life.h"
#include "core/shell/main_window.h"
#include "core/shell/message_pump.h"
#include "graphics/device/screen_request.h"
#include "input/input_state.h"
#include "input/public_api.h"
#include "input/text_input.h"
#include "input/win32/input_devices.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

using namespace Korvo;

namespace {

const int kKeyZ = 44;
const int kKeySpace = 57;
const int kFrameLimit = 120 * 60;

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    std::FILE *probe = std::fopen("probe.txt", "wb");
    if (probe == nullptr) {
        return 3;
    }
    if (std::strstr(commandLine, "directinput") != nullptr) {
        Input.settings.useDirectInputOnEveryWindows = 1;
    }
    SetAppWindowTitle("KorvoInputProbe");
    SetScreenResolutionAndDepth(640, 480, 32, 60);
    EnableLogFileOutput(1);
    ChangeWindowMode(1);
    if (StartLibrary() == -1) {
        std::fprintf(probe, "start=-1\n");
        std::fclose(probe);
        return -1;
    }
    std::fprintf(probe, "start=0 directinput=%d\n", InputDevices.backend == kInputDirectInput ? 1 : 0);
    std::fflush(probe);
    int textInput = CreateTextInputRecord(64, 0, 0, 0, 0);
    char lastText[160] = "";
    char last[128] = "";
    for (int frame = 0; frame < kFrameLimit; ++frame) {
        if (ServiceMessageQueue() == -1) {
            break;
        }
        char line[128];
        std::snprintf(line, sizeof(line), "keys=%d,%d array=%d mask=%d first=%d mouse=%d\n", IsKeyCodeDown(kKeyZ),
                      IsKeyCodeDown(kKeySpace), (Input.keys[kKeyZ] & 0x80) != 0 ? 1 : 0, GetMouseButtonMask(),
                      GetFirstPressedInput(1), GetFirstPressedInput(4));
        if (std::strcmp(line, last) != 0) {
            std::fputs(line, probe);
            std::fflush(probe);
            std::strcpy(last, line);
        }
        const TextInputRecord *record = LookupTextInputRecord(textInput);
        char text[160];
        std::snprintf(text, sizeof(text), "text=%s ended=%d\n", record != nullptr ? record->text : "?",
                      record != nullptr ? record->ended : -1);
        if (std::strcmp(text, lastText) != 0) {
            if (std::FILE *file = std::fopen("text.txt", "wb")) {
                std::fputs(text, file);
                std::fclose(file);
            }
            std::strcpy(lastText, text);
        }
        WaitMillisecondsPumping(16);
    }
    std::fprintf(probe, "shutdown=%d\n", ShutdownLibrary());
    std::fclose(probe);
    return 0;
}
