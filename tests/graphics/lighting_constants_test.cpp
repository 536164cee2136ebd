// Lighting and fog as the shaders see them: the library's constant layer after
// lights, material, ambient colour and fog reach the device, and the keys that
// pick a lit vertex shader.

#include "tests/graphics/recording_device.h"

#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/state/fog_light_constants.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/light_table.h"
#include "graphics/state/lighting_device.h"
#include "graphics/state/shader_constants.h"
#include "graphics/state/transforms.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

const float *FloatRegister(int file, int index)
{
    return static_cast<const float *>(GetStoredShaderConstants(file)) + index * 4;
}

int BoolRegister(int index)
{
    return static_cast<const int *>(GetStoredShaderConstants(SHADER_FILE_VERTEX_BOOL))[index];
}

void ExpectRegister(int file, int index, const float (&want)[4])
{
    const float *got = FloatRegister(file, index);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(got[i], want[i], 1e-5f) << "file " << file << " register " << index << " element " << i;
    }
}

class LightingConstantsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordingDevice::Reset();
        StateCache = DeviceStateCache{};
        BuildIdentityMatrix(&StateCache.view);
        Draw = DrawSettings{};
        InitShaderConstantSet();
        GraphicsState.programmableShader = 1;
    }
    void TearDown() override
    {
        for (int slot = 0; slot < 4; ++slot) {
            ApplyLightEnable(slot, 0);
        }
        GraphicsState.programmableShader = 0;
    }
};

TEST_F(LightingConstantsTest, MaterialAmbientAndLightColoursReachTheirRegisters)
{
    K_D3DMATERIAL9 material = {};
    material.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    material.Specular = {0.1f, 0.2f, 0.3f, 0.0f};
    material.Emissive = {0.1f, 0.0f, 0.0f, 0.0f};
    material.Power = 20.0f;
    ASSERT_EQ(ApplyMaterial(&material), 0);
    ASSERT_EQ(ApplyAmbientColor(0xFF336699), 0);
    K_D3DLIGHT9 light = {};
    light.Type = 2;
    light.Diffuse = {1.0f, 0.5f, 0.0f, 1.0f};
    light.Ambient = {0.4f, 0.2f, 1.0f, 1.0f};
    light.Position = {1.0f, 2.0f, 3.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Range = 10.0f;
    light.Theta = 1.0f;
    light.Phi = 2.0f;
    ASSERT_EQ(ApplyLight(&light, 1), 0);
    ASSERT_EQ(ApplyLightEnable(1, 1), 0);

    struct Expected {
        const char *what;
        int file;
        int index;
        float value[4];
    };
    const float r = 0x33 / 255.0f, g = 0x66 / 255.0f, b = 0x99 / 255.0f;
    const Expected expected[] = {
        {"material diffuse", SHADER_FILE_VERTEX_FLOAT, 11, {0.5f, 0.25f, 1.0f, 1.0f}},
        {"material specular and power", SHADER_FILE_PIXEL_FLOAT, 4, {0.1f, 0.2f, 0.3f, 20.0f}},
        {"global ambient", SHADER_FILE_VERTEX_FLOAT, 1, {r * 0.5f + 0.1f, g * 0.5f, b * 0.5f, 1.0f}},
        {"global ambient (pixel)", SHADER_FILE_PIXEL_FLOAT, 1, {r * 0.5f + 0.1f, g * 0.5f, b * 0.5f, 1.0f}},
        {"light position", SHADER_FILE_VERTEX_FLOAT, 21, {1.0f, 2.0f, 3.0f, 1.0f}},
        {"light direction", SHADER_FILE_PIXEL_FLOAT, 40, {0.0f, 0.0f, 1.0f, 0.0f}},
        {"light diffuse (pixel colours)", SHADER_FILE_PIXEL_FLOAT, 12, {1.0f, 0.5f, 0.0f, 1.0f}},
        {"light ambient x material ambient", SHADER_FILE_VERTEX_FLOAT, 25, {0.2f, 0.1f, 0.5f, 1.0f}},
        {"the same in the pixel colours", SHADER_FILE_PIXEL_FLOAT, 14, {0.2f, 0.1f, 0.5f, 1.0f}},
        {"range squared", SHADER_FILE_VERTEX_FLOAT, 26, {100.0f, 0.0f, 0.0f, 0.0f}},
    };
    for (const Expected &e : expected) {
        SCOPED_TRACE(e.what);
        ExpectRegister(e.file, e.index, e.value);
    }
    EXPECT_EQ(BoolRegister(7), 1) << "slot 1 enabled";
    EXPECT_EQ(BoolRegister(8), 1) << "point or spot";
    EXPECT_EQ(BoolRegister(9), 1) << "spot";
    EXPECT_EQ(BoolRegister(4), 0) << "slot 0 stays off";
}

TEST_F(LightingConstantsTest, ANewViewMatrixMovesTheShaderLightsIntoItsSpace)
{
    K_D3DLIGHT9 point = {};
    point.Type = 1;
    point.Position = {1.0f, 0.0f, 0.0f};
    point.Direction = {0.0f, 0.0f, 1.0f};
    K_D3DLIGHT9 directional = {};
    directional.Type = 3;
    directional.Direction = {1.0f, 0.0f, 0.0f};
    ASSERT_EQ(ApplyLight(&point, 0), 0);
    ASSERT_EQ(ApplyLight(&directional, 3), 0);
    struct Case {
        const char *what;
        RowMatrix4 view;
        float position[4];   // slot 0
        float direction[4];  // slot 0
        float turned[4];     // slot 3's direction
    };
    // Row vectors: the fourth row translates; the second case turns x into z.
    const Case cases[] = {
        {"moved x + 100", {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {100, 0, 0, 1}}},
         {101, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 0, 0}},
        {"turned and moved y + 5", {{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 5, 0, 1}}},
         {0, 5, 1, 1}, {-1, 0, 0, 0}, {0, 0, 1, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetViewTransformDevice(&c.view);
        const float(&position)[4] = c.position;
        ExpectRegister(SHADER_FILE_VERTEX_FLOAT, 14, position);
        ExpectRegister(SHADER_FILE_PIXEL_FLOAT, 32, position);
        ExpectRegister(SHADER_FILE_VERTEX_FLOAT, 15, c.direction);
        ExpectRegister(SHADER_FILE_PIXEL_FLOAT, 33, c.direction);
        ExpectRegister(SHADER_FILE_VERTEX_FLOAT, 14 + 21 + 1, c.turned);
    }
}

TEST_F(LightingConstantsTest, TheHighestEnabledSlotFollowsEnablesAndDisables)
{
    K_D3DLIGHT9 light = {};
    light.Type = 3;
    struct Step {
        int slot;
        int enable;
        int highest;
    };
    const Step steps[] = {{0, 1, 0}, {5, 1, 5}, {2, 1, 5}, {5, 0, 2}, {0, 0, 2}, {2, 0, -1}};
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "slot " << s.slot << " enable " << s.enable);
        ASSERT_EQ(ApplyLight(&light, s.slot), 0);
        ASSERT_EQ(ApplyLightEnable(s.slot, s.enable), 0);
        EXPECT_EQ(GetHighestEnabledLightSlot(), s.highest);
    }
}

