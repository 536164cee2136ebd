// Graphs across a device rebuild: their device textures go with the old device
// and are made again on the new one, their pixels reloaded from what each graph
// was loaded from (one decode per source, however many graphs share it).
#pragma once

namespace Korvo {

// Release every graph's device textures and the system-memory texture cache; 0
int ReleaseGraphDeviceTextures();
// Re-create the textures and reload the pixels; 0, -1 when a graph failed
int RestoreGraphDeviceTextures();
// After a rebuild that fell back to software: software images for the graphs
// that had textures, their pixels reloaded; 0, -1 when a graph failed
int RestoreGraphsInSoftware();
// How many sources the restores decoded since start-up
int GetGraphRestoreDecodeCount();

} // namespace Korvo
