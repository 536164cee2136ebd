// The value-maximising volume texture: a 128 x 128 x 128 lookup of full-value
// colours (ConvertRgbToFullValueRgb of twice the texel's coordinates), made with
// each device when programmable shaders are on.
#pragma once

namespace Korvo {

// Make the volume texture on the device; 0, or -1 (logged) when it could not be made
int BuildValueMaxVolumeTexture();
// Release it (nothing when none was made)
void ReleaseValueMaxVolumeTexture();
// 1 while the volume texture exists
int HasValueMaxVolumeTexture();

} // namespace Korvo
