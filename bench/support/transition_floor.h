// A floor for the screen-transition rows: the pixel work of a cross-fade and of
// a masked draw in the plainest loops this processor runs (AVX2 where it has
// it), without a library's checks, clipping or exact rounding.
#pragma once

#include <cstdint>

namespace KorvoBench {

// Each screen pixel moved toward the drawn pixel mixed with the picture's at
// weight / 256, by the mixed alpha.
void FloorCrossFade(uint32_t *screen, const uint32_t *drawn, const uint32_t *picture, int pixels, int weight);

// Each screen pixel moved toward the drawn pixel by the picture's alpha.
void FloorMasking(uint32_t *screen, const uint32_t *drawn, const uint32_t *picture, int pixels);

// The form the floor loops take on this processor: "AVX2" or "scalar".
const char *FloorFormName();

}  // namespace KorvoBench
