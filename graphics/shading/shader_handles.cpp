// Shader handles: records of kind 12 holding a checked copy of the byte code and
// the device's shader object; binding them and the caller's selection.

#include "graphics/shading/shader_handles.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "core/system/window_state.h"
#include "core/threads/async_load.h"
#include "graphics/shading/builtin_shader_archives.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/shading/shader_code_check.h"
#include "graphics/state/shader_constants.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr int kMaxShaderHandles = 4096;

ShaderSelection UserShaders = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ReleaseShaderRecord(void *raw)
{
    ShaderRecord *record = static_cast<ShaderRecord *>(raw);
    int handle = record->header.handle;
    if (UserShaders.vertexShader == handle) {
        UserShaders.vertexShader = 0;
    }
    if (UserShaders.pixelShader == handle) {
        UserShaders.pixelShader = 0;
    }
    if (record->object != nullptr) {
        if (StateCache.vertexShader == record->object) {
            StateCache.vertexShader = nullptr;
            D3DDev_SetVertexShader(nullptr);
        }
        if (StateCache.pixelShader == record->object) {
            StateCache.pixelShader = nullptr;
            D3DDev_SetPixelShader(nullptr);
        }
        D3DRes_Release(record->object);
        record->object = nullptr;
    }
    TrackedFree(record->code);
    record->code = nullptr;
    return 0;
}

// Check the code, make the device's object on the main thread and keep a copy.
static int CreateShaderObject(ShaderRecord *record, int vertex, const void *code, int size, void *asyncContext)
{
    ShaderCodeFacts facts;
    if (CheckShaderByteCode(code, size, vertex, &facts) != 0) {
        return -1;
    }
    void *copy = TrackedAlloc(static_cast<size_t>(size), __FILE__, __LINE__);
    if (copy == nullptr) {
        AppendLogText("メモリの確保に失敗しました");
        return -1;
    }
    std::memcpy(copy, code, static_cast<size_t>(size));
    K_HRESULT hr;
    void *object = nullptr;
    if (vertex != 0) {
        K_IDirect3DVertexShader9 *shader = nullptr;
        hr = D3DDev_CreateVertexShaderOnMainThread(static_cast<const DWORD *>(copy), &shader, asyncContext);
        object = shader;
    } else {
        K_IDirect3DPixelShader9 *shader = nullptr;
        hr = D3DDev_CreatePixelShaderOnMainThread(static_cast<const DWORD *>(copy), &shader, asyncContext);
        object = shader;
    }
    if (hr < 0 || object == nullptr) {
        AppendLogText("頂点シェーダーの作成に失敗しました\n");
        TrackedFree(copy);
        return -1;
    }
    record->vertex = vertex != 0 ? 1 : 0;
    record->code = copy;
    record->codeSize = size;
    record->object = object;
    record->constantCount = facts.constantCount;
    record->constantInfo = facts.constantCount > 0 ? static_cast<unsigned char *>(copy) + facts.constantInfoOffset
                                                   : nullptr;
    return 0;
}

static ShaderRecord *ShaderOfKind(int handle, int vertex)
{
    ShaderRecord *record = LookupShaderRecord(handle);
    return record != nullptr && record->vertex == vertex ? record : nullptr;
}

