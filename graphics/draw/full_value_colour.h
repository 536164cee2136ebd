// A colour with its hue and saturation kept and its largest channel raised to 255.
#pragma once

namespace Korvo {

// Channels above 255 count as 255; black and greys become white
void ConvertRgbToFullValueRgb(int r, int g, int b, int *outR, int *outG, int *outB);

} // namespace Korvo
