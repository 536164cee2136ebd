// Full-value colours (the contents of the value-maximising lookup volume).

#include "graphics/draw/full_value_colour.h"

#include <algorithm>

namespace Korvo {

void ConvertRgbToFullValueRgb(int r, int g, int b, int *outR, int *outG, int *outB)
{
    int in[3] = {std::min(r, 255), std::min(g, 255), std::min(b, 255)};
    int mx = std::max({in[0], in[1], in[2]});
    int mn = std::min({in[0], in[1], in[2]});
    int out[3] = {255, 255, 255};
    if (in[0] + in[1] + in[2] != 0 && mx != mn) {
        int s = (mx - mn) * 255 / mx;
        for (int c = 0; c < 3; ++c) {
            if (in[c] == mx) {
                out[c] = 255;
            } else if (in[c] == mn) {
                out[c] = 255 - s;
            } else {
                out[c] = 255 - s * (255 - (in[c] - mn) * 255 / (mx - mn)) / 255;
            }
        }
    }
    *outR = out[0];
    *outG = out[1];
    *outB = out[2];
}

} // namespace Korvo
