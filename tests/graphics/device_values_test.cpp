// Values the graphics front end computes for the device: fog and spot-light
// constants, texture format slots, and the display-mode list.

#include "tests/graphics/recording_device.h"

#include "graphics/state/fog_light_constants.h"
#include "graphics/device/format_slots.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/multisample.h"
#include "graphics/screen/screen_modes.h"
#include "graphics/state/vertex_declarations.h"

#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Korvo;

namespace {

TEST(DeviceValuesTest, FogAndSpotConstantsStayFiniteForEmptyRangesAndEqualCones)
{
    float fog[4];
    ComputeFogConstants(0.0f, 1500.0f, 1.0f, fog);
    EXPECT_FLOAT_EQ(fog[0], 1.0f);
    EXPECT_FLOAT_EQ(fog[1], -1.0f / 1500.0f);
    ComputeFogConstants(10.0f, 10.0f, 1.0f, fog);
    EXPECT_TRUE(std::isfinite(fog[0]) && std::isfinite(fog[1]));
    EXPECT_LT(fog[1], 0.0f) << "fog still grows with distance";

    float spot[2];
    ComputeSpotConstants(1.0f, 2.0f, spot);
    EXPECT_FLOAT_EQ(spot[0], std::cos(1.0f));
    EXPECT_FLOAT_EQ(spot[1], 1.0f / (std::cos(0.5f) - std::cos(1.0f)));
    ComputeSpotConstants(2.0f, 2.0f, spot); // the default light
    EXPECT_TRUE(std::isfinite(spot[1]));
}

TEST(DeviceValuesTest, ChooseFormatSlotMapsEachKindOfRequest)
{
    struct Case {
        TextureFormatRequest request;
        int slot;
    };
    auto make = [](int alpha, int draw, int block, int alphaTest, int floating, int bits, int channels, int perChannel) {
        TextureFormatRequest r = {};
        r.alpha = static_cast<uint8_t>(alpha);
        r.draw = static_cast<uint8_t>(draw);
        r.blockFormat = static_cast<uint8_t>(block);
        r.alphaTest = static_cast<uint8_t>(alphaTest);
        r.floatFlag = static_cast<uint8_t>(floating);
        r.colorBits = static_cast<uint8_t>(bits);
        r.channels = static_cast<uint8_t>(channels);
        r.bitsPerChannel = static_cast<uint8_t>(perChannel);
        return r;
    };
    const Case cases[] = {
        {make(0, 0, 0, 0, 0, 16, 0, 0), 0},  {make(0, 0, 0, 0, 0, 32, 0, 0), 1},  {make(1, 0, 0, 0, 0, 16, 0, 0), 2},
        {make(0, 0, 0, 1, 0, 32, 0, 0), 5},  {make(0, 0, 3, 0, 0, 32, 0, 0), 8},  {make(1, 1, 0, 0, 0, 16, 0, 0), 13},
        {make(0, 1, 0, 0, 0, 16, 0, 0), 11}, {make(0, 0, 0, 0, 1, 0, 4, 32), 16}, {make(0, 0, 0, 0, 0, 64, 0, 16), 14},
        {make(0, 0, 0, 0, 1, 16, 1, 0), 19}, {make(0, 0, 0, 0, 0, 32, 2, 16), 22}, {make(0, 0, 0, 0, 0, 16, 2, 0), 21},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ChooseFormatSlot(&c.request), c.slot);
    }
}

TEST(DeviceValuesTest, FormatSlotsFallBackAndFailOnlyForRequiredSlots)
{
    RecordingDevice::Reset();
    RecordingDevice::SupportedFormats = {K_D3DFMT_D16, K_D3DFMT_R5G6B5, K_D3DFMT_A4R4G4B4, K_D3DFMT_A8R8G8B8,
                                         K_D3DFMT_A1R5G5B5};
    ASSERT_EQ(FillFormatSlots(K_D3DFMT_X8R8G8B8, 32), 0);
    EXPECT_EQ(TextureFormatSlots[1], K_D3DFMT_R5G6B5) << "no X8R8G8B8: slot 0's format";
    EXPECT_EQ(TextureFormatSlots[6], K_D3DFMT_A1R5G5B5) << "no DXT1: the alpha-test 16-bit format";
    EXPECT_EQ(TextureFormatSlots[9], K_D3DFMT_A8R8G8B8) << "no DXT4: the alpha 32-bit format";
    EXPECT_EQ(TextureFormatSlots[14], 0u);
    EXPECT_EQ(TextureFormatSlots[26], K_D3DFMT_A8R8G8B8);

    RecordingDevice::SupportedFormats = {K_D3DFMT_R5G6B5};
    EXPECT_EQ(FillFormatSlots(K_D3DFMT_X8R8G8B8, 32), -1) << "no Z buffer format";
}

