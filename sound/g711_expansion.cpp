// The two G.711 expansions, computed from the code layout: a sign bit, three
// bits of segment and four of step within it.

#include "sound/g711_expansion.h"

#include <array>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Mu-law: codes are stored inverted; each segment doubles the step, and the
// bias of 132 that the encoder added is taken away again.
static int16_t ExpandMuLaw(uint8_t code)
{
    int inverted = ~code & 0xFF;
    int segment = (inverted >> 4) & 7;
    int magnitude = ((((inverted & 0x0F) << 3) + 0x84) << segment) - 0x84;
    return static_cast<int16_t>((inverted & 0x80) != 0 ? -magnitude : magnitude);
}

// A-law: even bits are stored inverted; segment 0 is linear, each further one
// doubles the step; a set sign bit is positive.
static int16_t ExpandALaw(uint8_t code)
{
    int toggled = code ^ 0x55;
    int segment = (toggled >> 4) & 7;
    int step = (toggled & 0x0F) << 4;
    int magnitude = segment == 0 ? step + 8 : (step + 0x108) << (segment - 1);
    return static_cast<int16_t>((toggled & 0x80) != 0 ? magnitude : -magnitude);
}

template <int16_t (*Expand)(uint8_t)>
static std::array<int16_t, 256> BuildExpansionTable()
{
    std::array<int16_t, 256> table{};
    for (int code = 0; code < 256; ++code) {
        table[code] = Expand(static_cast<uint8_t>(code));
    }
    return table;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

const int16_t *GetG711ExpansionTable(uint16_t formatTag)
{
    static const std::array<int16_t, 256> MuLaw = BuildExpansionTable<ExpandMuLaw>();
    static const std::array<int16_t, 256> ALaw = BuildExpansionTable<ExpandALaw>();
    if (formatTag == kWaveFormatMuLaw) {
        return MuLaw.data();
    }
    return formatTag == kWaveFormatALaw ? ALaw.data() : nullptr;
}

} // namespace Korvo
