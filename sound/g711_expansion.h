// G.711 (mu-law and A-law) samples expanded to 16-bit linear PCM, as telephony
// WAVE files (format tags 7 and 6) hold them.
#pragma once

#include <cstdint>

namespace Korvo {

constexpr uint16_t kWaveFormatALaw = 6;
constexpr uint16_t kWaveFormatMuLaw = 7;

// The 256 linear values of the codes of a G.711 tag; null for any other tag
const int16_t *GetG711ExpansionTable(uint16_t formatTag);

} // namespace Korvo