// A selection slot: cleared by a handle <= 0, else set to a shader of the kind.
static int SelectUserShader(int *slot, int handle, int vertex)
{
    if (handle > 0 && ShaderOfKind(handle, vertex) == nullptr) {
        return -1;
    }
    *slot = handle > 0 ? handle : 0;
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int InitShaderHandleType()
{
    UserShaders = ShaderSelection{};
    return RegisterHandleType(HANDLE_KIND_SHADER, static_cast<int>(sizeof(ShaderRecord)), kMaxShaderHandles, nullptr,
                              ReleaseShaderRecord, "シェーダー");
}

int TermShaderHandleType()
{
    UserShaders = ShaderSelection{};
    return UnregisterHandleType(HANDLE_KIND_SHADER);
}

// A shader made on a load worker: handle, vertex flag, then the code; a shader
// that cannot be made takes its handle with it.
static int RunShaderLoadJob(AsyncLoadJob *job)
{
    int offset = 0;
    int handle = TakeAsyncParamInt(job->params, &offset);
    int vertex = TakeAsyncParamInt(job->params, &offset);
    int size = TakeAsyncParamInt(job->params, &offset);
    const void *code = TakeAsyncParamBytes(job->params, &offset);
    ShaderRecord *record = static_cast<ShaderRecord *>(LookupHandleRecord(handle));
    // Deleted while the job still counts it (the deletion lets its own job
    // through), so the main thread never finds it ready without its shader.
    if (record == nullptr || CreateShaderObject(record, vertex, code, size, job) != 0) {
        DeleteHandleRecord(handle);
    } else {
        ReleasePendingLoadJob(handle);
    }
    return 0;
}

// The code travels inside the job, so the caller may free its copy at once.
static int QueueShaderLoadJob(int handle, int vertex, const void *code, int size)
{
    int bytes = 0;
    PutAsyncParamInt(nullptr, &bytes, 0);
    PutAsyncParamInt(nullptr, &bytes, 0);
    PutAsyncParamInt(nullptr, &bytes, 0);
    if (size <= 0 || PutAsyncParamBytes(nullptr, &bytes, code, size) != 0) {
        return -1;
    }
    AsyncLoadJob *job = AllocAsyncLoadJob(bytes);
    if (job == nullptr) {
        return -1;
    }
    job->callback = RunShaderLoadJob;
    int offset = 0;
    PutAsyncParamInt(job->params, &offset, handle);
    PutAsyncParamInt(job->params, &offset, vertex);
    PutAsyncParamInt(job->params, &offset, size);
    PutAsyncParamBytes(job->params, &offset, code, size);
    return QueueAsyncLoadJobForHandle(job, handle);
}

int CreateShaderHandle(int vertex, const void *code, int size, int freeCode, int background, void *asyncContext)
{
    int result = -1;
    if (G_D3D_HasDevice() != 0 && GraphicsState.programmableShader != 0 && code != nullptr) {
        int handle = CreateHandleRecord(HANDLE_KIND_SHADER, -1);
        ShaderRecord *record = handle == -1 ? nullptr : static_cast<ShaderRecord *>(LookupHandleRecord(handle));
        if (record != nullptr && background != 0 && asyncContext == nullptr) {
            // The handle counts as loading until its job ends.
            result = QueueShaderLoadJob(handle, vertex, code, size) == 0 ? handle : -1;
            if (result == -1) {
                DeleteHandleRecord(handle);
            }
        } else if (record != nullptr && CreateShaderObject(record, vertex, code, size, asyncContext) == 0) {
            result = handle;
        } else if (handle != -1) {
            DeleteHandleRecord(handle);
        }
    }
    if (freeCode != 0) {
        TrackedFree(const_cast<void *>(code));
    }
    return result;
}

int CreatePixelShaderHandle(const void *code, int size)
{
    return CreateShaderHandle(0, code, size, 0, GetLoadInBackgroundFlag(), nullptr);
}

int CreateVertexShaderHandle(const void *code, int size)
{
    return CreateShaderHandle(1, code, size, 0, GetLoadInBackgroundFlag(), nullptr);
}

int CreateShaderFromBuiltinArchive(int vertexFlag, const char *path)
{
    const void *code = nullptr;
    int size = 0;
    if (G_D3D_HasDevice() == 0 || GraphicsState.programmableShader == 0 ||
        FindBuiltinShaderCode(2, path, &code, &size) != 0) {
        return -1;
    }
    return CreateShaderHandle(vertexFlag & 0xFF, code, size, 0, 0, nullptr);
}

int DeleteShaderHandle(int handle)
{
    return LookupShaderRecord(handle) != nullptr ? DeleteHandleRecord(handle) : -1;
}

ShaderRecord *LookupShaderRecord(int handle)
{
    if (HandleKindOf(handle) != HANDLE_KIND_SHADER || HasPendingLoadJob(handle) != 0) {
        return nullptr;
    }
    return static_cast<ShaderRecord *>(LookupHandleRecord(handle));
}

int BindVertexShaderHandle(int handle)
{
    ShaderRecord *record = ShaderOfKind(handle, 1);
    if (record == nullptr) {
        return -1;
    }
    K_IDirect3DVertexShader9 *shader = static_cast<K_IDirect3DVertexShader9 *>(record->object);
    if (StateCache.vertexShader != shader || StateCache.forceReapply != 0) {
        if (StateCache.forceReapply == 0) {
            FlushStagedVertices(0);
        }
        D3DDev_SetVertexShader(shader);
        StateCache.vertexShader = shader;
        StateCache.drawStateDirty = 1;
    }
    return 0;
}

int BindPixelShaderHandle(int handle)
{
    ShaderRecord *record = ShaderOfKind(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    BindPixelShaderObject(static_cast<K_IDirect3DPixelShader9 *>(record->object));
    StateCache.blendPixelShaderBound = 0;
    return 0;
}

void BindPixelShaderObject(K_IDirect3DPixelShader9 *shader)
{
    if (StateCache.pixelShader != shader || StateCache.forceReapply != 0) {
        if (StateCache.forceReapply == 0) {
            FlushStagedVertices(0);
        }
        D3DDev_SetPixelShader(shader);
        StateCache.pixelShader = shader;
        StateCache.drawStateDirty = 1;
    }
}

int ReleaseShaderDeviceObjects()
{
    HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_SHADER];
    for (HandleChainNode *node = entry.chainHead.next; entry.registered != 0 && node != &entry.chainTail;
         node = node->next) {
        ShaderRecord *record = static_cast<ShaderRecord *>(node->data);
        if (record->object != nullptr) {
            D3DRes_Release(record->object);
            record->object = nullptr;
        }
    }
    StateCache.vertexShader = nullptr;
    StateCache.pixelShader = nullptr;
    return 0;
}

int RestoreShaderDeviceObjects()
{
    int result = 0;
    HandleTypeEntry &entry = HandleTypeTable[HANDLE_KIND_SHADER];
    for (HandleChainNode *node = entry.chainHead.next; entry.registered != 0 && node != &entry.chainTail;
         node = node->next) {
        ShaderRecord *record = static_cast<ShaderRecord *>(node->data);
        if (record->object != nullptr || record->code == nullptr || G_D3D_HasDevice() == 0 ||
            GraphicsState.programmableShader == 0) {
            continue;
        }
        K_HRESULT hr;
        if (record->vertex != 0) {
            K_IDirect3DVertexShader9 *shader = nullptr;
            hr = D3DDev_CreateVertexShader(static_cast<const DWORD *>(record->code), &shader);
            record->object = shader;
        } else {
            K_IDirect3DPixelShader9 *shader = nullptr;
            hr = D3DDev_CreatePixelShader(static_cast<const DWORD *>(record->code), &shader);
            record->object = shader;
        }
        if (hr < 0 || record->object == nullptr) {
            record->object = nullptr;
            result = -1;
        }
    }
    return result;
}

int SelectShaderTexture(int slot, int graph)
{
    if (slot < 0 || slot > 15) {
        return -1;
    }
    if (graph == -1) {
        UserShaders.textures[slot] = 0;
        return 0;
    }
    if (GetGraphRecord(graph, 0) == nullptr) {
        return -1;
    }
    UserShaders.textures[slot] = graph;
    return 0;
}

int SelectUserVertexShader(int handle)
{
    return SelectUserShader(&UserShaders.vertexShader, handle, 1);
}

int SelectUserPixelShader(int handle)
{
    return SelectUserShader(&UserShaders.pixelShader, handle, 0);
}

void SaveShaderSelection(SavedShaderSelection *saved, int textureCount)
{
    int count = textureCount < 0 ? 0 : (textureCount > 16 ? 16 : textureCount);
    saved->vertexShader = UserShaders.vertexShader;
    saved->pixelShader = UserShaders.pixelShader;
    saved->textureCount = count;
    for (int i = 0; i < count; ++i) {
        saved->textures[i] = UserShaders.textures[i];
    }
    SelectConstantLayers(0x3);
}

void RestoreShaderSelection(const SavedShaderSelection *saved)
{
    // A shader or graph deleted meanwhile is not selected again.
    if (SelectUserVertexShader(saved->vertexShader) != 0) {
        UserShaders.vertexShader = 0;
    }
    if (SelectUserPixelShader(saved->pixelShader) != 0) {
        UserShaders.pixelShader = 0;
    }
    for (int i = 0; i < saved->textureCount; ++i) {
        if (SelectShaderTexture(i, saved->textures[i] != 0 ? saved->textures[i] : -1) != 0) {
            UserShaders.textures[i] = 0;
        }
    }
}

} // namespace Korvo
