// A renderer's seeking, passed to the pin upstream.

#include "sound/win32/dshow_position_pass_through.h"

#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
const GUID K_IID_IMediaPosition = {0x56a868b2, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID K_TIME_FORMAT_MEDIA_TIME = {0x7b785574, 0x8c82, 0x11cf, {0xbc, 0x0c, 0x00, 0xaa, 0x00, 0xac, 0x74, 0xf6}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static const double kUnitsPerSecond = 10000000.0;

static LONGLONG ToUnits(REFTIME seconds)
{
    return static_cast<LONGLONG>(std::llround(seconds * kUnitsPerSecond));
}

// Run one call on the upstream seeking; E_NOTIMPL while unconnected.
#define K_PASS_UPSTREAM(call)                                                                                        \
    do {                                                                                                             \
        IMediaSeeking *upstream = UpstreamSeeking();                                                                 \
        if (upstream == nullptr) {                                                                                   \
            return E_NOTIMPL;                                                                                        \
        }                                                                                                            \
        HRESULT passed = upstream->call;                                                                             \
        upstream->Release();                                                                                         \
        return passed;                                                                                               \
    } while (0)

// ---------------------------------------------------------------------------
// Pass-through
// ---------------------------------------------------------------------------

K_CRendererPosPassThru::K_CRendererPosPassThru(K_CBaseFilter *owner, K_CBasePin *inputPin)
    : filter(owner), input(inputPin), shownStart(-1)
{
}

void K_CRendererPosPassThru::RegisterShownSample(REFERENCE_TIME mediaStart)
{
    shownStart = mediaStart < 0 ? 0 : mediaStart;
}

void K_CRendererPosPassThru::ForgetShownSample()
{
    shownStart = -1;
}

IMediaSeeking *K_CRendererPosPassThru::UpstreamSeeking()
{
    // The connection changes only under the filter's lock.
    EnterCriticalSection(&filter->filterLock);
    IPin *peer = input->connected;
    if (peer != nullptr) {
        peer->AddRef();
    }
    LeaveCriticalSection(&filter->filterLock);
    if (peer == nullptr) {
        return nullptr;
    }
    IMediaSeeking *seeking = nullptr;
    if (FAILED(peer->QueryInterface(__uuidof(IMediaSeeking), reinterpret_cast<void **>(&seeking)))) {
        seeking = nullptr;
    }
    peer->Release();
    return seeking;
}

STDMETHODIMP K_CRendererPosPassThru::QueryInterface(REFIID iid, void **out)
{
    return filter->QueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) K_CRendererPosPassThru::AddRef()
{
    return filter->AddRef();
}

STDMETHODIMP_(ULONG) K_CRendererPosPassThru::Release()
{
    return filter->Release();
}

STDMETHODIMP K_CRendererPosPassThru::GetCapabilities(DWORD *capabilities)
{
    K_PASS_UPSTREAM(GetCapabilities(capabilities));
}

STDMETHODIMP K_CRendererPosPassThru::CheckCapabilities(DWORD *capabilities)
{
    K_PASS_UPSTREAM(CheckCapabilities(capabilities));
}

STDMETHODIMP K_CRendererPosPassThru::IsFormatSupported(const GUID *format)
{
    K_PASS_UPSTREAM(IsFormatSupported(format));
}

STDMETHODIMP K_CRendererPosPassThru::QueryPreferredFormat(GUID *format)
{
    K_PASS_UPSTREAM(QueryPreferredFormat(format));
}

STDMETHODIMP K_CRendererPosPassThru::GetTimeFormat(GUID *format)
{
    K_PASS_UPSTREAM(GetTimeFormat(format));
}

STDMETHODIMP K_CRendererPosPassThru::IsUsingTimeFormat(const GUID *format)
{
    K_PASS_UPSTREAM(IsUsingTimeFormat(format));
}

STDMETHODIMP K_CRendererPosPassThru::SetTimeFormat(const GUID *format)
{
    K_PASS_UPSTREAM(SetTimeFormat(format));
}

STDMETHODIMP K_CRendererPosPassThru::GetDuration(LONGLONG *duration)
{
    K_PASS_UPSTREAM(GetDuration(duration));
}

STDMETHODIMP K_CRendererPosPassThru::GetStopPosition(LONGLONG *stop)
{
    K_PASS_UPSTREAM(GetStopPosition(stop));
}

// The shown sample's start where one was shown and positions count in media
// time (another time format is the source's to convert), else the source's.
STDMETHODIMP K_CRendererPosPassThru::GetCurrentPosition(LONGLONG *current)
{
    if (current == nullptr) {
        return E_POINTER;
    }
    IMediaSeeking *upstream = UpstreamSeeking();
    if (upstream == nullptr) {
        return E_NOTIMPL;
    }
    LONGLONG shown = shownStart;
    HRESULT result = S_OK;
    if (shown >= 0 && upstream->IsUsingTimeFormat(&K_TIME_FORMAT_MEDIA_TIME) == S_OK) {
        *current = shown;
    } else {
        result = upstream->GetCurrentPosition(current);
    }
    upstream->Release();
    return result;
}

STDMETHODIMP K_CRendererPosPassThru::ConvertTimeFormat(LONGLONG *target, const GUID *targetFormat, LONGLONG source,
                                                      const GUID *sourceFormat)
{
    K_PASS_UPSTREAM(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}

STDMETHODIMP K_CRendererPosPassThru::SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop,
                                                 DWORD stopFlags)
{
    K_PASS_UPSTREAM(SetPositions(current, currentFlags, stop, stopFlags));
}

STDMETHODIMP K_CRendererPosPassThru::GetPositions(LONGLONG *current, LONGLONG *stop)
{
    K_PASS_UPSTREAM(GetPositions(current, stop));
}

STDMETHODIMP K_CRendererPosPassThru::GetAvailable(LONGLONG *earliest, LONGLONG *latest)
{
    K_PASS_UPSTREAM(GetAvailable(earliest, latest));
}

STDMETHODIMP K_CRendererPosPassThru::SetRate(double rate)
{
    K_PASS_UPSTREAM(SetRate(rate));
}

STDMETHODIMP K_CRendererPosPassThru::GetRate(double *rate)
{
    K_PASS_UPSTREAM(GetRate(rate));
}

STDMETHODIMP K_CRendererPosPassThru::GetPreroll(LONGLONG *preroll)
{
    K_PASS_UPSTREAM(GetPreroll(preroll));
}

STDMETHODIMP K_CRendererPosPassThru::GetTypeInfoCount(UINT *count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP K_CRendererPosPassThru::GetTypeInfo(UINT, LCID, ITypeInfo **)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CRendererPosPassThru::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CRendererPosPassThru::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CRendererPosPassThru::get_Duration(REFTIME *length)
{
    LONGLONG units = 0;
    HRESULT result = length != nullptr ? GetDuration(&units) : E_POINTER;
    if (SUCCEEDED(result)) {
        *length = static_cast<REFTIME>(units) / kUnitsPerSecond;
    }
    return result;
}

STDMETHODIMP K_CRendererPosPassThru::put_CurrentPosition(REFTIME time)
{
    LONGLONG units = ToUnits(time);
    return SetPositions(&units, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

STDMETHODIMP K_CRendererPosPassThru::get_CurrentPosition(REFTIME *time)
{
    LONGLONG units = 0;
    HRESULT result = time != nullptr ? GetCurrentPosition(&units) : E_POINTER;
    if (SUCCEEDED(result)) {
        *time = static_cast<REFTIME>(units) / kUnitsPerSecond;
    }
    return result;
}

STDMETHODIMP K_CRendererPosPassThru::get_StopTime(REFTIME *time)
{
    LONGLONG units = 0;
    HRESULT result = time != nullptr ? GetStopPosition(&units) : E_POINTER;
    if (SUCCEEDED(result)) {
        *time = static_cast<REFTIME>(units) / kUnitsPerSecond;
    }
    return result;
}

STDMETHODIMP K_CRendererPosPassThru::put_StopTime(REFTIME time)
{
    LONGLONG units = ToUnits(time);
    return SetPositions(nullptr, AM_SEEKING_NoPositioning, &units, AM_SEEKING_AbsolutePositioning);
}

STDMETHODIMP K_CRendererPosPassThru::get_PrerollTime(REFTIME *time)
{
    LONGLONG units = 0;
    HRESULT result = time != nullptr ? GetPreroll(&units) : E_POINTER;
    if (SUCCEEDED(result)) {
        *time = static_cast<REFTIME>(units) / kUnitsPerSecond;
    }
    return result;
}

STDMETHODIMP K_CRendererPosPassThru::put_PrerollTime(REFTIME)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CRendererPosPassThru::put_Rate(double rate)
{
    return SetRate(rate);
}

STDMETHODIMP K_CRendererPosPassThru::get_Rate(double *rate)
{
    return GetRate(rate);
}

STDMETHODIMP K_CRendererPosPassThru::CanSeekForward(LONG *can)
{
    DWORD capabilities = 0;
    HRESULT result = can != nullptr ? GetCapabilities(&capabilities) : E_POINTER;
    if (SUCCEEDED(result)) {
        *can = (capabilities & AM_SEEKING_CanSeekForwards) != 0 ? OATRUE : OAFALSE;
    }
    return result;
}

STDMETHODIMP K_CRendererPosPassThru::CanSeekBackward(LONG *can)
{
    DWORD capabilities = 0;
    HRESULT result = can != nullptr ? GetCapabilities(&capabilities) : E_POINTER;
    if (SUCCEEDED(result)) {
        *can = (capabilities & AM_SEEKING_CanSeekBackwards) != 0 ? OATRUE : OAFALSE;
    }
    return result;
}

} // namespace Korvo
