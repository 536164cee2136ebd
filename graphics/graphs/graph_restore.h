// Graphs across a device rebuild: their device textures go with the old device
// and are made again on the new one (or software images when the rebuild fell
// back), their pixels reloaded from what each graph was loaded from (one decode
// per source, however many graphs share it).
#pragma once

namespace Korvo {

// Release every graph's device textures and the system-memory texture cache; 0
int ReleaseGraphDeviceTextures();
// Re-create the textures (empty); 0, -1 when a graph failed
int RestoreGraphDeviceTextures();
// After a rebuild that fell back to software: empty software images for the
// graphs that had textures; 0, -1 when a graph failed
int RestoreGraphsInSoftware();
// The built-in restore routine: every graph's pixels again from what it was
// loaded from; 0, -1 when a source could not be loaded (logged)
int RestoreAllGraphs();
// With background loading off: the selected restore routine (the built-in one
// when none is selected), then the restore routines of the subsystems above
// graphics (fonts, model textures); 0, or -1 when the built-in routine or a
// subsystem's routine failed
int RunGraphRestore();
// How many sources the restores decoded since start-up
int GetGraphRestoreDecodeCount();

} // namespace Korvo
