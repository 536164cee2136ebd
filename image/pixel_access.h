// Pixel access and image blits on RasterImage records of any format.
// Block-compressed images are expanded to ARGB 32-bit before a pixel is touched.
#pragma once

#include "image/raster_image.h"

namespace Korvo {

// Allocate an ARGB 32-bit image
int AllocArgb32Image(int width, int height, RasterImage *out);
// Allocate an XRGB 32-bit image
int AllocXrgb32Image(int width, int height, RasterImage *out);
// Write one pixel from 0..255 components
int WriteImagePixelRgba(RasterImage *image, int x, int y, int r, int g, int b, int a);
// Read one pixel as 0..255 components; any pointer may be null
int ReadImagePixelRgba(RasterImage *image, int x, int y, int *r, int *g, int *b, int *a);
// Copy a rectangle to (tx, ty) of another image, clipped to both images
int BlitImageRectClipped(int sx, int sy, int w, int h, int tx, int ty, RasterImage *source, RasterImage *destination);
// Copy a whole image to (tx, ty) of another image, clipped
int BlitWholeImageAt(int tx, int ty, RasterImage *source, RasterImage *destination);
// Scale a source rectangle into a destination rectangle, nearest or bilinear
int ScaleBlitImageRect(int sx1, int sy1, int sx2, int sy2, RasterImage *source, int tx1, int ty1, int tx2, int ty2,
                       RasterImage *destination, int bilinear);

} // namespace Korvo
