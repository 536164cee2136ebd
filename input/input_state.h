// The device-independent part of the input state: the keyboard array, the
// mouse-button copy, the joypad records with their unified state and the
// pad-1 key map, and the settings kept across re-initialisation.
#pragma once

#include "input/key_table.h"
#include "input/xinput_abi.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kJoypadCapacity = 16;
constexpr int kJoypadKeyMapEntries = 32;
constexpr int kJoypadKeysPerEntry = 4;
constexpr int kJoypadDefaultDeadZone = 22937; // 35 % in 1/65,536
constexpr int kJoypadFullPower = 10000;
constexpr int kJoypadKeyFlag = 0x1000;
constexpr int kJoypadAxisLimit = 1000;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// A pad's state in the layout of DIJOYSTATE (80 bytes).
struct JoypadUnifiedState {
    int32_t x, y, z;
    int32_t rx, ry, rz;
    int32_t sliders[2];
    uint32_t pov[4];
    uint8_t buttons[32]; // bit 7 = held
};

struct JoypadRecord {
    int32_t xinputUserIndex; // 0-3, or -1 for a DirectInput or WinMM pad
    K_XINPUT_STATE xinputState;
    void *device;              // DirectInput device
    void *constantForceEffect; // DirectInput effects
    void *sineEffect;
    void *event; // notification event
    JoypadUnifiedState state;
    int32_t hasZAndR; // WinMM pads
    uint32_t lastReadClock;
    int32_t vibrationOn;
    int32_t power;      // 0-10,000
    int32_t durationMs; // negative: endless
    int32_t elapsedMs;
    uint32_t lastVibrationClock;
    int32_t firstEffectPlaying;  // constant force, or the XInput left motor
    int32_t secondEffectPlaying; // sine, or the XInput right motor
    uint16_t leftMotorSpeed;     // speeds last sent to an XInput pad
    uint16_t rightMotorSpeed;
    char instanceName[260];
    char productName[260];
    int32_t deadZone; // 1/65,536 of full scale
};

// Per pad, 32 entries of four key codes (0 or less unused); entry k sets mask bit k.
typedef int32_t JoypadKeyMap[kJoypadCapacity][kJoypadKeyMapEntries][kJoypadKeysPerEntry];

// Settings that survive a new start of input.
struct InputSettings {
    int useWinmmJoysticks;            // also set when DirectInput fails
    int useDirectInputOnEveryWindows; // keyboard and mouse through DirectInput on Vista and later too
    int noForceFeedback;
    int noDirectInputKeyboard;
    int keyMapInitialised;
};

struct InputState {
    uint8_t keys[kKeyCodeCount];
    // Mouse buttons taken from GetKeyboardState.
    int mouseLeft, mouseRight, mouseMiddle, mouseCopyValid;
    int joypadCount;
    JoypadRecord joypads[kJoypadCapacity];
    int refreshing; // re-entry guard of the keyboard refresh
    int initialising;
    int f10KeyDown;
    int secondHookKey;
    uint32_t lastKeyboardClock;
    InputSettings settings;
    JoypadKeyMap keyMap;
};

extern InputState Input;

// ---------------------------------------------------------------------------
// Functions
// ---------------------------------------------------------------------------

// Zero the state except the settings and the key map; 0
int ResetInputStateKeepingSettings();
// Fill the key map with -1 and pad 1's defaults; 0
int FillDefaultJoypadKeyMap(JoypadKeyMap map);
// Mask bits of a pad's key-map entries whose keys are held
int BuildKeyMapInputMask(const int32_t entries[kJoypadKeyMapEntries][kJoypadKeysPerEntry],
                         const uint8_t keys[kKeyCodeCount]);
// Direction bits from X and Y, bits 4-27 from the first 24 buttons
int BuildJoypadInputMask(const JoypadUnifiedState &state);

} // namespace Korvo
