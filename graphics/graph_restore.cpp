// Restoring graphs after a device rebuild.

#include "graphics/graph_restore.h"

#include "core/memory/handle_manager.h"
#include "graphics/graph_image_set.h"
#include "graphics/graph_load.h"
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

// Remake each Direct3D image set once (however many graphs share it), rebuild
// every graph's view of its set, then reload the pixels one decode per source.
template <typename Remake> static int RemakeImagesAndReload(Remake remake)
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

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ReleaseGraphDeviceTextures()
{
    ForEachGraph([](GraphRecord *record) { ReleaseGraphImageTextures(record->imageSet, nullptr); });
    ReleaseAllSystemMemoryTextures();
    return 0;
}

int RestoreGraphDeviceTextures()
{
    return RemakeImagesAndReload([](GraphImageSet *set) { return CreateGraphImageTextures(nullptr, set); });
}

int RestoreGraphsInSoftware()
{
    return RemakeImagesAndReload([](GraphImageSet *set) { return ConvertImageSetToSoftware(set); });
}

int GetGraphRestoreDecodeCount()
{
    return RestoreDecodeCount;
}

} // namespace Korvo
