// K_CSampleGrabber: a pass-through filter that hands every sample to a callback
// before sending it on, accepting only the media type it was told to take.
#pragma once

#include "sound/win32/dshow_base.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// The callback: user value, sample, its start and end times (segment-relative),
// and whether the media type changed with this sample; its result is the filter's.
typedef HRESULT (*K_SampleCallback)(void *user, IMediaSample *sample, REFERENCE_TIME start, REFERENCE_TIME stop,
                                    int typeChanged);

// The grabber's own interface, in slot order after IUnknown.
struct K_ISampleGrabber : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ChooseAcceptedType(const AM_MEDIA_TYPE *type) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryConnectedType(AM_MEDIA_TYPE *type) = 0;
    virtual HRESULT STDMETHODCALLTYPE InstallSampleCallback(K_SampleCallback callback, void *user) = 0;
    virtual HRESULT STDMETHODCALLTYPE AssignDeliveryBuffer(ALLOCATOR_PROPERTIES *properties, BYTE *buffer) = 0;
};
extern const GUID K_IID_ISampleGrabber;
extern const GUID K_CLSID_SampleGrabber;

class K_CSampleGrabber;

// "Input": takes samples (IMemInputPin) of the accepted type.
class K_CSampleGrabberInPin : public K_CBasePin, public IMemInputPin {
public:
    explicit K_CSampleGrabberInPin(K_CSampleGrabber *filter);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE *type) override;
    void BreakConnect() override;

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return K_CBasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return K_CBasePin::Release(); }
    STDMETHODIMP GetAllocator(IMemAllocator **allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator *allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *properties) override;
    STDMETHODIMP Receive(IMediaSample *sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample **samples, long count, long *done) override;
    STDMETHODIMP ReceiveCanBlock() override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    IMemAllocator *allocator; // the upstream's, held
    K_CSampleGrabber *grabber;
};

// "Output": sends the samples on, in the input's allocator when the next pin
// takes it, else copied into the next pin's.
class K_CSampleGrabberOutPin : public K_CBasePin {
public:
    explicit K_CSampleGrabberOutPin(K_CSampleGrabber *filter);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE *type) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE *type) override;
    HRESULT CompleteConnect(IPin *peer) override;
    void BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    // Send a sample to the next pin
    HRESULT Deliver(IMediaSample *sample);

    IMemInputPin *nextInput;   // held while connected
    IMemAllocator *copyAllocator; // held when samples are copied
    K_CSampleGrabber *grabber;
};

class K_CSampleGrabber : public K_CBaseFilter, public K_ISampleGrabber {
public:
    K_CSampleGrabber();
    ~K_CSampleGrabber() override;
    int GetPinCount() override { return 2; }
    K_CBasePin *GetPin(int index) override;

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return K_CBaseFilter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return K_CBaseFilter::Release(); }
    STDMETHODIMP ChooseAcceptedType(const AM_MEDIA_TYPE *type) override;
    STDMETHODIMP QueryConnectedType(AM_MEDIA_TYPE *type) override;
    STDMETHODIMP InstallSampleCallback(K_SampleCallback callback, void *user) override;
    STDMETHODIMP AssignDeliveryBuffer(ALLOCATOR_PROPERTIES *properties, BYTE *buffer) override;

    // One sample through the callback and on
    HRESULT ProcessSample(IMediaSample *sample);

    AM_MEDIA_TYPE accepted;
    CRITICAL_SECTION grabberLock;
    K_SampleCallback callback;
    void *user;
    int typeChanged;
    BYTE *deliveryBuffer;       // the caller's, when one was assigned
    K_CSampleGrabberInPin input;
    K_CSampleGrabberOutPin output;
};

} // namespace Korvo
