// Tiny files whose headers claim huge images are refused before anything large
// is allocated (the sanitizer build watches every allocation), and libjpeg and
// libpng print nothing while other formats pass through the decoder walk.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "image/image_loaders.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, size_t),
                                                         void (*free_hook)(const volatile void *));
#define KORVO_WATCH_ALLOCATIONS 1
#endif

namespace {

std::atomic<size_t> LargestRequest{0};
std::atomic<bool> Watching{false};

#if KORVO_WATCH_ALLOCATIONS
void NoteAllocation(const volatile void *, size_t size)
{
    if (Watching && size > LargestRequest)
        LargestRequest = size;
}
void NoteFree(const volatile void *) {}
#endif

// Result of the decoder walk, and the largest single allocation made during it.
int DecodeWatched(const Bytes &file, size_t *largest)
{
#if KORVO_WATCH_ALLOCATIONS
    static const int installed = __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree);
    (void)installed;
#endif
    LargestRequest = 0;
    Watching = true;
    MemorySource source(file);
    RasterImage image;
    int result = RunImageLoadersWith(nullptr, source.get(), &image);
    Watching = false;
    FreeImageRecord(&image);
    *largest = LargestRequest;
    return result;
}

void PutBe16(Bytes &b, size_t at, int v)
{
    b[at] = (uint8_t)(v >> 8);
    b[at + 1] = (uint8_t)v;
}

// A progressive JPEG whose frame header claims 25644 x 11168 pixels.
Bytes HugeProgressiveJpeg()
{
    Bytes b = MakeJpeg(16, 8, 3, 75, true);
    for (size_t i = 0; i + 8 < b.size(); i++)
        if (b[i] == 0xFF && b[i + 1] == 0xC2) {
            PutBe16(b, i + 5, 11168);
            PutBe16(b, i + 7, 25644);
            break;
        }
    return b;
}

// A small PNG with an ancillary chunk of the given type claiming 1,009,237,101 bytes.
Bytes PngWithHugeChunk(const char *type)
{
    Bytes png = MakePng(PngRecipe());
    Bytes chunk = {0x3C, 0x27, 0x5A, 0x6D, (uint8_t)type[0], (uint8_t)type[1], (uint8_t)type[2], (uint8_t)type[3]};
    chunk.resize(chunk.size() + 400, 0x41);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());   // right after IHDR
    return png;
}

TEST(ImageMemoryLimits, TinyFilesClaimingHugeImagesAllocateLittle)
{
    const Bytes table(16 * 4, 0x40);
    const Bytes rle = {2, 0x12, 0, 0, 0, 1};
    const Bytes wideBgra = MakeBgra(8193, 8192, false, Bytes(64, 0));
    struct Case {
        std::string name;
        Bytes file;
    } cases[] = {
        {"progressive JPEG 25644x11168", HugeProgressiveJpeg()},
        {"PNG tEXt", PngWithHugeChunk("tEXt")},
        {"PNG zTXt", PngWithHugeChunk("zTXt")},
        {"PNG iTXt", PngWithHugeChunk("iTXt")},
        {"PNG sPLT", PngWithHugeChunk("sPLT")},
        {"PNG eXIf", PngWithHugeChunk("eXIf")},
        {"RLE4 BMP 16405x32777", MakeBmp(16405, 32777, 4, 2, table, rle, 16)},
        {"BGRA 8193x8192", wideBgra},
    };
    for (const Case &c : cases) {
        size_t largest = 0;
        EXPECT_EQ(-1, DecodeWatched(c.file, &largest)) << c.name;
#if KORVO_WATCH_ALLOCATIONS
        EXPECT_LT(largest, (size_t)16 << 20) << c.name << " (" << c.file.size() << " bytes)";
#endif
    }
    // The limit sits at 256 MB of pixels, not below: 8192 x 8192 in 32 bits is allowed.
    EXPECT_EQ(kMaxImagePixelBytes, CheckedImageBytes(8192 * 4, 8192));
    EXPECT_EQ(-1, CheckedImageBytes(8192 * 4 + 4, 8192));
}

TEST(ImageMemoryLimits, DecodersPrintNothingWhileOtherFilesPassThrough)
{
    Bytes truncated = MakeJpeg(16, 16, 3, 90);
    truncated.resize(truncated.size() / 2);
    const Bytes files[] = {MakePng(PngRecipe()), Bytes(100, 0x11), truncated, HugeProgressiveJpeg()};
    ::testing::internal::CaptureStderr();
    for (const Bytes &file : files) {
        size_t largest = 0;
        DecodeWatched(file, &largest);
    }
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}

} // namespace
