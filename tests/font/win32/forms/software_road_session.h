// The forms group's library session: a 640x480 window drawn on the software road.
#pragma once

#include "core/public_api.h"
#include "graphics/public_api.h"

// Start the library in a window of this title; StartLibrary's result.
inline int StartSoftwareRoadSession(const char *title)
{
    Korvo::SetAppWindowTitle(title);
    Korvo::SetScreenResolutionAndDepth(640, 480, 32, 60);
    Korvo::ChangeWindowMode(1);
    Korvo::SetHardwareRenderingWanted(0);
    return Korvo::StartLibrary();
}
