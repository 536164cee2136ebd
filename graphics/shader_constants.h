// ShaderConstantSet: the store of vertex and pixel shader constants that the
// library's own transforms, lights, material and fog write (register files of
// the library's layer). Constants reach the device only while programmable
// shaders are in use.
#pragma once

namespace Korvo {

enum ShaderConstantFile {
    SHADER_FILE_VERTEX_FLOAT = 0,  // 256 registers of four floats
    SHADER_FILE_VERTEX_INT = 1,    // 16 of four ints
    SHADER_FILE_VERTEX_BOOL = 2,   // 16 of one bool
    SHADER_FILE_PIXEL_FLOAT = 3,   // 224 of four floats
    SHADER_FILE_PIXEL_INT = 4,     // 16 of four ints
    SHADER_FILE_PIXEL_BOOL = 5,    // 16 of one bool
};

// Store count registers from first (four values each, one for bool files); 0, -1 out of range
int StoreShaderConstants(int file, int first, const void *values, int count);
// The stored registers of one file (null for a bad file)
const void *GetStoredShaderConstants(int file);
// Upload every file when programmable shaders are in use; 0
int UploadAllShaderConstants();

} // namespace Korvo
