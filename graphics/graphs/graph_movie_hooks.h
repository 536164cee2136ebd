// What the graph loader needs of the movie module, installed by the movie
// module (it sits above graphics). Until installed, a file that no image
// decoder accepts is not a movie either.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

struct RasterImage;

// Frame callback a movie calls with the graph handle it was given and its frame
// (with alphaRightHalf the right half is the frame's alpha). A movie that holds
// the frame in a YUV surface passes it: the graph stretches it into its textures,
// or answers -1 when it has none and is called again with the image.
typedef int (*GraphMovieFrameCallback)(int graphHandle, const RasterImage *frame, K_IDirect3DSurface9 *yuvSurface,
                                       int alphaRightHalf);

struct GraphMovieHooks {
    // A movie handle from a file, or -1
    int (*createMovieHandleFromFile)(const char *path, int movieLoadOption, void *asyncContext);
    // Frame size, alpha in the right half, Ogg Theora; 0 or -1
    int (*getMovieLayout)(int movieHandle, int *width, int *height, int *alphaRightHalf, int *theora);
    int (*setMovieFrameCallback)(int movieHandle, GraphMovieFrameCallback callback, int graphHandle);
    int (*deleteMovieHandle)(int movieHandle);
    // Bring the movie's frame due now into its graph; 0 or -1
    int (*stepMoviePlayback)(int movieHandle);
    // Before the device goes: the movie lets go of its device surfaces; 0 or -1
    int (*markMovieSurfaceLost)(int movieHandle);
};

// Install the movie module's entries (null: none); 0
int SetGraphMovieHooks(const GraphMovieHooks *hooks);
// The installed entries (all null when none)
const GraphMovieHooks *GetGraphMovieHooks();

} // namespace Korvo
