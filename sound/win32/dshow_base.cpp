// The base under the library's media-graph filters: media types, filter, pins
// and their enumerators.

#include "sound/win32/dshow_base.h"

#include "core/system/platform_libraries.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
const GUID K_CLSID_FilterGraph = {0xe436ebb3, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID K_CLSID_NullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
const GUID K_CLSID_MemoryAllocator = {0x1e651cc0, 0xb199, 0x11d0, {0x82, 0x12, 0x00, 0xc0, 0x4f, 0xc3, 0x2c, 0x45}};
const GUID K_MEDIATYPE_Stream = {0xe436eb83, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID K_MEDIASUBTYPE_MPEG1Audio = {0xe436eb87, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID K_MEDIATYPE_Audio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID K_MEDIASUBTYPE_PCM = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID K_FORMAT_WaveFormatEx = {0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void *ComAlloc(size_t bytes)
{
    return PlatformLibraries.ole32.CoTaskMemAlloc != nullptr ? PlatformLibraries.ole32.CoTaskMemAlloc(bytes) : nullptr;
}

static void ComFree(void *block)
{
    if (block != nullptr && PlatformLibraries.ole32.CoTaskMemFree != nullptr) {
        PlatformLibraries.ole32.CoTaskMemFree(block);
    }
}

// A COM string copy of a name (pin ids).
static LPWSTR ComStringCopy(const wchar_t *text)
{
    size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    LPWSTR copy = static_cast<LPWSTR>(ComAlloc(bytes));
    if (copy != nullptr) {
        std::memcpy(copy, text, bytes);
    }
    return copy;
}

// Reference counting and QueryInterface of a single-interface object.
template <typename Interface>
class K_CSingleInterface : public Interface {
public:
    virtual ~K_CSingleInterface() {}
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
            *out = static_cast<Interface *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&references);
        if (left == 0) {
            delete this;
        }
        return left;
    }

private:
    LONG references = 1;
};

// Pins of a filter, captured when the enumerator was made.
class K_CEnumPins : public K_CSingleInterface<IEnumPins> {
public:
    K_CEnumPins(K_CBaseFilter *owner, int start) : filter(owner), position(start)
    {
        filter->AddRef();
    }
    ~K_CEnumPins() override { filter->Release(); }
    STDMETHODIMP Next(ULONG count, IPin **pins, ULONG *fetched) override
    {
        ULONG got = 0;
        while (got < count && position < filter->GetPinCount()) {
            pins[got] = filter->GetPin(position++);
            pins[got]->AddRef();
            ++got;
        }
        if (fetched != nullptr) {
            *fetched = got;
        }
        return got == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        position += static_cast<int>(count);
        return position <= filter->GetPinCount() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins **out) override
    {
        *out = new (std::nothrow) K_CEnumPins(filter, position);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    K_CBaseFilter *filter;
    int position;
};

// The preferred media types of a pin.
class K_CEnumMediaTypes : public K_CSingleInterface<IEnumMediaTypes> {
public:
    K_CEnumMediaTypes(K_CBasePin *owner, int start) : pin(owner), position(start)
    {
        pin->filter->AddRef();
    }
    ~K_CEnumMediaTypes() override { pin->filter->Release(); }
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched) override
    {
        ULONG got = 0;
        while (got < count) {
            AM_MEDIA_TYPE type{};
            if (pin->GetMediaType(position, &type) != S_OK) {
                break;
            }
            ++position;
            types[got] = K_CreateMediaType(&type);
            K_FreeMediaType(&type);
            if (types[got] == nullptr) {
                break;
            }
            ++got;
        }
        if (fetched != nullptr) {
            *fetched = got;
        }
        return got == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        position += static_cast<int>(count);
        return S_OK;
    }
    STDMETHODIMP Reset() override
    {
        position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes **out) override
    {
        *out = new (std::nothrow) K_CEnumMediaTypes(pin, position);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    K_CBasePin *pin;
    int position;
};

// ---------------------------------------------------------------------------
// Media-type records
// ---------------------------------------------------------------------------

bool K_CopyMediaType(AM_MEDIA_TYPE *to, const AM_MEDIA_TYPE *from)
{
    *to = *from;
    if (from->cbFormat != 0 && from->pbFormat != nullptr) {
        to->pbFormat = static_cast<BYTE *>(ComAlloc(from->cbFormat));
        if (to->pbFormat == nullptr) {
            to->cbFormat = 0;
            to->pUnk = nullptr;
            return false;
        }
        std::memcpy(to->pbFormat, from->pbFormat, from->cbFormat);
    } else {
        to->pbFormat = nullptr;
        to->cbFormat = 0;
    }
    if (to->pUnk != nullptr) {
        to->pUnk->AddRef();
    }
    return true;
}

void K_FreeMediaType(AM_MEDIA_TYPE *type)
{
    ComFree(type->pbFormat);
    type->pbFormat = nullptr;
    type->cbFormat = 0;
    if (type->pUnk != nullptr) {
        type->pUnk->Release();
        type->pUnk = nullptr;
    }
}

AM_MEDIA_TYPE *K_CreateMediaType(const AM_MEDIA_TYPE *from)
{
    AM_MEDIA_TYPE *type = static_cast<AM_MEDIA_TYPE *>(ComAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type != nullptr && !K_CopyMediaType(type, from)) {
        ComFree(type);
        type = nullptr;
    }
    return type;
}

void K_DeleteMediaType(AM_MEDIA_TYPE *type)
{
    if (type != nullptr) {
        K_FreeMediaType(type);
        ComFree(type);
    }
}

void *K_CreateComObject(const GUID &classId, const IID &interfaceId)
{
    void *object = nullptr;
    if (PlatformLibraries.ole32.CoCreateInstance == nullptr ||
        FAILED(PlatformLibraries.ole32.CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId, &object))) {
        return nullptr;
    }
    return object;
}

// ---------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------

K_CBaseFilter::K_CBaseFilter(const GUID &filterClass, const wchar_t *filterName)
    : state(State_Stopped), startTime(0), references(1), classId(filterClass), graph(nullptr), clock(nullptr)
{
    InitializeCriticalSection(&filterLock);
    std::wcsncpy(name, filterName, 127);
    name[127] = 0;
}

K_CBaseFilter::~K_CBaseFilter()
{
    if (clock != nullptr) {
        clock->Release();
    }
    DeleteCriticalSection(&filterLock);
}

STDMETHODIMP K_CBaseFilter::QueryInterface(REFIID iid, void **out)
{
    if (iid == IID_IUnknown || iid == __uuidof(IPersist) || iid == __uuidof(IMediaFilter) ||
        iid == __uuidof(IBaseFilter)) {
        *out = static_cast<IBaseFilter *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) K_CBaseFilter::AddRef()
{
    return InterlockedIncrement(&references);
}

STDMETHODIMP_(ULONG) K_CBaseFilter::Release()
{
    LONG left = InterlockedDecrement(&references);
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP K_CBaseFilter::GetClassID(CLSID *out)
{
    *out = classId;
    return S_OK;
}

// Stopping deactivates every connected pin
STDMETHODIMP K_CBaseFilter::Stop()
{
    EnterCriticalSection(&filterLock);
    HRESULT result = S_OK;
    if (state != State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i) {
            if (GetPin(i)->connected != nullptr && FAILED(GetPin(i)->Inactive())) {
                result = E_FAIL;
            }
        }
    }
    state = State_Stopped;
    LeaveCriticalSection(&filterLock);
    return result;
}

// Leaving the stopped state activates every connected pin
STDMETHODIMP K_CBaseFilter::Pause()
{
    EnterCriticalSection(&filterLock);
    HRESULT result = S_OK;
    if (state == State_Stopped) {
        for (int i = 0; i < GetPinCount() && SUCCEEDED(result); ++i) {
            if (GetPin(i)->connected != nullptr) {
                result = GetPin(i)->Active();
            }
        }
    }
    if (SUCCEEDED(result)) {
        state = State_Paused;
    }
    LeaveCriticalSection(&filterLock);
    return result;
}

STDMETHODIMP K_CBaseFilter::Run(REFERENCE_TIME start)
{
    EnterCriticalSection(&filterLock);
    HRESULT result = state == State_Stopped ? Pause() : S_OK;
    if (SUCCEEDED(result)) {
        startTime = start;
        state = State_Running;
    }
    LeaveCriticalSection(&filterLock);
    return result;
}

STDMETHODIMP K_CBaseFilter::GetState(DWORD, FILTER_STATE *out)
{
    *out = state;
    return S_OK;
}

STDMETHODIMP K_CBaseFilter::SetSyncSource(IReferenceClock *newClock)
{
    EnterCriticalSection(&filterLock);
    if (newClock != nullptr) {
        newClock->AddRef();
    }
    if (clock != nullptr) {
        clock->Release();
    }
    clock = newClock;
    LeaveCriticalSection(&filterLock);
    return S_OK;
}

STDMETHODIMP K_CBaseFilter::GetSyncSource(IReferenceClock **out)
{
    *out = clock;
    if (clock != nullptr) {
        clock->AddRef();
    }
    return S_OK;
}

STDMETHODIMP K_CBaseFilter::EnumPins(IEnumPins **out)
{
    *out = new (std::nothrow) K_CEnumPins(this, 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP K_CBaseFilter::FindPin(LPCWSTR id, IPin **out)
{
    for (int i = 0; i < GetPinCount(); ++i) {
        if (std::wcscmp(GetPin(i)->name, id) == 0) {
            *out = GetPin(i);
            (*out)->AddRef();
            return S_OK;
        }
    }
    *out = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP K_CBaseFilter::QueryFilterInfo(FILTER_INFO *info)
{
    std::wcsncpy(info->achName, name, MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = 0;
    info->pGraph = graph;
    if (graph != nullptr) {
        graph->AddRef();
    }
    return S_OK;
}

STDMETHODIMP K_CBaseFilter::JoinFilterGraph(IFilterGraph *newGraph, LPCWSTR newName)
{
    EnterCriticalSection(&filterLock);
    graph = newGraph;
    if (newName != nullptr) {
        std::wcsncpy(name, newName, 127);
        name[127] = 0;
    }
    LeaveCriticalSection(&filterLock);
    return S_OK;
}

STDMETHODIMP K_CBaseFilter::QueryVendorInfo(LPWSTR *)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// Pin
// ---------------------------------------------------------------------------

K_CBasePin::K_CBasePin(K_CBaseFilter *owner, PIN_DIRECTION pinDirection, const wchar_t *pinName)
    : filter(owner), direction(pinDirection), connected(nullptr), mediaType{}, segmentStart(0)
{
    std::wcsncpy(name, pinName, 63);
    name[63] = 0;
}

K_CBasePin::~K_CBasePin()
{
    if (connected != nullptr) {
        connected->Release();
    }
    K_FreeMediaType(&mediaType);
}

HRESULT K_CBasePin::GetMediaType(int, AM_MEDIA_TYPE *)
{
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT K_CBasePin::CompleteConnect(IPin *)
{
    return S_OK;
}

void K_CBasePin::BreakConnect()
{
}

HRESULT K_CBasePin::Active()
{
    return S_OK;
}

HRESULT K_CBasePin::Inactive()
{
    return S_OK;
}

STDMETHODIMP K_CBasePin::QueryInterface(REFIID iid, void **out)
{
    if (iid == IID_IUnknown || iid == __uuidof(IPin)) {
        *out = static_cast<IPin *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) K_CBasePin::AddRef()
{
    return filter->AddRef();
}

STDMETHODIMP_(ULONG) K_CBasePin::Release()
{
    return filter->Release();
}

// Offer one type; on acceptance keep the connection and let the subclass finish it
HRESULT K_CBasePin::TryConnection(IPin *receivePin, const AM_MEDIA_TYPE *type)
{
    if (CheckMediaType(type) != S_OK) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    connected = receivePin;
    connected->AddRef();
    K_FreeMediaType(&mediaType);
    K_CopyMediaType(&mediaType, type);
    HRESULT result = receivePin->ReceiveConnection(this, type);
    if (SUCCEEDED(result)) {
        result = CompleteConnect(receivePin);
        if (SUCCEEDED(result)) {
            return S_OK;
        }
        receivePin->Disconnect();
    }
    BreakConnect();
    connected->Release();
    connected = nullptr;
    K_FreeMediaType(&mediaType);
    return FAILED(result) ? result : VFW_E_TYPE_NOT_ACCEPTED;
}

// Our types first, then the receiver's; a partial type narrows both lists
STDMETHODIMP K_CBasePin::Connect(IPin *receivePin, const AM_MEDIA_TYPE *wanted)
{
    EnterCriticalSection(&filter->filterLock);
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    if (connected != nullptr) {
        result = VFW_E_ALREADY_CONNECTED;
    } else if (filter->state != State_Stopped) {
        result = VFW_E_NOT_STOPPED;
    } else {
        auto matches = [wanted](const AM_MEDIA_TYPE *type) {
            return wanted == nullptr ||
                   ((wanted->majortype == GUID_NULL || wanted->majortype == type->majortype) &&
                    (wanted->subtype == GUID_NULL || wanted->subtype == type->subtype));
        };
        for (int i = 0; result != S_OK; ++i) {
            AM_MEDIA_TYPE type{};
            if (GetMediaType(i, &type) != S_OK) {
                break;
            }
            if (matches(&type)) {
                result = TryConnection(receivePin, &type);
            }
            K_FreeMediaType(&type);
        }
        IEnumMediaTypes *types = nullptr;
        if (result != S_OK && SUCCEEDED(receivePin->EnumMediaTypes(&types))) {
            AM_MEDIA_TYPE *type = nullptr;
            while (result != S_OK && types->Next(1, &type, nullptr) == S_OK) {
                if (matches(type)) {
                    result = TryConnection(receivePin, type);
                }
                K_DeleteMediaType(type);
            }
            types->Release();
        }
        if (result != S_OK) {
            result = VFW_E_NO_ACCEPTABLE_TYPES;
        }
    }
    LeaveCriticalSection(&filter->filterLock);
    return result;
}

STDMETHODIMP K_CBasePin::ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *type)
{
    EnterCriticalSection(&filter->filterLock);
    HRESULT result = S_OK;
    if (connected != nullptr) {
        result = VFW_E_ALREADY_CONNECTED;
    } else if (filter->state != State_Stopped) {
        result = VFW_E_NOT_STOPPED;
    } else if (CheckMediaType(type) != S_OK) {
        result = VFW_E_TYPE_NOT_ACCEPTED;
    } else {
        connected = connector;
        connected->AddRef();
        K_CopyMediaType(&mediaType, type);
        result = CompleteConnect(connector);
        if (FAILED(result)) {
            BreakConnect();
            connected->Release();
            connected = nullptr;
            K_FreeMediaType(&mediaType);
        }
    }
    LeaveCriticalSection(&filter->filterLock);
    return result;
}

STDMETHODIMP K_CBasePin::Disconnect()
{
    EnterCriticalSection(&filter->filterLock);
    HRESULT result = S_FALSE;
    if (connected != nullptr) {
        BreakConnect();
        connected->Release();
        connected = nullptr;
        K_FreeMediaType(&mediaType);
        result = S_OK;
    }
    LeaveCriticalSection(&filter->filterLock);
    return result;
}

STDMETHODIMP K_CBasePin::ConnectedTo(IPin **pin)
{
    *pin = connected;
    if (connected == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    connected->AddRef();
    return S_OK;
}

STDMETHODIMP K_CBasePin::ConnectionMediaType(AM_MEDIA_TYPE *type)
{
    if (connected == nullptr) {
        std::memset(type, 0, sizeof(*type));
        return VFW_E_NOT_CONNECTED;
    }
    return K_CopyMediaType(type, &mediaType) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP K_CBasePin::QueryPinInfo(PIN_INFO *info)
{
    info->pFilter = filter;
    filter->AddRef();
    info->dir = direction;
    std::wcsncpy(info->achName, name, MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = 0;
    return S_OK;
}

STDMETHODIMP K_CBasePin::QueryDirection(PIN_DIRECTION *out)
{
    *out = direction;
    return S_OK;
}

STDMETHODIMP K_CBasePin::QueryId(LPWSTR *id)
{
    *id = ComStringCopy(name);
    return *id != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP K_CBasePin::QueryAccept(const AM_MEDIA_TYPE *type)
{
    return CheckMediaType(type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP K_CBasePin::EnumMediaTypes(IEnumMediaTypes **out)
{
    *out = new (std::nothrow) K_CEnumMediaTypes(this, 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP K_CBasePin::QueryInternalConnections(IPin **, ULONG *)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CBasePin::EndOfStream()
{
    return S_OK;
}

STDMETHODIMP K_CBasePin::BeginFlush()
{
    return S_OK;
}

STDMETHODIMP K_CBasePin::EndFlush()
{
    return S_OK;
}

STDMETHODIMP K_CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double)
{
    segmentStart = start;
    return S_OK;
}

// ---------------------------------------------------------------------------
// Input pin that takes samples
// ---------------------------------------------------------------------------

K_CMemInputPin::K_CMemInputPin(K_CBaseFilter *owner, const wchar_t *pinName)
    : K_CBasePin(owner, PINDIR_INPUT, pinName), allocator(nullptr)
{
}

void K_CMemInputPin::BreakConnect()
{
    if (allocator != nullptr) {
        allocator->Release();
        allocator = nullptr;
    }
}

STDMETHODIMP K_CMemInputPin::QueryInterface(REFIID iid, void **out)
{
    if (iid == __uuidof(IMemInputPin)) {
        *out = static_cast<IMemInputPin *>(this);
        AddRef();
        return S_OK;
    }
    return K_CBasePin::QueryInterface(iid, out);
}

STDMETHODIMP K_CMemInputPin::GetAllocator(IMemAllocator **out)
{
    if (allocator == nullptr) {
        allocator = static_cast<IMemAllocator *>(K_CreateComObject(K_CLSID_MemoryAllocator, __uuidof(IMemAllocator)));
        if (allocator == nullptr) {
            *out = nullptr;
            return VFW_E_NO_ALLOCATOR;
        }
    }
    allocator->AddRef();
    *out = allocator;
    return S_OK;
}

STDMETHODIMP K_CMemInputPin::NotifyAllocator(IMemAllocator *given, BOOL)
{
    if (given != nullptr) {
        given->AddRef();
    }
    if (allocator != nullptr) {
        allocator->Release();
    }
    allocator = given;
    return S_OK;
}

STDMETHODIMP K_CMemInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CMemInputPin::ReceiveMultiple(IMediaSample **samples, long count, long *done)
{
    HRESULT result = S_OK;
    *done = 0;
    while (*done < count && result == S_OK) {
        result = Receive(samples[*done]);
        ++*done;
    }
    return result;
}

STDMETHODIMP K_CMemInputPin::ReceiveCanBlock()
{
    return S_OK;
}

} // namespace Korvo
