// Device buffers of model bases and models: made from the vertex data the base
// keeps, released when the device goes and made again on the new device.

#include "core/memory/tracked_alloc.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/vertex_declarations.h"
#include "model/model_module.h"

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr DWORD kWriteOnlyUsage = 0x8;           // D3DUSAGE_WRITEONLY
constexpr DWORD kDynamicWriteOnlyUsage = 0x208;  // D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY
constexpr UINT kDefaultPool = 0;
constexpr K_D3DFORMAT kIndex16Format = static_cast<K_D3DFORMAT>(101);
// XYZ | NORMAL | DIFFUSE | SPECULAR
constexpr DWORD kPlainModelFvf = 0x002 | 0x010 | 0x040 | 0x080;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Bytes of one vertex of a mesh's layout.
static int MeshVertexStride(const ModelBaseMesh &mesh)
{
    K_D3DVERTEXELEMENT9 elements[kMaxDeclarationElements];
    int size = 0;
    BuildModelDeclaration((mesh.variant * kModelVertexKinds + mesh.vertexKind) * kModelTexCoordLayouts +
                              mesh.texCoordSets,
                          elements, &size);
    return size;
}

// Bytes of a mesh's vertex data; 0 when the layout is unknown or the size does not fit.
static UINT MeshVertexBytes(const ModelBaseMesh &mesh)
{
    int64_t bytes = static_cast<int64_t>(MeshVertexStride(mesh)) * mesh.vertexCount;
    return bytes > 0 && bytes <= 0x7FFFFFFF ? static_cast<UINT>(bytes) : 0;
}

// The fixed-function format of the first vertex kind and variant (four floats
// per coordinate set); the other layouts are drawn through declarations (0).
static DWORD MeshVertexFormat(const ModelBaseMesh &mesh)
{
    if (mesh.vertexKind != 0 || mesh.variant != 0) {
        return 0;
    }
    DWORD format = kPlainModelFvf | static_cast<DWORD>(mesh.texCoordSets) << 8;
    for (int set = 0; set < mesh.texCoordSets; ++set) {
        format |= 2u << (set * 2 + 16);  // D3DFVF_TEXCOORDSIZE4(set)
    }
    return format;
}

static bool IsMeshLayoutValid(const ModelBaseMesh &mesh)
{
    return mesh.vertexKind >= 0 && mesh.vertexKind < kModelVertexKinds && mesh.variant >= 0 &&
           mesh.variant < kModelVertexVariants && mesh.texCoordSets >= 0 && mesh.texCoordSets < kModelTexCoordLayouts;
}

// Lock a whole buffer and copy bytes into it; 0 or -1.
static int FillDeviceBuffer(const void *buffer, const void *bytes, UINT size, void *asyncContext)
{
    void *at = nullptr;
    if (D3DBuf_LockOnMainThread(buffer, 0, size, &at, 0, asyncContext) < 0 || at == nullptr) {
        return -1;
    }
    std::memcpy(at, bytes, size);
    D3DBuf_UnlockOnMainThread(buffer, asyncContext);
    return 0;
}

static void ReleaseDeviceObject(const void *object)
{
    if (object != nullptr) {
        D3DRes_ReleaseOnMainThread(object, nullptr);
    }
}

