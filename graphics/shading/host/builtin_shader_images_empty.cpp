// The host build has no graphics device and carries no shader code.
#include "graphics/shading/builtin_shader_images.h"

namespace Korvo {

const BuiltinShaderImage BuiltinShaderImages[kBuiltinShaderImageCount] = {{nullptr, 0}, {nullptr, 0}};

} // namespace Korvo