TEST(DeviceValuesTest, AMissingRequiredSlotLogsItsOwnLine)
{
    struct Case {
        std::vector<uint32_t> supported;
        const char *line;
    };
    const Case cases[] = {
        {{K_D3DFMT_D16}, "使用できる 16bit カラーフォーマットが見つかりませんでした"},
        {{K_D3DFMT_D16, K_D3DFMT_R5G6B5}, "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        KorvoTest::StartFreshLog();
        RecordingDevice::Reset();
        RecordingDevice::SupportedFormats = c.supported;
        EXPECT_EQ(FillFormatSlots(K_D3DFMT_X8R8G8B8, 32), -1);
        EXPECT_NE(KorvoTest::ReadLogFile().find(c.line), std::string::npos);
    }
}

// An enumeration that finds more modes the second time it is run.
int EnumerationPass = 0;
bool GrowingEnumeration(int index, DisplayModeEntry *mode)
{
    if (index == 0) {
        ++EnumerationPass;
    }
    int count = EnumerationPass == 1 ? 3 : 9;
    if (index >= count) {
        return false;
    }
    *mode = DisplayModeEntry{640 + index, 480, index == 1 ? 8 : 32, 60};
    return true;
}

TEST(DeviceValuesTest, TheSecondModeEnumerationNeverWritesPastTheCountedList)
{
    BuildDisplayModeList(GrowingEnumeration);
    ASSERT_EQ(CountDisplayModes(), 2);
    EXPECT_EQ(GetDisplayModeEntry(0).width, 640);
    EXPECT_EQ(GetDisplayModeEntry(1).width, 642) << "the 8-bit mode is left out";
    EXPECT_EQ(GetDisplayModeEntry(2).width, -1);
    EXPECT_EQ(IsDisplayModeAvailable(642, 480, 32), 1);
    FreeDisplayModeList();
}

} // namespace

namespace {

TEST(DeviceValuesTest, AMultisampleRequestIsLoweredToWhatTheAdapterTakes)
{
    RecordingDevice::Reset();
    RecordingDevice::MaxMultiSampleType = 4;
    RecordingDevice::ColourQualityLevels = 3;
    RecordingDevice::DepthQualityLevels = 2;
    struct Case {
        int type;
        int quality;
        int noLowering;
        int result;
        int typeAfter;
        int qualityAfter;
    };
    const Case cases[] = {
        {8, 5, 0, 0, 4, 1}, // lowered to 4; quality below both level counts
        {8, 5, 1, -1, 8, 0},
        {2, 0, 0, 0, 2, 0},
        {0, 3, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        int type = c.type;
        int quality = c.quality;
        EXPECT_EQ(ChooseMultiSampleOnMainThread(K_D3DFMT_X8R8G8B8, &type, &quality, c.noLowering, nullptr), c.result);
        EXPECT_EQ(type, c.typeAfter);
        EXPECT_EQ(quality, c.qualityAfter);
    }
    RecordingDevice::MaxMultiSampleType = 0;
}

TEST(DeviceValuesTest, ModelDeclarationsHaveTheirBaseLayoutsAndExtraCoordinates)
{
    struct Case {
        int index;
        int size;
        int elements;   // end marker included
        int normalOffset;
    };
    const Case cases[] = {
        {0, 32, 5, 12},  {9, 52, 7, 32},  {18, 72, 9, 52},          {27, 56, 7, 36},
        {36, 76, 9, 56}, {45, 96, 11, 76}, {53, 96 + 128, 19, 76},
    };
    for (const Case &c : cases) {
        K_D3DVERTEXELEMENT9 elements[kMaxDeclarationElements];
        int size = 0;
        ASSERT_EQ(BuildModelDeclaration(c.index, elements, &size), c.elements);
        EXPECT_EQ(size, c.size);
        int normal = -1;
        for (int i = 0; i < c.elements - 1; ++i) {
            if (elements[i].Usage == 3) {
                normal = elements[i].Offset;
            }
        }
        EXPECT_EQ(normal, c.normalOffset);
        EXPECT_EQ(elements[c.elements - 1].Stream, 0xFF) << "ends with the end marker";
    }
    K_D3DVERTEXELEMENT9 last[kMaxDeclarationElements];
    BuildModelDeclaration(53, last, nullptr);
    EXPECT_EQ(last[17].Usage, 5);
    EXPECT_EQ(last[17].UsageIndex, 7);
    EXPECT_EQ(last[17].Offset, 96 + 7 * 16);
}

} // namespace

#include "image/color_format.h"

namespace {

TEST(DeviceValuesTest, SlotAndFormatDescriptionsCarryTheirMasksAndBlockFormats)
{
    struct Case {
        const Korvo::ColorFormatDesc *desc;
        uint32_t r, a;
        int block;
        int bits;
    };
    const Case cases[] = {
        {GetFormatSlotColorDesc(0), 0xf800, 0, 0, 16},
        {GetFormatSlotColorDesc(4), 0x7c00, 0x8000, 0, 16},
        {GetFormatSlotColorDesc(6), 0xff0000, 0xff000000, 1, 4},
        {GetFormatSlotColorDesc(10), 0xff0000, 0xff000000, 5, 8},
        {GetD3DFormatColorDesc(K_D3DFMT_A2B10G10R10), 0x3ff, 0xc0000000, 0, 32},
        {LookupTextureColorFormat(1, 0, 0, 1), 0xff0000, 0xff000000, 0, 32},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.desc, nullptr);
        EXPECT_EQ(c.desc->maskR, c.r);
        EXPECT_EQ(c.desc->maskA, c.a);
        EXPECT_EQ(c.desc->blockFormat, c.block);
        EXPECT_EQ(c.desc->bitsPerPixel, c.bits);
    }
    EXPECT_EQ(GetFormatSlotColorDesc(19)->channelCount, 1);
    EXPECT_EQ(GetFormatSlotColorDesc(19)->floatFlag, 1);
    EXPECT_EQ(GetFormatSlotColorDesc(25), nullptr);
    EXPECT_EQ(GetD3DFormatColorDesc(K_D3DFMT_DXT1), nullptr);
}

} // namespace

