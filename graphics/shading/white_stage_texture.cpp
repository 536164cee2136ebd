// The white stage texture: a graph made from a built-in 8 x 8 white picture the
// first time an untextured draw needs it. It is the library's own: made with the
// default graph settings whatever the program switched to, and filled again after
// every device rebuild whatever restore callback the program installed.

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

// The white picture into a new graph (handle -1) or back into the existing one.
static int LoadWhitePicture(int reload, int handle)
{
    GraphLoadSettings settings;
    CaptureDefaultGraphLoadSettings(&settings);
    settings.create.transparentColor = 0xFF00FF;
    return CreateGraphFromImageBytes(&settings, reload, handle, kWhiteTga.data(), static_cast<int>(kWhiteTga.size()),
                                     nullptr, 0, 1, 0, 0);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

K_IDirect3DBaseTexture9 *AcquireWhiteStageTexture()
{
    if (WhiteStageGraph == -1) {
        int handle = LoadWhitePicture(0, -1);
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

int RefillWhiteStageTexture()
{
    return WhiteStageGraph == -1 ? 0 : LoadWhitePicture(1, WhiteStageGraph);
}

int GetWhiteStageGraph()
{
    return WhiteStageGraph;
}

} // namespace Korvo
