// Divided graph loading: a sheet loaded once and cut into equal cells, each a
// graph of its own sharing one image set and one restore source.

#include "graphics/graphs/graph_load.h"
#include "core/system/message_pump_hooks.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "core/system/window_state.h"
#include "core/streams/stream_table.h"
#include "image/pixel_access.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kFullPathCapacity = 1024;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Where cell index starts: rows top to bottom, columns left to right (right to left when mirrored).
static void CellOrigin(int index, int columns, int pieceWidth, int pieceHeight, int mirror, int *x, int *y)
{
    int column = index % columns;
    *x = mirror == 1 ? pieceWidth * (columns - 1 - column) : pieceWidth * column;
    *y = pieceHeight * (index / columns);
}

static void DestroyHandles(int *handles, int count, int baseHandle)
{
    for (int i = 0; i < count; ++i) {
        if (handles[i] > 0) {
            DestroyGraphHandle(handles[i], 0);
        }
        handles[i] = -1;
    }
    if (baseHandle != -1) {
        DestroyGraphHandle(baseHandle, 0);
    }
}

static int RunDivGraphLoadRequest(GraphLoadRequest *request, void *asyncContext)
{
    GraphSourceImages images;
    if (DecodeGraphSourceImages(request, &images) < 0) {
        if (request->fileName != nullptr) {
            char fullPath[kFullPathCapacity];
            MakeAbsolutePath(request->fileName, fullPath, nullptr);
            AppendLogLineFormat("画像ファイル %s のロードに失敗しました", fullPath);
        }
        return -1;
    }
    int result = CreateDivGraphFromGraphImage(&request->settings, request->reload, request->baseHandle, images.color,
                                              images.alpha, request->divCount, request->divColumns, request->divRows,
                                              request->divWidth, request->divHeight, request->divHandles,
                                              request->callerFlag, request->mirror, asyncContext);
    if (result == 0) {
        int first = request->divHandles[0];
        RecordGraphLoadSource(request, first, &images, asyncContext);
        for (int i = 1; i < request->divCount; ++i) {
            ShareGraphRestoreSource(request->divHandles[i], request->fileName, request->mirror, first, asyncContext);
        }
    }
    ReleaseGraphSourceImages(&images);
    return result;
}

// Every piece and the whole-sheet graph count this job until it is done with
// them: what the job deletes goes while still counted (no one else can delete it
// meanwhile), and a piece released is not touched again.
static int RunDivGraphLoadJob(AsyncLoadJob *job)
{
    GraphLoadRequest request;
    RasterImage images[2];
    int count = UnpackLoadJob(job, &request, images, nullptr, 0);
    int *handles = static_cast<int *>(KORVO_TRACKED_ALLOC(sizeof(int) * static_cast<size_t>(count)));
    if (handles != nullptr) {
        UnpackLoadJob(job, &request, images, handles, count);
        request.divHandles = handles;
    }
    PassAsyncJobCheckpoint(job, DIV_GRAPH_LOAD_STARTING);
    int result = handles != nullptr ? RunDivGraphLoadRequest(&request, job) : -1;
    PassAsyncJobCheckpoint(job, DIV_GRAPH_LOAD_CUT);
    int kept = handles != nullptr ? count : 0;
    if (request.reload == 0) {
        DestroyGraphsFromJob(&request.baseHandle, 1, job);
        if (result != 0) {
            DestroyGraphsFromJob(handles, kept, job);
            kept = 0;
        }
    }
    for (int i = 0; i < kept; ++i) {
        ReleasePendingLoadJob(handles[i]);
    }
    TrackedFree(handles);
    return 0;
}

