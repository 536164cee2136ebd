// Vertex and index buffer handles and their device buffers.

#include "graphics/draw/buffer_handles.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/d3d_call_wrappers.h"

#include <cstring>
#include <initializer_list>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kMaxBufferHandles = 16384;
constexpr DWORD kWriteOnlyUsage = 0x8;       // D3DUSAGE_WRITEONLY
constexpr DWORD kBufferVertexFvf = 0x2D2;
constexpr UINT kDefaultPool = 0;
constexpr K_D3DFORMAT kIndex16Format = static_cast<K_D3DFORMAT>(101);

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ReleaseBufferRecord(void *raw)
{
    BufferRecord *record = static_cast<BufferRecord *>(raw);
    if (record->device != nullptr) {
        D3DRes_Release(record->device);
        record->device = nullptr;
    }
    TrackedFree(record->kept);
    record->kept = nullptr;
    return 0;
}

static bool IsVertexKind(int kind)
{
    return kind == HANDLE_KIND_VERTEX_BUFFER;
}

// Make the device buffer of a record and write the whole kept copy into it; a
// buffer that cannot be filled is not kept (it would draw whatever it held).
static int CreateDeviceBuffer(int kind, BufferRecord *record)
{
    if (G_D3D_HasDevice() == 0) {
        return 0;
    }
    const bool vertices = IsVertexKind(kind);
    UINT bytes = static_cast<UINT>(record->elementSize) * static_cast<UINT>(record->elementCount);
    K_HRESULT hr;
    if (vertices) {
        K_IDirect3DVertexBuffer9 *buffer = nullptr;
        hr = D3DDev_CreateVertexBuffer(bytes, kWriteOnlyUsage, kBufferVertexFvf, kDefaultPool, &buffer);
        record->device = buffer;
    } else {
        K_IDirect3DIndexBuffer9 *buffer = nullptr;
        hr = D3DDev_CreateIndexBuffer(bytes, kWriteOnlyUsage, kIndex16Format, kDefaultPool, &buffer);
        record->device = buffer;
    }
    if (hr < 0 || record->device == nullptr) {
        record->device = nullptr;
        return AppendLogText(vertices ? "頂点バッファの作成に失敗しました\n" : "インデックスバッファの作成に失敗しました\n");
    }
    void *at = nullptr;
    if (D3DBuf_Lock(record->device, 0, bytes, &at, 0) < 0 || at == nullptr) {
        D3DRes_Release(record->device);
        record->device = nullptr;
        return AppendLogText(vertices ? "頂点バッファのロックに失敗しました\n" : "インデックスバッファのロックに失敗しました\n");
    }
    std::memcpy(at, record->kept, bytes);
    D3DBuf_Unlock(record->device);
    return 0;
}

static int CreateBufferHandle(int kind, int elementSize, int count)
{
    if (count < 1 || count > 0x7FFFFFFF / elementSize) {
        return -1;
    }
    int handle = CreateHandleRecord(kind, -1);
    if (handle == -1) {
        return -1;
    }
    BufferRecord *record = static_cast<BufferRecord *>(LookupHandleRecord(handle));
    record->elementSize = elementSize;
    record->elementCount = count;
    record->kept = TrackedAllocZeroed(static_cast<size_t>(elementSize) * static_cast<size_t>(count), __FILE__, __LINE__);
    if (record->kept == nullptr || CreateDeviceBuffer(kind, record) != 0) {
        DeleteHandleRecord(handle);
        return -1;
    }
    return handle;
}

