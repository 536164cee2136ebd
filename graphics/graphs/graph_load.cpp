// Loading graphs: from image files, image-file bytes or in-memory images, on
// the caller's thread or as a background job; the retry of an undecodable file
// as a movie; blank graphs.

#include "graphics/graphs/graph_load.h"
#include "core/system/message_pump_hooks.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/streams/stream_table.h"
#include "core/system/window_state.h"
#include "core/threads/async_load.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "graphics/device/graphics_state.h"
#include "image/pixel_access.h"
#include "image/raster_image.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kFullPathCapacity = 1024;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Every image and its alpha image converted so that the transparent colour is
// alpha 0 and its neighbours lend it their colour (no dark fringes when filtered).
static int ConvertTransparentToAlpha(const RasterImage *color, uint32_t transparent, RasterImage *out)
{
    if (AllocArgb32Image(color->width, color->height, out) != 0) {
        return -1;
    }
    RasterImage *source = const_cast<RasterImage *>(color);
    bool hasAlpha = color->format.maskA != 0;
    for (int y = 0; y < color->height; ++y) {
        for (int x = 0; x < color->width; ++x) {
            int r = 0;
            int g = 0;
            int b = 0;
            int a = 0;
            ReadImagePixelRgba(source, x, y, &r, &g, &b, &a);
            uint32_t rgb = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
            WriteImagePixelRgba(out, x, y, r, g, b, rgb == transparent ? 0 : (hasAlpha ? a : 255));
        }
    }
    static const int kNeighbours[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    for (int y = 0; y < color->height; ++y) {
        for (int x = 0; x < color->width; ++x) {
            int r = 0;
            int g = 0;
            int b = 0;
            ReadImagePixelRgba(source, x, y, &r, &g, &b, nullptr);
            uint32_t rgb = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
            if (rgb == transparent) {
                continue;
            }
            for (const int *step : kNeighbours) {
                int nx = x + step[0];
                int ny = y + step[1];
                if (nx < 0 || ny < 0 || nx >= color->width || ny >= color->height) {
                    continue;
                }
                int nr = 0;
                int ng = 0;
                int nb = 0;
                ReadImagePixelRgba(source, nx, ny, &nr, &ng, &nb, nullptr);
                uint32_t neighbour = (static_cast<uint32_t>(nr) << 16) | (static_cast<uint32_t>(ng) << 8) |
                                     static_cast<uint32_t>(nb);
                if (neighbour == transparent) {
                    WriteImagePixelRgba(out, nx, ny, r, g, b, 0);
                }
            }
        }
    }
    return 0;
}

// Pack a request and its file path and image records into a job for callback; null on failure.
static AsyncLoadJob *PackLoadJob(const GraphLoadRequest *request, const int *extraInts, int extraCount,
                                 AsyncLoadCallback callback)
{
    char fullPath[kFullPathCapacity];
    const char *path = nullptr;
    if (request->fileName != nullptr) {
        MakeAbsolutePath(request->fileName, fullPath, nullptr);
        path = fullPath;
    }
    AsyncLoadJob *job = nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        void *area = pass == 0 ? nullptr : job->params;
        int offset = 0;
        if (PutAsyncParamBytes(area, &offset, request, static_cast<int>(sizeof(*request))) != 0 ||
            PutAsyncParamString(area, &offset, path) != 0) {
            return nullptr;
        }
        PutAsyncParamInt(area, &offset, extraCount);
        for (int i = 0; i < extraCount; ++i) {
            PutAsyncParamInt(area, &offset, extraInts[i]);
        }
        const RasterImage *images[2] = {request->colorImage, request->alphaImage};
        for (const RasterImage *image : images) {
            PutAsyncParamInt(area, &offset, image != nullptr ? 1 : 0);
            if (image != nullptr) {
                PutAsyncParamBytes(area, &offset, image, static_cast<int>(sizeof(*image)));
            }
        }
        if (pass == 0) {
            job = AllocAsyncLoadJob(offset);
            if (job == nullptr) {
                return nullptr;
            }
        }
    }
    job->callback = callback;
    return job;
}

