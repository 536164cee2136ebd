// The shader road of the graph filters: work graphs, the draw-state bracket
// and the quad each pass draws with its pixel shader.
#pragma once

#include "graphics/filters/graph_filters.h"

namespace Korvo {

// One shader pass: the shader by file name, its constants (float4 each) from
// register 0, an optional second texture graph, and the sampling.
struct FilterShaderDraw {
    const char *shaderName;
    const float *constants;
    int constantCount;
    int secondGraph;     // stage-1 graph, or -1
    int useBlendCoords;  // stage 1 takes the blend graph's coordinates
    int divisor;         // DownScale's, else 1
    int pointSampling;
    int extendLastRow;   // also fill the target's rows below the rectangle from its last row
    const char *failureLine;  // logged when the shader cannot be made ("%s": its name); null: the common line
};

// The filter shader of a file name, made on first use; -1 when it cannot be made
int FindFilterShader(const char *name);
// Whether the shader road takes an operation (device, shaders, graph layout, type)
int FilterShaderRoadAvailable(const GraphFilterPass &pass, int destination);
// Run every shader pass of an operation and its final copy; 0 or -1
int RunFilterShaderPasses(GraphFilterPass *pass, int destination);
// The shader pass of a filter or blend type (per-type constants and shader); 0 or -1
int RunFilterShaderPass(GraphFilterPass *pass);
// Draw one pass quad into pass->target from pass->source; 0 or -1
int DrawFilterShaderPass(const GraphFilterPass &pass, const FilterShaderDraw &draw);
// The texture size of a graph held in one texture piece at its origin; 0, or -1 for another graph
int GetGraphTextureSize(int graph, int *width, int *height);
// Forget the work graphs and filter shaders (graphics shut-down); the handles are gone with their kinds
void ClearFilterDeviceCaches();
// Forget the Level filter's table graph (graphics shut-down)
void ClearFilterTableGraph();

} // namespace Korvo
