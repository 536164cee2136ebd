// The seeking of a renderer filter, answered upstream: a filter graph asks its
// renderers for the duration, the stop and the position of its streams
// (IMediaSeeking, and IMediaPosition on top of it), and a renderer passes each
// question on to the pin its stream comes from, which passes it on to the
// source. The current position is the start of the sample shown last, while one
// has been shown since the stream last began or was flushed.
#pragma once

#include "sound/win32/dshow_base.h"

#include <atomic>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// The platform's values (the toolchain declares no uuid for IMediaPosition).
extern const GUID K_IID_IMediaPosition;
extern const GUID K_TIME_FORMAT_MEDIA_TIME;

// ---------------------------------------------------------------------------
// Pass-through
// ---------------------------------------------------------------------------
// Part of a renderer filter: its references and its other interfaces are the
// filter's (the filter's QueryInterface hands this out for both interfaces).
class K_CRendererPosPassThru : public IMediaSeeking, public IMediaPosition {
public:
    K_CRendererPosPassThru(K_CBaseFilter *filter, K_CBasePin *input);
    virtual ~K_CRendererPosPassThru() {}

    // A sample is shown: its start on the stream, in 100 ns from the stream's beginning
    void RegisterShownSample(REFERENCE_TIME mediaStart);
    // Nothing shown since (a flush or a stop): the position comes from upstream again
    void ForgetShownSample();

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaSeeking: passed upstream, but for the current position of a shown sample
    STDMETHODIMP GetCapabilities(DWORD *capabilities) override;
    STDMETHODIMP CheckCapabilities(DWORD *capabilities) override;
    STDMETHODIMP IsFormatSupported(const GUID *format) override;
    STDMETHODIMP QueryPreferredFormat(GUID *format) override;
    STDMETHODIMP GetTimeFormat(GUID *format) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID *format) override;
    STDMETHODIMP SetTimeFormat(const GUID *format) override;
    STDMETHODIMP GetDuration(LONGLONG *duration) override;
    STDMETHODIMP GetStopPosition(LONGLONG *stop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG *current) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG *target, const GUID *targetFormat, LONGLONG source,
                                   const GUID *sourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG *current, LONGLONG *stop) override;
    STDMETHODIMP GetAvailable(LONGLONG *earliest, LONGLONG *latest) override;
    STDMETHODIMP SetRate(double rate) override;
    STDMETHODIMP GetRate(double *rate) override;
    STDMETHODIMP GetPreroll(LONGLONG *preroll) override;

    // IMediaPosition: the same in seconds; no type information for scripting
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *exception, UINT *badArgument) override;
    STDMETHODIMP get_Duration(REFTIME *length) override;
    STDMETHODIMP put_CurrentPosition(REFTIME time) override;
    STDMETHODIMP get_CurrentPosition(REFTIME *time) override;
    STDMETHODIMP get_StopTime(REFTIME *time) override;
    STDMETHODIMP put_StopTime(REFTIME time) override;
    STDMETHODIMP get_PrerollTime(REFTIME *time) override;
    STDMETHODIMP put_PrerollTime(REFTIME time) override;
    STDMETHODIMP put_Rate(double rate) override;
    STDMETHODIMP get_Rate(double *rate) override;
    STDMETHODIMP CanSeekForward(LONG *can) override;
    STDMETHODIMP CanSeekBackward(LONG *can) override;

private:
    // The upstream pin's seeking (the caller releases it), or null while unconnected
    IMediaSeeking *UpstreamSeeking();

    K_CBaseFilter *filter;
    K_CBasePin *input;
    std::atomic<LONGLONG> shownStart; // -1: none shown
};

} // namespace Korvo
