// DrawSettings and their start-up defaults.

#include "graphics/device/draw_settings.h"

#include "core/public_api.h"
#include "graphics/device/shell_services.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/draw/draw_target.h"
#include "graphics/state/light_table.h"
#include "graphics/state/transforms.h"
#include "softraster/draw_state.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static K_D3DCOLORVALUE ColourValue(float r, float g, float b, float a)
{
    K_D3DCOLORVALUE value = {r, g, b, a};
    return value;
}

// The default material: diffuse 0.8, specular 0.8, power 20.
static void SetDefaultMaterial()
{
    Draw.material.Diffuse = ColourValue(0.8f, 0.8f, 0.8f, 1.0f);
    Draw.material.Ambient = ColourValue(0.0f, 0.0f, 0.0f, 0.0f);
    Draw.material.Specular = ColourValue(0.8f, 0.8f, 0.8f, 0.0f);
    Draw.material.Emissive = ColourValue(0.0f, 0.0f, 0.0f, 0.0f);
    Draw.material.Power = 20.0f;
    Draw.materialChanged = 1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Defaults of every draw setting
int ResetDrawSettings()
{
    DrawSettings kept = Draw;
    std::memset(&Draw, 0, sizeof(Draw));
    Draw.graphRestoreCallback = kept.graphRestoreCallback;
    Draw.noVerticalSync = kept.noVerticalSync;
    Draw.noVerticalSyncAtStartup = kept.noVerticalSyncAtStartup;
    Draw.doubled320x240Request = kept.doubled320x240Request;
    Draw.lightingOff = kept.lightingOff;
    Draw.useMaterialDiffuse = kept.useMaterialDiffuse;
    Draw.useMaterialSpecular = kept.useMaterialSpecular;
    Draw.alphaTestMode = -1;
    Draw.blendGraph = -1;

    for (int s = 0; s < 8; ++s) {
        Draw.addressU[s] = K_D3DTADDRESS_CLAMP;
        Draw.addressV[s] = K_D3DTADDRESS_CLAMP;
        Draw.addressW[s] = K_D3DTADDRESS_CLAMP;
    }
    Draw.z2D = 0.2f;
    Draw.depth2D = DepthSettings{0, 0, 4, 0};
    Draw.depth3D = DepthSettings{0, 0, 4, 0};
    Draw.fillMode = 3;
    Draw.lightsChanged = 1;
    StateCache.drawStateDirty = 1;
    Draw.filterMode = 0;
    Draw.maxAnisotropy = 1;
    Draw.blendMode = 0;

    Draw.brightColor = 0xFFFFFF;
    Draw.fogMode = 3;
    Draw.fogColor = 0xFFFFFFFF;
    Draw.fogStart = 0.0f;
    Draw.fogEnd = 1500.0f;
    Draw.fogDensity = 1.0f;

    Draw.selectedDrawTarget = -2;
    SelectDrawTarget(-4);
    SetDrawAreaToWholeTarget();

    Draw.projectionKind = 0;
    Draw.projectionNear = 10.0f;
    Draw.projectionFar = 10000.0f;
    Draw.aspectFactor = 1.0f;
    Draw.fieldOfView = 1.0471976f;
    Draw.orthoHeight = 1.0f;
    BuildIdentityMatrix(&Draw.callerProjection);
    SetDefaultMaterial();
    ResetDefaultLight();
    Draw.cameraScale = 1.0f;
    Draw.drawingSuspended = 0;
    StateCache.drawStateDirty = 1;
    SetMemImgBlendState(MEMIMG_BLEND_COPY, 0);
    SetMemImgBrightColor(MEMIMG_BRIGHT_NONE);
    SetBlendMemImg(nullptr);
    ComputeDrawVertexColor();
    // The target's projection above was built before the projection values were set.
    RebuildProjectionMatrix();
    return 0;
}

// The negation is the no-vsync setting
int SetWaitForVerticalBlank(int enable)
{
    Draw.noVerticalSync = enable != 0 ? 0 : 1;
    if (ShellLibraryStarted() == 0) {
        Draw.noVerticalSyncAtStartup = Draw.noVerticalSync;
    }
    return 0;
}

int IsWaitForVerticalBlankOn()
{
    return Draw.noVerticalSync != 0 ? 0 : 1;
}

int SetDoubled320x240Request(int flag)
{
    Draw.doubled320x240Request = flag;
    return 0;
}

int GetDrawFilterMode()
{
    return Draw.filterMode;
}

} // namespace Korvo
