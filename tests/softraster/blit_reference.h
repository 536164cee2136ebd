// Scalar reference of the blit pixel rules, written straight from the formulas
// (no lookup tables, one pixel at a time) for comparison with the real loops.
#pragma once

#include <cstdint>
#include <vector>

#include "softraster/memimg.h"

namespace RefBlit {

enum class Path { Plain, Runs, Stretch };

// Everything that decides one draw.
struct Settings {
    int mode;
    int p;
    uint32_t bright;      // 0x00RRGGBB
    bool mmx;
    int transparentFlag;
    RECT clip;
};

// Expected destination after a plain blit (pixels of the destination view,
// row by row, pitch-free: width * bytes per pixel per row).
std::vector<uint8_t> PlainBlit(const Korvo::MEMIMG &dst, const Korvo::MEMIMG &src, int x, int y,
                               const Korvo::MEMIMG *blend, const Settings &s);

// Expected destination after a stretched blit into rect {x1, y1, x2, y2}.
std::vector<uint8_t> StretchBlit(const Korvo::MEMIMG &dst, const Korvo::MEMIMG &src, const int *rect,
                                 const Korvo::MEMIMG *blend, const Settings &s);

// Border and range of the blend-image weights (as given to BuildMemImgBlendImageTable).
void SetThresholdShape(int border, int range);

// The destination view's pixels, pitch removed.
std::vector<uint8_t> ViewBytes(const Korvo::MEMIMG &image);

}  // namespace RefBlit