static int SetBufferData(int kind, int first, const void *data, int count, int handle)
{
    BufferRecord *record = LookupBufferRecord(kind, handle);
    if (record == nullptr || data == nullptr || first < 0 || count < 0 || count > record->elementCount - first) {
        return -1;
    }
    UINT offset = static_cast<UINT>(first * record->elementSize);
    UINT bytes = static_cast<UINT>(count * record->elementSize);
    if (bytes == 0) {
        return 0;
    }
    if (record->device != nullptr) {
        void *at = nullptr;
        if (D3DBuf_Lock(record->device, offset, bytes, &at, 0) < 0 || at == nullptr) {
            AppendLogText(IsVertexKind(kind) ? "頂点バッファのロックに失敗しました\n"
                                             : "インデックスバッファのロックに失敗しました\n");
            return -1;
        }
        std::memcpy(at, data, bytes);
        D3DBuf_Unlock(record->device);
    }
    std::memcpy(static_cast<unsigned char *>(record->kept) + offset, data, bytes);
    return 0;
}

template <typename Visit> static int ForEachBuffer(Visit visit)
{
    int result = 0;
    for (int kind : {HANDLE_KIND_VERTEX_BUFFER, HANDLE_KIND_INDEX_BUFFER}) {
        HandleTypeEntry &entry = HandleTypeTable[kind];
        if (entry.registered == 0) {
            continue;
        }
        for (HandleChainNode *node = entry.chainHead.next; node != nullptr && node != &entry.chainTail;
             node = node->next) {
            if (visit(kind, static_cast<BufferRecord *>(node->data)) != 0) {
                result = -1;
            }
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int InitBufferHandleTypes()
{
    RegisterHandleType(HANDLE_KIND_VERTEX_BUFFER, static_cast<int>(sizeof(BufferRecord)), kMaxBufferHandles, nullptr,
                       ReleaseBufferRecord, "頂点バッファ");
    RegisterHandleType(HANDLE_KIND_INDEX_BUFFER, static_cast<int>(sizeof(BufferRecord)), kMaxBufferHandles, nullptr,
                       ReleaseBufferRecord, "インデックスバッファ");
    return 0;
}

int TermBufferHandleTypes()
{
    UnregisterHandleType(HANDLE_KIND_VERTEX_BUFFER);
    UnregisterHandleType(HANDLE_KIND_INDEX_BUFFER);
    return 0;
}

int CreateVertexBufferHandle(int count)
{
    return CreateBufferHandle(HANDLE_KIND_VERTEX_BUFFER, kBufferVertexBytes, count);
}

int CreateIndexBufferHandle(int count)
{
    return CreateBufferHandle(HANDLE_KIND_INDEX_BUFFER, kBufferIndexBytes, count);
}

int DeleteVertexBufferHandle(int handle)
{
    return LookupBufferRecord(HANDLE_KIND_VERTEX_BUFFER, handle) != nullptr ? DeleteHandleRecord(handle) : -1;
}

int DeleteIndexBufferHandle(int handle)
{
    return LookupBufferRecord(HANDLE_KIND_INDEX_BUFFER, handle) != nullptr ? DeleteHandleRecord(handle) : -1;
}

int SetVertexBufferData(int first, const void *data, int count, int handle)
{
    return SetBufferData(HANDLE_KIND_VERTEX_BUFFER, first, data, count, handle);
}

int SetIndexBufferData(int first, const void *data, int count, int handle)
{
    return SetBufferData(HANDLE_KIND_INDEX_BUFFER, first, data, count, handle);
}

BufferRecord *LookupBufferRecord(int kind, int handle)
{
    if (handle < 0 || HandleKindOf(handle) != kind || HandleTypeTable[kind].registered == 0 ||
        HasPendingLoadJob(handle) != 0) {
        return nullptr;
    }
    return static_cast<BufferRecord *>(LookupHandleRecord(handle));
}

int ReleaseBufferDeviceObjects()
{
    return ForEachBuffer([](int, BufferRecord *record) {
        if (record->device != nullptr) {
            D3DRes_Release(record->device);
            record->device = nullptr;
        }
        return 0;
    });
}

int RestoreBufferDeviceObjects()
{
    return ForEachBuffer([](int kind, BufferRecord *record) {
        return record->device == nullptr ? CreateDeviceBuffer(kind, record) : 0;
    });
}

} // namespace Korvo
