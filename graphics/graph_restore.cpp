// Restoring graphs after a device rebuild.

#include "graphics/graph_restore.h"

#include "core/memory/handle_manager.h"
#include "graphics/graph_image_set.h"
#include "graphics/graph_load.h"
#include "graphics/graph_movie_hooks.h"
#include "graphics/graph_record.h"

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
    int result = 0;
    std::vector<GraphImageSet *> made;
    ForEachGraph([&](GraphRecord *record) {
        GraphImageSet *set = record->imageSet;
        if (set == nullptr || set->params.deviceTexture == 0) {
            return;
        }
        bool done = false;
        for (GraphImageSet *seen : made) {
            done = done || seen == set;
        }
        if (!done) {
            made.push_back(set);
            if (CreateGraphImageTextures(nullptr, set) != 0) {
                result = -1;
            }
        }
        BuildGraphDrawPieces(record->header.handle, 0);
    });
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
    for (GraphRestoreSource *source : sources) {
        if (ReloadGraphsOfSource(source) != 0) {
            result = -1;
        }
    }
    return result;
}

int GetGraphRestoreDecodeCount()
{
    return RestoreDecodeCount;
}

} // namespace Korvo
