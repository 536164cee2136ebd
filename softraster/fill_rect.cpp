// Filled rectangles of one flat colour in every blend mode.
#include <algorithm>
#include <cstring>

#include "core/math/rect_clip.h"
#include "softraster/flat_color_ops.h"
#include "softraster/row_copy.h"
#include "softraster/shapes.h"
#include "softraster/simd_pixels.h"
#include "softraster/wide_vector_rows.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// Copy rows: 32-bit colours stored whole, R5G6B5 colours doubled into words
// (two pixels a word, a last 16-bit store for an odd width), 16 bytes a store.
void FillRowsCopy(int kind, uint8_t *start, int pitch, int width, int height, uint32_t color)
{
    const uint32_t word = kind == 1 ? color : (color & 0xFFFF) | (color << 16);
    const size_t words = static_cast<size_t>(kind == 1 ? width : width / 2);
    const bool oddPixel = kind != 1 && (width & 1) != 0;
    for (int y = 0; y < height; ++y) {
        uint8_t *row = start + static_cast<ptrdiff_t>(y) * pitch;
        FillRowWords32<false>(row, word, words);
        if (oddPixel)
            StorePixel16(row + 4 * words, color);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Fill a rectangle (corners in any order; null = the whole view) with one colour.
void FillBlendRectMemImg(MEMIMG *destination, const RECT *rect, int32_t color)
{
    if (destination == nullptr || destination->body == nullptr || destination->pixels == nullptr)
        return;
    const MemImgBody *body = destination->body;
    if (body->hasPalette == 1 || body->hasAlpha == 1)
        return;

    RECT area;
    if (rect != nullptr) {
        area.left = std::min(rect->left, rect->right);
        area.right = std::max(rect->left, rect->right);
        area.top = std::min(rect->top, rect->bottom);
        area.bottom = std::max(rect->top, rect->bottom);
    } else {
        area = RECT{0, 0, destination->width, destination->height};
    }
    // The clip is cut to the view first, so nothing outside the image is written.
    const RECT clip = ClipRectWithinView(destination);
    ClipRectToRect(&area, &clip);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;

    const int kind = body->pixelKind;
    if (kind != 0 && kind != 1)
        return;
    const int bytesPerPixel = kind == 1 ? 4 : 2;
    const int pitch = body->pitch;
    uint8_t *start = destination->pixels + static_cast<ptrdiff_t>(area.top) * pitch +
                     static_cast<ptrdiff_t>(area.left) * bytesPerPixel;

    const FlatColorOperation operation = SelectFlatColorOperation(MemImgState.blendMode, CurrentShapeBlendParam());
    if (operation == FLAT_OP_NONE)
        return;
    InvalidateMemImgDerivedData(destination);
    FlatColorOp op;
    PrepareFlatColorShifted(&op, kind, static_cast<uint32_t>(color));
#if KORVO_WIDE_VECTOR_FORMS
    if (kind == 1 && operation == FLAT_OP_ADD && CurrentMemImgVectorForm() == MEMIMG_VECTOR_AVX2) {
        // Additive fills are drawn every frame; eight pixels a step keep up with memory.
        uint8_t *row = start;
        for (int y = 0; y < height; ++y, row += pitch)
            PackedAddRow32Avx2(row, width, op.addend);
        return;
    }
#endif
#if KORVO_SHAPES_SSE2
    if (kind == 1 && operation != FLAT_OP_COPY) {
        // 32-bit rows four pixels at a time (the copy's row copying is faster still).
        DispatchFlatColor(kind, operation, [&]<int Kind, int Op>() {
            if constexpr (Kind == 1) {
                const FlatColorOp local = op;
                const FlatColor4 wide = WidenFlatColor32(local, Op);
                uint8_t *row = start;
                for (int y = 0; y < height; ++y, row += pitch)
                    ApplyFlatColorRow32<Op>(local, wide, row, width);
            }
        });
        return;
    }
    if (kind == 0 && operation == FLAT_OP_ALPHA) {
        uint8_t *row = start;
        for (int y = 0; y < height; ++y, row += pitch)
            FlatAlphaRow16(op, row, width);
        return;
    }
#endif
    if (operation == FLAT_OP_COPY) {
        FillRowsCopy(kind, start, pitch, width, height, op.color);
        return;
    }
    DispatchFlatColor(kind, operation, [&]<int Kind, int Op>() {
        const FlatColorOp local = op;   // not reachable through the pixel stores
        uint8_t *row = start;
        for (int y = 0; y < height; ++y, row += pitch) {
            uint8_t *p = row;
            for (int x = 0; x < width; ++x, p += Kind == 1 ? 4 : 2)
                ApplyFlatColor<Kind, Op>(local, p);
        }
    });
}

}  // namespace Korvo