static int CreateMeshBuffers(ModelBaseHandleRecord *base, ModelBaseMesh &mesh, void *asyncContext)
{
    if (mesh.buffers != nullptr || !IsMeshLayoutValid(mesh)) {
        return mesh.buffers != nullptr ? 0 : -1;
    }
    ModelBufferNode *node = static_cast<ModelBufferNode *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(ModelBufferNode)));
    if (node == nullptr) {
        return -1;
    }
    ModelBufferNode *&list = base->bufferLists[mesh.vertexKind][mesh.variant][mesh.texCoordSets];
    node->next = list;
    list = node;
    mesh.buffers = node;
    int result = 0;
    UINT vertexBytes = MeshVertexBytes(mesh);
    if (vertexBytes > 0) {
        if (D3DDev_CreateVertexBufferOnMainThread(vertexBytes, kWriteOnlyUsage, MeshVertexFormat(mesh), kDefaultPool,
                                                  &node->vertexBuffer, asyncContext) != 0 ||
            FillDeviceBuffer(node->vertexBuffer, mesh.vertices, vertexBytes, asyncContext) != 0) {
            result = -1;
        }
    }
    UINT indexBytes = mesh.indexCount > 0 && mesh.indexCount <= 0x3FFFFFFF ? static_cast<UINT>(mesh.indexCount) * 2u : 0;
    if (indexBytes > 0) {
        if (D3DDev_CreateIndexBufferOnMainThread(indexBytes, kWriteOnlyUsage, kIndex16Format, kDefaultPool,
                                                 &node->indexBuffer, asyncContext) != 0 ||
            FillDeviceBuffer(node->indexBuffer, mesh.indices, indexBytes, asyncContext) != 0) {
            result = -1;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int SetupModelBuffers(ModelHandleRecord *model, void *asyncContext)
{
    ModelBaseHandleRecord *base = model->base;
    if (base == nullptr || model->meshes == nullptr || GraphicsState.direct3DModeActive == 0) {
        return 0;
    }
    int result = 0;
    for (int m = 0; m < base->meshCount; ++m) {
        const ModelBaseMesh &mesh = base->meshes[m];
        ModelMeshState &state = model->meshes[m];
        if (mesh.ownVertexBuffer == 0 || state.vertexBuffer != nullptr || !IsMeshLayoutValid(mesh)) {
            continue;
        }
        UINT bytes = MeshVertexBytes(mesh);
        if (bytes == 0) {
            continue;
        }
        if (D3DDev_CreateVertexBufferOnMainThread(bytes, kDynamicWriteOnlyUsage, MeshVertexFormat(mesh), kDefaultPool,
                                                  &state.vertexBuffer, asyncContext) != 0 ||
            FillDeviceBuffer(state.vertexBuffer, mesh.vertices, bytes, asyncContext) != 0) {
            result = -1;
        }
    }
    return result;
}

int SetupModelBaseBuffers(ModelBaseHandleRecord *base, void *asyncContext)
{
    if (GraphicsState.direct3DModeActive == 0) {
        return 0;
    }
    int result = 0;
    for (int m = 0; base->meshes != nullptr && m < base->meshCount; ++m) {
        if (CreateMeshBuffers(base, base->meshes[m], asyncContext) != 0) {
            result = -1;
        }
    }
    for (ModelHandleRecord *model = base->firstModel; model != nullptr; model = model->next) {
        if (SetupModelBuffers(model, asyncContext) != 0) {
            result = -1;
        }
    }
    return result;
}

void ReleaseModelBuffers(ModelHandleRecord *model)
{
    if (model->base == nullptr || model->meshes == nullptr) {
        return;
    }
    for (int m = 0; m < model->base->meshCount; ++m) {
        ReleaseDeviceObject(model->meshes[m].vertexBuffer);
        model->meshes[m].vertexBuffer = nullptr;
    }
}

void ReleaseModelBaseBuffers(ModelBaseHandleRecord *base)
{
    for (auto &byVariant : base->bufferLists) {
        for (auto &byLayout : byVariant) {
            for (ModelBufferNode *&list : byLayout) {
                while (list != nullptr) {
                    ModelBufferNode *node = list;
                    list = node->next;
                    ReleaseDeviceObject(node->vertexBuffer);
                    ReleaseDeviceObject(node->indexBuffer);
                    TrackedFree(node);
                }
            }
        }
    }
    for (int m = 0; base->meshes != nullptr && m < base->meshCount; ++m) {
        base->meshes[m].buffers = nullptr;
    }
    for (ModelHandleRecord *model = base->firstModel; model != nullptr; model = model->next) {
        ReleaseModelBuffers(model);
    }
}

int CreateVertexBuffersOfAllModelBases(void *asyncContext)
{
    if (HandleTypeTable[HANDLE_KIND_MODEL_BASE].registered == 0) {
        return -1;
    }
    ForEachModelRecord<ModelBaseHandleRecord>(HANDLE_KIND_MODEL_BASE,
                                         [&](ModelBaseHandleRecord *base) { SetupModelBaseBuffers(base, asyncContext); });
    return 0;
}

int ReleaseVertexBuffersOfAllModels()
{
    ForEachModelRecord<ModelBaseHandleRecord>(HANDLE_KIND_MODEL_BASE, ReleaseModelBaseBuffers);
    ForEachModelRecord<ModelHandleRecord>(HANDLE_KIND_MODEL, ReleaseModelBuffers);
    return 0;
}

} // namespace Korvo
