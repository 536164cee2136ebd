// Start and end of the model module: the two handle kinds, the sine table and
// the module's shared state.

#include "model/startup_entries.h"

#include "core/memory/tracked_alloc.h"
#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/device/graphics_state.h"
#include "model/model_module.h"

#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// The kinds' display name (cp932 in the build).
static const char kModelKindName[] = "３Ｄモデル";
constexpr float kNearRightAngle = 1.5620697f;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

ModelModuleState ModelModule = {0, 0.0f, nullptr, 0, -1, -1, -1};
float ModelSineTable[kModelSineTableSize];

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The new device gets the textures back first, then the buffers.
static int RestoreModelDeviceObjects()
{
    int textures = RestoreModelTexturesAfterReset();
    int buffers = CreateVertexBuffersOfAllModelBases(nullptr);
    return textures == 0 && buffers == 0 ? 0 : -1;
}

static void ReleaseModelDeviceObjects()
{
    ReleaseVertexBuffersOfAllModels();
}

// Graphics ends: models first, each holds a use of its base and graphs of its textures.
static void DeleteModelsBeforeGraphics()
{
    DeleteAllModelHandles();
    DeleteAllModelBaseHandles();
}

static const DeviceRebuildHooks ModelRebuildHooks = {ReleaseModelDeviceObjects, RestoreModelDeviceObjects,
                                                     DeleteModelsBeforeGraphics};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The angle is formed in single precision first, as the table's users expect.
void FillModelSineTable()
{
    for (int i = 0; i < kModelSineTableSize; ++i) {
        float angle = static_cast<float>(i) * 3.1415927f * 2.0f * (1.0f / 65536.0f);
        ModelSineTable[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
    }
}

int DeleteAllModelHandles()
{
    return DeleteHandlesOfType(HANDLE_KIND_MODEL, nullptr);
}

int DeleteAllModelBaseHandles()
{
    return DeleteHandlesOfType(HANDLE_KIND_MODEL_BASE, nullptr);
}

// Once, and only when drawing goes through Direct3D
int InitModelHandleTypes()
{
    if (ModelModule.initialised != 0 || GraphicsState.direct3DModeActive == 0) {
        return 0;
    }
    RegisterHandleType(HANDLE_KIND_MODEL_BASE, static_cast<int>(sizeof(ModelBaseHandleRecord)), kMaxModelHandles,
                       nullptr, DeleteModelBaseRecord, kModelKindName);
    RegisterHandleType(HANDLE_KIND_MODEL, static_cast<int>(sizeof(ModelHandleRecord)), kMaxModelHandles, nullptr,
                       DeleteModelRecord, kModelKindName);
    FillModelSineTable();
    ModelModule.nearRightAngle = kNearRightAngle;
    ModelModule.workBuffer = nullptr;
    ModelModule.workBufferSize = 0;
    ModelModule.whiteTexture = -1;
    ModelModule.greyStepTexture = -1;
    ModelModule.toonTexture = -1;
    AddDeviceRebuildHooks(&ModelRebuildHooks);
    ModelModule.initialised = 1;
    return 0;
}

// Models first: each holds a use of its base
int TermModelHandleTypes()
{
    if (ModelModule.initialised == 0) {
        return 0;
    }
    RemoveDeviceRebuildHooks(&ModelRebuildHooks);
    DeleteAllModelHandles();
    DeleteAllModelBaseHandles();
    TrackedFree(ModelModule.workBuffer);
    ModelModule.workBuffer = nullptr;
    ModelModule.workBufferSize = 0;
    UnregisterHandleType(HANDLE_KIND_MODEL);
    UnregisterHandleType(HANDLE_KIND_MODEL_BASE);
    ModelModule.initialised = 0;
    return 0;
}

} // namespace Korvo
