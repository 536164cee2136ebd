// The sample grabber filter and its two pins.

#include "sound/win32/sample_grabber.h"
#include "sound/win32/delivery_allocator.h"

#include <cstring>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
const GUID K_CLSID_SampleGrabber = {0x2fa4f053, 0x6d60, 0x4cb0, {0x95, 0x03, 0x8e, 0x89, 0x23, 0x4f, 0x3f, 0x73}};
const GUID K_IID_ISampleGrabber = {0x6b6b6f72, 0x6773, 0x6272, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}};
// The input type does not match the accepted one.
constexpr HRESULT kTypeRefused = static_cast<HRESULT>(0x80040248);

// ---------------------------------------------------------------------------
// Input pin
// ---------------------------------------------------------------------------

K_CSampleGrabberInPin::K_CSampleGrabberInPin(K_CSampleGrabber *filter)
    : K_CMemInputPin(filter, L"Input"), grabber(filter)
{
}

// Everything without an accepted major type; else the major type, and the
// subtype and format type unless the accepted ones are null
HRESULT K_CSampleGrabberInPin::CheckMediaType(const AM_MEDIA_TYPE *type)
{
    const AM_MEDIA_TYPE &accepted = grabber->accepted;
    if (accepted.majortype == GUID_NULL) {
        return S_OK;
    }
    if (accepted.majortype != type->majortype ||
        (accepted.subtype != GUID_NULL && accepted.subtype != type->subtype) ||
        (accepted.formattype != GUID_NULL && accepted.formattype != type->formattype)) {
        return kTypeRefused;
    }
    return S_OK;
}

STDMETHODIMP K_CSampleGrabberInPin::Receive(IMediaSample *sample)
{
    return grabber->ProcessSample(sample);
}

// The stream events go on to the next filter
STDMETHODIMP K_CSampleGrabberInPin::EndOfStream()
{
    IPin *next = grabber->output.connected;
    return next != nullptr ? next->EndOfStream() : S_OK;
}

STDMETHODIMP K_CSampleGrabberInPin::BeginFlush()
{
    IPin *next = grabber->output.connected;
    return next != nullptr ? next->BeginFlush() : S_OK;
}

STDMETHODIMP K_CSampleGrabberInPin::EndFlush()
{
    IPin *next = grabber->output.connected;
    return next != nullptr ? next->EndFlush() : S_OK;
}

STDMETHODIMP K_CSampleGrabberInPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    K_CBasePin::NewSegment(start, stop, rate);
    IPin *next = grabber->output.connected;
    return next != nullptr ? next->NewSegment(start, stop, rate) : S_OK;
}

// ---------------------------------------------------------------------------
// Output pin
// ---------------------------------------------------------------------------

K_CSampleGrabberOutPin::K_CSampleGrabberOutPin(K_CSampleGrabber *filter)
    : K_CBasePin(filter, PINDIR_OUTPUT, L"Output"), nextInput(nullptr), copyAllocator(nullptr), grabber(filter)
{
}

// Only the input's type, once the input is connected
HRESULT K_CSampleGrabberOutPin::CheckMediaType(const AM_MEDIA_TYPE *type)
{
    const K_CSampleGrabberInPin &in = grabber->input;
    if (in.connected == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    return type->majortype == in.mediaType.majortype && type->subtype == in.mediaType.subtype ? S_OK : S_FALSE;
}

HRESULT K_CSampleGrabberOutPin::GetMediaType(int index, AM_MEDIA_TYPE *type)
{
    if (index != 0 || grabber->input.connected == nullptr) {
        return VFW_S_NO_MORE_ITEMS;
    }
    return K_CopyMediaType(type, &grabber->input.mediaType) ? S_OK : E_OUTOFMEMORY;
}

// Hand the input's allocator on; when the next pin refuses it, copy into its own
HRESULT K_CSampleGrabberOutPin::CompleteConnect(IPin *peer)
{
    if (FAILED(peer->QueryInterface(__uuidof(IMemInputPin), reinterpret_cast<void **>(&nextInput)))) {
        nextInput = nullptr;
        return E_NOINTERFACE;
    }
    IMemAllocator *upstream = grabber->input.allocator;
    if (upstream != nullptr && SUCCEEDED(nextInput->NotifyAllocator(upstream, FALSE))) {
        return S_OK;
    }
    ALLOCATOR_PROPERTIES wanted = {4, 1 << 16, 1, 0};
    if (upstream != nullptr) {
        upstream->GetProperties(&wanted);
    }
    ALLOCATOR_PROPERTIES granted{};
    if (FAILED(nextInput->GetAllocator(&copyAllocator)) || FAILED(copyAllocator->SetProperties(&wanted, &granted)) ||
        FAILED(nextInput->NotifyAllocator(copyAllocator, FALSE))) {
        BreakConnect();
        return VFW_E_NO_ALLOCATOR;
    }
    return S_OK;
}

void K_CSampleGrabberOutPin::BreakConnect()
{
    if (copyAllocator != nullptr) {
        copyAllocator->Release();
        copyAllocator = nullptr;
    }
    if (nextInput != nullptr) {
        nextInput->Release();
        nextInput = nullptr;
    }
}

HRESULT K_CSampleGrabberOutPin::Active()
{
    return copyAllocator != nullptr ? copyAllocator->Commit() : S_OK;
}

HRESULT K_CSampleGrabberOutPin::Inactive()
{
    return copyAllocator != nullptr ? copyAllocator->Decommit() : S_OK;
}

HRESULT K_CSampleGrabberOutPin::Deliver(IMediaSample *sample)
{
    if (nextInput == nullptr) {
        return S_OK;
    }
    if (copyAllocator == nullptr) {
        return nextInput->Receive(sample);
    }
    IMediaSample *copy = nullptr;
    HRESULT result = copyAllocator->GetBuffer(&copy, nullptr, nullptr, 0);
    if (FAILED(result)) {
        return result;
    }
    BYTE *from = nullptr, *to = nullptr;
    sample->GetPointer(&from);
    copy->GetPointer(&to);
    long bytes = sample->GetActualDataLength();
    if (bytes > copy->GetSize()) {
        bytes = copy->GetSize();
    }
    std::memcpy(to, from, static_cast<size_t>(bytes));
    copy->SetActualDataLength(bytes);
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
        copy->SetTime(&start, &stop);
    }
    result = nextInput->Receive(copy);
    copy->Release();
    return result;
}

