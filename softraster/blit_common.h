// Internal helpers shared by the MEMIMG routines and the blit loops.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/korvo_types.h"
#include "softraster/memimg.h"

namespace Korvo {

// Clip rect into bounds in place; a rectangle outside collapses onto the nearest edge.
inline void ClipMemImgRect(RECT *rect, const RECT &bounds)
{
    if (rect->right < rect->left)
        rect->right = rect->left;
    if (rect->bottom < rect->top)
        rect->bottom = rect->top;
    if (rect->bottom > bounds.bottom)
        rect->bottom = bounds.bottom;
    else if (rect->bottom < bounds.top)
        rect->bottom = bounds.top;
    if (rect->top > bounds.bottom)
        rect->top = bounds.bottom;
    else if (rect->top < bounds.top)
        rect->top = bounds.top;
    if (rect->right > bounds.right)
        rect->right = bounds.right;
    else if (rect->right < bounds.left)
        rect->right = bounds.left;
    if (rect->left > bounds.right)
        rect->left = bounds.right;
    else if (rect->left < bounds.left)
        rect->left = bounds.left;
}

// Unaligned loads and stores of pixel words.
inline uint32_t LoadU32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint16_t LoadU16(const uint8_t *p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StoreU32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void StoreU16(uint8_t *p, uint16_t v) { std::memcpy(p, &v, 2); }

}  // namespace Korvo
