// Joypad readings to the unified state: dead zones, triggers, D-pad, masks and
// the pad-1 key map.

#include "input/joypad_axes.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

const int kZone = kJoypadDefaultDeadZone; // half of it: 11,468

TEST(JoypadAxesTest, WinmmAxisScalesOutsideTheDeadZone)
{
    struct Case {
        uint32_t position;
        int expected;
    } cases[] = {
        {0, -1000},    {65535, 1000}, {32767, 0}, {32768, 0}, {21300, 0}, {21299, 0},   {21000, -14},
        {10650, -500}, {1, -999},     {44236, 0}, {44237, 0}, {44300, 3}, {65534, 999}, {54950, 503},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ConvertWinmmAxis(c.position, kZone), c.expected) << c.position;
    }
}

TEST(JoypadAxesTest, XInputStickScalesOutsideTheDeadZone)
{
    struct Case {
        int value;
        int expected;
    } cases[] = {
        {-32768, -1000}, {32767, 1000}, {0, 0},       {11467, 0},   {11468, 0},     {-11468, 0},
        {11469, 0},      {11490, 1},    {-11490, -1}, {22117, 499}, {-22117, -499}, {32766, 999},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ConvertXInputStick(c.value, kZone), c.expected) << c.value;
    }
}

TEST(JoypadAxesTest, TriggersGiveLeftMinusRightPastTheDeadZone)
{
    struct Case {
        int left, right, expected;
    } cases[] = {
        {0, 0, 0}, {89, 89, 0}, {255, 0, 1000}, {0, 255, -1000}, {255, 255, 0}, {172, 0, 500}, {90, 0, 6},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ConvertXInputTriggers(c.left, c.right, kZone), c.expected) << c.left << "/" << c.right;
    }
}

TEST(JoypadAxesTest, DpadBecomesAPointOfView)
{
    struct Case {
        uint16_t buttons;
        uint32_t pov;
    } cases[] = {
        {0, 0xFFFFFFFF}, {1, 0},     {1 | 8, 4500},  {8, 9000},           {2 | 8, 13500},       {2, 18000},
        {2 | 4, 22500},  {4, 27000}, {1 | 4, 31500}, {1 | 2, 0xFFFFFFFF}, {0x1000, 0xFFFFFFFF},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ConvertXInputDpadToPov(c.buttons), c.pov) << c.buttons;
    }
}

TEST(JoypadAxesTest, XInputReadingFillsAxesButtonsAndPov)
{
    K_XINPUT_STATE reading = {};
    reading.Gamepad.sThumbLX = -32768;
    reading.Gamepad.sThumbLY = 32767; // up: Y negative
    reading.Gamepad.sThumbRY = -32768;
    reading.Gamepad.bLeftTrigger = 255;
    reading.Gamepad.wButtons =
        K_XINPUT_GAMEPAD_A | K_XINPUT_GAMEPAD_START | K_XINPUT_GAMEPAD_RIGHT_THUMB | K_XINPUT_GAMEPAD_DPAD_RIGHT;
    JoypadUnifiedState state;
    FillUnifiedStateFromXInput(reading, kZone, &state);
    EXPECT_EQ(state.x, -1000);
    EXPECT_EQ(state.y, -1000);
    EXPECT_EQ(state.ry, 1000);
    EXPECT_EQ(state.z, 1000);
    EXPECT_EQ(state.pov[0], 9000u);
    EXPECT_EQ(state.pov[3], 0xFFFFFFFFu);
    uint8_t expected[10] = {0x80, 0, 0, 0, 0, 0, 0, 0x80, 0, 0x80};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(state.buttons[i], expected[i]) << "button " << i + 1;
    }
    // Buttons 1 (A), 8 (Start) and 10 (right thumb), left and up.
    EXPECT_EQ(BuildJoypadInputMask(state), (1 << 4) | (1 << 11) | (1 << 13) | 2 | 8);
}

TEST(JoypadAxesTest, WinmmReadingUsesZAndROnlyWhenThePadHasThem)
{
    WinmmJoyReading reading = {65535, 0, 0, 65535, 0, (1u << 0) | (1u << 23) | (1u << 24)};
    JoypadUnifiedState state;
    FillUnifiedStateFromWinmm(reading, 1, kZone, &state);
    EXPECT_EQ(state.x, 1000);
    EXPECT_EQ(state.y, -1000);
    EXPECT_EQ(state.z, -1000);
    EXPECT_EQ(state.rz, 1000);
    EXPECT_EQ(state.rx, -1000);
    EXPECT_EQ(state.buttons[24], 0) << "only buttons 1-24 come from WinMM";
    EXPECT_EQ(BuildJoypadInputMask(state), 4 | 8 | (1 << 4) | (1 << 27));
    FillUnifiedStateFromWinmm(reading, 0, kZone, &state);
    EXPECT_EQ(state.z, 0);
    EXPECT_EQ(state.rz, 0);
    EXPECT_EQ(state.rx, 0);
}

TEST(JoypadKeyMapTest, PadOneDefaultsReportTheirKeys)
{
    static JoypadKeyMap map;
    FillDefaultJoypadKeyMap(map);
    struct Case {
        int key;
        int mask;
    } cases[] = {
        {80, 1},       {208, 1},      {75, 2},      {203, 2},      {77, 4},      {205, 4},     {72, 8},
        {200, 8},      {44, 1 << 4},  {45, 1 << 5}, {46, 1 << 6},  {30, 1 << 7}, {31, 1 << 8}, {32, 1 << 9},
        {16, 1 << 10}, {17, 1 << 11}, {1, 1 << 12}, {57, 1 << 13}, {2, 0},
    };
    for (const Case &c : cases) {
        uint8_t keys[kKeyCodeCount] = {};
        keys[c.key] = 0x80;
        EXPECT_EQ(BuildKeyMapInputMask(map[0], keys), c.mask) << "key " << c.key;
        EXPECT_EQ(BuildKeyMapInputMask(map[1], keys), 0) << "pad 2 has no keys";
    }
}

TEST(JoypadKeyMapTest, ANewStartKeepsAChangedMapAndTheSettings)
{
    FillDefaultJoypadKeyMap(Input.keyMap);
    Input.keyMap[0][4][0] = 2;
    Input.settings.noForceFeedback = 1;
    Input.joypadCount = 3;
    Input.keys[5] = 0x80;
    ResetInputStateKeepingSettings();
    EXPECT_EQ(Input.keyMap[0][4][0], 2);
    EXPECT_EQ(Input.settings.noForceFeedback, 1);
    EXPECT_EQ(Input.joypadCount, 0);
    EXPECT_EQ(Input.keys[5], 0);
    Input = InputState{};
}

} // namespace
