// Row loops in 256-bit vectors (AVX2), each compiled for that instruction set
// alone and called only when CurrentMemImgVectorForm says the processor runs
// it. Each gives the same bytes as the base form of the same loop.
#pragma once

#include <cstdint>

#include "softraster/processor_forms.h"

namespace Korvo {

#if KORVO_WIDE_VECTOR_FORMS

// PackedAddPixel32 of one addend onto count 32-bit pixels of a row.
void PackedAddRow32Avx2(uint8_t *row, int count, uint32_t addend);

#endif

}  // namespace Korvo
