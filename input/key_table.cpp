// The virtual-key to key-code table and the key and button scans over it.

#include "input/key_table.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

const VirtualKeyMapping VirtualKeyToKeyCodeTable[] = {
    // Letters A-Z
    {65, 30, 0}, {66, 48, 0}, {67, 46, 0}, {68, 32, 0}, {69, 18, 0}, {70, 33, 0}, {71, 34, 0},
    {72, 35, 0}, {73, 23, 0}, {74, 36, 0}, {75, 37, 0}, {76, 38, 0}, {77, 50, 0}, {78, 49, 0},
    {79, 24, 0}, {80, 25, 0}, {81, 16, 0}, {82, 19, 0}, {83, 31, 0}, {84, 20, 0}, {85, 22, 0},
    {86, 47, 0}, {87, 17, 0}, {88, 45, 0}, {89, 21, 0}, {90, 44, 0},
    // Digits 0-9
    {48, 11, 0}, {49, 2, 0}, {50, 3, 0}, {51, 4, 0}, {52, 5, 0}, {53, 6, 0}, {54, 7, 0},
    {55, 8, 0}, {56, 9, 0}, {57, 10, 0},
    // Arrows
    {37, 203, 0}, {38, 200, 0}, {39, 205, 0}, {40, 208, 0},
    // Punctuation of the Japanese layout
    {187, 39, 0}, {186, 146, 0}, {219, 26, 0}, {221, 27, 0}, {192, 145, 0}, {226, 43, 0},
    {188, 51, 0}, {222, 144, 0}, {189, 12, 0}, {220, 125, 0}, {190, 52, 0}, {191, 53, 0},
    // Delete, Escape, Space, Backspace, Tab, Enter
    {46, 211, 0}, {27, 1, 0}, {32, 57, 0}, {8, 14, 0}, {9, 15, 0}, {13, 28, 0},
    // Numeric pad (VK_RETURN also sets the numeric-pad Enter)
    {96, 82, 0}, {97, 79, 0}, {98, 80, 0}, {99, 81, 0}, {100, 75, 0}, {101, 76, 0},
    {102, 77, 0}, {103, 71, 0}, {104, 72, 0}, {105, 73, 0}, {106, 55, 0}, {107, 78, 0},
    {109, 74, 0}, {110, 83, 0}, {111, 181, 0}, {13, 156, 0},
    // Shift and Ctrl, left and right
    {160, 42, 0}, {161, 54, 0}, {162, 29, 0}, {163, 157, 0},
    // Page Up, Page Down, End, Home, Insert
    {33, 201, 0}, {34, 209, 0}, {35, 207, 0}, {36, 199, 0}, {45, 210, 0},
    // Alt left and right
    {164, 56, 0}, {165, 184, 0},
    // Scroll Lock, Caps Lock, Pause
    {145, 70, 0}, {20, 58, 0}, {19, 197, 0},
    // F1-F12
    {112, 59, 0}, {113, 60, 0}, {114, 61, 0}, {115, 62, 0}, {116, 63, 0}, {117, 64, 0},
    {118, 65, 0}, {119, 66, 0}, {120, 67, 0}, {121, 68, 0}, {122, 87, 0}, {123, 88, 0},
    {0xFFFF, 0, 0},
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Clear keys and copy each table row's virtual-key byte to its key code
void CopyVirtualKeyStatesToKeyCodes(const uint8_t virtualKeys[256], uint8_t keys[kKeyCodeCount])
{
    for (int code = 0; code < kKeyCodeCount; ++code) {
        keys[code] = 0;
    }
    for (const VirtualKeyMapping *row = VirtualKeyToKeyCodeTable; row->virtualKey != 0xFFFF; ++row) {
        keys[row->keyCode] = virtualKeys[row->virtualKey];
    }
}

// Lowest held key code other than Caps Lock, Kana and Kanji; F10 while f10Flag; else 0
int FindFirstHeldKeyCode(const uint8_t keys[kKeyCodeCount], int f10Flag)
{
    for (int code = 0; code < kKeyCodeCount; ++code) {
        // NOTE: these three are toggles whose state Windows may leave "held".
        if (code == kKeyCodeCapsLock || code == kKeyCodeKana || code == kKeyCodeKanji) {
            continue;
        }
        if ((keys[code] & kKeyHeldBit) != 0) {
            return code;
        }
    }
    return f10Flag != 0 ? kKeyCodeF10 : 0;
}

// Mouse button mask from up to eight button bytes (bit 7 = held)
int BuildMouseButtonMask(const uint8_t *buttons, int buttonCount)
{
    int mask = 0;
    for (int i = 0; i < buttonCount && i < 8; ++i) {
        if ((buttons[i] & kKeyHeldBit) != 0) {
            mask |= 1 << i;
        }
    }
    return mask;
}

} // namespace Korvo
