// A source filter over bytes in memory: K_CMemStream reads them (optionally no
// faster than a byte rate), K_CMemSourcePin offers them to the graph as an
// asynchronous reader, serving queued requests on a worker thread.
#pragma once

#include "sound/win32/dshow_base.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// Bytes in memory (not owned) with a read position.
class K_CMemStream {
public:
    // rate: bytes per millisecond, -1 for no limit
    K_CMemStream(const unsigned char *data, int64_t length, int rate);
    ~K_CMemStream();
    // Any position up to the length
    HRESULT SetPointer(int64_t position);
    // Up to bytes from the position (clipped to the length); the bytes read
    HRESULT Read(unsigned char *buffer, long bytes, long *read);
    // The total, and what the rate has made available so far
    int64_t Size(int64_t *available);
    CRITICAL_SECTION lock;

private:
    const unsigned char *data;
    int64_t length;
    int64_t position;
    int rate;
    DWORD createdMs;
};

// One queued read.
struct K_ReadRequest {
    IMediaSample *sample;
    DWORD_PTR user;
    HRESULT result;
    K_ReadRequest *next;
};

// Requests waiting and done, served by a worker started on the first request.
class K_CReadRequestQueue {
public:
    explicit K_CReadRequestQueue(K_CMemStream *stream);
    ~K_CReadRequestQueue();
    HRESULT Request(IMediaSample *sample, DWORD_PTR user);
    HRESULT WaitForNext(DWORD timeoutMs, IMediaSample **sample, DWORD_PTR *user);
    // Read a sample's byte range (its times in units of 10^-7 per byte) now
    HRESULT ReadSample(IMediaSample *sample);
    void BeginFlush();
    void EndFlush();

private:
    static DWORD WINAPI WorkerProc(void *queue);
    void Push(K_ReadRequest **list, K_ReadRequest *request);
    K_ReadRequest *Pop(K_ReadRequest **list);

    K_CMemStream *stream;
    CRITICAL_SECTION lock;
    K_ReadRequest *waiting;
    K_ReadRequest *done;
    HANDLE worker;
    HANDLE workEvent;     // new work or the end
    HANDLE doneEvent;     // set while the done list holds requests (or while flushing)
    HANDLE flushEvent;    // set while flushing
    int flushing;
    int ending;
};

class K_CMemSourceFilter;

// The output pin "Output": the data as one media type, read through IAsyncReader.
class K_CMemSourcePin : public K_CBasePin, public IAsyncReader {
public:
    K_CMemSourcePin(K_CMemSourceFilter *filter, K_CMemStream *stream, const AM_MEDIA_TYPE *type);
    ~K_CMemSourcePin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE *type) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE *type) override;

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return K_CBasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return K_CBasePin::Release(); }
    STDMETHODIMP RequestAllocator(IMemAllocator *preferred, ALLOCATOR_PROPERTIES *properties,
                                  IMemAllocator **actual) override;
    STDMETHODIMP Request(IMediaSample *sample, DWORD_PTR user) override;
    STDMETHODIMP WaitForNext(DWORD timeout, IMediaSample **sample, DWORD_PTR *user) override;
    STDMETHODIMP SyncReadAligned(IMediaSample *sample) override;
    STDMETHODIMP SyncRead(LONGLONG position, LONG length, BYTE *buffer) override;
    STDMETHODIMP Length(LONGLONG *total, LONGLONG *available) override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

private:
    K_CMemStream *stream;
    AM_MEDIA_TYPE offered;
    K_CReadRequestQueue queue;
};

// The filter: one output pin over a stream.
class K_CMemSourceFilter : public K_CBaseFilter {
public:
    K_CMemSourceFilter(K_CMemStream *stream, const AM_MEDIA_TYPE *type, const wchar_t *name);
    ~K_CMemSourceFilter() override;
    int GetPinCount() override { return 1; }
    K_CBasePin *GetPin(int) override { return &pin; }

private:
    K_CMemSourcePin pin;
};

// The memory reader of the MP3 conversion.
class K_CMemReader : public K_CMemSourceFilter {
public:
    K_CMemReader(K_CMemStream *stream, const AM_MEDIA_TYPE *type) : K_CMemSourceFilter(stream, type, L"Mem Reader") {}
};

} // namespace Korvo