TEST_F(LightingConstantsTest, FogSettingsReachTheDeviceAndTheConstants)
{
    ASSERT_EQ(SetFogModeSetting(K_D3DFOG_EXP2), 0);
    ASSERT_EQ(SetFogColourSetting(255, 0, 51), 0);
    ASSERT_EQ(SetFogRangeSetting(100.0f, 300.0f), 0);
    EXPECT_EQ(Draw.fogColor, 0xFFFF0033u);
    EXPECT_EQ(StateCache.fogVertexMode, K_D3DFOG_EXP2);
    const int modes[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(BoolRegister(i), modes[i]) << "fog-mode bool " << i;
    }
    ExpectRegister(SHADER_FILE_PIXEL_FLOAT, 8, {1.0f, 0.0f, 0.2f, 1.0f});
    const float *fog = FloatRegister(SHADER_FILE_VERTEX_FLOAT, 10);
    EXPECT_NEAR(fog[0], 1.5f, 1e-5f);
    EXPECT_NEAR(fog[1], -1.0f / 200.0f, 1e-7f);
    RecordingDevice::Calls.clear();
    ASSERT_EQ(SetFogRangeSetting(100.0f, 300.0f), 0);
    EXPECT_TRUE(RecordingDevice::Calls.empty()) << "an unchanged range sends nothing";
}

TEST(LightingShaderKeysTest, KeysFollowLightingLightTypesAndFog)
{
    struct Case {
        int lighting;
        int types[3];
        int fog;
        int keyA;
        int keyB;
    };
    const Case cases[] = {
        {0, {0, 0, 0}, 0, 0, 0},
        {0, {3, 1, 2}, 3, 1536, 0},  // lights do not count while lighting is off
        {1, {0, 0, 0}, 0, 0x6000, 1728},
        {1, {3, 0, 0}, 0, 0x6000 + 4096 + 384, 1728 + 432 + 144},
        {1, {3, 1, 2}, 1, 0x6000 + 4096 + 384 + 32 + 16 + 512, 1728 + 432 + 144 + 24 + 8},
    };
    for (const Case &c : cases) {
        int keys[2] = {-1, -1};
        ComputeLightingShaderKeys(c.lighting, c.types, c.fog, keys);
        EXPECT_EQ(keys[0], c.keyA) << "lighting " << c.lighting << " fog " << c.fog;
        EXPECT_EQ(keys[1], c.keyB) << "lighting " << c.lighting << " fog " << c.fog;
    }
}

TEST(DefaultLightTest, TheDrawSettingsResetMakesOneDefaultLightThatDeletingAllKeeps)
{
    RecordingDevice::Present = false;
    DeleteEveryLight();
    int first = ResetDefaultLight();
    ASSERT_NE(first, -1);
    int second = ResetDefaultLight();
    ASSERT_NE(second, -1);
    EXPECT_EQ(GetLightValues(first, nullptr), nullptr) << "the old default light is gone";
    int highWater = 0;
    EXPECT_EQ(GetLightCounts(&highWater), 1);
    K_D3DLIGHT9 *light = GetLightValues(second, nullptr);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Type, 3u);
    EXPECT_NEAR(light->Direction.x, 0.57735f, 1e-5f);
    EXPECT_NEAR(light->Direction.y, -0.57735f, 1e-5f);
    CreateLightRecord();
    DeleteAllLights();
    EXPECT_EQ(GetLightCounts(&highWater), 1) << "the default light stays";
    DeleteEveryLight();
    EXPECT_EQ(GetLightCounts(&highWater), 0);
    EXPECT_EQ(DefaultLightHandle, -1);
    RecordingDevice::Present = true;
}

} // namespace
