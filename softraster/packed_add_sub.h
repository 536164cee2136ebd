// Packed add and subtract: saturating per-channel sums over a whole pixel word.
//
// One integer add or subtract with guard bits between the channels replaces
// three saturating channel operations. Only blue is an exact saturating
// result: the upper channels work on their top bits, and their lowest bit
// carries the operands' low bits and the carry (or no-borrow) of the channel
// below. Those low bits are part of the drawn result and must stay as they are.
#pragma once

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Packed add of s onto a 32-bit pixel (the fourth byte becomes red's overflow).
inline uint32_t PackedAddPixel32(uint32_t d, uint32_t s)
{
    const uint32_t t = (d & 0x00FEFEFFu) + (s & 0x00FEFEFFu);
    const uint32_t k = t & 0x01010100u;
    return t | (k - (k >> 8)) | ((d | s) & 0x00010100u);
}

// Packed add of s onto an R5G6B5 pixel (both in the low 16 bits).
inline uint32_t PackedAddPixel16(uint32_t d, uint32_t s)
{
    const uint32_t t = (d & 0xF7DEF7DFu) + (s & 0xF7DEF7DFu);
    const uint32_t k = t & 0x08210820u;
    return (t | (k - (k >> 5)) | ((d | s) & 0x0820u)) & 0xFFFFu;
}

// Packed subtract of s from a 32-bit pixel (the fourth byte becomes 0).
inline uint32_t PackedSubtractPixel32(uint32_t d, uint32_t s)
{
    const uint32_t t = (d | 0x01010100u) - (s & 0xFEFEFEFFu);
    const uint32_t k = t & 0x01010100u;
    return t & (k - (k >> 8));
}

// Packed subtract of s from an R5G6B5 pixel (both in the low 16 bits).
inline uint32_t PackedSubtractPixel16(uint32_t d, uint32_t s)
{
    const uint32_t t = (d | 0x08210820u) - (s & 0xF7DEF7DFu);
    const uint32_t k = t & 0x08210820u;
    return t & (k - (k >> 5)) & 0xFFFFu;
}

// Packed add for a pixel kind (1: 32-bit, else R5G6B5).
inline uint32_t PackedAddPixel(int kind, uint32_t d, uint32_t s)
{
    return kind == 1 ? PackedAddPixel32(d, s) : PackedAddPixel16(d, s);
}

// Packed subtract for a pixel kind (1: 32-bit, else R5G6B5).
inline uint32_t PackedSubtractPixel(int kind, uint32_t d, uint32_t s)
{
    return kind == 1 ? PackedSubtractPixel32(d, s) : PackedSubtractPixel16(d, s);
}

}  // namespace Korvo
