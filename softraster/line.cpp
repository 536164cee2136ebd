// One-pixel lines and line lists of one flat colour in every blend mode.
//
// The end points are clipped in floating point against the clip rectangle,
// then clamped so the start lies on a clip pixel and the excluded end at most
// one step beyond an edge; the half-open integer walk then stays inside.
#include <algorithm>
#include <cstdlib>

#include "core/math/float_math.h"
#include "softraster/flat_color_ops.h"
#include "softraster/shapes.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// Walk |major| pixels from the start; the minor axis steps when the error reaches |major|.
template <int Kind, int Op>
void WalkLine(const FlatColorOp &op, uint8_t *pixel, int majorCount, int minorCount, ptrdiff_t majorStep,
              ptrdiff_t minorStep)
{
    int error = 0;
    for (int i = 0; i < majorCount; ++i) {
        ApplyFlatColor<Kind, Op>(op, pixel);
        error += minorCount;
        pixel += majorStep;
        if (error >= majorCount) {
            pixel += minorStep;
            error -= majorCount;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a one-pixel line from (x1, y1) up to but excluding (x2, y2).
void RasterLineMemImg(MEMIMG *destination, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t color)
{
    // Paletted and alpha images hold no plain colour pixels: refused as the rectangle does.
    if (!IsPlainColorDestination(destination))
        return;
    const RECT clip = ClipRectWithinView(destination);
    const int L = clip.left, T = clip.top, R = clip.right, B = clip.bottom;
    // No start pixel can lie in an empty clip.
    if (R <= L || B <= T)
        return;
    if (std::max(x1, x2) < L || std::min(x1, x2) >= R || std::max(y1, y2) < T || std::min(y1, y2) >= B)
        return;

    // Differences in double: the caller's points may be far apart.
    const double dx = static_cast<double>(x2) - x1;
    const double dy = static_cast<double>(y2) - y1;
    const double kx = y1 == y2 ? 0.0 : dx / dy;
    const double ky = x1 == x2 ? 0.0 : dy / dx;
    const double bx = x1 - kx * y1;
    const double by = y1 - ky * x1;

    if (x1 < L) {
        y1 = TruncateDoubleToInt(by + ky * L);
        x1 = L;
    } else if (x1 >= R) {
        y1 = TruncateDoubleToInt(by + ky * (R - 1));
        x1 = R - 1;
    }
    if (x2 < L) {
        y2 = TruncateDoubleToInt(by + ky * (L - 1));
        x2 = L - 1;
    } else if (x2 >= R) {
        y2 = TruncateDoubleToInt(by + ky * R);
        x2 = R;
    }
    if (y1 < T) {
        x1 = TruncateDoubleToInt(bx + kx * T);
        y1 = T;
    } else if (y1 >= B) {
        x1 = TruncateDoubleToInt(bx + kx * (B - 1));
        y1 = B - 1;
    }
    if (y2 < T) {
        x2 = TruncateDoubleToInt(bx + kx * (T - 1));
        y2 = T - 1;
    } else if (y2 >= B) {
        x2 = TruncateDoubleToInt(bx + kx * B);
        y2 = B;
    }
    x1 = std::clamp(x1, L, R - 1);
    y1 = std::clamp(y1, T, B - 1);
    x2 = std::clamp(x2, L - 1, R);
    y2 = std::clamp(y2, T - 1, B);

    const int deltaX = x2 - x1;
    const int deltaY = y2 - y1;
    if (deltaX == 0 && deltaY == 0)
        return;
    const int absX = std::abs(deltaX);
    const int absY = std::abs(deltaY);

    const MemImgBody *body = destination->body;
    const int kind = body->pixelKind;
    const int bytesPerPixel = kind == 1 ? 4 : 2;
    const ptrdiff_t stepX = deltaX < 0 ? -bytesPerPixel : bytesPerPixel;
    const ptrdiff_t stepY = deltaY < 0 ? -static_cast<ptrdiff_t>(body->pitch) : body->pitch;
    uint8_t *start = destination->pixels + static_cast<ptrdiff_t>(y1) * body->pitch +
                     static_cast<ptrdiff_t>(x1) * bytesPerPixel;

    const FlatColorOperation operation = SelectFlatColorOperation(MemImgState.blendMode, CurrentShapeBlendParam());
    if (operation == FLAT_OP_NONE)
        return;
    InvalidateMemImgDerivedData(destination);
    FlatColorOp op;
    PrepareFlatColorShifted(&op, kind, static_cast<uint32_t>(color));
    DispatchFlatColor(kind, operation, [&]<int Kind, int Op>() {
        if (absX >= absY)
            WalkLine<Kind, Op>(op, start, absX, absY, stepX, stepY);
        else
            WalkLine<Kind, Op>(op, start, absY, absX, stepY, stepX);
    });
}

// Draw count lines in array order.
void RasterLineListMemImg(MEMIMG *destination, const MemImgLineRecord *records, int32_t count)
{
    if (records == nullptr)
        return;
    for (int32_t i = 0; i < count; ++i)
        RasterLineMemImg(destination, records[i].x1, records[i].y1, records[i].x2, records[i].y2, records[i].color);
}

}  // namespace Korvo
