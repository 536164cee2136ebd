// Movie handles (kind 6): a movie played by the library's own Ogg Theora
// player with its soundtrack as a stream sound, or by a DirectShow filter graph
// with the library's own renderer; each step hands the frame due to a callback
// (the graph that shows the movie).
#pragma once

#include "core/memory/handle_manager.h"
#include "image/public_api.h"
#include "movie/public_api.h"
#include "movie/theora_player.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------
constexpr int kMovieHandleKind = 6;
constexpr int kMaxMovieHandles = 100;
constexpr int kMoviePlayLoopBit = 2; // play type 3 loops

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// Frame callback: the user value it was set with, the frame image, a YUV surface
// holding the frame (or null: the frame is in the image) and whether the right
// half of the frame is its alpha channel. -1 refuses the surface: the frame then
// comes again as an image.
typedef int (*MovieFrameCallback)(int userValue, const RasterImage *frame, K_IDirect3DSurface9 *yuvSurface,
                                  int alphaRightHalf);

struct MovieHandleRecord {
    HandleRecordHeader header;
    int playType;
    int theora;
    TheoraPlayer *player;
    uint64_t clockStartUs;
    StreamHandle stream;
    int soundtrack;
    // DirectShow: the graph builder, media control, media seeking, basic audio
    // interfaces, the renderer filter and the graph's media events (platform
    // objects, held opaquely here).
    void *graphBuilder;
    void *mediaControl;
    void *mediaSeeking;
    void *basicAudio;
    void *renderer;
    void *mediaEvent;
    int64_t duration100ns;
    int temporaryCopy;
    wchar_t widePath[260];
    int elapsedMs;
    int64_t stopPosition100ns;
    int width;
    int height;
    int alphaRightHalf;
    int userPlaying;
    int stopped;
    // Theora, played once: the soundtrack has played out before the picture;
    // the clock alone moves the frames, and nothing starts the sound again
    // until the picture is at its end.
    int soundtrackEnded;
    int frameDelivered;
    RasterImage frameImage;
    int pixelsBorrowed;
    RasterImage *currentImage;
    MovieFrameCallback frameCallback;
    int callbackUserValue;
};

// 1 between SuspendAllMovies and ResumeSuspendedMovies (the window is inactive)
extern int MoviesSuspended;

// ---------------------------------------------------------------------------
// Public functions (the public operations are in movie/public_api.h)
// ---------------------------------------------------------------------------
// Write the movie load setting (the right-half-alpha option) into *out; out
int *InitMovieLoadParam(int *out);
// A movie handle from a file (Ogg Theora, else DirectShow), stopped; the handle or -1
int CreateMovieHandleFromFile(const int *alphaRightHalf, const char *path, int *width, int *height, int mode,
                              void *asyncContext);
// The record of a movie handle, or null
MovieHandleRecord *GetMovieHandleRecord(int handle);
// Store the frame callback and its user value; 0 or -1
int SetMovieFrameCallback(int handle, MovieFrameCallback callback, int userValue);
// Before a device reset; 0 or -1
int MarkMovieSurfaceLost(int handle);
// Delete callback of kind 6
int CloseMovieHandleCallback(void *record);

// DirectShow player (movie/win32/directshow_player.cpp; the host build has no DirectShow).
int OpenMovieWithDirectShow(MovieHandleRecord *record, const char *path, int *width, int *height, int mode,
                            void *asyncContext);
int RunDirectShowMovie(MovieHandleRecord *record);
int PauseDirectShowMovie(MovieHandleRecord *record);
// Hand a new frame to the callback and handle the stop position; 0
int StepDirectShowMovie(MovieHandleRecord *record);
// Release the graph and its interfaces, delete a temporary copy; 0
int CloseDirectShowMovie(MovieHandleRecord *record);

} // namespace Korvo
