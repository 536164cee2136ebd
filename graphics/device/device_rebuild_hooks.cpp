// The installed device-rebuild routines of the subsystems above graphics.

#include "graphics/device/device_rebuild_hooks.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static const DeviceRebuildHooks *InstalledHooks[kMaxDeviceRebuildHooks] = {};
static int InstalledCount = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// A routine may install or remove hooks while it runs; the runs walk a copy.
static int SnapshotHooks(const DeviceRebuildHooks **out)
{
    for (int i = 0; i < InstalledCount; ++i) {
        out[i] = InstalledHooks[i];
    }
    return InstalledCount;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int AddDeviceRebuildHooks(const DeviceRebuildHooks *hooks)
{
    if (hooks == nullptr) {
        return -1;
    }
    for (int i = 0; i < InstalledCount; ++i) {
        if (InstalledHooks[i] == hooks) {
            return 0;
        }
    }
    if (InstalledCount == kMaxDeviceRebuildHooks) {
        return -1;
    }
    InstalledHooks[InstalledCount++] = hooks;
    return 0;
}

int RemoveDeviceRebuildHooks(const DeviceRebuildHooks *hooks)
{
    for (int i = 0; i < InstalledCount; ++i) {
        if (InstalledHooks[i] == hooks) {
            for (int j = i + 1; j < InstalledCount; ++j) {
                InstalledHooks[j - 1] = InstalledHooks[j];
            }
            InstalledHooks[--InstalledCount] = nullptr;
            return 0;
        }
    }
    return -1;
}

void RunDeviceReleaseHooks()
{
    const DeviceRebuildHooks *running[kMaxDeviceRebuildHooks];
    int count = SnapshotHooks(running);
    // Later installers may hold objects made from earlier ones', so they let go first.
    for (int i = count - 1; i >= 0; --i) {
        if (running[i]->releaseDeviceObjects != nullptr) {
            running[i]->releaseDeviceObjects();
        }
    }
}

void RunGraphicsHandleDeleteHooks()
{
    const DeviceRebuildHooks *running[kMaxDeviceRebuildHooks];
    int count = SnapshotHooks(running);
    for (int i = count - 1; i >= 0; --i) {
        if (running[i]->deleteHandles != nullptr) {
            running[i]->deleteHandles();
        }
    }
}

int RunDeviceRestoreHooks()
{
    int result = 0;
    const DeviceRebuildHooks *running[kMaxDeviceRebuildHooks];
    int count = SnapshotHooks(running);
    for (int i = 0; i < count; ++i) {
        if (running[i]->restoreDeviceObjects != nullptr && running[i]->restoreDeviceObjects() != 0) {
            result = -1;
        }
    }
    return result;
}

} // namespace Korvo