// The movie module's file retry: the graph becomes a movie's picture; 0 or -1.
static int LoadGraphFileAsMovie(GraphLoadRequest *request, int handle, const char *path, void *asyncContext)
{
    const GraphMovieHooks *hooks = GetGraphMovieHooks();
    int movie = hooks->createMovieHandleFromFile != nullptr
                    ? hooks->createMovieHandleFromFile(path, request->settings.movieLoadOption, asyncContext) : -1;
    if (movie == -1) {
        return AppendLogLineFormat("右記のグラフィックファイルのロードに失敗しました：%s ", path);
    }
    int width = 0;
    int height = 0;
    int alphaRightHalf = 0;
    int theora = 0;
    if (hooks->getMovieLayout != nullptr) {
        hooks->getMovieLayout(movie, &width, &height, &alphaRightHalf, &theora);
    }
    GraphCreateSettings settings = request->settings.create;
    settings.colorBits = ScreenDepthForGraphs();
    settings.drawableParam3 = 0;
    settings.plainParam4 = 0;
    settings.managedTexture = 0;
    settings.option17 = 1;
    if (theora != 0 && alphaRightHalf == 0) {
        settings.drawable = 1;
    }
    if (alphaRightHalf != 0) {
        width /= 2;
    }
    if (SetupGraphImageSet(&settings, handle, width, height, 0, alphaRightHalf, 0, 0, -1, asyncContext) != 0) {
        if (hooks->deleteMovieHandle != nullptr) {
            hooks->deleteMovieHandle(movie);
        }
        AppendLogText("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：");
        return AppendLogLineFormat("%s", path);
    }
    GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
    record->movieHandle = movie;
    if (hooks->setMovieFrameCallback != nullptr) {
        hooks->setMovieFrameCallback(movie, TransferMovieFrameToGraph, handle);
    }
    return 0;
}

// A request with its settings, target and flags; no source yet.
static void BeginLoadRequest(GraphLoadRequest *request, const GraphLoadSettings *settings, int reload, int handle,
                             int callerFlag, int mirror)
{
    *request = GraphLoadRequest{};
    request->settings = *settings;
    request->reload = reload;
    request->handle = reload != 0 ? handle : -1;
    request->baseHandle = -1;
    request->callerFlag = callerFlag;
    request->mirror = mirror;
}

// The end of a job that loads into one graph. A new graph whose load failed is
// destroyed while the job still counts it (the deletion lets its own job
// through): a deletion or shut-down on the main thread meanwhile waits for the
// job instead of freeing the graph and its image set under it.
static void EndSingleGraphJob(AsyncLoadJob *job, int handle, int reload, int result)
{
    if (PassAsyncJobCheckpoint(job, GRAPH_JOB_LOADED) != 0) {
        result = -1;
    }
    if (result != 0 && reload == 0) {
        DestroyGraphsFromJob(&handle, 1, job);
    } else {
        ReleasePendingLoadJob(handle);
    }
}

static int RunGraphLoadJob(AsyncLoadJob *job)
{
    GraphLoadRequest request;
    RasterImage images[2];
    UnpackLoadJob(job, &request, images, nullptr, 0);
    EndSingleGraphJob(job, request.handle, request.reload, RunGraphLoadRequest(&request, job));
    return 0;
}

