// Where a filter's shader passes render: into the graph they read, when that
// is safe, or else into work graphs that start as the destination's pixels.
#pragma once

#include "graphics/filters/graph_filters.h"

namespace Korvo {

// Whether an operation's passes must render apart from the textures they read; 1 or 0
int FilterRendersApartFromSource(const GraphFilterPass &pass, int destination);
// Whether pass passIndex, reading passSource, reads any texel of the destination's textures; 1 or 0
int FilterPassReadsDestination(const GraphFilterPass &pass, int passSource, int passIndex, int destination);
// The work graph of slot 0 or 1 for a side (its size class: the next power of two), made when missing; -1 on failure
int AcquireFilterWorkGraph(int side, int slot);
// Put the destination's pixels of the rectangle the last pass writes into its work graph; 0 or -1
int SeedWorkGraphFromDestination(const GraphFilterPass &pass, int work, int destination, int width, int height);
// Forget the work graphs (graphics shut-down; the handles are gone with their kind)
void ClearFilterWorkGraphs();

} // namespace Korvo
