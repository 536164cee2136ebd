// Light handles and their device slots.

#include "graphics/state/light_table.h"

#include "core/log/fatal_error.h"
#include "core/memory/handle_manager.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/state/lighting_device.h"

#include <cmath>
#include <initializer_list>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr uint32_t kPointLight = 1;
constexpr uint32_t kSpotLight = 2;
constexpr uint32_t kDirectionalLight = 3;

struct LightRecord {
    int checkValue;
    int handle;
    K_D3DLIGHT9 light;
    int deviceSlot;
    int enabled;
    int changed;
};

struct LightTable {
    LightRecord *records[kMaxLights];
    int liveCount;
    int highWater;
    int nextCheck;
    int changed;
    int refreshAll;
    int highestSlot;  // highest device slot in use, -1 none
};

static LightTable Lights = {{}, 0, 0, 0, 0, 0, -1};
int DefaultLightHandle = -1;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static LightRecord *RecordOf(int handle)
{
    if (handle < 0 || HandleKindOf(handle) != HANDLE_KIND_LIGHT) {
        return nullptr;
    }
    int index = HandleSlotOf(handle);
    if (index >= kMaxLights || Lights.records[index] == nullptr ||
        Lights.records[index]->checkValue != HandleCheckOf(handle)) {
        return nullptr;
    }
    return Lights.records[index];
}

static void MarkLightsChanged()
{
    Lights.changed = 1;
    StateCache.drawStateDirty = 1;
}

static void SetLightSlot(int slot, int enable, const K_D3DLIGHT9 *light)
{
    if (G_D3D_HasDevice() == 0) {
        return;
    }
    if (enable != 0) {
        ApplyLight(light, slot);
    }
    ApplyLightEnable(slot, enable);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int CreateLightRecord()
{
    int index = Lights.highWater;
    if (index >= kMaxLights) {
        index = 0;
        while (index < kMaxLights && Lights.records[index] != nullptr) {
            ++index;
        }
        if (index == kMaxLights) {
            return -1;  // every entry is in use
        }
    }
    LightRecord *record = static_cast<LightRecord *>(TrackedAllocZeroed(sizeof(LightRecord), __FILE__, __LINE__));
    if (record == nullptr) {
        AbortWithFatalError("ライト用のメモリの確保に失敗しました");
        return -1;
    }
    K_D3DLIGHT9 &l = record->light;
    l.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    l.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    l.Ambient = {0.33f, 0.33f, 0.33f, 0.33f};
    l.Range = 2000.0f;
    l.Falloff = 1.0f;
    l.Attenuation0 = 0.1f;
    l.Theta = 2.0f;
    l.Phi = 2.0f;
    record->checkValue = Lights.nextCheck;
    Lights.nextCheck = Lights.nextCheck >= kHandleMaxCheckValue ? 0 : Lights.nextCheck + 1;
    record->handle = MakeHandleValue(HANDLE_KIND_LIGHT, record->checkValue, index);
    record->deviceSlot = -1;
    record->enabled = 1;
    record->changed = 1;
    Lights.records[index] = record;
    ++Lights.liveCount;
    if (index == Lights.highWater) {
        ++Lights.highWater;
    }
    MarkLightsChanged();
    return record->handle;
}

int CreateDirectionalLight(XyzVector direction)
{
    float length = std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
    if (!(length > 0.0f)) {
        return -1;
    }
    int handle = CreateLightRecord();
    LightRecord *record = RecordOf(handle);
    if (record == nullptr) {
        return -1;
    }
    record->light.Type = kDirectionalLight;
    record->light.Direction = {direction.x / length, direction.y / length, direction.z / length};
    return handle;
}

int DestroyLightHandle(int handle)
{
    LightRecord *record = RecordOf(handle);
    if (record == nullptr) {
        return -1;
    }
    int index = HandleSlotOf(handle);
    Lights.records[index] = nullptr;
    --Lights.liveCount;
    if (index + 1 == Lights.highWater) {
        while (Lights.highWater > 0 && Lights.records[Lights.highWater - 1] == nullptr) {
            --Lights.highWater;
        }
    }
    if (handle == DefaultLightHandle) {
        DefaultLightHandle = -1;
    }
    TrackedFree(record);
    MarkLightsChanged();
    return 0;
}

int DeleteAllLights()
{
    for (int i = 0; i < Lights.highWater; ++i) {
        if (Lights.records[i] != nullptr && Lights.records[i]->handle != DefaultLightHandle) {
            DestroyLightHandle(Lights.records[i]->handle);
        }
    }
    return 0;
}

int UpdateLightTable()
{
    if (Lights.changed == 0 && Lights.refreshAll == 0) {
        return 0;
    }
    int slot = 0;
    for (uint32_t type : {kDirectionalLight, kSpotLight, kPointLight}) {
        for (int i = 0; i < Lights.highWater; ++i) {
            LightRecord *record = Lights.records[i];
            if (record == nullptr || record->enabled == 0 || record->light.Type != type) {
                continue;
            }
            if (record->deviceSlot != slot || record->changed != 0 || Lights.refreshAll != 0) {
                record->deviceSlot = slot;
                record->changed = 0;
                SetLightSlot(slot, 1, &record->light);
            }
            ++slot;
        }
    }
    for (int s = slot; s <= Lights.highestSlot && s < kDeviceLightSlots; ++s) {
        SetLightSlot(s, 0, nullptr);
    }
    Lights.highestSlot = slot - 1;
    Lights.changed = 0;
    Lights.refreshAll = 0;
    StateCache.drawStateDirty = 1;
    return 0;
}

K_D3DLIGHT9 *GetLightValues(int handle, int *slot)
{
    LightRecord *record = RecordOf(handle);
    if (record != nullptr && slot != nullptr) {
        *slot = record->deviceSlot;
    }
    return record != nullptr ? &record->light : nullptr;
}

int GetLightCounts(int *highWater)
{
    *highWater = Lights.highWater;
    return Lights.liveCount;
}

int SetUseLighting(int flag)
{
    Draw.lightingOff = flag != 0 ? 0 : 1;
    SetLightingEnabled(flag != 0 ? 1 : 0);
    MarkLightsChanged();
    return 0;
}

int ResetDefaultLight()
{
    if (RecordOf(DefaultLightHandle) != nullptr) {
        DestroyLightHandle(DefaultLightHandle);
    }
    DefaultLightHandle = CreateDirectionalLight(XyzVector{1.0f, -1.0f, 1.0f});
    return DefaultLightHandle;
}

int DeleteEveryLight()
{
    for (int i = 0; i < Lights.highWater; ++i) {
        if (Lights.records[i] != nullptr) {
            DestroyLightHandle(Lights.records[i]->handle);
        }
    }
    DefaultLightHandle = -1;
    return 0;
}

void RefreshAllLights()
{
    Lights.refreshAll = 1;
    StateCache.drawStateDirty = 1;
}

} // namespace Korvo
