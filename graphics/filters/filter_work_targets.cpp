// The render targets of the graph filters' shader passes. A pass may render into
// the graph it reads only when it reads nothing but the texel it writes, in an
// operation of one pass; every other operation renders into work graphs, kept
// per size class for the life of the process; the last one it renders into
// starts as the destination's pixels when the operation may leave some unwritten.

#include "graphics/filters/filter_work_targets.h"

#include "core/memory/handle_manager.h"
#include "core/public_api.h"
#include "graphics/filters/filter_device_passes.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/shading/shader_handles.h"

#include <cstdio>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr int kWorkSizeClasses = 16;

// Square work graphs of side 1 << class, two per class; 0 or below: not made.
static int WorkGraphs[kWorkSizeClasses][2];

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void LogWorkGraphFailure(int side)
{
    char text[160];
    std::snprintf(text, sizeof(text), "作業用描画可能テクスチャの作成に失敗しました Size:%dx%d\n", side, side);
    AppendLogText(text);
}

static int SizeClassFor(int side)
{
    int sizeClass = 0;
    while (sizeClass < kWorkSizeClasses - 1 && (1 << sizeClass) < side) {
        ++sizeClass;
    }
    return sizeClass;
}

// Whether two graphs draw from the same device textures (one graph, or one a part of the other)
static int SharesImageSet(int a, int b)
{
    GraphRecord *first = GetGraphRecord(a, 0);
    GraphRecord *second = GetGraphRecord(b, 0);
    return first != nullptr && second != nullptr && first->imageSet != nullptr && first->imageSet == second->imageSet
               ? 1
               : 0;
}

// The graph a type reads beside its pass source (blend graph, gradient), or -1
static int SecondGraphRead(const GraphFilterPass &pass)
{
    if (pass.blendFlag != 0) {
        return pass.blendGraph;
    }
    return pass.type == GRAPH_FILTER_GRADIENT_MAP ? pass.params.ints[0] : -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// NOTE: a pass that samples neighbours would read texels it has already
// overwritten, and a later pass that failed would leave an earlier one's
// half-way pixels; the start-up check proves only a pass that reads its own texel.
// So no pass renders into the textures it reads anywhere else than there.
int FilterRendersApartFromSource(const GraphFilterPass &pass, int destination)
{
    if (FilterNeedsSeparateTarget(pass.blendFlag, pass.type, pass.params) != 0 ||
        pass.rects.x1 != pass.rects.destX || pass.rects.y1 != pass.rects.destY ||
        GraphicsState.filterInPlaceUsable == 0) {
        return 1;
    }
    // A blend graph or gradient in the destination's textures is read at other places.
    const int second = SecondGraphRead(pass);
    if (second >= 0 && SharesImageSet(second, destination) != 0) {
        return 1;
    }
    // So is the source of an RGBAMix whose draw exchanges it with the blend graph.
    const bool exchanged = pass.blendFlag != 0 && pass.type == GRAPH_BLEND_RGBA_MIX &&
                           RgbaMixDrawExchangesGraphs(pass.params.ints) != 0;
    return exchanged && SharesImageSet(pass.source, destination) != 0 ? 1 : 0;
}

int FilterPassReadsDestination(const GraphFilterPass &pass, int passSource, int passIndex, int destination)
{
    if (SharesImageSet(passSource, destination) != 0) {
        return 1;
    }
    const int second = passIndex == 0 ? SecondGraphRead(pass) : -1;
    return second >= 0 && SharesImageSet(second, destination) != 0 ? 1 : 0;
}

int AcquireFilterWorkGraph(int side, int slot)
{
    const int sizeClass = SizeClassFor(side);
    int &handle = WorkGraphs[sizeClass][slot];
    if (handle > 0 && GetGraphRecord(handle, 0) != nullptr) {
        return handle;
    }
    const int classSide = 1 << sizeClass;
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    settings.drawableAlpha = 1;
    handle = CreateBlankGraphFromSettings(&settings, classSide, classSide, 0, 0, nullptr);
    if (handle <= 0) {
        handle = -1;
        LogWorkGraphFailure(classSide);
        return -1;
    }
    BindHandleOwnerVariable(handle, &WorkGraphs[sizeClass][slot]);
    return handle;
}

// NOTE: pixels the last pass leaves alone (BrightClip without a fill) must reach
// the destination as they were, not as an earlier operation left the work graph.
int SeedWorkGraphFromDestination(const GraphFilterPass &pass, int work, int destination, int width, int height)
{
    const FilterRects &r = pass.rects;
    int textureWidth = 0, textureHeight = 0;
    ShaderRecord *copyShader = LookupShaderRecord(FindFilterShader("FilterCopy.pso"));
    if (GetGraphTextureSize(destination, &textureWidth, &textureHeight) == 0 && copyShader != nullptr &&
        copyShader->object != nullptr) {
        GraphFilterPass copy = pass;
        copy.blendFlag = 0;
        copy.source = destination;
        copy.target = work;
        copy.rects.x1 = r.destX;
        copy.rects.y1 = r.destY;
        copy.rects.x2 = r.destX + width;
        copy.rects.y2 = r.destY + height;
        const FilterShaderDraw draw = {"FilterCopy.pso", nullptr, 0, -1, 0, 1, 1, 0, nullptr};
        return DrawFilterShaderPass(copy, draw);
    }
    // A destination in several pieces, or no copy shader: through its pixels.
    RasterImage image = {};
    const RECT area = {r.destX, r.destY, r.destX + width, r.destY + height};
    if (ReadGraphRectToImage(destination, &image, &area) != 0) {
        return -1;
    }
    const RECT whole = {0, 0, width, height};
    const int result = TransferImageRectToGraph(work, &whole, r.destX, r.destY, &image, nullptr, 0, 0, 0, nullptr);
    FreeImageRecord(&image);
    return result < 0 ? -1 : 0;
}

void ClearFilterWorkGraphs()
{
    for (auto &slots : WorkGraphs) {
        slots[0] = -1;
        slots[1] = -1;
    }
}

} // namespace Korvo
