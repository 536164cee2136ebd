// One frame queued at most, waited for by sleeping.
//
// Letting the device limit its own frame queue to one frame makes the present
// wait inside Direct3D, and some Direct3D implementations wait there by
// spinning a processor core for the whole time the frame is drawn. The same
// limit is kept here: after each present an event query is issued, and the
// next present sleeps in 1 ms steps until that query has been reached.

#include "graphics/screen/win32/frame_latency.h"

#include "graphics/device/win32/d3d_objects.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr HRESULT kQueryNotReached = 1;  // S_FALSE

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static K_IDirect3DQuery9 *FrameEndQuery = nullptr;
static bool FrameEndIssued = false;
static bool QueryUnavailable = false;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Sleep until the last mark is reached; a lost device or a failed read ends the wait
void WaitForPreviousFrameDrawn()
{
    if (!FrameEndIssued || FrameEndQuery == nullptr) {
        return;
    }
    FrameEndIssued = false;
    while (FrameEndQuery->lpVtbl->GetData(FrameEndQuery, nullptr, 0, K_D3DGETDATA_FLUSH) == kQueryNotReached) {
        Sleep(1);
    }
}

// Issue the end mark of the frame just presented (Ex devices only: the plain
// device's frame queue keeps its own length)
void MarkPresentedFrameEnd()
{
    K_IDirect3DDevice9 *device = D3DObjects.device;
    if (D3DObjects.deviceEx == nullptr || device == nullptr || QueryUnavailable) {
        return;
    }
    if (FrameEndQuery == nullptr &&
        device->lpVtbl->CreateQuery(device, K_D3DQUERYTYPE_EVENT, &FrameEndQuery) < 0) {
        FrameEndQuery = nullptr;
        QueryUnavailable = true;
        return;
    }
    FrameEndIssued = FrameEndQuery->lpVtbl->Issue(FrameEndQuery, K_D3DISSUE_END) >= 0;
}

bool IsFrameEndMarkPending()
{
    return FrameEndIssued;
}

void ReleaseFrameEndQuery()
{
    if (FrameEndQuery != nullptr) {
        FrameEndQuery->lpVtbl->Release(FrameEndQuery);
    }
    FrameEndQuery = nullptr;
    FrameEndIssued = false;
    QueryUnavailable = false;
}

} // namespace Korvo
