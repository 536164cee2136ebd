// Graphics services that the core runtime calls (start-up, shut-down, the window
// procedure, activation and the message pump).
#pragma once

#include "graphics/public_api.h"

namespace Korvo {

// 1 when a restore routine is set
int HasGraphRestoreCallback();
// Start graphics (Direct3D or software images, fonts, rasteriser tables); 0 or -1
int StartupGraphicsSystem();
// End fonts and every graphics resource; 0
int ShutdownGraphicsSystem();
// Direct later drawing to a draw target (-2..-5) or a drawable graph; 0 or -1
int SelectDrawTarget(int target);
// Show the current back screen in the window again
void RefreshPresentedScreen();
// Rebuild the screen for the current window mode (-1 keeps a value); 0 or -1
int ApplyScreenModeChange(int width, int height, int bitsPerPixel, int force, int refreshRate);
// 1 when the Direct3D device exists
int G_D3D_HasDevice();
// End an open Direct3D scene
void G_D3D_EndSceneIfBegun();
// 1 when the device reports loss
int G_D3D_IsDeviceLost();
// Re-create the device (or software screens) and restore its resources; 0 or -1
int RecreateGraphicsDevice();
// Release every device resource and the device
void ReleaseGraphicsDevice();
// The DirectDraw 7 object, or null
void *GetDirectDraw7Object();
// End an open scene and set the device's dialog-box mode; 0
int G_D3D_SwitchDialogBoxMode(int flag);

} // namespace Korvo
