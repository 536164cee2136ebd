// Key codes: the virtual-key table of the GetKeyboardState road, the first held
// key of the wait before shut-down and the mouse button mask.
#pragma once

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kKeyCodeCount = 256;
constexpr uint8_t kKeyHeldBit = 0x80;

// Key codes (scan codes of the DirectInput keyboard) the input code names.
constexpr int kKeyCodeEscape = 1;
constexpr int kKeyCodeEnter = 28;
constexpr int kKeyCodeLeftShift = 42;
constexpr int kKeyCodeRightShift = 54;
constexpr int kKeyCodeCapsLock = 58;
constexpr int kKeyCodeF10 = 68;
constexpr int kKeyCodeKana = 112;
constexpr int kKeyCodeKanji = 148;
constexpr int kKeyCodeNumPadEnter = 156;

// Virtual keys of the mouse buttons.
constexpr int kVirtualKeyLeftButton = 0x01;
constexpr int kVirtualKeyRightButton = 0x02;
constexpr int kVirtualKeyMiddleButton = 0x04;

// Mouse button mask bits (buttons 4-8 take bits 3-7).
constexpr int kMouseButtonLeft = 1;
constexpr int kMouseButtonRight = 2;
constexpr int kMouseButtonMiddle = 4;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One row of the virtual-key table; the flag word is kept as the table has it.
struct VirtualKeyMapping {
    uint16_t virtualKey;
    uint16_t keyCode;
    uint16_t flags;
};

// Table rows, ending with the virtual key 0xFFFF.
extern const VirtualKeyMapping VirtualKeyToKeyCodeTable[];

// ---------------------------------------------------------------------------
// Functions
// ---------------------------------------------------------------------------

// Clear keys and copy each table row's virtual-key byte to its key code
void CopyVirtualKeyStatesToKeyCodes(const uint8_t virtualKeys[256], uint8_t keys[kKeyCodeCount]);
// Lowest held key code other than Caps Lock, Kana and Kanji; F10 while f10Flag; else 0
int FindFirstHeldKeyCode(const uint8_t keys[kKeyCodeCount], int f10Flag);
// Mouse button mask from up to eight button bytes (bit 7 = held)
int BuildMouseButtonMask(const uint8_t *buttons, int buttonCount);

} // namespace Korvo
