// Every road of an image load closes its source exactly once: files through a
// counting stream table, memory images through a counting Close that frees the
// MemoryReadStream; the tracked allocator's live blocks show nothing left over.
// The files are written into the test's scratch folder.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "core/memory/tracked_alloc.h"
#include "image/image_file_load.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

// The default table's Open and Close, counted; decoders must never close their source.
StreamFunctionTable RealTable;
std::map<StreamHandle, int> TableCloses;   // closes since the handle was last opened
int Opens = 0, Closes = 0, SourceCloses = 0, MemoryCloses = 0;
int (*RealMemoryClose)(uintptr_t) = nullptr;

StreamHandle CountingOpen(const char *path, int useCache, int flag, int useAsync)
{
    StreamHandle h = RealTable.Open(path, useCache, flag, useAsync);
    if (h != 0) {
        Opens++;
        TableCloses[h] = 0;
    }
    return h;
}
int CountingClose(StreamHandle h) { return ++Closes, ++TableCloses[h], RealTable.Close(h); }
int CloseFileAsSource(uintptr_t) { return ++SourceCloses, 0; }
int CloseMemoryStream(uintptr_t data) { return ++MemoryCloses, RealMemoryClose(data); }

// Live tracked blocks: the list walked from a new block to the sentinel.
int LiveTrackedBlocks()
{
    void *probe = KORVO_TRACKED_ALLOC(1);
    int count = 0;
    for (auto *h = ((TrackedBlockHeader *)probe - 1)->older; h != nullptr && h->older != nullptr; h = h->older)
        count++;
    TrackedFree(probe);
    return count;
}

ImageLoadParams CountingParams()
{
    InstallStreamFunctionTable(nullptr);
    ImageLoadParams params;
    SetupImageLoadParams(&params);
    RealTable = params.streams;
    params.streams.Open = CountingOpen;
    params.streams.Close = CountingClose;
    params.fileOps.Close = CloseFileAsSource;
    RealMemoryClose = params.memoryOps.Close;
    params.memoryOps.Close = CloseMemoryStream;
    return params;
}

TEST(ImageSourceClose, EveryRoadClosesOnceAndLeavesNothingAllocated)
{
    PngRecipe rgba;
    rgba.colorType = 6;
    Bytes rgb(8 * 3 * 3, 0x42);
    const Bytes png = MakePng(PngRecipe()), pngRgba = MakePng(rgba), junk(64, 0x11);
    const Bytes bmp24 = MakeBmp(8, -3, 24, 0, Bytes(), rgb);   // pitch = DIB row: handed out, not copied
    const Bytes dxt = MakeDds(4, 4, 0x1007, 0, 0, 4, "DXT1", 0, nullptr, 0x1000, Bytes(8, 0x35));
    for (const auto &file : std::map<std::string, const Bytes *>{{"pic.png", &png}, {"pic_a.png", &png},
                                                                 {"lone.png", &png}, {"junk.bin", &junk},
                                                                 {"rgba.png", &pngRgba}, {"b.bmp", &bmp24},
                                                                 {"d.dds", &dxt}})
        std::ofstream(file.first, std::ios::binary).write((const char *)file.second->data(), file.second->size());
    const ImageLoadParams params = CountingParams();
    struct Road {
        const char *name;
        const char *file;         // null: from memory
        const Bytes *memory;
        int dib, mirror, alphaMode, result, fileOpens, memoryOpens;
    } roads[] = {
        {"missing file", "none.png", nullptr, 0, 0, -1, -1, 0, 0},
        {"file no decoder takes", "junk.bin", nullptr, 0, 0, -1, -1, 1, 0},
        {"file", "pic.png", nullptr, 0, 0, -1, 0, 1, 0},
        {"file, mirrored DXT", "d.dds", nullptr, 0, 1, -1, 0, 1, 0},
        {"file, DIB of its own pixels", "b.bmp", nullptr, 1, 0, -1, 0, 1, 0},
        {"file, DIB copy", "rgba.png", nullptr, 1, 0, -1, 0, 1, 0},
        {"memory no decoder takes", nullptr, &junk, 0, 0, -1, -1, 0, 1},
        {"memory", nullptr, &png, 0, 0, -1, 0, 0, 1},
        {"memory, mirrored DXT", nullptr, &dxt, 0, 1, -1, 0, 0, 1},
        {"memory, DIB of its own pixels", nullptr, &bmp24, 1, 0, -1, 0, 0, 1},
        {"memory, DIB copy", nullptr, &pngRgba, 1, 1, -1, 0, 0, 1},
        {"alpha file beside", "pic.png", nullptr, 0, 0, 0, 0, 2, 0},
        {"alpha file missing", "lone.png", nullptr, 0, 0, 0, 1, 1, 0},
        {"alpha from memory, refused", "pic.png", &junk, 0, 0, 1, 1, 1, 1},
        {"alpha from memory", nullptr, &png, 0, 0, 1, 0, 0, 2},
        {"alpha mode 2", nullptr, &png, 0, 0, 2, 1, 0, 1},
    };
    for (const Road &r : roads) {
        SCOPED_TRACE(r.name);
        TableCloses.clear();
        Opens = Closes = SourceCloses = MemoryCloses = 0;
        const int before = LiveTrackedBlocks();
        RasterImage image, alpha;
        std::memset(&image, 0, sizeof(image));
        std::memset(&alpha, 0, sizeof(alpha));
        K_BITMAPINFO *info = nullptr;
        void *bits = nullptr;
        const void *data = r.memory ? r.memory->data() : nullptr;
        const int size = r.memory ? (int)r.memory->size() : 0;
        int result;
        if (r.alphaMode >= 0)
            result = LoadImageAndAlphaWithParams(&params, r.file, r.file ? nullptr : data, size, r.file ? 0 : 1, data,
                                                 size, r.alphaMode, &image, &alpha, r.mirror);
        else
            result = LoadImageOrDibWithParams(&params, r.file, data, size, r.file ? 0 : 1, r.dib, r.mirror, &image,
                                              &info, &bits);
        EXPECT_EQ(r.result, result);
        FreeImageRecord(&image);
        FreeImageRecord(&alpha);
        TrackedFree(bits);
        TrackedFree(info);
        EXPECT_EQ(r.fileOpens, Opens);
        EXPECT_EQ(Opens, Closes);
        for (const auto &handle : TableCloses)
            EXPECT_EQ(1, handle.second);
        EXPECT_EQ(0, SourceCloses);
        EXPECT_EQ(r.memoryOpens, MemoryCloses);
        EXPECT_EQ(before, LiveTrackedBlocks());
    }
}

} // namespace
