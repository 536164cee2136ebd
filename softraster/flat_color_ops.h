// Flat-colour pixel operations of every blend mode, shared by the triangle,
// rectangle, line and circle routines.
//
// The colour is prepared once per shape (bright colour applied, table rows and
// the packed-add addend chosen); ApplyFlatColor then rewrites one pixel.
#pragma once

#include <cstdint>

#include "core/korvo_types.h"
#include "softraster/draw_state.h"
#include "softraster/packed_add_sub.h"
#include "softraster/pixel_channels.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Per-pixel operation selected from the blend mode and parameter.
enum FlatColorOperation {
    FLAT_OP_NONE = -1,        // the mode draws nothing
    FLAT_OP_COPY = 0,
    FLAT_OP_ALPHA,
    FLAT_OP_ADD,
    FLAT_OP_SUBTRACT,
    FLAT_OP_MULTIPLY,
    FLAT_OP_INVERT,
    FLAT_OP_MULTIPLY_WEIGHTED,
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct FlatColorOp {
    uint32_t color;           // prepared colour word (stored whole by the copy)
    int channel[3];           // prepared channels: blue, green, red
    int param;                // blend parameter
    const int *signedRow;     // signed lerp row of the parameter, from its d = 0 entry
    uint32_t addend;          // scaled colour for the packed add and subtract
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The blend parameter of MemImgState, held to the table range 0..255.
inline int CurrentShapeBlendParam()
{
    const int param = MemImgState.blendParam;
    return param < 0 ? 0 : (param > 255 ? 255 : param);
}

// Operation for a blend mode and parameter: alpha at 255 is the copy; alpha,
// add and subtract at 0, modes 5-9 and above 11 (negative too) draw nothing.
FlatColorOperation SelectFlatColorOperation(int mode, int param);

// Prepare a colour with the bright colour as rectangles, lines and circles do:
// each channel times the bright channel, shifted right by 8.
void PrepareFlatColorShifted(FlatColorOp *op, int kind, uint32_t color);

// Prepare a colour with the bright colour as the flat triangle does: each
// channel through the scale-table row of its bright channel.
void PrepareFlatColorScaled(FlatColorOp *op, int kind, uint32_t color);

// Rewrite one pixel of a kind with an operation.
template <int Kind, int Op>
inline void ApplyFlatColor(const FlatColorOp &op, uint8_t *pixel)
{
    if constexpr (Op == FLAT_OP_COPY) {
        if constexpr (Kind == 1)
            StorePixel32(pixel, op.color);
        else
            StorePixel16(pixel, op.color);
    } else if constexpr (Op == FLAT_OP_ADD) {
        if constexpr (Kind == 1)
            StorePixel32(pixel, PackedAddPixel32(LoadPixel32(pixel), op.addend));
        else
            StorePixel16(pixel, PackedAddPixel16(LoadPixel16(pixel), op.addend));
    } else if constexpr (Op == FLAT_OP_SUBTRACT) {
        if constexpr (Kind == 1)
            StorePixel32(pixel, PackedSubtractPixel32(LoadPixel32(pixel), op.addend));
        else
            StorePixel16(pixel, PackedSubtractPixel16(LoadPixel16(pixel), op.addend));
    } else if constexpr (Kind == 1 && Op == FLAT_OP_ALPHA) {
        StorePixel32(pixel, LerpPixel32(LoadPixel32(pixel), op.color, static_cast<uint32_t>(op.param)));
    } else if constexpr (Kind == 1 && Op == FLAT_OP_INVERT) {
        StorePixel32(pixel, LerpPixel32(LoadPixel32(pixel), ~op.color, static_cast<uint32_t>(op.param)));
    } else {
        RewriteChannels<Kind>(pixel, [&op](int d, int i) {
            const int c = op.channel[i];
            int target = c;
            if constexpr (Op == FLAT_OP_MULTIPLY)
                return (d * c) >> ChannelWidth(Kind, i);
            if constexpr (Op == FLAT_OP_INVERT)
                target = ChannelMax(Kind, i) - c;
            if constexpr (Op == FLAT_OP_MULTIPLY_WEIGHTED)
                target = (d * c) >> ChannelWidth(Kind, i);
            // 32-bit weights with p / 256 rounding down; R5G6B5 takes the
            // truncated (target - d) * p / 255 from the signed table.
            if constexpr (Kind == 1)
                return (d * 256 + (target - d) * op.param) >> 8;
            else
                return d + op.signedRow[target - d];
        });
    }
}

// Call f.template operator()<Kind, Op>() for a runtime kind (0 or 1) and operation.
template <class F>
inline void DispatchFlatColor(int kind, FlatColorOperation operation, F &&f)
{
    auto byOperation = [&]<int Kind>() {
        switch (operation) {
        case FLAT_OP_COPY: f.template operator()<Kind, FLAT_OP_COPY>(); break;
        case FLAT_OP_ALPHA: f.template operator()<Kind, FLAT_OP_ALPHA>(); break;
        case FLAT_OP_ADD: f.template operator()<Kind, FLAT_OP_ADD>(); break;
        case FLAT_OP_SUBTRACT: f.template operator()<Kind, FLAT_OP_SUBTRACT>(); break;
        case FLAT_OP_MULTIPLY: f.template operator()<Kind, FLAT_OP_MULTIPLY>(); break;
        case FLAT_OP_INVERT: f.template operator()<Kind, FLAT_OP_INVERT>(); break;
        case FLAT_OP_MULTIPLY_WEIGHTED: f.template operator()<Kind, FLAT_OP_MULTIPLY_WEIGHTED>(); break;
        default: break;
        }
    };
    if (kind == 1)
        byOperation.template operator()<1>();
    else if (kind == 0)
        byOperation.template operator()<0>();
}

// 1 when a destination can take flat-colour shapes: a live body of kind 0 or 1
// without palette and without alpha.
int IsPlainColorDestination(const MEMIMG *destination);

}  // namespace Korvo
