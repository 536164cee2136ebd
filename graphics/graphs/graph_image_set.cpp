// Graph image sets: their parameters, the division of a side into texture
// pieces, the set-up of a new graph's set, and each graph's view into a set.

#include "graphics/graphs/graph_image_set.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/format_slots.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "image/color_format.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int DeviceMaxTextureSize()
{
    return DeviceCaps.maxTextureSize > 0 ? DeviceCaps.maxTextureSize : 256;
}

static int CountMipLevelsToOne(int width, int height)
{
    int levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

// The texture format slot a software set records: the colour texture kind of the same layout.
static int SoftwareSetFormatSlot(int alpha, int bits)
{
    if (bits == 16) {
        return alpha != 0 ? FORMAT_SLOT_ALPHA16 : FORMAT_SLOT_COLOR16;
    }
    return alpha != 0 ? FORMAT_SLOT_ALPHA32 : FORMAT_SLOT_COLOR32;
}

// The MEMIMG of a software set (its params, size and transparent colour set);
// null, or the log text of the failure.
static const char *AllocateSoftwareImage(GraphImageSet *set)
{
    const GraphImageParams &params = set->params;
    if (params.blendGraph != 0) {
        set->formatSlot = -1;
        if (AllocateMemImg(&set->memImg, set->width, set->height, -1, 0, MEMIMG_KIND_GRAY8, 0, 0, 0, nullptr) != 0) {
            return "ブレンド画像用メモリイメージの作成に失敗しました\n";
        }
        return nullptr;
    }
    bool bits16 = params.colorBits == 16;
    set->formatSlot = SoftwareSetFormatSlot(params.alpha, params.colorBits);
    uint32_t transparent = 0xFFFF;
    if (params.palette == 0) {
        const ColorFormatDesc *format =
            LookupMemImgFormatDesc(bits16 ? MEMIMG_KIND_RGB565 : MEMIMG_KIND_XRGB32, params.alpha, 0);
        transparent = PackColorInFormat(format, (set->transparentColor >> 16) & 0xFF,
                                        (set->transparentColor >> 8) & 0xFF, set->transparentColor & 0xFF, 255);
    }
    if (AllocateMemImg(&set->memImg, set->width, set->height, -1, transparent,
                       bits16 ? MEMIMG_KIND_RGB565 : MEMIMG_KIND_XRGB32, params.palette, params.alpha, 1,
                       nullptr) != 0) {
        return "メモリイメージの作成に失敗しました\n";
    }
    return nullptr;
}

// Texture pieces of a Direct3D set: columns by rows, non-square pieces split
// into squares where the device takes only square textures. Count first (pieces null), then fill.
static int LayOutTexturePieces(const short *columns, int columnCount, const short *rows, int rowCount,
                               GraphTexturePiece *pieces)
{
    int count = columnCount * rowCount;
    int extra = count;
    int y = 0;
    for (int r = 0; r < rowCount; ++r) {
        int x = 0;
        for (int c = 0; c < columnCount; ++c) {
            int w = columns[c];
            int h = rows[r];
            int index = r * columnCount + c;
            if (pieces != nullptr) {
                pieces[index] = GraphTexturePiece{};
                pieces[index].x = x;
                pieces[index].y = y;
                pieces[index].textureWidth = w;
                pieces[index].textureHeight = h;
            }
            if (DeviceCaps.squareOnly != 0 && w != h) {
                int side = w < h ? w : h;
                int squares = (w < h ? h : w) / side;
                if (pieces != nullptr) {
                    pieces[index].textureWidth = side;
                    pieces[index].textureHeight = side;
                    for (int s = 1; s < squares; ++s) {
                        GraphTexturePiece &square = pieces[extra + s - 1];
                        square = pieces[index];
                        square.x = w > h ? x + s * side : x;
                        square.y = w > h ? y : y + s * side;
                    }
                }
                extra += squares - 1;
            }
            x += w;
        }
        y += rows[r];
    }
    (void)count;
    return extra;
}

// A Direct3D set with its pieces in one block; null when memory fails.
static GraphImageSet *AllocateDeviceImageSet(const GraphCreateSettings *settings, const GraphImageParams &params,
                                             int width, int height)
{
    int forceSplit = params.drawable != 0 ? 0 : 1;
    int columnCount = SplitTextureSize(settings->maxPieceSize, width, nullptr, 1, forceSplit);
    int rowCount = SplitTextureSize(settings->maxPieceSize, height, nullptr, 1, forceSplit);
    short *sizes = static_cast<short *>(KORVO_TRACKED_ALLOC(sizeof(short) * (columnCount + rowCount)));
    if (sizes == nullptr) {
        return nullptr;
    }
    SplitTextureSize(settings->maxPieceSize, width, sizes, 1, forceSplit);
    SplitTextureSize(settings->maxPieceSize, height, sizes + columnCount, 1, forceSplit);
    int pieceCount = LayOutTexturePieces(sizes, columnCount, sizes + columnCount, rowCount, nullptr);
    size_t head = (sizeof(GraphImageSet) + 15) & ~static_cast<size_t>(15);
    GraphImageSet *set = static_cast<GraphImageSet *>(
        KORVO_TRACKED_ALLOC_ZEROED(head + sizeof(GraphTexturePiece) * static_cast<size_t>(pieceCount)));
    if (set != nullptr) {
        set->pieces = reinterpret_cast<GraphTexturePiece *>(reinterpret_cast<uint8_t *>(set) + head);
        set->pieceCount = pieceCount;
        LayOutTexturePieces(sizes, columnCount, sizes + columnCount, rowCount, set->pieces);
    }
    TrackedFree(sizes);
    return set;
}

// Store one piece size when sizes are wanted; 1.
static int PutPieceSize(short *sizes, int index, int size)
{
    if (sizes != nullptr) {
        sizes[index] = static_cast<short>(size);
    }
    return 1;
}

// A failed set-up deletes the graph. Inside a load job the job's own handle is
// left to the job, which deletes it once its pending load is released (deleting
// it here would wait for the job itself).
static int FailImageSetSetup(int handle, const char *message, void *asyncContext)
{
    if (message != nullptr) {
        AppendLogText(message);
    }
    if (asyncContext == nullptr) {
        DestroyGraphHandle(handle, 0);
    }
    return -1;
}

// Overlap of [a, a + aLength) and [b, b + bLength).
static int OverlapLength(int a, int aLength, int b, int bLength)
{
    int start = a > b ? a : b;
    int end = a + aLength < b + bLength ? a + aLength : b + bLength;
    return end > start ? end - start : 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void BuildGraphImageParams(int mipCount, GraphImageParams *params, const GraphCreateSettings *settings, int width,
                           int height, int alphaFlag, int paletteFlag, int blockFormat)
{
    std::memset(params, 0, sizeof(*params));
    params->deviceTexture = GraphicsState.direct3DModeActive != 0 ? 1 : 0;
    params->managedPool = static_cast<uint8_t>(settings->managedTexture != 0);
    params->blockFormat = static_cast<uint8_t>(blockFormat);
    int levels = mipCount;
    if (levels == -1) {
        levels = settings->mipLevels == -1 ? CountMipLevelsToOne(width, height)
                                           : (settings->mipLevels == 0 ? 1 : settings->mipLevels);
    }
    params->mipLevels = static_cast<uint8_t>(levels);
    if (settings->drawable == 1) {
        params->drawable = 1;
        params->alpha = static_cast<uint8_t>(settings->drawableAlpha != 0);
        params->managedPool = 0;
        params->mipLevels = 1;
        params->multiSampleCount = static_cast<uint8_t>(settings->multiSampleCount);
        params->multiSampleQuality = static_cast<uint8_t>(settings->multiSampleQuality);
    } else {
        params->alpha = static_cast<uint8_t>(alphaFlag != 0);
        params->alphaTest = static_cast<uint8_t>(settings->plainParam4);
        params->blendGraph = static_cast<uint8_t>(settings->blendGraph != 0);
    }
    if (params->deviceTexture != 0) {
        int bits = settings->colorBits != 0 ? settings->colorBits : (alphaFlag != 0 ? 32 : ScreenDepthForGraphs());
        params->colorBits = static_cast<uint8_t>(bits);
        if (params->alpha != 0) {
            params->alphaTest = 0;
        }
        if (params->blendGraph != 0) {
            params->colorBits = 32;
            params->alpha = 1;
            params->drawable = 0;
            params->alphaTest = 0;
        } else if (params->drawable != 0) {
            params->channels = static_cast<uint8_t>(settings->drawableParam12);
            params->bitsPerChannel = static_cast<uint8_t>(settings->drawableParam3);
            params->floatFlag = static_cast<uint8_t>(settings->drawableParam10);
        }
    } else {
        params->blockFormat = 0;
        params->colorBits = static_cast<uint8_t>(settings->colorBits != 0 ? settings->colorBits
                                                                           : ScreenDepthForGraphs());
        params->softwareImage = 1;
        params->palette = static_cast<uint8_t>(paletteFlag != 0);
        params->managedPool = 0;
        params->drawable = params->blendGraph != 0 ? 0 : 1;
        params->mipLevels = 0;
        params->alphaTest = 0;
    }
}

int SplitTextureSize(int maxSize, int length, short *sizes, int mergeFlag, int forceFlag)
{
    (void)mergeFlag;
    int max = maxSize > 0 ? maxSize : DeviceMaxTextureSize();
    if (forceFlag == 0 && DeviceCaps.pow2Only == 0 && length <= max) {
        return PutPieceSize(sizes, 0, length);
    }
    if (length <= 1) {
        return PutPieceSize(sizes, 0, 1);
    }
    int e = max;
    while (e > 1 && e > length) {
        e >>= 1;
    }
    if (e * 2 <= max) {
        return PutPieceSize(sizes, 0, length == e ? e : e * 2);
    }
    // Pieces from the front; the last two are kept apart to merge them at the end.
    int count = 0;
    int beforeLast = 0;
    int last = 0;
    int rest = length;
    for (;;) {
        rest -= e;
        int piece = e;
        bool more = rest > 0 && (rest * 4 <= e * 3 || e == max);
        if (rest > 0 && !more) {
            piece = e * 2;
        }
        beforeLast = last;
        last = piece;
        PutPieceSize(sizes, count++, piece);
        if (!more) {
            break;
        }
        while (e > 1 && e > rest) {
            e >>= 1;
        }
    }
    if (count >= 2 && beforeLast == last && last * 2 <= max) {
        --count;
        PutPieceSize(sizes, count - 1, last * 2);
    }
    return count;
}

int SetupGraphImageSet(const GraphCreateSettings *settings, int handle, int width, int height, int callerFlag,
                       int alphaFlag, int paletteFlag, int blockFormat, int mipCount, void *asyncContext)
{
    (void)callerFlag;
    GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
    if (record == nullptr || width <= 0 || height <= 0) {
        return record != nullptr ? FailImageSetSetup(handle, nullptr, asyncContext) : -1;
    }
    GraphImageParams params;
    BuildGraphImageParams(mipCount, &params, settings, width, height, alphaFlag, paletteFlag, blockFormat);
    GraphImageSet *set = nullptr;
    if (params.deviceTexture != 0) {
        set = AllocateDeviceImageSet(settings, params, width, height);
    } else {
        set = static_cast<GraphImageSet *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(GraphImageSet)));
    }
    if (set == nullptr) {
        return FailImageSetSetup(handle, "グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n",
                                 asyncContext);
    }
    set->useCount = 1;
    set->params = params;
    set->transparentColor = static_cast<uint32_t>(settings->transparentColor) & 0xFFFFFF;
    set->width = width;
    set->height = height;
    record->imageSet = set;
    record->x = 0;
    record->y = 0;
    record->width = width;
    record->height = height;

    if (params.deviceTexture != 0) {
        TextureFormatRequest request;
        static_assert(sizeof(request) == sizeof(params), "image parameters double as the format request");
        std::memcpy(&request, &params, sizeof(request));
        set->formatSlot = ChooseFormatSlot(&request);
        set->mipLevelCount = set->formatSlot >= FORMAT_SLOT_DXT1 && set->formatSlot <= FORMAT_SLOT_DXT1 + 4
                                 ? 1 : params.mipLevels;
        if (set->mipLevelCount < 1) {
            set->mipLevelCount = 1;
        }
        for (int i = 0; i < set->pieceCount; ++i) {
            GraphTexturePiece &piece = set->pieces[i];
            int usedWidth = width - piece.x;
            int usedHeight = height - piece.y;
            piece.usedWidth = usedWidth < piece.textureWidth ? usedWidth : piece.textureWidth;
            piece.usedHeight = usedHeight < piece.textureHeight ? usedHeight : piece.textureHeight;
        }
        set->depthBuffer = params.drawable != 0 && settings->drawableDepth != 0 ? 1 : 0;
        if (CreateGraphImageTextures(asyncContext, set) != 0) {
            return FailImageSetSetup(handle, nullptr, asyncContext);
        }
    } else if (const char *failure = AllocateSoftwareImage(set)) {
        return FailImageSetSetup(handle, failure, asyncContext);
    }
    if (BuildGraphDrawPieces(handle, asyncContext != nullptr ? 1 : 0) != 0) {
        return FailImageSetSetup(handle, nullptr, asyncContext);
    }
    return 0;
}

