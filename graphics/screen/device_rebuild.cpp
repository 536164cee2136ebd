// Releasing everything that lives on the Direct3D device and building it all
// again on a new one (the device is never reset in place); when no Direct3D
// device can be made again, the library goes on drawing in software.

#include "graphics/startup_entries.h"

#include "core/threads/async_load.h"
#include "graphics/draw/buffer_handles.h"
#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/screen/device_startup.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/graphs/graph_restore.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/light_table.h"
#include "graphics/draw/masks.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"
#include "graphics/shading/white_stage_texture.h"
#include "graphics/state/transforms.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Device objects go with the old device; what they hold stays in memory (the
// subsystems above let go of theirs in EndDirectXSystem).
static void ReleaseDeviceObjects()
{
    ReleaseMaskDeviceSurfaces();
    ReleaseShaderDeviceObjects();
    ReleaseBufferDeviceObjects();
    ReleaseGraphDeviceTextures();
    EndDirectXSystem();
}

// The camera and clip area a draw-target selection resets, kept across it.
struct KeptTransforms {
    RowMatrix4 world;
    RowMatrix4 view;
    RowMatrix4 projection;
    RowMatrix4 viewport;
    RECT drawArea;
    int projectionKind;
    float projectionNear;
    float projectionFar;
    float fieldOfView;
    float aspectFactor;
    float orthoHeight;
    RowMatrix4 callerProjection;
};

static KeptTransforms KeepTransforms()
{
    return KeptTransforms{StateCache.world,      StateCache.view,        StateCache.projection,
                          StateCache.viewportMatrix, Draw.drawArea,       Draw.projectionKind,
                          Draw.projectionNear,   Draw.projectionFar,     Draw.fieldOfView,
                          Draw.aspectFactor,     Draw.orthoHeight,       Draw.callerProjection};
}

static void PutBackTransforms(const KeptTransforms &kept)
{
    Draw.projectionKind = kept.projectionKind;
    Draw.projectionNear = kept.projectionNear;
    Draw.projectionFar = kept.projectionFar;
    Draw.fieldOfView = kept.fieldOfView;
    Draw.aspectFactor = kept.aspectFactor;
    Draw.orthoHeight = kept.orthoHeight;
    Draw.callerProjection = kept.callerProjection;
    ApplyDrawArea(kept.drawArea);
    SetWorldMatrix(&kept.world);
    SetViewMatrix(&kept.view);
    SetProjectionMatrix(&kept.projection);
    SetViewportMatrix(&kept.viewport);
}

// The graphs' pixels: the program's restore routine (or the built-in one), then
// the library's own white stage texture, which a program's routine cannot know.
static int RestoreGraphPixels()
{
    int result = RunGraphRestore();
    if (RefillWhiteStageTexture() != 0) {
        result = -1;
    }
    return result;
}

// The rebuild fell back to software: software screens and graph images.
static int RebuildInSoftware(int hadDirect3D)
{
    if (IsMemImgValid(&SoftwareScreen) == 0 && CreateSoftwareScreen() != 0) {
        return -1;
    }
    if (hadDirect3D == 0) {
        return 0;
    }
    int restored = RestoreGraphsInSoftware();
    KeptTransforms kept = KeepTransforms();
    SelectDrawTarget(GetSelectedDrawTarget());
    PutBackTransforms(kept);
    if (RestoreGraphPixels() != 0) {
        restored = -1;
    }
    return restored;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Release the device's resources and DirectX (full-screen deactivation)
void ReleaseGraphicsDevice()
{
    // Between a release and the rebuild Direct3D mode stays on without a device.
    if (GraphicsState.started != 0 && GraphicsState.direct3DModeActive != 0 && G_D3D_HasDevice() != 0) {
        // No load job may touch the device while it goes.
        FinishQueuedAsyncJobs();
        ReleaseDeviceObjects();
    }
}

// DirectX again, and every device object back on the new device; when no
// Direct3D device can be made, software screens and graph images instead.
// 0, or -1 when something did not come back
int RecreateGraphicsDevice()
{
    if (GraphicsState.started == 0) {
        return 0;
    }
    // No load job may touch the device while it is rebuilt.
    FinishQueuedAsyncJobs();
    int hadDirect3D = GraphicsState.direct3DModeActive;
    if (hadDirect3D != 0 && G_D3D_HasDevice() != 0) {
        ReleaseDeviceObjects();
    }
    StartDirectXSystem();
    if (GraphicsState.direct3DModeActive == 0) {
        return RebuildInSoftware(hadDirect3D);
    }
    InitDeviceStates();
    // The cache now holds the new device's own material: the draw settings' one is
    // sent again by the next lit draw.
    Draw.materialChanged = 1;
    RestoreMaskScreen();
    RestoreShaderDeviceObjects();
    RestoreBufferDeviceObjects();
    int restored = RestoreGraphDeviceTextures();
    KeptTransforms kept = KeepTransforms();
    SelectDrawTarget(GetSelectedDrawTarget());
    RestoreDeviceStates();
    for (int i = 0; i < 2; ++i) {
        FillDrawTargetWithBackground(nullptr);
        PresentScreen(nullptr);
    }
    if (RestoreGraphPixels() != 0) {
        restored = -1;
    }
    ReapplyDeviceStates();
    RefreshAllLights();
    UploadAllShaderConstants();
    PutBackTransforms(kept);
    // The further render-target slots point at surfaces of the new device again.
    for (int slot = 1; slot < DeviceCaps.renderTargetCount && slot < kRenderTargetSlotCount; ++slot) {
        int target = GetRenderTargetSlot(slot);
        if (target >= 0 && SetRenderTargetSlot(slot, target) != 0) {
            restored = -1;
        }
    }
    return restored;
}

} // namespace Korvo
