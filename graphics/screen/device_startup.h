// Starting and ending DirectX: the Direct3D 9 library, the DirectDraw object, the
// Direct3D object and device, the Z buffer, and the software fallback.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Load Direct3D and make the device (or take the software road); 0 or -1
int StartDirectXSystem();
// Release every DirectX object and the library; 0
int EndDirectXSystem();
// Create the device for the current mode; 0, -1, or -2 (an Ex device failed: plain objects next time)
int CreateDirect3DDevice();
// Release swap chain 0 and the device
void ReleaseDirect3DDevice();
// Choose formats and capabilities around device creation; 0 or -1
int SelectDeviceFormats();
// The DirectDraw 7 object, or null
void *GetDirectDraw7Object();
// Measure the display's vertical blank period, then wait for one blank
void MeasureVerticalBlankPeriod();
// Wait for the next vertical blank without spinning
void WaitForVerticalBlankPaced();
// Present the back screen (rectangle in window coordinates or null); 0 or -1
int PresentScreen(const RECT *rect);
// Arm (non-zero) the 32 ms timer that re-presents the front screen; 0
int StartFrontScreenRefresh(int flag);
// Change the desktop display mode to the main size and depth; 0 or -1
int ChangeDisplayModeForScreen();

} // namespace Korvo
