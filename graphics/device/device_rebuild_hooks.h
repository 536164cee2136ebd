// Device objects of the subsystems above graphics (fonts, models) across a device
// rebuild and the end of graphics. Graphics may not call up into them, so each
// installs its own routines here: every end of DirectX (a rebuild, a mode change,
// shut-down) runs each release routine before the old device goes; a rebuild runs
// each restore routine once the new screens exist (Direct3D or, when the rebuild
// fell back, software); graphics shut-down runs each handle-delete routine before
// the graphs go, for records that hold graphs and device buffers.
#pragma once

namespace Korvo {

struct DeviceRebuildHooks {
    void (*releaseDeviceObjects)();  // before the old device is released (may be null)
    int (*restoreDeviceObjects)();   // after the new device or software screens exist; 0 or -1 (may be null)
    void (*deleteHandles)();         // graphics shut-down, before its own handles go (may be null)
};

constexpr int kMaxDeviceRebuildHooks = 16;

// Install a pair (kept by pointer, so it must outlive its installation); installing
// the same pair twice keeps one entry. 0, or -1 for null or a full list
int AddDeviceRebuildHooks(const DeviceRebuildHooks *hooks);
// Remove an installed pair; 0, or -1 when it was not installed
int RemoveDeviceRebuildHooks(const DeviceRebuildHooks *hooks);
// Every installed release routine, latest installed first
void RunDeviceReleaseHooks();
// Every installed restore routine, first installed first; 0, or -1 when any failed
int RunDeviceRestoreHooks();
// Every installed handle-delete routine, latest installed first
void RunGraphicsHandleDeleteHooks();

} // namespace Korvo
