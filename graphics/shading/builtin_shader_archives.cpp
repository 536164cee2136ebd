// Expanding the built-in shader images and opening them as in-memory archives.

#include "graphics/shading/builtin_shader_archives.h"

#include "core/memory/tracked_alloc.h"
#include "core/streams/kva_archive.h"
#include "core/streams/kva_lz.h"
#include "graphics/shading/builtin_shader_images.h"

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr int kSmallTableGroups = 64;
constexpr int kLargeTableGroups[2] = {16384, 20736};
constexpr int kSizesPerGroup[2] = {4, 6};

struct CodeBlock {
    const unsigned char *code;
    int size;
};

struct BuiltinShaderStore {
    int opened;
    KvaArchive archives[2];
    void *expanded[4];  // archive 1, code table, archive 2, the two large tables
    CodeBlock smallTable[kSmallTableGroups * 4];
    CodeBlock *largeTables[2];
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

// Code sizes (u16) of groups x per entries, then the blocks back to back. Sizes
// that would run past the buffer leave the rest of the table empty.
static void ReadCodeTable(const unsigned char *buffer, int bufferSize, int groups, int per, CodeBlock *out)
{
    int64_t entries = static_cast<int64_t>(groups) * per;
    int64_t at = entries * 2;
    for (int64_t i = 0; i < entries; ++i) {
        out[i] = CodeBlock{nullptr, 0};
        if ((i + 1) * 2 > bufferSize) {
            continue;
        }
        uint16_t size;
        std::memcpy(&size, buffer + i * 2, 2);
        if (size == 0 || at + size > bufferSize) {
            continue;
        }
        out[i] = CodeBlock{buffer + at, size};
        at += size;
    }
}

static void FreeExpanded()
{
    for (void *&buffer : Store.expanded) {
        TrackedFree(buffer);
        buffer = nullptr;
    }
    TrackedFree(Store.largeTables[0]);
    Store.largeTables[0] = nullptr;
    Store.largeTables[1] = nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int OpenBuiltinShaderArchives()
{
    if (Store.opened != 0) {
        return 1;
    }
    int sizes[4] = {};
    const int imageOf[4] = {0, 1, 1, 2};
    for (int i = 0; i < 4; ++i) {
        Store.expanded[i] = ExpandImage(BuiltinShaderImages[imageOf[i]], &sizes[i]);
        if (Store.expanded[i] == nullptr) {
            FreeExpanded();
            return 0;
        }
    }
    ResetKvaArchiveRecord(&Store.archives[0]);
    ResetKvaArchiveRecord(&Store.archives[1]);
    if (AttachKvaArchiveImage(&Store.archives[0], Store.expanded[0], sizes[0], nullptr) != 0) {
        FreeExpanded();
        return 0;
    }
    ReadCodeTable(static_cast<const unsigned char *>(Store.expanded[1]), sizes[1], kSmallTableGroups,
                  kSizesPerGroup[0], Store.smallTable);
    if (AttachKvaArchiveImage(&Store.archives[1], Store.expanded[2], sizes[2], nullptr) != 0) {
        DisposeKvaArchiveRecord(&Store.archives[0]);
        FreeExpanded();
        return 0;
    }
    // Both size tables come first, the code of both follows: one table of blocks.
    size_t groups = static_cast<size_t>(kLargeTableGroups[0] + kLargeTableGroups[1]);
    CodeBlock *blocks = static_cast<CodeBlock *>(
        TrackedAlloc(groups * kSizesPerGroup[1] * sizeof(CodeBlock), __FILE__, __LINE__));
    if (blocks == nullptr) {
        DisposeKvaArchiveRecord(&Store.archives[0]);
        DisposeKvaArchiveRecord(&Store.archives[1]);
        FreeExpanded();
        return 0;
    }
    ReadCodeTable(static_cast<const unsigned char *>(Store.expanded[3]), sizes[3], static_cast<int>(groups),
                  kSizesPerGroup[1], blocks);
    Store.largeTables[0] = blocks;
    Store.largeTables[1] = blocks + kLargeTableGroups[0] * kSizesPerGroup[1];
    Store.opened = 1;
    return 1;
}

int CloseBuiltinShaderArchives()
{
    if (Store.opened != 0) {
        DisposeKvaArchiveRecord(&Store.archives[0]);
        DisposeKvaArchiveRecord(&Store.archives[1]);
        FreeExpanded();
    }
    Store.opened = 0;
    return 1;
}

int FindBuiltinShaderCode(int archive, const char *path, const void **code, int *size)
{
    if (Store.opened == 0 || archive < 1 || archive > 2 || path == nullptr) {
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
