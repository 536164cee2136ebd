// The white texture that untextured draws bind while their stage programme
// multiplies the vertex colour by a texture (modes 12 and 13).
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

// The white stage texture, its graph made on first need and reused until the
// graphs are deleted; null when it cannot be made
K_IDirect3DBaseTexture9 *AcquireWhiteStageTexture();
// Its pixels again after a device rebuild (the program's restore callback may
// not know the graph); 0, or -1 when the reload failed
int RefillWhiteStageTexture();
// Its graph handle, -1 while none exists
int GetWhiteStageGraph();

} // namespace Korvo
