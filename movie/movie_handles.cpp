// Movie handle records: the kind's registration, opening a file with the Ogg
// Theora player (and its soundtrack) or DirectShow, closing, and the entries
// the graph loader calls through its movie hooks.

#include "movie/movie_handle.h"

#include "core/memory/tracked_alloc.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "movie/startup_entries.h"
#include "sound/sound_handle.h"
#include "sound/sound_system.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int MovieModuleInitialised = 0;
int MoviesSuspended = 0;
static int MovieLoadAlphaRightHalf = 0; // nothing sets it

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int InitMovieHandleRecord(void *)
{
    return 0;
}

static int CreateMovieForGraph(const char *path, int movieLoadOption, void *asyncContext)
{
    return CreateMovieHandleFromFile(&movieLoadOption, path, nullptr, nullptr, 0, asyncContext);
}

static int GetMovieLayoutForGraph(int handle, int *width, int *height, int *alphaRightHalf, int *theora)
{
    MovieHandleRecord *record = GetMovieHandleRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    *width = record->width;
    *height = record->height;
    *alphaRightHalf = record->alphaRightHalf;
    *theora = record->theora;
    return 0;
}

static int StepMovieForGraph(int handle)
{
    return StepMoviePlayback(handle, 0);
}

static const GraphMovieHooks MovieHooksForGraphs = {
    CreateMovieForGraph, GetMovieLayoutForGraph, SetMovieFrameCallback, DeleteMovieHandle, StepMovieForGraph,
    MarkMovieSurfaceLost,
};

// The soundtrack: the file's Vorbis stream, streamed through the second decoder.
static int LoadMovieSoundtrack(const char *path, void *asyncContext)
{
    if (!IsSoundSystemUp()) {
        return -1;
    }
    SoundCreateSettings settings;
    CopySoundCreateSettings(&settings);
    settings.dataKind = 3;
    settings.readerDisableMask = -5;
    settings.secondDecoder = 1;
    return LoadSoundFileWithSettings(&settings, path, 1, -1, 0, static_cast<AsyncLoadJob *>(asyncContext));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int InitMovieHandleType()
{
    if (MovieModuleInitialised) {
        return -1;
    }
    if (RegisterHandleType(kMovieHandleKind, sizeof(MovieHandleRecord), kMaxMovieHandles, InitMovieHandleRecord,
                           CloseMovieHandleCallback, "ムービー") != 0) {
        return -1;
    }
    SetGraphMovieHooks(&MovieHooksForGraphs);
    MovieModuleInitialised = 1;
    MoviesSuspended = 0;
    return 0;
}

int TermMovieHandleType()
{
    if (!MovieModuleInitialised) {
        return -1;
    }
    UnregisterHandleType(kMovieHandleKind);
    SetGraphMovieHooks(nullptr);
    MovieModuleInitialised = 0;
    MoviesSuspended = 0;
    return 0;
}

int CheckMovieModuleAfterReset()
{
    return MovieModuleInitialised ? 0 : -1;
}

int *InitMovieLoadParam(int *out)
{
    *out = MovieLoadAlphaRightHalf;
    return out;
}

MovieHandleRecord *GetMovieHandleRecord(int handle)
{
    if (!MovieModuleInitialised || handle < 0 || HandleKindOf(handle) != kMovieHandleKind ||
        HasPendingLoadJob(handle) != 0) {
        return nullptr;
    }
    return static_cast<MovieHandleRecord *>(LookupHandleRecord(handle));
}

int CreateMovieHandleFromFile(const int *alphaRightHalf, const char *path, int *width, int *height, int mode,
                              void *asyncContext)
{
    int handle = CreateHandleRecord(kMovieHandleKind, -1);
    if (handle == -1) {
        return -1;
    }
    MovieHandleRecord *record = static_cast<MovieHandleRecord *>(LookupHandleRecord(handle));
    if (record == nullptr) {
        return -1;
    }
    record->soundtrack = -1;
    record->alphaRightHalf = alphaRightHalf != nullptr ? *alphaRightHalf : 0;

    StreamHandle stream = OpenFileStream(path, 0, 1, 0);
    TheoraPlayer *player = nullptr;
    if (stream != 0) {
        player = OpenTheoraPlayer(GetActiveStreamTable(), stream, 10, asyncContext);
        if (player == nullptr) {
            CloseFileStream(stream);
        }
    }
    if (player != nullptr) {
        record->stream = stream;
        record->player = player;
        record->soundtrack = LoadMovieSoundtrack(path, asyncContext);
        TheoraMovieInfo info;
        GetTheoraMovieInfo(player, &info);
        record->width = info.width;
        record->height = info.height;
        record->theora = 1;
        record->currentImage = GetTheoraFrameImage(player);
    } else {
        record->temporaryCopy = 0;
        if (OpenMovieWithDirectShow(record, path, &record->width, &record->height, mode, asyncContext) == -1) {
            AppendLogText("ムービーファイルオープン処理時にエラーが発生しました");
            DeleteHandleRecord(handle);
            return -1;
        }
        record->currentImage = &record->frameImage;
    }
    if (width != nullptr) {
        *width = record->width;
    }
    if (height != nullptr) {
        *height = record->height;
    }
    record->stopped = 1;
    record->playType = 1;
    record->userPlaying = 0;
    return handle;
}

int DeleteMovieHandle(int handle)
{
    if (GetMovieHandleRecord(handle) == nullptr) {
        return -1;
    }
    return DeleteHandleRecord(handle);
}

int SetMovieFrameCallback(int handle, MovieFrameCallback callback, int userValue)
{
    MovieHandleRecord *record = GetMovieHandleRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    record->frameCallback = callback;
    record->callbackUserValue = userValue;
    return 0;
}

int MarkMovieSurfaceLost(int handle)
{
    MovieHandleRecord *record = GetMovieHandleRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    if (record->theora) {
        MarkTheoraSurfaceLost(record->player);
    }
    return 0;
}

int CloseMovieHandleCallback(void *data)
{
    MovieHandleRecord *record = static_cast<MovieHandleRecord *>(data);
    if (record->theora) {
        // The player stops its decode thread, the stream's other reader, first.
        CloseTheoraPlayer(record->player);
        CloseFileStream(record->stream);
        if (record->soundtrack != -1) {
            DeleteHandleRecord(record->soundtrack);
        }
        record->stream = 0;
        record->player = nullptr;
        record->soundtrack = -1;
        record->theora = 0;
    }
    // Pixels borrowed from the renderer stay the renderer's to free.
    if (record->frameImage.pixels != nullptr && !record->pixelsBorrowed) {
        TrackedFree(record->frameImage.pixels);
    }
    record->frameImage.pixels = nullptr;
    record->pixelsBorrowed = 0;
    CloseDirectShowMovie(record);
    return 0;
}

} // namespace Korvo
