// The three built-in shader images carried inside the library, each one LZ block
// (ExpandKvaLzData): the base shaders' archive, the draw shaders' archive, and
// the two code-size tables. The Windows build generates them from the shader
// assembly at build time; the host build, which has no device, carries none.
#pragma once

namespace Korvo {

struct BuiltinShaderImage {
    const unsigned char *bytes;  // null when the build carries no shaders
    int size;
};

extern const BuiltinShaderImage BuiltinShaderImages[3];

} // namespace Korvo
