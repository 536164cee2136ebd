// Graph records: the handle kind, look-ups, deletion, and the small queries.

#include "graphics/graphs/graph_record.h"

#include "core/memory/tracked_alloc.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "graphics/device/graphics_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static GraphDeleteListener DeleteListener = nullptr;
static GraphMovieHooks MovieHooks = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int InitGraphRecordCallback(void *data)
{
    static_cast<GraphRecord *>(data)->movieHandle = -1;
    return 0;
}

static int DeleteGraphRecordCallback(void *data)
{
    GraphRecord *record = static_cast<GraphRecord *>(data);
    if (record->movieHandle != -1 && MovieHooks.deleteMovieHandle != nullptr) {
        MovieHooks.deleteMovieHandle(record->movieHandle);
    }
    record->movieHandle = -1;
    if (DeleteListener != nullptr) {
        DeleteListener(record->header.handle);
    }
    if (record->imageSet != nullptr) {
        if (IsMemImgValid(&record->memImg) != 0) {
            DisposeMemImg(&record->memImg);
        }
        ReleaseGraphImageSet(record->imageSet);
        record->imageSet = nullptr;
    }
    TrackedFree(record->ownedBlock1);
    TrackedFree(record->ownedBlock2);
    record->ownedBlock1 = nullptr;
    record->ownedBlock2 = nullptr;
    ReleaseGraphRestoreSource(record->restoreSource);
    record->restoreSource = nullptr;
    if (record->deletedFlag != nullptr) {
        *record->deletedFlag = 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int InitGraphHandleType()
{
    ResetGraphCreateSettings();
    return RegisterHandleType(HANDLE_KIND_GRAPH, static_cast<int>(sizeof(GraphRecord)), kGraphMaxCount,
                              InitGraphRecordCallback, DeleteGraphRecordCallback, "グラフィック");
}

int TermGraphHandleType()
{
    return UnregisterHandleType(HANDLE_KIND_GRAPH);
}

int NewGraphHandle()
{
    return CreateHandleRecord(HANDLE_KIND_GRAPH, -1);
}

GraphRecord *GetGraphRecord(int handle, int acceptLoading)
{
    if (handle < 0 || HandleKindOf(handle) != HANDLE_KIND_GRAPH) {
        return nullptr;
    }
    GraphRecord *record = static_cast<GraphRecord *>(LookupHandleRecord(handle));
    if (record == nullptr ||
        (acceptLoading == 0 && __atomic_load_n(&record->header.pendingLoadCount, __ATOMIC_ACQUIRE) > 0)) {
        return nullptr;
    }
    return record;
}

GraphRecord *GetGraphRecordInContext(int handle, void *asyncContext)
{
    return GetGraphRecord(handle, asyncContext != nullptr ? 1 : 0);
}

MEMIMG *GetGraphMemImg(GraphRecord *record)
{
    if (record == nullptr || record->imageSet == nullptr || record->imageSet->params.deviceTexture != 0) {
        return nullptr;
    }
    return &record->memImg;
}

GraphDrawPiece *GetGraphDrawPieces(GraphRecord *record, int *count)
{
    if (record == nullptr || record->imageSet == nullptr || record->imageSet->params.deviceTexture == 0) {
        if (count != nullptr) {
            *count = 0;
        }
        return nullptr;
    }
    if (count != nullptr) {
        *count = record->drawPieceCount;
    }
    return record->drawPieces;
}

int IsGraphDeviceTextured(const GraphRecord *record)
{
    return record != nullptr && record->imageSet != nullptr && record->imageSet->params.deviceTexture != 0 ? 1 : 0;
}

int ScreenDepthForGraphs()
{
    return GraphicsState.bitsPerPixel != 0 ? GraphicsState.bitsPerPixel : 16;
}

int SetGraphDeleteListener(GraphDeleteListener listener)
{
    DeleteListener = listener;
    return 0;
}

int SetGraphMovieHooks(const GraphMovieHooks *hooks)
{
    MovieHooks = hooks != nullptr ? *hooks : GraphMovieHooks{};
    return 0;
}

const GraphMovieHooks *GetGraphMovieHooks()
{
    return &MovieHooks;
}

int DestroyGraphHandle(int handle, int unused)
{
    (void)unused;
    if (handle < 0 || HandleKindOf(handle) != HANDLE_KIND_GRAPH) {
        return -1;
    }
    return DeleteHandleRecord(handle);
}

int AttachGraphDeletedFlag(int handle, int *flag)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    record->deletedFlag = flag;
    if (flag != nullptr) {
        *flag = 0;
    }
    return 0;
}

int IsGraphHandleReady(int handle)
{
    return GetGraphRecord(handle, 0) != nullptr ? 1 : 0;
}

int GetGraphOrScreenSize(int handle, int *width, int *height)
{
    int w = 0;
    int h = 0;
    if (handle == -2 || handle == -4) {
        w = GraphicsState.mainWidth != 0 ? GraphicsState.mainWidth : 640;
        h = GraphicsState.mainHeight != 0 ? GraphicsState.mainHeight : 480;
    } else {
        GraphRecord *record = GetGraphRecord(handle, 1);
        if (record == nullptr) {
            return -1;
        }
        w = record->width;
        h = record->height;
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return 0;
}

int GetGraphTexturePieceSize(int handle, int *width, int *height)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr || record->imageSet == nullptr) {
        return -1;
    }
    int w = record->width;
    int h = record->height;
    if (record->imageSet->params.deviceTexture != 0 && record->imageSet->pieceCount > 0) {
        w = record->imageSet->pieces[0].textureWidth;
        h = record->imageSet->pieces[0].textureHeight;
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return 0;
}

int IsGraphMultisampled(int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr || record->imageSet == nullptr) {
        return 0;
    }
    return record->imageSet->params.deviceTexture != 0 && record->imageSet->params.multiSampleCount != 0 ? 1 : 0;
}

} // namespace Korvo
