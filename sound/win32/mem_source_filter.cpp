// The memory source filter: stream, request queue, asynchronous-reader pin.

#include "sound/win32/mem_source_filter.h"

#include "core/system/platform_libraries.h"

#include <cstring>
#include <initializer_list>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Sample times of an asynchronous reader count bytes in these units.
constexpr LONGLONG kUnitsPerByte = 10000000;
// A class id of its own: the filter is never created through COM.
static const GUID MemSourceFilterClass = {0x6b6b6f72, 0x6d65, 0x6d73, {0x72, 0x63, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static DWORD NowMs()
{
    return PlatformLibraries.winmm.timeGetTime != nullptr ? PlatformLibraries.winmm.timeGetTime() : GetTickCount();
}

// ---------------------------------------------------------------------------
// K_CMemStream
// ---------------------------------------------------------------------------

K_CMemStream::K_CMemStream(const unsigned char *bytes, int64_t size, int bytesPerMs)
    : data(bytes), length(size), position(0), rate(bytesPerMs), createdMs(NowMs())
{
    InitializeCriticalSection(&lock);
}

K_CMemStream::~K_CMemStream()
{
    DeleteCriticalSection(&lock);
}

HRESULT K_CMemStream::SetPointer(int64_t to)
{
    if (to < 0 || to > length) {
        return S_FALSE;
    }
    position = to;
    return S_OK;
}

// With a rate, wait until the bytes would have arrived
HRESULT K_CMemStream::Read(unsigned char *buffer, long bytes, long *read)
{
    EnterCriticalSection(&lock);
    int64_t take = bytes < length - position ? bytes : length - position;
    if (take < 0) {
        take = 0;
    }
    if (rate > 0) {
        DWORD due = static_cast<DWORD>((position + take) / rate);
        DWORD elapsed = NowMs() - createdMs;
        if (due > elapsed) {
            Sleep(due - elapsed);
        }
    }
    std::memcpy(buffer, data + position, static_cast<size_t>(take));
    position += take;
    *read = static_cast<long>(take);
    LeaveCriticalSection(&lock);
    return take == bytes ? S_OK : S_FALSE;
}

int64_t K_CMemStream::Size(int64_t *available)
{
    if (available != nullptr) {
        int64_t arrived = rate > 0 ? static_cast<int64_t>(NowMs() - createdMs) * rate : length;
        *available = arrived < length ? arrived : length;
    }
    return length;
}

// ---------------------------------------------------------------------------
// K_CReadRequestQueue
// ---------------------------------------------------------------------------

K_CReadRequestQueue::K_CReadRequestQueue(K_CMemStream *source)
    : stream(source), waiting(nullptr), done(nullptr), worker(nullptr), flushing(0), ending(0)
{
    InitializeCriticalSection(&lock);
    workEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    flushEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

K_CReadRequestQueue::~K_CReadRequestQueue()
{
    if (worker != nullptr) {
        EnterCriticalSection(&lock);
        ending = 1;
        LeaveCriticalSection(&lock);
        SetEvent(workEvent);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }
    for (K_ReadRequest **list : {&waiting, &done}) {
        while (K_ReadRequest *request = Pop(list)) {
            request->sample->Release();
            delete request;
        }
    }
    CloseHandle(workEvent);
    CloseHandle(doneEvent);
    CloseHandle(flushEvent);
    DeleteCriticalSection(&lock);
}

void K_CReadRequestQueue::Push(K_ReadRequest **list, K_ReadRequest *request)
{
    request->next = nullptr;
    while (*list != nullptr) {
        list = &(*list)->next;
    }
    *list = request;
}

K_ReadRequest *K_CReadRequestQueue::Pop(K_ReadRequest **list)
{
    K_ReadRequest *first = *list;
    if (first != nullptr) {
        *list = first->next;
    }
    return first;
}

HRESULT K_CReadRequestQueue::ReadSample(IMediaSample *sample)
{
    REFERENCE_TIME start = 0, stop = 0;
    BYTE *buffer = nullptr;
    if (FAILED(sample->GetTime(&start, &stop)) || FAILED(sample->GetPointer(&buffer))) {
        return E_FAIL;
    }
    LONGLONG position = start / kUnitsPerByte;
    LONGLONG bytes = (stop - start) / kUnitsPerByte;
    if (bytes < 0 || bytes > sample->GetSize()) {
        return E_INVALIDARG;
    }
    long read = 0;
    EnterCriticalSection(&stream->lock);
    HRESULT result = stream->SetPointer(position) == S_OK
                         ? stream->Read(buffer, static_cast<long>(bytes), &read)
                         : S_FALSE;
    LeaveCriticalSection(&stream->lock);
    sample->SetActualDataLength(read);
    if (read != bytes) {
        stop = start + read * kUnitsPerByte;
        sample->SetTime(&start, &stop);
    }
    return result;
}

// Queue a read; the worker starts with the first one
HRESULT K_CReadRequestQueue::Request(IMediaSample *sample, DWORD_PTR user)
{
    EnterCriticalSection(&lock);
    HRESULT result = S_OK;
    if (flushing != 0) {
        result = VFW_E_WRONG_STATE;
    } else {
        if (worker == nullptr) {
            worker = CreateThread(nullptr, 0, WorkerProc, this, 0, nullptr);
        }
        K_ReadRequest *request =
            worker != nullptr ? new (std::nothrow) K_ReadRequest{sample, user, S_OK, nullptr} : nullptr;
        if (worker == nullptr) {
            result = E_FAIL;
        } else if (request == nullptr) {
            result = E_OUTOFMEMORY;
        } else {
            sample->AddRef();
            Push(&waiting, request);
            SetEvent(workEvent);
        }
    }
    LeaveCriticalSection(&lock);
    return result;
}

// The oldest finished request; while flushing, the unfinished ones too
HRESULT K_CReadRequestQueue::WaitForNext(DWORD timeoutMs, IMediaSample **sample, DWORD_PTR *user)
{
    *sample = nullptr;
    *user = 0;
    for (;;) {
        EnterCriticalSection(&lock);
        K_ReadRequest *request = Pop(&done);
        if (request == nullptr && flushing != 0) {
            request = Pop(&waiting);
            if (request != nullptr) {
                request->result = VFW_E_WRONG_STATE;
            }
        }
        if (done == nullptr && (flushing == 0 || waiting == nullptr)) {
            ResetEvent(doneEvent);
        }
        bool flushedEmpty = request == nullptr && flushing != 0;
        LeaveCriticalSection(&lock);
        if (request != nullptr) {
            *sample = request->sample; // the caller takes our reference
            *user = request->user;
            HRESULT result = request->result;
            delete request;
            return result;
        }
        if (flushedEmpty) {
            return VFW_E_WRONG_STATE;
        }
        HANDLE events[2] = {doneEvent, flushEvent};
        if (WaitForMultipleObjects(2, events, FALSE, timeoutMs) == WAIT_TIMEOUT) {
            return VFW_E_TIMEOUT;
        }
    }
}

void K_CReadRequestQueue::BeginFlush()
{
    EnterCriticalSection(&lock);
    flushing = 1;
    SetEvent(flushEvent);
    SetEvent(doneEvent);
    LeaveCriticalSection(&lock);
}

void K_CReadRequestQueue::EndFlush()
{
    EnterCriticalSection(&lock);
    flushing = 0;
    ResetEvent(flushEvent);
    if (done == nullptr) {
        ResetEvent(doneEvent);
    }
    LeaveCriticalSection(&lock);
}

// Serve waiting requests in order until the queue ends
DWORD WINAPI K_CReadRequestQueue::WorkerProc(void *data)
{
    K_CReadRequestQueue *queue = static_cast<K_CReadRequestQueue *>(data);
    for (;;) {
        WaitForSingleObject(queue->workEvent, INFINITE);
        for (;;) {
            EnterCriticalSection(&queue->lock);
            if (queue->ending != 0) {
                LeaveCriticalSection(&queue->lock);
                return 0;
            }
            K_ReadRequest *request = queue->flushing == 0 ? queue->Pop(&queue->waiting) : nullptr;
            LeaveCriticalSection(&queue->lock);
            if (request == nullptr) {
                break;
            }
            request->result = queue->ReadSample(request->sample);
            EnterCriticalSection(&queue->lock);
            queue->Push(&queue->done, request);
            SetEvent(queue->doneEvent);
            LeaveCriticalSection(&queue->lock);
        }
    }
}

// ---------------------------------------------------------------------------
// K_CMemSourcePin
// ---------------------------------------------------------------------------

K_CMemSourcePin::K_CMemSourcePin(K_CMemSourceFilter *owner, K_CMemStream *source, const AM_MEDIA_TYPE *type)
    : K_CBasePin(owner, PINDIR_OUTPUT, L"Output"), stream(source), offered{}, queue(source)
{
    K_CopyMediaType(&offered, type);
}

K_CMemSourcePin::~K_CMemSourcePin()
{
    K_FreeMediaType(&offered);
}

HRESULT K_CMemSourcePin::CheckMediaType(const AM_MEDIA_TYPE *type)
{
    return type->majortype == offered.majortype && type->subtype == offered.subtype ? S_OK : S_FALSE;
}

HRESULT K_CMemSourcePin::GetMediaType(int index, AM_MEDIA_TYPE *type)
{
    if (index != 0) {
        return VFW_S_NO_MORE_ITEMS;
    }
    return K_CopyMediaType(type, &offered) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP K_CMemSourcePin::QueryInterface(REFIID iid, void **out)
{
    if (iid == __uuidof(IAsyncReader)) {
        *out = static_cast<IAsyncReader *>(this);
        AddRef();
        return S_OK;
    }
    return K_CBasePin::QueryInterface(iid, out);
}

// The reader's preferred allocator when it takes the properties, else a platform one
STDMETHODIMP K_CMemSourcePin::RequestAllocator(IMemAllocator *preferred, ALLOCATOR_PROPERTIES *properties,
                                               IMemAllocator **actual)
{
    ALLOCATOR_PROPERTIES granted{};
    if (properties->cbAlign == 0) {
        properties->cbAlign = 1;
    }
    if (preferred != nullptr && SUCCEEDED(preferred->SetProperties(properties, &granted))) {
        preferred->AddRef();
        *actual = preferred;
        return S_OK;
    }
    IMemAllocator *allocator =
        static_cast<IMemAllocator *>(K_CreateComObject(K_CLSID_MemoryAllocator, __uuidof(IMemAllocator)));
    if (allocator == nullptr) {
        return E_FAIL;
    }
    HRESULT result = allocator->SetProperties(properties, &granted);
    if (FAILED(result)) {
        allocator->Release();
        return result;
    }
    *actual = allocator;
    return S_OK;
}

STDMETHODIMP K_CMemSourcePin::Request(IMediaSample *sample, DWORD_PTR user)
{
    return queue.Request(sample, user);
}

STDMETHODIMP K_CMemSourcePin::WaitForNext(DWORD timeout, IMediaSample **sample, DWORD_PTR *user)
{
    return queue.WaitForNext(timeout, sample, user);
}

STDMETHODIMP K_CMemSourcePin::SyncReadAligned(IMediaSample *sample)
{
    return queue.ReadSample(sample);
}

STDMETHODIMP K_CMemSourcePin::SyncRead(LONGLONG position, LONG length, BYTE *buffer)
{
    long read = 0;
    EnterCriticalSection(&stream->lock);
    HRESULT result = stream->SetPointer(position) == S_OK ? stream->Read(buffer, length, &read) : S_FALSE;
    LeaveCriticalSection(&stream->lock);
    return result;
}

STDMETHODIMP K_CMemSourcePin::Length(LONGLONG *total, LONGLONG *available)
{
    int64_t arrived = 0;
    *total = stream->Size(&arrived);
    *available = arrived;
    return S_OK;
}

STDMETHODIMP K_CMemSourcePin::BeginFlush()
{
    queue.BeginFlush();
    return S_OK;
}

STDMETHODIMP K_CMemSourcePin::EndFlush()
{
    queue.EndFlush();
    return S_OK;
}

// ---------------------------------------------------------------------------
// K_CMemSourceFilter
// ---------------------------------------------------------------------------

K_CMemSourceFilter::K_CMemSourceFilter(K_CMemStream *stream, const AM_MEDIA_TYPE *type, const wchar_t *name)
    : K_CBaseFilter(MemSourceFilterClass, name), pin(this, stream, type)
{
}

K_CMemSourceFilter::~K_CMemSourceFilter()
{
}

} // namespace Korvo
