// MEMIMG import from RasterImage, format descriptors and converting copies.
#include "softraster/memimg.h"

namespace Korvo {

// Shared colour-format descriptor of a kind.
// NOTE: not built yet: the colour-format descriptors of the image-data layer are
// still to come, so this answers null for every kind for now.
const ColorFormatDesc *LookupMemImgFormatDesc(MemImgPixelKind, int, int)
{
    return nullptr;
}

}  // namespace Korvo
