// Host stand-in of the GDI road of the bitmap importers. The host build has no
// GDI: layouts that only GDI can draw (1- and 16-bit, bit fields) are refused.
#include "image/dib_format.h"

namespace Korvo {

// Refuses: there is no GDI on the host build
int DrawDibThroughGdi(const K_BITMAPINFO *, const void *, RasterImage *)
{
    return -1;
}

} // namespace Korvo
