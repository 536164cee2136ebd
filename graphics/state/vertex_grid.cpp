// A grid of 2-D textured vertices drawn as triangle strips joined by
// degenerate triangles.

#include "graphics/state/transforms.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kMaxStripIndices = 1000;
constexpr DWORD kGridVertexFvf = 0x144;
constexpr UINT kGridVertexBytes = 28;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void DrawStrip(const uint16_t *indices, int count, int vertexCount, const void *vertices)
{
    if (count < 3) {
        return;
    }
    if (StateCache.fvf != kGridVertexFvf || StateCache.vertexDeclaration != nullptr) {
        StateCache.fvf = kGridVertexFvf;
        StateCache.vertexDeclaration = nullptr;
        D3DDev_SetFVF(kGridVertexFvf);
    }
    D3DDev_DrawIndexedPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(vertexCount),
                                  static_cast<UINT>(count - 2), indices, K_D3DFMT_INDEX16, vertices, kGridVertexBytes);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int DrawVertexGridStrips(int perRow, const void *vertices, int rows)
{
    // One row pair must fit the index list.
    if (perRow < 2 || rows < 2 || perRow * 2 > kMaxStripIndices) {
        return -1;
    }
    FlushStagedVertices(0);
    G_D3D_BeginSceneIfNeeded();
    const unsigned char *bytes = static_cast<const unsigned char *>(vertices);
    uint16_t indices[kMaxStripIndices];
    int count = 0;
    // Indices count from the batch's first row, so they stay small however
    // many vertices the grid has (a batch spans at most 501 rows of <= 500).
    int firstRow = 0;
    for (int row = 0; row + 1 < rows; ++row) {
        int pairIndices = perRow * 2;
        if (count > 0 && count + 2 + pairIndices > kMaxStripIndices) {
            DrawStrip(indices, count, (row + 1 - firstRow) * perRow, bytes + static_cast<size_t>(firstRow) * perRow * kGridVertexBytes);
            count = 0;
            firstRow = row;
        }
        int top = (row - firstRow) * perRow;
        if (count > 0) {
            // Degenerate join: the last index again, then the first of the next pair.
            indices[count] = indices[count - 1];
            indices[count + 1] = static_cast<uint16_t>(top + perRow);
            count += 2;
        }
        for (int column = 0; column < perRow; ++column) {
            indices[count++] = static_cast<uint16_t>(top + perRow + column);
            indices[count++] = static_cast<uint16_t>(top + column);
        }
    }
    DrawStrip(indices, count, (rows - firstRow) * perRow, bytes + static_cast<size_t>(firstRow) * perRow * kGridVertexBytes);
    return 0;
}

} // namespace Korvo
