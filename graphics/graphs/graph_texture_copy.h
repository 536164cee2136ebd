// Writing image pixels into one texture piece of a graph image set: level 0
// with its edge padding, or a whole mip chain; and borrowing the staging texture.
#pragma once

#include "graphics/graphs/graph_image_set.h"
#include "image/public_api.h"

namespace Korvo {

// The pixels of one transfer: the source images, where the transfer's rectangle
// starts in them, and the colour-key rule.
struct TextureUpload {
    const RasterImage *color;
    const RasterImage *alpha;  // or null
    int sourceX;
    int sourceY;
    int conversionParam;       // blend graph: the red channel becomes alpha
    int keyTransparent;        // pixels of the transparent colour get alpha 0
    uint32_t transparentColor; // 0x00RRGGBB
};

// Whether the transparent colour is keyed into alpha: transparent flag, a texture format with alpha, no alpha image
int KeyTransparentColour(int transparentFlag, const ColorFormatDesc *textureFormat, const RasterImage *alpha);
// The part of target (image-set coordinates) that a piece holds; false when none
bool IntersectPieceRect(const GraphTexturePiece &piece, const RECT &target, RECT *overlap);
// Convert the source rectangle of an upload to (x, y) of a pixel block; 0 or -1
int ConvertUploadPixels(const TextureUpload &upload, void *pixels, int pitch, const ColorFormatDesc *format, int x,
                        int y, const RECT &source);
// Borrow a staging texture, waiting while every one of its description is lent; the entry or -1.
// Only the main thread pumps messages while it waits.
int WaitForSystemMemoryTexture(int width, int height, int levels, int formatSlot, void *asyncContext);
// Write the source rectangle into level 0 of texture at rect (piece coordinates), padding the used edge; 0 or -1
int CopyImageToTextureLevel0(const GraphImageSet *set, const GraphTexturePiece &piece, K_IDirect3DTexture9 *texture,
                             const RECT &rect, const RECT &source, const TextureUpload &upload, void *asyncContext);
// The same for every mip level, each a box-filtered half of the one before; 0 or -1
int CopyImageToTextureMips(const GraphImageSet *set, const GraphTexturePiece &piece, K_IDirect3DTexture9 *texture,
                           const RECT &rect, const RECT &source, const TextureUpload &upload, void *asyncContext);

} // namespace Korvo
