// The delivery allocator and its one sample.

#include "sound/win32/delivery_allocator.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// K_CDeliverySample
// ---------------------------------------------------------------------------

K_CDeliverySample::K_CDeliverySample(K_CDeliveryAllocator *owner)
    : references(0), actualLength(0), start(0), stop(0), timeValid(0), syncPoint(0), preroll(0), discontinuity(0),
      allocator(owner)
{
}

STDMETHODIMP K_CDeliverySample::QueryInterface(REFIID iid, void **out)
{
    if (iid == IID_IUnknown || iid == __uuidof(IMediaSample)) {
        *out = static_cast<IMediaSample *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) K_CDeliverySample::AddRef()
{
    return InterlockedIncrement(&references);
}

// The last reference gives the sample back to its allocator
STDMETHODIMP_(ULONG) K_CDeliverySample::Release()
{
    LONG left = InterlockedDecrement(&references);
    if (left == 0) {
        allocator->ReleaseBuffer(this);
    }
    return left;
}

STDMETHODIMP K_CDeliverySample::GetPointer(BYTE **out)
{
    *out = allocator->buffer + allocator->properties.cbPrefix;
    return S_OK;
}

STDMETHODIMP_(long) K_CDeliverySample::GetSize()
{
    return allocator->properties.cbBuffer;
}

STDMETHODIMP K_CDeliverySample::GetTime(REFERENCE_TIME *outStart, REFERENCE_TIME *outStop)
{
    if (timeValid == 0) {
        return VFW_E_SAMPLE_TIME_NOT_SET;
    }
    *outStart = start;
    *outStop = stop;
    return S_OK;
}

STDMETHODIMP K_CDeliverySample::SetTime(REFERENCE_TIME *newStart, REFERENCE_TIME *newStop)
{
    timeValid = newStart != nullptr && newStop != nullptr ? 1 : 0;
    if (timeValid != 0) {
        start = *newStart;
        stop = *newStop;
    }
    return S_OK;
}

STDMETHODIMP K_CDeliverySample::IsSyncPoint()
{
    return syncPoint != 0 ? S_OK : S_FALSE;
}

STDMETHODIMP K_CDeliverySample::SetSyncPoint(BOOL value)
{
    syncPoint = value != 0 ? 1 : 0;
    return S_OK;
}

STDMETHODIMP K_CDeliverySample::IsPreroll()
{
    return preroll != 0 ? S_OK : S_FALSE;
}

STDMETHODIMP K_CDeliverySample::SetPreroll(BOOL value)
{
    preroll = value != 0 ? 1 : 0;
    return S_OK;
}

STDMETHODIMP_(long) K_CDeliverySample::GetActualDataLength()
{
    return actualLength;
}

STDMETHODIMP K_CDeliverySample::SetActualDataLength(long length)
{
    if (length < 0 || length > allocator->properties.cbBuffer) {
        return VFW_E_BUFFER_OVERFLOW;
    }
    actualLength = length;
    return S_OK;
}

// The sample never carries a changed media type
STDMETHODIMP K_CDeliverySample::GetMediaType(AM_MEDIA_TYPE **type)
{
    *type = nullptr;
    return S_FALSE;
}

STDMETHODIMP K_CDeliverySample::SetMediaType(AM_MEDIA_TYPE *)
{
    return E_NOTIMPL;
}

STDMETHODIMP K_CDeliverySample::IsDiscontinuity()
{
    return discontinuity != 0 ? S_OK : S_FALSE;
}

STDMETHODIMP K_CDeliverySample::SetDiscontinuity(BOOL value)
{
    discontinuity = value != 0 ? 1 : 0;
    return S_OK;
}

STDMETHODIMP K_CDeliverySample::GetMediaTime(LONGLONG *, LONGLONG *)
{
    return VFW_E_MEDIA_TIME_NOT_SET;
}

STDMETHODIMP K_CDeliverySample::SetMediaTime(LONGLONG *, LONGLONG *)
{
    return S_OK;
}

// ---------------------------------------------------------------------------
// K_CDeliveryAllocator
// ---------------------------------------------------------------------------

K_CDeliveryAllocator::K_CDeliveryAllocator(const ALLOCATOR_PROPERTIES *shape, BYTE *memory)
    : properties(*shape), buffer(memory), references(1), committed(0),
      sampleFree(CreateEventA(nullptr, TRUE, TRUE, nullptr)), sample(this)
{
    if (properties.cbAlign == 0) {
        properties.cbAlign = 1;
    }
}

K_CDeliveryAllocator::~K_CDeliveryAllocator()
{
    CloseHandle(sampleFree);
}

STDMETHODIMP K_CDeliveryAllocator::QueryInterface(REFIID iid, void **out)
{
    if (iid == IID_IUnknown || iid == __uuidof(IMemAllocator)) {
        *out = static_cast<IMemAllocator *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) K_CDeliveryAllocator::AddRef()
{
    return InterlockedIncrement(&references);
}

STDMETHODIMP_(ULONG) K_CDeliveryAllocator::Release()
{
    LONG left = InterlockedDecrement(&references);
    if (left == 0) {
        delete this;
    }
    return left;
}

// Only the delivery buffer's count, size, alignment and prefix
STDMETHODIMP K_CDeliveryAllocator::SetProperties(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual)
{
    *actual = properties;
    if (request->cBuffers != properties.cBuffers || request->cbBuffer != properties.cbBuffer ||
        (request->cbAlign != properties.cbAlign && request->cbAlign != 0) || request->cbPrefix != properties.cbPrefix) {
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP K_CDeliveryAllocator::GetProperties(ALLOCATOR_PROPERTIES *out)
{
    *out = properties;
    return S_OK;
}

STDMETHODIMP K_CDeliveryAllocator::Commit()
{
    committed = 1;
    return S_OK;
}

// Wakes a caller waiting for the sample
STDMETHODIMP K_CDeliveryAllocator::Decommit()
{
    committed = 0;
    SetEvent(sampleFree);
    return S_OK;
}

// The one sample, once it is back (unless told not to wait)
STDMETHODIMP K_CDeliveryAllocator::GetBuffer(IMediaSample **out, REFERENCE_TIME *, REFERENCE_TIME *, DWORD flags)
{
    *out = nullptr;
    for (;;) {
        if (committed == 0) {
            return VFW_E_NOT_COMMITTED;
        }
        if (InterlockedCompareExchange(&sample.references, 1, 0) == 0) {
            ResetEvent(sampleFree);
            sample.actualLength = 0;
            sample.timeValid = 0;
            AddRef(); // the sample out holds its allocator
            *out = &sample;
            return S_OK;
        }
        if ((flags & AM_GBF_NOWAIT) != 0) {
            return VFW_E_TIMEOUT;
        }
        WaitForSingleObject(sampleFree, INFINITE);
    }
}

STDMETHODIMP K_CDeliveryAllocator::ReleaseBuffer(IMediaSample *)
{
    SetEvent(sampleFree);
    Release();
    return S_OK;
}

} // namespace Korvo
