// The white stage texture: a graph made from a built-in 8 x 8 white picture the
// first time an untextured draw needs it.

#include "graphics/shading/white_stage_texture.h"

#include "core/memory/handle_manager.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/graphs/run_length_tga.h"
#include "graphics/state/device_state_cache.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// Set back to -1 by the handle manager when the graph is deleted.
static int WhiteStageGraph = -1;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static K_IDirect3DBaseTexture9 *FirstPieceTexture(int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    int count = 0;
    GraphDrawPiece *pieces = record != nullptr ? GetGraphDrawPieces(record, &count) : nullptr;
    if (pieces == nullptr || count <= 0 || pieces[0].piece == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<K_IDirect3DBaseTexture9 *>(pieces[0].piece->texture);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

K_IDirect3DBaseTexture9 *AcquireWhiteStageTexture()
{
    if (WhiteStageGraph == -1) {
        GraphLoadSettings settings;
        CaptureGraphLoadSettings(&settings);
        settings.create.transparentColor = 0xFF00FF;
        int handle = CreateGraphFromImageBytes(&settings, 0, -1, kWhiteTga.data(), static_cast<int>(kWhiteTga.size()),
                                               nullptr, 0, 1, 0, 0);
        // Making a graph may have closed the scene the draw is in.
        G_D3D_BeginSceneIfNeeded();
        if (handle == -1) {
            return nullptr;
        }
        WhiteStageGraph = handle;
        BindHandleOwnerVariable(handle, &WhiteStageGraph);
    }
    return FirstPieceTexture(WhiteStageGraph);
}

int GetWhiteStageGraph()
{
    return WhiteStageGraph;
}

} // namespace Korvo