int SetupGraphForImages(const GraphCreateSettings *settings, int handle, const RasterImage *color,
                        const RasterImage *alpha, int callerFlag, void *asyncContext)
{
    if (alpha != nullptr && (alpha->width != color->width || alpha->height != color->height)) {
        return -1;
    }
    int alphaFlag = alpha != nullptr || color->format.maskA != 0 ? 1 : 0;
    int paletteFlag = color->format.bytesPerPixel == 1 && color->format.maskA == 0 && alpha == nullptr ? 1 : 0;
    int mips = color->mipLevelCount != 0 ? color->mipLevelCount : -1;
    return SetupGraphImageSet(settings, handle, color->width, color->height, callerFlag, alphaFlag, paletteFlag,
                              color->format.blockFormat, mips, asyncContext);
}

int BuildGraphDrawPieces(int handle, int acceptLoading)
{
    GraphRecord *record = GetGraphRecord(handle, acceptLoading);
    if (record == nullptr || record->imageSet == nullptr) {
        return -1;
    }
    GraphImageSet *set = record->imageSet;
    if (set->params.deviceTexture == 0) {
        if (IsMemImgValid(&record->memImg) != 0) {
            DisposeMemImg(&record->memImg);
        }
        CreateMemImgSubView(&record->memImg, &set->memImg, record->x, record->y, record->width, record->height);
        return IsMemImgValid(&record->memImg) != 0 ? 0 : -1;
    }
    int marked = 0;
    for (int i = 0; i < set->pieceCount; ++i) {
        const GraphTexturePiece &piece = set->pieces[i];
        if (OverlapLength(piece.x, piece.textureWidth, record->x, record->width) > 0 &&
            OverlapLength(piece.y, piece.textureHeight, record->y, record->height) > 0) {
            ++marked;
        }
    }
    if (marked == 0) {
        return AppendLogText("テクスチャ描画情報の作成に失敗しました\n");
    }
    if (marked > kGraphInlineDrawPieces) {
        int size = static_cast<int>(sizeof(GraphRecord) + sizeof(GraphDrawPiece) * (marked - kGraphInlineDrawPieces));
        if (ResizeHandleRecord(handle, size) != 0) {
            return AppendLogText("画像描画情報格納用メモリの確保に失敗しました\n");
        }
        record = GetGraphRecord(handle, 1);
    }
    float ratio = static_cast<float>(record->height) / static_cast<float>(record->width);
    int out = 0;
    for (int i = 0; i < set->pieceCount; ++i) {
        GraphTexturePiece *piece = &set->pieces[i];
        int width = OverlapLength(piece->x, piece->textureWidth, record->x, record->width);
        int height = OverlapLength(piece->y, piece->textureHeight, record->y, record->height);
        if (width <= 0 || height <= 0) {
            continue;
        }
        GraphDrawPiece &draw = record->drawPieces[out++];
        draw.piece = piece;
        draw.destX = piece->x > record->x ? piece->x - record->x : 0;
        draw.sourceX = piece->x > record->x ? 0 : record->x - piece->x;
        draw.destY = piece->y > record->y ? piece->y - record->y : 0;
        draw.sourceY = piece->y > record->y ? 0 : record->y - piece->y;
        draw.width = width;
        draw.height = height;
        float x0 = static_cast<float>(draw.destX);
        float x1 = static_cast<float>(draw.destX + width);
        float y0 = static_cast<float>(draw.destY);
        float y1 = static_cast<float>(draw.destY + height);
        float u0 = static_cast<float>(draw.sourceX) / static_cast<float>(piece->textureWidth);
        float u1 = static_cast<float>(draw.sourceX + width) / static_cast<float>(piece->textureWidth);
        float v0 = static_cast<float>(draw.sourceY) / static_cast<float>(piece->textureHeight);
        float v1 = static_cast<float>(draw.sourceY + height) / static_cast<float>(piece->textureHeight);
        draw.vertices[0] = GraphDrawVertex{x0, y0, u0, v0};
        draw.vertices[1] = GraphDrawVertex{x1, y0, u1, v0};
        draw.vertices[2] = GraphDrawVertex{x0, y1, u0, v1};
        draw.vertices[3] = GraphDrawVertex{x1, y1, u1, v1};
        for (int v = 0; v < 4; ++v) {
            const GraphDrawVertex &vertex = draw.vertices[v];
            draw.cornerFlags[v] = vertex.y <= static_cast<float>(record->height) - vertex.x * ratio ? 1 : 0;
        }
    }
    record->drawPieceCount = out;
    return 0;
}

