// Restoring graphs after a device rebuild.

#include "graphics/graphs/graph_restore.h"

#include "core/log/error_log.h"
#include "core/memory/handle_manager.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_image_set.h"
#include "graphics/graphs/graph_load.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "graphics/graphs/graph_record.h"

#include <cstring>
#include <vector>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int RestoreDecodeCount = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

template <typename Visit> static void ForEachGraph(Visit visit)
{
    HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_GRAPH];
    for (HandleChainNode *node = entry.chainHead.next; entry.registered != 0 && node != &entry.chainTail;
         node = node->next) {
        visit(static_cast<GraphRecord *>(node->data));
    }
}

// Decode a source once and put each graph's cell of it back into the graph.
static int ReloadGraphsOfSource(GraphRestoreSource *source)
{
    GraphLoadRequest request = {};
    SetupImageLoadParams(&request.settings.imageParams);
    request.fileName = source->fileName;
    request.memoryImage = source->memoryImage;
    request.memoryImageSize = source->memoryImageSize;
    request.alphaMemoryImage = source->alphaMemoryImage;
    request.alphaMemoryImageSize = source->alphaMemoryImageSize;
    request.colorImage = source->colorImage;
    request.alphaImage = source->alphaImage;
    request.mirror = source->mirror;
    GraphSourceImages images;
    if (DecodeGraphSourceImages(&request, &images) < 0) {
        if (source->fileName != nullptr) {
            AppendLogLineFormat("ファイル:%s がロードできませんでした", source->fileName);
        } else if (source->memoryImage != nullptr) {
            AppendLogText("メモリからの画像データのローができませんでした");
        }
        return -1;
    }
    ++RestoreDecodeCount;
    int result = 0;
    ForEachGraph([&](GraphRecord *record) {
        if (record->restoreSource != source || record->imageSet == nullptr) {
            return;
        }
        RECT cell = {record->sourceX, record->sourceY, record->sourceX + record->width,
                     record->sourceY + record->height};
        if (TransferImageRectToGraph(record->header.handle, &cell, 0, 0, images.color, images.alpha,
                                     record->imageSet->params.blendGraph, 1, 0, nullptr) != 0) {
            result = -1;
        }
    });
    ReleaseGraphSourceImages(&images);
    return result;
}

// Remake each Direct3D image set once (however many graphs share it) and
// rebuild the view of every graph on it; 0, -1 when a set failed.
template <typename Remake> static int RemakeGraphImages(Remake remake)
{
    int result = 0;
    std::vector<GraphImageSet *> made;
    ForEachGraph([&](GraphRecord *record) {
        GraphImageSet *set = record->imageSet;
        if (set == nullptr) {
            return;
        }
        bool remade = false;
        for (GraphImageSet *seen : made) {
            remade = remade || seen == set;
        }
        if (!remade && set->params.deviceTexture != 0) {
            made.push_back(set);
            remade = true;
            if (remake(set) != 0) {
                result = -1;
            }
        }
        if (!remade) {
            return;
        }
        if (set->params.deviceTexture == 0) {
            record->drawPieceCount = 0;
        }
        BuildGraphDrawPieces(record->header.handle, 0);
    });
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ReleaseGraphDeviceTextures()
{
    const GraphMovieHooks *movies = GetGraphMovieHooks();
    ForEachGraph([movies](GraphRecord *record) {
        ReleaseGraphImageTextures(record->imageSet, nullptr);
        // A movie's device surfaces go with the device, too.
        if (record->movieHandle != -1 && movies->markMovieSurfaceLost != nullptr) {
            movies->markMovieSurfaceLost(record->movieHandle);
        }
    });
    ReleaseAllSystemMemoryTextures();
    return 0;
}

int RestoreGraphDeviceTextures()
{
    return RemakeGraphImages([](GraphImageSet *set) { return CreateGraphImageTextures(nullptr, set); });
}

int RestoreGraphsInSoftware()
{
    return RemakeGraphImages([](GraphImageSet *set) { return ConvertImageSetToSoftware(set); });
}

int RestoreAllGraphs()
{
    AppendLogText("グラフィックを復帰します\n");
    std::vector<GraphRestoreSource *> sources;
    ForEachGraph([&](GraphRecord *record) {
        GraphRestoreSource *source = record->restoreSource;
        if (source == nullptr) {
            return;
        }
        for (GraphRestoreSource *seen : sources) {
            if (seen == source) {
                return;
            }
        }
        sources.push_back(source);
    });
    int result = 0;
    for (GraphRestoreSource *source : sources) {
        if (ReloadGraphsOfSource(source) != 0) {
            result = -1;
        }
    }
    AppendLogText("グラフィックの復帰が完了しました\n");
    return result;
}

int RunGraphRestore()
{
    // Every reload happens now, not as a load job.
    int background = GetLoadInBackgroundFlag();
    SetLoadInBackgroundFlag(0);
    int result = 0;
    if (Draw.graphRestoreCallback != nullptr) {
        Draw.graphRestoreCallback();
    } else {
        result = RestoreAllGraphs();
    }
    if (RunDeviceRestoreHooks() != 0) {
        result = -1;
    }
    SetLoadInBackgroundFlag(background);
    return result;
}

int GetGraphRestoreDecodeCount()
{
    return RestoreDecodeCount;
}

} // namespace Korvo
