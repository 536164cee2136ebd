// Circles of one flat colour, outlined or filled, in every blend mode.
//
// Both forms walk the same integer midpoint circle. The outline plots its
// symmetric points one by one (points on the diagonal are blended twice); the
// filled form draws row spans and keeps one flag per row so that each row of
// the disc is blended exactly once.
#include <algorithm>
#include <cstdint>

#include "core/memory/tracked_alloc.h"
#include "softraster/flat_color_ops.h"
#include "softraster/shapes.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

// Inclusive clip bounds and the destination's addressing for one call.
struct CircleTarget {
    int64_t left, top, right, bottom;   // inclusive
    uint8_t *pixels;
    ptrdiff_t pitch;
    uint8_t *rowDrawn;                  // filled form: one flag per row from 0
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Plot one outline point when it lies inside the clip.
template <int Kind, int Op>
inline void PlotCirclePoint(const CircleTarget &t, const FlatColorOp &op, int64_t x, int64_t y)
{
    if (x < t.left || x > t.right || y < t.top || y > t.bottom)
        return;
    ApplyFlatColor<Kind, Op>(op, t.pixels + static_cast<ptrdiff_t>(y) * t.pitch +
                                     static_cast<ptrdiff_t>(x) * (Kind == 1 ? 4 : 2));
}

// Blend the pixels first..last of row y (all inside the clip).
template <int Kind, int Op>
inline void DrawCircleRow(const CircleTarget &t, const FlatColorOp &op, int64_t y, int64_t first, int64_t last)
{
    uint8_t *p = t.pixels + static_cast<ptrdiff_t>(y) * t.pitch + static_cast<ptrdiff_t>(first) * (Kind == 1 ? 4 : 2);
    for (int64_t x = first; x <= last; ++x, p += Kind == 1 ? 4 : 2)
        ApplyFlatColor<Kind, Op>(op, p);
}

// Draw the span xa..xb of row y once per call (the row flag remembers it).
template <int Kind, int Op>
inline void DrawCircleSpan(const CircleTarget &t, const FlatColorOp &op, int64_t y, int64_t xa, int64_t xb)
{
    if (y < t.top || y > t.bottom || xb < t.left || xa > t.right || t.rowDrawn[y])
        return;
    t.rowDrawn[y] = 1;
    DrawCircleRow<Kind, Op>(t, op, y, std::max(xa, t.left), std::min(xb, t.right));
}

// The midpoint walk; 64-bit so that any int32 centre and radius are safe.
template <int Kind, int Op>
void WalkCircle(const CircleTarget &t, const FlatColorOp &op, int64_t cx, int64_t cy, int64_t r, bool filled)
{
    int64_t x = 0;
    int64_t y = r;
    int64_t d = 3 - 2 * r;
    for (;;) {
        if (filled) {
            DrawCircleSpan<Kind, Op>(t, op, cy + x, cx - y, cx + y);
            DrawCircleSpan<Kind, Op>(t, op, cy - x, cx - y, cx + y);
            if (d >= 0) {
                DrawCircleSpan<Kind, Op>(t, op, cy + y, cx - x, cx + x);
                DrawCircleSpan<Kind, Op>(t, op, cy - y, cx - x, cx + x);
            }
        } else if (x == 0) {
            PlotCirclePoint<Kind, Op>(t, op, cx - r, cy);
            PlotCirclePoint<Kind, Op>(t, op, cx + r, cy);
            PlotCirclePoint<Kind, Op>(t, op, cx, cy + r);
            PlotCirclePoint<Kind, Op>(t, op, cx, cy - r);
        } else {
            PlotCirclePoint<Kind, Op>(t, op, cx - y, cy + x);
            PlotCirclePoint<Kind, Op>(t, op, cx + y, cy + x);
            PlotCirclePoint<Kind, Op>(t, op, cx - y, cy - x);
            PlotCirclePoint<Kind, Op>(t, op, cx + y, cy - x);
            PlotCirclePoint<Kind, Op>(t, op, cx - x, cy + y);
            PlotCirclePoint<Kind, Op>(t, op, cx + x, cy + y);
            PlotCirclePoint<Kind, Op>(t, op, cx - x, cy - y);
            PlotCirclePoint<Kind, Op>(t, op, cx + x, cy - y);
        }
        if (d < 0) {
            d += 4 * x + 6;
        } else {
            d += 4 * (x - y) + 10;
            --y;
        }
        ++x;
        if (y < x)
            break;
    }
}

// 1 when every clip pixel lies well inside the circle, where no outline point
// can fall (every outline point is at least r - 1 from the centre).
int ClipInsideCircle(const CircleTarget &t, int64_t cx, int64_t cy, int64_t r)
{
    if (r < 3)
        return 0;
    const double dxMax = static_cast<double>(std::max(cx - t.left, t.right - cx));
    const double dyMax = static_cast<double>(std::max(cy - t.top, t.bottom - cy));
    const double inner = static_cast<double>(r - 2);
    return dxMax * dxMax + dyMax * dyMax < inner * inner ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a circle outline (fill 0) or a filled disc (fill non-zero).
void RasterCircleMemImg(MEMIMG *destination, int32_t cx, int32_t cy, int32_t r, int32_t color, int32_t fill)
{
    // Paletted and alpha images are refused as the rectangle does; a negative radius draws nothing.
    if (!IsPlainColorDestination(destination) || r < 0)
        return;
    const RECT clip = ClipRectWithinView(destination);
    if (clip.right <= clip.left || clip.bottom <= clip.top)
        return;
    const MemImgBody *body = destination->body;
    CircleTarget target{clip.left, clip.top, clip.right - 1, clip.bottom - 1, destination->pixels, body->pitch,
                        nullptr};
    const int64_t x0 = cx, y0 = cy, radius = r;
    // A circle whose box misses the clip draws nothing; skipping it saves a long walk.
    if (x0 - radius > target.right || x0 + radius < target.left || y0 - radius > target.bottom ||
        y0 + radius < target.top)
        return;
    const bool clipInside = ClipInsideCircle(target, x0, y0, radius) != 0;
    if (fill == 0 && clipInside)
        return;

    const FlatColorOperation operation = SelectFlatColorOperation(MemImgState.blendMode, CurrentShapeBlendParam());
    if (operation == FLAT_OP_NONE)
        return;
    const int kind = body->pixelKind;
    FlatColorOp op;
    PrepareFlatColorShifted(&op, kind, static_cast<uint32_t>(color));
    if (fill != 0 && clipInside) {
        InvalidateMemImgDerivedData(destination);
        // Every clip row lies inside the disc, whose row spans all reach past the
        // clip: each clip row is blended once across, without a walk of length r.
        DispatchFlatColor(kind, operation, [&]<int Kind, int Op>() {
            for (int64_t y = target.top; y <= target.bottom; ++y)
                DrawCircleRow<Kind, Op>(target, op, y, target.left, target.right);
        });
        return;
    }
    if (fill != 0) {
        // The clip is cut to the view, so the flags never start below row 0.
        target.rowDrawn = static_cast<uint8_t *>(TrackedAllocZeroed(static_cast<size_t>(clip.bottom), "", 0));
        if (target.rowDrawn == nullptr)
            return;
    }
    InvalidateMemImgDerivedData(destination);
    DispatchFlatColor(kind, operation, [&]<int Kind, int Op>() {
        WalkCircle<Kind, Op>(target, op, x0, y0, radius, fill != 0);
    });
    TrackedFree(target.rowDrawn);
}

}  // namespace Korvo
