// The graphics module's global records.

#include "graphics/device/graphics_state.h"

#include "graphics/device/draw_settings.h"

namespace Korvo {

GraphicsModuleState GraphicsState = {};
DrawSettings Draw = {};
GraphicsDeviceSettings DeviceSettings = {};
DeviceCapabilities DeviceCaps = {};
K_D3DFORMAT TextureFormatSlots[kFormatSlotCount] = {};
K_IDirect3DSurface9 *ScreenTargetSurface = nullptr;
K_IDirect3DSurface9 *ScreenDepthSurface = nullptr;
K_IDirect3DSurface9 *ScreenSubBackBuffer = nullptr;

// Adapter 0 unless one was chosen
UINT GetSelectedAdapter()
{
    return DeviceSettings.adapterSelect != 0 ? static_cast<UINT>(DeviceSettings.adapterIndex) : 0;
}

} // namespace Korvo
