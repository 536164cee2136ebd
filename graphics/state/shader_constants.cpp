// The layered store of shader constants and its upload to the device.

#include "graphics/state/shader_constants.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr int kMaxRegisters = 256;
constexpr int kMaxRegisterBytes = 16;
constexpr int kNoWinner = 255;
// Disjoint, non-touching ranges of at most 256 registers: at most 128 of them.
constexpr int kMaxRanges = kMaxRegisters / 2 + 1;

struct ConstantFileShape {
    int registers;
    int registerBytes;
};

static const ConstantFileShape kFiles[6] = {{256, 16}, {16, 16}, {16, 4}, {224, 16}, {16, 16}, {16, 4}};

struct ConstantLayer {
    unsigned short ranges[kMaxRanges][2];
    int rangeCount;
    alignas(16) unsigned char values[kMaxRegisters * kMaxRegisterBytes];
    unsigned char marked[kMaxRegisters];
};

struct ConstantFile {
    ConstantLayer layers[kShaderConstantLayers];
    unsigned char winner[kMaxRegisters];
    alignas(16) unsigned char device[kMaxRegisters * kMaxRegisterBytes];
};

struct ShaderConstantSet {
    ConstantFile files[6];
    int mask;
    int active[kShaderConstantLayers];
};

static ShaderConstantSet ConstantSet;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SendRange(int file, int first, int count)
{
    if (GraphicsState.programmableShader == 0 || G_D3D_HasDevice() == 0 || count <= 0) {
        return;
    }
    const unsigned char *at = ConstantSet.files[file].device + first * kFiles[file].registerBytes;
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

// Copy the winners' values of [first, first + count) into the device copy and send it.
static void UploadFromWinners(int file, int first, int count)
{
    ConstantFile &f = ConstantSet.files[file];
    int bytes = kFiles[file].registerBytes;
    for (int r = first; r < first + count; ++r) {
        if (f.winner[r] != kNoWinner) {
            std::memcpy(f.device + r * bytes, f.layers[f.winner[r]].values + r * bytes, static_cast<size_t>(bytes));
        }
    }
    SendRange(file, first, count);
}

// Merge [start, end) into a sorted list of disjoint ranges, joining any it touches.
static void InsertRange(ConstantLayer &layer, int start, int end)
{
    unsigned short merged[kMaxRanges][2];
    int count = 0;
    bool placed = false;
    for (int i = 0; i < layer.rangeCount; ++i) {
        int s = layer.ranges[i][0];
        int e = layer.ranges[i][1];
        if (e < start) {
            merged[count][0] = static_cast<unsigned short>(s);
            merged[count++][1] = static_cast<unsigned short>(e);
        } else if (s > end) {
            if (!placed) {
                merged[count][0] = static_cast<unsigned short>(start);
                merged[count++][1] = static_cast<unsigned short>(end);
                placed = true;
            }
            merged[count][0] = static_cast<unsigned short>(s);
            merged[count++][1] = static_cast<unsigned short>(e);
        } else {
            start = s < start ? s : start;
            end = e > end ? e : end;
        }
    }
    if (!placed) {
        merged[count][0] = static_cast<unsigned short>(start);
        merged[count++][1] = static_cast<unsigned short>(end);
    }
    std::memcpy(layer.ranges, merged, sizeof(merged[0]) * static_cast<size_t>(count));
    layer.rangeCount = count;
}

// Take [start, end) out of the list: ranges are trimmed, or split in two.
static void RemoveRange(ConstantLayer &layer, int start, int end)
{
    unsigned short kept[kMaxRanges + 1][2];
    int count = 0;
    for (int i = 0; i < layer.rangeCount; ++i) {
        int s = layer.ranges[i][0];
        int e = layer.ranges[i][1];
        if (e <= start || s >= end) {
            kept[count][0] = static_cast<unsigned short>(s);
            kept[count++][1] = static_cast<unsigned short>(e);
            continue;
        }
        if (s < start) {
            kept[count][0] = static_cast<unsigned short>(s);
            kept[count++][1] = static_cast<unsigned short>(start);
        }
        if (e > end) {
            kept[count][0] = static_cast<unsigned short>(end);
            kept[count++][1] = static_cast<unsigned short>(e);
        }
    }
    std::memcpy(layer.ranges, kept, sizeof(kept[0]) * static_cast<size_t>(count));
    layer.rangeCount = count;
}

static bool ValidRange(int file, int layer, int first, int count)
{
    return file >= 0 && file <= 5 && layer >= 0 && layer < kShaderConstantLayers && first >= 0 && count > 0 &&
           first + count <= kFiles[file].registers;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int InitShaderConstantSet()
{
    std::memset(&ConstantSet, 0, sizeof(ConstantSet));
    for (ConstantFile &f : ConstantSet.files) {
        std::memset(f.winner, kNoWinner, sizeof(f.winner));
    }
    ConstantSet.mask = 1;
    ConstantSet.active[0] = 1;
    return 0;
}

int StoreShaderConstants(int file, int layer, int first, const void *values, int count, int markUsed)
{
    if (!ValidRange(file, layer, first, count) || values == nullptr) {
        return -1;
    }
    ConstantFile &f = ConstantSet.files[file];
    ConstantLayer &l = f.layers[layer];
    int bytes = kFiles[file].registerBytes;
    if (markUsed != 0) {
        InsertRange(l, first, first + count);
    }
    std::memcpy(l.values + first * bytes, values, static_cast<size_t>(count * bytes));
    for (int r = first; r < first + count; ++r) {
        l.marked[r] = 1;
        if (ConstantSet.active[layer] != 0 && (f.winner[r] == kNoWinner || f.winner[r] <= layer)) {
            f.winner[r] = static_cast<unsigned char>(layer);
        }
    }
    if (ConstantSet.active[layer] != 0) {
        UploadFromWinners(file, first, count);
    }
    return 0;
}

int ClearShaderConstants(int file, int layer, int first, int count)
{
    if (!ValidRange(file, layer, first, count)) {
        return -1;
    }
    ConstantFile &f = ConstantSet.files[file];
    RemoveRange(f.layers[layer], first, first + count);
    bool changed = false;
    for (int r = first; r < first + count; ++r) {
        f.layers[layer].marked[r] = 0;
        if (f.winner[r] != layer) {
            continue;
        }
        int next = kNoWinner;
        for (int lower = layer - 1; lower >= 0; --lower) {
            if (ConstantSet.active[lower] != 0 && f.layers[lower].marked[r] != 0) {
                next = lower;
                break;
            }
        }
        f.winner[r] = static_cast<unsigned char>(next);
        changed = true;
    }
    if (changed) {
        UploadFromWinners(file, first, count);
    }
    return 0;
}

int SelectConstantLayers(int mask)
{
    mask &= 0xF;
    if (mask == ConstantSet.mask) {
        return 0;
    }
    ConstantSet.mask = mask;
    for (int layer = 0; layer < kShaderConstantLayers; ++layer) {
        ConstantSet.active[layer] = (mask >> layer) & 1;
    }
    for (int file = 0; file < 6; ++file) {
        ConstantFile &f = ConstantSet.files[file];
        unsigned char winners[kMaxRegisters];
        std::memset(winners, kNoWinner, sizeof(winners));
        for (int layer = 0; layer < kShaderConstantLayers; ++layer) {
            if (ConstantSet.active[layer] == 0) {
                continue;
            }
            const ConstantLayer &l = f.layers[layer];
            for (int i = 0; i < l.rangeCount; ++i) {
                std::memset(winners + l.ranges[i][0], layer, static_cast<size_t>(l.ranges[i][1] - l.ranges[i][0]));
            }
        }
        int registers = kFiles[file].registers;
        unsigned char old[kMaxRegisters];
        std::memcpy(old, f.winner, sizeof(old));
        std::memcpy(f.winner, winners, sizeof(winners));
        for (int r = 0; r < registers;) {
            if (winners[r] == kNoWinner || winners[r] == old[r]) {
                ++r;
                continue;
            }
            int end = r + 1;
            while (end < registers && winners[end] != kNoWinner && winners[end] != old[end]) {
                ++end;
            }
            UploadFromWinners(file, r, end - r);
            r = end;
        }
    }
    return 0;
}

const void *GetStoredShaderConstants(int file)
{
    return file >= 0 && file <= 5 ? ConstantSet.files[file].device : nullptr;
}

int GetShaderConstantRanges(int file, int layer, const unsigned short **pairs)
{
    if (file < 0 || file > 5 || layer < 0 || layer >= kShaderConstantLayers) {
        return 0;
    }
    const ConstantLayer &l = ConstantSet.files[file].layers[layer];
    *pairs = &l.ranges[0][0];
    return l.rangeCount;
}

int UploadAllShaderConstants()
{
    for (int file = 0; file < 6; ++file) {
        SendRange(file, 0, kFiles[file].registers);
    }
    return 0;
}

} // namespace Korvo
