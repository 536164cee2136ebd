// Pixel access and image blits on RasterImage records of any format.
// Block-compressed images are expanded to ARGB 32-bit before a pixel is touched.
#pragma once

#include "image/raster_image.h"

namespace Korvo {

} // namespace Korvo
