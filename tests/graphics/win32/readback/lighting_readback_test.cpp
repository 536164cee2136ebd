// Lit 3-D draws on Wine's device: the default light of the draw-settings reset
// lights a surface facing it, its slot's enable reaches the shader constants,
// and once the light is deleted the surface is left unlit.

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/draw_settings.h"
#include "graphics/startup_entries.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/state/light_table.h"
#include "graphics/state/lighting_device.h"
#include "graphics/state/shader_constants.h"

#include <cmath>
#include <cstring>

using namespace Korvo;

namespace {

// A white quad at z 0 around the screen centre, its normal towards the camera.
uint32_t DrawLitQuadAndReadCentre()
{
    PrepareDrawStatesIfNeeded(nullptr, DRAW_FLAG_LIGHTING | DRAW_FLAG_DEPTH_3D);
    struct LitVertex {
        float x, y, z;
        float nx, ny, nz;
        uint32_t diffuse;
    };
    const LitVertex quad[4] = {{220, 140, 0, 0, 0, -1, 0xFFFFFFFF}, {420, 140, 0, 0, 0, -1, 0xFFFFFFFF},
                               {220, 340, 0, 0, 0, -1, 0xFFFFFFFF}, {420, 340, 0, 0, 0, -1, 0xFFFFFFFF}};
    constexpr DWORD kLitVertexFormat = 0x2 | 0x10 | 0x40;  // XYZ | NORMAL | DIFFUSE
    StateCache.fvf = kLitVertexFormat;
    D3DDev_SetFVF(kLitVertexFormat);
    D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex));
    return GraphicsTest::ReadTargetPixel(320, 240);
}

TEST(LightingReadbackTest, TheDefaultLightLightsASurfaceFacingItUntilItIsDeleted)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_NE(DefaultLightHandle, -1);
    GraphicsState.backgroundRed = GraphicsState.backgroundGreen = GraphicsState.backgroundBlue = 0;
    // White light along (1, -1, 1) / sqrt(3) on a surface facing -z: N.L = 1 / sqrt(3).
    const int litLevel = static_cast<int>(std::lround(255.0 / std::sqrt(3.0)));
    struct Step {
        const char *what;
        bool deleteLight;
        int level;
        int slotEnabled;
    };
    const Step steps[] = {{"the default light", false, litLevel, 1}, {"no light", true, 0, 0}};
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        if (step.deleteLight) {
            ASSERT_EQ(DestroyLightHandle(DefaultLightHandle), 0);
        }
        ClearDrawScreen();
        uint32_t pixel = DrawLitQuadAndReadCentre();
        for (int shift = 0; shift <= 16; shift += 8) {
            EXPECT_NEAR(static_cast<int>((pixel >> shift) & 0xFF), step.level, 3) << std::hex << pixel;
        }
        EXPECT_EQ(GetHighestEnabledLightSlot(), step.slotEnabled != 0 ? 0 : -1);
        const int *bools = static_cast<const int *>(GetStoredShaderConstants(SHADER_FILE_VERTEX_BOOL));
        EXPECT_EQ(bools[4], step.slotEnabled) << "slot 0's enable for the shaders";
    }
    G_D3D_EndSceneIfBegun();
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Alloc num:0"), std::string::npos);
}

// A new device starts with its own material; the draw settings' material must
// reach it again before the next lit draw.
TEST(LightingReadbackTest, TheMaterialOfTheDrawSettingsSurvivesADeviceRebuild)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first device" : "after a rebuild");
        if (round == 1) {
            ASSERT_EQ(RecreateGraphicsDevice(), 0);
            ASSERT_EQ(G_D3D_HasDevice(), 1);
        }
        PrepareDrawStatesIfNeeded(nullptr, DRAW_FLAG_LIGHTING | DRAW_FLAG_DEPTH_3D);
        K_D3DMATERIAL9 onDevice = {};
        ASSERT_GE(D3DDev_GetMaterial(&onDevice), 0);
        EXPECT_FLOAT_EQ(onDevice.Diffuse.r, Draw.material.Diffuse.r);
        EXPECT_FLOAT_EQ(onDevice.Specular.g, Draw.material.Specular.g);
        EXPECT_FLOAT_EQ(onDevice.Power, Draw.material.Power);
        EXPECT_EQ(std::memcmp(&StateCache.material, &Draw.material, sizeof(Draw.material)), 0);
    }
    G_D3D_EndSceneIfBegun();
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
