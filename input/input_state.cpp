// The input state block, the pad key map and the joypad input masks.

#include "input/input_state.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kMaskDown = 1;
constexpr int kMaskLeft = 2;
constexpr int kMaskRight = 4;
constexpr int kMaskUp = 8;
constexpr int kMaskFirstButtonBit = 4;
constexpr int kMaskButtonCount = 24;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

InputState Input;

// Pad 1's default keys: down, left, right, up (two keys each), then ten buttons.
static const int32_t kPadOneDefaultKeys[][2] = {
    {80, 208}, {75, 203}, {77, 205}, {72, 200}, {44, 0}, {45, 0}, {46, 0},
    {30, 0},   {31, 0},   {32, 0},   {16, 0},   {17, 0}, {1, 0},  {57, 0},
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Zero the state except the settings and the key map; 0
int ResetInputStateKeepingSettings()
{
    InputSettings settings = Input.settings;
    static JoypadKeyMap keptMap;
    static_assert(sizeof(keptMap) == sizeof(Input.keyMap));
    std::memcpy(keptMap, Input.keyMap, sizeof(keptMap));
    Input = InputState{};
    Input.settings = settings;
    std::memcpy(Input.keyMap, keptMap, sizeof(keptMap));
    return 0;
}

// Fill the key map with -1 and pad 1's defaults; 0
int FillDefaultJoypadKeyMap(JoypadKeyMap map)
{
    for (int pad = 0; pad < kJoypadCapacity; ++pad) {
        for (int entry = 0; entry < kJoypadKeyMapEntries; ++entry) {
            for (int key = 0; key < kJoypadKeysPerEntry; ++key) {
                map[pad][entry][key] = -1;
            }
        }
    }
    int entry = 0;
    for (const auto &keys : kPadOneDefaultKeys) {
        map[0][entry][0] = keys[0];
        if (keys[1] != 0) {
            map[0][entry][1] = keys[1];
        }
        ++entry;
    }
    return 0;
}

// Mask bits of a pad's key-map entries whose keys are held
int BuildKeyMapInputMask(const int32_t entries[kJoypadKeyMapEntries][kJoypadKeysPerEntry],
                         const uint8_t keys[kKeyCodeCount])
{
    int mask = 0;
    for (int entry = 0; entry < kJoypadKeyMapEntries; ++entry) {
        for (int i = 0; i < kJoypadKeysPerEntry; ++i) {
            int code = entries[entry][i];
            if (code > 0 && code < kKeyCodeCount && (keys[code] & kKeyHeldBit) != 0) {
                mask |= 1 << entry;
                break;
            }
        }
    }
    return mask;
}

// Direction bits from X and Y, bits 4-27 from the first 24 buttons
int BuildJoypadInputMask(const JoypadUnifiedState &state)
{
    int mask = 0;
    if (state.y > 0) {
        mask |= kMaskDown;
    }
    if (state.x < 0) {
        mask |= kMaskLeft;
    }
    if (state.x > 0) {
        mask |= kMaskRight;
    }
    if (state.y < 0) {
        mask |= kMaskUp;
    }
    for (int i = 0; i < kMaskButtonCount; ++i) {
        if ((state.buttons[i] & kKeyHeldBit) != 0) {
            mask |= 1 << (kMaskFirstButtonBit + i);
        }
    }
    return mask;
}

} // namespace Korvo
