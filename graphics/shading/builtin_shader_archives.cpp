// Expanding the built-in shader images and opening them as in-memory archives.

#include "graphics/shading/builtin_shader_archives.h"

#include "core/memory/tracked_alloc.h"
#include "core/streams/kva_archive.h"
#include "core/streams/kva_lz.h"
#include "graphics/shading/builtin_shader_images.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

struct BuiltinShaderStore {
    int opened;
    KvaArchive archives[kBuiltinShaderImageCount];
    void *expanded[kBuiltinShaderImageCount];
};

static BuiltinShaderStore Store;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void *ExpandImage(const BuiltinShaderImage &image, int *size)
{
    if (image.bytes == nullptr || image.size <= 0) {
        return nullptr;
    }
    int bytes = ExpandKvaLzDataBounded(image.bytes, static_cast<size_t>(image.size), nullptr, SIZE_MAX);
    if (bytes <= 0) {
        return nullptr;
    }
    void *out = TrackedAlloc(static_cast<size_t>(bytes), __FILE__, __LINE__);
    if (out == nullptr) {
        return nullptr;
    }
    if (ExpandKvaLzDataBounded(image.bytes, static_cast<size_t>(image.size), out, static_cast<size_t>(bytes)) != bytes) {
        TrackedFree(out);
        return nullptr;
    }
    *size = bytes;
    return out;
}

// Dispose the first count archives and free every expanded image.
static void DisposeStore(int attached)
{
    for (int i = 0; i < attached; ++i) {
        DisposeKvaArchiveRecord(&Store.archives[i]);
    }
    for (void *&buffer : Store.expanded) {
        TrackedFree(buffer);
        buffer = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int OpenBuiltinShaderArchives()
{
    if (Store.opened != 0) {
        return 1;
    }
    for (int i = 0; i < kBuiltinShaderImageCount; ++i) {
        int size = 0;
        Store.expanded[i] = ExpandImage(BuiltinShaderImages[i], &size);
        ResetKvaArchiveRecord(&Store.archives[i]);
        if (Store.expanded[i] == nullptr ||
            AttachKvaArchiveImage(&Store.archives[i], Store.expanded[i], size, nullptr) != 0) {
            DisposeStore(i);
            return 0;
        }
    }
    Store.opened = 1;
    return 1;
}

int CloseBuiltinShaderArchives()
{
    if (Store.opened != 0) {
        DisposeStore(kBuiltinShaderImageCount);
    }
    Store.opened = 0;
    return 1;
}

int FindBuiltinShaderCode(int archive, const char *path, const void **code, int *size)
{
    if (Store.opened == 0 || archive < 1 || archive > kBuiltinShaderImageCount || path == nullptr) {
        return -1;
    }
    KvaArchive *record = &Store.archives[archive - 1];
    int offset = 0;
    if (GetKvaFileLocation(record, path, &offset, size) != 0) {
        return -1;
    }
    *code = static_cast<const unsigned char *>(GetKvaArchiveImagePointer(record)) + offset;
    return 0;
}

} // namespace Korvo
