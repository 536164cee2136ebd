// Colour preparation and operation choice for the flat-colour shapes.
#include "softraster/flat_color_ops.h"

#include <algorithm>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// Fill the parameter-dependent fields and the add/subtract addend.
void FinishFlatColorOp(FlatColorOp *op, int kind)
{
    const int param = CurrentShapeBlendParam();
    op->param = param;
    op->signedRow = MemImgSignedLerpRow(param);
    const int *scale = MemImgProductTable[param];
    const int blue = scale[op->channel[0]];
    const int green = scale[op->channel[1]];
    const int red = scale[op->channel[2]];
    op->addend = kind == 1 ? JoinChannels<1>(blue, green, red) : JoinChannels<0>(blue, green, red);
}

// Split a colour of a kind into its channels; R5G6B5 keeps its low 16 bits only.
void SplitFlatColor(FlatColorOp *op, int kind, uint32_t color)
{
    if (kind == 1)
        SplitChannels<1>(color, op->channel);
    else
        SplitChannels<0>(color & 0xFFFF, op->channel);
}

// Join prepared channels back into the colour word; a 32-bit colour keeps its top byte.
void JoinFlatColor(FlatColorOp *op, int kind, uint32_t color)
{
    if (kind == 1)
        op->color = (color & 0xFF000000u) | JoinChannels<1>(op->channel[0], op->channel[1], op->channel[2]);
    else
        op->color = JoinChannels<0>(op->channel[0], op->channel[1], op->channel[2]);
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Operation for a blend mode and parameter.
FlatColorOperation SelectFlatColorOperation(int mode, int param)
{
    switch (static_cast<unsigned>(mode)) {
    case MEMIMG_BLEND_COPY: return FLAT_OP_COPY;
    case MEMIMG_BLEND_ALPHA:
        if (param == 0)
            return FLAT_OP_NONE;
        return param == 255 ? FLAT_OP_COPY : FLAT_OP_ALPHA;
    case MEMIMG_BLEND_ADD: return param == 0 ? FLAT_OP_NONE : FLAT_OP_ADD;
    case MEMIMG_BLEND_SUBTRACT: return param == 0 ? FLAT_OP_NONE : FLAT_OP_SUBTRACT;
    case MEMIMG_BLEND_MULTIPLY: return FLAT_OP_MULTIPLY;
    case MEMIMG_BLEND_INVERT: return FLAT_OP_INVERT;
    case MEMIMG_BLEND_MULTIPLY_WEIGHTED: return FLAT_OP_MULTIPLY_WEIGHTED;
    default: return FLAT_OP_NONE;
    }
}

// Prepare a colour for rectangles, lines and circles.
void PrepareFlatColorShifted(FlatColorOp *op, int kind, uint32_t color)
{
    SplitFlatColor(op, kind, color);
    const uint32_t bright = MemImgState.brightColor;
    if ((bright & 0xFFFFFF) != MEMIMG_BRIGHT_NONE) {
        op->channel[0] = (op->channel[0] * static_cast<int>(bright & 0xFF)) >> 8;
        op->channel[1] = (op->channel[1] * static_cast<int>((bright >> 8) & 0xFF)) >> 8;
        op->channel[2] = (op->channel[2] * static_cast<int>((bright >> 16) & 0xFF)) >> 8;
    }
    JoinFlatColor(op, kind, color);
    FinishFlatColorOp(op, kind);
}

// Prepare a colour for the flat triangle (runs whatever the bright colour).
void PrepareFlatColorScaled(FlatColorOp *op, int kind, uint32_t color)
{
    SplitFlatColor(op, kind, color);
    const uint32_t bright = MemImgState.brightColor;
    op->channel[0] = MemImgProductTable[bright & 0xFF][op->channel[0]];
    op->channel[1] = MemImgProductTable[(bright >> 8) & 0xFF][op->channel[1]];
    op->channel[2] = MemImgProductTable[(bright >> 16) & 0xFF][op->channel[2]];
    JoinFlatColor(op, kind, color);
    FinishFlatColorOp(op, kind);
}

// 1 when a destination can take flat-colour shapes.
int IsPlainColorDestination(const MEMIMG *destination)
{
    if (destination == nullptr || destination->body == nullptr || destination->pixels == nullptr)
        return 0;
    const MemImgBody *body = destination->body;
    if (body->hasPalette == 1 || body->hasAlpha == 1)
        return 0;
    return body->pixelKind == 0 || body->pixelKind == 1 ? 1 : 0;
}

}  // namespace Korvo
