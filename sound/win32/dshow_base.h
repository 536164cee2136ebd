// The small base under the library's own media-graph filters: media-type
// records, a filter with its state and pin list, pins that connect by media
// type, and the pin and media-type enumerators. COM memory and object creation
// go through the run-time "ole32.dll" entries.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Class and type identifiers the filters use (the platform's values).
extern const GUID K_CLSID_FilterGraph;
extern const GUID K_CLSID_NullRenderer;
extern const GUID K_CLSID_MemoryAllocator;
extern const GUID K_MEDIATYPE_Stream;
extern const GUID K_MEDIASUBTYPE_MPEG1Audio;
extern const GUID K_MEDIATYPE_Audio;
extern const GUID K_MEDIASUBTYPE_PCM;
extern const GUID K_FORMAT_WaveFormatEx;

// ---------------------------------------------------------------------------
// Media-type records
// ---------------------------------------------------------------------------
// Deep copy (the format block from the COM allocator); false when out of memory
bool K_CopyMediaType(AM_MEDIA_TYPE *to, const AM_MEDIA_TYPE *from);
// Free the format block and the interface a record holds
void K_FreeMediaType(AM_MEDIA_TYPE *type);
// A COM-allocated copy, as enumerators hand them out; null when out of memory
AM_MEDIA_TYPE *K_CreateMediaType(const AM_MEDIA_TYPE *from);
// Free a record made by K_CreateMediaType
void K_DeleteMediaType(AM_MEDIA_TYPE *type);
// A COM object of a class, or null
void *K_CreateComObject(const GUID &classId, const IID &interfaceId);

class K_CBasePin;

// ---------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------
// A filter: reference count, state, graph and name; the pins come from the subclass.
class K_CBaseFilter : public IBaseFilter {
public:
    K_CBaseFilter(const GUID &classId, const wchar_t *name);
    virtual ~K_CBaseFilter();

    virtual int GetPinCount() = 0;
    virtual K_CBasePin *GetPin(int index) = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetClassID(CLSID *classId) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE *state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock *clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock **clock) override;
    STDMETHODIMP EnumPins(IEnumPins **pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin **pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO *info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph *graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR *info) override;

    CRITICAL_SECTION filterLock;
    FILTER_STATE state;
    REFERENCE_TIME startTime;

protected:
    LONG references;
    GUID classId;
    IFilterGraph *graph; // not held: the graph holds the filter
    IReferenceClock *clock;
    wchar_t name[128];
};

// ---------------------------------------------------------------------------
// Pin
// ---------------------------------------------------------------------------
// A pin of a filter (its references are the filter's): connection by media type.
class K_CBasePin : public IPin {
public:
    K_CBasePin(K_CBaseFilter *filter, PIN_DIRECTION direction, const wchar_t *name);
    virtual ~K_CBasePin();

    // 0 when the pin takes the type
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE *type) = 0;
    // The pin's preferred types in order; S_OK, or VFW_S_NO_MORE_ITEMS past the last
    virtual HRESULT GetMediaType(int index, AM_MEDIA_TYPE *type);
    // After both ends agreed on a type (output pins choose the allocator here)
    virtual HRESULT CompleteConnect(IPin *peer);
    virtual void BreakConnect();
    // The filter starts streaming or stops
    virtual HRESULT Active();
    virtual HRESULT Inactive();

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Connect(IPin *receivePin, const AM_MEDIA_TYPE *type) override;
    STDMETHODIMP ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin **pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE *type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO *info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION *direction) override;
    STDMETHODIMP QueryId(LPWSTR *id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE *type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes **types) override;
    STDMETHODIMP QueryInternalConnections(IPin **pins, ULONG *count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    K_CBaseFilter *filter;
    PIN_DIRECTION direction;
    IPin *connected;         // held while connected
    AM_MEDIA_TYPE mediaType; // of the connection
    REFERENCE_TIME segmentStart;
    wchar_t name[64];

protected:
    // Try one type against the receiving pin
    HRESULT TryConnection(IPin *receivePin, const AM_MEDIA_TYPE *type);
};

} // namespace Korvo
