// Internal helpers shared by the MEMIMG routines and the blit loops.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/korvo_types.h"
#include "core/math/rect_clip.h"
#include "softraster/memimg.h"

namespace Korvo {

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
