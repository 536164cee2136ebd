// Triangle set-up and scan conversion in 14.18 fixed point.
//
// Positions refer to pixel centres (half a pixel added), whole parts round
// toward zero, texture gradients come from the vertices ordered by x with the
// leftmost as reference point, and the edges from the vertices ordered by y.
// Rows are walked top to bottom; each clipped span goes to the loop chosen
// once for the triangle's variant.
#include <cstdlib>

#include "core/math/float_math.h"
#include "softraster/shapes.h"
#include "softraster/triangle_span.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

namespace {

constexpr int32_t kFixedOne = 262144;      // one pixel or texel in 14.18
constexpr int32_t kFixedHalf = 131072;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One edge segment; 64-bit X so that edges across the whole coordinate range
// cannot overflow.
struct EdgeSegment {
    int64_t startX;
    int rowCount;
    int64_t slope;
};

struct EdgeChain {
    EdgeSegment segment[2];
    int segmentCount;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Whole part of a 14.18 value, rounding toward zero.
inline int WholePart(int64_t value) { return static_cast<int>(value / kFixedOne); }

// Exchange sort of the vertex numbers by a key; equal keys never swap.
void SortVertexOrder(const int32_t key[3], int order[3])
{
    order[0] = 0;
    order[1] = 1;
    order[2] = 2;
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (key[order[i]] > key[order[j]]) {
                const int swap = order[i];
                order[i] = order[j];
                order[j] = swap;
            }
}

// Segment from (startX, startY) to (endX, endY), all 14.18.
EdgeSegment MakeSegment(int64_t startX, int32_t startY, int64_t endX, int32_t endY)
{
    EdgeSegment s;
    s.startX = startX;
    s.rowCount = WholePart(static_cast<int64_t>(endY) - startY);
    s.slope = s.rowCount != 0 ? (endX - startX) / s.rowCount : 0;
    return s;
}

// 1 when every coordinate fits the 14.18 set-up.
int VerticesInRange(const MemImgTriangleVertex *v, bool textured)
{
    for (int i = 0; i < 3; ++i) {
        if (v[i].x < MEMIMG_TRIANGLE_COORD_MIN || v[i].x > MEMIMG_TRIANGLE_COORD_MAX ||
            v[i].y < MEMIMG_TRIANGLE_COORD_MIN || v[i].y > MEMIMG_TRIANGLE_COORD_MAX)
            return 0;
        if (textured && (v[i].u < MEMIMG_TRIANGLE_COORD_MIN || v[i].u > MEMIMG_TRIANGLE_COORD_MAX ||
                         v[i].v < MEMIMG_TRIANGLE_COORD_MIN || v[i].v > MEMIMG_TRIANGLE_COORD_MAX))
            return 0;
    }
    return 1;
}

// Span loop of a flat triangle for a kind and operation.
template <int Kind, int Op>
void FlatTriangleSpan(const TriangleContext &ctx, uint8_t *pixel, int count, uint32_t, uint32_t)
{
#if KORVO_SHAPES_SSE2
    if constexpr (Kind == 1) {
        const FlatColorOp local = ctx.flat;
        ApplyFlatColorRow32<Op>(local, WidenFlatColor32(local, Op), pixel, count);
        return;
    }
#endif
    for (; count > 0; --count, pixel += Kind == 1 ? 4 : 2)
        ApplyFlatColor<Kind, Op>(ctx.flat, pixel);
}

// Flat span loop for a kind and operation, or null when nothing is drawn.
TriangleSpanFn SelectFlatTriangleSpan(int kind, FlatColorOperation operation)
{
    TriangleSpanFn chosen = nullptr;
    DispatchFlatColor(kind, operation, [&]<int Kind, int Op>() { chosen = &FlatTriangleSpan<Kind, Op>; });
    return chosen;
}

// Textured span loop for the blend mode, or null when the mode draws nothing.
TriangleSpanFn SelectTexturedTriangleSpan(const TriangleVariant &variant, int mode, int param)
{
    switch (static_cast<unsigned>(mode)) {
    case MEMIMG_BLEND_COPY: return SelectCopyTriangleSpan(variant);
    case MEMIMG_BLEND_ALPHA:
        if (param == 0)
            return nullptr;
        return param == 255 ? SelectCopyTriangleSpan(variant) : SelectAlphaTriangleSpan(variant);
    case MEMIMG_BLEND_ADD: return param == 0 ? nullptr : SelectAddTriangleSpan(variant);
    case MEMIMG_BLEND_SUBTRACT:
        // A paletted source is drawn even at parameter 0 (each pixel rewritten with a zero source).
        return param == 0 && !variant.paletted ? nullptr : SelectSubtractTriangleSpan(variant);
    case MEMIMG_BLEND_MULTIPLY: return SelectMultiplyTriangleSpan(variant);
    case MEMIMG_BLEND_INVERT: return SelectInvertTriangleSpan(variant);
    case MEMIMG_BLEND_MULTIPLY_WEIGHTED: return SelectWeightedMultiplyTriangleSpan(variant);
    default: return nullptr;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a triangle textured from source (null: filled with color).
void RasterTriangleMemImg(MEMIMG *destination, const MEMIMG *source, const MemImgTriangleVertex *vertices,
                          int transparentFlag, const MEMIMG *blendImage, uint32_t color)
{
    if (destination == nullptr || destination->body == nullptr || destination->pixels == nullptr ||
        vertices == nullptr)
        return;
    const MemImgBody *dstBody = destination->body;
    const bool textured = source != nullptr;
    if (textured && (source->body == nullptr || source->pixels == nullptr ||
                     source->body->pixelKind != dstBody->pixelKind))
        return;
    if (dstBody->hasPalette == 1 || dstBody->hasAlpha == 1)
        return;
    // The blend image is read at the source's texel coordinates: it must cover the source.
    if (textured && blendImage != nullptr &&
        (blendImage->body == nullptr || blendImage->pixels == nullptr || blendImage->width < source->width ||
         blendImage->height < source->height))
        return;
    if (!VerticesInRange(vertices, textured))
        return;

    // Fixed point; a flat triangle's u and v feed only the unused gradients.
    int32_t fx[3], fy[3], fu[3], fv[3];
    for (int i = 0; i < 3; ++i) {
        fx[i] = vertices[i].x * kFixedOne + kFixedHalf;
        fy[i] = vertices[i].y * kFixedOne + kFixedHalf;
        fu[i] = textured ? vertices[i].u * kFixedOne : 0;
        fv[i] = textured ? vertices[i].v * kFixedOne : 0;
    }
    int byX[3], byY[3];
    SortVertexOrder(fx, byX);
    SortVertexOrder(fy, byY);

    // Texture gradients from the x order, on whole-part differences.
    const int a0 = byX[0], a1 = byX[1], a2 = byX[2];
    const int dx1 = WholePart(static_cast<int64_t>(fx[a1]) - fx[a0]);
    const int dy1 = WholePart(static_cast<int64_t>(fy[a1]) - fy[a0]);
    const int du1 = WholePart(static_cast<int64_t>(fu[a1]) - fu[a0]);
    const int dv1 = WholePart(static_cast<int64_t>(fv[a1]) - fv[a0]);
    const int dx2 = WholePart(static_cast<int64_t>(fx[a2]) - fx[a0]);
    const int dy2 = WholePart(static_cast<int64_t>(fy[a2]) - fy[a0]);
    const int du2 = WholePart(static_cast<int64_t>(fu[a2]) - fu[a0]);
    const int dv2 = WholePart(static_cast<int64_t>(fv[a2]) - fv[a0]);
    const int determinant = dy1 * dx2 - dy2 * dx1;
    if (determinant == 0)
        return;
    const double det = determinant;
    const int32_t uStepColumn = TruncateDoubleToInt((dy1 * du2 - dy2 * du1) * 262144.0 / det);
    const int32_t uStepRow = TruncateDoubleToInt((dx2 * du1 - dx1 * du2) * 262144.0 / det);
    const int32_t vStepColumn = TruncateDoubleToInt((dy1 * dv2 - dy2 * dv1) * 262144.0 / det);
    const int32_t vStepRow = TruncateDoubleToInt((dx2 * dv1 - dx1 * dv2) * 262144.0 / det);
    const int referenceColumn = WholePart(fx[a0]);
    const int referenceRow = WholePart(fy[a0]);
    const uint32_t referenceU = static_cast<uint32_t>(fu[a0]);
    const uint32_t referenceV = static_cast<uint32_t>(fv[a0]);

    // Edge chains from the y order.
    const int b0 = byY[0], b1 = byY[1], b2 = byY[2];
    EdgeChain left{}, right{};
    if (fy[b0] == fy[b1]) {
        const int l = fx[b1] < fx[b0] ? b1 : b0;
        const int r = l == b0 ? b1 : b0;
        left.segment[0] = MakeSegment(fx[l], fy[l], fx[b2], fy[b2]);
        right.segment[0] = MakeSegment(fx[r], fy[r], fx[b2], fy[b2]);
        left.segmentCount = right.segmentCount = 1;
    } else if (fy[b1] == fy[b2]) {
        const int l = fx[b2] < fx[b1] ? b2 : b1;
        const int r = l == b1 ? b2 : b1;
        left.segment[0] = MakeSegment(fx[b0], fy[b0], fx[l], fy[l]);
        right.segment[0] = MakeSegment(fx[b0], fy[b0], fx[r], fy[r]);
        left.segmentCount = right.segmentCount = 1;
    } else {
        const double unit = 3.814697265625e-06;
        const double s1 = static_cast<double>(static_cast<int64_t>(fx[b1]) - fx[b0]) /
                          (static_cast<double>(static_cast<int64_t>(fy[b1]) - fy[b0]) * unit);
        const double s2 = static_cast<double>(static_cast<int64_t>(fx[b2]) - fx[b0]) /
                          (static_cast<double>(static_cast<int64_t>(fy[b2]) - fy[b0]) * unit);
        EdgeChain shortChain{};
        EdgeChain longChain{};
        longChain.segment[0] = MakeSegment(fx[b0], fy[b0], fx[b2], fy[b2]);
        longChain.segmentCount = 1;
        shortChain.segment[0] = MakeSegment(fx[b0], fy[b0], fx[b1], fy[b1]);
        shortChain.segmentCount = 2;
        if (s1 < s2) {
            shortChain.segment[1] = MakeSegment(fx[b1], fy[b1], fx[b2], fy[b2]);
            left = shortChain;
            right = longChain;
        } else {
            // On the right the middle vertex's segment starts one unit to its right.
            shortChain.segment[1] = MakeSegment(static_cast<int64_t>(fx[b1]) + 1, fy[b1], fx[b2], fy[b2]);
            left = longChain;
            right = shortChain;
        }
    }

    const int kind = dstBody->pixelKind;
    if (kind != 0 && kind != 1)
        return;

    // Variant and span loop, fixed for the whole triangle.
    const int mode = MemImgState.blendMode;
    const int param = CurrentShapeBlendParam();
    const uint32_t bright = MemImgState.brightColor;
    TriangleContext ctx{};
    ctx.param = param;
    ctx.paramScale = MemImgProductTable[param];
    ctx.paramSigned = MemImgSignedLerpRow(param);
    ctx.brightRow[0] = MemImgProductTable[bright & 0xFF];
    ctx.brightRow[1] = MemImgProductTable[(bright >> 8) & 0xFF];
    ctx.brightRow[2] = MemImgProductTable[(bright >> 16) & 0xFF];
    ctx.uStepColumn = static_cast<uint32_t>(uStepColumn);
    ctx.vStepColumn = static_cast<uint32_t>(vStepColumn);
    TriangleSpanFn span = nullptr;
    if (textured) {
        const MemImgBody *srcBody = source->body;
        TriangleVariant variant;
        variant.kind = kind;
        variant.paletted = srcBody->hasPalette == 1;
        variant.blend = blendImage != nullptr;
        variant.bright = (bright & 0xFFFFFF) != MEMIMG_BRIGHT_NONE;
        variant.alpha = srcBody->hasAlpha == 1;
        variant.key = transparentFlag != 0;
        if (variant.paletted && srcBody->paletteBlock == nullptr)
            return;
        ctx.source = source->pixels;
        ctx.sourcePitch = srcBody->pitch;
        ctx.palette = srcBody->paletteBlock;
        ctx.transparentColor = srcBody->transparentColor;
        ctx.sourceWidthFixed = static_cast<uint32_t>(source->width) * kFixedOne;
        ctx.sourceHeightFixed = static_cast<uint32_t>(source->height) * kFixedOne;
        if (blendImage != nullptr) {
            ctx.blend = blendImage->pixels;
            ctx.blendPitch = blendImage->body->pitch;
        }
        span = SelectTexturedTriangleSpan(variant, mode, param);
    } else {
        PrepareFlatColorScaled(&ctx.flat, kind, color);
        span = SelectFlatTriangleSpan(kind, SelectFlatColorOperation(mode, param));
    }
    if (span == nullptr)
        return;

    // Row loop; the clip is cut to the view so no span leaves the image.
    const RECT clip = ClipRectWithinView(destination);
    const int pixelSize = kind == 1 ? 4 : 2;
    const ptrdiff_t pitch = dstBody->pitch;
    int leftSegment = 0, rightSegment = 0;
    int64_t leftX = left.segment[0].startX, rightX = right.segment[0].startX;
    int64_t leftSlope = left.segment[0].slope, rightSlope = right.segment[0].slope;
    int leftRows = left.segment[0].rowCount, rightRows = right.segment[0].rowCount;
    // The lower part of a left turn starts at the middle vertex's row; the upper
    // part ends right above it. Rounding toward zero puts a top above row 0 one
    // row low, so the first row is counted back from the turn: no row is drawn twice.
    int row = WholePart(fy[b0]);
    if (left.segmentCount == 2)
        row = WholePart(fy[b1]) - left.segment[0].rowCount;
    bool drawn = false;
    for (int rowsLeft = WholePart(static_cast<int64_t>(fy[b2]) - fy[b0]); rowsLeft > 0; --rowsLeft) {
        int first = WholePart(leftX);
        const int last = WholePart(rightX);
        if (first < clip.left)
            first = clip.left;
        const int count = last - first + 1;
        if (row >= clip.top && row < clip.bottom && first < clip.right && count > 0) {
            if (!drawn) {
                // The pixels change: keyed draws from this image must not use its old runs.
                InvalidateMemImgDerivedData(destination);
                drawn = true;
            }
            const int pixels = count < clip.right - first ? count : clip.right - first;
            const uint32_t rowOffset = static_cast<uint32_t>(row - referenceRow);
            const uint32_t columnOffset = static_cast<uint32_t>(first - referenceColumn);
            const uint32_t u = referenceU + rowOffset * static_cast<uint32_t>(uStepRow) +
                               columnOffset * static_cast<uint32_t>(uStepColumn);
            const uint32_t v = referenceV + rowOffset * static_cast<uint32_t>(vStepRow) +
                               columnOffset * static_cast<uint32_t>(vStepColumn);
            span(ctx, destination->pixels + row * pitch + static_cast<ptrdiff_t>(first) * pixelSize, pixels, u, v);
        }
        leftX += leftSlope;
        rightX += rightSlope;
        ++row;
        --leftRows;
        --rightRows;
        if (leftRows <= 0) {
            if (++leftSegment >= left.segmentCount)
                break;
            const EdgeSegment &s = left.segment[leftSegment];
            leftX = s.startX;
            leftSlope = s.slope;
            leftRows = s.rowCount;
        }
        if (rightRows <= 0) {
            if (++rightSegment >= right.segmentCount)
                break;
            const EdgeSegment &s = right.segment[rightSegment];
            rightX = s.startX;
            rightSlope = s.slope;
            rightRows = s.rowCount;
        }
    }
}

}  // namespace Korvo
