// Graph filters on graph handles: the general filter-and-blend operation, the
// pass record its routines read, and the CPU images of a pass.
#pragma once

#include "core/korvo_types.h"
#include "graphics/filters/filter_operation.h"

namespace Korvo {

// One operation's pass: what it reads, where it writes, the clipped rectangles
// and, on the CPU road, its images.
struct GraphFilterPass {
    int blendFlag;
    int type;
    int source;        // the graph this pass reads
    int blendGraph;
    int target;        // the graph this pass writes
    float ratio;       // 0.0..1.0
    int passIndex;
    FilterRects rects; // source rectangle after clipping, blend and destination positions
    int useBlendPosition;
    int outputWidth;
    int outputHeight;
    FilterParameters params;
    RasterImage sourceImage;
    RasterImage blendImage;
    RasterImage outputImage;
};

// Filter (blendFlag 0, types 0..9) or blend (1, types 0..16) a rectangle of source
// into destination at (destX, destY); 0, also when clipping leaves nothing, or -1
int RunGraphFilterOrBlend(int blendFlag, int source, int blendGraph, int destination, int ratio, int type, int x1,
                          int y1, int x2, int y2, int blendPosX, int blendPosY, int useBlendPosition, int destX,
                          int destY, const int *params);

// A rectangle of a graph (null: all of it) into a new ARGB image; 0 or -1
int ReadGraphRectToImage(int graph, RasterImage *out, const RECT *rect);
// The pass's source (and blend) images, and its output: the destination's pixels
// (newOutput 0) or a new image; width or height below 0 take the rectangle's; 0 or -1
int LoadFilterPassImages(GraphFilterPass *pass, int newOutput, int width, int height);
// Write the output image into the pass target and free the pass's images; 0 or -1
int StoreFilterPassResult(GraphFilterPass *pass);
// Free whatever images the pass holds
void FreeFilterPassImages(GraphFilterPass *pass);

} // namespace Korvo
