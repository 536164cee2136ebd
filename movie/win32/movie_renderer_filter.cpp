// The movie renderer filter and its input pin.

#include "movie/win32/movie_renderer_filter.h"

#include "core/memory/tracked_alloc.h"
#include "image/pixel_access.h"
#include "image/yuv_convert.h"

#include <cstring>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
const GUID K_CLSID_MovieRenderer = {0x71771540, 0x2017, 0x11cf, {0xae, 0x26, 0x00, 0x20, 0xaf, 0xd7, 0x97, 0x67}};
static const GUID kMediaTypeVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
static const GUID kFormatVideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
static const GUID kSubtypeRgb24 = {0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
static const GUID kSubtypeRgb32 = {0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

enum RendererSubtype { kRgb24 = 0, kRgb32, kYv12, kNv12, kYuy2, kUyvy, kYvyu, kNv11 };

static GUID FourccSubtype(const char code[4])
{
    GUID guid = {0, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    guid.Data1 = static_cast<unsigned long>(static_cast<uint8_t>(code[0])) |
                 static_cast<unsigned long>(static_cast<uint8_t>(code[1])) << 8 |
                 static_cast<unsigned long>(static_cast<uint8_t>(code[2])) << 16 |
                 static_cast<unsigned long>(static_cast<uint8_t>(code[3])) << 24;
    return guid;
}

typedef int (*YuvFrameDecoder)(const uint8_t *frame, int width, int height, RasterImage *dst);

static YuvFrameDecoder DecoderFor(int index)
{
    switch (index) {
    case kYv12: return DecodeYV12FrameToImage;
    case kNv12: return DecodeNV12FrameToImage;
    case kYuy2: return DecodeYUY2FrameToImage;
    case kUyvy: return DecodeUYVYFrameToImage;
    case kYvyu: return DecodeYVYUFrameToImage;
    case kNv11: return DecodeNV11FrameToImage;
    default: return nullptr;
    }
}

// ---------------------------------------------------------------------------
// Input pin
// ---------------------------------------------------------------------------

MovieRendererPin::MovieRendererPin(MovieRendererFilter *filter)
    : K_CMemInputPin(filter, L"In"), renderer(filter), flushing(0)
{
}

HRESULT MovieRendererPin::CheckMediaType(const AM_MEDIA_TYPE *type)
{
    if (type == nullptr) {
        return E_POINTER;
    }
    if (type->formattype != kFormatVideoInfo || type->pbFormat == nullptr ||
        type->cbFormat < sizeof(VIDEOINFOHEADER)) {
        return E_INVALIDARG;
    }
    if (type->majortype != kMediaTypeVideo || MovieRendererFilter::SubtypeIndex(type->subtype) < 0) {
        return E_FAIL;
    }
    const VIDEOINFOHEADER *info = reinterpret_cast<const VIDEOINFOHEADER *>(type->pbFormat);
    // Sizes the frame buffer could not hold are refused.
    if (info->bmiHeader.biWidth <= 0 || info->bmiHeader.biWidth > 16384 || info->bmiHeader.biHeight == 0 ||
        info->bmiHeader.biHeight > 16384 || info->bmiHeader.biHeight < -16384) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT MovieRendererPin::CompleteConnect(IPin *)
{
    return renderer->SetMediaType(&mediaType);
}

// Render when due: wait on the graph's clock until the sample's start time,
// then store it. A paused graph shows its first sample at once and holds it.
STDMETHODIMP MovieRendererPin::Receive(IMediaSample *sample)
{
    if (sample == nullptr) {
        return E_POINTER;
    }
    REFERENCE_TIME start = 0, stop = 0;
    // A start without a stop (VFW_S_NO_STOP_TIME) is a timed sample too.
    bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    bool rendered = false;
    for (;;) {
        if (flushing || renderer->state == State_Stopped) {
            return S_FALSE;
        }
        if (renderer->state == State_Paused) {
            if (!rendered) {
                renderer->DoRenderSample(sample);
                rendered = true;
            }
            Sleep(2);
            continue;
        }
        REFERENCE_TIME now = 0;
        IReferenceClock *clock = renderer->GraphClock();
        // S_FALSE from the clock is a time read again unchanged, not a failure.
        if (!timed || clock == nullptr || FAILED(clock->GetTime(&now)) || now - renderer->startTime >= start) {
            if (!rendered) {
                renderer->DoRenderSample(sample);
            }
            if (timed) {
                renderer->position.RegisterShownSample(segmentStart + start);
            }
            return S_OK;
        }
        Sleep(2);
    }
}

STDMETHODIMP MovieRendererPin::EndOfStream()
{
    renderer->EndOfStreamReceived();
    return S_OK;
}

STDMETHODIMP MovieRendererPin::BeginFlush()
{
    flushing = 1;
    renderer->ForgetEndOfStream();
    return S_OK;
}

STDMETHODIMP MovieRendererPin::EndFlush()
{
    flushing = 0;
    return S_OK;
}

// ---------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------

MovieRendererFilter::MovieRendererFilter()
    : K_CBaseFilter(K_CLSID_MovieRenderer, L"MovieRenderer"), mediaTypeSet(0), yuv(0), conversionImage(nullptr),
      subtypeIndex(-1), frameBuffer(nullptr), frameBufferBytes(0), retiredBuffers(nullptr), retiredBufferCount(0),
      newFrame(0), width(0), height(0), pitch(0), bottomUp(0), input(this), position(this, &input), endOfStream(0),
      endOfStreamNotified(0)
{
}

// The frame buffer and the conversion image go only with the filter itself:
// a movie's frame image may point into the buffer until the movie is closed.
MovieRendererFilter::~MovieRendererFilter()
{
    TrackedFree(frameBuffer);
    for (int i = 0; i < retiredBufferCount; ++i) {
        TrackedFree(retiredBuffers[i]);
    }
    TrackedFree(retiredBuffers);
    if (conversionImage != nullptr) {
        FreeImageRecord(conversionImage);
        TrackedFree(conversionImage);
    }
}

K_CBasePin *MovieRendererFilter::GetPin(int index)
{
    return index == 0 ? &input : nullptr;
}

// A filter with seeking and no output pin is one of the graph's renderers: the
// graph takes the duration and stop from it, and reports its own end once
// each of its renderers has reported the end of its stream.
STDMETHODIMP MovieRendererFilter::QueryInterface(REFIID iid, void **out)
{
    if (iid == __uuidof(IMediaSeeking)) {
        *out = static_cast<IMediaSeeking *>(&position);
        AddRef();
        return S_OK;
    }
    if (iid == K_IID_IMediaPosition) {
        *out = static_cast<IMediaPosition *>(&position);
        AddRef();
        return S_OK;
    }
    return K_CBaseFilter::QueryInterface(iid, out);
}

STDMETHODIMP MovieRendererFilter::Stop()
{
    HRESULT result = K_CBaseFilter::Stop();
    ForgetEndOfStream();
    return result;
}

// An end of stream that came while paused is reported once the graph runs.
STDMETHODIMP MovieRendererFilter::Run(REFERENCE_TIME start)
{
    HRESULT result = K_CBaseFilter::Run(start);
    if (SUCCEEDED(result) && endOfStream) {
        NotifyEndOfStreamOnce();
    }
    return result;
}

// Under the filter's lock, so a run that begins meanwhile either finds the end
// noted or is seen here; the graph is told outside it.
void MovieRendererFilter::EndOfStreamReceived()
{
    EnterCriticalSection(&filterLock);
    bool running = false;
    if (!input.flushing && state != State_Stopped) {
        endOfStream = 1;
        running = state == State_Running;
    }
    LeaveCriticalSection(&filterLock);
    if (running) {
        NotifyEndOfStreamOnce();
    }
}

void MovieRendererFilter::ForgetEndOfStream()
{
    endOfStream = 0;
    endOfStreamNotified = 0;
    position.ForgetShownSample();
}

void MovieRendererFilter::NotifyEndOfStreamOnce()
{
    IFilterGraph *owner = graph;
    if (owner == nullptr || endOfStreamNotified.exchange(1) != 0) {
        return;
    }
    IMediaEventSink *sink = nullptr;
    if (SUCCEEDED(owner->QueryInterface(__uuidof(IMediaEventSink), reinterpret_cast<void **>(&sink)))) {
        sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter *>(this)));
        sink->Release();
    }
}

int MovieRendererFilter::SubtypeIndex(const GUID &subtype)
{
    // Tested in this order: the YUV layouts first, RGB last.
    static const struct {
        const char *fourcc;
        int index;
    } yuvTypes[] = {{"NV11", kNv11}, {"YVYU", kYvyu}, {"UYVY", kUyvy}, {"YUY2", kYuy2}, {"NV12", kNv12}, {"YV12", kYv12}};
    for (const auto &t : yuvTypes) {
        if (subtype == FourccSubtype(t.fourcc)) {
            return t.index;
        }
    }
    if (subtype == kSubtypeRgb32) {
        return kRgb32;
    }
    if (subtype == kSubtypeRgb24) {
        return kRgb24;
    }
    return -1;
}

int MovieRendererFilter::PitchFor(int index, int frameWidth)
{
    return index == kRgb24 ? (frameWidth * 3 + 3) / 4 * 4 : frameWidth * 4;
}

HRESULT MovieRendererFilter::SetMediaType(const AM_MEDIA_TYPE *type)
{
    const VIDEOINFOHEADER *info = reinterpret_cast<const VIDEOINFOHEADER *>(type->pbFormat);
    subtypeIndex = SubtypeIndex(type->subtype);
    width = info->bmiHeader.biWidth;
    height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    bottomUp = info->bmiHeader.biHeight > 0 ? 1 : 0;
    if (conversionImage != nullptr) {
        FreeImageRecord(conversionImage);
        TrackedFree(conversionImage);
        conversionImage = nullptr;
    }
    pitch = PitchFor(subtypeIndex, width);
    yuv = DecoderFor(subtypeIndex) != nullptr ? 1 : 0;
    if (yuv) {
        bottomUp = 0;
    }
    // A borrowed frame buffer stays; the next sample makes a new one when the size changed.
    newFrame = 0;
    mediaTypeSet = 1;
    return S_OK;
}

// Each layout's own planes: YV12 a V and a U plane of a quarter each, NV12
// interleaved pairs on half the rows, NV11 interleaved pairs on half the width
// (one and a half bytes a pixel all three), the packed layouts two bytes a pixel.
size_t MovieRendererFilter::YuvFrameBytes(int index, int frameWidth, int frameHeight)
{
    size_t luma = static_cast<size_t>(frameWidth) * frameHeight;
    size_t halfWidth = static_cast<size_t>(frameWidth / 2);
    switch (index) {
    case kYv12: return luma + 2 * halfWidth * (frameHeight / 2);
    case kNv12: return luma + static_cast<size_t>(frameWidth) * (frameHeight / 2);
    case kNv11: return luma + halfWidth * frameHeight;
    default: return luma * 2;
    }
}

// A frame buffer of at least the given size. The one it replaces is kept until
// the filter goes: the movie's frame image may still point into it.
int MovieRendererFilter::MakeFrameBuffer(size_t bytes)
{
    BYTE *made = static_cast<BYTE *>(KORVO_TRACKED_ALLOC(bytes));
    if (made == nullptr) {
        return -1;
    }
    if (frameBuffer != nullptr) {
        void *grown = KORVO_TRACKED_REALLOC(retiredBuffers, sizeof(BYTE *) * (retiredBufferCount + 1));
        if (grown == nullptr) {
            TrackedFree(made);
            return -1;
        }
        retiredBuffers = static_cast<BYTE **>(grown);
        retiredBuffers[retiredBufferCount++] = frameBuffer;
    }
    frameBuffer = made;
    frameBufferBytes = bytes;
    return 0;
}

HRESULT MovieRendererFilter::DoRenderSample(IMediaSample *sample)
{
    if (sample == nullptr) {
        return E_POINTER;
    }
    if (!mediaTypeSet) {
        return S_OK;
    }
    if (yuv && conversionImage == nullptr) {
        conversionImage = static_cast<RasterImage *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(RasterImage)));
        if (conversionImage != nullptr && AllocXrgb32Image(width, height, conversionImage) != 0) {
            TrackedFree(conversionImage);
            conversionImage = nullptr;
        }
        if (conversionImage == nullptr) {
            return S_OK;
        }
    }
    size_t bytes = static_cast<size_t>(pitch) * height;
    if ((frameBuffer == nullptr || frameBufferBytes < bytes) && MakeFrameBuffer(bytes) != 0) {
        return S_OK; // frames are dropped while memory is short
    }
    BYTE *data = nullptr;
    if (sample->GetPointer(&data) != S_OK || data == nullptr) {
        return S_OK;
    }
    long length = sample->GetActualDataLength();
    const BYTE *source = data;
    if (yuv) {
        if (length < static_cast<long>(YuvFrameBytes(subtypeIndex, width, height))) {
            return S_OK;
        }
        DecoderFor(subtypeIndex)(data, width, height, conversionImage);
        source = static_cast<const BYTE *>(conversionImage->pixels);
    } else if (length < static_cast<long>(bytes)) {
        return S_OK;
    }
    if (bottomUp) {
        for (int y = 0; y < height; ++y) {
            std::memcpy(frameBuffer + static_cast<size_t>(height - 1 - y) * pitch,
                        source + static_cast<size_t>(y) * pitch, pitch);
        }
    } else {
        std::memcpy(frameBuffer, source, bytes);
    }
    newFrame = 1;
    return S_OK;
}

MovieRendererFilter *CreateMovieRendererFilter(IUnknown *, HRESULT *result)
{
    *result = 0;
    return new (std::nothrow) MovieRendererFilter();
}

} // namespace Korvo
