// Graph filters: checks, clipping and the pass loop of one filter or blend
// operation, and the CPU pass that runs a filter's per-pixel routine between
// graph reads and the graph update.

#include "graphics/filters/graph_filters.h"

#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_target.h"
#include "graphics/filters/filter_device_passes.h"

#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "image/pixel_access.h"

#include <cstdarg>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The 256 gradient entries of a GradientMap pass; 0 or -1
static int ReadGradientTable(int graph, int reverse, uint32_t *table)
{
    if (GetGraphOrScreenSize(graph, nullptr, nullptr) != 0 || graph < 0) {
        return -1;
    }
    RasterImage gradient = {};
    if (ReadGraphRectToImage(graph, &gradient, nullptr) != 0) {
        return -1;
    }
    const int result = BuildGradientTable(gradient, reverse, table);
    FreeImageRecord(&gradient);
    return result;
}

// One pass on the CPU: load the images, run the routine, store what it wrote.
// A routine that fails leaves the target as it was.
static int RunCpuPass(GraphFilterPass *pass)
{
    uint32_t gradient[256];
    const bool gradientMap = pass->blendFlag == 0 && pass->type == GRAPH_FILTER_GRADIENT_MAP;
    if (gradientMap && ReadGradientTable(pass->params.ints[0], pass->params.ints[1], gradient) != 0) {
        return -1;
    }
    const int divisor = FilterOutputDivisor(pass->blendFlag, pass->type, pass->params);
    const int keepsDestination = FilterKeepsUnwrittenPixels(pass->blendFlag, pass->type);
    const int width = divisor > 1 ? (pass->rects.x2 - pass->rects.x1) / divisor : -1;
    const int height = divisor > 1 ? (pass->rects.y2 - pass->rects.y1) / divisor : -1;
    if (divisor > 1 && (width <= 0 || height <= 0)) {
        return 0;
    }
    if (LoadFilterPassImages(pass, keepsDestination == 0 ? 1 : 0, width, height) != 0) {
        return -1;
    }
    if (RunCpuFilterPass(pass->blendFlag, pass->type, pass->params, pass->ratio, pass->sourceImage,
                         pass->blendFlag != 0 ? &pass->blendImage : nullptr, pass->outputImage,
                         gradientMap ? gradient : nullptr) != 0) {
        FreeFilterPassImages(pass);
        return -1;
    }
    return StoreFilterPassResult(pass);
}

// A graph that is the current draw target and draws into multisample surfaces
// gets them resolved into its textures, so the filter reads what was drawn.
static void ResolveIfDrawTarget(int graph)
{
    if (graph < 0 || graph != GetSelectedDrawTarget() || IsGraphMultisampled(graph) == 0) {
        return;
    }
    GraphRecord *record = GetGraphRecord(graph, 0);
    if (record == nullptr || record->imageSet == nullptr) {
        return;
    }
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    for (int i = 0; i < record->imageSet->pieceCount; ++i) {
        ResolveMultisampleSurface(&record->imageSet->pieces[i]);
    }
}

// How many i32 parameters a single-graph filter reads (BrightClip: two more with a fill)
static int FilterParameterCount(int type, int firstThree[3])
{
    static const int kCounts[GRAPH_FILTER_TYPE_COUNT] = {2, 2, 1, 3, 4, 0, 5, 5, 2, 0};
    if (type == GRAPH_FILTER_BRIGHT_CLIP && firstThree != nullptr) {
        return firstThree[2] != 0 ? 5 : 3;
    }
    return kCounts[type];
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int RunGraphFilterOrBlend(int blendFlag, int source, int blendGraph, int destination, int ratio, int type, int x1,
                          int y1, int x2, int y2, int blendPosX, int blendPosY, int useBlendPosition, int destX,
                          int destY, const int *params)
{
    GraphRecord *sourceRecord = GetGraphRecord(source, 0);
    GraphRecord *destRecord = GetGraphRecord(destination, 0);
    if (sourceRecord == nullptr || destRecord == nullptr || x1 >= x2 || y1 >= y2 ||
        IsFilterTypeKnown(blendFlag, type) == 0 || (blendFlag != 0 && GetGraphRecord(blendGraph, 0) == nullptr)) {
        return -1;
    }
    GraphFilterPass pass;
    std::memset(&pass, 0, sizeof(pass));
    static const int kNoParameters[4] = {};
    if (DecodeFilterParameters(blendFlag, type, params != nullptr ? params : kNoParameters, &pass.params) != 0) {
        return -1;
    }
    ratio = ratio < 0 ? 0 : (ratio > 255 ? 255 : ratio);
    pass.blendFlag = blendFlag;
    pass.type = type;
    pass.blendGraph = blendFlag != 0 ? blendGraph : -1;
    pass.ratio = static_cast<float>(ratio) / 255.0f;
    pass.useBlendPosition = useBlendPosition;
    pass.rects = FilterRects{x1, y1, x2, y2, blendPosX, blendPosY, destX, destY};
    const int divisor = FilterOutputDivisor(blendFlag, type, pass.params);
    if (ClipFilterRects(&pass.rects, sourceRecord->width, sourceRecord->height, destRecord->width,
                        destRecord->height, divisor) == 0) {
        return 0;
    }
    ResolveIfDrawTarget(source);
    if (destination != source) {
        ResolveIfDrawTarget(destination);
    }
    if (blendFlag != 0) {
        ResolveIfDrawTarget(blendGraph);
    } else if (type == GRAPH_FILTER_GRADIENT_MAP) {
        ResolveIfDrawTarget(pass.params.ints[0]);
    }
    pass.source = source;
    pass.target = destination;
    pass.passIndex = 0;
    if (FilterShaderRoadAvailable(pass, destination) != 0) {
        return RunFilterShaderPasses(&pass, destination);
    }
    // The CPU road: one pass from the source straight into the destination.
    return RunCpuPass(&pass) != 0 ? -1 : 0;
}

// Filter a whole graph in place; the type's parameters follow as ints
int ApplyGraphFilter(int graph, int type, ...)
{
    int width = 0;
    int height = 0;
    if (GetGraphRecord(graph, 0) == nullptr || GetGraphOrScreenSize(graph, &width, &height) != 0 ||
        IsFilterTypeKnown(0, type) == 0) {
        return -1;
    }
    int params[8] = {};
    va_list list;
    va_start(list, type);
    int count = FilterParameterCount(type, nullptr);
    for (int i = 0; i < count; ++i) {
        params[i] = va_arg(list, int);
    }
    if (type == GRAPH_FILTER_BRIGHT_CLIP) {
        for (int i = count; i < FilterParameterCount(type, params); ++i) {
            params[i] = va_arg(list, int);
        }
    }
    va_end(list);
    return RunGraphFilterOrBlend(0, graph, -1, graph, 0, type, 0, 0, width, height, 0, 0, 0, 0, 0, params);
}

} // namespace Korvo
