// The graphics module's global state: the module flags, the settings made before
// device creation, the capabilities read after it, and the texture format slots.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kFormatSlotCount = 28;

// Format slots (TextureFormatSlot indexes).
enum FormatSlot {
    FORMAT_SLOT_COLOR16 = 0,
    FORMAT_SLOT_COLOR32 = 1,
    FORMAT_SLOT_ALPHA16 = 2,
    FORMAT_SLOT_ALPHA32 = 3,
    FORMAT_SLOT_ALPHA_TEST16 = 4,
    FORMAT_SLOT_ALPHA_TEST32 = 5,
    FORMAT_SLOT_DXT1 = 6,
    FORMAT_SLOT_DRAW16 = 11,
    FORMAT_SLOT_DRAW32 = 12,
    FORMAT_SLOT_DRAW_ALPHA32 = 13,
    FORMAT_SLOT_SCREEN_DRAW = 25,
    FORMAT_SLOT_SCREEN_ALPHA_TEST = 26,
    FORMAT_SLOT_ZBUFFER = 27,
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// The module record.
struct GraphicsModuleState {
    int started;
    int direct3DModeActive;   // Direct3DModeActive
    int softwareOnlyRequest;  // no Direct3D object or device is made
    int mainWidth;            // 0 until set
    int mainHeight;
    int virtualWidth;         // the drawn size
    int virtualHeight;
    int bitsPerPixel;         // 0 until set
    int refreshRate;          // 0 = driver default
    int backgroundRed;        // clears new back buffers
    int backgroundGreen;
    int backgroundBlue;
    int programmableShader;   // built-in shader objects exist and are used
    int filterInPlaceUsable;  // FilterInPlaceUsable
};

// Values that setters store before start-up; device creation reads them.
struct GraphicsDeviceSettings {
    int adapterSelect;
    int adapterIndex;
    int multithreaded;
    int fpuPreserve;
    int forceSoftwareVertexProcessing;
    int multiSampleType;
    int multiSampleQuality;
    int noVerticalSync;
    int desktopComposition;   // 0 default, 1 leave on in full screen, 2 always off
    int exDisabled;           // set when an Ex device failed: plain objects from then on
    int shaderCapable;        // written at device creation
    int vertexShaderVersion;
    int vertexShader2;        // written by the capability reading
    int pixelShader2;
    int zBufferWidth;         // 0: powers of two over the main size
    int zBufferHeight;
};

// What the drawing code needs of the device's capabilities.
struct DeviceCapabilities {
    int renderTargetCount;
    int tempRegister;         // texture-stage temporary register usable
    int blendOp;              // reverse subtraction (else emulated)
    int nonPow2Conditional;
    int pow2Only;
    int maxTextureWidth;
    int maxTextureHeight;
    int maxTextureSize;
    int maxPrimitiveCount;
    int maxVertexIndex;
    K_D3DFORMAT backBufferFormat;
    int backBufferLock;       // reading the back buffer by locking it is faster
    int squareOnly;           // textures must be square
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

extern GraphicsModuleState GraphicsState;
extern GraphicsDeviceSettings DeviceSettings;
extern DeviceCapabilities DeviceCaps;
// TextureFormatSlot table: a Direct3D format per slot, 0 when not available.
extern K_D3DFORMAT TextureFormatSlots[kFormatSlotCount];

// The adapter device creation uses
UINT GetSelectedAdapter();

} // namespace Korvo

namespace Korvo {

struct K_IDirect3DSurface9;
// The device's back buffer and default depth surface as the draw-target code
// sets them (null without a device).
extern K_IDirect3DSurface9 *ScreenTargetSurface;
extern K_IDirect3DSurface9 *ScreenDepthSurface;
// The sub back buffer the screens draw into once it is made (null until then).
extern K_IDirect3DSurface9 *ScreenSubBackBuffer;

} // namespace Korvo