static int StartDivGraphLoadRequest(GraphLoadRequest *request, int backgroundFlag)
{
    if (GetAppActiveState() == 0) {
        WaitWhileAppInactive();
    }
    int *handles = request->divHandles;
    int count = request->divCount;
    // No cell exists beyond columns x rows: such a call is refused.
    if (count <= 0 || handles == nullptr || request->divColumns <= 0 || request->divRows <= 0 ||
        count > request->divColumns * request->divRows) {
        return -1;
    }
    request->baseHandle = -1;
    if (request->reload == 0) {
        std::memset(handles, 0, sizeof(int) * static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            handles[i] = NewGraphHandle();
            if (handles[i] == -1) {
                DestroyHandles(handles, count, -1);
                return -1;
            }
        }
        request->baseHandle = NewGraphHandle();
        if (request->baseHandle == -1) {
            DestroyHandles(handles, count, -1);
            return -1;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            if (HasPendingLoadJob(handles[i]) != 0) {
                return -1;
            }
        }
    }
    int result = -1;
    if (backgroundFlag != 0) {
        AsyncLoadJob *job = PackGraphLoadJob(request, handles, count, RunDivGraphLoadJob);
        // The job writes every piece and the whole-sheet graph: each counts it.
        bool withBase = request->baseHandle != -1;
        int first = withBase ? request->baseHandle : handles[0];
        if (job != nullptr && QueueAsyncLoadJobForHandles(job, first, withBase ? handles : handles + 1,
                                                          withBase ? count : count - 1) == 0) {
            return 0;
        }
    } else {
        result = RunDivGraphLoadRequest(request, nullptr);
        if (result == 0 && request->baseHandle != -1) {
            DestroyGraphHandle(request->baseHandle, 0);
        }
    }
    if (result == 0) {
        return 0;
    }
    if (request->reload == 0) {
        DestroyHandles(handles, count, request->baseHandle);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int UploadImagesToDivGraphs(const RasterImage *color, const RasterImage *alpha, int count, int columns, int rows,
                            int pieceWidth, int pieceHeight, const int *handles, int mirror, int transparentFlag,
                            void *asyncContext)
{
    (void)rows;
    GraphImageSet *shared = nullptr;
    bool oneSet = true;
    for (int i = 0; i < count; ++i) {
        GraphRecord *record = GetGraphRecordInContext(handles[i], asyncContext);
        if (record == nullptr) {
            return -1;
        }
        CellOrigin(i, columns, pieceWidth, pieceHeight, mirror, &record->sourceX, &record->sourceY);
        if (i == 0) {
            shared = record->imageSet;
        } else if (record->imageSet != shared) {
            oneSet = false;
        }
    }
    if (oneSet && shared != nullptr) {
        RECT whole = {0, 0, shared->width, shared->height};
        return TransferImageRectToGraph(handles[0], &whole, 0, 0, color, alpha, shared->params.blendGraph,
                                        transparentFlag, 1, asyncContext);
    }
    for (int i = 0; i < count; ++i) {
        GraphRecord *record = GetGraphRecordInContext(handles[i], asyncContext);
        if (record == nullptr) {
            return -1;
        }
        RECT cell = {record->sourceX, record->sourceY, record->sourceX + record->width, record->sourceY + record->height};
        if (TransferImageRectToGraph(handles[i], &cell, 0, 0, color, alpha, record->imageSet->params.blendGraph,
                                     transparentFlag, 0, asyncContext) != 0) {
            return -1;
        }
    }
    return 0;
}

int CreateDivGraphFromGraphImage(const GraphLoadSettings *settings, int reload, int baseHandle,
                                 const RasterImage *color, const RasterImage *alpha, int count, int columns, int rows,
                                 int pieceWidth, int pieceHeight, int *handles, int callerFlag, int mirror,
                                 void *asyncContext)
{
    if (count > columns * rows) {
        count = columns * rows;
    }
    int transparentFlag = settings->noTransparentColor == 0 ? 1 : 0;
    if (reload != 0) {
        if (color->width < columns * pieceWidth || color->height < rows * pieceHeight ||
            (alpha != nullptr && (alpha->width != color->width || alpha->height != color->height))) {
            return -1;
        }
        if (settings->transparentFromTopLeft == 1) {
            GraphRecord *first = GetGraphRecordInContext(handles[0], asyncContext);
            if (first != nullptr && first->imageSet != nullptr) {
                first->imageSet->transparentColor = ReadImagePixelAsArgb(color, 0, 0) & 0xFFFFFF;
            }
        }
        return UploadImagesToDivGraphs(color, alpha, count, columns, rows, pieceWidth, pieceHeight, handles, mirror,
                                       transparentFlag, asyncContext);
    }
    if (BuildGraphFromImagesCore(settings, 0, baseHandle, color, alpha, callerFlag, asyncContext) != 0) {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        int x = 0;
        int y = 0;
        CellOrigin(i, columns, pieceWidth, pieceHeight, mirror, &x, &y);
        if (DeriveSubGraph(handles[i], x, y, pieceWidth, pieceHeight, baseHandle, asyncContext) != 0) {
            return AppendLogText("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
        }
    }
    return 0;
}

int CreateDivGraphFromFileWithSettings(const GraphLoadSettings *settings, int reload, const char *fileName,
                                       int count, int columns, int rows, int pieceWidth, int pieceHeight,
                                       int *handles, int callerFlag, int mirror, int backgroundFlag)
{
    GraphLoadRequest request = {};
    request.settings = *settings;
    request.reload = reload;
    request.handle = -1;
    request.fileName = fileName;
    request.divCount = count;
    request.divColumns = columns;
    request.divRows = rows;
    request.divWidth = pieceWidth;
    request.divHeight = pieceHeight;
    request.divHandles = handles;
    request.callerFlag = callerFlag;
    request.mirror = mirror;
    return StartDivGraphLoadRequest(&request, backgroundFlag);
}

int CreateDivGraphFromFileEx(const char *fileName, int count, int columns, int rows, int pieceWidth,
                             int pieceHeight, int *handles, int callerFlag, int mirror)
{
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    return CreateDivGraphFromFileWithSettings(&settings, 0, fileName, count, columns, rows, pieceWidth, pieceHeight,
                                              handles, callerFlag, mirror, GetLoadInBackgroundFlag());
}

int CreateDivGraphFromImageFile(const char *fileName, int count, int columns, int rows, int pieceWidth,
                                int pieceHeight, int *handles, int flag)
{
    return CreateDivGraphFromFileEx(fileName, count, columns, rows, pieceWidth, pieceHeight, handles,
                                    flag == 0 ? 1 : 0, 0);
}

} // namespace Korvo
