// The virtual-key table, the first held key and the mouse button mask.

#include "input/key_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace Korvo;

namespace {

struct VirtualKeyCase {
    int virtualKey;
    std::vector<int> keyCodes; // every code the key sets
};

TEST(KeyTableTest, EachVirtualKeySetsExactlyItsKeyCodes)
{
    const VirtualKeyCase cases[] = {
        {'A', {30}},  {'Z', {44}},   {'0', {11}},  {'9', {10}},   {0x25, {203}}, {0x28, {208}}, {0x0D, {28, 156}},
        {0x1B, {1}},  {0x20, {57}},  {0xA0, {42}}, {0xA1, {54}},  {0x79, {68}},  {0x7B, {88}},  {0xBA, {146}},
        {0xE2, {43}}, {0x6F, {181}}, {0x14, {58}}, {0x13, {197}}, {0x2E, {211}},
    };
    for (const VirtualKeyCase &c : cases) {
        uint8_t virtualKeys[256] = {};
        uint8_t keys[kKeyCodeCount];
        std::fill(keys, keys + kKeyCodeCount, 0xFF); // the copy must clear what it does not set
        virtualKeys[c.virtualKey] = 0x80;
        CopyVirtualKeyStatesToKeyCodes(virtualKeys, keys);
        std::vector<int> held;
        for (int code = 0; code < kKeyCodeCount; ++code) {
            if (keys[code] != 0) {
                held.push_back(code);
            }
        }
        EXPECT_EQ(held, c.keyCodes) << "virtual key " << c.virtualKey;
    }
}

TEST(KeyTableTest, TheTableHasItsHundredRowsAndNoKeyCodeTwice)
{
    int rows = 0;
    int seen[kKeyCodeCount] = {};
    for (const VirtualKeyMapping *row = VirtualKeyToKeyCodeTable; row->virtualKey != 0xFFFF; ++row) {
        ++rows;
        EXPECT_EQ(++seen[row->keyCode], 1) << "key code " << row->keyCode;
    }
    EXPECT_EQ(rows, 100);
}

struct FirstKeyCase {
    std::vector<int> held;
    int f10Flag;
    int expected;
};

TEST(KeyTableTest, FirstHeldKeySkipsTheLockKeysAndFallsBackToTheF10Flag)
{
    const FirstKeyCase cases[] = {
        {{}, 0, 0},
        {{kKeyCodeCapsLock, kKeyCodeKana, kKeyCodeKanji}, 0, 0},
        {{kKeyCodeCapsLock, 57}, 0, 57},
        {{57, 30}, 0, 30},
        {{}, 1, kKeyCodeF10},
        {{kKeyCodeKana}, 1, kKeyCodeF10},
        {{200}, 1, 200},
    };
    for (const FirstKeyCase &c : cases) {
        uint8_t keys[kKeyCodeCount] = {};
        for (int code : c.held) {
            keys[code] = 0x80;
        }
        EXPECT_EQ(FindFirstHeldKeyCode(keys, c.f10Flag), c.expected);
    }
}

TEST(KeyTableTest, MouseButtonBytesBecomeMaskBits)
{
    const uint8_t buttons[8] = {0x80, 0x00, 0x80, 0x7F, 0x00, 0x00, 0x00, 0xFF};
    EXPECT_EQ(BuildMouseButtonMask(buttons, 8), 0x85);
    EXPECT_EQ(BuildMouseButtonMask(buttons, 2), 0x01);
}

} // namespace
