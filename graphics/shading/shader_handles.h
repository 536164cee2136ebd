// Shader handles (kind 12) made from caller or built-in code, the caller's
// shader selection for drawing with its own shaders, and binding to the device.
#pragma once

#include "core/memory/handle_manager.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

struct ShaderRecord {
    HandleRecordHeader header;
    int vertex;                     // 1 vertex shader, 0 pixel shader
    void *code;                     // tracked copy of the byte code
    int codeSize;
    void *object;                   // K_IDirect3DVertexShader9 or K_IDirect3DPixelShader9
    int constantCount;              // from the code's constant table (0 when absent)
    const void *constantInfo;       // its first record inside the code copy
};

// The caller's selection: texture slots (graph handles), vertex and pixel shader.
struct ShaderSelection {
    int textures[16];
    int vertexShader;
    int pixelShader;
};
extern ShaderSelection UserShaders;

int InitShaderHandleType();
int TermShaderHandleType();

// A shader handle from byte code; -1 without a device or programmable shaders,
// or for code that fails the byte-code check or the device
int CreateShaderHandle(int vertex, const void *code, int size, int freeCode, int background, void *asyncContext);
int CreatePixelShaderHandle(const void *code, int size);
int CreateVertexShaderHandle(const void *code, int size);
// A shader from the draw shaders' built-in archive (vertex flag in the low byte)
int CreateShaderFromBuiltinArchive(int vertexFlag, const char *path);
int DeleteShaderHandle(int handle);
// The record of a valid, loaded shader handle; null otherwise
ShaderRecord *LookupShaderRecord(int handle);

int BindVertexShaderHandle(int handle);
int BindPixelShaderHandle(int handle);
// Bind a shader object directly (the blend set-up's built-in ones)
void BindPixelShaderObject(K_IDirect3DPixelShader9 *shader);

// Release every shader handle's device object (the code copies stay); 0
int ReleaseShaderDeviceObjects();
// Make them again from the code copies; 0, -1 when one failed
int RestoreShaderDeviceObjects();

int SelectShaderTexture(int slot, int graph);
int SelectUserVertexShader(int handle);
int SelectUserPixelShader(int handle);

// The caller's selection kept across work that selects its own (graph filters).
struct SavedShaderSelection {
    int vertexShader;
    int pixelShader;
    int textureCount;
    int textures[16];
};
// Keep the shaders and the first textureCount texture slots; selects constant layers 0 and 1
void SaveShaderSelection(SavedShaderSelection *saved, int textureCount);
// Select them again (what was deleted meanwhile stays unselected)
void RestoreShaderSelection(const SavedShaderSelection *saved);

} // namespace Korvo