// A blank graph set up on a worker: the settings, then handle, width, height, flag, alpha.
static int RunBlankGraphJob(AsyncLoadJob *job)
{
    int offset = 0;
    GraphCreateSettings settings;
    std::memcpy(&settings, TakeAsyncParamBytes(job->params, &offset), sizeof(settings));
    int values[5];
    for (int &value : values) {
        value = TakeAsyncParamInt(job->params, &offset);
    }
    int result = SetupGraphImageSet(&settings, values[0], values[1], values[2], values[3], values[4], 0, 0, -1, job);
    EndSingleGraphJob(job, values[0], 0, result);
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void RecordGraphLoadSource(const GraphLoadRequest *request, int handle, const GraphSourceImages *images,
                           void *asyncContext)
{
    char fullPath[kFullPathCapacity];
    const char *path = nullptr;
    if (request->fileName != nullptr) {
        MakeAbsolutePath(request->fileName, fullPath, nullptr);
        path = fullPath;
    }
    SetGraphRestoreSource(&request->settings.keepNoRestoreSource, handle, path, request->memoryImage,
                          request->memoryImageSize, request->alphaMemoryImage, request->alphaMemoryImageSize,
                          images->color, images->alpha, request->mirror, -1, asyncContext);
}

void DestroyGraphsFromJob(const int *handles, int count, void *asyncContext)
{
    for (int i = 0; i < count; ++i) {
        GraphRecord *record = GetGraphRecord(handles[i], 1);
        if (record == nullptr || record->imageSet == nullptr) {
            continue;
        }
        int going = 0;
        for (int j = 0; j < count; ++j) {
            GraphRecord *other = GetGraphRecord(handles[j], 1);
            going += other != nullptr && other->imageSet == record->imageSet ? 1 : 0;
        }
        if (going >= record->imageSet->useCount) {
            ReleaseGraphImageTextures(record->imageSet, asyncContext);
        }
    }
    for (int i = 0; i < count; ++i) {
        DestroyGraphHandle(handles[i], 0);
    }
}

AsyncLoadJob *PackGraphLoadJob(const GraphLoadRequest *request, const int *extraInts, int extraCount,
                               AsyncLoadCallback callback)
{
    return PackLoadJob(request, extraInts, extraCount, callback);
}

int UnpackLoadJob(AsyncLoadJob *job, GraphLoadRequest *request, RasterImage images[2], int *extraInts,
                  int extraCapacity)
{
    int offset = 0;
    std::memcpy(request, TakeAsyncParamBytes(job->params, &offset), sizeof(*request));
    request->fileName = TakeAsyncParamString(job->params, &offset);
    int extraCount = TakeAsyncParamInt(job->params, &offset);
    for (int i = 0; i < extraCount; ++i) {
        int value = TakeAsyncParamInt(job->params, &offset);
        if (i < extraCapacity) {
            extraInts[i] = value;
        }
    }
    const RasterImage **targets[2] = {&request->colorImage, &request->alphaImage};
    for (int i = 0; i < 2; ++i) {
        *targets[i] = nullptr;
        if (TakeAsyncParamInt(job->params, &offset) != 0) {
            std::memcpy(&images[i], TakeAsyncParamBytes(job->params, &offset), sizeof(RasterImage));
            *targets[i] = &images[i];
        }
    }
    return extraCount;
}

int DecodeGraphSourceImages(const GraphLoadRequest *request, GraphSourceImages *out)
{
    *out = GraphSourceImages{};
    int result = -1;
    if (request->fileName != nullptr || request->memoryImage != nullptr) {
        bool fromFile = request->fileName != nullptr;
        result = LoadImageAndAlphaWithParams(&request->settings.imageParams, request->fileName,
                                             fromFile ? nullptr : request->memoryImage,
                                             fromFile ? 0 : request->memoryImageSize, fromFile ? 0 : 1,
                                             fromFile ? nullptr : request->alphaMemoryImage,
                                             fromFile ? 0 : request->alphaMemoryImageSize, fromFile ? 0 : 1,
                                             &out->colorStore, &out->alphaStore, 0);
        out->owned = 1;
        out->color = result >= 0 ? &out->colorStore : nullptr;
        out->alpha = result == 0 ? &out->alphaStore : nullptr;
        if (result == 1) {
            FreeImageRecord(&out->alphaStore);
        }
    } else if (request->colorImage != nullptr) {
        out->color = const_cast<RasterImage *>(request->colorImage);
        out->alpha = const_cast<RasterImage *>(request->alphaImage);
        result = 1;
    }
    if (result < 0) {
        *out = GraphSourceImages{};
        return -1;
    }
    out->mirror = request->mirror;
    if (request->mirror == 1) {
        MirrorImageLeftRight(out->color);
        if (out->alpha != nullptr) {
            MirrorImageLeftRight(out->alpha);
        }
    }
    return result;
}

void ReleaseGraphSourceImages(GraphSourceImages *images)
{
    if (images->owned != 0) {
        FreeImageRecord(&images->colorStore);
        FreeImageRecord(&images->alphaStore);
    } else if (images->mirror == 1) {
        // The caller's images leave as they came.
        if (images->color != nullptr) {
            MirrorImageLeftRight(images->color);
        }
        if (images->alpha != nullptr) {
            MirrorImageLeftRight(images->alpha);
        }
    }
    *images = GraphSourceImages{};
}

int BuildGraphFromImagesCore(const GraphLoadSettings *settings, int reload, int handle, const RasterImage *color,
                             const RasterImage *alpha, int callerFlag, void *asyncContext)
{
    RasterImage converted = {};
    GraphCreateSettings create = settings->create;
    if (reload == 0 && settings->transparentToAlpha == 1 && settings->noTransparentColor == 0) {
        if (ConvertTransparentToAlpha(color, static_cast<uint32_t>(create.transparentColor) & 0xFFFFFF,
                                      &converted) != 0) {
            return -1;
        }
        color = &converted;
    }
    RasterImage colorCopy = *color;
    UpdateFormatUnusedBits(&colorCopy.format);
    RasterImage alphaCopy = {};
    if (alpha != nullptr) {
        alphaCopy = *alpha;
        UpdateFormatUnusedBits(&alphaCopy.format);
    }
    const RasterImage *alphaUsed = alpha != nullptr ? &alphaCopy : nullptr;
    if (settings->transparentFromTopLeft == 1) {
        create.transparentColor = static_cast<int>(ReadImagePixelAsArgb(&colorCopy, 0, 0) & 0xFFFFFF);
    }
    int transparentFlag = settings->noTransparentColor == 0 ? 1 : 0;
    int result = 0;
    if (reload != 0) {
        GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
        if (record == nullptr || record->width != colorCopy.width || record->height != colorCopy.height ||
            (alphaUsed != nullptr && (alphaUsed->width != colorCopy.width || alphaUsed->height != colorCopy.height))) {
            result = -1;
        } else {
            if (settings->transparentFromTopLeft == 1 && record->imageSet != nullptr) {
                record->imageSet->transparentColor = static_cast<uint32_t>(create.transparentColor);
            }
            result = UploadImagesToGraph(&colorCopy, alphaUsed, 0, 0, handle, transparentFlag, asyncContext);
        }
    } else {
        result = SetupGraphForImages(&create, handle, &colorCopy, alphaUsed, callerFlag, asyncContext);
        if (result == 0) {
            result = UploadImagesToGraph(&colorCopy, alphaUsed, 0, 0, handle, transparentFlag, asyncContext);
        }
    }
    FreeImageRecord(&converted);
    return result;
}

int RunGraphLoadRequest(GraphLoadRequest *request, void *asyncContext)
{
    GraphSourceImages images;
    if (DecodeGraphSourceImages(request, &images) < 0) {
        if (request->reload == 1 || request->fileName == nullptr) {
            return -1;
        }
        char fullPath[kFullPathCapacity];
        MakeAbsolutePath(request->fileName, fullPath, nullptr);
        StreamHandle stream = OpenFileStream(fullPath, 0, 1, 0);
        if (stream == 0) {
            return AppendLogLineFormat("画像ファイル %s がありません", fullPath);
        }
        CloseFileStream(stream);
        return LoadGraphFileAsMovie(request, request->handle, fullPath, asyncContext) == 0 ? 0 : -1;
    }
    int result = BuildGraphFromImagesCore(&request->settings, request->reload, request->handle, images.color,
                                          images.alpha, request->callerFlag, asyncContext);
    if (result == 0) {
        RecordGraphLoadSource(request, request->handle, &images, asyncContext);
    }
    ReleaseGraphSourceImages(&images);
    return result;
}

int StartGraphLoadRequest(GraphLoadRequest *request, int backgroundFlag, void *asyncContext)
{
    if (asyncContext == nullptr && GetAppActiveState() == 0) {
        WaitWhileAppInactive();
    }
    if (request->reload == 1) {
        if (HasPendingLoadJob(request->handle) != 0) {
            return -1;
        }
    } else {
        request->handle = NewGraphHandle();
        if (request->handle == -1) {
            return -1;
        }
    }
    int result = -1;
    if (backgroundFlag != 0 && asyncContext == nullptr) {
        AsyncLoadJob *job = PackLoadJob(request, nullptr, 0, RunGraphLoadJob);
        if (job != nullptr && QueueAsyncLoadJobForHandle(job, request->handle) == 0) {
            return request->reload == 1 ? 0 : request->handle;
        }
    } else {
        result = RunGraphLoadRequest(request, asyncContext);
    }
    if (result == 0) {
        return request->reload == 1 ? 0 : request->handle;
    }
    if (request->reload == 0) {
        DestroyGraphHandle(request->handle, 0);
    }
    return -1;
}

int CreateGraphFromImageFile(const char *fileName, int flag)
{
    GraphLoadRequest request = {};
    CaptureGraphLoadSettings(&request.settings);
    request.handle = -1;
    request.baseHandle = -1;
    request.fileName = fileName;
    request.callerFlag = flag == 0 ? 1 : 0;
    return StartGraphLoadRequest(&request, GetLoadInBackgroundFlag(), nullptr);
}

int CreateGraphFromImageBytes(const GraphLoadSettings *settings, int reload, int handle, const void *image,
                              int imageSize, const void *alphaImage, int alphaImageSize, int callerFlag,
                              int mirror, int backgroundFlag)
{
    GraphLoadRequest request;
    BeginLoadRequest(&request, settings, reload, handle, callerFlag, mirror);
    request.memoryImage = image;
    request.memoryImageSize = imageSize;
    request.alphaMemoryImage = alphaImage;
    request.alphaMemoryImageSize = alphaImageSize;
    return StartGraphLoadRequest(&request, backgroundFlag, nullptr);
}

int BuildGraphFromBaseImagesEx(const GraphLoadSettings *settings, int reload, int handle, const RasterImage *color,
                               const RasterImage *alpha, int callerFlag, int mirror, int backgroundFlag,
                               void *asyncContext)
{
    GraphLoadRequest request;
    BeginLoadRequest(&request, settings, reload, handle, callerFlag, mirror);
    request.colorImage = color;
    request.alphaImage = alpha;
    return StartGraphLoadRequest(&request, backgroundFlag, asyncContext);
}

int BuildGraphFromBaseImages(const RasterImage *color, const RasterImage *alpha, int callerFlag)
{
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    int handle = NewGraphHandle();
    if (handle == -1) {
        return -1;
    }
    if (BuildGraphFromImagesCore(&settings, 0, handle, color, alpha, callerFlag, nullptr) != 0) {
        DestroyGraphHandle(handle, 0);
        return -1;
    }
    return handle;
}

int CreateBlankGraphFromSettings(const GraphCreateSettings *settings, int width, int height, int flag,
                                 int backgroundFlag, void *asyncContext)
{
    if (asyncContext == nullptr && GetAppActiveState() == 0) {
        WaitWhileAppInactive();
    }
    int handle = NewGraphHandle();
    if (handle == -1) {
        return -1;
    }
    if (backgroundFlag != 0 && asyncContext == nullptr) {
        int offset = 0;
        AsyncLoadJob *job = AllocAsyncLoadJob(static_cast<int>(sizeof(*settings)) + 2 + 4 * 5);
        if (job != nullptr) {
            job->callback = RunBlankGraphJob;
            PutAsyncParamBytes(job->params, &offset, settings, static_cast<int>(sizeof(*settings)));
            const int values[5] = {handle, width, height, flag, settings->blankAlpha};
            for (int value : values) {
                PutAsyncParamInt(job->params, &offset, value);
            }
            if (QueueAsyncLoadJobForHandle(job, handle) == 0) {
                return handle;
            }
        }
        DestroyGraphHandle(handle, 0);
        return -1;
    }
    // SetupGraphImageSet deletes the handle when it fails.
    if (SetupGraphImageSet(settings, handle, width, height, flag, settings->blankAlpha, 0, 0, -1, asyncContext) != 0) {
        return -1;
    }
    return handle;
}

} // namespace Korvo
