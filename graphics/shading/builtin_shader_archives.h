// The built-in shader images, expanded and opened once: archive 1 (the base
// shaders) and archive 2 (the draw shaders), both looked up by file name.
#pragma once

namespace Korvo {

// 1 on success or when already open, 0 on failure (nothing left expanded)
int OpenBuiltinShaderArchives();
// Close the archives and free the expanded images; 1
int CloseBuiltinShaderArchives();
// A member of archive 1 or 2 by path: its code and size; 0, or -1 when closed or absent
int FindBuiltinShaderCode(int archive, const char *path, const void **code, int *size);

} // namespace Korvo
