// ShaderConstantSet: the store of vertex and pixel shader constants in four
// layers per register file. Layer 0 holds the library's own constants
// (transforms, lights, material, fog, texture factor), layer 1 the graph
// filters', layer 3 the caller's. Among the active layers the highest one that
// set a register wins it; the device holds the winners' values. Constants reach
// the device only while programmable shaders are in use.
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

constexpr int kShaderConstantLayers = 4;

// Zero every layer and select layer 0 alone; 0
int InitShaderConstantSet();
// Store count registers from first into a layer (four values each, one for bool
// files), listing the range as used when markUsed is set; 0, -1 out of range
int StoreShaderConstants(int file, int layer, int first, const void *values, int count, int markUsed);
// Forget a layer's registers: the next lower layer that set them wins them back; 0 or -1
int ClearShaderConstants(int file, int layer, int first, int count);
// Activate the layers of mask (bits 0-3) and send the registers whose winner changed; 0
int SelectConstantLayers(int mask);
// The values the device holds for one file (null for a bad file)
const void *GetStoredShaderConstants(int file);
// The used ranges of a layer as (start, end) pairs, end exclusive; their count
int GetShaderConstantRanges(int file, int layer, const unsigned short **pairs);
// Upload every file's device copy when programmable shaders are in use; 0
int UploadAllShaderConstants();

} // namespace Korvo