int DeriveSubGraph(int newHandle, int x, int y, int width, int height, int sourceHandle, void *asyncContext)
{
    GraphRecord *source = GetGraphRecordInContext(sourceHandle, asyncContext);
    GraphRecord *record = GetGraphRecordInContext(newHandle, asyncContext);
    if (source == nullptr || record == nullptr || source->imageSet == nullptr || x < 0 || y < 0 ||
        x >= source->width || y >= source->height || width <= 0 || height <= 0) {
        return -1;
    }
    if (x + width > source->width) {
        width = source->width - x;
    }
    if (y + height > source->height) {
        height = source->height - y;
    }
    record->imageSet = source->imageSet;
    ++record->imageSet->useCount;
    ShareGraphRestoreSource(newHandle, nullptr, 0, sourceHandle, asyncContext);
    record->sourceX = source->sourceX + x;
    record->sourceY = source->sourceY + y;
    record->x = source->x + x;
    record->y = source->y + y;
    record->width = width;
    record->height = height;
    return BuildGraphDrawPieces(newHandle, 1);
}

int CreateSubGraphInContext(int x, int y, int width, int height, int sourceHandle, void *asyncContext)
{
    int handle = NewGraphHandle();
    if (handle == -1) {
        return -1;
    }
    if (DeriveSubGraph(handle, x, y, width, height, sourceHandle, asyncContext) != 0) {
        DestroyGraphHandle(handle, 0);
        return -1;
    }
    return handle;
}

