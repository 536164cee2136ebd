// Every road of an image load closes its source exactly once: files through a
// counting stream table, memory images through a counting Close that frees the
// MemoryReadStream; the tracked allocator's live blocks show nothing left over.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/memory/tracked_alloc.h"
#include "image/image_file_load.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

// In-memory files behind the counting table; a handle is the file's number + 1.
struct CountingFiles {
    std::map<std::string, Bytes> contents;
    std::vector<const Bytes *> opened;
    std::vector<int> positions, tableCloses;
    int sourceCloses = 0, memoryCloses = 0;
} Files;

int (*RealMemoryClose)(uintptr_t) = nullptr;

StreamHandle OpenFile(const char *path, int, int, int)
{
    auto found = Files.contents.find(path);
    if (found == Files.contents.end())
        return 0;
    Files.opened.push_back(&found->second);
    Files.positions.push_back(0);
    Files.tableCloses.push_back(0);
    return Files.opened.size();
}
int CloseFileThroughTable(StreamHandle h) { return ++Files.tableCloses[h - 1], 0; }
int TellFile(uintptr_t h) { return Files.positions[h - 1]; }
int SeekFile(uintptr_t h, int offset, int origin)
{
    const int size = (int)Files.opened[h - 1]->size();
    int to = origin == 0 ? offset : origin == 1 ? Files.positions[h - 1] + offset : size + offset;
    Files.positions[h - 1] = to < 0 ? 0 : to > size ? size : to;
    return 0;
}
size_t ReadFile(void *buffer, size_t size, size_t count, uintptr_t h)
{
    const Bytes &b = *Files.opened[h - 1];
    size_t left = b.size() - (size_t)Files.positions[h - 1], n = size ? std::min(count, left / size) : 0;
    std::memcpy(buffer, b.data() + Files.positions[h - 1], n * size);
    Files.positions[h - 1] += (int)(n * size);
    return n;
}
int EofFile(uintptr_t h) { return Files.positions[h - 1] >= (int)Files.opened[h - 1]->size(); }
int IdleFile(uintptr_t) { return 1; }
int CloseFileAsSource(uintptr_t) { return ++Files.sourceCloses, 0; }
int CloseMemoryStream(uintptr_t data) { return ++Files.memoryCloses, RealMemoryClose(data); }

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
    ImageLoadParams params;
    SetupImageLoadParams(&params);
    params.streams.Open = OpenFile;
    params.streams.Close = CloseFileThroughTable;
    params.fileOps = StreamOpsTable{TellFile, SeekFile, ReadFile, EofFile, IdleFile, CloseFileAsSource};
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
    Files.contents = {{"pic.png", png}, {"pic_a.png", png}, {"lone.png", png}, {"junk.bin", junk},
                      {"rgba.png", pngRgba}, {"b.bmp", bmp24}, {"d.dds", dxt}};
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
        Files.opened.clear();
        Files.positions.clear();
        Files.tableCloses.clear();
        Files.sourceCloses = Files.memoryCloses = 0;
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
        EXPECT_EQ(r.fileOpens, (int)Files.opened.size());
        for (int closes : Files.tableCloses)
            EXPECT_EQ(1, closes);
        EXPECT_EQ(0, Files.sourceCloses);   // decoders never close their source
        EXPECT_EQ(r.memoryOpens, Files.memoryCloses);
        EXPECT_EQ(before, LiveTrackedBlocks());
    }
}

} // namespace
