// The shared steps of single and divided graph loads: decoding the source
// images, packing a request into a background job and back.
#pragma once

#include "graphics/graphs/graph_record.h"

#include "core/threads/async_load.h"

namespace Korvo {

// The images a load works from: decoded (owned) or the caller's.
struct GraphSourceImages {
    RasterImage *color;
    RasterImage *alpha;   // or null
    int owned;
    int mirror;
    RasterImage colorStore;
    RasterImage alphaStore;
};

// Decode the request's first source (file, bytes, images), mirrored when asked; -1, 0, or 1 (no alpha)
int DecodeGraphSourceImages(const GraphLoadRequest *request, GraphSourceImages *out);
// Free owned images; mirror the caller's back
void ReleaseGraphSourceImages(GraphSourceImages *images);
// A job holding the request, its full path, extra ints and the image records; null on failure
AsyncLoadJob *PackGraphLoadJob(const GraphLoadRequest *request, const int *extraInts, int extraCount,
                               AsyncLoadCallback callback);
// Unpack a job: the request (pointing into the job and images), the extra ints; their count
int UnpackLoadJob(AsyncLoadJob *job, GraphLoadRequest *request, RasterImage images[2], int *extraInts,
                  int extraCapacity);
// Record the request's source (its file by full path, its bytes or images) as the graph's restore source
void RecordGraphLoadSource(const GraphLoadRequest *request, int handle, const GraphSourceImages *images,
                           void *asyncContext);
// Delete graphs from inside a load job: textures no other graph keeps are released
// on the main thread first (the record deletion itself runs on the worker)
void DestroyGraphsFromJob(const int *handles, int count, void *asyncContext);
// The checkpoints (PassAsyncJobCheckpoint) a divided load on a load worker
// passes: as it starts, and once its pieces are cut (not yet released)
enum DivGraphLoadStage { DIV_GRAPH_LOAD_STARTING = 0, DIV_GRAPH_LOAD_CUT = 1 };
// The checkpoint a job that loads into one graph (from a source, or a blank
// graph) passes once the load is done, the graph not yet released; a failure
// staged there fails the load with the graph's image set made
enum SingleGraphJobStage { GRAPH_JOB_LOADED = 0 };
// A movie frame into the graph: stretched from a YUV surface when one is given
// (-1 for a graph without device textures), else the image (the right half is the
// alpha image in that layout); 0 or -1
int TransferMovieFrameToGraph(int graphHandle, const RasterImage *frame, K_IDirect3DSurface9 *yuvSurface,
                              int alphaRightHalf);

} // namespace Korvo