int CreateSubGraph(int x, int y, int width, int height, int sourceHandle)
{
    return CreateSubGraphInContext(x, y, width, height, sourceHandle, nullptr);
}

void ReleaseGraphImageTextures(GraphImageSet *set, void *asyncContext)
{
    if (set == nullptr || set->params.deviceTexture == 0) {
        return;
    }
    for (int i = 0; i < set->pieceCount; ++i) {
        GraphTexturePiece &piece = set->pieces[i];
        const void *objects[4] = {piece.surface, piece.multiSampleSurface, piece.depthSurface, piece.texture};
        for (const void *object : objects) {
            if (object != nullptr) {
                D3DRes_ReleaseOnMainThread(object, asyncContext);
            }
        }
        piece.surface = nullptr;
        piece.multiSampleSurface = nullptr;
        piece.depthSurface = nullptr;
        piece.texture = nullptr;
    }
}

int ConvertImageSetToSoftware(GraphImageSet *set)
{
    if (set == nullptr || set->params.deviceTexture == 0) {
        return 0;
    }
    ReleaseGraphImageTextures(set, nullptr);
    // The parameters a software set of this image would have been given.
    GraphImageParams &params = set->params;
    int blendGraph = params.blendGraph;
    int alpha = params.alpha;
    std::memset(&params, 0, sizeof(params));
    params.softwareImage = 1;
    params.blendGraph = static_cast<uint8_t>(blendGraph);
    params.alpha = static_cast<uint8_t>(blendGraph != 0 ? 0 : alpha);
    params.drawable = blendGraph != 0 ? 0 : 1;
    params.colorBits = static_cast<uint8_t>(ScreenDepthForGraphs());
    set->pieceCount = 0;
    set->mipLevelCount = 0;
    set->depthBuffer = 0;
    const char *failure = AllocateSoftwareImage(set);
    if (failure != nullptr) {
        AppendLogText(failure);
        return -1;
    }
    return 0;
}

void ReleaseGraphImageSet(GraphImageSet *set)
{
    if (set == nullptr || --set->useCount > 0) {
        return;
    }
    if (set->params.deviceTexture != 0) {
        ReleaseGraphImageTextures(set, nullptr);
    } else if (IsMemImgValid(&set->memImg) != 0) {
        DisposeMemImg(&set->memImg);
    }
    TrackedFree(set);
}

} // namespace Korvo
