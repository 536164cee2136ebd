// Movies through a DirectShow filter graph ending in the library's own
// renderer: opening (with the temporary-copy retry for paths the graph cannot
// read), running, pausing, the per-step frame hand-over and closing.

#include "movie/movie_handle.h"

#include "core/memory/tracked_alloc.h"
#include "core/streams/plain_file.h"
#include "core/text/dbcs_string.h"
#include "graphics/device/screen_request.h"
#include "image/color_format.h"
#include "movie/win32/movie_renderer_filter.h"

#include <cstdio>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

static const int kCopyChunk = 1024 * 1024;
static const LONGLONG kDurationWhenUnknown = 166666;
// IBasicAudio's and IMediaEvent's interface ids (the platform's values; the
// toolchain declares no uuid for them).
static const GUID kIidBasicAudio = {0x56a868b3, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
static const GUID kIidMediaEvent = {0x56a868b6, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static IGraphBuilder *Graph(MovieHandleRecord *r) { return static_cast<IGraphBuilder *>(r->graphBuilder); }
static IMediaControl *Control(MovieHandleRecord *r) { return static_cast<IMediaControl *>(r->mediaControl); }
static IMediaSeeking *Seeking(MovieHandleRecord *r) { return static_cast<IMediaSeeking *>(r->mediaSeeking); }
static MovieRendererFilter *Renderer(MovieHandleRecord *r) { return static_cast<MovieRendererFilter *>(r->renderer); }
static IMediaEvent *Events(MovieHandleRecord *r) { return static_cast<IMediaEvent *>(r->mediaEvent); }

template <typename T>
static void ReleaseField(void **field)
{
    if (*field != nullptr) {
        static_cast<T *>(*field)->Release();
        *field = nullptr;
    }
}

static void ReleaseGraphInterfaces(MovieHandleRecord *record)
{
    ReleaseField<IMediaEvent>(&record->mediaEvent);
    ReleaseField<IBasicAudio>(&record->basicAudio);
    ReleaseField<IMediaSeeking>(&record->mediaSeeking);
    ReleaseField<IMediaControl>(&record->mediaControl);
    ReleaseField<IGraphBuilder>(&record->graphBuilder);
    record->renderer = nullptr; // the graph held it
}

// Whether the graph reported the end of its streams (EC_COMPLETE) since the
// last look; its other events are let go.
static bool GraphReportedEnd(MovieHandleRecord *record)
{
    IMediaEvent *events = Events(record);
    bool ended = false;
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events != nullptr && events->GetEvent(&code, &first, &second, 0) == S_OK) {
        ended = ended || code == EC_COMPLETE;
        events->FreeEventParams(code, first, second);
    }
    return ended;
}

// Copy the file (perhaps inside an archive) to a temporary file and render
// that; S_OK or a failure.
static HRESULT RenderTemporaryCopy(MovieHandleRecord *record, const char *path)
{
    StreamHandle stream = OpenFileStream(path, 0, 1, 0);
    if (stream == 0) {
        return E_FAIL;
    }
    SeekFileStream(stream, 0, 2);
    int size = TellFileStream(stream);
    SeekFileStream(stream, 0, 0);
    char *buffer = static_cast<char *>(KORVO_TRACKED_ALLOC(kCopyChunk));
    char tempPath[MAX_PATH] = {};
    HANDLE file = buffer != nullptr ? CreateScratchFile(tempPath) : nullptr;
    if (buffer == nullptr || file == nullptr || file == INVALID_HANDLE_VALUE || size < 0) {
        if (file != nullptr && file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileA(tempPath);
        }
        TrackedFree(buffer);
        CloseFileStream(stream);
        return E_FAIL;
    }
    MultiByteToWideChar(932, 0, tempPath, -1, record->widePath, 260);
    record->temporaryCopy = 1;
    for (int position = 0; position < size;) {
        int chunk = size - position < kCopyChunk ? size - position : kCopyChunk;
        size_t got = ReadFileStream(buffer, 1, static_cast<size_t>(chunk), stream);
        DWORD written = 0;
        if (got == 0 || !WriteFile(file, buffer, static_cast<DWORD>(got), &written, nullptr) || written != got) {
            break;
        }
        position += static_cast<int>(got);
    }
    CloseFileStream(stream);
    CloseHandle(file);
    TrackedFree(buffer);
    HRESULT result = Graph(record)->RenderFile(record->widePath, nullptr);
    if (FAILED(result)) {
        DeleteFileW(record->widePath);
        record->temporaryCopy = 0;
    }
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int OpenMovieWithDirectShow(MovieHandleRecord *record, const char *path, int *width, int *height, int mode,
                            void *)
{
    if (mode == 1 || mode == 2) {
        GetScreenBitsPerPixel();
    }
    record->frameImage.pixels = nullptr;
    record->frameDelivered = 0;
    record->frameCallback = nullptr;
    record->callbackUserValue = 0;

    char message[600];
    std::snprintf(message, sizeof(message), "ファイル:%s が開けませんでした\n", path);
    const char *failure = nullptr;
    HRESULT created = 0;
    MovieRendererFilter *renderer = nullptr;
    record->graphBuilder = K_CreateComObject(K_CLSID_FilterGraph, __uuidof(IGraphBuilder));
    if (record->graphBuilder == nullptr) {
        failure = "CLSID_FilterGraph の作成に失敗しました\n";
    } else if ((renderer = CreateMovieRendererFilter(nullptr, &created)) == nullptr ||
               FAILED(Graph(record)->AddFilter(renderer, L"MovieRenderer"))) {
        if (renderer != nullptr) {
            renderer->Release();
        }
        failure = "Could not add renderer filter to graph!\n";
    } else {
        renderer->Release(); // the graph holds it from here
        record->renderer = renderer;
        if (FAILED(Graph(record)->QueryInterface(kIidBasicAudio, &record->basicAudio))) {
            failure = "BasicAudio インターフェースの取得に失敗しました\n";
        } else if (FAILED(Graph(record)->QueryInterface(__uuidof(IMediaControl), &record->mediaControl))) {
            failure = "IID_IMediaControlインターフェイスの取得に失敗しました\n";
        } else if (FAILED(Graph(record)->QueryInterface(__uuidof(IMediaSeeking), &record->mediaSeeking))) {
            failure = "IID_IMediaSeekingインターフェイスの取得に失敗しました\n";
        }
    }
    if (failure == nullptr) {
        MultiByteToWideChar(static_cast<UINT>(GetCharSetCodePage()), 0, path, -1, record->widePath, 260);
        if (FAILED(Graph(record)->RenderFile(record->widePath, nullptr)) &&
            (record->temporaryCopy || FAILED(RenderTemporaryCopy(record, path)))) {
            failure = message;
        }
    }
    if (failure == nullptr && Renderer(record)->mediaTypeSet == 0) {
        failure = message; // the file holds no picture the renderer takes
    }
    if (failure != nullptr) {
        ReleaseGraphInterfaces(record);
        AppendLogText(failure);
        return -1;
    }
    // The graph's end of stream ends a movie whose stop the graph cannot tell.
    if (FAILED(Graph(record)->QueryInterface(kIidMediaEvent, &record->mediaEvent))) {
        record->mediaEvent = nullptr;
    }
    LONGLONG duration = 0;
    Seeking(record)->GetDuration(&duration);
    record->duration100ns = duration == 0 ? kDurationWhenUnknown : duration;
    LONGLONG stop = 0;
    Seeking(record)->GetStopPosition(&stop);
    record->stopPosition100ns = stop;
    if (width != nullptr) {
        *width = Renderer(record)->width;
    }
    if (height != nullptr) {
        *height = Renderer(record)->height;
    }
    return 0;
}

int RunDirectShowMovie(MovieHandleRecord *record)
{
    if (Control(record) == nullptr) {
        return -1;
    }
    Control(record)->Run();
    return 0;
}

int PauseDirectShowMovie(MovieHandleRecord *record)
{
    if (Control(record) == nullptr) {
        return -1;
    }
    Control(record)->Pause();
    return 0;
}

int StepDirectShowMovie(MovieHandleRecord *record)
{
    MovieRendererFilter *renderer = Renderer(record);
    if (renderer != nullptr && renderer->newFrame && renderer->frameBuffer != nullptr) {
        renderer->newFrame = 0;
        if (record->frameCallback != nullptr) {
            RasterImage &image = record->frameImage;
            if (renderer->subtypeIndex == 0) {
                InitRgb24Format(&image.format);
            } else {
                InitXrgb32Format(&image.format);
            }
            image.width = renderer->width;
            image.height = renderer->height;
            image.pitch = renderer->pitch;
            image.pixels = renderer->frameBuffer;
            record->pixelsBorrowed = 1;
            record->currentImage = &image;
            record->frameCallback(record->callbackUserValue, &image, nullptr, record->alphaRightHalf);
            record->frameDelivered = 1;
        }
    }
    if (Seeking(record) != nullptr && Control(record) != nullptr && !record->stopped) {
        // The end: the stop position reached, where the graph tells one, or the
        // graph's end of stream (never the start of a stop it cannot tell).
        bool ended = GraphReportedEnd(record);
        LONGLONG position = 0;
        if (!ended && record->stopPosition100ns > 0 && Seeking(record)->GetCurrentPosition(&position) == S_OK &&
            position >= record->stopPosition100ns) {
            ended = true;
        }
        if (ended) {
            if ((record->playType & kMoviePlayLoopBit) != 0) {
                LONGLONG start = 0;
                Seeking(record)->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                              AM_SEEKING_NoPositioning);
                Control(record)->Run();
                GraphReportedEnd(record); // the pass that ended may still have reported it
            } else {
                Control(record)->Pause();
                record->userPlaying = 0;
                record->stopped = 1;
            }
        }
    }
    return 0;
}

int CloseDirectShowMovie(MovieHandleRecord *record)
{
    if (Control(record) != nullptr) {
        Control(record)->Stop();
    }
    if (record->temporaryCopy) {
        ReleaseGraphInterfaces(record);
        DeleteFileW(record->widePath);
        record->temporaryCopy = 0;
        return 0;
    }
    ReleaseGraphInterfaces(record);
    return 0;
}

} // namespace Korvo
