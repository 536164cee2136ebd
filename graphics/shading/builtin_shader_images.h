// The built-in shader images carried inside the library, each one LZ block
// (ExpandKvaLzData): the base shaders' archive and the draw shaders' archive.
// Shaders are looked up by file name only, so no code-size tables are carried.
// The Windows build generates them from the shader assembly at build time; the
// host build, which has no device, carries none.
#pragma once

namespace Korvo {

struct BuiltinShaderImage {
    const unsigned char *bytes;  // null when the build carries no shaders
    int size;
};

constexpr int kBuiltinShaderImageCount = 2;
extern const BuiltinShaderImage BuiltinShaderImages[kBuiltinShaderImageCount];

} // namespace Korvo