// ---------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------

K_CSampleGrabber::K_CSampleGrabber()
    : K_CBaseFilter(K_CLSID_SampleGrabber, L"SampleGrabber"), accepted{}, callback(nullptr), user(nullptr),
      typeChanged(0), deliveryBuffer(nullptr), input(this), output(this)
{
    InitializeCriticalSection(&grabberLock);
}

K_CSampleGrabber::~K_CSampleGrabber()
{
    // An assigned delivery allocator is held even without a connection.
    input.BreakConnect();
    output.BreakConnect();
    K_FreeMediaType(&accepted);
    DeleteCriticalSection(&grabberLock);
}

K_CBasePin *K_CSampleGrabber::GetPin(int index)
{
    return index == 0 ? static_cast<K_CBasePin *>(&input) : &output;
}

STDMETHODIMP K_CSampleGrabber::QueryInterface(REFIID iid, void **out)
{
    if (iid == K_IID_ISampleGrabber) {
        *out = static_cast<K_ISampleGrabber *>(this);
        AddRef();
        return S_OK;
    }
    return K_CBaseFilter::QueryInterface(iid, out);
}

// Remember the type the input takes
STDMETHODIMP K_CSampleGrabber::ChooseAcceptedType(const AM_MEDIA_TYPE *type)
{
    if (type == nullptr) {
        return E_POINTER;
    }
    K_FreeMediaType(&accepted);
    AM_MEDIA_TYPE wanted = *type;
    wanted.pbFormat = nullptr; // only the three identifiers matter
    wanted.cbFormat = 0;
    wanted.pUnk = nullptr;
    return K_CopyMediaType(&accepted, &wanted) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP K_CSampleGrabber::QueryConnectedType(AM_MEDIA_TYPE *type)
{
    if (type == nullptr) {
        return E_POINTER;
    }
    return input.ConnectionMediaType(type);
}

STDMETHODIMP K_CSampleGrabber::InstallSampleCallback(K_SampleCallback newCallback, void *newUser)
{
    EnterCriticalSection(&grabberLock);
    callback = newCallback;
    user = newUser;
    LeaveCriticalSection(&grabberLock);
    return S_OK;
}

// While unconnected: the input's allocator becomes one over the caller's buffer
STDMETHODIMP K_CSampleGrabber::AssignDeliveryBuffer(ALLOCATOR_PROPERTIES *properties, BYTE *buffer)
{
    if (properties == nullptr || properties->cBuffers != 1) {
        return E_INVALIDARG;
    }
    if (buffer == nullptr) {
        return E_POINTER;
    }
    if (input.connected != nullptr) {
        return VFW_E_ALREADY_CONNECTED;
    }
    K_CDeliveryAllocator *allocator = new (std::nothrow) K_CDeliveryAllocator(properties, buffer);
    if (allocator == nullptr) {
        return E_OUTOFMEMORY;
    }
    input.NotifyAllocator(allocator, FALSE);
    allocator->Release();
    deliveryBuffer = buffer;
    return S_OK;
}

// The callback under the grabber lock, then the sample goes on
HRESULT K_CSampleGrabber::ProcessSample(IMediaSample *sample)
{
    AM_MEDIA_TYPE *changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed != nullptr) {
        typeChanged = 1;
        K_DeleteMediaType(changed);
    }
    HRESULT result = S_OK;
    EnterCriticalSection(&grabberLock);
    if (callback != nullptr) {
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        result = callback(user, sample, start - input.segmentStart, stop - input.segmentStart, typeChanged);
        typeChanged = 0;
    }
    LeaveCriticalSection(&grabberLock);
    if (FAILED(result)) {
        return result;
    }
    return output.Deliver(sample);
}

} // namespace Korvo
