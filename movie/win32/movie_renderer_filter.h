// The library's own video renderer: the last filter of a movie's filter graph.
// It takes RGB or YUV video, keeps each frame due as plain pixels in a frame
// buffer (YUV converted to XRGB, bottom-up rows flipped) and raises a new-frame
// flag that the main thread's movie step reads. As a video renderer does, it
// answers the graph's seeking from upstream (so the graph knows the movie's
// duration and stop) and reports the end of its stream to the graph.
#pragma once

#include "image/public_api.h"
#include "sound/win32/dshow_base.h"
#include "sound/win32/dshow_position_pass_through.h"

#include <atomic>

namespace Korvo {

class MovieRendererFilter;

// "In": takes video samples (IMemInputPin) and renders them when due.
class MovieRendererPin : public K_CMemInputPin {
public:
    explicit MovieRendererPin(MovieRendererFilter *filter);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE *type) override;
    HRESULT CompleteConnect(IPin *peer) override;

    STDMETHODIMP Receive(IMediaSample *sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    MovieRendererFilter *renderer;
    std::atomic<int> flushing;
};

class MovieRendererFilter : public K_CBaseFilter {
public:
    MovieRendererFilter();
    ~MovieRendererFilter() override;
    int GetPinCount() override { return 1; }
    K_CBasePin *GetPin(int index) override;
    // IMediaSeeking and IMediaPosition besides the filter's own interfaces
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // The stream has ended: the graph hears it now while running, else at the next run
    void EndOfStreamReceived();
    // A flush or a stop: the stream goes on from elsewhere, its end not yet reached
    void ForgetEndOfStream();

    // The connected type's size, pitch and layout
    HRESULT SetMediaType(const AM_MEDIA_TYPE *type);
    // One sample into the frame buffer; S_OK
    HRESULT DoRenderSample(IMediaSample *sample);
    // Index of a video subtype in the accepted table, or -1
    static int SubtypeIndex(const GUID &subtype);
    // Frame buffer pitch in bytes of a subtype index and width
    static int PitchFor(int subtypeIndex, int width);
    // Bytes of one frame of a YUV subtype index as it arrives
    static size_t YuvFrameBytes(int subtypeIndex, int width, int height);
    IReferenceClock *GraphClock() { return clock; }
    // Replace the frame buffer by one of the given size; 0, or -1 when memory is short
    int MakeFrameBuffer(size_t bytes);

    int mediaTypeSet;
    int yuv;
    RasterImage *conversionImage;
    int subtypeIndex;
    BYTE *frameBuffer;
    size_t frameBufferBytes;
    // Buffers replaced by a larger one, freed with the filter (a movie may
    // still show a frame from one).
    BYTE **retiredBuffers;
    int retiredBufferCount;
    std::atomic<int> newFrame;
    int width, height, pitch;
    int bottomUp;
    MovieRendererPin input;
    K_CRendererPosPassThru position;

private:
    // EC_COMPLETE to the graph, once per end of stream
    void NotifyEndOfStreamOnce();

    std::atomic<int> endOfStream;
    std::atomic<int> endOfStreamNotified;
};

extern const GUID K_CLSID_MovieRenderer;

// A new renderer (the caller holds one reference), or null when memory is short; *result = 0
MovieRendererFilter *CreateMovieRendererFilter(IUnknown *outer, HRESULT *result);

} // namespace Korvo
