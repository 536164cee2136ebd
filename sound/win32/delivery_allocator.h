// An allocator over one buffer the caller owns: the sample grabber's input
// hands it to the upstream filter, so decoded samples land in that buffer.
#pragma once

#include "sound/win32/dshow_base.h"

namespace Korvo {

class K_CDeliveryAllocator;

// The allocator's one sample, over the caller's buffer.
class K_CDeliverySample : public IMediaSample {
public:
    explicit K_CDeliverySample(K_CDeliveryAllocator *allocator);

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetPointer(BYTE **buffer) override;
    STDMETHODIMP_(long) GetSize() override;
    STDMETHODIMP GetTime(REFERENCE_TIME *start, REFERENCE_TIME *stop) override;
    STDMETHODIMP SetTime(REFERENCE_TIME *start, REFERENCE_TIME *stop) override;
    STDMETHODIMP IsSyncPoint() override;
    STDMETHODIMP SetSyncPoint(BOOL value) override;
    STDMETHODIMP IsPreroll() override;
    STDMETHODIMP SetPreroll(BOOL value) override;
    STDMETHODIMP_(long) GetActualDataLength() override;
    STDMETHODIMP SetActualDataLength(long length) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE **type) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE *type) override;
    STDMETHODIMP IsDiscontinuity() override;
    STDMETHODIMP SetDiscontinuity(BOOL value) override;
    STDMETHODIMP GetMediaTime(LONGLONG *start, LONGLONG *stop) override;
    STDMETHODIMP SetMediaTime(LONGLONG *start, LONGLONG *stop) override;

    LONG references;       // 0 while the allocator holds it
    long actualLength;
    REFERENCE_TIME start;
    REFERENCE_TIME stop;
    int timeValid;
    int syncPoint;
    int preroll;
    int discontinuity;

private:
    K_CDeliveryAllocator *allocator;
};

// Hands out its one sample; SetProperties accepts only the buffer's own shape.
class K_CDeliveryAllocator : public IMemAllocator {
public:
    K_CDeliveryAllocator(const ALLOCATOR_PROPERTIES *properties, BYTE *buffer);
    ~K_CDeliveryAllocator();

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES *properties) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    STDMETHODIMP GetBuffer(IMediaSample **sample, REFERENCE_TIME *start, REFERENCE_TIME *stop, DWORD flags) override;
    STDMETHODIMP ReleaseBuffer(IMediaSample *sample) override;

    ALLOCATOR_PROPERTIES properties;
    BYTE *buffer;

private:
    LONG references;
    int committed;
    HANDLE sampleFree; // set while the sample is back with the allocator
    K_CDeliverySample sample;
};

} // namespace Korvo
