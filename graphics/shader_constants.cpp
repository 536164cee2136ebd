// The library's layer of shader constants and its upload to the device.

#include "graphics/shader_constants.h"

#include "graphics/d3d_call_wrappers.h"
#include "graphics/graphics_state.h"

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

struct ConstantFileShape {
    int registers;
    int registerBytes;
};

static const ConstantFileShape kFiles[6] = {{256, 16}, {16, 16}, {16, 4}, {224, 16}, {16, 16}, {16, 4}};

alignas(16) static unsigned char VertexFloats[256 * 16];
alignas(16) static unsigned char VertexInts[16 * 16];
alignas(16) static unsigned char VertexBools[16 * 4];
alignas(16) static unsigned char PixelFloats[224 * 16];
alignas(16) static unsigned char PixelInts[16 * 16];
alignas(16) static unsigned char PixelBools[16 * 4];
static unsigned char *const kStores[6] = {VertexFloats, VertexInts, VertexBools, PixelFloats, PixelInts, PixelBools};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void UploadRange(int file, int first, int count)
{
    if (GraphicsState.programmableShader == 0 || G_D3D_HasDevice() == 0) {
        return;
    }
    const unsigned char *at = kStores[file] + first * kFiles[file].registerBytes;
    UINT start = static_cast<UINT>(first);
    UINT n = static_cast<UINT>(count);
    switch (file) {
    case SHADER_FILE_VERTEX_FLOAT:
        D3DDev_SetVertexShaderConstantF(start, reinterpret_cast<const float *>(at), n);
        break;
    case SHADER_FILE_VERTEX_INT:
        D3DDev_SetVertexShaderConstantI(start, reinterpret_cast<const int *>(at), n);
        break;
    case SHADER_FILE_VERTEX_BOOL:
        D3DDev_SetVertexShaderConstantB(start, reinterpret_cast<const BOOL *>(at), n);
        break;
    case SHADER_FILE_PIXEL_FLOAT:
        D3DDev_SetPixelShaderConstantF(start, reinterpret_cast<const float *>(at), n);
        break;
    case SHADER_FILE_PIXEL_INT:
        D3DDev_SetPixelShaderConstantI(start, reinterpret_cast<const int *>(at), n);
        break;
    default:
        D3DDev_SetPixelShaderConstantB(start, reinterpret_cast<const BOOL *>(at), n);
        break;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int StoreShaderConstants(int file, int first, const void *values, int count)
{
    if (file < 0 || file > 5 || first < 0 || count <= 0 || first + count > kFiles[file].registers) {
        return -1;
    }
    std::memcpy(kStores[file] + first * kFiles[file].registerBytes, values,
                static_cast<size_t>(count * kFiles[file].registerBytes));
    UploadRange(file, first, count);
    return 0;
}

const void *GetStoredShaderConstants(int file)
{
    return file >= 0 && file <= 5 ? kStores[file] : nullptr;
}

int UploadAllShaderConstants()
{
    for (int file = 0; file < 6; ++file) {
        UploadRange(file, 0, kFiles[file].registers);
    }
    return 0;
}

} // namespace Korvo
