// Lowering a multisample request to what the adapter supports.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

// Lower *type (and *quality) until the colour format and D16 depth both support it;
// 0, or -1 (quality 0) when lowering is not allowed and the request is unsupported
int ChooseMultiSampleSetting(K_D3DFORMAT format, int *type, int *quality, int noLowering);
// The same on the main thread for an asynchronous-load worker (context non-null)
int ChooseMultiSampleOnMainThread(K_D3DFORMAT format, int *type, int *quality, int noLowering, void *context);

} // namespace Korvo
