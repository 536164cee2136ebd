// Colours packed in the screen's pixel format, and unpacked again.

#include "graphics/public_api.h"

#include "graphics/device/graphics_state.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

struct ScreenChannelLayout {
    uint32_t mask[3];
    int shift[3];
    int width[3];
    uint32_t unused;
};

static const ScreenChannelLayout kRgb565Layout = {{0xF800, 0x07E0, 0x001F}, {11, 5, 0}, {5, 6, 5}, 0};
static const ScreenChannelLayout kXrgb32Layout = {{0xFF0000, 0xFF00, 0xFF}, {16, 8, 0}, {8, 8, 8}, 0xFF000000u};

// NOTE: before start-up the depth is not settled yet; the program's static
// colours are made then and must come out in the 32-bit layout.
static const ScreenChannelLayout &CurrentScreenLayout()
{
    if (GraphicsState.started == 0) {
        return kXrgb32Layout;
    }
    // Direct3D draws R5G6B5 on a 16-bit screen and X8R8G8B8 otherwise; the
    // software screen image is of kind 0 (R5G6B5) for every depth but 32.
    if (GraphicsState.direct3DModeActive != 0) {
        return GraphicsState.bitsPerPixel == 16 ? kRgb565Layout : kXrgb32Layout;
    }
    return MemImgState.defaultScreenKind == MEMIMG_KIND_XRGB32 ? kXrgb32Layout : kRgb565Layout;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Pack 8-bit channels (low 8 bits of each) into a screen pixel value
int PackScreenColor(int red, int green, int blue)
{
    const ScreenChannelLayout &layout = CurrentScreenLayout();
    const uint32_t channels[3] = {static_cast<uint32_t>(red) & 0xFF, static_cast<uint32_t>(green) & 0xFF,
                                  static_cast<uint32_t>(blue) & 0xFF};
    uint32_t value = layout.unused;
    for (int c = 0; c < 3; ++c) {
        value |= (channels[c] >> (8 - layout.width[c])) << layout.shift[c];
    }
    return static_cast<int>(value);
}

// Split a screen pixel value into 0..255 channels (null pointers skipped); 0
int UnpackScreenColor(int colour, int *red, int *green, int *blue)
{
    const ScreenChannelLayout &layout = CurrentScreenLayout();
    int *out[3] = {red, green, blue};
    for (int c = 0; c < 3; ++c) {
        uint32_t raw = (static_cast<uint32_t>(colour) & layout.mask[c]) >> layout.shift[c];
        if (out[c] != nullptr) {
            *out[c] = static_cast<int>(raw * 255u / ((1u << layout.width[c]) - 1u));
        }
    }
    return 0;
}

} // namespace Korvo