#include "graphics/draw/full_value_colour.h"

namespace {

TEST(DeviceValuesTest, FullValueColoursKeepHueAndSaturation)
{
    struct Case {
        int in[3];
        int out[3];
    };
    const Case cases[] = {
        {{0, 0, 0}, {255, 255, 255}},     {{90, 90, 90}, {255, 255, 255}},  {{255, 0, 0}, {255, 0, 0}},
        {{100, 50, 0}, {255, 127, 0}},    {{128, 128, 64}, {255, 255, 128}}, {{300, 0, 150}, {255, 0, 150}},
        {{40, 200, 120}, {51, 255, 153}},
    };
    for (const Case &c : cases) {
        int out[3];
        ConvertRgbToFullValueRgb(c.in[0], c.in[1], c.in[2], &out[0], &out[1], &out[2]);
        EXPECT_EQ(std::vector<int>(out, out + 3), std::vector<int>(c.out, c.out + 3)) << c.in[0] << "," << c.in[1];
    }
}

} // namespace

#include "graphics/shading/blend_graph_stages.h"

namespace {

TEST(DeviceValuesTest, ThresholdRampsPickTheirScaleOperationAndValue)
{
    struct Case {
        int border, width, operation, value, scale;
    };
    const Case cases[] = {
        {128, 200, K_D3DTOP_SUBTRACT, 1, K_D3DTOP_MODULATE},   {0, 200, K_D3DTOP_ADD, 255, K_D3DTOP_MODULATE},
        {50, 100, K_D3DTOP_ADD, 53, K_D3DTOP_MODULATE2X},      {200, 100, K_D3DTOP_SUBTRACT, 173, K_D3DTOP_MODULATE2X},
        {20, 10, K_D3DTOP_ADD, 39, K_D3DTOP_MODULATE4X},       {200, 10, K_D3DTOP_SUBTRACT, 187, K_D3DTOP_MODULATE4X},
    };
    for (const Case &c : cases) {
        int operation = 0;
        int value = 0;
        int scale = 0;
        ComputeThresholdRamp(c.border, c.width, &operation, &value, &scale);
        EXPECT_EQ(operation, c.operation) << c.border << "/" << c.width;
        EXPECT_EQ(value, c.value) << c.border << "/" << c.width;
        EXPECT_EQ(scale, c.scale) << c.border << "/" << c.width;
    }
}

} // namespace
